#include "search.h"

#include <algorithm>
#include <cmath>

namespace zorsim::analysis {

std::vector<peak_t> find_peaks(const trace_t& t, double excursion, double threshold, polarity_t polarity) {
    std::vector<peak_t> peaks;
    const std::size_t n = t.y.size();
    for (int sign : {+1, -1}) {
        if ((sign > 0 && polarity == polarity_t::negative) || (sign < 0 && polarity == polarity_t::positive)) continue;
        auto v = [&](std::size_t i) { return sign * t.y[i]; };
        for (std::size_t i = 1; i + 1 < n; ++i) {
            if (!(v(i) > v(i - 1) && v(i) >= v(i + 1))) continue;
            if (sign > 0 && t.y[i] < threshold) continue;
            double left = v(i), right = v(i);
            for (std::size_t j = i; j-- > 0 && v(j) <= v(i);) left = std::min(left, v(j));
            for (std::size_t j = i + 1; j < n && v(j) <= v(i); ++j) right = std::min(right, v(j));
            const double prominence = v(i) - std::max(left, right);
            if (prominence < excursion) continue;
            peaks.push_back({i, polarity == polarity_t::both ? prominence : v(i)});
        }
    }
    std::sort(peaks.begin(), peaks.end(), [](const peak_t& a, const peak_t& b) { return a.index < b.index; });
    return peaks;
}

std::vector<double> find_crossings(const trace_t& t, double target, polarity_t transition) {
    std::vector<double> found;
    const std::size_t n = std::min(t.x.size(), t.y.size());
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const double a = t.y[i] - target, b = t.y[i + 1] - target;
        const bool rising = a < 0 && b >= 0, falling = a > 0 && b <= 0;
        if (!(rising && transition != polarity_t::negative) && !(falling && transition != polarity_t::positive))
            continue;
        found.push_back(t.x[i] + (t.x[i + 1] - t.x[i]) * (a / (a - b)));
    }
    return found;
}

bool is_target_search(search_t f) {
    return f == search_t::target || f == search_t::left_target || f == search_t::right_target;
}

std::optional<double> search(const trace_t& t, const search_settings_t& s, double here) {
    if (s.function == search_t::off || t.y.empty() || t.x.size() != t.y.size()) return std::nullopt;
    if (s.function == search_t::maximum || s.function == search_t::minimum) {
        const auto it = s.function == search_t::maximum ? std::max_element(t.y.begin(), t.y.end())
                                                         : std::min_element(t.y.begin(), t.y.end());
        return t.x[static_cast<std::size_t>(it - t.y.begin())];
    }
    if (is_target_search(s.function)) {
        std::optional<double> best;
        for (double x : find_crossings(t, s.target, s.transition)) {
            if ((s.function == search_t::right_target && x <= here) || (s.function == search_t::left_target && x >= here))
                continue;
            if (!best || std::fabs(x - here) < std::fabs(*best - here)) best = x;
        }
        return best;
    }
    std::vector<peak_t> peaks = find_peaks(t, s.excursion, s.threshold, s.polarity);
    const std::size_t here_index = nearest(t.x, here);
    const peak_t* chosen = nullptr;
    if (s.function == search_t::right_peak || s.function == search_t::left_peak) {
        // The nearest peak on that side of the marker.
        for (const auto& p : peaks) {
            if (s.function == search_t::right_peak && p.index > here_index && (!chosen || p.index < chosen->index))
                chosen = &p;
            if (s.function == search_t::left_peak && p.index < here_index && (!chosen || p.index > chosen->index))
                chosen = &p;
        }
    } else {
        // The best peak; the next best after the one under the marker.
        std::stable_sort(peaks.begin(), peaks.end(), [](const peak_t& a, const peak_t& b) { return a.score > b.score; });
        std::size_t next = 0;
        if (s.function == search_t::next_peak)
            for (std::size_t i = 0; i < peaks.size(); ++i)
                if (peaks[i].index == here_index) next = i + 1;
        if (next < peaks.size()) chosen = &peaks[next];
    }
    if (!chosen) return std::nullopt;
    return t.x[chosen->index];
}

std::vector<double> multi_search(const trace_t& t, multi_search_t function, const search_settings_t& s,
                                 std::size_t most) {
    std::vector<double> places;
    if (function == multi_search_t::peak) {
        for (const auto& p : find_peaks(t, s.excursion, s.threshold, s.polarity)) places.push_back(t.x[p.index]);
    } else if (function == multi_search_t::target) {
        places = find_crossings(t, s.target, s.transition);
    }
    if (places.size() > most) places.resize(most);
    return places;
}

}  // namespace zorsim::analysis
