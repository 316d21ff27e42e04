// The analyzer's layout of channels, traces and windows: lists, selection,
// creating, deleting and moving traces, showing windows, *RST.
#include "analyzer_fixture.h"

namespace {

class Layout : public AnalyzerTest {
protected:
    // Every list and selection at once, for whole-layout comparisons.
    std::string lists() {
        return query(":DISP:CHAN:LIST?;:DISP:CHAN1:TRAC:LIST?;:DISP:CHAN2:TRAC:LIST?;:DISP:WIND:LIST?;"
                     ":DISP:WIND1:TRAC:LIST?;:DISP:WIND2:TRAC:LIST?;:DISP:TRAC:LIST?");
    }
    std::string selection() { return query(":DISP:CHAN:SEL?;:DISP:TRAC:SEL?;:DISP:WIND:SEL?"); }
};

TEST_F(Layout, DefaultLayoutSplitsTracesOverTwoChannels) {
    EXPECT_EQ(lists(), "1,2;1,2;3,4;1,2;1,2;3,4;1,2,3,4");
    EXPECT_EQ(selection(), "1;1;1");
    EXPECT_EQ(query(":DISP:WIND1:STAT?;:DISP:WIND3:STAT?"), "1;0");
}

TEST_F(Layout, SelectingATraceSelectsItsChannelAndWindow) {
    write(":DISP:TRAC3:SEL");
    EXPECT_EQ(selection(), "2;3;2");
    write(":DISPlay:TRACe2:ACTivate");
    EXPECT_EQ(selection(), "1;2;1");
}

TEST_F(Layout, SelectingAChannelOrWindowSelectsOneOfItsTraces) {
    write(":DISP:CHAN2:SEL");
    EXPECT_EQ(selection(), "2;3;2");
    write(":DISP:TRAC4:SEL;:DISP:CHAN2:SEL");
    EXPECT_EQ(selection(), "2;4;2") << "the active trace already belongs to channel 2";
    write(":DISP:WIND1:ACT");
    EXPECT_EQ(selection(), "1;1;1");
}

TEST_F(Layout, SelectingWhatDoesNotExistIsRefused) {
    for (const char* command : {":DISP:TRAC7:SEL", ":DISP:CHAN5:SEL", ":DISP:WIND3:SEL", ":DISP:WIND3:ACT"}) {
        write(command);
        EXPECT_EQ(next_error(), "-221,\"Settings conflict\"") << command;
    }
    EXPECT_EQ(selection(), "1;1;1");
}

TEST_F(Layout, CreateMoveAndDeleteTraces) {
    write(":DISP:CHAN2:SEL;:DISP:WIND3:TRAC5 1");
    EXPECT_EQ(query(":DISP:WIND:LIST?;:DISP:WIND3:TRAC:LIST?;:DISP:CHAN2:TRAC:LIST?"), "1,2,3;5;3,4,5")
        << "a new trace belongs to the active channel and shows its window";
    write("DISPlay:MEASure5:MOVE 1");
    EXPECT_EQ(query(":DISP:WIND1:TRAC:LIST?;:DISP:WIND3:TRAC:LIST?;:DISP:WIND1:TRAC5?"), "1,2,5;;1");
    write(":DISP:WIND2:TRAC5 1");
    EXPECT_EQ(next_error(), "-221,\"Settings conflict\"") << "trace 5 exists in window 1";
    write(":DISP:TRAC5:SEL;:DISP:WIND1:TRAC5 0");
    EXPECT_EQ(query(":DISP:TRAC:LIST?;:DISP:CHAN2:TRAC:LIST?"), "1,2,3,4;3,4");
    EXPECT_EQ(selection(), "1;1;1") << "the selection moves off the deleted trace";
    write(":DISP:WIND2:TRAC1 0");
    EXPECT_EQ(next_error(), "-221,\"Settings conflict\"") << "trace 1 is not in window 2";
    write("DISP:MEAS7:MOVE 1");
    EXPECT_EQ(next_error(), "-221,\"Settings conflict\"");
    write("DISP:MEAS1:MOVE 17");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(Layout, ClosingAWindowRemovesItsTracesButNeverTheLast) {
    write(":DISP:TRAC3:SEL;:DISP:WIND2:STAT OFF");
    EXPECT_EQ(query(":DISP:CHAN:LIST?;:DISP:WIND:LIST?;:DISP:TRAC:LIST?"), "1;1;1,2");
    EXPECT_EQ(selection(), "1;1;1");
    write(":DISP:WIND1:STAT 0");
    EXPECT_EQ(next_error(), "-221,\"Settings conflict\"");
    write(":DISP:WIND1:TRAC2 0;:DISP:WIND1:TRAC1 0");
    EXPECT_EQ(next_error(), "-221,\"Settings conflict\"") << "trace 1 is the last one";
    EXPECT_EQ(query(":DISP:TRAC:LIST?"), "1");
    write(":DISP:WIND4:STAT 1");
    EXPECT_EQ(query(":DISP:WIND:LIST?;:DISP:WIND4:TRAC:LIST?"), "1,4;") << "an empty window lists no trace";
}

TEST_F(Layout, ResetRestoresTheDefaultLayout) {
    const std::string initial = lists();
    write(":DISP:WIND2:STAT 0;:DISP:WIND6:TRAC9 1;:DISP:TRAC9:SEL;:CALC1:TRAC9:MARK3:ACT");
    ASSERT_NE(lists(), initial);
    write("*RST");
    EXPECT_EQ(lists(), initial);
    EXPECT_EQ(selection(), "1;1;1");
    EXPECT_EQ(query(":CALC1:TRAC9:MARK:ACT?"), "1");
}

TEST_F(Layout, ActiveMarkerIsPerChannelAndTraceAndSwitchesTheMarkerOn) {
    write(":CALC2:TRAC3:MARK4:ACT");
    EXPECT_EQ(query(":CALC2:TRAC3:MARK:ACT?;:CALC2:TRAC4:MARK:ACT?;:CALC1:TRAC3:MARK:ACT?"), "4;1;1");
    EXPECT_EQ(query(":CALC2:TRAC3:MARK4?;:CALC2:MEAS3:MARK4:STAT?;:CALC2:TRAC3:MARK5?"), "1;1;0");
    write(":CALC2:TRAC3:MARK11:ACT");
    EXPECT_EQ(next_error(), "-114,\"Header suffix out of range\"");
}

}  // namespace
