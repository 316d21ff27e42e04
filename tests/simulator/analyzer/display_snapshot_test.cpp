// The display snapshot shows what a program reads: the layout, the
// formatted data, marker readouts and limit verdicts as the queries answer
// them (to the digits of their text: the display takes the numbers, not
// the text), without leaving errors behind.
#include "analyzer_fixture.h"

#include <cmath>
#include <sstream>

namespace {

// Equal to the 13 significant digits of an NR3 answer.
::testing::AssertionResult same_as_answered(double shown, double answered) {
    if (std::fabs(shown - answered) <= 1e-12 * std::fabs(answered)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << shown << " shown, " << answered << " answered";
}

class DisplaySnapshot : public AnalyzerTest {
protected:
};

TEST_F(DisplaySnapshot, FollowsTheLayoutAndTheDataTheQueriesAnswer) {
    write(":SENS1:SWE:MODE HOLD");  // the data stay as they are while both look
    write(":DISP:WIND3:TRAC5 1;:DISP:TRAC5:SEL;:DISP:WIND3:TITL ON;:DISP:WIND3:TITL:DATA \"Filter\"");
    write(":CALC1:TRAC5:FORM PHAS;:DISP:WIND3:TRAC5:Y:PDIV 45;:DISP:WIND3:TRAC5:Y:RLEV 10");
    write(":CALC1:TRAC5:MARK2:X 2E9;:CALC1:TRAC5:MARK2:ACT;:CALC1:TRAC5:MARK3 ON;:CALC1:TRAC5:MARK3:DELT ON");
    write(":CALC1:TRAC5:LIM:DATA 1,1,1E9,5E9,-170,-170;:CALC1:TRAC5:LIM ON");
    write(":SENS1:AVER ON;:SENS1:AVER:COUN 7;:DISP:MAX ON");
    const auto before = analyzer.change_count();
    const auto s = analyzer.display_state();
    EXPECT_EQ(analyzer.change_count(), before) << "looking changes nothing";
    EXPECT_EQ(next_error(), "0,\"No error\"");

    ASSERT_EQ(s.windows.size(), 3u);
    EXPECT_TRUE(s.maximized);
    EXPECT_EQ(s.active_window, 3);
    const auto& w = s.windows[2];
    EXPECT_EQ(w.title, "Filter");
    EXPECT_TRUE(w.active);
    ASSERT_EQ(w.traces.size(), 1u);
    const auto& t = w.traces[0];
    EXPECT_EQ(t.number, 5);
    EXPECT_EQ(t.format, "PHAS");
    EXPECT_EQ(t.parameter, query(":CALC1:PAR5:DEF?"));
    EXPECT_EQ(t.per_division, 45);
    EXPECT_EQ(t.reference_level, 10);

    // Formatted data as FDATa answers them, one stimulus per point.
    const auto data = numbers(":CALC1:TRAC5:DATA:FDAT?");
    ASSERT_EQ(t.y.size() * 2, data.size());
    ASSERT_EQ(t.x.size(), t.y.size());
    for (std::size_t k = 0; k < t.y.size(); ++k) {
        ASSERT_TRUE(same_as_answered(t.y[k], data[2 * k])) << k;
        ASSERT_TRUE(same_as_answered(t.y2[k], data[2 * k + 1])) << k;
    }
    EXPECT_DOUBLE_EQ(t.x.front(), std::stod(query(":SENS1:FREQ:STAR?")));
    EXPECT_DOUBLE_EQ(t.x.back(), std::stod(query(":SENS1:FREQ:STOP?")));

    // Markers: their readouts as the marker queries answer them; delta mode
    // turned the reference marker on.
    ASSERT_EQ(t.markers.size(), 3u);
    EXPECT_EQ(t.markers[2].number, 10);
    EXPECT_EQ(t.markers[0].number, 2);
    EXPECT_TRUE(t.markers[0].active);
    EXPECT_EQ(t.markers[0].x, 2e9);
    EXPECT_TRUE(same_as_answered(t.markers[0].y, numbers(":CALC1:TRAC5:MARK2:Y?").at(0)));
    EXPECT_TRUE(t.markers[1].delta);
    EXPECT_FALSE(t.markers[1].active);

    // The limit test: the table's line and the failed points the report names.
    EXPECT_TRUE(t.limit_test);
    EXPECT_EQ(t.limit_failed, query(":CALC1:TRAC5:LIM:FAIL?") == "1");
    ASSERT_EQ(t.limit_segments.size(), 1u);
    EXPECT_TRUE(t.limit_segments[0].upper);
    EXPECT_EQ(t.limit_segments[0].y0, -170);
    const auto failed = numbers(":CALC1:TRAC5:LIM:REP?");
    if (std::isnan(failed.at(0)) || failed.at(0) > 9e37) {
        EXPECT_TRUE(t.failed_x.empty());
    } else {
        ASSERT_EQ(t.failed_x.size(), failed.size());
        for (std::size_t k = 0; k < failed.size(); ++k) EXPECT_TRUE(same_as_answered(t.failed_x[k], failed[k])) << k;
    }

    ASSERT_EQ(s.channels.size(), 2u);
    EXPECT_EQ(s.channels[0].sweep_mode, "HOLD");
    EXPECT_TRUE(s.channels[0].averaging);
    EXPECT_EQ(s.channels[0].average_count, 7);
    EXPECT_EQ(s.channels[0].points, 201);
}

TEST_F(DisplaySnapshot, ATimeDomainTraceIsDrawnOverTime) {
    write(":SYST:SIM:SPE INST;:CALC1:TRAC1:TRAN:TIME:STAT ON;:CALC1:TRAC1:MARK1:X 2.5E-9;:CALC1:TRAC1:MARK1 ON");
    const auto s = analyzer.display_state();
    const auto& t = s.windows.at(0).traces.at(0);
    const auto axis = numbers(":CALC1:TRAC1:DATA:XAX?");
    ASSERT_EQ(t.x.size(), axis.size());
    for (std::size_t k = 0; k < axis.size(); ++k) EXPECT_NEAR(t.x[k], axis[k], 1e-21) << k;
    EXPECT_EQ(t.x.front(), -1e-8);
    ASSERT_EQ(t.markers.size(), 1u);
    EXPECT_EQ(t.markers[0].readout.substr(0, 14), "1  2.50000 ns ") << t.markers[0].readout;
}

TEST_F(DisplaySnapshot, ChangesCountAndCompare) {
    write(":SENS1:SWE:MODE HOLD;:SENS2:SWE:MODE HOLD");  // no new sweep changes the data
    const auto a = analyzer.display_state();
    auto count = analyzer.change_count();
    write(":DISP:WIND1:TRAC1:Y:PDIV 5");
    EXPECT_GT(analyzer.change_count(), count);
    const auto b = analyzer.display_state();
    EXPECT_TRUE(a != b);
    write(":DISP:WIND1:TRAC1:Y:PDIV 10");
    EXPECT_TRUE(a == analyzer.display_state()) << "the same settings show the same screen";
    query("*IDN?");
    EXPECT_TRUE(a == analyzer.display_state()) << "a query leaves the screen as it was";
}

}  // namespace
