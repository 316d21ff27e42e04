// Calibration standards as an analyzer's kit definition describes them, and
// what each standard is at a frequency: its reflection (open, short, load)
// or its two-port S-parameters (thru).
#pragma once

#include "network.h"

namespace zorsim::physics {

// The line between the reference plane and a standard's termination. Loss
// is ohms per second of delay at 1 GHz and grows with sqrt(f / 1 GHz), as
// skin loss does.
struct offset_t {
    double delay = 0.0;  // s, one way
    double loss = 0.0;   // ohm/s at 1 GHz
    double z0 = reference_impedance;
};

// One standard. `c` is the open's fringe capacitance polynomial in
// frequency (C0 F, C1 F/Hz, C2 F/Hz^2, C3 F/Hz^3); `l` the short's
// inductance polynomial (L0 H .. L3 H/Hz^3); `load` the load's impedance.
struct standard_t {
    offset_t offset;
    double c[4] = {0, 0, 0, 0};
    double l[4] = {0, 0, 0, 0};
    complex_t load{reference_impedance, 0.0};
};

struct cal_kit_t {
    standard_t open, short_, load, thru;
};

// Reflection of each kind of standard at `frequency` (Hz), against the
// ports' reference impedance.
complex_t open_reflection(const standard_t& open, double frequency);
complex_t short_reflection(const standard_t& short_, double frequency);
complex_t load_reflection(const standard_t& load, double frequency);
// The thru: a matched-or-not line of its offset Z0, delay and loss.
sparams_t thru_sparams(const standard_t& thru, double frequency);

// A kit whose standards are perfect and flush: open +1, short -1, load 0,
// thru of zero length.
cal_kit_t ideal_kit();

}  // namespace zorsim::physics
