// Launches the real vna-sim program (POSIX only).
#include <gtest/gtest.h>

#ifndef _WIN32

#include "tcp_test_client.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct process_t {
    pid_t pid = -1;
    int out = -1;  // its stdout
    int err = -1;  // its stderr

    ~process_t() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (out >= 0) ::close(out);
        if (err >= 0) ::close(err);
    }

    static void start(process_t& p, const std::vector<std::string>& args) {
        int out_pipe[2], err_pipe[2];
        ASSERT_EQ(::pipe(out_pipe), 0);
        ASSERT_EQ(::pipe(err_pipe), 0);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::dup2(out_pipe[1], 1);
            ::dup2(err_pipe[1], 2);
            ::close(out_pipe[0]);
            ::close(out_pipe[1]);
            ::close(err_pipe[0]);
            ::close(err_pipe[1]);
            std::vector<char*> argv;
            std::string path = ZORSIM_VNA_SIM_PATH;
            argv.push_back(path.data());
            std::vector<std::string> copy = args;
            for (auto& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(path.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out_pipe[1]);
        ::close(err_pipe[1]);
        p.pid = pid;
        p.out = out_pipe[0];
        p.err = err_pipe[0];
    }

    // One line from fd, or empty on time-out / end.
    static std::string read_line(int fd, std::chrono::milliseconds timeout) {
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return {};
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) return {};
            char c;
            if (::read(fd, &c, 1) != 1) return {};
            if (c == '\n') return line;
            line += c;
        }
    }

    // Waits for the exit; returns the wait status, or -1 on time-out.
    int wait_exit(std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                pid = -1;
                return status;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
};

std::uint16_t port_of(const std::string& line) {
    auto colon = line.rfind(':');
    if (colon == std::string::npos) return 0;
    return static_cast<std::uint16_t>(std::stoi(line.substr(colon + 1)));
}

}  // namespace

TEST(VnaSimProgram, ServesOnAPickedPortAndStopsOnSigterm) {
    process_t p;
    process_t::start(p, {"--port", "0", "--name", "ProgramTest", "--verbose"});
    std::string line = process_t::read_line(p.out, 10s);
    ASSERT_EQ(line.rfind("vna-sim listening on 127.0.0.1:", 0), 0u) << line;
    std::uint16_t port = port_of(line);
    ASSERT_NE(port, 0);

    {
        test_client_t c(port);
        c.send("*IDN?\n");
        EXPECT_EQ(c.read_line(), "Quorvex Technologies,ZOR4220,SIM00001,1.0.0\n");
        c.send("SENS:SWE:POIN 11\nSENS:SWE:POIN?\n");
        EXPECT_EQ(c.read_line(), "11\n");
        // A second client sees the same analyzer.
        test_client_t d(port);
        d.send("SENS:SWE:POIN?\n");
        EXPECT_EQ(d.read_line(), "11\n");
        EXPECT_EQ(process_t::read_line(p.err, 5s).find("*IDN?") != std::string::npos, true);

        // Stop with a client still connected.
        ASSERT_EQ(::kill(p.pid, SIGTERM), 0);
        int status = p.wait_exit(10s);
        ASSERT_NE(status, -1) << "vna-sim did not stop";
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_TRUE(c.closed_within(2s));
    }
}

TEST(VnaSimProgram, SigintStopsItToo) {
    process_t p;
    process_t::start(p, {"--port=0"});
    std::string line = process_t::read_line(p.out, 10s);
    ASSERT_NE(port_of(line), 0) << line;
    ASSERT_EQ(::kill(p.pid, SIGINT), 0);
    int status = p.wait_exit(10s);
    ASSERT_NE(status, -1);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(VnaSimProgram, HelpAndBadArguments) {
    {
        process_t p;
        process_t::start(p, {"--help"});
        EXPECT_EQ(process_t::read_line(p.out, 10s).rfind("usage: vna-sim", 0), 0u);
        int status = p.wait_exit(10s);
        ASSERT_TRUE(status != -1 && WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    {
        process_t p;
        process_t::start(p, {"--port", "70000"});
        int status = p.wait_exit(10s);
        ASSERT_TRUE(status != -1 && WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
    }
}

#else

TEST(VnaSimProgram, SkippedOnWindows) { GTEST_SKIP() << "launching vna-sim is tested on POSIX only"; }

#endif
