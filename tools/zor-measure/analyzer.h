// The analyzer side of zor-measure: a session that is always closed, every
// driver call checked, and the measurement sequence itself.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "ZOR.h"
#include "measurement.h"

namespace zor_measure {

// A failed driver call: what was being done and the driver's own words.
class driver_error : public std::runtime_error {
public:
    driver_error(const std::string& text, ViStatus status) : std::runtime_error(text), status_(status) {}
    ViStatus status() const { return status_; }

private:
    ViStatus status_;
};

// One open session; closed when it goes out of scope, whatever happened.
class session_t {
public:
    explicit session_t(const std::string& resource);
    ~session_t();
    session_t(const session_t&) = delete;
    session_t& operator=(const session_t&) = delete;

    ViSession vi() const { return vi_; }
    // Throws driver_error for a negative status; warnings pass.
    void check(ViStatus status, const std::string& what);
    // Throws driver_error when the analyzer's error queue holds errors:
    // settings it refused, commands it could not carry out.
    void check_analyzer(const std::string& what);
    // The driver's description of a status, with the instrument's error
    // queue when the instrument reported the error.
    std::string describe(ViStatus status);

private:
    std::string analyzer_errors();
    ViSession vi_ = 0;
};

// Sweeps done so far and how many there are in all.
using progress_t = std::function<void(int done, int total)>;

// Opens the session, sets up, sweeps and reads everything back. `report`
// gets one line at a time of what is happening.
measurement_t measure(const settings_t& settings, const progress_t& progress,
                      const std::function<void(const std::string&)>& report);

}  // namespace zor_measure
