// Runs the vna-sim program beside the test executable, so tests can reach
// the simulated analyzer exactly as users do: a separate process on a
// loopback TCP port. Its --verbose log tells what it received.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zor_test {

class vna_sim_process_t {
public:
    vna_sim_process_t() = default;
    vna_sim_process_t(const vna_sim_process_t&) = delete;
    vna_sim_process_t& operator=(const vna_sim_process_t&) = delete;
    ~vna_sim_process_t() { stop(); }

    // Starts it on a free port; false (with a reason) when it does not come
    // up within ten seconds. With lan, VXI-11 (portmapper on a free port)
    // and HiSLIP (on a free port) are served too.
    bool start(std::string& error, bool lan = false) {
        std::vector<std::string> args = {"--port", "0", "--verbose"};
        if (lan) args.insert(args.end(), {"--vxi11", "--portmapper-port", "0", "--hislip", "0"});
        const std::string tag = std::to_string(process_id()) + "_" + std::to_string(instances()++);
        out_path_ = temp_folder() + "vna_sim_" + tag + ".out";
        err_path_ = temp_folder() + "vna_sim_" + tag + ".err";
        if (!launch(program_path(), args, out_path_, err_path_)) {
            error = "cannot start " + program_path();
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string text = file_text(out_path_);
            const auto at = text.find("vna-sim listening on ");
            const auto end = text.find('\n', at == std::string::npos ? 0 : at);
            if (at != std::string::npos && end != std::string::npos) {
                const auto colon = text.rfind(':', end);
                port_ = static_cast<std::uint16_t>(std::stoi(text.substr(colon + 1, end - colon - 1)));
                portmapper_port_ = port_after(text, "vna-sim vxi11 portmapper on ");
                hislip_port_ = port_after(text, "vna-sim hislip on ");
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        error = "vna-sim printed no port line: " + file_text(out_path_) + file_text(err_path_);
        stop();
        return false;
    }

    std::uint16_t port() const { return port_; }
    std::string resource() const { return "TCPIP::127.0.0.1::" + std::to_string(port_) + "::SOCKET"; }
    // The LAN resources (started with lan). The bundled VISA finds the
    // VXI-11 device through the portmapper named by ZOR_VISA_PORTMAPPER_PORT,
    // which use_portmapper() sets for this process.
    std::string vxi11_resource() const { return "TCPIP0::127.0.0.1::inst0::INSTR"; }
    std::string hislip_resource() const {
        return "TCPIP0::127.0.0.1::hislip0," + std::to_string(hislip_port_) + "::INSTR";
    }
    void use_portmapper() const { set_portmapper_port(portmapper_port_); }
    static void set_portmapper_port(std::uint16_t port) {
#if defined(_WIN32)
        _putenv_s("ZOR_VISA_PORTMAPPER_PORT", std::to_string(port).c_str());
#else
        ::setenv("ZOR_VISA_PORTMAPPER_PORT", std::to_string(port).c_str(), 1);
#endif
    }

    // Every message received since the last forget_received(), in order.
    std::vector<std::string> received() const {
        std::vector<std::string> all = all_received();
        if (forgotten_ >= all.size()) return {};
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(forgotten_), all.end());
    }
    void forget_received() { forgotten_ = all_received().size(); }

    void stop() {
#if defined(_WIN32)
        if (process_ != nullptr) {
            TerminateProcess(process_, 0);
            WaitForSingleObject(process_, 10000);
            CloseHandle(process_);
            process_ = nullptr;
        }
#else
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() > deadline) {
                    ::kill(pid_, SIGKILL);
                    ::waitpid(pid_, nullptr, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            pid_ = -1;
        }
#endif
        if (!out_path_.empty()) std::remove(out_path_.c_str());
        if (!err_path_.empty()) std::remove(err_path_.c_str());
        out_path_.clear();
        err_path_.clear();
    }

private:
    std::uint16_t port_ = 0;
    std::uint16_t portmapper_port_ = 0;
    std::uint16_t hislip_port_ = 0;

    static std::uint16_t port_after(const std::string& text, const char* intro) {
        const auto at = text.find(intro);
        if (at == std::string::npos) return 0;
        const auto end = text.find('\n', at);
        const auto colon = text.rfind(':', end);
        return static_cast<std::uint16_t>(std::stoi(text.substr(colon + 1, end - colon - 1)));
    }
    std::size_t forgotten_ = 0;
    std::string out_path_, err_path_;
#if defined(_WIN32)
    HANDLE process_ = nullptr;
#else
    pid_t pid_ = -1;
#endif

    static int& instances() {
        static int count = 0;
        return count;
    }

    static std::string file_text(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // The --verbose log holds "[connection] > message" for each message. A
    // line still being written (no line feed yet) is not taken.
    std::vector<std::string> all_received() const {
        std::vector<std::string> messages;
        const std::string text = file_text(err_path_);
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();  // Windows text-mode output
            const auto mark = line.find("] > ");
            if (!line.empty() && line[0] == '[' && mark != std::string::npos) messages.push_back(line.substr(mark + 4));
        }
        return messages;
    }

#if defined(_WIN32)
    static unsigned long process_id() { return GetCurrentProcessId(); }
    static std::string temp_folder() {
        char path[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, path);
        return path;
    }
    static std::string program_path() {
        char path[MAX_PATH + 1] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string text(path);
        return text.substr(0, text.find_last_of("\\/") + 1) + "vna-sim.exe";
    }
    bool launch(const std::string& program, const std::vector<std::string>& args, const std::string& out,
                const std::string& err) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE out_file = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE err_file = CreateFileA(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out_file;
        startup.hStdError = err_file;
        startup.hStdInput = nullptr;
        PROCESS_INFORMATION info{};
        std::string command = "\"" + program + "\"";
        for (const std::string& a : args) command += " " + a;
        const BOOL ok = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                       nullptr, nullptr, &startup, &info);
        CloseHandle(out_file);
        CloseHandle(err_file);
        if (!ok) return false;
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        return true;
    }
#else
    static unsigned long process_id() { return static_cast<unsigned long>(::getpid()); }
    static std::string temp_folder() {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp && *tmp ? tmp : "/tmp") + "/";
    }
    static std::string program_path() {
        char path[4096] = {};
        const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
        std::string text(path, n > 0 ? static_cast<std::size_t>(n) : 0);
        return text.substr(0, text.rfind('/') + 1) + "vna-sim";
    }
    bool launch(const std::string& program, const std::vector<std::string>& args, const std::string& out,
                const std::string& err) {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid < 0) return false;
        if (pid == 0) {
            std::FILE* o = std::freopen(out.c_str(), "w", stdout);
            std::FILE* e = std::freopen(err.c_str(), "w", stderr);
            if (o == nullptr || e == nullptr) ::_exit(126);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        pid_ = pid;
        return true;
    }
#endif
};

}  // namespace zor_test
