// The calibration physics against closed forms: the kit's standards, the
// twelve-term model and each calibration method solved from raw data.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>

#include <simulator/physics/cal_kit.h>
#include <simulator/physics/calibration.h>

namespace zorsim::physics {
namespace {

const complex_t j{0.0, 1.0};

double worst(const sparams_t& a, const sparams_t& b) {
    return std::max({std::abs(a.s11 - b.s11), std::abs(a.s21 - b.s21), std::abs(a.s12 - b.s12), std::abs(a.s22 - b.s22)});
}

// A kit far from ideal: offset delays and loss, fringe capacitance and
// inductance polynomials, a load off 50 ohm, a lossy thru of its own Z0.
cal_kit_t real_kit() {
    cal_kit_t kit;
    kit.open.offset = {29.2e-12, 2.2e9, 50.0};
    kit.open.c[0] = 49.4e-15, kit.open.c[1] = -310e-27, kit.open.c[2] = 23.2e-36, kit.open.c[3] = -0.16e-45;
    kit.short_.offset = {31.8e-12, 2.36e9, 50.0};
    kit.short_.l[0] = 2.1e-12, kit.short_.l[1] = -140e-24, kit.short_.l[2] = 4.3e-33, kit.short_.l[3] = -0.02e-42;
    kit.load.offset = {5e-12, 1e9, 50.0};
    kit.load.load = {51.5, 2.0};
    kit.thru.offset = {85e-12, 3e9, 49.0};
    return kit;
}

TEST(CalKit, StandardsMatchTheirClosedForms) {
    const double f = 3e9, w = 2 * pi * f, tau = 40e-12;
    standard_t open_c0, short_l0, delayed, matched_line;
    open_c0.c[0] = 80e-15;
    short_l0.l[0] = 30e-12;
    delayed.offset.delay = tau;
    matched_line.offset.delay = tau;
    const complex_t jwcz = j * w * 80e-15 * 50.0;
    struct row_t {
        const char* what;
        complex_t got, want;
    } rows[] = {
        {"ideal open", open_reflection(standard_t{}, f), 1.0},
        {"ideal short", short_reflection(standard_t{}, f), -1.0},
        {"ideal load", load_reflection(standard_t{}, f), 0.0},
        {"open with C0", open_reflection(open_c0, f), (1.0 - jwcz) / (1.0 + jwcz)},
        {"short with L0", short_reflection(short_l0, f), (j * w * 30e-12 - 50.0) / (j * w * 30e-12 + 50.0)},
        {"lossless offset short", short_reflection(delayed, f), -std::exp(-2.0 * j * w * tau)},
        {"lossless offset open", open_reflection(delayed, f), std::exp(-2.0 * j * w * tau)},
        {"matched thru S21", thru_sparams(matched_line, f).s21, std::exp(-j * w * tau)},
        {"matched thru S11", thru_sparams(matched_line, f).s11, 0.0},
    };
    for (const auto& row : rows) EXPECT_LT(std::abs(row.got - row.want), 1e-12) << row.what;

    // Loss makes every standard passive and lossy, more so at higher frequency.
    const cal_kit_t kit = real_kit();
    for (double freq : {1e8, 1e9, 1e10}) {
        EXPECT_LT(std::abs(open_reflection(kit.open, freq)), 1.0);
        EXPECT_LT(std::abs(short_reflection(kit.short_, freq)), 1.0);
        const sparams_t t = thru_sparams(kit.thru, freq);
        EXPECT_LT(std::norm(t.s11) + std::norm(t.s21), 1.0);
    }
    EXPECT_GT(std::abs(thru_sparams(kit.thru, 1e9).s21), std::abs(thru_sparams(kit.thru, 1e10).s21));
}

// Raw measurements of a kit's standards through a test set, as an
// operator connects them; isolation with loads on both ports.
standard_measurements_t measure(const error_terms_t& e, const cal_kit_t& kit, double f) {
    auto reflect = [&](complex_t g) { return raw_from_true(e, {g, 0.0, 0.0, g}); };
    standard_measurements_t m;
    const sparams_t open = reflect(open_reflection(kit.open, f));
    const sparams_t short_ = reflect(short_reflection(kit.short_, f));
    const sparams_t load = reflect(load_reflection(kit.load, f));
    m.open[0] = open.s11, m.open[1] = open.s22;
    m.short_[0] = short_.s11, m.short_[1] = short_.s22;
    m.load[0] = load.s11, m.load[1] = load.s22;
    m.isolation_f = load.s21, m.isolation_r = load.s12;
    m.thru = raw_from_true(e, thru_sparams(kit.thru, f));
    return m;
}

// Devices to correct: a non-reciprocal amplifier-like two-port and a
// reciprocal mismatched attenuator.
const sparams_t devices[] = {
    {{0.3, -0.2}, {3.1, 1.4}, {0.01, 0.02}, {-0.25, 0.4}},
    {{0.1, 0.05}, {0.5, -0.3}, {0.5, -0.3}, {0.2, -0.1}},
};

TEST(Calibration, TwoPortRecoversTermsAndDevice) {
    const test_set_t test_set(7);
    for (const auto& [name, kit] : {std::pair<std::string, cal_kit_t>{"ideal", ideal_kit()}, {"real", real_kit()}}) {
        for (double f : {10e6, 1.3e9, 4.5e9, 17e9}) {
            const error_terms_t e = test_set.at(f);
            const calibration_point_t cal = solve_two_port(kit, f, measure(e, kit, f));
            const complex_t pairs[][2] = {
                {cal.terms.directivity_f, e.directivity_f},     {cal.terms.source_match_f, e.source_match_f},
                {cal.terms.reflection_tracking_f, e.reflection_tracking_f},
                {cal.terms.load_match_f, e.load_match_f},       {cal.terms.transmission_tracking_f, e.transmission_tracking_f},
                {cal.terms.isolation_f, e.isolation_f},         {cal.terms.directivity_r, e.directivity_r},
                {cal.terms.source_match_r, e.source_match_r},   {cal.terms.reflection_tracking_r, e.reflection_tracking_r},
                {cal.terms.load_match_r, e.load_match_r},       {cal.terms.transmission_tracking_r, e.transmission_tracking_r},
                {cal.terms.isolation_r, e.isolation_r},
            };
            for (const auto& pair : pairs) EXPECT_LT(std::abs(pair[0] - pair[1]), 1e-9) << name << " kit at " << f;
            for (const auto& device : devices) {
                const sparams_t raw = raw_from_true(e, device);
                EXPECT_GT(worst(raw, device), 1e-2);  // the errors are there to remove
                EXPECT_LT(worst(correct(cal, raw), device), 1e-9) << name << " kit at " << f;
            }
        }
    }
}

TEST(Calibration, WrongKitLeavesAVisibleBoundedError) {
    // Standards are the real kit's; the calibration believes another kit of
    // the same kind whose offsets and fringe models differ by 5 %.
    cal_kit_t other = real_kit();
    for (standard_t* standard : {&other.open, &other.short_, &other.thru}) standard->offset.delay *= 0.95;
    other.open.c[0] *= 1.05, other.short_.l[0] *= 1.05;
    const test_set_t test_set(11);
    double largest = 0.0;
    for (double f : {1e9, 6e9, 18e9}) {
        const error_terms_t e = test_set.at(f);
        const calibration_point_t cal = solve_two_port(other, f, measure(e, real_kit(), f));
        for (const auto& device : devices) {
            const sparams_t s = correct(cal, raw_from_true(e, device));
            // Relative to each parameter (small ones against 0.1).
            for (const auto& [got, want] : {std::pair{s.s11, device.s11}, {s.s21, device.s21}, {s.s12, device.s12}, {s.s22, device.s22}})
                largest = std::max(largest, std::abs(got - want) / std::max(std::abs(want), 0.1));
        }
    }
    // A thru 5 % short in delay alone turns S21 by 2 pi f dt: 0.48 rad at 18 GHz.
    EXPECT_GT(largest, 1e-2);
    EXPECT_LT(largest, 1.0);
}

TEST(Calibration, OnePortAndResponseCorrectAKnownLoad) {
    const double f = 2.4e9;
    const cal_kit_t kit = real_kit();
    const complex_t load = std::polar(0.3, 0.7);
    const sparams_t device{load, 0.0, 0.0, load};
    // Full one-port: any test set, exact on the port it covers.
    const error_terms_t e = test_set_t(3).at(f);
    for (int port : {1, 2}) {
        const sparams_t corrected = correct(solve_one_port(kit, f, port, measure(e, kit, f)), raw_from_true(e, device));
        EXPECT_LT(std::abs((port == 1 ? corrected.s11 : corrected.s22) - load), 1e-9) << port;
    }
    // Response: exact where the test set has tracking errors only, and it
    // leaves the parameters it does not cover raw.
    error_terms_t tracking_only;
    tracking_only.reflection_tracking_f = std::polar(0.8, -1.0);
    tracking_only.reflection_tracking_r = std::polar(0.7, 2.0);
    tracking_only.transmission_tracking_f = std::polar(0.6, 0.5);
    tracking_only.transmission_tracking_r = std::polar(0.65, -0.4);
    const standard_measurements_t m = measure(tracking_only, kit, f);
    const sparams_t line{0.0, std::polar(0.9, -1.2), std::polar(0.9, -1.2), 0.0};
    const sparams_t raw_load = raw_from_true(tracking_only, device), raw_line = raw_from_true(tracking_only, line);
    for (int port : {1, 2}) {
        const int i = port - 1;
        for (const auto& cal : {solve_response_open(kit, f, port, m.open[i]), solve_response_short(kit, f, port, m.short_[i])}) {
            const sparams_t corrected = correct(cal, raw_load);
            EXPECT_LT(std::abs((port == 1 ? corrected.s11 : corrected.s22) - load), 1e-12);
            EXPECT_EQ(port == 1 ? corrected.s22 : corrected.s11, port == 1 ? raw_load.s22 : raw_load.s11);
        }
    }
    const sparams_t through = correct(solve_response_thru(kit, f, m.thru), raw_line);
    EXPECT_LT(std::abs(through.s21 - line.s21) + std::abs(through.s12 - line.s12), 1e-12);
}

TEST(Calibration, TestSetIsFixedBySeedAndSmooth) {
    const test_set_t a(42), b(42), c(43);
    const error_terms_t ea = a.at(3e9), eb = b.at(3e9), ec = c.at(3e9), next = a.at(3.001e9);
    EXPECT_EQ(ea.directivity_f, eb.directivity_f);
    EXPECT_EQ(ea.transmission_tracking_r, eb.transmission_tracking_r);
    EXPECT_NE(ea.directivity_f, ec.directivity_f);
    // 1 MHz apart: a few nanoseconds of cable turn the phase by far less than a degree.
    EXPECT_LT(std::abs(next.reflection_tracking_f - ea.reflection_tracking_f), 0.03);
    EXPECT_LT(std::abs(ea.directivity_f), 0.05);
    EXPECT_GT(std::abs(ea.transmission_tracking_f), 0.3);
}

}  // namespace
}  // namespace zorsim::physics
