// The driver against the plainest way to do the same work, pair by pair, in
// one process: each pair's two sides run in alternating rounds, and the table
// gives the best time of each side, the ratio of those bests, and the median
// over rounds of each round's own ratio. The two sides of a round run one
// after the other, so that median is the steadier figure on a machine whose
// speed drifts between rounds (a shared or virtual one).
//   zor_ratio_bench <vna-sim port> [rounds [name filter | scaling | pyvisa]]
// (scripts/bench starts vna-sim and runs this.) Linux only: the raw client
// uses POSIX sockets.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ZOR.h"
#include "adapter/rep_cap.h"
#include "support/qvutil.h"
#include "visa.h"

#define ZOR_BENCH_DECLARE(name, ret, params) extern "C" ret ZOR_VISA_CALL name params;
ZOR_VISA_FUNCTIONS(ZOR_BENCH_DECLARE)
#undef ZOR_BENCH_DECLARE

namespace {

int sim_port = 0;
// The loopback pairs' analyzer and the core it is pinned to (scripts/bench
// sets ZOR_BENCH_PINNED="port:cpu"); the pairs then run on the other cores.
// Left to the scheduler, each connection's server thread lands near or far
// from the client from one round to the next, and a round's two sides
// differed by up to 1.7 times for that alone.
int pair_port = 0;
int pair_cpu = -1;

// A minimal C client: one blocking socket, a reused buffer, strtod.
class raw_client_t {
public:
    explicit raw_client_t(int port = sim_port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) std::abort();
        int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        buffer_.resize(1 << 16);
    }
    ~raw_client_t() { ::close(fd_); }

    void send_text(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            const auto n = ::send(fd_, text.data() + done, text.size() - done, 0);
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
    }
    // One reply up to its line feed; its length.
    std::size_t receive_line() {
        std::size_t size = 0;
        for (;;) {
            if (buffer_.size() - size < 65536) buffer_.resize(buffer_.size() * 2);
            const auto n = ::recv(fd_, &buffer_[size], buffer_.size() - size - 1, 0);
            if (n <= 0) std::abort();
            size += static_cast<std::size_t>(n);
            if (buffer_[size - 1] == '\n') break;
        }
        buffer_[size] = '\0';
        return size;
    }
    // One IEEE 488.2 definite-length block of little-endian 64-bit reals,
    // its values copied out: what a program reading binary trace data does.
    std::size_t query_block(const std::string& text, std::vector<double>& values) {
        send_text(text);
        std::size_t size = 0, header = 0, total = 0;
        for (;;) {
            if (buffer_.size() - size < 65536) buffer_.resize(buffer_.size() * 2);
            const auto n = ::recv(fd_, &buffer_[size], buffer_.size() - size, 0);
            if (n <= 0) std::abort();
            size += static_cast<std::size_t>(n);
            if (total == 0 && size >= 2) {
                const std::size_t digits = static_cast<std::size_t>(buffer_[1] - '0');
                if (buffer_[0] != '#' || digits < 1 || digits > 9) std::abort();
                if (size < 2 + digits) continue;
                header = 2 + digits;
                total = header + std::strtoul(std::string(&buffer_[2], digits).c_str(), nullptr, 10) + 1;
            }
            if (total != 0 && size >= total) break;
        }
        values.resize((total - header - 1) / 8);
        std::memcpy(values.data(), &buffer_[header], values.size() * 8);
        return values.size();
    }
    double query_number(const std::string& text) {
        send_text(text);
        receive_line();
        return std::strtod(buffer_.data(), nullptr);
    }
    std::size_t query_values(const std::string& text, std::vector<double>& values) {
        send_text(text);
        receive_line();
        values.clear();
        char* p = buffer_.data();
        for (;;) {
            char* end = nullptr;
            values.push_back(std::strtod(p, &end));
            if (*end != ',') break;
            p = end + 1;
        }
        return values.size();
    }

private:
    int fd_ = -1;
    std::vector<char> buffer_;
};

ViSession open_driver(const std::string& resource, const char* options = "") {
    ViSession vi = 0;
    if (ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_FALSE, VI_FALSE, options, &vi) < 0) std::abort();
    return vi;
}

std::string socket_resource(int port = sim_port) { return "TCPIP::127.0.0.1::" + std::to_string(port) + "::SOCKET"; }

// ---- loopback: a get, and a set+get pair. Each side is a batch of calls;
// the sides take turns batch by batch (see interleave below), so a
// pair shares the machine's state within milliseconds, not seconds.
using driver_batch_t = void (*)(ViSession vi, int calls);
using raw_batch_t = void (*)(raw_client_t& client, int calls);

void get_driver(ViSession vi, int calls) {
    ViReal64 value = 0;
    for (int i = 0; i < calls; ++i) ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &value);
}
void get_raw(raw_client_t& client, int calls) {
    for (int i = 0; i < calls; ++i) benchmark::DoNotOptimize(client.query_number(":SENSe1:FREQuency:STARt?\n"));
}
void set_get_driver(ViSession vi, int calls) {
    ViReal64 value = 0;
    for (int i = 0; i < calls; ++i) {
        ZOR_SetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, 1.0e6);
        ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &value);
    }
}
void set_get_raw(raw_client_t& client, int calls) {
    char command[128];
    for (int i = 0; i < calls; ++i) {
        std::snprintf(command, sizeof command, ":SENSe1:FREQuency:STARt %.12e\n", 1.0e6);
        client.send_text(command);
        benchmark::DoNotOptimize(client.query_number(":SENSe1:FREQuency:STARt?\n"));
    }
}

// ---- in process: a typed get against the same text through VISA directly
void in_process_get_driver(benchmark::State& state) {
    const ViSession vi = open_driver("SIM::ratio::INSTR");
    ViReal64 value = 0;
    for (auto _ : state) ZOR_GetStandardStimulusSweepFrequencyStart(vi, "Channel1", &value);
    ZOR_close(vi);
}
void in_process_get_visa(benchmark::State& state) {
    ViSession rm = 0, vi = 0;
    viOpenDefaultRM(&rm);
    viOpen(rm, "SIM::ratio::INSTR", VI_NO_LOCK, 0, &vi);
    const char command[] = ":SENSe1:FREQuency:STARt?\n";
    char reply[256];
    for (auto _ : state) {
        ViUInt32 count = 0;
        viWrite(vi, reinterpret_cast<ViConstBuf>(command), sizeof command - 1, &count);
        viRead(vi, reinterpret_cast<ViBuf>(reply), sizeof reply - 1, &count);
        reply[count] = '\0';
        benchmark::DoNotOptimize(std::strtod(reply, nullptr));
    }
    viClose(rm);
}

// ---- trace data over loopback
void set_points(long points) {
    raw_client_t client;
    client.send_text(":SENSe1:SWEep:POINts " + std::to_string(points) + "\n");
    client.query_number("*OPC?\n");
}
// The fetch through the export; with DriverSetup=DataFormat:REAL64 in the
// options it moves binary blocks (closing puts the analyzer back to text).
void fetch_trace(benchmark::State& state, const char* options) {
    set_points(state.range(0));
    const ViSession vi = open_driver(socket_resource(), options);
    std::vector<ViReal64> data(static_cast<std::size_t>(state.range(0)) * 2);
    ViInt32 count = 0;
    for (auto _ : state)
        ZOR_MeasurementQueryData(vi, "Channel1:Trace1", 1, static_cast<ViInt32>(data.size()), data.data(), &count);
    if (count != static_cast<ViInt32>(data.size())) state.SkipWithError("wrong value count");
    ZOR_close(vi);
}
void trace_driver(benchmark::State& state) { fetch_trace(state, ""); }
void trace_driver_real64(benchmark::State& state) { fetch_trace(state, "DriverSetup=DataFormat:REAL64"); }
void trace_raw(benchmark::State& state) {
    set_points(state.range(0));
    raw_client_t client;
    std::vector<double> values;
    for (auto _ : state) client.query_values(":CALCulate1:TRACe1:DATA:SDATa?\n", values);
    if (values.size() != static_cast<std::size_t>(state.range(0)) * 2) state.SkipWithError("wrong value count");
}

// The same block the REAL64 fetch reads, by the C client: the analyzer
// switched to binary for it and back to text after.
void trace_raw_real64(benchmark::State& state) {
    set_points(state.range(0));
    raw_client_t client;
    client.send_text(":FORMat:DATA REAL,64;:FORMat:BORDer SWAPped\n");
    std::vector<double> values;
    for (auto _ : state) client.query_block(":CALCulate1:TRACe1:DATA:SDATa?\n", values);
    if (values.size() != static_cast<std::size_t>(state.range(0)) * 2) state.SkipWithError("wrong value count");
    client.send_text(":FORMat:DATA ASCii;:FORMat:BORDer NORMal\n");
    client.query_number("*OPC?\n");
}

// ---- lists of numbers
std::vector<qvdriver::util::complex_pair_t> sample_points() {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<qvdriver::util::complex_pair_t> points(10001);
    for (auto& p : points) p = {value(random), value(random)};
    return points;
}
void format_fast(benchmark::State& state) {
    const auto points = sample_points();
    for (auto _ : state) benchmark::DoNotOptimize(qvdriver::util::format_complex_list(points));
}
void format_printf(benchmark::State& state) {
    const auto points = sample_points();
    for (auto _ : state) {
        std::string text;
        text.reserve(points.size() * 42);
        char buffer[80];
        for (const auto& [re, im] : points) {
            const int n = std::snprintf(buffer, sizeof buffer, "%.12e,%.12e,", re, im);
            text.append(buffer, static_cast<std::size_t>(n));
        }
        text.pop_back();
        benchmark::DoNotOptimize(text);
    }
}
void parse_fast(benchmark::State& state) {
    const std::string text = qvdriver::util::format_complex_list(sample_points());
    std::vector<qvdriver::util::complex_pair_t> pairs;
    for (auto _ : state) qvdriver::util::parse_complex_list(text, pairs);
}
void parse_strtod(benchmark::State& state) {
    const std::string text = qvdriver::util::format_complex_list(sample_points());
    std::vector<qvdriver::util::complex_pair_t> pairs;
    for (auto _ : state) {
        pairs.clear();
        const char* p = text.c_str();
        for (;;) {
            char* end = nullptr;
            const double re = std::strtod(p, &end);
            const double im = std::strtod(end + 1, &end);
            pairs.emplace_back(re, im);
            if (*end != ',') break;
            p = end + 1;
        }
    }
}

// ---- selector records, against copying a ready record (the floor)
void selector_parse(benchmark::State& state) {
    for (auto _ : state) {
        qvdriver::rep_cap_identifier_t id;
        id.parse("Channel1:Trace1");
        benchmark::DoNotOptimize(id.records().size());
    }
}

struct pair_t {
    const char* name;
    const char* driver;
    const char* baseline;
    const char* goal;
};

const pair_t pairs[] = {
    {"loopback get (time per call)", "loopback_get_driver", "loopback_get_raw", "<= 1.05 (rate >= 0.95x)"},
    {"loopback set+get", "loopback_set_get_driver", "loopback_set_get_raw", "<= 1.11 (rate >= 0.9x)"},
    {"in process typed get vs viWrite+viRead", "in_process_get_driver", "in_process_get_visa", "<= 1.2"},
    {"trace 1,601 points vs C client+strtod", "trace_driver/1601", "trace_raw/1601", ""},
    {"trace 10,001 points vs C client+strtod", "trace_driver/10001", "trace_raw/10001", ""},
    {"trace 100,001 points vs C client+strtod", "trace_driver/100001", "trace_raw/100001", "<= 1.15"},
    {"trace 100,001 REAL64 vs C client+strtod", "trace_driver_real64/100001", "trace_raw/100001", ""},
    {"trace 100,001 REAL64 vs C client's block", "trace_driver_real64/100001", "trace_raw_real64/100001", "<= 1.1"},
    {"loopback get vs PyVISA-py", "loopback_get_driver", "pyvisa_get", ""},
    {"loopback set+get vs PyVISA-py", "loopback_set_get_driver", "pyvisa_set_get", ""},
    {"trace 100,001 vs PyVISA-py ASCII", "trace_driver/100001", "pyvisa_trace_ascii", "<= 0.33"},
    {"trace 100,001 REAL64 vs PyVISA-py ASCII", "trace_driver_real64/100001", "pyvisa_trace_ascii", "<= 0.10"},
    {"trace 100,001 REAL64 vs PyVISA-py REAL64", "trace_driver_real64/100001", "pyvisa_trace_real64", ""},
    {"format_complex_list vs snprintf", "format_fast", "format_printf", "<= 0.25"},
    {"parse_complex_list vs strtod", "parse_fast", "parse_strtod", "<= 0.25"},
};

// Keeps the best time per benchmark over all rounds, and each round's time.
class best_of_t : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> best_ns;
    std::map<std::string, std::vector<double>> round_ns;
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                std::fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
                continue;
            }
            const double ns = run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMicrosecond ? 1e3 : run.time_unit == benchmark::kMillisecond ? 1e6 : 1.0);
            add(run.benchmark_name(), ns);
        }
    }
    void add(const std::string& name, double ns) {
        auto [it, added] = best_ns.emplace(name, ns);
        if (!added && ns < it->second) it->second = ns;
        round_ns[name].push_back(ns);
    }
    // Median of driver/baseline over the rounds both ran in; 0 without any.
    double median_ratio(const std::string& driver, const std::string& baseline) const {
        const auto d = round_ns.find(driver);
        const auto b = round_ns.find(baseline);
        if (d == round_ns.end() || b == round_ns.end()) return 0;
        std::vector<double> ratios;
        for (std::size_t i = 0; i < d->second.size() && i < b->second.size(); ++i)
            ratios.push_back(d->second[i] / b->second[i]);
        if (ratios.empty()) return 0;
        std::sort(ratios.begin(), ratios.end());
        const std::size_t mid = ratios.size() / 2;
        return ratios.size() % 2 != 0 ? ratios[mid] : (ratios[mid - 1] + ratios[mid]) / 2;
    }
};

// PyVISA's pure-Python backend doing the same work against the same vna-sim
// (bench/pyvisa_peer.py under Debian's Python): its best times, in ns, kept
// with the others. Nothing when it is not installed.
void run_pyvisa_peer(best_of_t& best) {
    const std::string command = std::string("/usr/bin/python3 ") + ZOR_BENCH_SOURCE_DIR + "/pyvisa_peer.py " +
                                std::to_string(sim_port) + " 100001 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string name;
        double seconds = 0;
        if (!(fields >> name >> seconds) || seconds <= 0) continue;
        const double ns = seconds * 1e9;
        best.add("pyvisa_" + name, ns);
    }
    ::pclose(pipe);
}

// One round of a loopback pair: batches of `calls` calls, the two sides
// taking turns (which goes first alternates), each side's time per call
// recorded under its name. A side whose name lacks `only` does not run.
void interleave(best_of_t& best, const std::string& name, driver_batch_t driver, raw_batch_t raw,
                const std::string& only) {
    const std::string driver_name = name + "_driver", raw_name = name + "_raw";
    const bool run_driver = driver_name.find(only) != std::string::npos;
    const bool run_raw = raw_name.find(only) != std::string::npos;
    if (!run_driver && !run_raw) return;
    constexpr int batches = 40, calls = 100;
    cpu_set_t before;
    const bool pinned = pair_cpu >= 0 && sched_getaffinity(0, sizeof before, &before) == 0;
    if (pinned) {
        cpu_set_t others = before;
        CPU_CLR(pair_cpu, &others);
        if (CPU_COUNT(&others) > 0) sched_setaffinity(0, sizeof others, &others);
    }
    const ViSession vi = open_driver(socket_resource(pair_port));
    raw_client_t client(pair_port);
    driver(vi, calls);  // warm both paths
    raw(client, calls);
    std::chrono::steady_clock::duration driver_time{}, raw_time{};
    auto timed = [](auto&& batch, std::chrono::steady_clock::duration& total) {
        const auto t0 = std::chrono::steady_clock::now();
        batch();
        total += std::chrono::steady_clock::now() - t0;
    };
    auto driver_turn = [&] { timed([&] { driver(vi, calls); }, driver_time); };
    for (int b = 0; b < batches; ++b) {
        if (b % 2 == 0 && run_driver) driver_turn();
        if (run_raw) timed([&] { raw(client, calls); }, raw_time);
        if (b % 2 != 0 && run_driver) driver_turn();
    }
    ZOR_close(vi);
    if (pinned) sched_setaffinity(0, sizeof before, &before);
    const double per = 1.0 / (batches * calls);
    const double driver_ns = std::chrono::duration<double, std::nano>(driver_time).count() * per;
    const double raw_ns = std::chrono::duration<double, std::nano>(raw_time).count() * per;
    if (run_driver) best.add(driver_name, driver_ns);
    if (run_raw) best.add(raw_name, raw_ns);
    if (std::getenv("ZOR_BENCH_ROUNDS") != nullptr)  // each round's figures, to see a run's spread
        std::fprintf(stderr, "round: %s %.2f us, %s %.2f us\n", driver_name.c_str(), driver_ns / 1e3, raw_name.c_str(),
                     raw_ns / 1e3);
}

// Attribute gets per second with `sessions` driver sessions, one thread
// each, spread over `ports` (one vna-sim, or one each).
double gets_per_second(std::size_t sessions, const std::vector<int>& ports) {
    constexpr int calls = 1000;
    std::vector<ViSession> vis;
    for (std::size_t i = 0; i < sessions; ++i) vis.push_back(open_driver(socket_resource(ports[i % ports.size()])));
    std::atomic<std::size_t> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (ViSession vi : vis) {
        threads.emplace_back([vi, &ready, &go] {
            ViReal64 value = 0;
            ++ready;
            while (!go) std::this_thread::yield();
            for (int k = 0; k < calls; ++k) ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &value);
        });
    }
    while (ready < sessions) std::this_thread::yield();
    const auto start = std::chrono::steady_clock::now();
    go = true;
    for (auto& t : threads) t.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (ViSession vi : vis) ZOR_close(vi);
    return static_cast<double>(sessions * calls) / seconds;
}

// Separate analyzers' ports, from ZOR_BENCH_PORTS ("p1,p2,..."), which
// scripts/bench sets.
std::vector<int> separate_ports() {
    std::vector<int> ports;
    if (const char* text = std::getenv("ZOR_BENCH_PORTS")) {
        std::istringstream list(text);
        for (std::string piece; std::getline(list, piece, ',');)
            if (const int port = std::atoi(piece.c_str()); port > 0) ports.push_back(port);
    }
    return ports;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <vna-sim port> [rounds]\n", argv[0]);
        return 2;
    }
    sim_port = std::atoi(argv[1]);
    pair_port = sim_port;
    if (const char* pinned = std::getenv("ZOR_BENCH_PINNED")) {
        int port = 0, cpu = -1;
        if (std::sscanf(pinned, "%d:%d", &port, &cpu) == 2 && port > 0 && cpu >= 0 && cpu < CPU_SETSIZE) {
            pair_port = port;
            pair_cpu = cpu;
        }
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    benchmark::RegisterBenchmark("in_process_get_driver", in_process_get_driver);
    benchmark::RegisterBenchmark("in_process_get_visa", in_process_get_visa);
    for (long points : {1601L, 10001L, 100001L}) {
        benchmark::RegisterBenchmark("trace_driver", trace_driver)->Arg(points)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("trace_raw", trace_raw)->Arg(points)->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("trace_driver_real64", trace_driver_real64)->Arg(100001)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("trace_raw_real64", trace_raw_real64)->Arg(100001)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("format_fast", format_fast);
    benchmark::RegisterBenchmark("format_printf", format_printf);
    benchmark::RegisterBenchmark("parse_fast", parse_fast);
    benchmark::RegisterBenchmark("parse_strtod", parse_strtod);
    benchmark::RegisterBenchmark("selector_parse", selector_parse);
    // A third argument picks benchmarks by name (a profiler's run), or
    // "scaling" or "pyvisa" those runs alone.
    std::string filter = argc > 3 ? std::string("--benchmark_filter=") + argv[3] : "";
    int bench_argc = argc > 3 ? 2 : 1;
    char* bench_argv[] = {argv[0], filter.data(), nullptr};
    benchmark::Initialize(&bench_argc, bench_argv);
    best_of_t best;
    // Rounds: every benchmark once per round, so both sides of a pair see the
    // same machine load over the run.
    // The peer and the scaling runs take their turn in every round too,
    // unless a filter picked benchmarks by name.
    const std::vector<int> ports = separate_ports();
    const std::size_t session_counts[] = {1, 2, 4, 8};
    std::map<std::size_t, double> one_sim, separate_sims;
    for (int round = 0; round < rounds; ++round) {
        const std::string only = argc > 3 ? argv[3] : "";
        if (only != "scaling" && only != "pyvisa") {
            interleave(best, "loopback_get", get_driver, get_raw, only);
            interleave(best, "loopback_set_get", set_get_driver, set_get_raw, only);
            if (only.rfind("loopback", 0) != 0) benchmark::RunSpecifiedBenchmarks(&best);
        }
        if (only.empty() || only == "pyvisa") run_pyvisa_peer(best);
        if (!only.empty() && only != "scaling") continue;
        for (std::size_t n : session_counts) {
            one_sim[n] = std::max(one_sim[n], gets_per_second(n, {sim_port}));
            if (ports.size() >= n) separate_sims[n] = std::max(separate_sims[n], gets_per_second(n, ports));
        }
    }

    std::printf("%-44s %14s %14s %8s %8s  %s\n", "pair (driver vs baseline)", "driver", "baseline", "of bests",
                "median", "goal");
    auto shown = [](double ns) {
        char text[32];
        if (ns >= 1e6) std::snprintf(text, sizeof text, "%.2f ms", ns / 1e6);
        else if (ns >= 1e3) std::snprintf(text, sizeof text, "%.2f us", ns / 1e3);
        else std::snprintf(text, sizeof text, "%.0f ns", ns);
        return std::string(text);
    };
    for (const pair_t& p : pairs) {
        const auto d = best.best_ns.find(p.driver);
        const auto b = best.best_ns.find(p.baseline);
        if (d == best.best_ns.end() || b == best.best_ns.end()) continue;
        std::printf("%-44s %14s %14s %8.2f %8.2f  %s\n", p.name, shown(d->second).c_str(), shown(b->second).c_str(),
                    d->second / b->second, best.median_ratio(p.driver, p.baseline), p.goal);
    }
    if (auto s = best.best_ns.find("selector_parse"); s != best.best_ns.end())
        std::printf("%-44s %14s %14s %8s %8s  %s\n", "selector Channel1:Trace1 to records", shown(s->second).c_str(), "",
                    "", "", "< 1 us");
    if (!one_sim.empty()) {
        std::printf("\n%-10s %22s %8s %22s %8s\n", "sessions", "one vna-sim (gets/s)", "x 1", "own vna-sim (gets/s)",
                    "x 1");
        for (std::size_t n : session_counts) {
            std::printf("%-10zu %22.0f %8.2f", n, one_sim[n], one_sim[n] / one_sim[1]);
            if (separate_sims.count(n) != 0)
                std::printf(" %22.0f %8.2f", separate_sims[n], separate_sims[n] / separate_sims[1]);
            std::printf("\n");
        }
    }
    return 0;
}
