#include "measurement.h"

#include "commands.h"

#include "physics/equation.h"
#include "physics/time_domain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

namespace zorsim {

using physics::complex_t;

const char* const corrected_store = "trace data: corrected";
const char* const formatted_store = "trace data: formatted";
const char* const memory_store = "trace data: memory";
const char* const segment_store = "segment table";
const char* const equation_state_key = ":CALCulate#:TRACe#:EQUation[:STATe]";
const char* const equation_text_key = ":CALCulate#:TRACe#:EQUation:TEXT";

namespace {

// Operation register bits a sweep sets.
constexpr std::uint16_t operation_sweeping = 1u << 3;
constexpr std::uint16_t operation_measuring = 1u << 4;

int averages_of(const scpi::settings_store_t& s, int channel) {
    if (!s.boolean("[:SENSe#]:AVERage[:STATe]", {channel})) return 1;
    return static_cast<int>(s.integer("[:SENSe#]:AVERage:COUNt", {channel}));
}

bool point_averaging(const scpi::settings_store_t& s, int channel) {
    return s.boolean("[:SENSe#]:AVERage[:STATe]", {channel}) && s.keyword("[:SENSe#]:AVERage:MODE", {channel}) == "POIN";
}

void append_number(std::string& key, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    key.append(buf, r.ptr);
    key += ';';
}

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
    if (!inst.settings().boolean("[:SENSe#]:CORRection[:STATe]", {channel})) return "off";
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
    const bool on = inst.settings().boolean("[:SENSe#]:CORRection[:STATe]", {channel});
    if (on && found != inst.calibrations.end()) apply_calibration(found->second, sweep.corrected);
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
    // Tracking markers search the new data; their searches read the trace,
    // which must not start another sweep from within this one.
    static thread_local bool tracking = false;
    if (tracking) return;
    tracking = true;
    try {
        track_marker_searches(inst, channel);
    } catch (...) {
        tracking = false;
        throw;
    }
    tracking = false;
}

physics::math_t math_from_keyword(const std::string& k) {
    if (k == "ADD") return physics::math_t::add;
    if (k == "SUBT") return physics::math_t::subtract;
    if (k == "MULT") return physics::math_t::multiply;
    if (k == "DIV") return physics::math_t::divide;
    return physics::math_t::normal;
}

std::vector<complex_t> as_complex(const std::vector<double>& values) {
    std::vector<complex_t> out(values.size() / 2);
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = {values[2 * k], values[2 * k + 1]};
    return out;
}

physics::trace_settings_t trace_settings(const scpi::settings_store_t& s, int channel, int trace) {
    physics::trace_settings_t t;
    const std::vector<int> at{channel, trace};
    const auto parameter = s.integer(":CALCulate#:PARameter#:DEFine", at);  // S11, S21, S12, S22
    t.row = parameter == 0 || parameter == 2 ? 1 : 2;
    t.column = parameter == 0 || parameter == 1 ? 1 : 2;
    t.math = math_from_keyword(s.keyword(":CALCulate#:TRACe#:MATH:FUNCtion", at));
    t.electrical_delay = s.real(":CALCulate#:TRACe#:CORRection:EDELay[:TIME]", at);
    t.phase_offset = s.real(":CALCulate#:TRACe#:CORRection:OFFSet:PHASe", at);
    t.magnitude_offset = s.real(":CALCulate#:TRACe#:OFFSet:MAGNitude", at);
    t.magnitude_slope = s.real(":CALCulate#:TRACe#:OFFSet:MAGNitude:SLOPe", at);
    if (s.boolean("[:SENSe#]:CORRection:EXTension[:STATe]", {channel}))
        for (int p = 1; p <= 2; ++p) t.port_extension[p - 1] = s.real("[:SENSe#]:CORRection:EXTension:PORT#:TIME", {channel, p});
    return t;
}

}  // namespace

namespace {

// Stage (c) of a linear frequency sweep: the gate (in time, shown back in
// frequency), then with the transform on the data over the time axis
// (start to stop, as many instants as points).
void apply_time_domain(instrument_t& inst, int channel, int trace, trace_view_t& v, std::vector<complex_t>& data) {
    const auto& s = inst.settings();
    const std::vector<int> at{channel, trace};
    if (!time_domain_possible(s, channel) || data.size() < 2) return;
    if (s.boolean(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:STATe", at)) {
        const std::string shape = s.keyword(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:SHAPE", at);
        const auto gate_shape = shape == "MAX"    ? physics::gate_shape_t::maximum
                                : shape == "WIDE" ? physics::gate_shape_t::wide
                                : shape == "MIN"  ? physics::gate_shape_t::minimum
                                                  : physics::gate_shape_t::normal;
        const auto gate_type = s.keyword(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:TYPE", at) == "NOTC"
                                   ? physics::gate_type_t::notch
                                   : physics::gate_type_t::band_pass;
        data = physics::gate(v.frequency, data, s.real(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:STARt", at),
                             s.real(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:STOP", at), gate_shape, gate_type);
    }
    if (!shows_time(s, channel, trace)) return;
    const bool band_pass = s.keyword(":CALCulate#:TRACe#:TRANsform:TIME[:TYPE]", at) == "BPAS";
    const bool step = s.keyword(":CALCulate#:TRACe#:TRANsform:TIME:STIMulus", at) == "STEP";
    const auto kind = band_pass ? physics::transform_t::band_pass_impulse
                      : step    ? physics::transform_t::low_pass_step
                                : physics::transform_t::low_pass_impulse;
    const double start = s.real(":CALCulate#:TRACe#:TRANsform:TIME:STARt", at);
    const double stop = s.real(":CALCulate#:TRACe#:TRANsform:TIME:STOP", at);
    data = physics::transform(kind, v.frequency, data, s.real(":CALCulate#:TRACe#:TRANsform:TIME:KBESsel", at), start,
                              stop, data.size());
    v.x = physics::time_axis(start, stop, data.size());
}

// The trace's equation, when on and not empty, replaces its data after math
// and offsets. The equation commands refuse a text that does not compile
// while it is on; one that still got there (a recalled state) gives a
// trace of NaN.
void apply_trace_equation(instrument_t& inst, int channel, int trace, const std::vector<physics::sparams_t>& s,
                    const std::vector<complex_t>& memory, std::vector<complex_t>& data) {
    const auto& settings = inst.settings();
    if (!settings.boolean(equation_state_key, {channel, trace})) return;
    const std::string text = settings.text(equation_text_key, {channel, trace});
    if (text.empty()) return;
    const auto equation = physics::equation_t::compile(text);
    if (!equation.valid()) {
        std::fill(data.begin(), data.end(), complex_t(std::nan(""), std::nan("")));
        return;
    }
    physics::apply_equation(equation, s, memory, data);
}

}  // namespace

physics::format_t format_from_keyword(const std::string& k) {
    using physics::format_t;
    static const std::pair<const char*, format_t> table[] = {
        {"MLOG", format_t::mlog}, {"PHAS", format_t::phase}, {"GDEL", format_t::gdelay}, {"SLIN", format_t::slin},
        {"SLOG", format_t::slog}, {"SCOM", format_t::scomplex}, {"SMIT", format_t::smith},
        {"SADM", format_t::sadmittance}, {"PLIN", format_t::plin}, {"PLOG", format_t::plog},
        {"POL", format_t::polar}, {"MLIN", format_t::mlin}, {"SWR", format_t::swr}, {"REAL", format_t::real},
        {"IMAG", format_t::imag}, {"UPH", format_t::uphase}, {"PPH", format_t::pphase}};
    for (const auto& e : table)
        if (k == e.first) return e.second;
    return format_t::mlog;
}

physics::trace_settings_t trace_settings_of(const scpi::settings_store_t& s, int channel, int trace) {
    return trace_settings(s, channel, trace);
}

bool time_domain_possible(const scpi::settings_store_t& s, int channel) {
    return s.keyword("[:SENSe#]:SWEep:TYPE", {channel}) == "LIN";
}

bool shows_time(const scpi::settings_store_t& s, int channel, int trace) {
    return time_domain_possible(s, channel) && s.boolean(":CALCulate#:TRACe#:TRANsform:TIME:STATe", {channel, trace});
}

std::vector<double> trace_axis(instrument_t& inst, int channel, int trace) {
    const channel_sweep_t& sweep = channel_sweep(inst, channel);
    if (!shows_time(inst.settings(), channel, trace)) return sweep.x;
    const std::vector<int> at{channel, trace};
    return physics::time_axis(inst.settings().real(":CALCulate#:TRACe#:TRANsform:TIME:STARt", at),
                              inst.settings().real(":CALCulate#:TRACe#:TRANsform:TIME:STOP", at), sweep.x.size());
}

physics::stimulus_t stimulus_of(const scpi::settings_store_t& s, int channel) {
    physics::stimulus_t st;
    const std::vector<int> c{channel};
    const std::string type = s.keyword("[:SENSe#]:SWEep:TYPE", c);
    st.type = type == "LOG"    ? physics::sweep_type_t::logarithmic
              : type == "POW"  ? physics::sweep_type_t::power
              : type == "CW"   ? physics::sweep_type_t::cw_time
              : type == "SEGM" ? physics::sweep_type_t::segment
                               : physics::sweep_type_t::linear;
    st.points = static_cast<int>(s.integer("[:SENSe#]:SWEep:POINts", c));
    st.start = s.real("[:SENSe#]:FREQuency:STARt", c);
    st.stop = s.real("[:SENSe#]:FREQuency:STOP", c);
    st.cw = s.real("[:SENSe#]:FREQuency:CW", c);
    st.power = s.real(":SOURce#:POWer[:LEVel]", c);
    st.power_start = s.real(":SOURce#:POWer:STARt", c);
    st.power_stop = s.real(":SOURce#:POWer:STOP", c);
    st.if_bandwidth = s.real("[:SENSe#]:BANDwidth[:RESolution]", c);
    st.sweep_delay = s.real("[:SENSe#]:SWEep:DELay", c);
    if (!s.boolean("[:SENSe#]:SWEep:TIME:AUTO", c)) st.fixed_time = s.real("[:SENSe#]:SWEep:TIME", c);
    st.segments = segment_table(s, channel);
    return st;
}

std::vector<physics::segment_t> segment_table(const scpi::settings_store_t& s, int channel) {
    const std::string bytes = s.text(segment_store, {channel});
    std::vector<double> v(bytes.size() / sizeof(double));
    if (!v.empty()) std::memcpy(v.data(), bytes.data(), v.size() * sizeof(double));
    std::vector<physics::segment_t> table(v.size() / 4);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = {v[4 * i], v[4 * i + 1], static_cast<int>(v[4 * i + 2]), v[4 * i + 3]};
    return table;
}

void set_segment_table(scpi::settings_store_t& s, int channel, const std::vector<physics::segment_t>& table) {
    std::string bytes(table.size() * 4 * sizeof(double), '\0');
    for (std::size_t i = 0; i < table.size(); ++i) {
        const double v[4] = {table[i].start, table[i].stop, static_cast<double>(table[i].points),
                             table[i].if_bandwidth};
        std::memcpy(&bytes[i * sizeof v], v, sizeof v);
    }
    s.set_value(segment_store, {channel}, std::move(bytes));
}

bool is_free_running(const scpi::settings_store_t& s, int channel) {
    return s.keyword("[:SENSe#]:SWEep:MODE", {channel}) == "CONT" && s.keyword(":TRIGger[:SEQuence]:SOURce") == "INT";
}

double channel_sweep_time(const instrument_t& inst, int channel) {
    const auto& s = inst.settings();
    return physics::sweep_time(stimulus_of(s, channel), point_averaging(s, channel) ? averages_of(s, channel) : 1);
}

const channel_sweep_t& channel_sweep(instrument_t& inst, int channel) {
    const auto& s = inst.settings();
    channel_sweep_t& sweep = inst.sweeps[channel];
    const physics::stimulus_t st = stimulus_of(s, channel);
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
    const auto& s = inst.settings();
    channel_sweep_t& sweep = inst.sweeps[channel];
    return measure_raw_with(inst, standard, stimulus_of(s, channel), channel, averages_of(s, channel), ++sweep.index);
}

void update_calibration_status(instrument_t& inst) {
    constexpr std::uint16_t questionable_calibration = 1u << 8;
    bool doubtful = false;
    for (const auto& [channel, cal] : inst.calibrations) {
        if (!inst.settings().boolean("[:SENSe#]:CORRection[:STATe]", {channel})) continue;
        const cal_validity_t v = validity(cal, physics::frequencies(stimulus_of(inst.settings(), channel)));
        doubtful = doubtful || v == cal_validity_t::interpolated || v == cal_validity_t::invalid;
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
    const physics::stimulus_t st = stimulus_of(s, channel);
    const int averages = averages_of(s, channel);
    measure(inst, sweep, st, sweep_key(inst, st, averages), channel, averages);
    // Sweep averaging of a triggered sweep takes its whole group of sweeps.
    const bool sweep_averages = averages > 1 && !point_averaging(s, channel);
    const double seconds = inst.simulation.instant ? 0 : channel_sweep_time(inst, channel) * (sweep_averages ? averages : 1);
    sweep.busy_until = sim_clock_t::now() + std::chrono::duration_cast<sim_clock_t::duration>(
                                                std::chrono::duration<double>(seconds));
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
        for (int channel : inst.layout.channels()) sweeping = sweeping || is_free_running(inst.settings(), channel);
    std::uint16_t condition = inst.operation.condition;
    condition = static_cast<std::uint16_t>(sweeping ? condition | operation_sweeping | operation_measuring
                                                : condition & ~(operation_sweeping | operation_measuring));
    if (condition != inst.operation.condition) inst.operation.set_condition(condition);
    if (!busy && inst.opc_pending) {
        inst.opc_pending = false;
        inst.esr |= esr_operation_complete;
    }
}

bool stored_values(const instrument_t& inst, const char* store, int channel, int trace, std::size_t count,
                   std::vector<double>& values) {
    const std::string bytes = inst.settings().text(store, {channel, trace});
    if (bytes.empty() || bytes.size() != count * sizeof(double)) return false;
    values.resize(count);
    std::memcpy(values.data(), bytes.data(), bytes.size());
    return true;
}

void store_values(instrument_t& inst, const char* store, int channel, int trace, const std::vector<double>& values) {
    std::string bytes(values.size() * sizeof(double), '\0');
    if (!values.empty()) std::memcpy(&bytes[0], values.data(), bytes.size());
    inst.settings().set_value(store, {channel, trace}, std::move(bytes));
}

std::vector<complex_t> corrected_trace(instrument_t& inst, int channel, int trace) {
    const channel_sweep_t& sweep = channel_sweep(inst, channel);
    std::vector<double> written;
    if (stored_values(inst, corrected_store, channel, trace, 2 * sweep.corrected.s.size(), written))
        return as_complex(written);
    const auto t = trace_settings(inst.settings(), channel, trace);
    return physics::parameter(sweep.corrected, t.row, t.column);
}

std::vector<double> formatted_of(instrument_t& inst, int channel, int trace, const std::vector<complex_t>& data,
                                 const std::vector<double>& frequency) {
    const auto& s = inst.settings();
    const std::vector<int> at{channel, trace};
    std::vector<double> out;
    const physics::format_t format = format_from_keyword(s.keyword(":CALCulate#:TRACe#:FORMat", at));
    const bool smoothing = s.boolean(":CALCulate#:TRACe#:SMOothing[:STATe]", at);
    const double aperture = s.real(":CALCulate#:TRACe#:SMOothing:APERture", at);  // % of the sweep
    // Group delay takes the smoothing aperture as its own: the phase
    // difference over that many points rather than a moving average of the
    // neighbours' delays. Without smoothing: over the neighbours.
    std::size_t delay_aperture = 2;
    if (format == physics::format_t::gdelay && smoothing && data.size() > 1)
        delay_aperture = static_cast<std::size_t>(
            std::max(2.0, std::round(aperture / 100 * static_cast<double>(data.size() - 1))));
    physics::format_data(data, frequency, format, out, delay_aperture);
    if (smoothing && format != physics::format_t::gdelay) physics::smooth(out, aperture);
    return out;
}

trace_view_t trace_view(instrument_t& inst, int channel, int trace) {
    trace_view_t v;
    const channel_sweep_t& sweep = channel_sweep(inst, channel);
    v.x = sweep.x;
    v.frequency = sweep.corrected.frequency;
    v.corrected = corrected_trace(inst, channel, trace);
    const std::size_t n = v.corrected.size();
    v.format = format_from_keyword(inst.settings().keyword(":CALCulate#:TRACe#:FORMat", {channel, trace}));
    if (stored_values(inst, formatted_store, channel, trace, 2 * n, v.formatted)) return v;
    std::vector<double> memory_values;
    std::vector<complex_t> memory;
    if (stored_values(inst, memory_store, channel, trace, 2 * n, memory_values)) memory = as_complex(memory_values);
    std::vector<complex_t> data = v.corrected;
    physics::apply_trace(data, memory, v.frequency, trace_settings(inst.settings(), channel, trace));
    apply_trace_equation(inst, channel, trace, sweep.corrected.s, memory, data);
    if (inst.simulation.stages.time_domain) inst.simulation.stages.time_domain(v.frequency, data);
    apply_time_domain(inst, channel, trace, v, data);
    v.formatted = formatted_of(inst, channel, trace, data, v.frequency);
    return v;
}

}  // namespace zorsim

namespace zorsim {

namespace {

const char* const data_format_key = ":FORMat[:DATA]";  // stores "ASC", "REAL,32" or "REAL,64"
const char* const byte_order_key = ":FORMat:BORDer";

bool little_endian_host() {
    const std::uint16_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

template <class T>
void put_binary(std::string& out, double value, bool swapped) {
    const T v = static_cast<T>(value);
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    // SWAPped is little-endian on the wire, NORMal big-endian.
    if (swapped != little_endian_host()) std::reverse(bytes, bytes + sizeof(T));
    out.append(reinterpret_cast<const char*>(bytes), sizeof(T));
}

template <class T>
double get_binary(const char* p, bool swapped) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, p, sizeof(T));
    if (swapped != little_endian_host()) std::reverse(bytes, bytes + sizeof(T));
    T v;
    std::memcpy(&v, bytes, sizeof(T));
    return static_cast<double>(v);
}

int binary_bits(const scpi::settings_store_t& s) {
    const std::string f = s.text(data_format_key);
    return f == "REAL,32" ? 32 : f == "REAL,64" ? 64 : 0;
}

}  // namespace

namespace {

// Powers of ten that scale a value to 13 integer digits.
struct powers_t {
    double p[601];  // 10^-300 .. 10^300
    powers_t() {
        for (int k = -300; k <= 300; ++k) p[k + 300] = std::pow(10.0, k);
    }
    double operator()(int k) const { return p[k + 300]; }
};
const powers_t powers;

}  // namespace

// "+d.ddddddddddddE+XX" (the exponent of three digits past 99), as
// scpi::format_real writes, without its general conversion: a long text
// reply is mostly this. Written at `p`, at most 21 characters; returns the end.
char* put_real(char* p, double value) {
    if (std::isnan(value)) value = 9.91e37;
    else if (std::isinf(value)) value = value > 0 ? 9.9e37 : -9.9e37;
    const double magnitude = std::fabs(value);
    if (magnitude == 0) {
        std::memcpy(p, "+0.000000000000E+00", 19);
        return p + 19;
    }
    *p++ = value < 0 ? '-' : '+';
    // The decimal exponent from the binary one: right or one too small.
    int binary = 0;
    std::frexp(magnitude, &binary);
    int exponent = static_cast<int>(std::floor((binary - 1) * 0.30102999566398120));
    auto general = [&] {
        const auto r = std::to_chars(p, p + 24, magnitude, std::chars_format::scientific, 12);
        for (char* c = p; c != r.ptr; ++c)
            if (*c == 'e') *c = 'E';
        return r.ptr;
    };
    if (exponent < -280 || exponent > 280) return general();  // far outside trace data
    auto scaled = [&] { return magnitude * powers(12 - exponent); };
    double product = scaled();
    if (product >= 1e13) {  // the estimate was one too small
        ++exponent;
        product = scaled();
    }
    // The product is a few thousandths off the exact one: near half-way
    // between two last digits only the exact conversion rounds as printf.
    if (std::fabs(product - std::floor(product) - 0.5) < 1.0 / 64) return general();
    std::uint64_t digits = static_cast<std::uint64_t>(product + 0.5);
    if (digits >= 10000000000000ull) {  // rounded up to the next power of ten
        digits /= 10;
        ++exponent;
    }
    // The twelve digits after the point, two at a time.
    static const char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    std::uint64_t rest = digits % 1000000000000ull;
    p[0] = static_cast<char>('0' + digits / 1000000000000ull);
    p[1] = '.';
    for (int i = 12; i > 0; i -= 2) {
        std::memcpy(p + i, pairs + 2 * (rest % 100), 2);
        rest /= 100;
    }
    p += 14;
    *p++ = 'E';
    *p++ = exponent < 0 ? '-' : '+';
    const int e = exponent < 0 ? -exponent : exponent;
    if (e >= 100) *p++ = static_cast<char>('0' + e / 100);
    *p++ = static_cast<char>('0' + e / 10 % 10);
    *p++ = static_cast<char>('0' + e % 10);
    return p;
}

void append_real(std::string& out, double value) {
    char buf[32];
    out.append(buf, put_real(buf, value));
}

void answer_values(scpi::context_t& ctx, const double* values, std::size_t count) {
    ctx.expect_params(0, 0);
    const int bits = binary_bits(ctx.settings());
    std::string text;
    if (bits == 0) {
        // Written into one buffer kept for the next reply, then taken as the
        // answer in one copy, with room for the terminator the transport adds.
        static thread_local std::unique_ptr<char[]> buffer;
        static thread_local std::size_t capacity = 0;
        const std::size_t needed = count * 22 + 1;
        if (capacity < needed) {
            buffer.reset(new char[needed]);
            capacity = needed;
        }
        char* p = buffer.get();
        for (std::size_t i = 0; i < count; ++i) {
            if (i != 0) *p++ = ',';
            p = put_real(p, values[i]);
        }
        const auto length = static_cast<std::size_t>(p - buffer.get());
        text.reserve(length + 2);
        text.assign(buffer.get(), length);
        ctx.answer_owned(std::move(text));
        return;
    }
    const bool swapped = ctx.settings().keyword(byte_order_key) == "SWAP";
    const std::size_t bytes = count * static_cast<std::size_t>(bits / 8);
    const std::string length = std::to_string(bytes);
    text.reserve(2 + length.size() + bytes + 2);
    text += '#';
    text += static_cast<char>('0' + length.size());
    text += length;
    for (std::size_t i = 0; i < count; ++i) {
        const double v = values[i];
        if (bits == 32) put_binary<float>(text, v, swapped);
        else put_binary<double>(text, v, swapped);
    }
    ctx.answer_owned(std::move(text));
}

std::vector<double> values_param(scpi::context_t& ctx, std::size_t count) {
    std::vector<double> values(count);
    if (!ctx.params().empty() && ctx.params()[0].type == scpi::param_type_t::block) {
        ctx.expect_params(1, 1);
        const int bits = binary_bits(ctx.settings());
        const std::string& block = ctx.block_param(0);
        const std::size_t size = bits == 32 ? 4 : 8;
        if (block.size() != count * size) throw scpi::scpi_error(-109, "Missing parameter; block holds the wrong number of values");
        const bool swapped = ctx.settings().keyword(byte_order_key) == "SWAP";
        for (std::size_t i = 0; i < count; ++i)
            values[i] = size == 4 ? get_binary<float>(&block[i * 4], swapped) : get_binary<double>(&block[i * 8], swapped);
        return values;
    }
    ctx.expect_params(count, count);
    for (std::size_t i = 0; i < count; ++i) values[i] = ctx.real_param(i);
    return values;
}

void register_data_format_commands(scpi::command_table_t& t) {
    // :FORMat[:DATA] ASCii | REAL[,32|64]; answers "ASC", "REAL,32" or "REAL,64".
    t.add(
        data_format_key,
        [](scpi::context_t& ctx) {
            ctx.expect_params(1, 2);
            const std::size_t kind = ctx.choice_param(0, {"ASCii", "REAL"});
            std::string value = "ASC";
            if (kind == 1) {
                const std::int64_t bits = ctx.params().size() > 1 ? ctx.integer_param(1) : 64;
                if (bits != 32 && bits != 64) throw scpi::scpi_error(-224);
                value = bits == 32 ? "REAL,32" : "REAL,64";
            } else if (ctx.params().size() > 1) {
                throw scpi::scpi_error(-108);
            }
            ctx.settings().set_value(data_format_key, {}, value);
        },
        [](scpi::context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer(ctx.settings().text(data_format_key));
        });
    t.add_setting(scpi::string_setting(data_format_key, "ASC"));  // the store behind the command
    t.add_setting(scpi::choice_setting(byte_order_key, {"NORMal", "SWAPped"}, "NORM"));
}

}  // namespace zorsim
