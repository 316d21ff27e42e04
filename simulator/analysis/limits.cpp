#include "limits.h"

#include <algorithm>

namespace zorsim::analysis {

namespace {

bool within(double x, double a, double b) { return x >= std::min(a, b) && x <= std::max(a, b); }

}  // namespace

std::vector<point_verdict_t> limit_test(const trace_t& t, const std::vector<limit_segment_t>& segments, bool on) {
    const std::size_t n = std::min(t.x.size(), t.y.size());
    std::vector<point_verdict_t> report(n);
    for (std::size_t i = 0; i < n; ++i) {
        point_verdict_t& p = report[i];
        p.x = t.x[i];
        bool has_upper = false, has_lower = false, failed = false;
        for (const auto& s : segments) {
            if (s.type == limit_type_t::off || !within(p.x, s.x0, s.x1)) continue;
            const double limit = s.x1 == s.x0 ? s.y0 : s.y0 + (s.y1 - s.y0) * (p.x - s.x0) / (s.x1 - s.x0);
            if (s.type == limit_type_t::upper) {
                p.upper = has_upper ? std::min(p.upper, limit) : limit;
                has_upper = true;
                failed = failed || t.y[i] > limit;
            } else {
                p.lower = has_lower ? std::max(p.lower, limit) : limit;
                has_lower = true;
                failed = failed || t.y[i] < limit;
            }
        }
        if (on && (has_upper || has_lower)) p.result = failed ? verdict_t::fail : verdict_t::pass;
    }
    return report;
}

std::vector<ripple_verdict_t> ripple_test(const trace_t& t, const std::vector<ripple_segment_t>& segments, bool on) {
    const std::size_t n = std::min(t.x.size(), t.y.size());
    std::vector<ripple_verdict_t> report;
    for (const auto& s : segments) {
        ripple_verdict_t r;
        r.allowed = s.allowed;
        bool any = false;
        double lo = 0, hi = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (!within(t.x[i], s.x0, s.x1)) continue;
            lo = any ? std::min(lo, t.y[i]) : t.y[i];
            hi = any ? std::max(hi, t.y[i]) : t.y[i];
            any = true;
        }
        r.ripple = hi - lo;
        if (on && s.on && any) r.result = r.ripple > r.allowed ? verdict_t::fail : verdict_t::pass;
        report.push_back(r);
    }
    return report;
}

}  // namespace zorsim::analysis
