// Test hooks: wire log, scripts, identity, factory reset, named analyzers,
// and thread safety.
#include "analyzer_fixture.h"

#include <atomic>
#include <thread>

using zorsim::script_t;

TEST_F(AnalyzerTest, WireLogKeepsEveryMessageAsReceived) {
    analyzer.receive("*IDN?");
    analyzer.receive("  sens:freq:star 1e6 ;STOP 2e6\r");
    analyzer.receive("BOGUS");
    analyzer.receive("");
    EXPECT_EQ(analyzer.wire_log(),
              (std::vector<std::string>{"*IDN?", "  sens:freq:star 1e6 ;STOP 2e6\r", "BOGUS", ""}));
    analyzer.clear_wire_log();
    EXPECT_TRUE(analyzer.wire_log().empty());
    query("*OPC?");
    EXPECT_EQ(analyzer.wire_log(), std::vector<std::string>{"*OPC?"});
}

TEST_F(AnalyzerTest, ScriptedReplyReplacesProcessing) {
    script_t s;
    s.message = "*IDN?";
    s.reply = "Fake,Box,1,0";
    analyzer.add_script(s);
    EXPECT_EQ(query("  *idn? "), "Fake,Box,1,0") << "case and surrounding white space ignored";
    EXPECT_EQ(query("*IDN?"), zorsim::default_identity) << "times = 1 by default";
    EXPECT_EQ(analyzer.wire_log(), (std::vector<std::string>{"  *idn? ", "*IDN?"}));
}

TEST_F(AnalyzerTest, ScriptedMessageIsNotProcessed) {
    script_t s;
    s.message = "SENS:FREQ:STAR 1e6";
    analyzer.add_script(s);
    write("SENS:FREQ:STAR 1e6");
    EXPECT_EQ(query("SENS:FREQ:STAR?"), "+3.000000000000E+05");
    write("SENS:FREQ:STAR 1e6");
    EXPECT_EQ(query("SENS:FREQ:STAR?"), "+1.000000000000E+06");
}

TEST_F(AnalyzerTest, ScriptTimesAndOrder) {
    script_t a;
    a.message = "MEAS?";
    a.reply = "first";
    analyzer.add_script(a);
    script_t b = a;
    b.reply = "second\n";
    b.times = 2;
    analyzer.add_script(b);
    EXPECT_EQ(query("MEAS?"), "first");
    EXPECT_EQ(query("MEAS?"), "second");
    EXPECT_EQ(query("MEAS?"), "second");
    EXPECT_EQ(query("MEAS?"), "<none>");
    EXPECT_EQ(next_error(), "-113,\"Undefined header\"");

    script_t forever;
    forever.message = "*OPC?";
    forever.reply = "0";
    forever.times = -1;
    analyzer.add_script(forever);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(query("*OPC?"), "0");
    analyzer.clear_scripts();
    EXPECT_EQ(query("*OPC?"), "1");
}

TEST_F(AnalyzerTest, ScriptedRawBytesAndStatuses) {
    script_t s;
    s.message = "CALC:DATA?";
    s.reply = std::string("#5abc\0\xff", 7);  // malformed block, NUL and high bytes
    s.read_status = 0;
    analyzer.add_script(s);
    zorsim::response_t r = analyzer.receive("CALC:DATA?");
    EXPECT_TRUE(r.has_reply);
    EXPECT_EQ(r.reply, std::string("#5abc\0\xff\n", 8));

    script_t timeout;
    timeout.message = "*OPC?";
    timeout.reply.reset();
    timeout.read_status = -1073807339;  // VI_ERROR_TMO
    analyzer.add_script(timeout);
    r = analyzer.receive("*OPC?");
    EXPECT_FALSE(r.has_reply);
    EXPECT_EQ(r.read_status, -1073807339);
    EXPECT_EQ(r.write_status, 0);

    script_t write_fault;
    write_fault.message = "*RST";
    write_fault.write_status = -1073807194;  // VI_ERROR_CONN_LOST
    analyzer.add_script(write_fault);
    r = analyzer.receive("*RST");
    EXPECT_FALSE(r.has_reply);
    EXPECT_EQ(r.write_status, -1073807194);

    script_t overlong;
    overlong.message = "BIG?";
    overlong.reply = std::string(1 << 20, 'x');
    analyzer.add_script(overlong);
    r = analyzer.receive("BIG?");
    EXPECT_EQ(r.reply.size(), (1u << 20) + 1);
}

TEST_F(AnalyzerTest, FactoryResetRestoresPowerOnState) {
    write("SENS:FREQ:STAR 1e6;*ESE 8;*SRE 8;:STAT:OPER:ENAB 1;:BOGUS");
    analyzer.set_identity("X,Y,Z,1");
    script_t s;
    s.message = "*OPC?";
    s.reply = "9";
    analyzer.add_script(s);
    analyzer.factory_reset();
    EXPECT_TRUE(analyzer.wire_log().empty());
    EXPECT_EQ(analyzer.identity(), zorsim::default_identity);
    EXPECT_EQ(query("*OPC?"), "1");
    EXPECT_EQ(query("SENS:FREQ:STAR?;*ESE?;*SRE?;*ESR?;:STAT:OPER:ENAB?;:SYST:ERR?"),
              "+3.000000000000E+05;0;0;0;0;0,\"No error\"");
}

TEST(NamedAnalyzer, OnePerCaseInsensitiveName) {
    auto a = zorsim::named_analyzer("HooksTestBox");
    auto b = zorsim::named_analyzer("hookstestbox");
    auto c = zorsim::named_analyzer("OtherHooksTestBox");
    EXPECT_EQ(a.get(), b.get());
    EXPECT_NE(a.get(), c.get());
    a->factory_reset();
    a->receive("SENS:SWE:POIN 3");
    EXPECT_EQ(b->receive("SENS:SWE:POIN?").reply, "3\n");
    EXPECT_EQ(c->receive("SENS:SWE:POIN?").reply, "201\n");
}

TEST(NamedAnalyzer, ConcurrentFirstUseGivesOneAnalyzer) {
    std::vector<std::thread> threads;
    std::vector<zorsim::analyzer_t*> seen(8);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([i, &seen] { seen[i] = zorsim::named_analyzer("RaceBox").get(); });
    for (auto& t : threads) t.join();
    for (auto* p : seen) EXPECT_EQ(p, seen[0]);
}

TEST_F(AnalyzerTest, ConcurrentClientsAreSerialized) {
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t, &bad] {
            const std::string ch = std::to_string(t + 1);
            for (int i = 0; i < 300; ++i) {
                const std::string points = std::to_string(2 + i);
                auto r = analyzer.receive("SENS" + ch + ":SWE:POIN " + points + ";POIN?");
                if (r.reply != points + "\n") ++bad;
                if (i % 50 == 0) analyzer.wire_log();
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(analyzer.wire_log().size(), 1200u);
}

// Like a real instrument, files and calibration kits outlive *RST and a
// preset; only power-on (the factory reset) clears them.
TEST_F(AnalyzerTest, FilesAndKitsOutliveResetButNotPowerOn) {
    write(":MMEMory:MDIRectory \"/USER/KEEP\"");
    write(":SENSe1:CORRection:CKIT:CLEar \"7 mm\"");
    const std::string catalog = query(":MMEMory:CATalog? \"/USER\"");
    const std::string kits = query(":SENSe1:CORRection:CKIT:COUNt?");
    ASSERT_NE(catalog.find("KEEP"), std::string::npos) << catalog;
    for (const char* reset : {"*RST", ":SYSTem:PRESet"}) {
        write(reset);
        EXPECT_EQ(query(":MMEMory:CATalog? \"/USER\""), catalog) << reset;
        EXPECT_EQ(query(":SENSe1:CORRection:CKIT:COUNt?"), kits) << reset;
    }
    EXPECT_EQ(query(":SYSTem:ERRor?"), "0,\"No error\"");
    analyzer.factory_reset();
    EXPECT_EQ(query(":MMEMory:CATalog? \"/USER\"").find("KEEP"), std::string::npos);
    EXPECT_NE(query(":SENSe1:CORRection:CKIT:COUNt?"), kits);
}
