// vna-sim: the simulated analyzer on a TCP port, like a LAN instrument's
// raw SCPI socket.
#include <simulator/analyzer/analyzer.h>
#include <simulator/servers/lan_servers.h>
#include <simulator/servers/tcp_server.h>
#ifdef ZORSIM_HAS_RENDERER
#include <simulator/display/render.h>
#endif
#ifdef ZORSIM_HAS_WEB_PAGE
#include <simulator/servers/web_page.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#else
#include <pthread.h>
#include <signal.h>
#endif

namespace {

const char* const usage_text =
    "usage: vna-sim [--port N] [--bind ADDR] [--name NAME] [--dut DEVICE] [--instant] [--no-noise]\n"
    "               [--http N] [--vxi11 [--portmapper-port N]] [--hislip N] [--verbose]\n"
    "\n"
    "Serves a simulated two-port vector network analyzer over TCP, one SCPI\n"
    "program message per line.\n"
    "\n"
    "  --port N     TCP port to listen on (default 5025; 0 picks a free port)\n"
    "  --bind ADDR  address to listen on (default 127.0.0.1)\n"
    "  --name NAME  name of the simulated analyzer (default vna)\n"
    "  --dut DEVICE the device on the ports: bandpass (default), lowpass, notch, thru,\n"
    "               line, open, short, match, attenuator, amplifier, with optional\n"
    "               parameters (line,delay=2e-9,loss=0.3), or a .s1p/.s2p file\n"
    "  --instant    sweeps take no time (default: as long as the sweep time says)\n"
    "  --no-noise   no receiver noise on the data\n"
    "  --http N     serve the instrument's web page (identity, how to connect,\n"
    "               the live display) on HTTP port N (0 picks a free port);\n"
    "               Linux builds only\n"
    "  --verbose    log each received message and its reply to stderr\n"
    "  --vxi11      serve VXI-11 too (TCPIP::host::inst0::INSTR), with a portmapper\n"
    "               on port 111 (when it may bind it; else a free port, printed)\n"
    "  --portmapper-port N  the portmapper's port instead (0 picks a free port)\n"
    "  --hislip N   serve HiSLIP too, on port N (4880 usually; 0 picks a free port)\n"
    "  --help       show this text\n"
    "\n"
    "Once listening it prints one line: vna-sim listening on ADDR:PORT\n"
    "(after a line per LAN protocol: vna-sim vxi11 portmapper on ADDR:PORT,\n"
    "vna-sim hislip on ADDR:PORT)\n"
    "and with --http a second: vna-sim web page on http://ADDR:PORT/\n"
    "It stops on SIGINT or SIGTERM (Ctrl-C, or closing the console on Windows).\n";

// Printable form of a message for the log: control bytes escaped, long ones cut.
std::string printable(const std::string& s) {
    const std::size_t limit = 200;
    std::string out;
    for (std::size_t i = 0; i < s.size() && i < limit; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\\') out += "\\\\";
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    if (s.size() > limit) out += "... (" + std::to_string(s.size()) + " bytes)";
    return out;
}

bool parse_port(const char* text, std::uint16_t& port) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0 || v > 65535) return false;
    port = static_cast<std::uint16_t>(v);
    return true;
}

#ifdef _WIN32
std::mutex stop_mutex;
std::condition_variable stop_cv;
bool stop_requested = false;
bool stopped = false;

BOOL WINAPI console_handler(DWORD type) {
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: {
        std::unique_lock<std::mutex> lock(stop_mutex);
        stop_requested = true;
        stop_cv.notify_all();
        // For close/logoff/shutdown the process ends when this returns:
        // give the main thread time to stop the server cleanly.
        stop_cv.wait_for(lock, std::chrono::seconds(5), [] { return stopped; });
        return TRUE;
    }
    default:
        return FALSE;
    }
}
#endif

}  // namespace

int main(int argc, char** argv) {
    std::uint16_t port = 5025;
    std::string bind_address = "127.0.0.1";
    std::string name = "vna";
    bool verbose = false;
    // LAN protocols (VXI-11, HiSLIP) beside the raw socket.
    bool vxi11 = false;
    int portmapper_port = -1;  // -1: 111, or a free port when 111 cannot be had
    int hislip_port = -1;      // -1: no HiSLIP
    std::vector<std::string> setup;  // simulator commands from the options
    int http_port = -1;  // none

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool has_value = false;
        auto eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            has_value = true;
        }
        auto need_value = [&](const char* option) -> bool {
            if (has_value) return true;
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vna-sim: %s needs a value\n%s", option, usage_text);
                return false;
            }
            value = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage_text, stdout);
            return 0;
        } else if (arg == "--port") {
            if (!need_value("--port")) return 2;
            if (!parse_port(value.c_str(), port)) {
                std::fprintf(stderr, "vna-sim: invalid port '%s'\n", value.c_str());
                return 2;
            }
        } else if (arg == "--bind") {
            if (!need_value("--bind")) return 2;
            bind_address = value;
        } else if (arg == "--name") {
            if (!need_value("--name")) return 2;
            name = value;
        } else if (arg == "--vxi11") {
            vxi11 = true;
        } else if (arg == "--portmapper-port" || arg == "--hislip") {
            if (!need_value(arg.c_str())) return 2;
            std::uint16_t value_port = 0;
            if (!parse_port(value.c_str(), value_port)) {
                std::fprintf(stderr, "vna-sim: invalid port '%s'\n", value.c_str());
                return 2;
            }
            (arg == "--hislip" ? hislip_port : portmapper_port) = value_port;
        } else if (arg == "--dut") {
            if (!need_value("--dut")) return 2;
            std::string quoted;
            for (char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            setup.push_back(":SYSTem:SIMulation:DUT \"" + quoted + "\"");
        } else if (arg == "--instant") {
            setup.push_back(":SYSTem:SIMulation:SPEed INSTant");
        } else if (arg == "--no-noise") {
            setup.push_back(":SYSTem:SIMulation:NOISe OFF");
        } else if (arg == "--http") {
            std::uint16_t p = 0;
            if (!need_value("--http")) return 2;
            if (!parse_port(value.c_str(), p)) {
                std::fprintf(stderr, "vna-sim: invalid HTTP port '%s'\n", value.c_str());
                return 2;
            }
            http_port = p;
        } else if (arg == "--verbose" || arg == "-v") {
            verbose = true;
        } else {
            std::fprintf(stderr, "vna-sim: unknown argument '%s'\n%s", argv[i], usage_text);
            return 2;
        }
    }

#ifndef _WIN32
    // Block the stop signals in every thread; the main thread waits for them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
#else
    SetConsoleCtrlHandler(console_handler, TRUE);
#endif

#ifdef ZORSIM_HAS_RENDERER
    // Screen dumps draw with the renderer linked in here, wherever vna-sim is installed.
    zorsim::display::install_renderer(&zorsim_render_image);
#endif
    const auto analyzer = zorsim::named_analyzer(name);
    for (const auto& command : setup) {
        analyzer->receive(command);
        const std::string error = analyzer->receive(":SYSTem:ERRor?").reply;
        if (error.rfind("0,", 0) != 0) {
            std::fprintf(stderr, "vna-sim: %s: %s", command.c_str(), error.c_str());
            return 2;
        }
    }
    analyzer->clear_wire_log();
    zorsim::tcp_server_t server(analyzer);
    const auto log_message = [](const char* tag) {
        return [tag](std::uint64_t connection, const std::string& message, const zorsim::response_t& r) {
            const std::string who = "[" + std::string(tag) + std::to_string(connection) + "]";
            std::string line = who + " > " + printable(message) + "\n";
            if (r.has_reply && r.read_status == 0) line += who + " < " + printable(r.reply) + "\n";
            std::fputs(line.c_str(), stderr);
            std::fflush(stderr);
        };
    };
    if (verbose) server.set_observer(log_message(""));
    const std::string shown = bind_address.find(':') != std::string::npos ? "[" + bind_address + "]" : bind_address;

    std::unique_ptr<zorsim::vxi11_server_t> vxi11_server;
    std::unique_ptr<zorsim::hislip_server_t> hislip_server;
    try {
        if (vxi11) {
            vxi11_server = std::make_unique<zorsim::vxi11_server_t>(zorsim::named_analyzer(name));
            if (verbose) vxi11_server->set_observer(log_message("vxi11-"));
            if (portmapper_port >= 0) {
                vxi11_server->start(static_cast<std::uint16_t>(portmapper_port), bind_address);
            } else {
                try {
                    vxi11_server->start(111, bind_address);
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "vna-sim: no portmapper on port 111 (%s); using a free port\n", e.what());
                    vxi11_server->start(0, bind_address);
                }
            }
            std::printf("vna-sim vxi11 portmapper on %s:%u\n", shown.c_str(),
                        static_cast<unsigned>(vxi11_server->portmapper_port()));
        }
        if (hislip_port >= 0) {
            hislip_server = std::make_unique<zorsim::hislip_server_t>(zorsim::named_analyzer(name));
            if (verbose) hislip_server->set_observer(log_message("hislip-"));
            const auto bound = hislip_server->start(static_cast<std::uint16_t>(hislip_port), bind_address);
            std::printf("vna-sim hislip on %s:%u\n", shown.c_str(), static_cast<unsigned>(bound));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vna-sim: %s\n", e.what());
        return 1;
    }
    std::uint16_t actual = 0;
    try {
        actual = server.start(port, bind_address);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vna-sim: %s\n", e.what());
        return 1;
    }
    std::printf("vna-sim listening on %s:%u\n", shown.c_str(), static_cast<unsigned>(actual));
    std::fflush(stdout);

#ifdef ZORSIM_HAS_WEB_PAGE
    std::unique_ptr<zorsim::web_page_t> web_page;
    if (http_port >= 0) {
        std::vector<std::string> resources{"TCPIP0::{host}::" + std::to_string(actual) + "::SOCKET"};
        web_page = std::make_unique<zorsim::web_page_t>(zorsim::named_analyzer(name), resources);
        try {
            const std::uint16_t http = web_page->start(static_cast<std::uint16_t>(http_port), bind_address);
            std::printf("vna-sim web page on http://%s:%u/\n", shown.c_str(), static_cast<unsigned>(http));
            std::fflush(stdout);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vna-sim: %s\n", e.what());
            server.stop();
            return 1;
        }
    }
#else
    if (http_port >= 0) {
        std::fprintf(stderr, "vna-sim: --http: this build has no web page (it needs cairo and cpp-httplib, Linux only)\n");
        server.stop();
        return 2;
    }
#endif

#ifndef _WIN32
    int signal_number = 0;
    while (sigwait(&stop_signals, &signal_number) != 0) {
    }
    if (verbose) std::fprintf(stderr, "vna-sim: signal %d, stopping\n", signal_number);
#else
    {
        std::unique_lock<std::mutex> lock(stop_mutex);
        stop_cv.wait(lock, [] { return stop_requested; });
    }
    if (verbose) std::fprintf(stderr, "vna-sim: stopping\n");
#endif
#ifdef ZORSIM_HAS_WEB_PAGE
    if (web_page) web_page->stop();
#endif
    server.stop();
    if (vxi11_server) vxi11_server->stop();
    if (hislip_server) hislip_server->stop();
#ifdef _WIN32
    {
        std::lock_guard<std::mutex> lock(stop_mutex);
        stopped = true;
    }
    stop_cv.notify_all();
#endif
    return 0;
}
