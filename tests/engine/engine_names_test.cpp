// Logical names from a configuration file, and status descriptions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "engine_test_support.h"

namespace {

struct resolved_t {
    ViStatus status;
    std::string resource, options;
    ViBoolean logical;
};

resolved_t resolve(const char* resource, const char* options) {
    char new_resource[256], new_options[256];
    std::memset(new_resource, '#', sizeof new_resource);
    std::memset(new_options, '#', sizeof new_options);
    ViBoolean logical = 7;
    resolved_t r;
    r.status = Ivi_GetInfoFromResourceName(const_cast<ViRsrc>(resource), const_cast<ViString>(options), new_resource,
                                           new_options, &logical);
    EXPECT_NE(std::memchr(new_resource, '\0', sizeof new_resource), nullptr);
    EXPECT_NE(std::memchr(new_options, '\0', sizeof new_options), nullptr);
    r.resource = new_resource;
    r.options = new_options;
    r.logical = logical;
    return r;
}

class LogicalNames : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "zor_engine_names_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                ".ini";
        std::ofstream file(path_);
        file << "# bench instruments\n"
                "; another comment\n"
                "[bench-vna]\n"
                "  resource = TCPIP::192.0.2.10::5025::SOCKET  \n"
                "options = QueryInstrStatus=1, Simulate=1\n"
                "\n"
                "[Setup-Only]\n"
                "resource=GPIB0::20::INSTR\n"
                "options = Cache=0, DriverSetup=Model:ZOR24, Ports=2\n"
                "[no-resource]\n"
                "options = Simulate=1\n"
                "[bench-vna]\n"
                "resource = second::definition\n";
        file.close();
        engine_test::set_env("ZOR_IVI_CONFIG", path_);
    }
    void TearDown() override {
        engine_test::unset_env("ZOR_IVI_CONFIG");
        std::remove(path_.c_str());
    }
    std::string path_;
};

TEST_F(LogicalNames, ResolveFromTheFile) {
    struct case_t {
        const char* resource;
        const char* options;
        resolved_t expected;
    };
    const case_t cases[] = {
        {"bench-vna", "", {VI_SUCCESS, "TCPIP::192.0.2.10::5025::SOCKET", "QueryInstrStatus=1, Simulate=1", VI_TRUE}},
        {"BENCH-VNA", nullptr, {VI_SUCCESS, "TCPIP::192.0.2.10::5025::SOCKET", "QueryInstrStatus=1, Simulate=1", VI_TRUE}},
        {"bench-vna", "Simulate=0",
         {VI_SUCCESS, "TCPIP::192.0.2.10::5025::SOCKET", "QueryInstrStatus=1, Simulate=1, Simulate=0", VI_TRUE}},
        {"setup-only", "RangeCheck=0",
         {VI_SUCCESS, "GPIB0::20::INSTR", "Cache=0, RangeCheck=0, DriverSetup=Model:ZOR24, Ports=2", VI_TRUE}},
        {"setup-only", "DriverSetup=x,y",
         {VI_SUCCESS, "GPIB0::20::INSTR", "Cache=0, DriverSetup=x,y", VI_TRUE}},
        {"no-resource", "Cache=1", {VI_SUCCESS, "no-resource", "Cache=1", VI_FALSE}},
        {"TCPIP::192.0.2.99::INSTR", "Simulate=1", {VI_SUCCESS, "TCPIP::192.0.2.99::INSTR", "Simulate=1", VI_FALSE}},
        {nullptr, nullptr, {VI_SUCCESS, "", "", VI_FALSE}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.resource ? c.resource : "(null)");
        resolved_t r = resolve(c.resource, c.options);
        EXPECT_EQ(r.status, c.expected.status);
        EXPECT_EQ(r.resource, c.expected.resource);
        EXPECT_EQ(r.options, c.expected.options);
        EXPECT_EQ(r.logical, c.expected.logical);
    }
}

TEST_F(LogicalNames, MergedOptionsCreateTheSessionTheCallerAsked) {
    resolved_t r = resolve("bench-vna", "Simulate=0");
    ASSERT_EQ(r.logical, VI_TRUE);
    ViSession vi = 0;
    ASSERT_EQ(Ivi_SpecificDriverNew("ZOR", r.options.c_str(), &vi), VI_SUCCESS);
    EXPECT_EQ(Ivi_Simulating(vi), VI_FALSE);
    EXPECT_EQ(Ivi_QueryInstrStatus(vi), VI_TRUE);
    EXPECT_EQ(Ivi_Dispose(vi), VI_SUCCESS);
}

TEST_F(LogicalNames, MissingFileMeansNoLogicalNames) {
    engine_test::set_env("ZOR_IVI_CONFIG", path_ + ".missing");
    resolved_t r = resolve("bench-vna", "Cache=0");
    EXPECT_EQ(r.status, VI_SUCCESS);
    EXPECT_EQ(r.resource, "bench-vna");
    EXPECT_EQ(r.options, "Cache=0");
    EXPECT_EQ(r.logical, VI_FALSE);
}

TEST(ResourceNames, LongTextsAreCutAndReported) {
    const std::string long_name(400, 'r');
    resolved_t r = resolve(long_name.c_str(), "Simulate=1");
    EXPECT_EQ(r.status, VI_ERROR_USER_BUF);
    EXPECT_EQ(r.resource, std::string(255, 'r'));
    EXPECT_EQ(r.options, "Simulate=1");
    char buffer[256];
    EXPECT_EQ(Ivi_GetInfoFromResourceName(const_cast<ViRsrc>("x"), nullptr, nullptr, buffer, nullptr),
              static_cast<ViStatus>(0xBFFA000F));
}

TEST(StatusDescriptions, DriverVisaEngineAndUnknown) {
    struct case_t {
        ViStatus status;
        const char* text;
    };
    const case_t cases[] = {
        {static_cast<ViStatus>(0xBFFA0001), "Instrument status error: the event status register reports an error"},
        {static_cast<ViStatus>(0xBFFC0001), "Calibration kit not found"},
        {static_cast<ViStatus>(0xBFFC0002), "Parameter 2 invalid"},
        {static_cast<ViStatus>(0xBFFF000E), "Invalid session"},
        {static_cast<ViStatus>(0xBFFF0071), "Text cut to fit the buffer"},
        {static_cast<ViStatus>(0xBFFF009E), "VISA library not found"},
        {VI_SUCCESS, "Success"},
        {VI_ERROR_TMO, "Timeout expired before the operation completed"},
        {VI_ERROR_RSRC_NFOUND, "Resource not found"},
        {VI_SUCCESS_MAX_CNT, "Read stopped after the requested number of bytes"},
        {IVI_ERROR_INVALID_OPTION_STRING, "Invalid option string"},
        {IVI_ERROR_NOT_LOCKED_BY_CALLER, "Session not locked by the caller"},
    };
    for (const case_t& c : cases) {
        char message[256] = "";
        EXPECT_EQ(Ivi_GetSpecificDriverStatusDesc(0, c.status, message, nullptr), VI_SUCCESS) << c.text;
        EXPECT_STREQ(message, c.text);
    }
    char message[256] = "";
    EXPECT_EQ(Ivi_GetSpecificDriverStatusDesc(0, static_cast<ViStatus>(0xBFFA7777), message, nullptr),
              VI_WARN_UNKNOWN_STATUS);
    EXPECT_STREQ(message, "Unknown status code 0xBFFA7777");
    EXPECT_EQ(Ivi_GetSpecificDriverStatusDesc(0, VI_ERROR_TMO, nullptr, nullptr), static_cast<ViStatus>(0xBFFA000F));
}

TEST(StatusDescriptions, CallerTableComesFirstAndLongTextsAreCut) {
    std::string long_text(600, 'd');
    IviStringValueTableEntry table[] = {
        {VI_ERROR_TMO, const_cast<ViString>("driver's own time-out text")},
        {0x3FFA0001, long_text.data()},
        {0, nullptr},
    };
    char message[256];
    EXPECT_EQ(Ivi_GetSpecificDriverStatusDesc(0, VI_ERROR_TMO, message, table), VI_SUCCESS);
    EXPECT_STREQ(message, "driver's own time-out text");
    EXPECT_EQ(Ivi_GetSpecificDriverStatusDesc(0, 0x3FFA0001, message, table), VI_SUCCESS);
    EXPECT_EQ(std::string(message), std::string(255, 'd'));
    IviStringValueTableEntry empty[] = {{0, nullptr}};
    EXPECT_EQ(Ivi_GetSpecificDriverStatusDesc(0, VI_ERROR_RSRC_NFOUND, message, empty), VI_SUCCESS);
    EXPECT_STREQ(message, "Resource not found");
}

}  // namespace
