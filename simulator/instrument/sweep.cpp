#include "sweep.h"

#include "measurement.h"
#include "settings.h"

#include <algorithm>
#include <charconv>
#include <thread>

namespace zorsim {

namespace {

int averages_of(const scpi::settings_store_t& s, int channel) {
    if (!s.get(settings::averaging, {channel})) return 1;
    return static_cast<int>(s.get(settings::average_count, {channel}));
}

bool point_averaging(const scpi::settings_store_t& s, int channel) {
    return s.get(settings::averaging, {channel}) &&
           s.get(settings::average_mode, {channel}) == settings::average_mode_t::point;
}

void append_number(std::string& key, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    key.append(buf, r.ptr);
    key += ';';
}

// What a sweep was taken with: a sweep whose key changed is stale.
std::string sweep_key(const instrument_t& inst, const physics::stimulus_t& st, int averages) {
    std::string key;
    for (double v : {static_cast<double>(st.type), static_cast<double>(st.points), st.start, st.stop, st.cw, st.power,
                     st.power_start, st.power_stop, st.if_bandwidth, static_cast<double>(averages),
                     inst.simulation.noise ? 1.0 : 0.0, static_cast<double>(inst.simulation.seed),
                     inst.simulation.errors ? 1.0 : 0.0})
        append_number(key, v);
    if (st.type == physics::sweep_type_t::segment)
        for (const auto& seg : st.segments)
            for (double v : {seg.start, seg.stop, static_cast<double>(seg.points), seg.if_bandwidth}) append_number(key, v);
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, reinterpret_cast<std::uintptr_t>(inst.simulation.dut.get()));
    key.append(buf, r.ptr);
    return key;
}

// Stage (a) of the analyzer: its own test set (seeded like its noise),
// unless the simulation leaves the errors out.
physics::chain_stages_t raw_stages(const instrument_t& inst) {
    physics::chain_stages_t stages = inst.simulation.stages;
    if (inst.simulation.errors && !stages.test_set) {
        const physics::test_set_t test_set(inst.simulation.seed);
        stages.test_set = [test_set](physics::sweep_data_t& data) {
            for (std::size_t k = 0; k < data.s.size(); ++k)
                data.s[k] = physics::raw_from_true(test_set.at(data.frequency[k]), data.s[k]);
        };
    }
    return stages;
}

physics::sweep_data_t measure_raw_with(const instrument_t& inst, const physics::device_t& device,
                                       const physics::stimulus_t& st, int channel, int averages, std::uint64_t index) {
    physics::receiver_t receiver;
    receiver.noise = inst.simulation.noise;
    receiver.averages = averages;
    // Each channel and each sweep draws its own noise, repeatably.
    receiver.seed = inst.simulation.seed * 0x100000001B3ull + static_cast<std::uint64_t>(channel) * 0x9E3779B1ull + index;
    return physics::measure_raw(device, st, receiver, raw_stages(inst));
}

// The correction a channel's data go through now, as a key.
std::string correction_key(const instrument_t& inst, int channel) {
    if (!inst.settings().get(settings::correction, {channel})) return "off";
    const auto found = inst.calibrations.find(channel);
    return found == inst.calibrations.end() ? "none" : "on;" + std::to_string(found->second.generation);
}

// Stage (b): the raw sweep through the channel's calibration when its
// correction is on; the questionable register's calibration bit tells
// when that calibration is interpolated or does not cover the sweep.
void correct_sweep(instrument_t& inst, channel_sweep_t& sweep, int channel) {
    sweep.corrected = physics::correct(sweep.raw, inst.simulation.stages);
    sweep.correction_key = correction_key(inst, channel);
    const auto found = inst.calibrations.find(channel);
    const bool on = inst.settings().get(settings::correction, {channel});
    if (on && found != inst.calibrations.end()) physics::apply_calibration(found->second, sweep.corrected);
    update_calibration_status(inst);
}

void measure(instrument_t& inst, channel_sweep_t& sweep, const physics::stimulus_t& st, const std::string& key,
             int channel, int averages) {
    sweep.raw = measure_raw_with(inst, *inst.simulation.dut, st, channel, averages, sweep.index);
    correct_sweep(inst, sweep, channel);
    sweep.x = physics::x_axis(st, point_averaging(inst.settings(), channel) ? averages : 1);
    sweep.stimulus = st;
    sweep.key = key;
    sweep.valid = true;
    inst.run_after_sweep(channel);
}

}  // namespace

bool is_free_running(const scpi::settings_store_t& s, int channel) {
    return s.get(settings::sweep_mode, {channel}) == settings::sweep_mode_t::continuous &&
           s.get(settings::trigger_source) == settings::trigger_source_t::internal;
}

double channel_sweep_time(const instrument_t& inst, int channel) {
    const auto& s = inst.settings();
    return physics::sweep_time(stimulus_of(inst, channel), point_averaging(s, channel) ? averages_of(s, channel) : 1);
}

const channel_sweep_t& channel_sweep(instrument_t& inst, int channel) {
    const auto& s = inst.settings();
    channel_sweep_t& sweep = inst.sweeps[channel];
    const physics::stimulus_t st = stimulus_of(inst, channel);
    const int averages = averages_of(s, channel);
    const bool free_running = is_free_running(s, channel);
    bool due = !sweep.valid || sweep.corrected.s.size() != physics::point_count(st);
    std::string key = sweep_key(inst, st, averages);
    if (free_running) {
        if (key != sweep.key) due = true;
        if (!inst.simulation.instant) {
            // In real time a free-running channel has finished this many sweeps.
            const double period = std::max(channel_sweep_time(inst, channel), 1e-6);
            const double elapsed = std::chrono::duration<double>(sim_clock_t::now() - inst.epoch).count();
            const auto index = static_cast<std::uint64_t>(elapsed / period);
            if (index != sweep.index) {
                sweep.index = index;
                due = true;
            }
        }
    }
    if (due)
        measure(inst, sweep, st, key, channel, averages);
    else if (sweep.correction_key != correction_key(inst, channel))
        correct_sweep(inst, sweep, channel);  // correction acts on the data held, no new sweep
    return sweep;
}

physics::sweep_data_t measure_standard(instrument_t& inst, int channel, const physics::device_t& standard) {
    channel_sweep_t& sweep = inst.sweeps[channel];
    return measure_raw_with(inst, standard, stimulus_of(inst, channel), channel, averages_of(inst.settings(), channel),
                            ++sweep.index);
}

void update_calibration_status(instrument_t& inst) {
    bool doubtful = false;
    for (const auto& [channel, cal] : inst.calibrations) {
        if (!inst.settings().get(settings::correction, {channel})) continue;
        const auto v = physics::validity(cal, physics::frequencies(stimulus_of(inst, channel)));
        doubtful = doubtful || v == physics::cal_validity_t::interpolated || v == physics::cal_validity_t::invalid;
    }
    const std::uint16_t condition = inst.questionable.condition;
    const std::uint16_t wanted = static_cast<std::uint16_t>(doubtful ? condition | questionable_calibration
                                                                      : condition & ~questionable_calibration);
    if (wanted != condition) inst.questionable.set_condition(wanted);
}

void trigger_sweep(instrument_t& inst, int channel) {
    auto& s = inst.settings();
    channel_sweep_t& sweep = inst.sweeps[channel];
    ++sweep.index;
    const physics::stimulus_t st = stimulus_of(inst, channel);
    const int averages = averages_of(s, channel);
    measure(inst, sweep, st, sweep_key(inst, st, averages), channel, averages);
    // Sweep averaging of a triggered sweep takes its whole group of sweeps.
    const bool sweep_averages = averages > 1 && !point_averaging(s, channel);
    const double seconds = inst.simulation.instant ? 0 : channel_sweep_time(inst, channel) * (sweep_averages ? averages : 1);
    sweep.busy_until = sim_clock_t::now() + std::chrono::duration_cast<sim_clock_t::duration>(
                                                std::chrono::duration<double>(seconds));
    update_sweep_status(inst);
}

void abort_sweeps(instrument_t& inst) {
    for (auto& e : inst.sweeps) e.second.busy_until = sim_clock_t::now();
    update_sweep_status(inst);
}

void wait_for_sweeps(instrument_t& inst) {
    sim_clock_t::time_point until{};
    for (const auto& e : inst.sweeps) until = std::max(until, e.second.busy_until);
    if (until > sim_clock_t::now()) std::this_thread::sleep_until(until);
    update_sweep_status(inst);
}

void update_sweep_status(instrument_t& inst) {
    const auto now = sim_clock_t::now();
    bool busy = false;  // a triggered sweep runs
    for (const auto& e : inst.sweeps) busy = busy || e.second.busy_until > now;
    // A free-running channel is always in a sweep, unless sweeps take no time.
    bool sweeping = busy;
    if (!inst.simulation.instant)
        for (int channel : inst.setup.layout.channels()) sweeping = sweeping || is_free_running(inst.settings(), channel);
    std::uint16_t condition = inst.operation.condition;
    condition = static_cast<std::uint16_t>(sweeping ? condition | operation_sweeping | operation_measuring
                                                : condition & ~(operation_sweeping | operation_measuring));
    if (condition != inst.operation.condition) inst.operation.set_condition(condition);
    if (!busy && inst.opc_pending) {
        inst.opc_pending = false;
        inst.esr |= esr_operation_complete;
    }
}

}  // namespace zorsim
