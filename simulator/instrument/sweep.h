// When a channel sweeps and what its sweep holds: a channel's last sweep
// is kept and measured again only when one is due (the settings changed,
// a trigger came, or in real time the next free-running sweep finished),
// and the operation register and a pending *OPC follow the clock.
#pragma once

#include "instrument.h"

#include <simulator/physics/chain.h>
#include <simulator/physics/devices.h>

namespace zorsim {

// The channel's last sweep; runs one when it is due (continuous mode: the
// settings changed or, in real time, the next sweep finished; otherwise
// only when none was taken yet or the number of points changed). The
// after-sweep hooks run after each new sweep.
const channel_sweep_t& channel_sweep(instrument_t& inst, int channel);
// Raw data of a standard connected in place of the device, measured on the
// channel's present stimulus (the calibration's standards).
physics::sweep_data_t measure_standard(instrument_t& inst, int channel, const physics::device_t& standard);
// The questionable register's calibration bit: set while a channel corrects
// with a calibration that is interpolated or does not cover its sweep.
void update_calibration_status(instrument_t& inst);

// Triggers one sweep of the channel now; it ends after its sweep time
// (at once in instant mode). Only a free-running channel sweeps again on its own.
void trigger_sweep(instrument_t& inst, int channel);
// Ends the triggered sweeps now.
void abort_sweeps(instrument_t& inst);
// Blocks until every triggered sweep has ended (*WAI, *OPC?).
void wait_for_sweeps(instrument_t& inst);
// A channel that sweeps again and again on its own (continuous, internal trigger).
bool is_free_running(const scpi::settings_store_t& settings, int channel);
// Sweeping/measuring bits of the operation register (a triggered sweep
// running, or a free-running channel in real time) and a pending *OPC
// (triggered sweeps only), from the clock.
void update_sweep_status(instrument_t& inst);
// Seconds one sweep of the channel takes with its present settings.
double channel_sweep_time(const instrument_t& inst, int channel);

}  // namespace zorsim
