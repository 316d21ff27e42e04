// Patterns, the command table, settings and the execution rules, on a
// small table of its own.
#include <simulator/scpi/table.h>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace zorsim::scpi;

namespace {

suffix_range_t channels(const std::string& name) {
    if (name == "SENSE" || name == "TRACE") return {1, 4};
    return {};
}

pattern_t::match_t match(const char* pattern, std::vector<std::string> nodes, std::vector<int>* suffixes = nullptr) {
    std::vector<int> s;
    auto m = pattern_t(pattern).match(nodes, s, channels);
    if (suffixes) *suffixes = s;
    return m;
}

// A device recording errors and executed units.
class test_device_t : public device_t {
public:
    using device_t::device_t;
    void report_error(int code, const std::string&) override { errors.push_back(code); }
    std::vector<int> errors;
    std::vector<std::string> calls;
};

class ScpiTable : public ::testing::Test {
protected:
    ScpiTable() {
        table.set_suffix_range("SENSe", 1, 4);
        table.set_suffix_range("TRACe", 1, 4);
        auto record = [](const char* name) {
            return [name](context_t& ctx) {
                std::string s = name;
                for (int v : ctx.suffixes()) s += "," + std::to_string(v);
                ctx.device_as<test_device_t>().calls.push_back(s);
                if (ctx.query()) ctx.answer(name);
            };
        };
        table.add("[:SENSe#]:FREQuency:STARt", record("start"), record("start?"));
        table.add("[:SENSe#]:FREQuency:STOP", record("stop"), record("stop?"));
        table.add_query(":SYSTem:ERRor[:NEXT]?", record("err?"));
        table.add_command("*CLS", record("cls"));
        table.add_query("*IDN?", record("idn?"));
        table.add_command(":EXEC:FAIL", [](context_t&) { throw scpi_error(-221); });
        table.add_command(":EXEC:CMDFAIL", [](context_t&) { throw scpi_error(-109); });
        table.add_command(":EXEC:THROW", [](context_t&) { throw std::runtime_error("boom"); });
        table.add_query(":MULTi?", [](context_t& ctx) {
            ctx.answer_integer(1);
            ctx.answer_real(2);
            ctx.answer_string("x");
        });
        table.add_setting(real_setting("[:SENSe#]:POWer", -10).range(-30, 10).with_unit("DBM"));
        table.add_setting(real_setting(":SENSe#:SWEep:TIME", 0.01).range(0, 100).with_unit("S"));
        table.add_setting(integer_setting(":CALCulate#:TRACe#:COUNt", 1).range(1, 16));
        table.add_setting(boolean_setting(":OUTPut", true));
        table.add_setting(choice_setting(":SENSe#:SWEep:TYPE", {"LINear", "LOGarithmic", "CW"}, "LIN"));
        table.add_setting(string_setting(":MMEMory:NAME", "state.sta"));
        table.add_setting(integer_setting(":CALCulate#:TRACe#:PARameter", 0)
                              .with_default_for([](const std::vector<int>& s) -> setting_value_t {
                                  return static_cast<std::int64_t>(s.at(1) * 10);
                              }));
        table.add_setting(real_setting(":CHECked", 0).with_check([](context_t&, const setting_value_t& v) {
            if (std::get<double>(v) == 13) throw scpi_error(-221);
        }));
    }
    std::string run(std::string_view message) {
        auto r = execute(table, device, message);
        return r.has_reply ? r.reply : "<none>";
    }
    command_table_t table;
    test_device_t device{table};
};

}  // namespace

TEST(ScpiPattern, LongAndShortFormsInAnyCase) {
    EXPECT_EQ(match(":FREQuency:STARt", {"FREQ", "STAR"}), pattern_t::match_t::match);
    EXPECT_EQ(match(":FREQuency:STARt", {"FREQUENCY", "START"}), pattern_t::match_t::match);
    EXPECT_EQ(match("FREQuency:STARt", {"FREQ", "START"}), pattern_t::match_t::match);
    EXPECT_EQ(match(":FREQuency:STARt", {"FREQU", "STAR"}), pattern_t::match_t::none);
    EXPECT_EQ(match(":FREQuency:STARt", {"FRE", "STAR"}), pattern_t::match_t::none);
    EXPECT_EQ(match(":FREQuency:STARt", {"FREQ"}), pattern_t::match_t::none);
    EXPECT_EQ(match(":FREQuency:STARt", {"FREQ", "STAR", "X"}), pattern_t::match_t::none);
}

TEST(ScpiPattern, NumericSuffixes) {
    std::vector<int> s;
    EXPECT_EQ(match(":SENSe#:FREQuency", {"SENS", "FREQ"}, &s), pattern_t::match_t::match);
    EXPECT_EQ(s, std::vector<int>{1});
    EXPECT_EQ(match(":SENSe#:FREQuency", {"SENS2", "FREQ"}, &s), pattern_t::match_t::match);
    EXPECT_EQ(s, std::vector<int>{2});
    EXPECT_EQ(match(":SENSe#:FREQuency", {"SENSE4", "FREQ"}, &s), pattern_t::match_t::match);
    EXPECT_EQ(s, std::vector<int>{4});
    EXPECT_EQ(match(":SENSe#:FREQuency", {"SENSE5", "FREQ"}), pattern_t::match_t::suffix_out_of_range);
    EXPECT_EQ(match(":SENSe#:FREQuency", {"SENS0", "FREQ"}), pattern_t::match_t::suffix_out_of_range);
    EXPECT_EQ(match(":SENSe#:FREQuency", {"SENS99999999999", "FREQ"}), pattern_t::match_t::suffix_out_of_range);
    // No '#': a suffix makes the node unknown.
    EXPECT_EQ(match(":SENSe#:FREQuency", {"SENS", "FREQ2"}), pattern_t::match_t::none);
    EXPECT_EQ(match(":CALCulate#:TRACe#:FORMat", {"CALC3", "TRAC2", "FORM"}, &s), pattern_t::match_t::match);
    EXPECT_EQ(s, (std::vector<int>{3, 2}));
    EXPECT_EQ(match(":CALCulate#:TRACe#:FORMat", {"CALC", "TRAC", "FORM"}, &s), pattern_t::match_t::match);
    EXPECT_EQ(s, (std::vector<int>{1, 1}));
}

TEST(ScpiPattern, OptionalNodes) {
    std::vector<int> s;
    EXPECT_EQ(match("[:SENSe#]:FREQuency:STARt", {"FREQ", "STAR"}, &s), pattern_t::match_t::match);
    EXPECT_EQ(s, std::vector<int>{1});
    EXPECT_EQ(match("[:SENSe#]:FREQuency:STARt", {"SENS3", "FREQ", "STAR"}, &s), pattern_t::match_t::match);
    EXPECT_EQ(s, std::vector<int>{3});
    EXPECT_EQ(match(":SYSTem:ERRor[:NEXT]?", {"SYST", "ERR"}), pattern_t::match_t::match);
    EXPECT_EQ(match(":SYSTem:ERRor[:NEXT]?", {"SYST", "ERR", "NEXT"}), pattern_t::match_t::match);
    EXPECT_EQ(match(":SYSTem:ERRor[:NEXT]?", {"SYST", "ERR", "COUN"}), pattern_t::match_t::none);
    EXPECT_EQ(match(":STATus:OPERation[:EVENt]", {"STAT", "OPER", "EVEN"}), pattern_t::match_t::match);
    EXPECT_EQ(match("[:A:B]:C", {"A", "B", "C"}), pattern_t::match_t::match);
    EXPECT_EQ(match("[:A:B]:C", {"C"}), pattern_t::match_t::match);
    EXPECT_EQ(match("[:A:B]:C", {"A", "C"}), pattern_t::match_t::none);
}

TEST(ScpiPattern, CommonCommands) {
    EXPECT_EQ(match("*IDN?", {"*IDN"}), pattern_t::match_t::match);
    EXPECT_EQ(match("*IDN?", {"*OPC"}), pattern_t::match_t::none);
    EXPECT_EQ(match(":IDN", {"*IDN"}), pattern_t::match_t::none);
}

TEST(ScpiPattern, MalformedPatternsAreRefused) {
    EXPECT_THROW(pattern_t("[:SENSe#:FREQuency"), std::invalid_argument);
    EXPECT_THROW(pattern_t(":SENSe]"), std::invalid_argument);
    EXPECT_THROW(pattern_t(""), std::invalid_argument);
    EXPECT_THROW(pattern_t(":lower"), std::invalid_argument);
    EXPECT_THROW(pattern_t(":A$B"), std::invalid_argument);
}

TEST_F(ScpiTable, DispatchesToSetAndQueryHandlers) {
    EXPECT_EQ(run("SENS2:FREQ:STAR 1"), "<none>");
    EXPECT_EQ(run(":sense3:frequency:start?"), "start?");
    EXPECT_EQ(run("FREQ:STOP?"), "stop?");
    EXPECT_EQ(device.calls, (std::vector<std::string>{"start,2", "start?,3", "stop?,1"}));
    EXPECT_TRUE(device.errors.empty());
}

TEST_F(ScpiTable, SeveralQueriesGiveOneReply) {
    EXPECT_EQ(run("*IDN?;FREQ:STAR?;:SYST:ERR?"), "idn?;start?;err?");
    EXPECT_EQ(run("MULT?"), "1,+2.000000000000E+00,\"x\"");
}

TEST_F(ScpiTable, RelativePathsAfterSemicolon) {
    run("SENS2:FREQ:STAR 1;STOP 2;STAR?");
    EXPECT_EQ(device.calls, (std::vector<std::string>{"start,2", "stop,2", "start?,2"}));
    device.calls.clear();
    // Common commands leave the path alone.
    run("SENS3:FREQ:STAR 1;*CLS;STOP 2");
    EXPECT_EQ(device.calls, (std::vector<std::string>{"start,3", "cls", "stop,3"}));
    device.calls.clear();
    // A leading colon goes back to the root.
    run("SENS4:FREQ:STAR 1;:FREQ:STOP 2");
    EXPECT_EQ(device.calls, (std::vector<std::string>{"start,4", "stop,1"}));
    device.calls.clear();
    // Not found relative to the path: tried from the root.
    run("SENS2:FREQ:STAR 1;SYST:ERR?");
    EXPECT_EQ(device.calls, (std::vector<std::string>{"start,2", "err?"}));
    EXPECT_TRUE(device.errors.empty());
}

TEST_F(ScpiTable, UndefinedHeadersAndSuffixes) {
    EXPECT_EQ(run("FOO"), "<none>");
    EXPECT_EQ(run("SENS5:FREQ:STAR 1"), "<none>");
    EXPECT_EQ(run("SENS:FREQ2:STAR 1"), "<none>");
    EXPECT_EQ(run("SYST:ERR"), "<none>");  // query only
    EXPECT_EQ(run("*CLS?"), "<none>");      // no query form
    EXPECT_EQ(device.errors, (std::vector<int>{-113, -114, -113, -113, -113}));
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(ScpiTable, CommandErrorAbortsTheRestOfTheMessage) {
    EXPECT_EQ(run("*IDN?;FOO;*IDN?"), "idn?");
    EXPECT_EQ(device.errors, std::vector<int>{-113});
    device.errors.clear();
    EXPECT_EQ(run("*IDN?;EXEC:CMDFAIL;*IDN?"), "idn?");
    EXPECT_EQ(device.errors, std::vector<int>{-109});
    device.errors.clear();
    EXPECT_EQ(run("*IDN?;X \"open;*IDN?"), "idn?");
    EXPECT_EQ(device.errors, std::vector<int>{-151});
}

TEST_F(ScpiTable, ExecutionErrorsEndOnlyTheirUnit) {
    EXPECT_EQ(run("*IDN?;EXEC:FAIL;*IDN?"), "idn?;idn?");
    EXPECT_EQ(run("EXEC:THROW;*IDN?"), "idn?");
    EXPECT_EQ(run("POW 99;POW?"), "-1.000000000000E+01");
    EXPECT_EQ(device.errors, (std::vector<int>{-221, -300, -222}));
}

TEST_F(ScpiTable, RealSettingWithUnits) {
    EXPECT_EQ(run("POW -5;POW?"), "-5.000000000000E+00");
    EXPECT_EQ(run("POW 5 dBm;POW?"), "+5.000000000000E+00");
    EXPECT_EQ(run("SENS:SWE:TIME 20 ms;TIME?"), "+2.000000000000E-02");
    EXPECT_EQ(run("SENS:SWE:TIME 1 us;TIME?"), "+1.000000000000E-06");
    EXPECT_TRUE(device.errors.empty());
    run("POW 5 Hz");
    run("CHEC 1 Hz");
    run("POW ON");
    run("POW \"5\"");
    EXPECT_EQ(device.errors, (std::vector<int>{-131, -138, -224, -104}));
    EXPECT_EQ(run("POW?"), "+5.000000000000E+00");
}

TEST_F(ScpiTable, MinMaxDefault) {
    EXPECT_EQ(run("POW? MIN;POW? MAX;POW? DEF"), "-3.000000000000E+01;+1.000000000000E+01;-1.000000000000E+01");
    EXPECT_EQ(run("POW MAX;POW?"), "+1.000000000000E+01");
    EXPECT_EQ(run("POW minimum;POW?"), "-3.000000000000E+01");
    EXPECT_EQ(run("POW DEF;POW?"), "-1.000000000000E+01");
    EXPECT_EQ(run("CALC:TRAC:COUN MAX;COUN?"), "16");
    EXPECT_EQ(run("OUTP? DEF"), "1");
    EXPECT_TRUE(device.errors.empty());
    run("OUTP? MAX");
    run("POW? 3");
    EXPECT_EQ(device.errors, (std::vector<int>{-224, -108}));
}

TEST_F(ScpiTable, IntegerSettingRoundsAndChecksRange) {
    EXPECT_EQ(run("CALC2:TRAC3:COUN 7.4;COUN?;:CALC:TRAC:COUN?"), "7;1");
    run("CALC2:TRAC3:COUN 17");
    run("CALC2:TRAC3:COUN 0");
    EXPECT_EQ(device.errors, (std::vector<int>{-222, -222}));
    EXPECT_EQ(run("CALC2:TRAC3:COUN?"), "7");
    EXPECT_EQ(run("CALC:TRAC:COUN #H0A;COUN?"), "10");
}

TEST_F(ScpiTable, BooleanSetting) {
    EXPECT_EQ(run("OUTP OFF;OUTP?;OUTP ON;OUTP?;OUTP 0;OUTP?;OUTP 1;OUTP?;OUTP 0.2;OUTP?"), "0;1;0;1;0");
    run("OUTP MAYBE");
    run("OUTP");
    run("OUTP 1,2");
    EXPECT_EQ(device.errors, (std::vector<int>{-224, -109, -108}));
}

TEST_F(ScpiTable, ChoiceSetting) {
    EXPECT_EQ(run("SENS:SWE:TYPE?"), "LIN");
    EXPECT_EQ(run("SENS2:SWE:TYPE logarithmic;TYPE?;:SENS:SWE:TYPE?"), "LOG;LIN");
    EXPECT_EQ(run("SENS2:SWE:TYPE cw;TYPE?"), "CW");
    run("SENS2:SWE:TYPE SEGM");
    run("SENS2:SWE:TYPE 1");
    EXPECT_EQ(device.errors, (std::vector<int>{-224, -104}));
    constexpr auto type = choice_key<std::size_t>(":SENSe#:SWEep:TYPE", "LINear", "LOGarithmic", "CW");
    EXPECT_EQ(type.keyword(device.settings().get(type, {2})), "CW");
}

TEST_F(ScpiTable, StringSetting) {
    EXPECT_EQ(run("MMEM:NAME?"), "\"state.sta\"");
    EXPECT_EQ(run("MMEM:NAME 'a\"b;c';NAME?"), "\"a\"\"b;c\"");
    run("MMEM:NAME abc");
    EXPECT_EQ(device.errors, std::vector<int>{-104});
}

TEST_F(ScpiTable, PerSuffixDefaultsChecksAndStoreAccess) {
    EXPECT_EQ(run("CALC:TRAC3:PAR?;:CALC2:TRAC4:PAR?"), "30;40");
    run("CHEC 13");
    EXPECT_EQ(device.errors, std::vector<int>{-221});
    EXPECT_EQ(run("CHEC?"), "+0.000000000000E+00");
    // Through keys, as a device declares its settings.
    constexpr setting_key_t<double> power{"[:SENSe#]:POWer"};
    constexpr setting_key_t<std::int64_t> parameter{":CALCulate#:TRACe#:PARameter"};
    constexpr setting_key_t<std::string> name{":MMEMory:NAME"};
    constexpr setting_key_t<bool> output{":OUTPut"};
    enum class sweep_t { linear, logarithmic, cw };
    constexpr auto type = choice_key<sweep_t>(":SENSe#:SWEep:TYPE", "LINear", "LOGarithmic", "CW");
    auto& store = device.settings();
    EXPECT_DOUBLE_EQ(store.get(power), -10);
    store.set(power, {3}, 4.0);
    EXPECT_EQ(run("SENS3:POW?;:SENS1:POW?"), "+4.000000000000E+00;-1.000000000000E+01");
    EXPECT_EQ(store.get(parameter, {1, 2}), 20);
    EXPECT_EQ(store.get(name), "state.sta");
    EXPECT_TRUE(store.get(output));
    store.set(type, {2}, sweep_t::cw);
    EXPECT_EQ(run("SENS2:SWE:TYPE?"), "CW");
    EXPECT_EQ(store.get(type, {2}), sweep_t::cw);
    EXPECT_EQ(type.keyword(sweep_t::logarithmic), "LOG");
    EXPECT_THROW(store.get(setting_key_t<double>{"nope"}), std::out_of_range);
    store.reset();
    EXPECT_EQ(run("SENS3:POW?"), "-1.000000000000E+01");
}

TEST_F(ScpiTable, DuplicateSettingKeysAreRefused) {
    EXPECT_THROW(table.add_setting(boolean_setting(":OUTPut", false)), std::invalid_argument);
    EXPECT_NO_THROW(table.add_setting(boolean_setting(":OUTPut", false).with_key("other")));
}
