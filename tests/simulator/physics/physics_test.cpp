// The measurement physics on its own: devices against closed forms,
// passivity and reciprocity, formats against their definitions, receiver
// noise and averaging, Touchstone files.
#include <simulator/physics/chain.h>
#include <simulator/physics/devices.h>
#include <simulator/physics/touchstone.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <string>

namespace {

using namespace zorsim::physics;

std::vector<double> grid(double start, double stop, int points) {
    stimulus_t s;
    s.start = start;
    s.stop = stop;
    s.points = points;
    return frequencies(s);
}

// Largest singular value of S: the square root of the largest eigenvalue of S^H S.
double largest_singular_value(const sparams_t& s) {
    const double a = std::norm(s.s11) + std::norm(s.s21);
    const double d = std::norm(s.s12) + std::norm(s.s22);
    const complex_t b = std::conj(s.s11) * s.s12 + std::conj(s.s21) * s.s22;
    return std::sqrt((a + d) / 2 + std::sqrt((a - d) * (a - d) / 4 + std::norm(b)));
}

TEST(Devices, LosslessLadderIsTheChebyshevResponse) {
    ladder_design_t band;  // the default band-pass, without loss or lines
    band.q = 0;
    band.input = band.output = line_t{};
    ladder_design_t narrow = band;
    narrow.order = 3;
    narrow.ripple_db = 0.5;
    narrow.fbw = 0.02;
    ladder_design_t low = band;
    low.low_pass = true;
    low.center = 3e9;
    low.order = 7;
    for (const auto& design : {band, narrow, low}) {
        const auto device = make_ladder(design);
        for (double f : grid(1e7, 9e9, 301)) {
            const sparams_t s = device->at(f);
            SCOPED_TRACE(f);
            EXPECT_NEAR(std::norm(s.s21), design.ideal_transmission(f), 1e-12);
            EXPECT_NEAR(std::norm(s.s11) + std::norm(s.s21), 1.0, 1e-12);
        }
    }
}

TEST(Devices, DefaultFilterIsItsLossyLadderBetweenItsLines) {
    const auto filter = make_device("bandpass");
    ladder_design_t bare;  // the same resonators without the lines
    bare.input = bare.output = line_t{};
    const auto ladder = make_ladder(bare);
    const line_t line = ladder_design_t{}.input;
    for (double f : grid(1e9, 9e9, 161)) {
        // A matched line multiplies what passes it by exp(-gamma l).
        const complex_t t = std::exp(-complex_t(line.loss_db_at_1ghz * std::sqrt(f / 1e9) * std::log(10.0) / 20,
                                                2 * pi * f * line.delay));
        const sparams_t s = filter->at(f), inner = ladder->at(f);
        EXPECT_LT(std::abs(s.s21 - t * t * inner.s21), 1e-12) << f;
        EXPECT_LT(std::abs(s.s11 - t * t * inner.s11), 1e-12) << f;
    }
    // A few dB of loss at the centre, tens of dB of rejection 20 % off it.
    const double at_center = -20 * std::log10(std::abs(filter->at(4.5e9).s21));
    EXPECT_GT(at_center, 1.0);
    EXPECT_LT(at_center, 4.0);
    EXPECT_LT(20 * std::log10(std::abs(filter->at(3.6e9).s21)), -40);
}

TEST(Devices, PassiveDevicesArePassiveAndReciprocal) {
    for (const char* name : {"bandpass", "lowpass", "notch", "thru", "line", "open", "short", "match",
                             "attenuator,db=3", "line,delay=3e-9,loss=2", "bandpass,order=9,q=0,fbw=0.3"}) {
        SCOPED_TRACE(name);
        const auto device = make_device(name);
        EXPECT_TRUE(device->passive());
        for (double f : grid(1e6, 2e10, 401)) {
            const sparams_t s = device->at(f);
            EXPECT_LE(largest_singular_value(s), 1 + 1e-12) << f;
            EXPECT_LT(std::abs(s.s21 - s.s12), 1e-12) << f;
        }
    }
    const auto amplifier = make_device("amplifier,gain=15");
    EXPECT_FALSE(amplifier->passive());
    EXPECT_NEAR(20 * std::log10(std::abs(amplifier->at(1e6).s21)), 15, 1e-3);
    EXPECT_GT(std::abs(amplifier->at(1e9).s21), 100 * std::abs(amplifier->at(1e9).s12));
}

TEST(Devices, NamesAndParametersAreChecked) {
    for (const char* bad : {"", "bandpassx", "line,delay", "line,delay=x", "line,speed=1", "attenuator,db=-1"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(make_device(bad), std::invalid_argument);
    }
    EXPECT_EQ(make_device(" Line , delay=2e-9 ")->description(), "line,delay=2e-09,loss=0.5");
}

TEST(Formats, EachFormatIsItsDefinition) {
    const std::vector<complex_t> data{{0.5, 0.5}, {-0.3, 0.1}, {-0.2, -0.6}, {0.0, 0.8}};
    const std::vector<double> f{1e9, 2e9, 3e9, 4e9};
    struct row_t {
        format_t format;
        double (*first)(complex_t);
        double (*second)(complex_t);
    };
    auto zero = +[](complex_t) { return 0.0; };
    const row_t rows[] = {
        {format_t::mlog, +[](complex_t s) { return 20 * std::log10(std::abs(s)); }, zero},
        {format_t::mlin, +[](complex_t s) { return std::abs(s); }, zero},
        {format_t::phase, +[](complex_t s) { return std::atan2(s.imag(), s.real()) * 180 / pi; }, zero},
        {format_t::pphase, +[](complex_t s) { return std::fmod(std::atan2(s.imag(), s.real()) * 180 / pi + 360, 360); }, zero},
        {format_t::swr, +[](complex_t s) { return (1 + std::abs(s)) / (1 - std::abs(s)); }, zero},
        {format_t::real, +[](complex_t s) { return s.real(); }, zero},
        {format_t::imag, +[](complex_t s) { return s.imag(); }, zero},
        {format_t::slin, +[](complex_t s) { return std::abs(s); }, +[](complex_t s) { return std::atan2(s.imag(), s.real()) * 180 / pi; }},
        {format_t::plog, +[](complex_t s) { return 20 * std::log10(std::abs(s)); }, +[](complex_t s) { return std::atan2(s.imag(), s.real()) * 180 / pi; }},
        {format_t::smith, +[](complex_t s) { return s.real(); }, +[](complex_t s) { return s.imag(); }},
        {format_t::polar, +[](complex_t s) { return s.real(); }, +[](complex_t s) { return s.imag(); }},
    };
    std::vector<double> out;
    for (const auto& row : rows) {
        format_data(data, f, row.format, out);
        ASSERT_EQ(out.size(), 2 * data.size());
        for (std::size_t k = 0; k < data.size(); ++k) {
            EXPECT_NEAR(out[2 * k], row.first(data[k]), 1e-12) << static_cast<int>(row.format) << " " << k;
            EXPECT_NEAR(out[2 * k + 1], row.second(data[k]), 1e-12) << static_cast<int>(row.format) << " " << k;
        }
    }
    // Unwrapped phase keeps turning past +-180 degrees.
    format_data(data, f, format_t::uphase, out);
    EXPECT_NEAR(out[2], 180 - std::atan2(0.1, 0.3) * 180 / pi, 1e-12);
    EXPECT_NEAR(out[4], 180 + std::atan2(0.6, 0.2) * 180 / pi, 1e-12);
}

TEST(Formats, GroupDelayOfALineIsItsDelay) {
    for (const char* delay_text : {"0.25e-9", "1e-9", "7e-9"}) {
        const double delay = std::stod(delay_text);
        const auto line = make_device(std::string("line,loss=1,delay=") + delay_text);
        stimulus_t s;
        s.start = 1e8;
        s.stop = 6e9;
        s.points = 1601;
        receiver_t quiet;
        quiet.noise = false;
        const sweep_data_t data = measure_raw(*line, s, quiet, {});
        std::vector<double> out;
        format_data(parameter(data, 2, 1), data.frequency, format_t::gdelay, out);
        for (std::size_t k = 0; k < data.frequency.size(); k += 100) EXPECT_NEAR(out[2 * k], delay, 1e-6 * delay) << k;
        // Electrical delay of the same amount flattens its phase.
        std::vector<complex_t> t = parameter(data, 2, 1);
        trace_settings_t settings;
        settings.electrical_delay = delay;
        apply_trace(t, {}, data.frequency, settings);
        for (const auto& v : t) EXPECT_NEAR(std::arg(v), 0, 1e-9);
    }
}

TEST(Receivers, NoiseIsSeededFollowsBandwidthAndFallsWithAveraging) {
    const auto thru = make_device("thru");
    stimulus_t s;
    s.points = 4001;
    s.power = -20;
    auto measured_sigma = [&](const receiver_t& r) {
        const sweep_data_t data = measure_raw(*thru, s, r, {});
        double sum = 0;
        for (const auto& p : data.s) sum += std::norm(p.s21 - 1.0) + std::norm(p.s11);
        return std::sqrt(sum / (4.0 * static_cast<double>(data.s.size())));  // per part
    };
    receiver_t r;
    const double one = measured_sigma(r);
    EXPECT_NEAR(one, noise_sigma(s.if_bandwidth, s.power, 1), 0.05 * one);
    for (int n : {4, 16, 100}) {
        receiver_t averaged = r;
        averaged.averages = n;
        EXPECT_NEAR(one / measured_sigma(averaged), std::sqrt(n), 0.08 * std::sqrt(n)) << n;
    }
    EXPECT_NEAR(noise_sigma(1e5, 0, 1) / noise_sigma(1e3, 0, 1), 10, 1e-9);
    EXPECT_NEAR(noise_sigma(1e3, -20, 1) / noise_sigma(1e3, 0, 1), 10, 1e-9);
    // The same seed repeats the sweep; another does not.
    const auto a = measure_raw(*thru, s, r, {}), b = measure_raw(*thru, s, r, {});
    receiver_t other = r;
    other.seed = 2;
    const auto c = measure_raw(*thru, s, other, {});
    EXPECT_EQ(a.s[17].s21, b.s[17].s21);
    EXPECT_NE(a.s[17].s21, c.s[17].s21);
}

TEST(Touchstone, FilesRoundTripInEveryFormat) {
    const auto filter = make_device("bandpass");
    const sweep_data_t data = filter->sweep(grid(1e9, 8e9, 57));
    for (auto format : {touchstone_format_t::ma, touchstone_format_t::db, touchstone_format_t::ri}) {
        const sweep_data_t back = parse_touchstone(write_touchstone(data, 2, format), 2);
        ASSERT_EQ(back.frequency, data.frequency);
        for (std::size_t k = 0; k < data.s.size(); ++k) {
            for (auto [row, column] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 2}}) {
                const complex_t want = element(data.s[k], row, column);
                EXPECT_LT(std::abs(element(back.s[k], row, column) - want), 1e-12 * (1 + std::abs(want)));
            }
        }
    }
    // As a device: its points, and straight lines between them.
    const auto table = make_table_device(data, "filter");
    const complex_t mid = 0.5 * (data.s[10].s21 + data.s[11].s21);
    EXPECT_LT(std::abs(table->at(0.5 * (data.frequency[10] + data.frequency[11])).s21 - mid), 1e-15);
    EXPECT_EQ(table->at(data.frequency[20]).s12, data.s[20].s12);
    EXPECT_EQ(table->at(0).s11, data.s.front().s11);  // held outside
}

TEST(Touchstone, OptionsCommentsAndFaults) {
    // MHz, DB, 75 ohms, comments anywhere, upper and lower case.
    const char* text =
        "! a 75 ohm load\n"
        "# mhz s db r 75\n"
        "100  -300 0 ! far below a perfect match\n"
        "200 -300 0\n";
    const sweep_data_t d = parse_touchstone(text, 1);
    ASSERT_EQ(d.frequency, (std::vector<double>{1e8, 2e8}));
    // Matched to 75 ohms is a 0.2 reflection at 50.
    EXPECT_NEAR(d.s[0].s11.real(), 0.2, 1e-12);
    EXPECT_NEAR(d.s[1].s22.real(), 0.2, 1e-12);
    EXPECT_EQ(d.s[0].s21, complex_t(0.0));
    const char* faults[] = {
        "# GHZ S MA R 50\n1 0.5 0 0.5\n",          // not whole points
        "# GHZ S MA R 50\n2 0.5 0\n1 0.5 0\n",     // falling frequency
        "# GHZ S MA R 50\n1 0.5 x\n",              // not a number
        "# GHZ Y MA R 50\n1 0.5 0\n",              // not S-parameters
        "",                                        // nothing
    };
    for (const char* fault : faults) EXPECT_THROW(parse_touchstone(fault, 1), std::invalid_argument) << fault;
    EXPECT_THROW(make_device("/nonexistent/file.s2p"), std::invalid_argument);
}

}  // namespace
