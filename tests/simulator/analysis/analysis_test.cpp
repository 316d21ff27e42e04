// The analysis on hand-made traces whose answers follow from their shape:
// no SCPI, no instrument.
#include <simulator/analysis/band.h>
#include <simulator/analysis/limits.h>
#include <simulator/analysis/search.h>
#include <simulator/analysis/statistics.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <vector>

namespace {

using namespace zorsim::analysis;

// x = 0, 1, ..., n-1 and y = f(x).
trace_t trace(int n, const std::function<double(double)>& f) {
    trace_t t;
    for (int i = 0; i < n; ++i) {
        t.x.push_back(i);
        t.y.push_back(f(i));
        t.y2.push_back(0);
    }
    return t;
}

const trace_t peak = trace(11, [](double x) { return -std::fabs(x - 5); });  // 0 at x = 5, -5 at the ends

TEST(Band, EdgesAreInterpolatedAndAPointOnTheLevelIsOutside) {
    const double nan = std::nan("");
    struct case_t {
        const char* name;
        trace_t t;
        std::size_t around;
        double reference, offset;
        bool notch;
        double width, center, loss;
    } cases[] = {
        // Level -3: points 3..7 lie above it, x = 2 and 8 on it.
        {"pass band", peak, 5, 0, -3, false, 6, 5, 0},
        {"reference from a marker", peak, 4, -1, -1.5, false, 5, 5, -1},
        {"notch", trace(11, [](double x) { return std::fabs(x - 5); }), 5, 0, 3, true, 6, 5, 0},
        {"the peak alone on the level", peak, 5, 0, 0, false, nan, nan, nan},
        {"band past the sweep's end", peak, 5, 0, -6, false, nan, nan, nan},
        {"empty trace", trace_t{}, 0, 0, -3, false, nan, nan, nan},
    };
    for (const auto& c : cases) {
        const band_t b = band_around(c.t, c.around, c.reference, c.offset, c.notch);
        if (std::isnan(c.width)) {
            EXPECT_TRUE(std::isnan(b.width) && std::isnan(b.center) && std::isnan(b.q) && std::isnan(b.loss)) << c.name;
            continue;
        }
        EXPECT_DOUBLE_EQ(b.width, c.width) << c.name;
        EXPECT_DOUBLE_EQ(b.center, c.center) << c.name;
        EXPECT_DOUBLE_EQ(b.q, c.center / c.width) << c.name;
        EXPECT_DOUBLE_EQ(b.loss, c.loss) << c.name;
    }
}

TEST(Search, EachFunctionFindsWhatItsShapeSays) {
    // Peaks of 4 at x = 2 and of 2 at x = 7, a valley of -1 between.
    const trace_t two = trace(10, [](double x) {
        const double values[] = {0, 2, 4, 1, -1, 0, 1, 2, 1, 0};
        return values[static_cast<int>(x)];
    });
    struct case_t {
        const char* name;
        search_t function;
        double here;
        double target;
        polarity_t transition;
        std::optional<double> found;
    } cases[] = {
        {"maximum", search_t::maximum, 0, 0, polarity_t::both, 2.0},
        {"minimum", search_t::minimum, 0, 0, polarity_t::both, 4.0},
        {"best peak", search_t::peak, 0, 0, polarity_t::both, 2.0},
        {"next peak after the best", search_t::next_peak, 2, 0, polarity_t::both, 7.0},
        {"peak to the right", search_t::right_peak, 3, 0, polarity_t::both, 7.0},
        {"peak to the left", search_t::left_peak, 3, 0, polarity_t::both, 2.0},
        {"no peak to the left", search_t::left_peak, 1, 0, polarity_t::both, std::nullopt},
        // 3 is crossed rising at 1.5 and falling at 2 + 1/3.
        {"nearest crossing", search_t::target, 1, 3, polarity_t::both, 1.5},
        {"falling crossing", search_t::target, 1, 3, polarity_t::negative, 2 + 1.0 / 3},
        {"crossing to the left", search_t::left_target, 2.2, 3, polarity_t::both, 1.5},
        {"no crossing of 5", search_t::target, 1, 5, polarity_t::both, std::nullopt},
        {"off", search_t::off, 1, 0, polarity_t::both, std::nullopt},
    };
    for (const auto& c : cases) {
        search_settings_t s;
        s.function = c.function;
        s.target = c.target;
        s.transition = c.transition;
        s.excursion = 1;
        const auto found = search(two, s, c.here);
        ASSERT_EQ(found.has_value(), c.found.has_value()) << c.name;
        if (found) {
            EXPECT_DOUBLE_EQ(*found, *c.found) << c.name;
        }
    }
    search_settings_t s;
    s.excursion = 2.5;  // the peak at 7 stands only 2 above the ground on its right
    EXPECT_EQ(multi_search(two, multi_search_t::peak, s, 9), std::vector<double>{2});
    s.target = 0.5;
    EXPECT_EQ(multi_search(two, multi_search_t::target, s, 2).size(), 2u) << "at most as many as asked";
}

TEST(Limits, TightestLinePerPointAndAVerdictOnlyWhereALineApplies) {
    const trace_t t = trace(5, [](double x) { return x; });  // y = x
    const std::vector<limit_segment_t> table = {
        {limit_type_t::upper, 0, 4, 10, 10},
        {limit_type_t::upper, 1, 3, 0, 4},    // sloped, 2x - 2: under the trace before x = 2
        {limit_type_t::lower, 0, 1, 0.5, 0.5},
        {limit_type_t::off, 0, 4, -1, -1},
    };
    const auto report = limit_test(t, table, true);
    ASSERT_EQ(report.size(), 5u);
    const verdict_t expected[] = {verdict_t::fail, verdict_t::fail, verdict_t::pass, verdict_t::pass, verdict_t::pass};
    const double upper[] = {10, 0, 2, 4, 10};
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(report[k].result, expected[k]) << k;
        EXPECT_DOUBLE_EQ(report[k].upper, upper[k]) << k;
    }
    EXPECT_DOUBLE_EQ(report[0].lower, 0.5);
    EXPECT_DOUBLE_EQ(report[4].lower, 0) << "no lower line there";
    for (const auto& p : limit_test(t, table, false)) EXPECT_EQ(p.result, verdict_t::untested);

    const auto ripple = ripple_test(t, {{true, 1, 3, 1.5}, {true, 0, 1, 1}, {false, 0, 4, 0}}, true);
    ASSERT_EQ(ripple.size(), 3u);
    EXPECT_DOUBLE_EQ(ripple[0].ripple, 2);
    EXPECT_EQ(ripple[0].result, verdict_t::fail);
    EXPECT_EQ(ripple[1].result, verdict_t::pass);
    EXPECT_EQ(ripple[2].result, verdict_t::untested) << "a segment switched off";
}

TEST(Statistics, MeanDeviationAndSpanOverARange) {
    const std::vector<double> v = {9, 2, 4, 4, 4, 5, 5, 7, 9, 9};
    const statistics_t s = statistics(v, 1, 8);  // 2 4 4 4 5 5 7 9: mean 5, deviation 2
    EXPECT_DOUBLE_EQ(s.mean, 5);
    EXPECT_DOUBLE_EQ(s.deviation, 2);
    EXPECT_DOUBLE_EQ(s.peak_to_peak, 7);
    EXPECT_DOUBLE_EQ(statistics(v, 3, 20).mean, 0) << "a range past the end gives zeros";
    std::size_t first = 0, last = 0;
    ASSERT_TRUE(points_within({0, 1, 2, 3, 4}, 0.5, 3, first, last));
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(last, 3u);
    EXPECT_FALSE(points_within({0, 1, 2}, 5, 6, first, last));
}

}  // namespace
