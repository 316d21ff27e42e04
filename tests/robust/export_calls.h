// Every export of the driver as data: its name, its parameter names and a
// thunk that calls it with each argument either good or one bad kind. Made
// from the export tables in include/ (and the few exports ZOR.h declares by
// hand), so a new export is swept and fuzzed without a line here.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "ZOR.h"
#include "zor_accessor_params.h"  // the accessor rows' parameter lists, spelled as the driver defines them

namespace zor_robust {

enum class bad_t { none, invalid_handle, null_handle, null_pointer, negative, zero, int_min, int_max, nan, pos_inf, neg_inf, out_of_range };

inline const char* bad_name(bad_t b) {
    static const char* const names[] = {"good",     "invalid handle", "null handle", "null pointer", "negative",
                                        "zero",     "minimum int",    "maximum int", "NaN",          "+Inf",
                                        "-Inf",     "out of range"};
    return names[static_cast<int>(b)];
}

// The argument values of one call: every parameter good but `param`, which
// gets `bad`.
struct plan_t {
    ViSession vi = 0;
    std::string resource;  // for the exports that open a session
    int param = -1;
    bad_t bad = bad_t::none;
    std::string good_text;  // what a text parameter holds (a selector, a file name)
};

// Output room for every pointer parameter of one call.
struct slots_t {
    static constexpr std::size_t bytes = 8192;
    alignas(16) unsigned char slot[12][bytes];
};

// Good integers: a buffer size that fits the slots, a small count otherwise.
constexpr ViInt32 good_int = 4;
constexpr ViUInt64 good_count = 16;

enum class kind_t { handle, text, buffer, int32, uint32, boolean, real, uint64 };

template <class T>
kind_t kind_of(int index) {
    if constexpr (std::is_pointer_v<T>) {
        using pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
        return std::is_const_v<std::remove_pointer_t<T>> && std::is_same_v<pointee, char> ? kind_t::text : kind_t::buffer;
    } else if constexpr (std::is_floating_point_v<T>) {
        return kind_t::real;
    } else if constexpr (std::is_same_v<T, ViBoolean>) {
        return kind_t::boolean;
    } else if constexpr (std::is_same_v<T, ViUInt64>) {
        return kind_t::uint64;
    } else if constexpr (std::is_same_v<T, ViUInt32>) {
        return index == 0 ? kind_t::handle : kind_t::uint32;
    } else {
        return kind_t::int32;
    }
}

// The bad kinds each kind of parameter is tried with.
inline std::vector<bad_t> bad_kinds(kind_t kind) {
    switch (kind) {
    case kind_t::handle: return {bad_t::invalid_handle, bad_t::null_handle};
    case kind_t::text:
    case kind_t::buffer: return {bad_t::null_pointer};
    case kind_t::int32: return {bad_t::negative, bad_t::zero, bad_t::int_min, bad_t::int_max};
    case kind_t::uint32: return {bad_t::zero, bad_t::int_max};
    case kind_t::boolean: return {bad_t::out_of_range};
    case kind_t::real: return {bad_t::nan, bad_t::pos_inf, bad_t::neg_inf};
    case kind_t::uint64: return {bad_t::zero, bad_t::int_max};
    }
    return {};
}

template <class T>
T make_arg(const plan_t& plan, int index, const std::string& name, slots_t& slots) {
    const bool is_bad = plan.param == index;
    const bad_t bad = is_bad ? plan.bad : bad_t::none;
    if constexpr (std::is_pointer_v<T>) {
        if (bad == bad_t::null_pointer) return nullptr;
        auto* room = slots.slot[index];
        if (name == "resourceName") {
            std::memcpy(room, plan.resource.c_str(), plan.resource.size() + 1);
        } else if (name == "optionString") {
            std::memcpy(room, "Simulate=0", 11);
        } else if (std::is_const_v<std::remove_pointer_t<T>>) {
            // Text or bytes to send: a short command, terminated, in a slot
            // longer than any count the call is given.
            const std::string& text = std::is_same_v<T, ViConstBuf> ? std::string("*CLS\n") : plan.good_text;
            std::memcpy(room, text.c_str(), text.size() + 1);
        }
        return reinterpret_cast<T>(room);
    } else if constexpr (std::is_floating_point_v<T>) {
        switch (bad) {
        case bad_t::nan: return std::numeric_limits<T>::quiet_NaN();
        case bad_t::pos_inf: return std::numeric_limits<T>::infinity();
        case bad_t::neg_inf: return -std::numeric_limits<T>::infinity();
        default: return T(1);
        }
    } else if constexpr (std::is_same_v<T, ViBoolean>) {
        return bad == bad_t::out_of_range ? ViBoolean(2) : ViBoolean(VI_TRUE);
    } else if constexpr (std::is_same_v<T, ViUInt64>) {
        if (bad == bad_t::zero) return 0;
        if (bad == bad_t::int_max) return std::numeric_limits<ViUInt64>::max();
        return good_count;
    } else {
        if (index == 0 && std::is_same_v<T, ViSession>) {
            if (bad == bad_t::invalid_handle) return ViSession(0x7fff1234);
            if (bad == bad_t::null_handle) return ViSession(0);
            return plan.vi;
        }
        switch (bad) {
        case bad_t::negative: return T(-1);
        case bad_t::zero: return T(0);
        case bad_t::int_min: return std::numeric_limits<T>::min();
        case bad_t::int_max: return std::numeric_limits<T>::max();
        default: break;
        }
        if (name == "attributeId") return T(ZOR_ATTR_SYSTEM_IO_TIMEOUT);
        if (name == "accessMode" || name == "timeout") return T(0);
        return T(good_int);
    }
}

struct export_t {
    const char* name;
    std::vector<std::string> params;  // parameter names, in order
    std::vector<kind_t> kinds;
    ViStatus (*call)(const plan_t&);
};

// "(ViSession vi, ViInt32 bufferSize, ViChar buffer[])" -> vi, bufferSize, buffer
inline std::vector<std::string> parameter_names(const char* text) {
    std::vector<std::string> names;
    std::string t(text);
    for (char& c : t)
        if (c == '(' || c == ')' || c == '[' || c == ']' || c == '*') c = ' ';
    std::size_t start = 0;
    while (start <= t.size()) {
        std::size_t comma = t.find(',', start);
        if (comma == std::string::npos) comma = t.size();
        std::string piece = t.substr(start, comma - start);
        while (!piece.empty() && piece.back() == ' ') piece.pop_back();
        const std::size_t space = piece.find_last_of(' ');
        if (!piece.empty()) names.push_back(piece.substr(space == std::string::npos ? 0 : space + 1));
        start = comma + 1;
    }
    return names;
}

template <auto F>
struct thunk_t;

template <class... A, ViStatus(ZOR_CALL* F)(A...)>
struct thunk_t<F> {
    static const std::vector<std::string>* names;
    template <std::size_t... I>
    static ViStatus call_with(const plan_t& plan, std::index_sequence<I...>) {
        static thread_local slots_t slots;
        std::memset(&slots, 0, sizeof slots);
        return F(make_arg<A>(plan, static_cast<int>(I), (*names)[I], slots)...);
    }
    static ViStatus call(const plan_t& plan) { return call_with(plan, std::index_sequence_for<A...>{}); }
    template <std::size_t... I>
    static std::vector<kind_t> kinds(std::index_sequence<I...>) {
        return {kind_of<A>(static_cast<int>(I))...};
    }
    static std::vector<kind_t> kinds() { return kinds(std::index_sequence_for<A...>{}); }
};
template <class... A, ViStatus(ZOR_CALL* F)(A...)>
const std::vector<std::string>* thunk_t<F>::names = nullptr;

template <auto F>
export_t make_export(const char* name, const char* params) {
    static const std::vector<std::string> names = parameter_names(params);
    thunk_t<F>::names = &names;
    return export_t{name, names, thunk_t<F>::kinds(), &thunk_t<F>::call};
}

#define ZOR_ROBUST_STR2(x) #x
#define ZOR_ROBUST_STR(x) ZOR_ROBUST_STR2(x)

// Every export: the tables' rows, then the ones ZOR.h declares by hand.
inline const std::vector<export_t>& all_exports() {
    static const std::vector<export_t> exports = [] {
        std::vector<export_t> v;
#define ZOR_FUNCTION(name, parameters) v.push_back(make_export<&name>(#name, #parameters));
#include "zor_functions_correction.def"
#include "zor_functions_display.def"
#include "zor_functions_limit.def"
#include "zor_functions_marker.def"
#include "zor_functions_measurement.def"
#include "zor_functions_memory.def"
#include "zor_functions_stimulus.def"
#include "zor_functions_system.def"
#include "zor_functions_time_domain.def"
#include "zor_functions_utility.def"
#undef ZOR_FUNCTION
#define ZOR_ACCESSOR(name, direction, type, attribute, selector) \
    v.push_back(make_export<&name>(#name, ZOR_ROBUST_STR(ZOR_ACCESSOR_PARAMS(direction, type, selector))));
#include "zor_accessors.def"
#undef ZOR_ACCESSOR
        // Declared one by one in ZOR.h, not in a table.
        v.push_back(make_export<&ZOR_init>("ZOR_init", "(ViRsrc resourceName, ViBoolean idQuery, ViBoolean reset, ViSession* vi)"));
        v.push_back(make_export<&ZOR_InitWithOptions>(
            "ZOR_InitWithOptions",
            "(ViRsrc resourceName, ViBoolean idQuery, ViBoolean resetDevice, ViConstString optionString, ViSession* newVi)"));
        v.push_back(make_export<&ZOR_close>("ZOR_close", "(ViSession vi)"));
#define ZOR_ROBUST_GENERIC(type, value)                                                                               \
    v.push_back(make_export<&ZOR_GetAttribute##type>(                                                                \
        "ZOR_GetAttribute" #type, "(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, " value ")")); \
    v.push_back(make_export<&ZOR_SetAttribute##type>(                                                                \
        "ZOR_SetAttribute" #type, "(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViX attributeValue)"));
        ZOR_ROBUST_GENERIC(ViInt32, "ViInt32* attributeValue")
        ZOR_ROBUST_GENERIC(ViReal64, "ViReal64* attributeValue")
        ZOR_ROBUST_GENERIC(ViBoolean, "ViBoolean* attributeValue")
        ZOR_ROBUST_GENERIC(ViSession, "ViSession* attributeValue")
        ZOR_ROBUST_GENERIC(ViString, "ViInt32 bufferSize, ViChar attributeValue[]")
#undef ZOR_ROBUST_GENERIC
        return v;
    }();
    return exports;
}

}  // namespace zor_robust
