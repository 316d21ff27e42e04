#include "readings.h"

#include "settings.h"

namespace zorsim {

analysis::trace_t formatted_trace(instrument_t& inst, int channel, int trace) {
    return formatted_trace(trace_view(inst, channel, trace));
}

analysis::trace_t formatted_trace(const trace_view_t& view) {
    const std::size_t n = std::min(view.points(), view.formatted.size() / 2);
    analysis::trace_t t;
    t.x.assign(view.x.begin(), view.x.begin() + static_cast<std::ptrdiff_t>(n));
    t.y.resize(n);
    t.y2.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        t.y[k] = view.formatted[2 * k];
        t.y2[k] = view.formatted[2 * k + 1];
    }
    return t;
}

double marker_x(const instrument_t& inst, int channel, int trace, int marker) {
    return inst.settings().get(settings::marker_x, {channel, trace, marker});
}

void place_marker(instrument_t& inst, int channel, int trace, int marker, double x) {
    const std::vector<int> at{channel, trace, marker};
    inst.settings().set(settings::marker_x, at, x);
    inst.settings().set(settings::marker_state, at, true);
}

double marker_response(const instrument_t& inst, const analysis::trace_t& t, int channel, int trace, int marker,
                       bool second) {
    const std::vector<double>& v = second ? t.y2 : t.y;
    if (v.empty()) return 0;
    const double x = marker_x(inst, channel, trace, marker);
    if (inst.settings().get(settings::marker_discrete, {channel, trace, marker})) return v[analysis::nearest(t.x, x)];
    return analysis::interpolate(t.x, v, x);
}

marker_reading_t marker_reading(const instrument_t& inst, const analysis::trace_t& t, int channel, int trace,
                                int marker) {
    const auto& s = inst.settings();
    const int reference = settings::reference_marker;
    marker_reading_t r;
    r.y = marker_response(inst, t, channel, trace, marker);
    r.y2 = marker_response(inst, t, channel, trace, marker, true);
    r.relative = marker != reference && s.get(settings::marker_state, {channel, trace, reference}) &&
                 (s.get(settings::marker_delta, {channel, trace, marker}) ||
                  s.get(settings::reference_mode, {channel, trace}));
    if (r.relative) {
        r.y -= marker_response(inst, t, channel, trace, reference);
        r.y2 -= marker_response(inst, t, channel, trace, reference, true);
    }
    return r;
}

std::vector<analysis::point_verdict_t> limit_report(const instrument_t& inst, const analysis::trace_t& t, int channel,
                                                    int trace) {
    const auto& tables = inst.setup.limit_tables;
    const auto table = tables.find({channel, trace});
    static const std::vector<analysis::limit_segment_t> none;
    return analysis::limit_test(t, table == tables.end() ? none : table->second,
                                inst.settings().get(settings::limit_test, {channel, trace}));
}

}  // namespace zorsim
