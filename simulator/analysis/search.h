// Marker searches on a formatted trace: extremes, peaks, and crossings of
// a target, on the sweep points as an analyzer searches (crossings are
// interpolated between the points).
#pragma once

#include "trace.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace zorsim::analysis {

struct peak_t {
    std::size_t index;
    double score;  // larger is better: the value, or the prominence when both polarities count
};

// Local extremes of the polarity that stand out by `excursion` from the
// lowest ground on either side before a higher point; positive peaks must
// also reach `threshold`. In stimulus order.
std::vector<peak_t> find_peaks(const trace_t& t, double excursion, double threshold, polarity_t polarity);

// Stimulus values where the trace crosses `target` in the direction given.
std::vector<double> find_crossings(const trace_t& t, double target, polarity_t transition);

// A single marker's search, in the order the analyzer lists them.
enum class search_t { off, minimum, maximum, right_peak, left_peak, next_peak, target, left_target, right_target, peak };

struct search_settings_t {
    search_t function = search_t::maximum;
    double target = 0;
    polarity_t transition = polarity_t::both;
    double excursion = 3;
    double threshold = -100;
    polarity_t polarity = polarity_t::positive;
};

bool is_target_search(search_t function);

// Where a marker standing at `here` goes: the extreme; the target crossing
// nearest to it (or the nearest on one side); the nearest peak on one side;
// the best peak, or the next best after the peak under it. None when
// nothing qualifies (or the function is off).
std::optional<double> search(const trace_t& t, const search_settings_t& s, double here);

// A search that places several markers at once, in stimulus order: every
// peak, or every crossing of the target, at most `most` of them.
enum class multi_search_t { off, peak, target };
std::vector<double> multi_search(const trace_t& t, multi_search_t function, const search_settings_t& s,
                                 std::size_t most);

}  // namespace zorsim::analysis
