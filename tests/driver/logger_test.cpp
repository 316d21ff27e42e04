#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/logger.h"
#include "support/platform.h"

using namespace qvdriver;

namespace {

void set_env(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

std::string file_text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class LoggerTest : public testing::Test {
protected:
    void TearDown() override { logger::set_switches_for_testing(false, false); }
};

}  // namespace

TEST_F(LoggerTest, OffByDefaultWritesNothing) {
    EXPECT_FALSE(logger::logging_enabled());
    EXPECT_FALSE(logger::file_output_enabled());
    testing::internal::CaptureStdout();
    log_message(log_error, "nothing");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(LoggerTest, ConsoleLinesCarryStampAndTag) {
    logger::set_switches_for_testing(true, false);
    testing::internal::CaptureStdout();
    log_message(5, "unknown level");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    testing::internal::CaptureStdout();
    log_message(log_error, "boom");
    const std::string out = testing::internal::GetCapturedStdout();
    // [YYYY-MM-DD hh:mm:ss.mmm] then the tag, the text and one newline; no
    // colour codes, as standard output is no terminal here.
    ASSERT_EQ(out.size(), 26 + std::string("[ERROR] ").size() + 5);
    EXPECT_EQ(out[0], '[');
    EXPECT_EQ(out.substr(24, 2), "] ");
    EXPECT_EQ(out.substr(26), "[ERROR] boom\n");
}

// Trace lines go to standard error, leaving standard output to the console
// lines and to programs whose output is data.
TEST_F(LoggerTest, TraceLinesShowSessionTextValuesAndStatusOnStandardError) {
    struct {
        std::string text;
        std::int32_t status;
        const char* name;
        const char* values;
        const char* expected;  // after the stamp
    } cases[] = {
        {"*IDN?\n", 0, "VI_SUCCESS", "", "[TRACE] vi=7 >> write \"*IDN?\\n\" status=0x00000000 VI_SUCCESS\n"},
        {std::string("#14\x01\x02\xFFz", 7), 0x3FFF0006, "VI_SUCCESS_MAX_CNT", "",
         "[TRACE] vi=7 >> write \"#14\\x01\\x02\\xFFz\" status=0x3FFF0006 VI_SUCCESS_MAX_CNT\n"},
        {"", static_cast<std::int32_t>(0xBFFF0015), "VI_ERROR_TMO", "",
         "[TRACE] vi=7 >> write \"\" status=0xBFFF0015 VI_ERROR_TMO\n"},
        {"*ESR?", 0, "VI_SUCCESS", "32", "[TRACE] vi=7 >> write \"*ESR?\" -> 32 status=0x00000000 VI_SUCCESS\n"},
        {"x", 0x12345, nullptr, "", "[TRACE] vi=7 >> write \"x\" status=0x00012345\n"},
        {std::string(600, 'a'), 0, "VI_SUCCESS", "", nullptr},
    };
    logger::set_switches_for_testing(true, false, true);
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        trace_io(7, ">> write", c.text, c.status, c.name, c.values);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        if (c.expected) {
            EXPECT_EQ(err.substr(26), c.expected);
        } else {
            EXPECT_NE(err.find(std::string(512, 'a') + "\" ... (600 bytes) status=0x00000000"), std::string::npos) << err;
            EXPECT_EQ(err.find(std::string(513, 'a')), std::string::npos);
        }
    }
    // Trace off: nothing, even with the log on.
    logger::set_switches_for_testing(true, false, false);
    testing::internal::CaptureStderr();
    trace_io(7, ">> write", "x", 0, "VI_SUCCESS");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(LoggerTest, QuietSilencesTheConsoleLinesButNotTheLog) {
    logger::set_switches_for_testing(true, false, false, false);
    testing::internal::CaptureStdout();
    console_printf("[INFO] new ivi session: %d\n", 1);
    log_message(log_info, "asked for");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("new ivi session"), std::string::npos);
    EXPECT_NE(out.find("[INFO] asked for"), std::string::npos);
}

TEST_F(LoggerTest, TimeStampShape) {
    const std::string stamp = logger::time_stamp();
    ASSERT_EQ(stamp.size(), 26u);
    for (std::size_t i : {5u, 8u}) EXPECT_EQ(stamp[i], '-');
    EXPECT_EQ(stamp[11], ' ');
    EXPECT_EQ(stamp[20], '.');
}

TEST_F(LoggerTest, FileOutputAppendsLinesAndMakesTheFolder) {
    const std::string base = testing::TempDir() + "zor_log_" + std::to_string(platform::process_id());
    set_env("LOCALAPPDATA", base);
#if defined(_WIN32)
    // Windows makes only the last folder: the real LOCALAPPDATA always exists.
    platform::make_directory(base);
#endif
    const std::string path = logger::log_file_path();
    std::remove(path.c_str());
    logger::set_switches_for_testing(true, true);
    testing::internal::CaptureStdout();
    log_message(log_info, "first");
    log_message(log_warning, "second\n");
    testing::internal::GetCapturedStdout();

    const std::string text = file_text(path);
    std::istringstream lines(text);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.substr(26), "[INFO]    first");
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.substr(26), "[WARNING] second");
    ASSERT_TRUE(std::getline(lines, line));  // a text ending in a newline gives an empty line
    EXPECT_EQ(line, "");
    EXPECT_FALSE(std::getline(lines, line));
    std::remove(path.c_str());
}
