// The LAN servers seen from the wire, for what the bundled VISA does not
// exercise: HiSLIP service requests and refused channels, and the
// portmapper's answers for each version it speaks, the VXI-11 abort channel
// ending a read or a lock wait.
#include <gtest/gtest.h>

#include <simulator/analyzer/analyzer.h>
#include <simulator/servers/lan_servers.h>
#include <protocols/vxi11.h>
#include <protocols/hislip.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "tcp_test_client.h"

namespace {

namespace hs = zorwire::hislip;
using std::chrono::milliseconds;

hs::header_t read_message(test_client_t& c, std::string* payload = nullptr) {
    const std::string bytes = c.read_bytes(hs::header_size);
    hs::header_t h;
    h.type = 0xFF;
    if (bytes.size() != hs::header_size || !hs::decode(reinterpret_cast<const unsigned char*>(bytes.data()), h)) return h;
    const std::string body = c.read_bytes(static_cast<std::size_t>(h.length));
    if (payload != nullptr) *payload = body;
    return h;
}

class hislip_wire : public testing::Test {
protected:
    std::shared_ptr<zorsim::analyzer_t> analyzer = std::make_shared<zorsim::analyzer_t>();
    zorsim::hislip_server_t server{analyzer};
    std::uint16_t port = server.start(0);
    std::uint32_t message_id = hs::first_message_id;

    // A session: both channels initialized.
    void open(std::unique_ptr<test_client_t>& sync, std::unique_ptr<test_client_t>& async) {
        sync = std::make_unique<test_client_t>(port);
        sync->send(hs::message(hs::initialize, 0, 0x01005A56, "hislip0"));
        const hs::header_t init = read_message(*sync);
        ASSERT_EQ(init.type, hs::initialize_response);
        EXPECT_EQ(init.control, 0) << "synchronized mode";
        async = std::make_unique<test_client_t>(port);
        async->send(hs::message(hs::async_initialize, 0, init.parameter & 0xFFFF));
        ASSERT_EQ(read_message(*async).type, hs::async_initialize_response);
    }
    void send(test_client_t& sync, const std::string& text) {
        sync.send(hs::message(hs::data_end, 0, message_id, text));
        message_id += 2;
    }
};

// A service request goes out when the summary bit rises, not while it stays up.
TEST_F(hislip_wire, service_request_when_the_summary_bit_rises) {
    std::unique_ptr<test_client_t> sync, async;
    open(sync, async);
    send(*sync, "*CLS;*ESE 1;*SRE 32");
    send(*sync, "*OPC");
    const hs::header_t srq = read_message(*async);
    EXPECT_EQ(srq.type, hs::async_service_request);
    EXPECT_EQ(srq.control & 0x60, 0x60);
    send(*sync, "*OPC");
    EXPECT_TRUE(async->silent_for(milliseconds(200)));
    send(*sync, "*CLS");
    send(*sync, "*OPC");
    EXPECT_EQ(read_message(*async).type, hs::async_service_request);
}

TEST_F(hislip_wire, channels_opened_out_of_order_are_refused) {
    const struct {
        const char* what;
        std::string first;
        std::uint8_t fatal_code;
    } cases[] = {
        {"data before initialize", hs::message(hs::data_end, 0, hs::first_message_id, "*IDN?"),
         hs::fatal_invalid_initialization},
        {"unknown session", hs::message(hs::async_initialize, 0, 0x7777), hs::fatal_invalid_initialization},
        {"no prologue", std::string(hs::header_size, 'x'), hs::fatal_poorly_formed_header},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test_client_t client(port);
        client.send(c.first);
        const hs::header_t h = read_message(client);
        EXPECT_EQ(h.type, hs::fatal_error);
        EXPECT_EQ(h.control, c.fatal_code);
        EXPECT_TRUE(client.closed_within(milliseconds(2000)));
    }
}

// ---------------------------------------------------------------- portmapper

namespace wire = zorwire;

// One RPC call on c: the reply's accept status (0xFFFFFFFF when it is no
// accepted reply to this call) and its results.
std::uint32_t rpc_call(test_client_t& c, std::uint32_t program, std::uint32_t version, std::uint32_t procedure,
                       wire::xdr_writer_t args, std::string& results) {
    wire::xdr_writer_t msg = wire::rpc::call_header(42, program, version, procedure);
    msg.bytes() += args.bytes();
    c.send(wire::rpc::mark_record(std::move(msg.bytes())));
    const std::string mark = c.read_bytes(4, milliseconds(10000));
    const std::uint32_t length = wire::xdr_reader_t(mark).u32() & 0x7FFFFFFF;
    const std::string record = c.read_bytes(length);
    wire::xdr_reader_t r(record);
    const bool ours = r.u32() == 42u && r.u32() == wire::rpc::reply && r.u32() == wire::rpc::msg_accepted;
    r.u32();
    r.skip_opaque();
    const std::uint32_t status = r.u32();
    results = std::string(r.rest());
    return r.ok() && ours ? status : 0xFFFFFFFF;
}

std::uint32_t portmapper_call(std::uint16_t port, std::uint32_t version, std::uint32_t procedure,
                              wire::xdr_writer_t args, std::string& results) {
    test_client_t c(port);
    return rpc_call(c, wire::portmap::program, version, procedure, std::move(args), results);
}

// A link on a fresh connection: its id and the abort channel's port.
std::pair<std::int32_t, std::uint16_t> create_link(test_client_t& core) {
    std::string results;
    wire::xdr_writer_t args;
    args.i32(1).boolean(false).u32(0).opaque("inst0");
    EXPECT_EQ(rpc_call(core, wire::vxi11::core_program, 1, wire::vxi11::create_link, args, results), 0u);
    wire::xdr_reader_t link(results);
    EXPECT_EQ(link.i32(), wire::vxi11::no_error);
    const std::int32_t id = link.i32();
    return {id, static_cast<std::uint16_t>(link.u32())};
}

// A call that waits on the device for a long time ends at once, "aborted",
// when the client aborts it on the abort channel: a read with nothing to
// read, a write waiting for another link's lock.
TEST(vxi11_wire, abort_channel_ends_a_waiting_call) {
    zorsim::vxi11_server_t server(std::make_shared<zorsim::analyzer_t>());
    server.start(0);
    test_client_t holder(server.core_port());
    const std::int32_t holder_link = create_link(holder).first;
    for (const std::uint32_t procedure : {wire::vxi11::device_read, wire::vxi11::device_write}) {
        SCOPED_TRACE(procedure == wire::vxi11::device_read ? "read" : "write");
        test_client_t core(server.core_port());
        const auto [id, abort_port] = create_link(core);
        std::string results;
        wire::xdr_writer_t args;
        if (procedure == wire::vxi11::device_read) {
            args.i32(id).u32(100).u32(10000).u32(10000).u32(0).u32(0);
        } else {
            wire::xdr_writer_t lock;
            lock.i32(holder_link).u32(0).u32(0);
            ASSERT_EQ(rpc_call(holder, wire::vxi11::core_program, 1, wire::vxi11::device_lock, lock, results), 0u);
            ASSERT_EQ(wire::xdr_reader_t(results).i32(), wire::vxi11::no_error);
            args.i32(id).u32(10000).u32(10000).u32(wire::vxi11::flag_waitlock | wire::vxi11::flag_end).opaque("*CLS\n");
        }
        auto aborter = std::async(std::launch::async, [&, id = id, abort_port = abort_port] {
            std::this_thread::sleep_for(milliseconds(200));
            test_client_t abort(abort_port);
            std::string abort_results;
            wire::xdr_writer_t abort_args;
            abort_args.i32(id);
            return rpc_call(abort, wire::vxi11::abort_program, 1, wire::vxi11::device_abort, abort_args, abort_results) ==
                       0u &&
                   wire::xdr_reader_t(abort_results).i32() == wire::vxi11::no_error;
        });
        const auto begin = std::chrono::steady_clock::now();
        ASSERT_EQ(rpc_call(core, wire::vxi11::core_program, 1, procedure, args, results), 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, milliseconds(3000));
        EXPECT_EQ(wire::xdr_reader_t(results).i32(), wire::vxi11::aborted);
        EXPECT_TRUE(aborter.get());
    }
}

TEST(portmapper_wire, answers_for_the_core_program_in_each_version) {
    zorsim::vxi11_server_t server(std::make_shared<zorsim::analyzer_t>());
    server.start(0);
    const std::uint16_t core = server.core_port();
    const auto getport = [](std::uint32_t program) {
        wire::xdr_writer_t w;
        w.u32(program).u32(1).u32(wire::portmap::ipproto_tcp).u32(0);
        return w;
    };
    const auto getaddr = [](std::uint32_t program) {
        wire::xdr_writer_t w;
        w.u32(program).u32(1).opaque("tcp").opaque("").opaque("");
        return w;
    };
    const std::string uaddr = "127.0.0.1." + std::to_string(core >> 8) + "." + std::to_string(core & 0xFF);
    const struct {
        const char* what;
        std::uint32_t version, procedure;
        wire::xdr_writer_t args;
        std::uint32_t status;
        std::string results;
    } cases[] = {
        {"GETPORT core", 2, 3, getport(wire::vxi11::core_program), wire::rpc::success,
         wire::xdr_writer_t().u32(core).bytes()},
        {"GETPORT other", 2, 3, getport(100003), wire::rpc::success, wire::xdr_writer_t().u32(0).bytes()},
        {"GETADDR v4 core", 4, 3, getaddr(wire::vxi11::core_program), wire::rpc::success,
         wire::xdr_writer_t().opaque(uaddr).bytes()},
        {"GETADDR v3 other", 3, 3, getaddr(100003), wire::rpc::success, wire::xdr_writer_t().opaque("").bytes()},
        {"version 5", 5, 3, getport(wire::vxi11::core_program), wire::rpc::prog_mismatch,
         wire::xdr_writer_t().u32(2).u32(4).bytes()},
        {"DUMP", 2, 4, wire::xdr_writer_t(), wire::rpc::proc_unavail, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string results;
        EXPECT_EQ(portmapper_call(server.portmapper_port(), c.version, c.procedure, c.args, results), c.status);
        EXPECT_EQ(results, c.results);
    }
}

}  // namespace
