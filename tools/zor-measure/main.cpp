// zor-measure: measures a two-port on the analyzer in one go and leaves
// files behind: Touchstone (.s2p), CSV and a plot (PNG and SVG).
//
//   zor-measure                                   the simulated analyzer, 3.5-5.5 GHz
//   zor-measure -r TCPIP::192.168.1.20::5025::SOCKET --start 1G --stop 2G -o run1
//
// Exit status: 0 measured (and the limit test passed), 2 the limit test
// failed, 1 anything went wrong (the driver's description is printed).
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#if defined(_WIN32)
#include <io.h>
#define zor_isatty _isatty
#define zor_fileno _fileno
#else
#include <unistd.h>
#define zor_isatty isatty
#define zor_fileno fileno
#endif

#include "analyzer.h"
#include "files.h"
#include "plot.h"

namespace {

using namespace zor_measure;

constexpr int exit_failed_limits = 2;

// A bar redrawn in place on a terminal; a line per sweep elsewhere (logs).
progress_t progress_printer() {
    const bool terminal = zor_isatty(zor_fileno(stdout)) != 0;
    return [terminal](int done, int total) {
        if (!terminal) {
            if (done > 0) std::printf("Sweep %d of %d done\n", done, total);
            std::fflush(stdout);
            return;
        }
        constexpr int width = 40;
        const int filled = total > 0 ? done * width / total : width;
        std::printf("\rSweeping [%s%s] %d/%d", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                    std::string(static_cast<std::size_t>(width - filled), '.').c_str(), done, total);
        if (done == total) std::printf("\n");
        std::fflush(stdout);
    };
}

std::string join(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

void print_results(const measurement_t& m, const settings_t& settings) {
    const search_result_t& s = m.search;
    char line[256];
    std::snprintf(line, sizeof line, "%s peak: %s, %.2f dB", s.parameter.c_str(),
                  engineering(s.peak_frequency, "Hz").c_str(), s.peak_db);
    std::printf("%s\n", line);
    if (s.has_band) {
        std::snprintf(line, sizeof line, "%s band (-%g dB): centre %s, bandwidth %s, Q %.2f, loss %.2f dB",
                      s.parameter.c_str(), settings.bandwidth_level, engineering(s.center, "Hz").c_str(),
                      engineering(s.bandwidth, "Hz").c_str(), s.q, -s.loss);
    } else {
        std::snprintf(line, sizeof line, "%s band (-%g dB): an edge lies outside the sweep", s.parameter.c_str(),
                      settings.bandwidth_level);
    }
    std::printf("%s\n", line);
    if (!m.limit.tested) return;
    if (m.limit.passed) {
        std::printf("%s limit test: PASS (%zu segments)\n", m.limit.parameter.c_str(), m.mask.size());
        return;
    }
    std::printf("%s limit test: FAIL, %zu points failed:", m.limit.parameter.c_str(), m.limit.failed_frequencies.size());
    constexpr std::size_t shown = 10;
    for (std::size_t i = 0; i < m.limit.failed_frequencies.size() && i < shown; ++i)
        std::printf("%s %s", i ? "," : "", engineering(m.limit.failed_frequencies[i], "Hz").c_str());
    if (m.limit.failed_frequencies.size() > shown) std::printf(", ...");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    settings_t settings;
    std::string start = "3.5G", stop = "5.5G", if_bandwidth = "1k";
    std::string output = "zor-measure-output", name = "measurement", format = "ri";
    std::vector<std::string> limits;
    bool no_limit = false, plot = false, no_plot = false;
    std::vector<std::string> phase{"S21"};

    CLI::App app{"Measures a two-port with the analyzer: sweeps, reads the corrected S-parameters, finds the peak\n"
                 "and the bandwidth, runs a limit test, and writes Touchstone, CSV and a plot.\n"
                 "Exit status: 0 done (limit test passed), 2 limit test failed, 1 error.",
                 "zor-measure"};
    app.option_defaults()->always_capture_default();
    app.add_option("-r,--resource", settings.resource,
                   "VISA resource of the analyzer:\n"
                   "  SIM::<name>::INSTR               simulated, in this process\n"
                   "  TCPIP::<host>::<port>::SOCKET    raw SCPI socket (an analyzer: port 5025; vna-sim --port)\n"
                   "  TCPIP::<host>::inst0::INSTR      VXI-11 (vna-sim --vxi11)\n"
                   "  TCPIP::<host>::hislip0::INSTR    HiSLIP, port 4880 (hislip0,<port> for another; vna-sim --hislip)");
    app.add_option("--start", start, "start frequency, Hz; prefixes k, M, G allowed");
    app.add_option("--stop", stop, "stop frequency, Hz");
    app.add_option("-n,--points", settings.points, "sweep points")->check(CLI::Range(2, 1000000));
    app.add_option("--if-bandwidth", if_bandwidth, "IF bandwidth, Hz");
    app.add_option("--power", settings.power, "source power, dBm");
    app.add_option("--averages", settings.averages, "sweeps averaged (1: no averaging)")->check(CLI::Range(1, 999));
    app.add_option("-s,--parameters", settings.parameters, "S-parameters measured, comma separated")
        ->delimiter(',')
        ->check(CLI::IsMember({"S11", "S21", "S12", "S22"}));
    app.add_option("--search", settings.search_parameter, "parameter searched for peak and bandwidth (default S21)")
        ->check(CLI::IsMember({"S11", "S21", "S12", "S22"}));
    app.add_option("--bandwidth-level", settings.bandwidth_level, "bandwidth measured this many dB below the peak")
        ->check(CLI::PositiveNumber);
    app.add_option("--limit", limits,
                   "limit segment upper|lower,START,STOP,DB[,DB_AT_STOP], repeatable; default: below +0.5 dB "
                   "everywhere and above -10 dB over the middle 5 % of the sweep");
    app.add_option("--limit-parameter", settings.limit_parameter, "parameter tested against the limits (default S21)")
        ->check(CLI::IsMember({"S11", "S21", "S12", "S22"}));
    app.add_flag("--no-limit", no_limit, "no limit test");
    app.add_option("-o,--output", output, "folder for the files (made when missing)");
    app.add_option("--name", name, "file name without extension");
    app.add_option("--format", format, "Touchstone data format: ri (real, imaginary) or db (dB, angle)")
        ->check(CLI::IsMember({"ri", "db"}));
    app.add_flag("--plot", plot, plot_available() ? "draw the plot (the default)" : "draw the plot (not built in)");
    app.add_flag("--no-plot", no_plot, "no plot");
    app.add_option("--phase", phase, "parameters whose phase the plot shows (unwrapped), comma separated, or none")
        ->delimiter(',')
        ->check(CLI::IsMember({"S11", "S21", "S12", "S22", "none"}));
    app.add_flag("--calibrate", settings.calibrate,
                 "full two-port SOLT calibration before measuring (a real analyzer also needs --yes)");
    app.add_flag("--calibrate-simulated", settings.calibrate_simulated,
                 "calibrate first (as --calibrate) when the analyzer is simulated, which connects the standards "
                 "itself; a real analyzer is measured as it is");
    app.add_option("--cal-kit", settings.cal_kit, "calibration kit, by name (default: the one selected)");
    app.add_flag("--yes", settings.confirmed,
                 "calibrate a real analyzer: asks for each standard to be connected, then the device");
    app.add_option("--timeout", settings.timeout, "longest wait for one sweep, s")->check(CLI::PositiveNumber);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help is a "parse error" that exits 0; every other one exits 1.
        return app.exit(e) == 0 ? 0 : 1;
    }

    try {
        settings.start = parse_engineering(start);
        settings.stop = parse_engineering(stop);
        settings.if_bandwidth = parse_engineering(if_bandwidth);
        for (const auto& text : limits) settings.mask.push_back(parse_segment(text));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zor-measure: %s\n", e.what());
        return 1;
    }
    if (settings.mask.empty() && !no_limit) settings.mask = default_mask(settings.start, settings.stop);
    if (no_limit) settings.mask.clear();
    if (plot && !plot_available()) {
        std::fprintf(stderr, "zor-measure: --plot: plotting is not built in (cairo was not found at build time)\n");
        return 1;
    }
    const bool drawing = plot_available() && !no_plot;

    const std::filesystem::path folder(output);
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        std::fprintf(stderr, "zor-measure: cannot make the folder %s: %s\n", output.c_str(), made.message().c_str());
        return 1;
    }

    std::printf("Measuring %s on %s: %s to %s, %d points, IF bandwidth %s, %.1f dBm%s\n",
                join(settings.parameters, " ").c_str(), settings.resource.c_str(),
                engineering(settings.start, "Hz").c_str(), engineering(settings.stop, "Hz").c_str(), settings.points,
                engineering(settings.if_bandwidth, "Hz").c_str(), settings.power,
                settings.averages > 1 ? (", " + std::to_string(settings.averages) + " averages").c_str() : "");
    std::fflush(stdout);

    measurement_t m;
    try {
        m = measure(settings, progress_printer(), [](const std::string& line) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        });
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "zor-measure: %s\n", e.what());
        return 1;
    }
    print_results(m, settings);

    std::vector<std::string> written;
    try {
        const std::string base = (folder / name).string();
        if (m.traces.size() == 4) {
            write_touchstone(base + ".s2p", m,
                             format == "db" ? touchstone_format_t::db_angle : touchstone_format_t::real_imaginary);
            written.push_back(base + ".s2p");
        } else {
            std::printf("No Touchstone file: a two-port file needs all four S-parameters\n");
        }
        write_csv(base + ".csv", m);
        written.push_back(base + ".csv");
        if (drawing) {
            if (std::find(phase.begin(), phase.end(), "none") != phase.end()) phase.clear();
            draw_plot(m, base + ".png", base + ".svg",
                      join(settings.parameters, ", ") + ", " + engineering(m.frequency.front(), "Hz") + " to " +
                          engineering(m.frequency.back(), "Hz"),
                      phase);
            written.push_back(base + ".png");
            written.push_back(base + ".svg");
        } else if (!plot_available()) {
            std::printf("No plot: plotting is not built in\n");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zor-measure: %s\n", e.what());
        return 1;
    }
    std::printf("Files:\n");
    for (const auto& path : written) std::printf("  %s\n", path.c_str());
    return m.limit.tested && !m.limit.passed ? exit_failed_limits : 0;
}
