// Test control of the in-process simulated analyzers.
#include "zor_sim_control.h"

#include <cstring>
#include <string>

#include <simulator/analyzer/analyzer.h>

namespace {

template <class R, class F>
R guarded(R failure, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

}  // namespace

extern "C" int32_t zsim_factory_reset(const char* name) {
    if (name == nullptr) return -1;
    return guarded<int32_t>(-1, [&] {
        zorsim::named_analyzer(name)->factory_reset();
        return 0;
    });
}

extern "C" int32_t zsim_set_identity(const char* name, const char* idn) {
    if (name == nullptr || idn == nullptr) return -1;
    return guarded<int32_t>(-1, [&] {
        zorsim::named_analyzer(name)->set_identity(idn);
        return 0;
    });
}

extern "C" size_t zsim_wire_log(const char* name, char* buffer, size_t size) {
    if (name == nullptr) return 0;
    return guarded<size_t>(0, [&] {
        std::string joined;
        for (const std::string& m : zorsim::named_analyzer(name)->wire_log()) {
            joined += m;
            joined += '\n';
        }
        if (buffer != nullptr && size > 0) {
            const size_t n = joined.size() < size - 1 ? joined.size() : size - 1;
            std::memcpy(buffer, joined.data(), n);
            buffer[n] = '\0';
        }
        return joined.size();
    });
}

extern "C" void zsim_clear_wire_log(const char* name) {
    if (name == nullptr) return;
    guarded<int>(0, [&] {
        zorsim::named_analyzer(name)->clear_wire_log();
        return 0;
    });
}

extern "C" int32_t zsim_script(const char* name, const char* message, const char* reply, int32_t read_status,
                               int32_t write_status, int32_t times) {
    if (name == nullptr || message == nullptr) return -1;
    return guarded<int32_t>(-1, [&] {
        zorsim::script_t script;
        script.message = message;
        if (reply != nullptr) script.reply = std::string(reply);
        script.read_status = read_status;
        script.write_status = write_status;
        script.times = times;
        zorsim::named_analyzer(name)->add_script(script);
        return 0;
    });
}

extern "C" void zsim_clear_scripts(const char* name) {
    if (name == nullptr) return;
    guarded<int>(0, [&] {
        zorsim::named_analyzer(name)->clear_scripts();
        return 0;
    });
}
