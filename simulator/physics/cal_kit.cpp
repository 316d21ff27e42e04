#include "cal_kit.h"

#include <cmath>

namespace zorsim::physics {

namespace {

const complex_t j{0.0, 1.0};

// The offset line at one frequency: its characteristic impedance and its
// one-way propagation gamma*l. At DC (or below) the line is lossless and
// of zero electrical length.
struct line_t {
    complex_t zc;
    complex_t gamma_l;
};

line_t offset_line(const offset_t& offset, double frequency) {
    if (frequency <= 0.0) return {offset.z0, 0.0};
    const double omega = 2.0 * pi * frequency;
    const double skin = std::sqrt(frequency / 1e9);
    const complex_t zc = offset.z0 + complex_t(1.0, -1.0) * (offset.loss / (2.0 * omega)) * skin;
    const double alpha_l = offset.loss * offset.delay / (2.0 * offset.z0) * skin;
    const double beta_l = omega * offset.delay + alpha_l;
    return {zc, complex_t(alpha_l, beta_l)};
}

complex_t reflection(complex_t z, complex_t reference) { return (z - reference) / (z + reference); }

// Reflection at the reference plane of a termination whose reflection
// against the line's own impedance is `gamma_t`. Written with reflections
// only, so an open of no capacitance (infinite impedance) stays finite.
complex_t through_offset(const offset_t& offset, double frequency, complex_t gamma_t) {
    const line_t line = offset_line(offset, frequency);
    const complex_t step = reflection(line.zc, reference_impedance);
    const complex_t at_end = gamma_t * std::exp(-2.0 * line.gamma_l);
    return (step + at_end) / (1.0 + step * at_end);
}

double polynomial(const double (&k)[4], double f) { return k[0] + f * (k[1] + f * (k[2] + f * k[3])); }

}  // namespace

complex_t open_reflection(const standard_t& open, double frequency) {
    const line_t line = offset_line(open.offset, frequency);
    // 1/(jwC) against Zc, rearranged so that C = 0 gives +1.
    const complex_t jwcz = j * (2.0 * pi * frequency * polynomial(open.c, frequency)) * line.zc;
    return through_offset(open.offset, frequency, (1.0 - jwcz) / (1.0 + jwcz));
}

complex_t short_reflection(const standard_t& short_, double frequency) {
    const line_t line = offset_line(short_.offset, frequency);
    const complex_t z = j * (2.0 * pi * frequency * polynomial(short_.l, frequency));
    return through_offset(short_.offset, frequency, reflection(z, line.zc));
}

complex_t load_reflection(const standard_t& load, double frequency) {
    const line_t line = offset_line(load.offset, frequency);
    return through_offset(load.offset, frequency, reflection(load.load, line.zc));
}

sparams_t thru_sparams(const standard_t& thru, double frequency) {
    const line_t line = offset_line(thru.offset, frequency);
    const complex_t g = reflection(line.zc, reference_impedance);
    const complex_t p = std::exp(-line.gamma_l);
    const complex_t denominator = 1.0 - g * g * p * p;
    const complex_t s11 = g * (1.0 - p * p) / denominator;
    const complex_t s21 = p * (1.0 - g * g) / denominator;
    return {s11, s21, s21, s11};
}

cal_kit_t ideal_kit() { return {}; }

}  // namespace zorsim::physics
