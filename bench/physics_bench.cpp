// Timings of the simulated analyzer's measurement chain at its largest
// sweep (100,001 points): the device and receivers, every S-parameter
// formatted, and whole trace-data replies in text and binary. Compare the
// replies with a plain copy of as many bytes (printed by the last case).
#include <simulator/physics/chain.h>
#include <simulator/physics/devices.h>

#include <simulator/analyzer/analyzer.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace zorsim::physics;

constexpr int points = 100001;

void sweep_all_four(benchmark::State& state) {
    const auto device = make_device("bandpass");
    stimulus_t s;
    s.points = points;
    receiver_t r;
    std::vector<double> out;
    for (auto _ : state) {
        const sweep_data_t corrected = correct(measure_raw(*device, s, r, {}), {});
        for (auto [row, column] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 2}}) {
            std::vector<complex_t> trace = parameter(corrected, row, column);
            apply_trace(trace, {}, corrected.frequency, trace_settings_t{});
            format_data(trace, corrected.frequency, format_t::mlog, out);
            benchmark::DoNotOptimize(out.data());
        }
    }
}
BENCHMARK(sweep_all_four)->Unit(benchmark::kMillisecond);

// One analyzer holding a 100,001-point sweep.
zorsim::analyzer_t& held_analyzer() {
    static zorsim::analyzer_t* analyzer = [] {
        auto* a = new zorsim::analyzer_t;
        a->receive(":SENS1:SWE:POIN 100001;:SENS1:SWE:MODE HOLD;:SYST:SIM:SPE INST");
        a->receive(":CALC1:TRAC1:DATA:SDAT?");  // the sweep
        return a;
    }();
    return *analyzer;
}

void reply(benchmark::State& state, const char* setup, const char* query) {
    auto& analyzer = held_analyzer();
    analyzer.receive(setup);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto r = analyzer.receive(query);
        bytes = r.reply.size();
        benchmark::DoNotOptimize(r.reply.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    analyzer.clear_wire_log();
}

void sdata_text(benchmark::State& state) { reply(state, ":FORM ASC", ":CALC1:TRAC1:DATA:SDAT?"); }
void fdata_text(benchmark::State& state) { reply(state, ":FORM ASC", ":CALC1:TRAC1:DATA:FDAT?"); }
void sdata_real64(benchmark::State& state) { reply(state, ":FORM REAL,64", ":CALC1:TRAC1:DATA:SDAT?"); }
BENCHMARK(sdata_text)->Unit(benchmark::kMillisecond);
BENCHMARK(fdata_text)->Unit(benchmark::kMillisecond);
BENCHMARK(sdata_real64)->Unit(benchmark::kMillisecond);

// FDATa? of a trace with an equation on: compare with fdata_text.
void fdata_equation(benchmark::State& state) {
    reply(state, ":FORM ASC;:CALC1:TRAC1:EQU:TEXT \"(S21/S11)^2 - abs(S22)\";:CALC1:TRAC1:EQU ON",
          ":CALC1:TRAC1:DATA:FDAT?");
    held_analyzer().receive(":CALC1:TRAC1:EQU OFF");
}
BENCHMARK(fdata_equation)->Unit(benchmark::kMillisecond);

// The floor: copying a text reply's worth of bytes once.
void copy_reply_bytes(benchmark::State& state) {
    const std::string source(2u * points * 20, 'x');
    std::string target;
    for (auto _ : state) {
        target.assign(source);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}
BENCHMARK(copy_reply_bytes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
