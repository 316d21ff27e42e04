// The marker's reply, as the wire guard knows it: an error-queue entry and
// a number joined by ';', and nothing that a single query answers.
#include <gtest/gtest.h>

#include "io/wire_guard.h"

using qvdriver::wire::error_entry_t;
using qvdriver::wire::parse_marker_reply;

TEST(WireGuard, KnowsTheMarkersReplyAndNothingElse) {
    const struct {
        const char* reply;
        bool marker;
        long code;
        const char* message;
    } cases[] = {
        {"-114,\"Header suffix out of range\";0\n", true, -114, "Header suffix out of range"},
        {"0,\"No error\";255", true, 0, "No error"},
        {"+0,\"No error\";+32\r\n", true, 0, "No error"},
        {"-222,\"Data out of range; \"\"x\"\" too big\";0", true, -222, "Data out of range; \"\"x\"\" too big"},
        {"-100,\"\";0", true, -100, ""},
        // What single queries answer, a late error query among them.
        {"-114,\"Header suffix out of range\"", false, 0, ""},
        {"1", false, 0, ""},
        {"0,\"No error\"", false, 0, ""},
        {"1,2,\"a\";3", false, 0, ""},
        {"#14abcd", false, 0, ""},
        {"S11", false, 0, ""},
        // Not quite the shape.
        {"-114,\"unterminated;0", false, 0, ""},
        {"-114,\"x\";", false, 0, ""},
        {"-114,\"x\";0;1", false, 0, ""},
        {"-114,\"x\" ;0", false, 0, ""},
        {",\"x\";0", false, 0, ""},
        {"1234567890123,\"x\";0", false, 0, ""},
        {"", false, 0, ""},
    };
    for (const auto& c : cases) {
        error_entry_t entry;
        EXPECT_EQ(parse_marker_reply(c.reply, entry), c.marker) << c.reply;
        if (!c.marker) continue;
        EXPECT_EQ(entry.code, c.code) << c.reply;
        EXPECT_EQ(entry.message, c.message) << c.reply;
    }
}
