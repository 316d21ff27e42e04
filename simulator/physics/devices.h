// Devices under test: what sits between the analyzer's two ports. Each is
// computed from its own model (lumped elements and lines cascaded as chain
// matrices, or a measured file); the test set and receivers see only the
// S-parameters a device answers.
#pragma once

#include "network.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zorsim::physics {

class device_t {
public:
    virtual ~device_t() = default;
    virtual sparams_t at(double frequency) const = 0;
    // What it was made from: a name with its parameters, or a file.
    virtual std::string description() const = 0;
    // Passive and reciprocal by construction (an amplifier is neither).
    virtual bool passive() const { return true; }

    // The device on a whole grid (ascending frequencies).
    sweep_data_t sweep(const std::vector<double>& frequency) const;
};

using device_ptr = std::shared_ptr<const device_t>;

// A lossy transmission line matched to the ports: its one-way delay at the
// speed it propagates, and its loss, which grows with the square root of
// frequency (skin effect) from `loss_db_at_1ghz`.
struct line_t {
    double delay = 0;  // s
    double loss_db_at_1ghz = 0;
    abcd_t chain(double frequency) const;
};

// An all-pole Chebyshev ladder of `order` resonators, series first, between
// 50 ohm ports: the low-pass prototype's elements from their closed form,
// scaled to a band-pass around `center` with fractional bandwidth `fbw`, or
// to a low-pass with cutoff `center` when `low_pass`. Each resonator has the
// unloaded quality factor `q` (0: lossless). Lines on both sides.
struct ladder_design_t {
    bool low_pass = false;
    int order = 5;
    double center = 4.5e9;  // Hz; the cutoff of a low-pass
    double fbw = 0.1;
    double ripple_db = 0.1;
    double q = 150;
    line_t input{0.4e-9, 0.12};
    line_t output{0.4e-9, 0.12};

    // g1..g(order+1) of the Chebyshev low-pass prototype.
    std::vector<double> prototype() const;
    // |S21|^2 of the lossless ladder without its lines: 1/(1 + eps^2 T_n^2(Omega)).
    double ideal_transmission(double frequency) const;
};

// The default device: a 5th-order coupled-resonator band-pass filter around
// 4.5 GHz with a few dB of loss and lossy lines on both sides.
device_ptr make_ladder(const ladder_design_t& design);

// A device by name with optional parameters, "name[,key=value...]":
//   bandpass    center, fbw, order (odd), ripple (dB), q, delay (s, each line), loss (dB at 1 GHz, each line)
//   lowpass     cutoff, order, ripple, q, delay, loss
//   notch       center, q, inductance (H) of a shunt series resonator; delay, loss
//   line        delay, loss
//   attenuator  db
//   amplifier   gain, isolation, match (dB)
//   thru, open, short, match
// or a Touchstone file (.s1p/.s2p). Throws std::invalid_argument with a
// readable reason for an unknown name, a bad parameter or an unreadable file.
device_ptr make_device(std::string_view spec);

// The names make_device knows, for help texts.
std::vector<std::string> device_names();

}  // namespace zorsim::physics
