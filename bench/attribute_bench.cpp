// Measures attribute round trips through the exported functions, in process
// and over a loopback socket, and the reading of a long reply.
//   zor_bench [iterations]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "ZOR.h"
#include "zor_sim_control.h"
#include <simulator/analyzer/analyzer.h>
#include <simulator/servers/tcp_server.h>

namespace {

using clock_type = std::chrono::steady_clock;

double micros_per(clock_type::duration elapsed, int count) {
    return std::chrono::duration<double, std::micro>(elapsed).count() / count;
}

bool open(const std::string& resource, ViSession& vi) {
    const ViStatus status = ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_TRUE, VI_FALSE, "", &vi);
    if (status < 0) std::fprintf(stderr, "open %s failed: 0x%08X\n", resource.c_str(), static_cast<unsigned>(status));
    return status >= 0;
}

void round_trips(const char* label, const std::string& resource, int iterations) {
    ViSession vi = 0;
    if (!open(resource, vi)) return;
    const auto begin = clock_type::now();
    for (int i = 0; i < iterations; ++i) {
        ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 1.0e6 + i);
        ViReal64 value = 0;
        ZOR_GetStandardStimulusSweepFrequencyStart(vi, "Channel1", &value);
    }
    std::printf("%-34s %9.1f us per set+get (%d pairs)\n", label, micros_per(clock_type::now() - begin, iterations),
                iterations);
    ZOR_close(vi);
}

void long_reply(const char* label, const std::string& analyzer, const std::string& resource, std::size_t bytes,
                int iterations) {
    const std::string title(bytes, 'x');
    zsim_script(analyzer.c_str(), ":DISPlay:WINDow1:TITLe:DATA?", ("\"" + title + "\"").c_str(), 0, 0, -1);
    ViSession vi = 0;
    if (!open(resource, vi)) return;
    std::unique_ptr<ViChar[]> buffer(new ViChar[bytes + 8]);
    const auto begin = clock_type::now();
    for (int i = 0; i < iterations; ++i)
        ZOR_GetDisplayWindowTitleString(vi, "Window1", static_cast<ViInt32>(bytes + 8), buffer.get());
    const auto elapsed = clock_type::now() - begin;
    std::printf("%-34s %9.1f us per %zu-byte reply (%.0f MB/s)\n", label, micros_per(elapsed, iterations), bytes,
                bytes * iterations / std::chrono::duration<double>(elapsed).count() / 1e6);
    zsim_clear_scripts(analyzer.c_str());
    ZOR_close(vi);
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 2000;
    zsim_factory_reset("bench");
    round_trips("in process (SIM)", "SIM::bench::INSTR", iterations);

    auto analyzer = std::make_shared<zorsim::analyzer_t>();
    zorsim::tcp_server_t server(analyzer);
    const std::string socket = "TCPIP::127.0.0.1::" + std::to_string(server.start(0)) + "::SOCKET";
    round_trips("loopback socket (vna-sim server)", socket, iterations);
    server.stop();

    long_reply("long reply, in process", "bench", "SIM::bench::INSTR", 1 << 20, 20);
    return 0;
}
