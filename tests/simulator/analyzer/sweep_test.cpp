// The analyzer as one instrument measuring one device: sweeps and their
// timing, hold, binary data, the x axis and a Touchstone device, through
// SCPI.
#include "analyzer_fixture.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

class Sweep : public AnalyzerTest {};

TEST_F(Sweep, TriggeredSweepTakesItsTimeAndOpcWaitsForIt) {
    // A third of a second: long enough that a busy machine still sees it run.
    write(":SENS1:BAND 300;:SENS1:SWE:POIN 101;:SENS1:SWE:MODE HOLD;:SENS2:SWE:MODE HOLD");
    const double time = std::stod(query(":SENS1:SWE:TIME?"));
    EXPECT_NEAR(time, 101 * (1 / 300.0 + 5e-6), 1e-12);
    auto t0 = std::chrono::steady_clock::now();
    write(":INIT1");
    EXPECT_EQ(query(":STAT:OPER:COND?"), "24");  // sweeping, measuring
    EXPECT_EQ(query("*OPC?"), "1");
    EXPECT_GE(seconds_since(t0), 0.95 * time);
    EXPECT_LT(seconds_since(t0), time + 0.5);
    EXPECT_EQ(query(":STAT:OPER:COND?"), "0");
    // *OPC sets the event bit only once the sweep ended.
    write("*CLS;:INIT1;*OPC");
    EXPECT_EQ(query("*ESR?"), "0");
    std::this_thread::sleep_for(std::chrono::duration<double>(time * 1.2));
    EXPECT_EQ(query("*ESR?"), "1");
    // Point averaging lengthens each point; instant sweeps take no time.
    write(":SENS1:AVER ON;:SENS1:AVER:COUN 4;:SENS1:AVER:MODE POIN");
    EXPECT_NEAR(std::stod(query(":SENS1:SWE:TIME?")), 101 * (4 / 300.0 + 5e-6), 1e-12);
    write(":SYST:SIM:SPE INST");
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(query(":INIT1;*OPC?"), "1");
    EXPECT_LT(seconds_since(t0), 0.05);
}

TEST_F(Sweep, DataChangeOnlyWhenASweepRuns) {
    write(":SYST:SIM:SPE INST;:SENS1:SWE:POIN 51");
    // Continuous: a new setting sweeps anew; noise makes each sweep differ.
    const std::string first = query(":CALC1:TRAC2:DATA:SDAT?");
    EXPECT_EQ(query(":CALC1:TRAC2:DATA:SDAT?"), first);
    write(":SENS1:BAND 1000");
    const std::string narrower = query(":CALC1:TRAC2:DATA:SDAT?");
    EXPECT_NE(narrower, first);
    // Hold: settings change, data stay until a sweep is triggered.
    write(":SENS1:SWE:MODE HOLD;:SENS1:BAND 100000;:SENS1:FREQ:STAR 1E9");
    EXPECT_EQ(query(":CALC1:TRAC2:DATA:SDAT?"), narrower);
    write(":INIT1");
    EXPECT_NE(query(":CALC1:TRAC2:DATA:SDAT?"), narrower);
    EXPECT_EQ(numbers(":SENS1:FREQ:DATA?").front(), 1e9);
    // A bus trigger sweeps only when the trigger source is the bus.
    const std::string held = query(":CALC1:TRAC2:DATA:SDAT?");
    write("*TRG");
    EXPECT_EQ(next_error(), "-211,\"Trigger ignored\"");
    write(":TRIG:SOUR BUS;*TRG");
    EXPECT_NE(query(":CALC1:TRAC2:DATA:SDAT?"), held);
}

TEST_F(Sweep, BinaryBlocksCarryTheSameValuesAsText) {
    write(":SYST:SIM:SPE INST;:SENS1:SWE:POIN 11;:SENS1:SWE:MODE HOLD");
    const std::string original = query(":CALC1:TRAC1:DATA:SDAT?");
    const auto text = split_numbers(original);
    ASSERT_EQ(text.size(), 22u);
    struct row_t {
        const char* format;
        const char* order;
        std::size_t size;
        bool swapped;
    };
    const row_t rows[] = {{"REAL,64", "NORM", 8, false}, {"REAL,64", "SWAP", 8, true},
                          {"REAL,32", "NORM", 4, false}, {"REAL", "SWAP", 8, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.format) + " " + row.order);
        write(std::string(":FORM ") + row.format + ";:FORM:BORD " + row.order);
        const auto r = analyzer.receive(":CALC1:TRAC1:DATA:SDAT?");
        const std::string length = std::to_string(22 * row.size);
        const std::string header = "#" + std::to_string(length.size()) + length;
        ASSERT_EQ(r.reply.size(), header.size() + 22 * row.size + 1);
        EXPECT_EQ(r.reply.compare(0, header.size(), header), 0);
        for (std::size_t i = 0; i < 22; ++i) {
            unsigned char bytes[8];
            std::memcpy(bytes, r.reply.data() + header.size() + i * row.size, row.size);
            if (!row.swapped) std::reverse(bytes, bytes + row.size);  // big-endian on the wire
            double v = 0;
            if (row.size == 8) {
                std::memcpy(&v, bytes, 8);
            } else {
                float f = 0;
                std::memcpy(&f, bytes, 4);
                v = f;
            }
            EXPECT_NEAR(v, text[i], (row.size == 8 ? 1e-12 : 1e-7) * (std::fabs(text[i]) + 1e-30)) << i;
        }
        // The same block written back reads back as text.
        write(":CALC1:TRAC1:DATA:SDAT " + r.reply.substr(0, r.reply.size() - 1));
        write(":FORM ASC");
        const auto back = numbers(":CALC1:TRAC1:DATA:SDAT?");
        for (std::size_t i = 0; i < 22; ++i)
            EXPECT_NEAR(back[i], text[i], (row.size == 8 ? 1e-12 : 1e-7) * (std::fabs(text[i]) + 1e-30)) << i;
        write(":CALC1:TRAC1:DATA:SDAT " + original);
    }
    EXPECT_EQ(query(":FORM?"), "ASC");
    write(":FORM REAL,16");
    EXPECT_EQ(next_error(), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(Sweep, XAxisFollowsTheSweepType) {
    write(":SYST:SIM:SPE INST;:SENS1:SWE:POIN 5;:SENS1:FREQ:STAR 1E5;:SENS1:FREQ:STOP 1E9;:SENS1:SWE:TYPE LOG");
    const auto log = numbers(":CALC1:TRAC1:DATA:XAX?");
    ASSERT_EQ(log.size(), 5u);
    for (std::size_t k = 0; k < 5; ++k) EXPECT_NEAR(log[k], std::pow(10.0, 5 + static_cast<double>(k)), 1e-9 * log[k]);
    write(":SENS1:SWE:TYPE POW;:SOUR1:POW:STAR -20;:SOUR1:POW:STOP 0");
    EXPECT_EQ(numbers(":CALC1:TRAC1:DATA:XAX?"), (std::vector<double>{-20, -15, -10, -5, 0}));
    EXPECT_EQ(numbers(":SENS1:FREQ:DATA?"), std::vector<double>(5, 1e9));  // at the CW frequency
}

TEST_F(Sweep, SegmentTableSetsPointsAxisTimeAndData) {
    write(":SYST:SIM:SPE INST;:SENS1:BAND 1000;:SENS1:SWE:TYPE SEGM");
    EXPECT_EQ(query(":SENS1:SEGM:COUN?"), "0");
    EXPECT_EQ(numbers(":SENS1:FREQ:DATA?").size(), 201u) << "no table: a linear sweep";
    write(":SENS1:SEGM:DATA 2,1E9,2E9,3,0,3E9,4E9,2,100");
    EXPECT_EQ(query(":SENS1:SEGM:DATA?"), "2,+1.000000000000E+09,+2.000000000000E+09,3,+0.000000000000E+00,"
                                          "+3.000000000000E+09,+4.000000000000E+09,2,+1.000000000000E+02");
    const std::vector<double> points{1e9, 1.5e9, 2e9, 3e9, 4e9};
    EXPECT_EQ(numbers(":SENS1:FREQ:DATA?"), points);
    EXPECT_EQ(numbers(":CALC1:TRAC1:DATA:XAX?"), points);
    EXPECT_EQ(numbers(":CALC1:TRAC2:DATA:FDAT?").size(), 10u);
    EXPECT_NEAR(std::stod(query(":SENS1:SWE:TIME?")), 3 * (1e-3 + 5e-6) + 2 * (1e-2 + 5e-6), 1e-12);
    // A faulty table is refused whole.
    const struct {
        const char* table;
        const char* error;
    } faulty[] = {
        {"1,1E9,2E9,3", "-109,"},                  // a field missing
        {"2,1E9,2E9,3,0,1.5E9,3E9,3,0", "-222,"},  // overlapping
        {"1,1E9,2E9,100002,0", "-222,"},           // too many points
        {"1,1E9,2E9,3,5", "-222,"},                // IF bandwidth
        {"1,1E9,9.5E9,3,0", "-222,"},              // beyond the analyzer's range
    };
    for (const auto& row : faulty) {
        SCOPED_TRACE(row.table);
        write(std::string(":SENS1:SEGM:DATA ") + row.table);
        EXPECT_EQ(next_error().substr(0, 5), row.error);
        EXPECT_EQ(query(":SENS1:SEGM:COUN?"), "2");
    }
}

TEST_F(Sweep, CwTimeAxisEndsAtTheSweepTime) {
    write(":SYST:SIM:SPE INST;:SENS1:SWE:TYPE CW;:SENS1:SWE:POIN 5;:SENS1:SWE:TIME 2");
    EXPECT_EQ(numbers(":CALC1:TRAC1:DATA:XAX?"), (std::vector<double>{0, 0.5, 1, 1.5, 2}));
    EXPECT_EQ(numbers(":SENS1:FREQ:DATA?"), std::vector<double>(5, 1e9));
    // Automatic, with point averaging: the axis still ends at the sweep time.
    write(":SENS1:SWE:TIME:AUTO ON;:SENS1:AVER ON;:SENS1:AVER:COUN 4;:SENS1:AVER:MODE POIN");
    EXPECT_NEAR(numbers(":CALC1:TRAC1:DATA:XAX?").back(), std::stod(query(":SENS1:SWE:TIME?")), 1e-12);
}

TEST_F(Sweep, FreeRunningChannelsShowSweepingButOpcDoesNotWaitForThem) {
    write(":SENS1:BAND 10;:SENS2:BAND 10");  // 20 s a sweep
    EXPECT_EQ(query(":STAT:OPER:COND?"), "24");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(query("*OPC?"), "1");
    EXPECT_LT(seconds_since(t0), 1.0);
    write(":SENS1:SWE:MODE HOLD");
    EXPECT_EQ(query(":STAT:OPER:COND?"), "24") << "channel 2 still runs";
    write(":SENS2:SWE:MODE HOLD");
    EXPECT_EQ(query(":STAT:OPER:COND?"), "0");
}

TEST_F(Sweep, TouchstoneFileIsTheDevice) {
    const std::string path = testing::TempDir() + "zorsim_sweep_test.s2p";
    {
        std::ofstream file(path);
        file << "! two points of a made-up two-port\n# MHz S RI R 50\n"
                "1000 0.1 0.2 0.5 -0.5 0.5 -0.5 0.3 0\n"
                "3000 0.3 0.0 0.1 0.1 0.1 0.1 0.1 0\n";
    }
    write(":SYST:SIM:SPE INST;:SYST:SIM:NOIS OFF;:SYST:SIM:ERR OFF;:SENS1:SWE:POIN 3;:SENS1:FREQ:STAR 1E9;:SENS1:FREQ:STOP 3E9");
    write(":SYST:SIM:DUT \"" + path + "\"");
    EXPECT_EQ(next_error(), "0,\"No error\"");
    // Points 1 and 3 are the file's; point 2 lies half way between.
    EXPECT_EQ(numbers(":CALC1:TRAC1:DATA:SDAT?"), (std::vector<double>{0.1, 0.2, 0.2, 0.1, 0.3, 0.0}));
    EXPECT_EQ(numbers(":CALC1:TRAC2:DATA:SDAT?"), (std::vector<double>{0.5, -0.5, 0.3, -0.2, 0.1, 0.1}));
    std::remove(path.c_str());
    write(":SYST:SIM:DUT \"" + path + "\"");
    EXPECT_EQ(next_error().compare(0, 5, "-224,"), 0);
}

TEST_F(Sweep, UnknownQueryQueuesNothing) {
    const auto r = analyzer.receive(":SENS1:FREQ:NONSENSE?");
    EXPECT_FALSE(r.has_reply);
    EXPECT_EQ(next_error(), "-113,\"Undefined header\"");
    EXPECT_EQ(query("*OPT?"), "0");
    EXPECT_EQ(query(":SENS:BAND?"), "+1.000000000000E+04");
}

}  // namespace
