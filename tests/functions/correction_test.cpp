// Tests of the correction and calibration kit actions: the commands they
// send, the catalog rules (trimming, whole-name match, numbers counted from
// 1, the bounded copy), refusals before any traffic, and the analyzer's
// kits behind them.
#include "function_fixture.h"

#include <cstring>
#include <functional>

extern "C" {
#define ZOR_CORRECTION_TEST_VISA_DECL(name, ret, params) ret ZOR_VISA_CALL name params;
ZOR_VISA_FUNCTIONS(ZOR_CORRECTION_TEST_VISA_DECL)
#undef ZOR_CORRECTION_TEST_VISA_DECL
}

namespace {

using zor_test::strings;

constexpr ViStatus not_in_catalog = static_cast<ViStatus>(0xBFFC0001u);
constexpr ViStatus outside_catalog = static_cast<ViStatus>(0xBFFC0011u);
constexpr ViStatus text_cut = static_cast<ViStatus>(0xBFFF0071u);
constexpr ViStatus null_pointer = static_cast<ViStatus>(0xBFFA000Fu);
constexpr ViStatus buffer_size = static_cast<ViStatus>(0xBFFA4001u);

const char* const factory_catalog = "User Kit 1,Type N 50 Ohm,3.5 mm,7 mm,TRL Fixture";
const char* const catalog_query = ":SENSe:CORRection:COLLect:CKIT:CATalog?";
const char* const selected_query = ":SENSe:CORRection:COLLect:CKIT?";

class Correction : public zor_test::function_test_t {
protected:
    std::string catalog() {
        char buffer[256] = {};
        EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetCatalog(vi, nullptr, sizeof buffer, buffer), 0);
        return buffer;
    }
    std::string selected_name() {
        char buffer[256] = {};
        EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetSelectedByName(vi, nullptr, sizeof buffer, buffer), 0);
        return buffer;
    }
    ViInt32 selected_number() {
        ViInt32 number = -1;
        EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetSelectedByNo(vi, nullptr, &number), 0);
        return number;
    }
    // A message on a second VISA session to the same analyzer, for what the
    // driver has no export for; the reply of a query without terminator.
    std::string raw(const std::string& message) {
        ViSession rm = 0, io = 0;
        std::string reply;
        EXPECT_EQ(viOpenDefaultRM(&rm), 0);
        EXPECT_EQ(viOpen(rm, resource.c_str(), VI_NO_LOCK, 0, &io), 0);
        ViUInt32 count = 0;
        EXPECT_EQ(viWrite(io, reinterpret_cast<ViConstBuf>(message.data()), static_cast<ViUInt32>(message.size()), &count), 0);
        if (message.find('?') != std::string::npos) {
            unsigned char buffer[512] = {};
            EXPECT_GE(viRead(io, buffer, sizeof buffer, &count), 0);
            reply.assign(reinterpret_cast<const char*>(buffer), count < sizeof buffer ? count : sizeof buffer);
            while (!reply.empty() && reply.back() == '\n') reply.pop_back();
        }
        viClose(rm);
        return reply;
    }
    std::string next_error() { return raw(":SYSTem:ERRor?"); }
};

// ---------------------------------------------------------------- per channel

struct per_channel_case_t {
    const char* name;
    ViStatus (*call)(ViSession, ViConstString);
    const char* format;  // with the channel number
};

const per_channel_case_t per_channel_cases[] = {
    {"ApplyErrorTerms", &ZOR_ChannelCorrectionApplyErrorTerms, ":SENSe%d:CORRection:COEFficient:SAVE"},
    {"Save", &ZOR_ChannelCorrectionSave, ":SENSe%d:CORRection:COLLect:SAVE"},
};

void PrintTo(const per_channel_case_t& c, std::ostream* os) { *os << c.name; }

class PerChannel : public Correction, public testing::WithParamInterface<per_channel_case_t> {
protected:
    std::string command(int channel) const {
        char text[128];
        std::snprintf(text, sizeof text, GetParam().format, channel);
        return text;
    }
};

TEST_P(PerChannel, OnceForEachChannelAndTheCorrectionComesOn) {
    // A calibration saves only with its standards measured (full two-port by default).
    for (int channel : {1, 3}) {
        const std::string c = std::to_string(channel);
        raw(":SENS" + c + ":CORR:COLL:OPEN 1;:SENS" + c + ":CORR:COLL:SHOR 1;:SENS" + c + ":CORR:COLL:LOAD 1;:SENS" + c +
            ":CORR:COLL:OPEN 2;:SENS" + c + ":CORR:COLL:SHOR 2;:SENS" + c + ":CORR:COLL:LOAD 2;:SENS" + c +
            ":CORR:COLL:THRU 1,2");
    }
    clear_log();
    EXPECT_EQ(GetParam().call(vi, "Channel1,Channel3"), 0);
    EXPECT_EQ(log(), (strings{command(1), command(3)}));
    EXPECT_EQ(next_error(), "0,\"No error\"");
    for (const auto& [channel, on] : {std::pair{"Channel1", VI_TRUE}, {"Channel2", VI_FALSE}, {"Channel3", VI_TRUE}}) {
        ViBoolean state = 99;
        EXPECT_EQ(ZOR_GetChannelCorrectionEnabled(vi, channel, &state), 0);
        EXPECT_EQ(state, on) << channel;
    }
}

TEST_P(PerChannel, StopsAtTheFirstStatusThatIsNotZero) {
    for (const ViStatus fault : {static_cast<ViStatus>(VI_ERROR_IO), static_cast<ViStatus>(VI_SUCCESS_MAX_CNT)}) {
        clear_log();
        script(command(2).c_str(), nullptr, 0, fault);
        testing::internal::CaptureStdout();
        EXPECT_EQ(GetParam().call(vi, "Channel1-Channel3"), fault);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(log(), (strings{command(1), command(2)}));
        EXPECT_TRUE(lockable_from_another_thread());
    }
}

INSTANTIATE_TEST_SUITE_P(Correction, PerChannel, testing::ValuesIn(per_channel_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- one command each

struct single_case_t {
    const char* name;
    std::function<ViStatus(ViSession)> call;
    const char* command;
};

void PrintTo(const single_case_t& c, std::ostream* os) { *os << c.name; }

class SingleCommand : public Correction, public testing::WithParamInterface<single_case_t> {};

// A kit command goes to the channel the selector names; an empty selector
// leaves the channel out.
TEST_P(SingleCommand, SendsItsOneCommandToTheNamedChannel) {
    EXPECT_EQ(GetParam().call(vi), 0);
    EXPECT_EQ(log(), (strings{GetParam().command}));
    EXPECT_EQ(next_error(), "0,\"No error\"") << "the analyzer took it";
}

TEST_P(SingleCommand, AFailedWriteIsReturnedUnchanged) {
    script(GetParam().command, nullptr, 0, VI_ERROR_TMO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(GetParam().call(vi), VI_ERROR_TMO);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(lockable_from_another_thread());
}

const single_case_t single_cases[] = {
    {"SelectByNo", [](ViSession s) { return ZOR_ChannelCorrectionCalKitSelectByNo(s, "Channel2", 3); },
     ":SENSe2:CORRection:COLLect:CKIT 3"},
    {"Delete", [](ViSession s) { return ZOR_ChannelCalKitDelete(s, "Channel2", "7 mm"); },
     ":SENSe2:CORRection:CKIT:CLEar \"7 mm\""},
    {"Export", [](ViSession s) { return ZOR_ChannelCalKitExport(s, "", "3.5 mm", "kit35.ckt"); },
     ":SENSe:CORRection:CKIT:EXPort \"3.5 mm\",\"kit35.ckt\""},
    {"Restore", [](ViSession s) { return ZOR_ChannelCalKitRestore(s, nullptr, "TRL Fixture"); },
     ":SENSe:CORRection:CKIT:INITialize \"TRL Fixture\""},
};

INSTANTIATE_TEST_SUITE_P(Correction, SingleCommand, testing::ValuesIn(single_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- refusals

struct refusal_case_t {
    const char* name;
    std::function<ViStatus(ViSession)> call;
    ViStatus status;
    ViInt32 position;  // of the null argument; 0: no error record
};

void PrintTo(const refusal_case_t& c, std::ostream* os) { *os << c.name; }

class Refusal : public Correction, public testing::WithParamInterface<refusal_case_t> {};

TEST_P(Refusal, BeforeAnyTraffic) {
    EXPECT_EQ(GetParam().call(vi), GetParam().status);
    EXPECT_TRUE(log().empty());
    const auto [primary, elaboration] = take_error();
    if (GetParam().position > 0) {
        EXPECT_EQ(primary, null_pointer);
        EXPECT_NE(elaboration.find("Null address for"), std::string::npos) << elaboration;
    }
}

char some_buffer[16];

const refusal_case_t refusal_cases[] = {
    {"CatalogNullBuffer", [](ViSession s) { return ZOR_ChannelCorrectionCalKitGetCatalog(s, nullptr, 16, nullptr); },
     null_pointer, 4},
    {"CatalogEmptyBuffer", [](ViSession s) { return ZOR_ChannelCorrectionCalKitGetCatalog(s, nullptr, 0, some_buffer); },
     buffer_size, 0},
    {"CatalogNegativeSize",
     [](ViSession s) { return ZOR_ChannelCorrectionCalKitGetCatalog(s, nullptr, -5, some_buffer); }, buffer_size, 0},
    {"SelectedNameNullBuffer",
     [](ViSession s) { return ZOR_ChannelCorrectionCalKitGetSelectedByName(s, nullptr, 16, nullptr); }, null_pointer, 4},
    {"SelectedNameEmptyBuffer",
     [](ViSession s) { return ZOR_ChannelCorrectionCalKitGetSelectedByName(s, nullptr, 0, some_buffer); }, buffer_size,
     0},
    {"SelectByNameNull", [](ViSession s) { return ZOR_ChannelCorrectionCalKitSelectByName(s, nullptr, nullptr); },
     null_pointer, 3},
    {"SelectedNoNull", [](ViSession s) { return ZOR_ChannelCorrectionCalKitGetSelectedByNo(s, nullptr, nullptr); },
     null_pointer, 3},
    {"CountNull", [](ViSession s) { return ZOR_ChannelCalKitGetCount(s, nullptr, nullptr); }, null_pointer, 3},
    {"DeleteNull", [](ViSession s) { return ZOR_ChannelCalKitDelete(s, nullptr, nullptr); }, null_pointer, 3},
    {"ExportNullFirst", [](ViSession s) { return ZOR_ChannelCalKitExport(s, nullptr, nullptr, "f"); }, null_pointer, 3},
    {"ExportNullSecond", [](ViSession s) { return ZOR_ChannelCalKitExport(s, nullptr, "k", nullptr); }, null_pointer, 4},
    {"ImportNull", [](ViSession s) { return ZOR_ChannelCalKitImport(s, nullptr, nullptr); }, null_pointer, 3},
    {"RestoreNull", [](ViSession s) { return ZOR_ChannelCalKitRestore(s, nullptr, nullptr); }, null_pointer, 3},
    {"LoadNull", [](ViSession s) { return ZOR_ChannelCalKitLoad(s, nullptr, nullptr); }, null_pointer, 3},
};

INSTANTIATE_TEST_SUITE_P(Correction, Refusal, testing::ValuesIn(refusal_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- catalog text

struct catalog_case_t {
    const char* name;
    const char* reply;
    const char* text;
};

void PrintTo(const catalog_case_t& c, std::ostream* os) { *os << c.name; }

class CatalogText : public Correction, public testing::WithParamInterface<catalog_case_t> {};

TEST_P(CatalogText, QuotesAndWhiteSpaceGoFromBothEnds) {
    script(catalog_query, GetParam().reply);
    EXPECT_EQ(catalog(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Correction, CatalogText,
                         testing::Values(catalog_case_t{"Quoted", "\"Kit A,Kit B\"", "Kit A,Kit B"},
                                         catalog_case_t{"Padded", " \t\"Kit A,Kit B\"\r\n", "Kit A,Kit B"},
                                         catalog_case_t{"InnerSpaceKept", "\" Kit A , Kit B \"", " Kit A , Kit B "},
                                         catalog_case_t{"Empty", "\"\"", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Correction, CatalogOfTheAnalyzer) {
    EXPECT_EQ(catalog(), factory_catalog);
    EXPECT_EQ(log(), (strings{catalog_query}));
    ViInt32 count = -1;
    EXPECT_EQ(ZOR_ChannelCalKitGetCount(vi, nullptr, &count), 0);
    EXPECT_EQ(count, 5);
}

// The copy into the caller's buffer: cleared over its whole size, at most
// size - 1 characters; a cut text gives 0xBFFF0071.
struct copy_case_t {
    ViInt32 size;
    const char* text;
    ViStatus status;
};

void PrintTo(const copy_case_t& c, std::ostream* os) { *os << "size " << c.size; }

class CatalogCopy : public Correction, public testing::WithParamInterface<copy_case_t> {};

TEST_P(CatalogCopy, IsBoundedAndTerminated) {
    const auto& c = GetParam();
    script(catalog_query, "\"Kit1,Kit22\"");  // 10 characters once unquoted
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetCatalog(vi, nullptr, c.size, buffer), c.status);
    EXPECT_EQ(std::string(buffer), c.text);
    for (ViInt32 i = static_cast<ViInt32>(std::strlen(c.text)); i < c.size; ++i) EXPECT_EQ(buffer[i], '\0') << i;
    for (std::size_t i = static_cast<std::size_t>(c.size); i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'x') << i;
}

INSTANTIATE_TEST_SUITE_P(Correction, CatalogCopy,
                         testing::Values(copy_case_t{10, "Kit1,Kit2", text_cut}, copy_case_t{11, "Kit1,Kit22", 0},
                                         copy_case_t{20, "Kit1,Kit22", 0}, copy_case_t{1, "", text_cut}),
                         [](const auto& info) { return "Size" + std::to_string(info.param.size); });

TEST_F(Correction, ACatalogQueryThatFailsLeavesTheBufferAlone) {
    script(catalog_query, nullptr, VI_ERROR_TMO);
    char buffer[8] = "keep";
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetCatalog(vi, nullptr, sizeof buffer, buffer), VI_ERROR_TMO);
    testing::internal::GetCapturedStdout();
    EXPECT_STREQ(buffer, "keep");
    EXPECT_TRUE(lockable_from_another_thread());
}

// ---------------------------------------------------------------- select by name

struct by_name_case_t {
    const char* name;
    ViStatus status;
    const char* select;  // the selection sent, or null
};

void PrintTo(const by_name_case_t& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class SelectByName : public Correction, public testing::WithParamInterface<by_name_case_t> {};

TEST_P(SelectByName, MatchesWholeNamesCaseSensitively) {
    const auto& c = GetParam();
    script(catalog_query, "\"Kit A,Kit B,Kit B\"");
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, c.name), c.status);
    strings expected{catalog_query};
    if (c.select) expected.push_back(c.select);
    EXPECT_EQ(log(), expected);
}

INSTANTIATE_TEST_SUITE_P(Correction, SelectByName,
                         testing::Values(by_name_case_t{"Kit A", 0, ":SENSe:CORRection:COLLect:CKIT 1"},
                                         by_name_case_t{"Kit B", 0, ":SENSe:CORRection:COLLect:CKIT 2"},
                                         by_name_case_t{"kit b", not_in_catalog, nullptr},
                                         by_name_case_t{"Kit", not_in_catalog, nullptr},
                                         by_name_case_t{"Kit B ", not_in_catalog, nullptr},
                                         by_name_case_t{"", not_in_catalog, nullptr}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(Correction, SelectByNameStopsWhenTheCatalogQueryFails) {
    script(catalog_query, nullptr, 0, VI_ERROR_IO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, "7 mm"), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(log(), (strings{catalog_query}));
}

TEST_F(Correction, SelectionByNameAndNumberAgreeWithTheAnalyzer) {
    EXPECT_EQ(selected_number(), 1);
    EXPECT_EQ(selected_name(), "User Kit 1");
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, "7 mm"), 0);
    EXPECT_EQ(selected_number(), 4);
    EXPECT_EQ(selected_name(), "7 mm");
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitSelectByNo(vi, nullptr, 2), 0);
    EXPECT_EQ(selected_name(), "Type N 50 Ohm");
    // A number outside the catalog is the analyzer's to refuse; the selection stays.
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitSelectByNo(vi, nullptr, 6), 0);
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
    EXPECT_EQ(selected_number(), 2);
}

// Each channel holds its own kit selection: naming Channel2 selects there,
// and channel 1 keeps its kit (a SAVE there would solve with it).
TEST_F(Correction, KitExportsActOnTheChannelTheSelectorNames) {
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, "Channel2", "7 mm"), 0);
    EXPECT_EQ(raw(":SENSe1:CORRection:COLLect:CKIT?;:SENSe2:CORRection:COLLect:CKIT?"), "1;4");
    char name[32] = {};
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetSelectedByName(vi, "Channel2", sizeof name, name), 0);
    EXPECT_STREQ(name, "7 mm");
    EXPECT_EQ(ZOR_SetChannelCorrectionCalkitName(vi, "Channel2", "My 7 mm"), 0);
    EXPECT_EQ(raw(":SENSe1:CORRection:COLLect:CKIT:NAME?;:SENSe2:CORRection:COLLect:CKIT:NAME?"),
              "\"User Kit 1\";\"My 7 mm\"");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

// ---------------------------------------------------------------- selected by name

struct selected_case_t {
    const char* number_reply;
    ViStatus status;
    const char* name;
};

void PrintTo(const selected_case_t& c, std::ostream* os) { *os << "selected " << c.number_reply; }

class SelectedByName : public Correction, public testing::WithParamInterface<selected_case_t> {};

TEST_P(SelectedByName, IsTheKthNameOfTheCatalog) {
    const auto& c = GetParam();
    script(selected_query, c.number_reply);
    script(catalog_query, "\"Kit A,Kit B\"");
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetSelectedByName(vi, nullptr, sizeof buffer, buffer), c.status);
    if (c.status == 0) {
        EXPECT_STREQ(buffer, c.name);
    }
    EXPECT_EQ(log(), (strings{selected_query, catalog_query}));
}

INSTANTIATE_TEST_SUITE_P(Correction, SelectedByName,
                         testing::Values(selected_case_t{"1", 0, "Kit A"}, selected_case_t{"2", 0, "Kit B"},
                                         selected_case_t{"0", outside_catalog, nullptr},
                                         selected_case_t{"3", outside_catalog, nullptr},
                                         selected_case_t{"-1", outside_catalog, nullptr},
                                         selected_case_t{"2147483647", outside_catalog, nullptr}),
                         [](const auto& info) { return "Reply" + std::to_string(info.index); });

// Every comma splits: a trailing comma adds an empty last name, and an
// empty catalog holds one empty name.
TEST_F(Correction, EveryCommaOfTheCatalogSplitsNames) {
    const struct {
        const char* catalog;
        const char* number_reply;
        ViStatus status;
        const char* name;
    } cases[] = {
        {"\"A,B,\"", "3", 0, ""},
        {"\"A,B,\"", "4", outside_catalog, nullptr},
        {"\"\"", "1", 0, ""},
        {"\"\"", "2", outside_catalog, nullptr},
        {"\",A\"", "2", 0, "A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.catalog) + " #" + c.number_reply);
        script(selected_query, c.number_reply);
        script(catalog_query, c.catalog);
        char buffer[16] = "untouched";
        EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetSelectedByName(vi, nullptr, sizeof buffer, buffer), c.status);
        EXPECT_STREQ(buffer, c.name ? c.name : "untouched");
    }
    // The empty third name can be selected by name.
    script(catalog_query, "\"A,B,\"");
    clear_log();
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, ""), 0);
    EXPECT_EQ(log(), (strings{catalog_query, ":SENSe:CORRection:COLLect:CKIT 3"}));
}

TEST_F(Correction, SelectedByNameStopsWhenTheNumberQueryFails) {
    script(selected_query, nullptr, VI_ERROR_TMO);
    char buffer[16] = "keep";
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetSelectedByName(vi, nullptr, sizeof buffer, buffer), VI_ERROR_TMO);
    testing::internal::GetCapturedStdout();
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(log(), (strings{selected_query, zor_test::error_query_after_timeout}));
}

TEST_F(Correction, NumberQueriesLeaveTheValueAloneOnFailure) {
    script(selected_query, nullptr, VI_ERROR_TMO);
    script(":SENSe:CORRection:CKIT:COUNt?", nullptr, VI_ERROR_TMO);
    ViInt32 number = 77, count = 78;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_ChannelCorrectionCalKitGetSelectedByNo(vi, nullptr, &number), VI_ERROR_TMO);
    EXPECT_EQ(ZOR_ChannelCalKitGetCount(vi, nullptr, &count), VI_ERROR_TMO);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(number, 77);
    EXPECT_EQ(count, 78);
}

// ---------------------------------------------------------------- the analyzer's kits

TEST_F(Correction, RenamingTheSelectedKitShowsInTheCatalogOfItsChannelOnly) {
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByNo(vi, nullptr, 3), 0);
    ASSERT_EQ(ZOR_SetChannelCorrectionCalkitName(vi, nullptr, "Bench kit"), 0);
    EXPECT_EQ(catalog(), "User Kit 1,Type N 50 Ohm,Bench kit,7 mm,TRL Fixture");
    EXPECT_EQ(selected_name(), "Bench kit");
    EXPECT_EQ(raw(":SENSe2:CORRection:COLLect:CKIT:CATalog?"), std::string("\"") + factory_catalog + "\"");
    // A name that would break the catalog, or one another kit has, is refused.
    EXPECT_EQ(ZOR_SetChannelCorrectionCalkitName(vi, nullptr, "a,b"), 0);
    EXPECT_EQ(next_error(), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(ZOR_SetChannelCorrectionCalkitName(vi, nullptr, "7 mm"), 0);
    EXPECT_EQ(next_error().substr(0, 5), "-221,");
    EXPECT_EQ(selected_name(), "Bench kit");
}

TEST_F(Correction, DeletingAKitKeepsTheSelectionOnTheSameKit) {
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, "7 mm"), 0);
    EXPECT_EQ(ZOR_ChannelCalKitDelete(vi, nullptr, "Type N 50 Ohm"), 0);
    EXPECT_EQ(catalog(), "User Kit 1,3.5 mm,7 mm,TRL Fixture");
    EXPECT_EQ(selected_number(), 3);
    EXPECT_EQ(selected_name(), "7 mm");
    // Deleting the selected last kit selects the one before it.
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByNo(vi, nullptr, 4), 0);
    EXPECT_EQ(ZOR_ChannelCalKitDelete(vi, nullptr, "TRL Fixture"), 0);
    EXPECT_EQ(selected_name(), "7 mm");
    ViInt32 count = 0;
    EXPECT_EQ(ZOR_ChannelCalKitGetCount(vi, nullptr, &count), 0);
    EXPECT_EQ(count, 3);
    // An unknown name changes nothing.
    EXPECT_EQ(ZOR_ChannelCalKitDelete(vi, nullptr, "No such kit"), 0);
    EXPECT_EQ(next_error(), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(catalog(), "User Kit 1,3.5 mm,7 mm");
}

TEST_F(Correction, TheLastKitCannotBeDeleted) {
    for (const char* name : {"Type N 50 Ohm", "3.5 mm", "7 mm", "TRL Fixture"})
        ASSERT_EQ(ZOR_ChannelCalKitDelete(vi, nullptr, name), 0);
    EXPECT_EQ(ZOR_ChannelCalKitDelete(vi, nullptr, "User Kit 1"), 0);
    EXPECT_EQ(next_error(), "-221,\"Settings conflict\"");
    EXPECT_EQ(catalog(), "User Kit 1");
    EXPECT_EQ(selected_name(), "User Kit 1");
}

TEST_F(Correction, RestoreBringsBackAFactoryKit) {
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, "TRL Fixture"), 0);
    ASSERT_EQ(ZOR_SetChannelCorrectionCalkitTrlReferencePlane(vi, nullptr, ZOR_VAL_TRL_PLANE_THRU), 0);
    ASSERT_EQ(ZOR_ChannelCalKitDelete(vi, nullptr, "3.5 mm"), 0);
    EXPECT_EQ(ZOR_ChannelCalKitRestore(vi, nullptr, "3.5 mm"), 0);
    EXPECT_EQ(ZOR_ChannelCalKitRestore(vi, nullptr, "TRL Fixture"), 0);
    EXPECT_EQ(catalog(), "User Kit 1,Type N 50 Ohm,7 mm,TRL Fixture,3.5 mm");
    ViInt32 plane = -1;
    EXPECT_EQ(ZOR_GetChannelCorrectionCalkitTrlReferencePlane(vi, nullptr, &plane), 0);
    EXPECT_EQ(plane, ZOR_VAL_TRL_PLANE_REFLECT) << "the factory definition is back";
    EXPECT_EQ(ZOR_ChannelCalKitRestore(vi, nullptr, "Bench kit"), 0);
    EXPECT_EQ(next_error(), "-224,\"Illegal parameter value\"");
}

TEST_F(Correction, ExportedKitsImportAndLoadBack) {
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, "7 mm"), 0);
    ASSERT_EQ(ZOR_SetChannelCorrectionCalkitDescription(vi, nullptr, "Bench standards"), 0);
    EXPECT_EQ(ZOR_ChannelCalKitExport(vi, nullptr, "7 mm", "seven.ckt"), 0);
    EXPECT_EQ(raw(":SENSe:CORRection:CKIT:FILE:CATalog?"), "\"seven.ckt\"");
    ASSERT_EQ(ZOR_ChannelCalKitDelete(vi, nullptr, "7 mm"), 0);
    EXPECT_EQ(ZOR_ChannelCalKitImport(vi, nullptr, "seven.ckt"), 0);
    EXPECT_EQ(catalog(), "User Kit 1,Type N 50 Ohm,3.5 mm,TRL Fixture,7 mm");
    // Loading puts the file's kit into the selected one.
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByNo(vi, nullptr, 1), 0);
    EXPECT_EQ(ZOR_ChannelCalKitLoad(vi, nullptr, "seven.ckt"), 0);
    EXPECT_EQ(next_error(), "-221,\"Settings conflict; kit name in use\"") << "7 mm is kit 5 already";
    ASSERT_EQ(ZOR_ChannelCalKitDelete(vi, nullptr, "7 mm"), 0);
    EXPECT_EQ(ZOR_ChannelCalKitLoad(vi, nullptr, "seven.ckt"), 0);
    EXPECT_EQ(selected_name(), "7 mm");
    char description[64] = {};
    EXPECT_EQ(ZOR_GetChannelCorrectionCalkitDescription(vi, nullptr, sizeof description, description), 0);
    EXPECT_STREQ(description, "\"Bench standards\"");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(Correction, MissingKitFilesAreReportedByTheAnalyzer) {
    EXPECT_EQ(ZOR_ChannelCalKitImport(vi, nullptr, "absent.ckt"), 0);
    EXPECT_EQ(next_error(), "-256,\"File name not found\"");
    EXPECT_EQ(ZOR_ChannelCalKitLoad(vi, nullptr, "absent.ckt"), 0);
    EXPECT_EQ(next_error(), "-256,\"File name not found\"");
    EXPECT_EQ(ZOR_ChannelCalKitExport(vi, nullptr, "No such kit", "x.ckt"), 0);
    EXPECT_EQ(next_error(), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(ZOR_ChannelCalKitExport(vi, nullptr, "7 mm", ""), 0);
    EXPECT_EQ(next_error(), "-257,\"File name error\"");
    EXPECT_EQ(catalog(), factory_catalog);
}

TEST_F(Correction, TheSelectedKitTravelsAsADefiniteLengthBlock) {
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, "TRL Fixture"), 0);
    // The text fields, then the four standards (ideal in this kit).
    const std::string ideal = "\t0,0,50,0,0,0,0,50,0";
    const std::string kit = "TRL Fixture\tMicrostrip fixture: thru, reflect, line\tLINE\tREFL" + ideal + ideal + ideal + ideal;
    EXPECT_EQ(raw(":SENSe:CORRection:CKIT:DATA?"), "#3" + std::to_string(kit.size()) + kit);
    const std::string other = "Fixture B\tSecond fixture, 50 Ohm line\tSYST\tTHRU";
    raw(":SENSe2:CORRection:CKIT:DATA #2" + std::to_string(other.size()) + other);
    EXPECT_EQ(next_error(), "0,\"No error\"");
    EXPECT_EQ(raw(":SENSe2:CORRection:COLLect:CKIT:CATalog?"),
              "\"Fixture B,Type N 50 Ohm,3.5 mm,7 mm,TRL Fixture\"");
    raw(":SENSe2:CORRection:CKIT:DATA #15a\tb\tc");
    EXPECT_EQ(next_error(), "-230,\"Data corrupt or stale\"");
}

}  // namespace

// ---------------------------------------------------------------- calibrating the simulated test set

namespace zor_test_calibration {

// The four corrected S-parameters of channel 1 (traces 1..4 measure S11,
// S21, S12, S22), as re,im pairs.
std::vector<double> corrected_sparams(ViSession vi, int points) {
    std::vector<double> all;
    for (const char* trace : {"Channel1:Trace1", "Channel1:Trace2", "Channel1:Trace3", "Channel1:Trace4"}) {
        std::vector<double> data(static_cast<std::size_t>(2 * points), 0.0);
        ViInt32 count = -1;
        EXPECT_EQ(ZOR_MeasurementQueryData(vi, trace, 1, 2 * points, data.data(), &count), 0);
        EXPECT_EQ(count, 2 * points);
        all.insert(all.end(), data.begin(), data.end());
    }
    return all;
}

double largest_difference(const std::vector<double>& a, const std::vector<double>& b) {
    double largest = 0;
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k) largest = std::max(largest, std::abs(a[k] - b[k]));
    return a.size() == b.size() ? largest : 1e300;
}

}  // namespace zor_test_calibration

TEST_F(Correction, SoltWithTheSelectedKitRemovesTheTestSetsErrors) {
    using namespace zor_test_calibration;
    const int points = 51;
    raw(":SENS1:SWE:POIN 51");
    const std::vector<double> truth = corrected_sparams(vi, points);  // the fixture leaves the errors out
    raw(":SYSTem:SIMulation:ERRors ON");
    const std::vector<double> uncorrected = corrected_sparams(vi, points);
    EXPECT_GT(largest_difference(uncorrected, truth), 1e-2);

    // Standards of the 3.5 mm kit connected and measured, solved with the
    // kit the driver selects at SAVE.
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, "3.5 mm"), 0);
    raw(":SENS1:CORR:COLL:METH SOLT;:SENS1:CORR:COLL:OPEN 1;:SENS1:CORR:COLL:SHOR 1;:SENS1:CORR:COLL:LOAD 1;"
        ":SENS1:CORR:COLL:OPEN 2;:SENS1:CORR:COLL:SHOR 2;:SENS1:CORR:COLL:LOAD 2;:SENS1:CORR:COLL:THRU 1,2;"
        ":SENS1:CORR:COLL:ISOL 1,2");
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, "7 mm"), 0);
    ASSERT_EQ(ZOR_ChannelCorrectionSave(vi, "Channel1"), 0);
    const double wrong_kit = largest_difference(corrected_sparams(vi, points), truth);
    EXPECT_GT(wrong_kit, 1e-2);
    EXPECT_LT(wrong_kit, 10.0);
    ASSERT_EQ(ZOR_ChannelCorrectionCalKitSelectByName(vi, nullptr, "3.5 mm"), 0);
    ASSERT_EQ(ZOR_ChannelCorrectionSave(vi, "Channel1"), 0);
    EXPECT_LT(largest_difference(corrected_sparams(vi, points), truth), 1e-9);
    EXPECT_EQ(next_error(), "0,\"No error\"");

    // The correction state export switches between raw and corrected data.
    ASSERT_EQ(ZOR_SetChannelCorrectionEnabled(vi, "Channel1", VI_FALSE), 0);
    EXPECT_LT(largest_difference(corrected_sparams(vi, points), uncorrected), 1e-12);
    ASSERT_EQ(ZOR_SetChannelCorrectionEnabled(vi, "Channel1", VI_TRUE), 0);
    EXPECT_LT(largest_difference(corrected_sparams(vi, points), truth), 1e-9);
}
