// Error records and attribute access.
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>

#include "engine_test_support.h"

using engine_test::int_attribute;
using engine_test::session_guard_t;

namespace {

struct error_t {
    ViStatus primary = -1, secondary = -1;
    std::string elaboration;
};

error_t take_error(ViSession vi) {
    error_t e;
    char text[256];
    std::memset(text, 'z', sizeof text);
    EXPECT_EQ(Ivi_GetErrorInfo(vi, &e.primary, &e.secondary, text), VI_SUCCESS);
    EXPECT_NE(std::memchr(text, '\0', sizeof text), nullptr);
    e.elaboration = text;
    return e;
}

TEST(ErrorRecords, OverwriteFalseKeepsTheFirstAndGetClears) {
    session_guard_t s;
    ASSERT_EQ(s.status, VI_SUCCESS);
    const ViStatus first = static_cast<ViStatus>(0xBFFA000F), second = VI_ERROR_TMO;
    ASSERT_EQ(Ivi_SetErrorInfo(s.vi, VI_FALSE, first, Ivi_ParamPositionError(3), "Null address for Buffer"),
              VI_SUCCESS);
    ASSERT_EQ(Ivi_SetErrorInfo(s.vi, VI_FALSE, second, 0, "later"), VI_SUCCESS);

    // Read through attributes first: that leaves the record in place.
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_PRIMARY_ERROR), first);
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_SECONDARY_ERROR), static_cast<ViInt32>(0xBFFC0003));
    char text[256] = "";
    EXPECT_EQ(Ivi_GetAttributeViString(s.vi, nullptr, IVI_ATTR_ERROR_ELABORATION, 0, sizeof text, text), VI_SUCCESS);
    EXPECT_STREQ(text, "Null address for Buffer");

    error_t e = take_error(s.vi);
    EXPECT_EQ(e.primary, first);
    EXPECT_EQ(e.secondary, static_cast<ViStatus>(0xBFFC0003));
    EXPECT_EQ(e.elaboration, "Null address for Buffer");
    e = take_error(s.vi);
    EXPECT_EQ(e.primary, 0);
    EXPECT_EQ(e.secondary, 0);
    EXPECT_EQ(e.elaboration, "");

    // Overwrite replaces; Clear empties.
    ASSERT_EQ(Ivi_SetErrorInfo(s.vi, VI_FALSE, first, 0, "a"), VI_SUCCESS);
    ASSERT_EQ(Ivi_SetErrorInfo(s.vi, VI_TRUE, second, 0, nullptr), VI_SUCCESS);
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_PRIMARY_ERROR), second);
    ASSERT_EQ(Ivi_ClearErrorInfo(s.vi), VI_SUCCESS);
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_PRIMARY_ERROR), 0);
}

TEST(ErrorRecords, NullOutputsAndLongElaborationsAreSafe) {
    session_guard_t s;
    ASSERT_EQ(s.status, VI_SUCCESS);
    const std::string long_text(1000, 'e');
    ASSERT_EQ(Ivi_SetErrorInfo(s.vi, VI_TRUE, VI_ERROR_IO, 0, long_text.c_str()), VI_SUCCESS);
    EXPECT_EQ(take_error(s.vi).elaboration, std::string(255, 'e'));
    ASSERT_EQ(Ivi_SetErrorInfo(s.vi, VI_TRUE, VI_ERROR_IO, 1, "x"), VI_SUCCESS);
    EXPECT_EQ(Ivi_GetErrorInfo(s.vi, nullptr, nullptr, nullptr), VI_SUCCESS);
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_PRIMARY_ERROR), 0) << "a read with null outputs still clears";
}

TEST(ErrorRecords, SessionZeroRecordIsPerThreadAndApartFromSessions) {
    session_guard_t s;
    ASSERT_EQ(s.status, VI_SUCCESS);
    ASSERT_EQ(Ivi_ClearErrorInfo(0), VI_SUCCESS);
    ASSERT_EQ(Ivi_SetErrorInfo(0, VI_FALSE, VI_ERROR_TMO, 2, "main thread"), VI_SUCCESS);

    auto other = std::async(std::launch::async, [] {
        error_t before = take_error(0);
        Ivi_SetErrorInfo(0, VI_FALSE, VI_ERROR_IO, 0, "other thread");
        return before;
    }).get();
    EXPECT_EQ(other.primary, 0) << "another thread saw this thread's record";

    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_PRIMARY_ERROR), 0);
    error_t mine = take_error(0);
    EXPECT_EQ(mine.primary, VI_ERROR_TMO);
    EXPECT_EQ(mine.secondary, 2);
    EXPECT_EQ(mine.elaboration, "main thread");
}

TEST(ErrorRecords, ParamPositionError) {
    for (ViInt32 n = 1; n <= 8; ++n) EXPECT_EQ(Ivi_ParamPositionError(n), static_cast<ViStatus>(0xBFFC0000 + n));
    for (ViInt32 n : {0, 9, -1, 1000}) EXPECT_EQ(Ivi_ParamPositionError(n), IVI_ERROR_INVALID_PARAMETER) << n;
}

TEST(Attributes, GetViStringCutsAndReportsTheNeededSize) {
    session_guard_t s;
    ASSERT_EQ(s.status, VI_SUCCESS);
    const char* resource = "TCPIP::192.0.2.10::5025::SOCKET";  // 31 characters
    const ViStatus needed = static_cast<ViStatus>(std::strlen(resource) + 1);
    ASSERT_EQ(Ivi_SetAttributeViString(s.vi, "", IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 0, resource), VI_SUCCESS);

    struct case_t {
        ViInt32 size;
        ViStatus status;
        const char* text;
    };
    const case_t cases[] = {
        {64, VI_SUCCESS, resource},
        {needed, VI_SUCCESS, resource},
        {needed - 1, needed, "TCPIP::192.0.2.10::5025::SOCKE"},
        {6, needed, "TCPIP"},
        {1, needed, ""},
    };
    for (const case_t& c : cases) {
        char buffer[80];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(Ivi_GetAttributeViString(s.vi, nullptr, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 0, c.size, buffer), c.status)
            << c.size;
        EXPECT_STREQ(buffer, c.text) << c.size;
        EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer of size " << c.size;
    }
    EXPECT_EQ(Ivi_GetAttributeViString(s.vi, nullptr, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 0, 0, nullptr), needed);
    char one[1] = {'#'};
    EXPECT_EQ(Ivi_GetAttributeViString(s.vi, nullptr, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 0, 0, one), needed);
    EXPECT_EQ(one[0], '#');
    EXPECT_LT(Ivi_GetAttributeViString(s.vi, nullptr, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 0, -5, nullptr), 0);
    EXPECT_EQ(Ivi_GetAttributeViString(s.vi, nullptr, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 0, 10, nullptr),
              static_cast<ViStatus>(0xBFFA000F));
}

TEST(Attributes, UnknownOrMistypedAttributesAreRefused) {
    session_guard_t s;
    ASSERT_EQ(s.status, VI_SUCCESS);
    ViInt32 i32 = 0;
    ViSession ses = 0;
    char text[32];
    const ViAttr unknown = 1150179;
    EXPECT_EQ(Ivi_GetAttributeViInt32(s.vi, nullptr, unknown, 0, &i32), IVI_ERROR_INVALID_ATTRIBUTE);
    EXPECT_EQ(Ivi_GetAttributeViString(s.vi, nullptr, unknown, 0, 32, text), IVI_ERROR_INVALID_ATTRIBUTE);
    EXPECT_EQ(Ivi_GetAttributeViSession(s.vi, nullptr, unknown, 0, &ses), IVI_ERROR_INVALID_ATTRIBUTE);
    EXPECT_EQ(Ivi_SetAttributeViString(s.vi, nullptr, unknown, 0, "x"), IVI_ERROR_INVALID_ATTRIBUTE);
    EXPECT_EQ(Ivi_GetAttributeFlags(s.vi, unknown, &i32), IVI_ERROR_INVALID_ATTRIBUTE);
    // Right ID, wrong accessor.
    EXPECT_EQ(Ivi_GetAttributeViInt32(s.vi, nullptr, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 0, &i32),
              IVI_ERROR_INVALID_ATTRIBUTE);
    EXPECT_EQ(Ivi_GetAttributeViString(s.vi, nullptr, IVI_ATTR_CACHE, 0, 32, text), IVI_ERROR_INVALID_ATTRIBUTE);
}

TEST(Attributes, FlagsAreKeptPerAttributeAndSession) {
    session_guard_t a, b;
    ASSERT_EQ(a.status, VI_SUCCESS);
    ASSERT_EQ(b.status, VI_SUCCESS);
    ViInt32 flags = -1;
    ASSERT_EQ(Ivi_GetAttributeFlags(a.vi, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, &flags), VI_SUCCESS);
    EXPECT_EQ(flags, 0);
    // The driver's read-modify-write of the descriptor's flags.
    ASSERT_EQ(Ivi_SetAttributeFlags(a.vi, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, (flags & 0xFFEB) | 0x0010), VI_SUCCESS);
    ASSERT_EQ(Ivi_GetAttributeFlags(a.vi, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, &flags), VI_SUCCESS);
    EXPECT_EQ(flags, 0x10);
    ASSERT_EQ(Ivi_GetAttributeFlags(a.vi, IVI_ATTR_DRIVER_SETUP, &flags), VI_SUCCESS);
    EXPECT_EQ(flags, 0);
    ASSERT_EQ(Ivi_GetAttributeFlags(b.vi, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, &flags), VI_SUCCESS);
    EXPECT_EQ(flags, 0);
}

}  // namespace
