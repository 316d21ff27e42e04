// The measurement sequence, through the driver's public exports only.
#include "analyzer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <set>
#include <vector>

namespace zor_measure {

namespace {

constexpr std::size_t message_size = ZOR_MESSAGE_BUFFER_SIZE;  // ZOR_error_message, ZOR_error_query, ZOR_revision_query
constexpr std::size_t text_size = 1024;  // sized exports (catalogs, serial number, ZOR_GetError): cut to fit
constexpr double not_a_number = 9.9e37;     // an analyzer's "no value" is 9.91E37
constexpr int max_queued_errors = 32;      // read at most this many at a time
// VISA's VI_ERROR_INV_RSRC_NAME: the driver passes VISA's statuses on.
constexpr ViStatus visa_invalid_resource_name = static_cast<ViStatus>(0xBFFF0012UL);

constexpr int channel = 1;  // every parameter is measured by channel 1, in one sweep

std::string hex(ViStatus status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
    return text;
}

bool is_reflection(const std::string& parameter) { return parameter == "S11" || parameter == "S22"; }

// Selectors: a trace of channel 1, and its first marker.
std::string trace_selector(int trace) {
    return "Channel" + std::to_string(channel) + ":Trace" + std::to_string(trace);
}
std::string marker_selector(int trace) { return trace_selector(trace) + ":Marker1"; }
// The limit exports fill CALCulate<n> from the selector's window entry,
// which the analyzer reads as the channel: name channel 1 that way.
std::string limit_selector(int trace) {
    return "Window" + std::to_string(channel) + ":Trace" + std::to_string(trace);
}

std::vector<int> parse_list(const std::string& text) {
    std::vector<int> numbers;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        std::string piece;
        for (char c : text.substr(at, comma - at))
            if (c != ' ') piece += c;
        // Window and trace numbers are small: anything else is no number.
        if (!piece.empty() && piece.size() < 6 && piece.find_first_not_of("0123456789") == std::string::npos)
            numbers.push_back(std::stoi(piece));
        at = comma + 1;
    }
    return numbers;
}

// Trace k + 1 measures parameters[k]: reflections in window 1, transmissions
// in window 2. Everything else on the screen goes.
void lay_out(session_t& s, const std::vector<std::string>& parameters) {
    const ViSession vi = s.vi();
    s.check(ZOR_MeasurementTraceSelect(vi, "Trace1"), "select trace 1 (and so channel 1)");
    char catalog[text_size] = {};
    s.check(ZOR_DisplayWindowGetCatalog(vi, sizeof catalog, catalog), "list the windows");
    const std::vector<int> windows = parse_list(catalog);
    for (int window : windows) {
        const std::string name = "Window" + std::to_string(window);
        s.check(ZOR_DisplayWindowTraceGetCatalog(vi, name.c_str(), sizeof catalog, catalog),
                "list the traces of window " + std::to_string(window));
        for (int trace : parse_list(catalog))
            if (trace != 1)
                s.check(ZOR_DisplayWindowTraceDelete(vi, name.c_str(), trace),
                        "remove trace " + std::to_string(trace));
    }
    std::set<int> used;
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        const int trace = static_cast<int>(k) + 1;
        const int window = is_reflection(parameters[k]) ? 1 : 2;
        used.insert(window);
        const std::string name = "Trace" + std::to_string(trace);
        if (trace == 1) {
            s.check(ZOR_MeasurementTraceMove(vi, name.c_str(), window), "move trace 1");
        } else {
            s.check(ZOR_MeasurementTraceCreate(vi, name.c_str(), window), "create " + name);
        }
        const std::string selector = trace_selector(trace);
        s.check(ZOR_MeasurementSetParameter(vi, selector.c_str(), parameters[k].c_str()),
                "measure " + parameters[k] + " on " + name);
        s.check(ZOR_SetMeasurementDisplayFormat(vi, selector.c_str(), ZOR_VAL_DISPLAY_FORMAT_LOG_MAGNITUDE),
                "log-magnitude format on " + name);
    }
    for (int window : {1, 2}) {
        const std::string name = "Window" + std::to_string(window);
        if (used.count(window) == 0) {
            ViBoolean present = VI_FALSE;
            s.check(ZOR_DisplayWindowIsPresent(vi, name.c_str(), &present), "look for " + name);
            if (present) s.check(ZOR_DisplayWindowCreateOrDelete(vi, VI_FALSE, window), "close " + name);
            continue;
        }
        s.check(ZOR_SetDisplayWindowTitleString(vi, name.c_str(), window == 1 ? "\"Reflection\"" : "\"Transmission\""),
                "title " + name);
        s.check(ZOR_SetDisplayWindowTitleEnabled(vi, name.c_str(), VI_TRUE), "show the title of " + name);
    }
}

void set_stimulus(session_t& s, const settings_t& settings) {
    const ViSession vi = s.vi();
    const std::string ch = "Channel" + std::to_string(channel);
    const char* c = ch.c_str();
    s.check(ZOR_ChannelStandardStimulusSweepSetType(vi, c, ZOR_VAL_SWEEP_TYPE_LINEAR), "linear sweep");
    s.check(ZOR_SetStandardStimulusSweepFrequencyStart(vi, c, settings.start), "set the start frequency");
    s.check(ZOR_SetStandardStimulusSweepFrequencyStop(vi, c, settings.stop), "set the stop frequency");
    s.check(ZOR_SetChannelStandardStimulusSweepNumberOfPoints(vi, c, settings.points), "set the number of points");
    s.check(ZOR_SetChannelAveragingIfBandwidth(vi, c, settings.if_bandwidth), "set the IF bandwidth");
    s.check(ZOR_SetChannelStandardStimulusSourcePortPowerLevel(vi, c, settings.power), "set the source power");
    s.check(ZOR_SetChannelAveragingEnabled(vi, c, settings.averages > 1 ? VI_TRUE : VI_FALSE), "switch averaging");
    if (settings.averages > 1)
        s.check(ZOR_SetChannelAveragingFactor(vi, c, settings.averages), "set the averaging factor");
    // Sweeps only when told to.
    s.check(ZOR_SetChannelStandardStimulusSweepTriggerMode(vi, c, ZOR_VAL_SWEEP_TRIGGER_MODE_HOLD), "hold the sweep");
}

void set_mask(session_t& s, int trace, const std::vector<limit_segment_t>& mask) {
    std::vector<ViInt32> types;
    std::vector<ViReal64> start, stop, start_db, stop_db;
    for (const auto& segment : mask) {
        types.push_back(segment.kind == limit_segment_t::upper ? ZOR_LIMIT_SEGMENT_UPPER : ZOR_LIMIT_SEGMENT_LOWER);
        start.push_back(segment.start);
        stop.push_back(segment.stop);
        start_db.push_back(segment.start_db);
        stop_db.push_back(segment.stop_db);
    }
    const std::string selector = limit_selector(trace);
    s.check(ZOR_MeasurementLimitSetData(s.vi(), selector.c_str(), static_cast<ViInt32>(mask.size()), types.data(),
                                        start.data(), stop.data(), start_db.data(), stop_db.data()),
            "write the limit table");
    const std::string attribute_selector = trace_selector(trace);
    s.check(ZOR_SetMeasurementLimitEnabled(s.vi(), attribute_selector.c_str(), VI_TRUE), "switch the limit test on");
    s.check(ZOR_SetMeasurementLimitDisplayEnabled(s.vi(), attribute_selector.c_str(), VI_TRUE),
            "show the limit lines");
}

void sweep(session_t& s, const settings_t& settings, const progress_t& progress) {
    const ViSession vi = s.vi();
    const std::string ch = "Channel" + std::to_string(channel);
    const int sweeps = std::max(1, settings.averages);
    if (settings.averages > 1) s.check(ZOR_ChannelAveragingRestart(vi, ch.c_str()), "restart averaging");
    const auto timeout_ms = static_cast<ViUInt32>(std::min(settings.timeout, 4.0e6) * 1000.0);
    progress(0, sweeps);
    for (int i = 0; i < sweeps; ++i) {
        s.check(ZOR_SetChannelStandardStimulusSweepTriggerMode(vi, ch.c_str(), ZOR_VAL_SWEEP_TRIGGER_MODE_SINGLE),
                "start a single sweep");
        s.check(ZOR_SystemWaitForOperationComplete(vi, timeout_ms), "wait for the sweep");
        progress(i + 1, sweeps);
    }
}

void read_data(session_t& s, const settings_t& settings, measurement_t& m) {
    const ViSession vi = s.vi();
    const std::string ch = "Channel" + std::to_string(channel);
    ViReal64 start = 0, stop = 0;
    ViInt32 points = 0;
    s.check(ZOR_GetStandardStimulusSweepFrequencyStart(vi, ch.c_str(), &start), "read the start frequency");
    s.check(ZOR_GetStandardStimulusSweepFrequencyStop(vi, ch.c_str(), &stop), "read the stop frequency");
    s.check(ZOR_GetChannelStandardStimulusSweepNumberOfPoints(vi, ch.c_str(), &points), "read the number of points");
    if (points < 2) throw driver_error("the analyzer reports " + std::to_string(points) + " points", 0);
    // The sweep is linear (set above): the stimulus of point k follows.
    m.frequency.resize(static_cast<std::size_t>(points));
    for (ViInt32 k = 0; k < points; ++k)
        m.frequency[static_cast<std::size_t>(k)] = start + (stop - start) * k / (points - 1);

    std::vector<ViReal64> values(2 * static_cast<std::size_t>(points));
    for (std::size_t k = 0; k < settings.parameters.size(); ++k) {
        const std::string selector = trace_selector(static_cast<int>(k) + 1);
        ViInt32 count = 0;
        s.check(ZOR_MeasurementQueryData(vi, selector.c_str(), ZOR_DATA_TYPE_CORRECTED, static_cast<ViInt32>(values.size()),
                                         values.data(), &count),
                "read the corrected data of " + settings.parameters[k]);
        if (count != static_cast<ViInt32>(values.size()))
            throw driver_error(settings.parameters[k] + ": the analyzer sent " + std::to_string(count / 2) +
                                   " points for a sweep of " + std::to_string(points),
                               0);
        trace_data_t t;
        t.parameter = settings.parameters[k];
        t.values.resize(static_cast<std::size_t>(points));
        for (std::size_t p = 0; p < t.values.size(); ++p) t.values[p] = {values[2 * p], values[2 * p + 1]};
        m.traces.push_back(std::move(t));
    }
}

bool is_value(double x) { return std::isfinite(x) && std::fabs(x) < not_a_number; }

search_result_t search(session_t& s, int trace, const std::string& parameter, double level) {
    const ViSession vi = s.vi();
    const std::string t = trace_selector(trace), m = marker_selector(trace);
    search_result_t r;
    r.parameter = parameter;
    s.check(ZOR_MeasurementMarkerSetEnabled(vi, t.c_str(), VI_TRUE, 1), "switch marker 1 on");
    s.check(ZOR_MeasurementMarkerSearchExecute(vi, m.c_str(), ZOR_VAL_MARKER_SEARCH_MAXIMUM), "search the maximum");
    ViReal64 im = 0;
    s.check(ZOR_GetMeasurementMarkerXPosition(vi, m.c_str(), &r.peak_frequency), "read the marker frequency");
    s.check(ZOR_MeasurementMarkerGetYPosition(vi, m.c_str(), &r.peak_db, &im), "read the marker value");

    // The band where the trace stays above (peak - level): the threshold
    // is given as a negative offset from the reference.
    const ViInt32 kind = ZOR_VAL_BANDWIDTH_NOTCH_BANDWIDTH;
    r.level_db = r.peak_db - level;
    s.check(ZOR_MeasurementMarkerSearchBWandNotchSetReference(vi, m.c_str(), ZOR_VAL_BANDWIDTH_REFERENCE_PEAK, kind),
            "bandwidth relative to the peak");
    s.check(ZOR_MeasurementMarkerSearchBWandNotchSetThreshold(vi, m.c_str(), -level, kind),
            "set the bandwidth threshold");
    s.check(ZOR_MeasurementMarkerSearchBWandNotchSetDisplayEnabled(vi, m.c_str(), VI_TRUE, kind),
            "show the bandwidth search");
    // Answered in this order: bandwidth, centre, Q, loss at the reference.
    ViReal64 width = 0, center = 0, q = 0, loss = 0;
    s.check(ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m.c_str(), &width, &center, &q, &loss, kind),
            "read the bandwidth search");
    r.has_band = is_value(width) && is_value(center) && width > 0;
    if (r.has_band) {
        r.bandwidth = width;
        r.center = center;
        r.q = is_value(q) ? q : center / width;
        r.loss = loss;
    }
    return r;
}

limit_result_t limit_test(session_t& s, int trace, const std::string& parameter, std::size_t points) {
    const ViSession vi = s.vi();
    const std::string selector = limit_selector(trace);
    limit_result_t r;
    r.parameter = parameter;
    r.tested = true;
    // The export hands on the analyzer's FAIL? flag: true means failed.
    ViBoolean failed = VI_FALSE;
    s.check(ZOR_MeasurementLimitIsPassing(vi, selector.c_str(), &failed), "read the limit test result");
    r.passed = failed == VI_FALSE;
    ViInt32 count = 0;
    s.check(ZOR_MeasurementLimitGetNoOfFailedPoints(vi, selector.c_str(), &count), "count the failed points");
    if (count > 0) {
        std::vector<ViReal64> x(std::max<std::size_t>(points, static_cast<std::size_t>(count)));
        ViInt32 reported = 0;
        s.check(ZOR_MeasurementLimitQueryXValuesOfFailedPoints(vi, selector.c_str(), static_cast<ViInt32>(x.size()),
                                                                x.data(), &reported),
                "read the failed points");
        x.resize(static_cast<std::size_t>(std::min<ViInt32>(std::max<ViInt32>(reported, 0),
                                                            static_cast<ViInt32>(x.size()))));
        r.failed_frequencies = std::move(x);
    }
    return r;
}

// The full two-port SOLT calibration, one standard at a time; the driver
// has no export for measuring a standard, so those go as plain commands.
struct standard_step_t {
    const char* command;  // after :SENSe<ch>:CORRection:COLLect:
    const char* what;     // what the technician connects
};
constexpr standard_step_t solt_steps[] = {
    {"OPEN 1", "the open to port 1"},   {"SHORt 1", "the short to port 1"}, {"LOAD 1", "the load to port 1"},
    {"OPEN 2", "the open to port 2"},   {"SHORt 2", "the short to port 2"}, {"LOAD 2", "the load to port 2"},
    {"THRU 1,2", "the thru between ports 1 and 2"},
};

std::string calibration_steps() {
    std::string text;
    for (const auto& step : solt_steps) text += std::string("\n  connect ") + step.what;
    return text;
}

void send_command(session_t& s, const std::string& command, const std::string& what) {
    const std::string line = command + "\n";
    ViUInt64 written = 0;
    s.check(ZOR_viWrite(s.vi(), line.size(), reinterpret_cast<ViConstBuf>(line.c_str()), &written), what);
}

// An analyzer that connects the standards itself: one in this process, or
// one whose serial number says it is simulated (vna-sim over TCP).
bool is_simulated(const settings_t& settings, const measurement_t& m) {
    return settings.resource.rfind("SIM::", 0) == 0 || m.serial.rfind("SIM", 0) == 0;
}

void calibrate(session_t& s, const settings_t& settings, bool simulated,
               const std::function<void(const std::string&)>& report) {
    const ViSession vi = s.vi();
    const std::string ch = "Channel" + std::to_string(channel);
    const std::string collect = ":SENSe" + std::to_string(channel) + ":CORRection:COLLect:";
    if (!settings.cal_kit.empty())
        s.check(ZOR_ChannelCorrectionCalKitSelectByName(vi, ch.c_str(), settings.cal_kit.c_str()),
                "select the calibration kit " + settings.cal_kit);
    ViChar kit[text_size] = {};
    s.check(ZOR_ChannelCorrectionCalKitGetSelectedByName(vi, ch.c_str(), sizeof kit, kit),
            "read the calibration kit");
    report(std::string("Calibrating: full two-port SOLT with the kit ") + kit);
    send_command(s, collect + "METHod SOLT", "choose the SOLT method");
    const auto timeout_ms = static_cast<ViUInt32>(std::min(settings.timeout, 4.0e6) * 1000.0);
    for (const auto& step : solt_steps) {
        if (!simulated) {
            report(std::string("Connect ") + step.what + " and press Enter");
            std::string ignored;
            if (!std::getline(std::cin, ignored)) throw driver_error("calibration stopped: no more input", 0);
        }
        send_command(s, collect + step.command, std::string("measure ") + step.what);
        s.check(ZOR_SystemWaitForOperationComplete(vi, timeout_ms), std::string("wait for ") + step.what);
        s.check_analyzer(std::string("measure ") + step.what);
        report(std::string("Measured ") + step.what);
    }
    s.check(ZOR_ChannelCorrectionSave(vi, ch.c_str()), "compute the calibration");
    s.check(ZOR_SetChannelCorrectionEnabled(vi, ch.c_str(), VI_TRUE), "switch correction on");
    s.check_analyzer("compute the calibration");
    if (!simulated) {
        report("Calibrated: connect the device and press Enter");
        std::string ignored;
        if (!std::getline(std::cin, ignored)) throw driver_error("stopped before the measurement: no more input", 0);
    }
}

int trace_of(const std::vector<std::string>& parameters, const std::string& wanted) {
    for (std::size_t k = 0; k < parameters.size(); ++k)
        if (parameters[k] == wanted) return static_cast<int>(k) + 1;
    return 0;
}

// The trace searched and tested: the one asked for, else S21, else the first.
std::string chosen(const settings_t& settings, const std::string& asked) {
    if (!asked.empty()) return asked;
    if (trace_of(settings.parameters, "S21") != 0) return "S21";
    return settings.parameters.front();
}

// One line: what failed, the driver's words, and what to do about it.
std::string open_failure(const std::string& resource, ViStatus status) {
    // The record of a failed open belongs to no session. Its elaboration
    // already says what to do; without one, the status's description and
    // advice of our own.
    ViStatus code = 0;
    ViChar record[text_size] = {};
    std::string text;
    if (ZOR_GetError(VI_NULL, &code, static_cast<ViInt32>(sizeof record), record) >= 0 && code == status)
        text = record;
    const std::string elaboration_tag = "Elaboration: ";
    const std::size_t elaboration = text.find(elaboration_tag);
    std::string advice;
    if (elaboration != std::string::npos) {
        text = text.substr(elaboration + elaboration_tag.size());
        const std::string prefix = resource + ": ";  // the driver names the resource too
        if (text.rfind(prefix, 0) == 0) text = text.substr(prefix.size());
    } else {
        ViChar message[message_size] = {};
        ZOR_error_message(VI_NULL, status, message);
        text = message;
        if (status == visa_invalid_resource_name)
            advice = "; zor-measure --help lists the resource forms";
        else if (resource.rfind("TCPIP", 0) == 0)
            advice = "; is the analyzer (or vna-sim) running and reachable at that address? "
                     "SIM::name::INSTR needs neither";
        else
            advice = "; check the resource; zor-measure --help lists the forms";
    }
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return "cannot open " + resource + ": " + text + " (status " + hex(status) + ")" + advice;
}

}  // namespace

session_t::session_t(const std::string& resource) {
    std::vector<ViChar> name(resource.begin(), resource.end());
    name.push_back('\0');
    // Identity query and reset: a known analyzer in a known state.
    ViSession vi = 0;
    const ViStatus status = ZOR_InitWithOptions(name.data(), VI_TRUE, VI_TRUE, "QueryInstrStatus=1", &vi);
    if (status < 0) {
        // A failed open may still hand back the session it began: close it.
        if (vi != 0) ZOR_close(vi);
        throw driver_error(open_failure(resource, status), status);
    }
    vi_ = vi;
}

session_t::~session_t() {
    if (vi_ != 0) ZOR_close(vi_);
}

std::string session_t::describe(ViStatus status) {
    std::string text;
    ViStatus code = 0;
    ViChar record[text_size] = {};
    // The session's error record says most (with the elaboration); the
    // status's description when there is no record.
    if (ZOR_GetError(vi_, &code, static_cast<ViInt32>(sizeof record), record) >= 0 && record[0] != '\0') {
        text = record;
    } else {
        ViChar message[message_size] = {};
        ZOR_error_message(vi_, status, message);
        text = message;
    }
    text += " (status " + hex(status) + ")";
    if (status == ZOR_ERROR_INSTRUMENT_STATUS) text += analyzer_errors();
    return text;
}

// What the analyzer itself complains about, oldest first; empty when nothing.
std::string session_t::analyzer_errors() {
    std::string text;
    for (int i = 0; i < max_queued_errors; ++i) {
        ViInt32 error = 0;
        ViChar message[message_size] = {};
        if (ZOR_error_query(vi_, &error, message) < 0 || error == 0) break;
        text += "; analyzer error " + std::to_string(error) + ", " + message;
    }
    return text;
}

void session_t::check_analyzer(const std::string& what) {
    const std::string errors = analyzer_errors();
    if (!errors.empty()) throw driver_error(what + ":" + errors.substr(1), ZOR_ERROR_INSTRUMENT_STATUS);
}

void session_t::check(ViStatus status, const std::string& what) {
    if (status >= 0) return;
    throw driver_error(what + ": " + describe(status), status);
}


measurement_t measure(const settings_t& settings, const progress_t& progress,
                      const std::function<void(const std::string&)>& report) {
    measurement_t m;
    m.mask = settings.mask;
    session_t s(settings.resource);
    const ViSession vi = s.vi();

    // Who we talk to.
    const char idn[] = "*IDN?\n";
    ViUInt64 written = 0, read = 0;
    ViByte reply[text_size] = {};
    s.check(ZOR_viWrite(vi, sizeof idn - 1, reinterpret_cast<ViConstBuf>(idn), &written), "ask for the identity");
    s.check(ZOR_viRead(vi, sizeof reply, reply, &read), "read the identity");
    m.identity = reinterpret_cast<const char*>(reply);
    while (!m.identity.empty() && (m.identity.back() == '\n' || m.identity.back() == '\r')) m.identity.pop_back();
    ViChar serial[text_size] = {}, driver[message_size] = {}, firmware[message_size] = {};
    s.check(ZOR_GetSystemSerialNumber(vi, sizeof serial, serial), "read the serial number");
    s.check(ZOR_revision_query(vi, driver, firmware), "read the revisions");
    m.serial = serial;
    m.firmware = firmware;
    m.driver_revision = driver;
    report("Analyzer: " + m.identity);
    report("Serial number: " + m.serial + ", firmware " + m.firmware);
    report(m.driver_revision);

    const bool simulated = is_simulated(settings, m);
    if (settings.calibrate && !simulated && !settings.confirmed)
        throw driver_error("--calibrate: " + m.identity +
                               " is a real analyzer: a technician connects each standard when asked:" +
                               calibration_steps() + "\nrun again with --yes to do so",
                           0);

    set_stimulus(s, settings);
    s.check_analyzer("set up the sweep");
    if (settings.calibrate || (settings.calibrate_simulated && simulated)) calibrate(s, settings, simulated, report);
    lay_out(s, settings.parameters);
    s.check_analyzer("lay out the traces");
    const std::string searched = chosen(settings, settings.search_parameter);
    const std::string limited = chosen(settings, settings.limit_parameter);
    const int search_trace = trace_of(settings.parameters, searched);
    const int limit_trace = trace_of(settings.parameters, limited);
    if (search_trace == 0) throw driver_error(searched + " is searched but not measured", 0);
    if (!settings.mask.empty() && limit_trace == 0) throw driver_error(limited + " is tested but not measured", 0);
    if (!settings.mask.empty()) set_mask(s, limit_trace, settings.mask);
    s.check_analyzer("set the limits");

    sweep(s, settings, progress);
    s.check_analyzer("sweep");
    read_data(s, settings, m);
    m.search = search(s, search_trace, searched, settings.bandwidth_level);
    if (!settings.mask.empty()) m.limit = limit_test(s, limit_trace, limited, m.frequency.size());
    s.check_analyzer("read the results");
    return m;  // the session closes here
}

}  // namespace zor_measure
