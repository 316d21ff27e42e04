#include "measurement.h"

#include "settings.h"
#include "sweep.h"

#include <simulator/physics/equation.h>
#include <simulator/physics/time_domain.h>

#include <algorithm>
#include <cmath>

namespace zorsim {

using physics::complex_t;

namespace {

std::vector<complex_t> as_complex(const std::vector<double>& values) {
    std::vector<complex_t> out(values.size() / 2);
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = {values[2 * k], values[2 * k + 1]};
    return out;
}

physics::gate_shape_t gate_shape_of(settings::gate_shape_t shape) {
    switch (shape) {
        case settings::gate_shape_t::maximum: return physics::gate_shape_t::maximum;
        case settings::gate_shape_t::wide: return physics::gate_shape_t::wide;
        case settings::gate_shape_t::minimum: return physics::gate_shape_t::minimum;
        case settings::gate_shape_t::normal: break;
    }
    return physics::gate_shape_t::normal;
}

// Stage (c) of a linear frequency sweep: the gate (in time, shown back in
// frequency), then with the transform on the data over the time axis
// (start to stop, as many instants as points).
void apply_time_domain(const instrument_t& inst, int channel, int trace, trace_view_t& v,
                       std::vector<complex_t>& data) {
    const auto& s = inst.settings();
    const std::vector<int> at{channel, trace};
    if (!time_domain_possible(s, channel) || data.size() < 2) return;
    if (s.get(settings::gate, at))
        data = physics::gate(v.frequency, data, s.get(settings::gate_start, at), s.get(settings::gate_stop, at),
                             gate_shape_of(s.get(settings::gate_shape, at)), s.get(settings::gate_type, at));
    if (!shows_time(s, channel, trace)) return;
    const double start = s.get(settings::transform_start, at);
    const double stop = s.get(settings::transform_stop, at);
    data = physics::transform(transform_of(s, channel, trace), v.frequency, data, s.get(settings::kaiser_beta, at), start, stop,
                              data.size());
    v.x = physics::time_axis(start, stop, data.size());
}

// The trace's equation, when on and not empty, replaces its data after math
// and offsets. The equation commands refuse a text that does not compile
// while it is on; one that still got there (a recalled state) gives a
// trace of NaN.
void apply_trace_equation(const instrument_t& inst, int channel, int trace, const std::vector<physics::sparams_t>& s,
                          const std::vector<complex_t>& memory, std::vector<complex_t>& data) {
    const auto& settings = inst.settings();
    if (!settings.get(settings::equation_state, {channel, trace})) return;
    const std::string text = settings.get(settings::equation_text, {channel, trace});
    if (text.empty()) return;
    const auto equation = physics::equation_t::compile(text);
    if (!equation.valid()) {
        std::fill(data.begin(), data.end(), complex_t(std::nan(""), std::nan("")));
        return;
    }
    physics::apply_equation(equation, s, memory, data);
}

}  // namespace

physics::trace_settings_t trace_settings_of(const scpi::settings_store_t& s, int channel, int trace) {
    physics::trace_settings_t t;
    const std::vector<int> at{channel, trace};
    const auto parameter = s.get(settings::parameter, at);  // S11, S21, S12, S22
    t.row = parameter == 0 || parameter == 2 ? 1 : 2;
    t.column = parameter == 0 || parameter == 1 ? 1 : 2;
    t.math = s.get(settings::math, at);
    t.electrical_delay = s.get(settings::electrical_delay, at);
    t.phase_offset = s.get(settings::phase_offset, at);
    t.magnitude_offset = s.get(settings::magnitude_offset, at);
    t.magnitude_slope = s.get(settings::magnitude_slope, at);
    if (s.get(settings::port_extensions, {channel}))
        for (int p = 1; p <= 2; ++p) t.port_extension[p - 1] = s.get(settings::port_extension, {channel, p});
    return t;
}

physics::transform_t transform_of(const scpi::settings_store_t& s, int channel, int trace) {
    const std::vector<int> at{channel, trace};
    if (s.get(settings::transform_type, at) == settings::transform_type_t::band_pass)
        return physics::transform_t::band_pass_impulse;
    return s.get(settings::transform_stimulus, at) == settings::transform_stimulus_t::step
               ? physics::transform_t::low_pass_step
               : physics::transform_t::low_pass_impulse;
}

bool time_domain_possible(const scpi::settings_store_t& s, int channel) {
    return s.get(settings::sweep_type, {channel}) == physics::sweep_type_t::linear;
}

bool shows_time(const scpi::settings_store_t& s, int channel, int trace) {
    return time_domain_possible(s, channel) && s.get(settings::transform, {channel, trace});
}

std::vector<double> trace_axis(instrument_t& inst, int channel, int trace) {
    const channel_sweep_t& sweep = channel_sweep(inst, channel);
    if (!shows_time(inst.settings(), channel, trace)) return sweep.x;
    const std::vector<int> at{channel, trace};
    return physics::time_axis(inst.settings().get(settings::transform_start, at),
                              inst.settings().get(settings::transform_stop, at), sweep.x.size());
}

physics::stimulus_t stimulus_of(const instrument_t& inst, int channel) {
    const auto& s = inst.settings();
    physics::stimulus_t st;
    const std::vector<int> c{channel};
    st.type = s.get(settings::sweep_type, c);
    st.points = static_cast<int>(s.get(settings::sweep_points, c));
    st.start = s.get(settings::frequency_start, c);
    st.stop = s.get(settings::frequency_stop, c);
    st.cw = s.get(settings::frequency_cw, c);
    st.power = s.get(settings::source_power, c);
    st.power_start = s.get(settings::source_power_start, c);
    st.power_stop = s.get(settings::source_power_stop, c);
    st.if_bandwidth = s.get(settings::if_bandwidth, c);
    st.sweep_delay = s.get(settings::sweep_delay, c);
    if (!s.get(settings::sweep_time_auto, c)) st.fixed_time = s.get(settings::sweep_time, c);
    const auto table = inst.setup.segment_tables.find(channel);
    if (table != inst.setup.segment_tables.end()) st.segments = table->second;
    return st;
}

const std::vector<double>* written_values(const instrument_t& inst, written_member_t which, int channel, int trace,
                                          std::size_t count) {
    const auto found = inst.setup.written.find({channel, trace});
    if (found == inst.setup.written.end()) return nullptr;
    const std::vector<double>& values = found->second.*which;
    return !values.empty() && values.size() == count ? &values : nullptr;
}

std::vector<complex_t> corrected_trace(instrument_t& inst, int channel, int trace) {
    const channel_sweep_t& sweep = channel_sweep(inst, channel);
    if (const auto* written = written_values(inst, &written_data_t::corrected, channel, trace, 2 * sweep.corrected.s.size()))
        return as_complex(*written);
    const auto t = trace_settings_of(inst.settings(), channel, trace);
    return physics::parameter(sweep.corrected, t.row, t.column);
}

std::vector<double> formatted_of(instrument_t& inst, int channel, int trace, const std::vector<complex_t>& data,
                                 const std::vector<double>& frequency) {
    const auto& s = inst.settings();
    const std::vector<int> at{channel, trace};
    std::vector<double> out;
    const physics::format_t format = s.get(settings::format, at);
    const bool smoothing = s.get(settings::smoothing, at);
    const double aperture = s.get(settings::smoothing_aperture, at);  // % of the sweep
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
    v.format = inst.settings().get(settings::format, {channel, trace});
    if (const auto* written = written_values(inst, &written_data_t::formatted, channel, trace, 2 * n)) {
        v.formatted = *written;
        return v;
    }
    std::vector<complex_t> memory;
    if (const auto* written = written_values(inst, &written_data_t::memory, channel, trace, 2 * n))
        memory = as_complex(*written);
    std::vector<complex_t> data = v.corrected;
    physics::apply_trace(data, memory, v.frequency, trace_settings_of(inst.settings(), channel, trace));
    apply_trace_equation(inst, channel, trace, sweep.corrected.s, memory, data);
    if (inst.simulation.stages.time_domain) inst.simulation.stages.time_domain(v.frequency, data);
    apply_time_domain(inst, channel, trace, v, data);
    v.formatted = formatted_of(inst, channel, trace, data, v.frequency);
    return v;
}

}  // namespace zorsim
