// Trace equations and the noise of segment sweeps, on the physics alone.
#include <simulator/physics/chain.h>
#include <simulator/physics/equation.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

using namespace zorsim::physics;

TEST(Equations, EvaluateAsComplexArithmetic) {
    const sparams_t s{{0.5, 0.1}, {0.2, -0.3}, {0.25, 0.0}, {-0.1, 0.4}};
    equation_inputs_t in;
    in.s = &s;
    in.data = {1.0, 2.0};
    in.memory = {0.0, -1.0};
    const complex_t j(0, 1);
    const struct {
        const char* text;
        complex_t expected;
    } rows[] = {
        {"S21/S11", s.s21 / s.s11},
        {"-S12 - -s21 * 2", -s.s12 + s.s21 * 2.0},
        {"(S11 - S22) / (1 - S11*S22)", (s.s11 - s.s22) / (1.0 - s.s11 * s.s22)},
        {"data / mem + S21^2", in.data / in.memory + s.s21 * s.s21},
        {"2^3^2", 512.0},  // right-associative
        {"-2^2", -4.0},
        {"abs(S21) + real(S11) + imag(S22) + conj(S21)", std::abs(s.s21) + 0.5 + 0.4 + std::conj(s.s21)},
        {"arg(j) + sqrt(-4) + exp(0) + ln(1) + log10(100)", pi / 2 + 2.0 * j + 1.0 + 0.0 + 2.0},
        {"50 * (1 + S11) / (1 - S11)", 50.0 * (1.0 + s.s11) / (1.0 - s.s11)},
        {"1.5e-1 * PI + .5", 0.15 * pi + 0.5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const auto e = equation_t::compile(row.text);
        ASSERT_TRUE(e.valid()) << e.error();
        const complex_t v = e.evaluate(in);
        EXPECT_NEAR(v.real(), row.expected.real(), 1e-12);
        EXPECT_NEAR(v.imag(), row.expected.imag(), 1e-12);
    }
}

TEST(Equations, FaultyTextsAreRefusedWithAReason) {
    const std::string faulty[] = {"", "   ", "S31", "S2", "S21 +", "*S21", "(S21", "S21)", "abs S21", "abs()", "foo(S21)", "2 S21", "1e",
         "S21 % 2", "1..2", std::string(200, '(') + "1" + std::string(200, ')'), std::string(1001, '1')};
    for (const std::string& text : faulty) {
        SCOPED_TRACE(text);
        const auto e = equation_t::compile(text);
        EXPECT_FALSE(e.valid());
        EXPECT_FALSE(e.error().empty());
    }
    // Nesting to the bound still works; a division by zero is no fault.
    const auto deep = equation_t::compile(std::string(60, '(') + "S21" + std::string(60, ')'));
    EXPECT_TRUE(deep.valid()) << deep.error();
    const auto e = equation_t::compile("1/(S21-S21)");
    ASSERT_TRUE(e.valid());
    const sparams_t s{};
    EXPECT_FALSE(std::isfinite(std::abs(e.evaluate({&s, {}, {}}))));
}

TEST(Stimulus, NoiseFollowsEachSegmentsBandwidth) {
    stimulus_t st;
    st.type = sweep_type_t::segment;
    st.segments = {{1e9, 2e9, 3, 0}, {3e9, 3e9, 1, 100}, {4e9, 5e9, 2, 1e3}};
    const auto device = make_device("thru");
    const auto clean = measure_raw(*device, st, receiver_t{false}, {});
    const auto raw = measure_raw(*device, st, receiver_t{true}, {});
    ASSERT_EQ(raw.s.size(), 6u);
    double error[6];
    for (std::size_t k = 0; k < 6; ++k) error[k] = std::abs(raw.s[k].s21 - clean.s[k].s21);
    EXPECT_LT(error[3], 0.2 * *std::max_element(error, error + 6)) << "the 100 Hz point is the quietest";
}

}  // namespace
