// The simulated analyzer's web page, as a LAN instrument serves one: its
// identity, the resource strings to connect with, and the live display,
// which follows the instrument within a fraction of a second (server-sent
// events tell the page a new image is ready). Read only: the page shows
// the instrument, it never controls it.
//
// Linux only (it draws with the cairo renderer and serves with
// cpp-httplib); the Windows build leaves it out.
#pragma once

#include <simulator/analyzer/analyzer.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zorsim {

class web_page_t {
public:
    // `resources` are the VISA resource strings a client connects with;
    // "{host}" in them becomes the host name the browser used.
    web_page_t(std::shared_ptr<analyzer_t> analyzer, std::vector<std::string> resources);
    ~web_page_t();  // stops
    web_page_t(const web_page_t&) = delete;
    web_page_t& operator=(const web_page_t&) = delete;

    // Listens on `address`:`port` (0: a free port) and returns the port.
    // Throws std::runtime_error when it cannot listen.
    std::uint16_t start(std::uint16_t port, const std::string& address);
    void stop();

    // How often the page looks for a changed display, and so the most
    // images it draws per second.
    static constexpr int poll_milliseconds = 200;
    // How often, while someone watches, it compares the whole display even
    // though no message arrived (a sweep that ends changes the data).
    static constexpr int compare_milliseconds = 600;
    // Viewers following the display at once; more are refused (503).
    static constexpr int max_viewers = 24;

private:
    struct impl_t;
    std::unique_ptr<impl_t> impl_;
};

}  // namespace zorsim
