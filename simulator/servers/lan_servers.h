// Serves an analyzer with the LAN instrument protocols, beside the raw
// socket of tcp_server_t: VXI-11 (with a portmapper of its own) and HiSLIP.
// Several clients each; the analyzer's lock holds across both protocols;
// a device clear empties the client's output; a service request goes to
// the clients when the status byte's summary bit rises.
#pragma once

#include "tcp_server.h"

#include <simulator/analyzer/analyzer.h>

#include <cstdint>
#include <memory>
#include <string>

namespace zorsim {

class vxi11_server_t {
public:
    explicit vxi11_server_t(std::shared_ptr<analyzer_t> analyzer);
    ~vxi11_server_t();  // stop()
    vxi11_server_t(const vxi11_server_t&) = delete;
    vxi11_server_t& operator=(const vxi11_server_t&) = delete;

    // The core and abort channels listen on free ports, the portmapper on
    // portmapper_port (0: a free one). Throws tcp_server_error.
    void start(std::uint16_t portmapper_port, const std::string& bind_address = "127.0.0.1");
    void stop();
    std::uint16_t portmapper_port() const;
    std::uint16_t core_port() const;
    void set_observer(tcp_server_t::observer_t observer);  // before start()

private:
    struct impl_t;
    std::shared_ptr<impl_t> impl_;
};

class hislip_server_t {
public:
    // The largest message a client may send us, payload and header.
    static constexpr std::uint64_t max_message_bytes = 1u << 20;

    explicit hislip_server_t(std::shared_ptr<analyzer_t> analyzer);
    ~hislip_server_t();  // stop()
    hislip_server_t(const hislip_server_t&) = delete;
    hislip_server_t& operator=(const hislip_server_t&) = delete;

    // Port 0 picks a free one; returns the port. Throws tcp_server_error.
    std::uint16_t start(std::uint16_t port, const std::string& bind_address = "127.0.0.1");
    void stop();
    std::uint16_t port() const;
    void set_observer(tcp_server_t::observer_t observer);  // before start()

private:
    struct impl_t;
    std::shared_ptr<impl_t> impl_;
};

}  // namespace zorsim
