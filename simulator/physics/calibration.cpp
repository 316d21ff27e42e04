#include "calibration.h"

#include <Eigen/Dense>
#include <cmath>
#include <random>

namespace zorsim::physics {

namespace {


complex_t& reflection_tracking(error_terms_t& e, int port) {
    return port == 2 ? e.reflection_tracking_r : e.reflection_tracking_f;
}

// One port's reflection terms from three standards of known reflection:
// m = e00 + e01e10 G / (1 - e11 G) is linear in e00, e11 and
// d = e00 e11 - e01e10 once multiplied out: m = e00 + G m e11 - G d.
void solve_reflection_terms(const complex_t (&known)[3], const complex_t (&measured)[3], complex_t& directivity,
                            complex_t& source_match, complex_t& tracking) {
    Eigen::Matrix3cd a;
    Eigen::Vector3cd b;
    for (int i = 0; i < 3; ++i) {
        a(i, 0) = 1.0;
        a(i, 1) = known[i] * measured[i];
        a(i, 2) = -known[i];
        b(i) = measured[i];
    }
    const Eigen::Vector3cd x = a.fullPivLu().solve(b);
    directivity = x(0);
    source_match = x(1);
    tracking = x(0) * x(1) - x(2);
}

// The actual reflection at a port's plane from its raw reflection.
complex_t reflection_at_plane(complex_t raw, complex_t directivity, complex_t source_match, complex_t tracking) {
    const complex_t a = (raw - directivity) / tracking;
    return a / (1.0 + a * source_match);
}

}  // namespace

sparams_t raw_from_true(const error_terms_t& e, const sparams_t& s) {
    const complex_t det = s.s11 * s.s22 - s.s21 * s.s12;
    const complex_t forward = 1.0 - e.source_match_f * s.s11 - e.load_match_f * s.s22 + e.source_match_f * e.load_match_f * det;
    const complex_t reverse = 1.0 - e.source_match_r * s.s22 - e.load_match_r * s.s11 + e.source_match_r * e.load_match_r * det;
    sparams_t raw;
    raw.s11 = e.directivity_f + e.reflection_tracking_f * (s.s11 - e.load_match_f * det) / forward;
    raw.s21 = e.isolation_f + e.transmission_tracking_f * s.s21 / forward;
    raw.s22 = e.directivity_r + e.reflection_tracking_r * (s.s22 - e.load_match_r * det) / reverse;
    raw.s12 = e.isolation_r + e.transmission_tracking_r * s.s12 / reverse;
    return raw;
}

complex_t test_set_t::term_t::at(double frequency) const {
    const double swing = 1.0 + ripple * std::cos(2.0 * pi * frequency / ripple_period + phase);
    return std::polar(magnitude * swing, phase - 2.0 * pi * frequency * delay);
}

test_set_t::test_set_t(std::uint64_t seed) {
    // mt19937_64 is fully specified, so a seed gives the same analyzer on
    // every platform; the distributions are not, hence the plain mapping.
    std::mt19937_64 generator(seed);
    auto uniform = [&generator](double low, double high) {
        return low + (high - low) * static_cast<double>(generator() >> 11) * 0x1.0p-53;
    };
    // Per term: magnitude range, ripple depth, delay range (s).
    struct range_t {
        double low, high, ripple, delay_low, delay_high;
    };
    const range_t directivity{0.005, 0.02, 0.5, 0.1e-9, 0.5e-9};
    const range_t match{0.03, 0.12, 0.4, 0.2e-9, 1.0e-9};
    const range_t tracking{0.6, 0.9, 0.05, 2e-9, 4e-9};
    const range_t transmission{0.5, 0.85, 0.05, 4e-9, 8e-9};
    const range_t isolation{1e-6, 1e-5, 0.5, 0.0, 1e-9};
    const range_t* const kinds[12] = {&directivity, &match, &tracking, &match, &transmission, &isolation,
                                      &directivity, &match, &tracking, &match, &transmission, &isolation};
    for (int i = 0; i < 12; ++i) {
        const range_t& r = *kinds[i];
        terms_[i] = {uniform(r.low, r.high), uniform(0.0, r.ripple), uniform(0.5e9, 3e9), uniform(-pi, pi),
                     uniform(r.delay_low, r.delay_high)};
    }
}

error_terms_t test_set_t::at(double f) const {
    return {terms_[0].at(f), terms_[1].at(f), terms_[2].at(f), terms_[3].at(f),  terms_[4].at(f),  terms_[5].at(f),
            terms_[6].at(f), terms_[7].at(f), terms_[8].at(f), terms_[9].at(f), terms_[10].at(f), terms_[11].at(f)};
}

calibration_point_t solve_response_open(const cal_kit_t& kit, double frequency, int port, complex_t measured) {
    calibration_point_t cal{cal_method_t::response_open, port, {}};
    reflection_tracking(cal.terms, port) = measured / open_reflection(kit.open, frequency);
    return cal;
}

calibration_point_t solve_response_short(const cal_kit_t& kit, double frequency, int port, complex_t measured) {
    calibration_point_t cal{cal_method_t::response_short, port, {}};
    reflection_tracking(cal.terms, port) = measured / short_reflection(kit.short_, frequency);
    return cal;
}

calibration_point_t solve_response_thru(const cal_kit_t& kit, double frequency, const sparams_t& measured) {
    const sparams_t thru = thru_sparams(kit.thru, frequency);
    calibration_point_t cal{cal_method_t::response_thru, 1, {}};
    cal.terms.transmission_tracking_f = measured.s21 / thru.s21;
    cal.terms.transmission_tracking_r = measured.s12 / thru.s12;
    return cal;
}

calibration_point_t solve_one_port(const cal_kit_t& kit, double frequency, int port,
                                   const standard_measurements_t& measured) {
    const int i = port == 2 ? 1 : 0;
    const complex_t known[3] = {open_reflection(kit.open, frequency), short_reflection(kit.short_, frequency),
                                load_reflection(kit.load, frequency)};
    const complex_t raw[3] = {measured.open[i], measured.short_[i], measured.load[i]};
    calibration_point_t cal{cal_method_t::one_port, port, {}};
    error_terms_t& e = cal.terms;
    if (port == 2)
        solve_reflection_terms(known, raw, e.directivity_r, e.source_match_r, e.reflection_tracking_r);
    else
        solve_reflection_terms(known, raw, e.directivity_f, e.source_match_f, e.reflection_tracking_f);
    return cal;
}

calibration_point_t solve_two_port(const cal_kit_t& kit, double frequency, const standard_measurements_t& measured) {
    calibration_point_t cal{cal_method_t::two_port, 1, {}};
    error_terms_t& e = cal.terms;
    e = solve_one_port(kit, frequency, 1, measured).terms;
    const error_terms_t port2 = solve_one_port(kit, frequency, 2, measured).terms;
    e.directivity_r = port2.directivity_r;
    e.source_match_r = port2.source_match_r;
    e.reflection_tracking_r = port2.reflection_tracking_r;
    e.isolation_f = measured.isolation_f;
    e.isolation_r = measured.isolation_r;

    // The thru need not be flush: with its S-parameters T known, the load
    // match follows from the reflection seen at the driving port,
    // G = T11 + T21 T12 L / (1 - T22 L), and the tracking from the
    // transmission, raw21 - X = Tt T21 / (1 - Es T11 - L T22 + Es L det T).
    const sparams_t t = thru_sparams(kit.thru, frequency);
    const complex_t det = t.s11 * t.s22 - t.s21 * t.s12;
    const sparams_t& raw = measured.thru;

    complex_t g = reflection_at_plane(raw.s11, e.directivity_f, e.source_match_f, e.reflection_tracking_f) - t.s11;
    e.load_match_f = g / (t.s21 * t.s12 + t.s22 * g);
    e.transmission_tracking_f = (raw.s21 - e.isolation_f) *
                                (1.0 - e.source_match_f * t.s11 - e.load_match_f * t.s22 +
                                 e.source_match_f * e.load_match_f * det) /
                                t.s21;

    g = reflection_at_plane(raw.s22, e.directivity_r, e.source_match_r, e.reflection_tracking_r) - t.s22;
    e.load_match_r = g / (t.s21 * t.s12 + t.s11 * g);
    e.transmission_tracking_r = (raw.s12 - e.isolation_r) *
                                (1.0 - e.source_match_r * t.s22 - e.load_match_r * t.s11 +
                                 e.source_match_r * e.load_match_r * det) /
                                t.s12;
    return cal;
}

sparams_t correct(const calibration_point_t& cal, const sparams_t& raw) {
    const error_terms_t& e = cal.terms;
    sparams_t s = raw;
    switch (cal.method) {
        case cal_method_t::none:
            break;
        case cal_method_t::response_open:
        case cal_method_t::response_short:
            if (cal.port == 2)
                s.s22 = raw.s22 / e.reflection_tracking_r;
            else
                s.s11 = raw.s11 / e.reflection_tracking_f;
            break;
        case cal_method_t::response_thru:
            s.s21 = raw.s21 / e.transmission_tracking_f;
            s.s12 = raw.s12 / e.transmission_tracking_r;
            break;
        case cal_method_t::one_port:
            if (cal.port == 2)
                s.s22 = reflection_at_plane(raw.s22, e.directivity_r, e.source_match_r, e.reflection_tracking_r);
            else
                s.s11 = reflection_at_plane(raw.s11, e.directivity_f, e.source_match_f, e.reflection_tracking_f);
            break;
        case cal_method_t::two_port: {
            const complex_t a = (raw.s11 - e.directivity_f) / e.reflection_tracking_f;
            const complex_t b = (raw.s21 - e.isolation_f) / e.transmission_tracking_f;
            const complex_t c = (raw.s12 - e.isolation_r) / e.transmission_tracking_r;
            const complex_t d = (raw.s22 - e.directivity_r) / e.reflection_tracking_r;
            const complex_t es = e.source_match_f, er = e.source_match_r;
            const complex_t lf = e.load_match_f, lr = e.load_match_r;
            const complex_t denominator = (1.0 + a * es) * (1.0 + d * er) - b * c * lf * lr;
            s.s11 = (a * (1.0 + d * er) - lf * b * c) / denominator;
            s.s21 = b * (1.0 + d * (er - lf)) / denominator;
            s.s12 = c * (1.0 + a * (es - lr)) / denominator;
            s.s22 = (d * (1.0 + a * es) - lr * b * c) / denominator;
            break;
        }
    }
    return s;
}

}  // namespace zorsim::physics
