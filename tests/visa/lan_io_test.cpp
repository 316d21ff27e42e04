// Instrument sessions over the LAN protocols against the servers vna-sim
// runs, in this process: time-outs, a server gone mid-read, device clear in
// the middle of a long reply, locks held by another client, the status
// byte and triggers, each on the protocols that have them.
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "visa_test_support.h"
#include <simulator/servers/lan_servers.h>
#include "../support/vna_sim_process.h"

namespace {

using std::chrono::milliseconds;
using clock_type = std::chrono::steady_clock;

enum class protocol_t { socket, vxi11, hislip };

const char* name_of(protocol_t p) { return p == protocol_t::socket ? "Socket" : p == protocol_t::vxi11 ? "Vxi11" : "Hislip"; }

ViStatus write_text(ViSession vi, const std::string& text) {
    ViUInt32 count = 0;
    return viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()), &count);
}

ViStatus read_text(ViSession vi, std::string& out, ViUInt32 size = 4096) {
    std::string buf(size, '\0');
    ViUInt32 count = 0;
    const ViStatus st = viRead(vi, reinterpret_cast<ViBuf>(&buf[0]), size, &count);
    out.assign(buf.data(), count);
    return st;
}

// One analyzer served over all three protocols.
class lan_io : public rm_fixture {
protected:
    std::shared_ptr<zorsim::analyzer_t> analyzer = std::make_shared<zorsim::analyzer_t>();
    zorsim::tcp_server_t raw{analyzer};
    zorsim::vxi11_server_t vxi11{analyzer};
    zorsim::hislip_server_t hislip{analyzer};
    std::uint16_t raw_port = 0, hislip_port = 0;

    void SetUp() override {
        rm_fixture::SetUp();
        raw_port = raw.start(0);
        vxi11.start(0);
        hislip_port = hislip.start(0);
        zor_test::vna_sim_process_t::set_portmapper_port(vxi11.portmapper_port());
    }
    void stop(protocol_t p) {
        if (p == protocol_t::socket) raw.stop();
        if (p == protocol_t::vxi11) vxi11.stop();
        if (p == protocol_t::hislip) hislip.stop();
    }
    // The host part differs between "clients" so that the library's own
    // lock between its sessions does not stand in for the device's.
    std::string resource(protocol_t p, const char* host = "127.0.0.1") const {
        const std::string prefix = std::string("TCPIP0::") + host + "::";
        if (p == protocol_t::socket) return prefix + std::to_string(raw_port) + "::SOCKET";
        if (p == protocol_t::vxi11) return prefix + "inst0::INSTR";
        return prefix + "hislip0," + std::to_string(hislip_port) + "::INSTR";
    }
    ViSession open(protocol_t p, const char* host = "127.0.0.1", ViUInt32 timeout_ms = 2000) {
        ViSession vi = 0;
        EXPECT_EQ(viOpen(rm, resource(p, host).c_str(), VI_NO_LOCK, 0, &vi), VI_SUCCESS) << resource(p, host);
        EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, timeout_ms), VI_SUCCESS);
        return vi;
    }
    std::string query(ViSession vi, const std::string& message) {
        std::string reply;
        EXPECT_EQ(write_text(vi, message + "\n"), VI_SUCCESS);
        EXPECT_EQ(read_text(vi, reply), VI_SUCCESS) << message;
        return reply;
    }
};

const protocol_t all_protocols[] = {protocol_t::socket, protocol_t::vxi11, protocol_t::hislip};
const protocol_t instrument_protocols[] = {protocol_t::vxi11, protocol_t::hislip};

TEST_F(lan_io, read_times_out_on_time_and_the_session_goes_on) {
    for (protocol_t p : all_protocols) {
        SCOPED_TRACE(name_of(p));
        const ViSession vi = open(p, "127.0.0.1", 300);
        std::string reply;
        const auto begin = clock_type::now();
        EXPECT_EQ(read_text(vi, reply), VI_ERROR_TMO);
        const auto elapsed = clock_type::now() - begin;
        EXPECT_GE(elapsed, milliseconds(280));
        EXPECT_LT(elapsed, milliseconds(1500));
        EXPECT_EQ(query(vi, "*IDN?"), std::string(zorsim::default_identity) + "\n");
        // A shorter time-out after a longer one is kept to, not the wait before.
        EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 40), VI_SUCCESS);
        const auto short_begin = clock_type::now();
        EXPECT_EQ(read_text(vi, reply), VI_ERROR_TMO);
        EXPECT_LT(clock_type::now() - short_begin, milliseconds(280));
        viClose(vi);
    }
}

TEST_F(lan_io, server_gone_mid_read_ends_the_read_at_once) {
    for (protocol_t p : all_protocols) {
        SCOPED_TRACE(name_of(p));
        const ViSession vi = open(p, "127.0.0.1", 10000);
        auto stopper = std::async(std::launch::async, [&] {
            std::this_thread::sleep_for(milliseconds(200));
            stop(p);
        });
        std::string reply;
        const auto begin = clock_type::now();
        EXPECT_EQ(read_text(vi, reply), VI_ERROR_CONN_LOST);
        EXPECT_LT(clock_type::now() - begin, milliseconds(3000));
        stopper.get();
        viClose(vi);
    }
}

TEST_F(lan_io, device_clear_in_a_long_reply_leaves_nothing_behind) {
    zorsim::script_t long_reply;
    long_reply.message = "LONG?";
    long_reply.reply = std::string(300000, 'x');
    long_reply.times = -1;
    analyzer->add_script(long_reply);
    for (protocol_t p : instrument_protocols) {
        SCOPED_TRACE(name_of(p));
        const ViSession vi = open(p);
        std::string piece;
        ASSERT_EQ(write_text(vi, "LONG?\n"), VI_SUCCESS);
        EXPECT_EQ(read_text(vi, piece, 1000), VI_SUCCESS_MAX_CNT);
        EXPECT_EQ(piece, std::string(1000, 'x'));
        EXPECT_EQ(viClear(vi), VI_SUCCESS);
        EXPECT_EQ(query(vi, "*IDN?"), std::string(zorsim::default_identity) + "\n");
        viClose(vi);
    }
}

// A new query gets its own reply, never the rest of one an earlier exchange
// left half read; over HiSLIP, whose replies carry the query's message ID,
// not even one never read at all. (A raw socket reads on: nothing but the
// line feed tells it where the rest ends; see socket_io_test.)
TEST_F(lan_io, a_reply_left_unread_never_answers_the_next_query) {
    zorsim::script_t long_reply;
    long_reply.message = "LONG?";
    long_reply.reply = std::string(300000, 'x');
    long_reply.times = -1;
    analyzer->add_script(long_reply);
    const struct {
        protocol_t protocol;
        ViUInt32 first_read;  // 0: not read at all
    } cases[] = {{protocol_t::vxi11, 1000}, {protocol_t::hislip, 1000}, {protocol_t::hislip, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(name_of(c.protocol)) + (c.first_read == 0 ? ", not read" : ", half read"));
        const ViSession vi = open(c.protocol);
        ASSERT_EQ(write_text(vi, "LONG?\n"), VI_SUCCESS);
        std::string piece;
        if (c.first_read != 0) {
            EXPECT_EQ(read_text(vi, piece, c.first_read), VI_SUCCESS_MAX_CNT);
        }
        EXPECT_EQ(query(vi, "*IDN?"), std::string(zorsim::default_identity) + "\n");
        EXPECT_EQ(query(vi, "*IDN?"), std::string(zorsim::default_identity) + "\n");
        viClose(vi);
    }
}

// Client A holds the device's lock; client B, over the same or the other
// protocol, waits for it in vain, then gets it once A lets go.
TEST_F(lan_io, lock_held_by_another_client) {
    const struct {
        protocol_t holder, other;
    } cases[] = {{protocol_t::vxi11, protocol_t::vxi11},
                 {protocol_t::hislip, protocol_t::hislip},
                 {protocol_t::vxi11, protocol_t::hislip},
                 {protocol_t::hislip, protocol_t::vxi11}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(name_of(c.holder)) + " holds, " + name_of(c.other) + " asks");
        const ViSession a = open(c.holder);
        const ViSession b = open(c.other, "localhost", 300);
        ASSERT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 1000, nullptr, nullptr), VI_SUCCESS);
        const auto begin = clock_type::now();
        EXPECT_EQ(viLock(b, VI_EXCLUSIVE_LOCK, 200, nullptr, nullptr), VI_ERROR_TMO);
        EXPECT_GE(clock_type::now() - begin, milliseconds(190));
        // VXI-11 refuses the other client's I/O; HiSLIP holds it back.
        std::string reply;
        if (c.other == protocol_t::vxi11) {
            EXPECT_EQ(write_text(b, "*IDN?\n"), VI_ERROR_RSRC_LOCKED);
        } else {
            EXPECT_EQ(write_text(b, "*IDN?\n"), VI_SUCCESS);
            EXPECT_EQ(read_text(b, reply), VI_ERROR_TMO);
        }
        EXPECT_EQ(query(a, "*OPC?"), "1\n");
        EXPECT_EQ(viUnlock(a), VI_SUCCESS);
        EXPECT_EQ(viUnlock(a), VI_ERROR_SESN_NLOCKED);
        EXPECT_EQ(viLock(b, VI_EXCLUSIVE_LOCK, 1000, nullptr, nullptr), VI_SUCCESS);
        EXPECT_EQ(query(b, "*OPC?"), "1\n");  // a reply held back earlier is not taken for this one
        EXPECT_EQ(viUnlock(b), VI_SUCCESS);
        viClose(a);
        viClose(b);
    }
}

// Between sessions of this library on one resource the lock is its own,
// on every protocol: nested, then released to the other session.
TEST_F(lan_io, lock_between_sessions_of_this_library) {
    for (protocol_t p : all_protocols) {
        SCOPED_TRACE(name_of(p));
        const ViSession a = open(p);
        const ViSession b = open(p);
        ASSERT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_SUCCESS);
        EXPECT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_SUCCESS_NESTED_EXCLUSIVE);
        EXPECT_EQ(write_text(b, "*IDN?\n"), VI_ERROR_RSRC_LOCKED);
        EXPECT_EQ(viLock(b, VI_SHARED_LOCK, 100, nullptr, nullptr), VI_ERROR_INV_PARAMETER);
        char key[256] = {};
        EXPECT_EQ(viLock(b, VI_SHARED_LOCK, 100, nullptr, key), VI_ERROR_TMO);
        EXPECT_EQ(viUnlock(a), VI_SUCCESS);
        EXPECT_EQ(viUnlock(a), VI_SUCCESS);
        EXPECT_EQ(viLock(b, VI_SHARED_LOCK, 100, "bench", key), VI_SUCCESS);
        EXPECT_STREQ(key, "bench");
        EXPECT_EQ(viLock(a, VI_SHARED_LOCK, 100, "bench", key), VI_SUCCESS);
        EXPECT_EQ(query(a, "*OPC?"), "1\n");
        EXPECT_EQ(viLock(a, 7, 100, nullptr, key), VI_ERROR_INV_LOCK_TYPE);
        viClose(a);
        viClose(b);
    }
}

TEST_F(lan_io, status_byte_and_trigger_where_the_protocol_has_them) {
    for (protocol_t p : all_protocols) {
        SCOPED_TRACE(name_of(p));
        const ViSession vi = open(p);
        // A command error sets ESR bit 5; enabled, it shows as ESB and the summary bit.
        ASSERT_EQ(write_text(vi, "*CLS;*ESE 32;*SRE 32\n"), VI_SUCCESS);
        ASSERT_EQ(write_text(vi, ":NO:SUCH:COMMand\n"), VI_SUCCESS);
        EXPECT_EQ(query(vi, "*OPC?"), "1\n");
        ViUInt16 stb = 0;
        const bool instrument = p != protocol_t::socket;
        EXPECT_EQ(viReadSTB(vi, &stb), instrument ? VI_SUCCESS : VI_ERROR_NSUP_OPER);
        if (instrument) {
            EXPECT_EQ(stb & 0x64, 0x64);  // ESB, MSS and the error queue
        }
        EXPECT_EQ(viAssertTrigger(vi, VI_TRIG_PROT_DEFAULT), instrument ? VI_SUCCESS : VI_ERROR_NSUP_OPER);
        EXPECT_EQ(query(vi, "*IDN?"), std::string(zorsim::default_identity) + "\n");
        viClose(vi);
    }
}

// A raw socket has no lock, but its messages wait while a LAN client holds
// the device's lock: the raw client's read times out, then its reply comes
// once the lock is released.
TEST_F(lan_io, raw_socket_waits_for_a_lan_clients_lock) {
    for (protocol_t holder : instrument_protocols) {
        SCOPED_TRACE(name_of(holder));
        const ViSession a = open(holder);
        const ViSession raw = open(protocol_t::socket, "localhost", 300);
        ASSERT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 1000, nullptr, nullptr), VI_SUCCESS);
        std::string reply;
        EXPECT_EQ(write_text(raw, "*IDN?\n"), VI_SUCCESS);
        EXPECT_EQ(read_text(raw, reply), VI_ERROR_TMO);
        EXPECT_EQ(query(a, "*OPC?"), "1\n");
        EXPECT_EQ(viUnlock(a), VI_SUCCESS);
        EXPECT_EQ(viSetAttribute(raw, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
        EXPECT_EQ(read_text(raw, reply), VI_SUCCESS);
        EXPECT_EQ(reply, std::string(zorsim::default_identity) + "\n");
        viClose(a);
        viClose(raw);
    }
}

// Reads over VXI-11 end at the term char when it is enabled (the device
// ends them); a reply left part read is never taken for the next one's.
TEST_F(lan_io, vxi11_read_ends_at_the_term_char) {
    zorsim::script_t list;
    list.message = "LIST?";
    list.reply = "1;22;333";
    list.times = -1;
    analyzer->add_script(list);
    const ViSession vi = open(protocol_t::vxi11);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, ';'), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    ASSERT_EQ(write_text(vi, "LIST?\n"), VI_SUCCESS);
    const struct {
        const char* text;
        ViStatus status;
    } pieces[] = {{"1;", VI_SUCCESS_TERM_CHAR}, {"22;", VI_SUCCESS_TERM_CHAR}, {"333\n", VI_SUCCESS}};
    for (const auto& p : pieces) {
        std::string piece;
        EXPECT_EQ(read_text(vi, piece), p.status) << p.text;
        EXPECT_EQ(piece, p.text);
    }
    ASSERT_EQ(write_text(vi, "LIST?\n"), VI_SUCCESS);
    std::string piece;
    EXPECT_EQ(read_text(vi, piece), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(query(vi, "*IDN?"), std::string(zorsim::default_identity) + "\n");
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_FALSE), VI_SUCCESS);
    EXPECT_EQ(query(vi, "LIST?"), "1;22;333\n");
    viClose(vi);
}

// viClear from another thread ends a read that waits on the device (the
// device is told on the abort channel), then clears.
TEST_F(lan_io, vxi11_clear_aborts_a_waiting_read) {
    const ViSession vi = open(protocol_t::vxi11, "127.0.0.1", 10000);
    auto reader = std::async(std::launch::async, [&] {
        std::string reply;
        const auto begin = clock_type::now();
        const ViStatus st = read_text(vi, reply);
        return std::make_pair(st, clock_type::now() - begin);
    });
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(viClear(vi), VI_SUCCESS);
    const auto result = reader.get();
    EXPECT_EQ(result.first, VI_ERROR_ABORT);
    EXPECT_LT(result.second, milliseconds(3000));
    EXPECT_EQ(query(vi, "*IDN?"), std::string(zorsim::default_identity) + "\n");
    viClose(vi);
}

// *OPC with ESE bit 0 and SRE bit 5 raises the summary bit: a service
// request that viWaitOnEvent sees on each instrument protocol.
TEST_F(lan_io, service_request_events) {
    for (protocol_t p : instrument_protocols) {
        SCOPED_TRACE(name_of(p));
        const ViSession vi = open(p);
        ViEventType type = 0;
        ViEvent event = 0;
        EXPECT_EQ(viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, &event), VI_ERROR_NENABLED);
        ASSERT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL), VI_SUCCESS);
        EXPECT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL), VI_SUCCESS_EVENT_EN);
        EXPECT_EQ(viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 100, &type, &event), VI_ERROR_TMO);
        EXPECT_EQ(event, static_cast<ViEvent>(VI_NULL));

        ASSERT_EQ(write_text(vi, "*CLS;*ESE 1;*SRE 32\n"), VI_SUCCESS);
        ASSERT_EQ(write_text(vi, "*OPC\n"), VI_SUCCESS);
        EXPECT_EQ(viWaitOnEvent(vi, VI_ALL_ENABLED_EVENTS, 2000, &type, &event), VI_SUCCESS);
        EXPECT_EQ(type, VI_EVENT_SERVICE_REQ);
        ViEventType attribute = 0;
        EXPECT_EQ(viGetAttribute(event, VI_ATTR_EVENT_TYPE, &attribute), VI_SUCCESS);
        EXPECT_EQ(attribute, VI_EVENT_SERVICE_REQ);
        EXPECT_EQ(viClose(event), VI_SUCCESS);
        EXPECT_EQ(viClose(event), VI_ERROR_INV_OBJECT);
        ViUInt16 stb = 0;
        EXPECT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);
        EXPECT_EQ(stb & 0x60, 0x60);  // ESB and the summary bit

        // Each rise is an event of its own; discarding empties the queue
        // (the request travels apart from the reply, so it is polled for).
        const auto raise = [&] {
            ASSERT_EQ(write_text(vi, "*CLS\n"), VI_SUCCESS);
            ASSERT_EQ(write_text(vi, "*OPC\n"), VI_SUCCESS);
        };
        raise();
        raise();
        for (int i = 0; i < 2; ++i) {
            const ViStatus st = viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 2000, nullptr, nullptr);
            EXPECT_TRUE(st == VI_SUCCESS || st == VI_SUCCESS_QUEUE_NEMPTY) << st;
        }
        EXPECT_EQ(viDiscardEvents(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS_QUEUE_EMPTY);
        raise();
        ViStatus discarded = VI_SUCCESS_QUEUE_EMPTY;
        for (const auto until = clock_type::now() + milliseconds(2000);
             discarded == VI_SUCCESS_QUEUE_EMPTY && clock_type::now() < until;) {
            std::this_thread::sleep_for(milliseconds(5));
            discarded = viDiscardEvents(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE);
        }
        EXPECT_EQ(discarded, VI_SUCCESS);
        EXPECT_EQ(viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 100, nullptr, nullptr), VI_ERROR_TMO);

        EXPECT_EQ(viDisableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS);
        EXPECT_EQ(viDisableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS_EVENT_DIS);
        ASSERT_EQ(write_text(vi, "*CLS\n"), VI_SUCCESS);
        ASSERT_EQ(write_text(vi, "*OPC\n"), VI_SUCCESS);
        EXPECT_EQ(query(vi, "*OPC?"), "1\n");
        EXPECT_EQ(viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 200, &type, nullptr), VI_ERROR_NENABLED);
        viClose(vi);
    }
}

TEST_F(lan_io, event_calls_refused_with_their_status) {
    const ViSession raw = open(protocol_t::socket);
    const ViSession vi = open(protocol_t::vxi11);
    const struct {
        const char* what;
        ViStatus got, expected;
    } cases[] = {
        {"raw socket has no service request", viEnableEvent(raw, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL),
         VI_ERROR_INV_EVENT},
        {"unknown event", viEnableEvent(vi, 0x3FFF2009, VI_QUEUE, VI_NULL), VI_ERROR_INV_EVENT},
        {"handler never installed", viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR, VI_NULL), VI_ERROR_HNDLR_NINSTALLED},
        {"unknown mechanism", viEnableEvent(vi, VI_EVENT_SERVICE_REQ, 8, VI_NULL), VI_ERROR_INV_MECH},
        {"a context", viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, 1), VI_ERROR_INV_CONTEXT},
        {"all events cannot be enabled", viEnableEvent(vi, VI_ALL_ENABLED_EVENTS, VI_QUEUE, VI_NULL), VI_ERROR_INV_EVENT},
        {"not a session", viWaitOnEvent(rm, VI_EVENT_SERVICE_REQ, 0, nullptr, nullptr), VI_ERROR_INV_OBJECT},
        {"disable what was never enabled", viDisableEvent(vi, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_SUCCESS_EVENT_DIS},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
    viClose(raw);
    viClose(vi);
}

}  // namespace
