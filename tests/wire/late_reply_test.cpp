// Faults on the wire, through the driver's exports: a reply held back past
// the call's time-out at its first byte, its middle or its last, for every
// exchange pattern the driver uses, over a raw socket, VXI-11 and HiSLIP,
// from instruments that send every reply in small pieces. The faulty call
// fails; no later call ever takes the late reply for its own. A query the
// analyzer refuses is reported with the analyzer's error, and the next call
// pays no time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ZOR.h"
#include "late_peer.h"
#include "visa.h"

namespace {

using namespace wire_test;
using clock_type = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr ViInt32 timeout_ms = 150;
constexpr ViInt32 points = 11;

struct pattern_t {
    const char* name;
    const char* held;  // the message whose reply comes late
    bool binary;       // a DataFormat:REAL64 session
    bool write;        // the device's answer to the write is late (VXI-11 only)
    std::function<ViStatus(ViSession)> call;
};

char text[64];
ViReal64 value, data[2 * points];
ViInt32 count;

const pattern_t patterns[] = {
    {"Write", ":SENSe1:FREQuency:STARt 3", false, true,
     [](ViSession vi) { return ZOR_SetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, 3e9); }},
    {"Query", ":CALCulate1:PARameter1:DEFine?", false, false,
     [](ViSession vi) {
         return ZOR_GetAttributeViString(vi, "Channel1:Trace1", ZOR_ATTR_MEASUREMENT_PARAMETER, sizeof text, text);
     }},
    {"FormattedQuery", ":SENSe1:FREQuency:STARt?", false, false,
     [](ViSession vi) { return ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &value); }},
    {"BlockRead", ":CALCulate1:TRACe1:DATA:SDATa?", true, false,
     [](ViSession vi) { return ZOR_MeasurementQueryData(vi, "Channel1:Trace1", 1, 2 * points, data, &count); }},
    {"OpcWait", "*OPC?", false, false, [](ViSession vi) { return ZOR_SystemWaitForOperationComplete(vi, timeout_ms); }},
};

ViStatus quietly(const std::function<ViStatus()>& call) {
    testing::internal::CaptureStdout();
    const ViStatus status = call();
    testing::internal::GetCapturedStdout();
    return status;
}

// The trace as the analyzer holds it now, in the session's data format.
std::vector<ViReal64> trace_held(late_instrument_t& instrument) {
    const zorsim::response_t response = instrument.analyzer->receive(":CALCulate1:TRACe1:DATA:SDATa?");
    const std::string& reply = response.reply;
    std::vector<ViReal64> values;
    if (!reply.empty() && reply[0] == '#') {  // little-endian 64-bit reals, as the session asked
        const std::size_t digits = static_cast<std::size_t>(reply[1] - '0');
        const std::size_t size = std::stoul(reply.substr(2, digits));
        values.resize(size / 8);
        std::memcpy(values.data(), reply.data() + 2 + digits, values.size() * 8);
        return values;
    }
    for (const char* p = reply.c_str(); *p != '\0' && *p != '\n';) {
        char* end = nullptr;
        values.push_back(std::strtod(p, &end));
        p = *end == ',' ? end + 1 : end;
    }
    return values;
}

ViSession open(late_instrument_t& instrument, bool binary) {
    // Repeatable data: the same settings give the same trace.
    instrument.analyzer->receive(":SYSTem:SIMulation:NOISe OFF;:SYSTem:SIMulation:SPEed INSTant");
    ViSession vi = 0;
    std::string resource = instrument.resource();
    EXPECT_EQ(quietly([&] {
                  return ZOR_InitWithOptions(&resource[0], VI_FALSE, VI_TRUE,
                                             binary ? "DriverSetup=DataFormat:REAL64" : "", &vi);
              }),
              0);
    EXPECT_EQ(ZOR_SetChannelStandardStimulusSweepNumberOfPoints(vi, "Channel1", points), 0);
    return vi;
}

double seconds_of(const std::function<void()>& call) {
    const auto t0 = clock_type::now();
    call();
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

std::string error_record(ViSession vi, ViStatus& code) {
    char message[512] = {};
    ZOR_GetError(vi, &code, sizeof message, message);
    return message;
}

class LateReply : public testing::TestWithParam<std::tuple<protocol_t, int>> {};

TEST_P(LateReply, FailsTheCallAndNeverAnswersALaterOne) {
    const protocol_t protocol = std::get<0>(GetParam());
    const pattern_t& pattern = patterns[std::get<1>(GetParam())];
    late_instrument_t instrument(protocol);
    const ViSession vi = open(instrument, pattern.binary);

    // Before the first byte, at the middle, before the last: a reply that
    // comes while the failed call still asks why, or later.
    const struct {
        point_t at;
        milliseconds pause;
    } holds[] = {{point_t::first, milliseconds(2 * timeout_ms + 400)},
                 {point_t::middle, milliseconds(timeout_ms + 100)},
                 {point_t::last, milliseconds(2 * timeout_ms + 400)}};
    double start = 1.0e9;
    for (const auto& h : holds) {
        if (pattern.write && h.at != point_t::first) break;  // a write's answer is one piece
        SCOPED_TRACE(std::string(name_of(protocol)) + " " + pattern.name + ", held at " +
                     (h.at == point_t::first ? "first" : h.at == point_t::middle ? "middle" : "last") + " byte");
        ASSERT_EQ(ZOR_SetAttributeViInt32(vi, "", ZOR_ATTR_SYSTEM_IO_TIMEOUT, timeout_ms), 0);
        // A write's answer must come after the client's own grace period.
        const milliseconds pause = pattern.write ? milliseconds(timeout_ms + 1300) : h.pause;
        instrument.hold({pattern.held, h.at, pause, pattern.write});
        EXPECT_EQ(quietly([&] { return pattern.call(vi); }), VI_ERROR_TMO);

        // Room for the late reply to come before the next calls read theirs.
        ASSERT_EQ(ZOR_SetAttributeViInt32(vi, "", ZOR_ATTR_SYSTEM_IO_TIMEOUT, 5000), 0);
        start += 1.0e6;
        EXPECT_EQ(quietly([&] { return ZOR_SetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, start); }), 0);
        value = 0;
        EXPECT_EQ(quietly([&] { return ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &value); }), 0);
        EXPECT_EQ(value, start);
        std::memset(text, 0, sizeof text);
        EXPECT_EQ(ZOR_GetAttributeViString(vi, "Channel1:Trace1", ZOR_ATTR_MEASUREMENT_PARAMETER, sizeof text, text), 0);
        EXPECT_STREQ(text, "S11");
        count = 0;
        EXPECT_EQ(ZOR_MeasurementQueryData(vi, "Channel1:Trace1", 1, 2 * points, data, &count), 0);
        EXPECT_EQ(std::vector<ViReal64>(data, data + count), trace_held(instrument));
        EXPECT_EQ(ZOR_SystemWaitForOperationComplete(vi, 5000), 0);
    }
    quietly([&] { return ZOR_close(vi); });
}

// Every pattern on every protocol; a write is answered over VXI-11 only.
std::vector<std::tuple<protocol_t, int>> cases() {
    std::vector<std::tuple<protocol_t, int>> all;
    for (protocol_t p : {protocol_t::socket, protocol_t::vxi11, protocol_t::hislip})
        for (int i = 0; i < static_cast<int>(std::size(patterns)); ++i)
            if (!patterns[i].write || p == protocol_t::vxi11) all.emplace_back(p, i);
    return all;
}

INSTANTIATE_TEST_SUITE_P(Patterns, LateReply, testing::ValuesIn(cases()),
                         [](const auto& info) {
                             return std::string(name_of(std::get<0>(info.param))) +
                                    patterns[std::get<1>(info.param)].name;
                         });

class RefusedQuery : public testing::TestWithParam<protocol_t> {};

// The analyzer refuses a query and sends nothing: the call says why, with
// the analyzer's own error, and the next call goes on at once.
TEST_P(RefusedQuery, IsReportedWithTheAnalyzersErrorAndCostsTheNextCallNothing) {
    late_instrument_t instrument(GetParam());
    const ViSession vi = open(instrument, false);
    ASSERT_EQ(ZOR_SetAttributeViInt32(vi, "", ZOR_ATTR_SYSTEM_IO_TIMEOUT, 1000), 0);
    const char query[] = ":CALCulate1:TRACe1:MARKer99:X?";
    ViUInt64 written = 0, read = 0;
    ASSERT_EQ(ZOR_viWrite(vi, sizeof query - 1, reinterpret_cast<ViConstBuf>(query), &written), 0);
    ViByte reply[64];
    EXPECT_EQ(quietly([&] { return ZOR_viRead(vi, sizeof reply, reply, &read); }), ZOR_ERROR_INSTRUMENT_STATUS);
    ViStatus code = 0;
    const std::string record = error_record(vi, code);
    EXPECT_EQ(code, ZOR_ERROR_INSTRUMENT_STATUS);
    EXPECT_NE(record.find(std::string("no reply to \"") + query + "\": the analyzer refused it: -114,\"Header suffix "
                                                                  "out of range"),
              std::string::npos)
        << record;
    EXPECT_LT(seconds_of([&] {
                  EXPECT_EQ(ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &value), 0);
              }),
              0.5);
    EXPECT_EQ(value, 300e3);
    quietly([&] { return ZOR_close(vi); });
}

INSTANTIATE_TEST_SUITE_P(Protocols, RefusedQuery,
                         testing::Values(protocol_t::socket, protocol_t::vxi11, protocol_t::hislip),
                         [](const auto& info) { return std::string(name_of(info.param)); });

}  // namespace
