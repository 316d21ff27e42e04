// The codecs on input a peer may send: a reader never runs past the end of
// what came, and a header that is not one is refused.
#include <protocols/hislip.h>
#include <protocols/vxi11.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace zorwire;

TEST(Xdr, ShortOrOversizedInputClearsOkAndYieldsZeros) {
    const std::string one_word("\x00\x00\x00\x07", 4);
    struct case_t {
        const char* name;
        std::string data;
        std::size_t max;
    } cases[] = {
        {"three bytes for a word", std::string("\x00\x00\x01", 3), 16},
        {"length beyond the data", one_word + "abc", 16},
        {"length beyond the limit", one_word + std::string("abcdefg\0", 8), 6},
        {"padding missing", one_word + "abcdefg", 16},
    };
    for (const auto& c : cases) {
        xdr_reader_t r(c.data);
        EXPECT_TRUE(r.opaque(c.max).empty()) << c.name;
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_EQ(r.u32(), 0u) << c.name << ": stays failed";
    }
}

TEST(Xdr, OpaqueRoundTripsWithPadding) {
    xdr_writer_t w;
    w.opaque("abcde").i32(-2).boolean(true);
    EXPECT_EQ(w.bytes().size(), 4u + 8u + 4u + 4u);
    xdr_reader_t r(w.bytes());
    EXPECT_EQ(r.opaque(5), "abcde");
    EXPECT_EQ(r.i32(), -2);
    EXPECT_TRUE(r.boolean());
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.rest().empty());
}

TEST(OncRpc, CallsRepliesAndRecordMarks) {
    xdr_writer_t call = rpc::call_header(7, vxi11::core_program, vxi11::program_version, vxi11::create_link);
    call.i32(1);
    rpc::call_t parsed;
    ASSERT_TRUE(rpc::parse_call(call.bytes(), parsed));
    EXPECT_EQ(parsed.xid, 7u);
    EXPECT_EQ(parsed.procedure, vxi11::create_link);
    EXPECT_EQ(parsed.args.i32(), 1);
    // A reply is not a call, and a call cut short is not one either.
    xdr_writer_t reply = rpc::reply_header(7, rpc::success);
    EXPECT_FALSE(rpc::parse_call(reply.bytes(), parsed));
    EXPECT_FALSE(rpc::parse_call(std::string(call.bytes(), 0, 20), parsed));
    xdr_reader_t results;
    EXPECT_TRUE(rpc::parse_reply(reply.bytes(), 7, results));
    EXPECT_FALSE(rpc::parse_reply(reply.bytes(), 8, results)) << "another call's reply";

    const std::string marked = rpc::mark_record("abc");
    const rpc::fragment_t f = rpc::read_mark(marked.substr(0, 4));
    EXPECT_EQ(f.length, 3u);
    EXPECT_TRUE(f.last);
}

TEST(Hislip, HeadersRoundTripAndNeedTheirPrologue) {
    const std::string m = hislip::message(hislip::data_end, 1, 0xFFFFFF02u, "*IDN?\n");
    ASSERT_EQ(m.size(), hislip::header_size + 6);
    hislip::header_t h;
    ASSERT_TRUE(hislip::decode(reinterpret_cast<const unsigned char*>(m.data()), h));
    EXPECT_EQ(h.type, hislip::data_end);
    EXPECT_EQ(h.control, 1);
    EXPECT_EQ(h.parameter, 0xFFFFFF02u);
    EXPECT_EQ(h.length, 6u);
    std::string bad = m;
    bad[1] = 'X';
    EXPECT_FALSE(hislip::decode(reinterpret_cast<const unsigned char*>(bad.data()), h));
    EXPECT_EQ(hislip::size_payload(0x0102030405060708ull), std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
}

}  // namespace
