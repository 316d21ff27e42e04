// Base of every attribute model: one small object per accessor call that
// turns a typed get or set on one selector record into instrument commands.
// model_t is the face the attribute frame sees whatever the value type;
// model_base_t<T> adds the keyword map of T's kind.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "adapter/keyword_tables.h"
#include "adapter/rep_cap.h"
#include "support/status.h"

namespace qvdriver {
class session_scope_t;
}

namespace zor_adapter {

using qvdriver::status_t;
// The value types of the typed slots. "long" and "unsigned long" are the
// 32-bit accessor types on every platform; __int64 is 64 bits.
using long_t = std::int32_t;
using ulong_t = std::uint32_t;
using int64_t = std::int64_t;

// The type-name texts the frame compares with its accessor's type.
template <typename T>
struct value_type_name;
template <> struct value_type_name<double> { static constexpr const char* text = "double"; };
template <> struct value_type_name<bool> { static constexpr const char* text = "bool"; };
template <> struct value_type_name<long_t> { static constexpr const char* text = "long"; };
template <> struct value_type_name<ulong_t> { static constexpr const char* text = "unsigned long"; };
template <> struct value_type_name<unsigned char> { static constexpr const char* text = "unsigned char"; };
template <> struct value_type_name<std::string> {
    static constexpr const char* text =
        "class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> >";
};

class model_t {
public:
    std::uint32_t attribute_id = 0;
    std::string value_type_name;
    qvdriver::session_scope_t* session = nullptr;
    qvdriver::rep_cap_record_t rep_cap;

    explicit model_t(const char* type_name, qvdriver::session_scope_t* scope = nullptr);
    virtual ~model_t();
    model_t(const model_t&) = delete;
    model_t& operator=(const model_t&) = delete;

    // Typed slots; a model overrides those of its own value type. The
    // defaults print "NOT SUPPORTED" and return 0xBFFA0011.
    virtual status_t setter(const ulong_t& value);
    virtual status_t setter(const bool& value);
    virtual status_t setter(const double& value);
    virtual status_t setter(const int64_t& value);
    virtual status_t setter(const long_t& value);
    virtual status_t setter(const std::string& value);
    virtual status_t getter(ulong_t& value);
    virtual status_t getter(bool& value);
    virtual status_t getter(double& value);
    virtual status_t getter(int64_t& value);
    virtual status_t getter(long_t& value);
    virtual status_t getter(std::string& value);

    // Numbers of the current record; fall back on the instrument's active
    // selection. When the query for the active trace, channel or window
    // fails, these throw call_failed_t with the query's status (see
    // export_guard.h); ports and markers fall back on 1.
    std::int32_t port_index();
    std::int32_t marker_index();
    std::int32_t trace_index();
    std::int32_t channel_index();
    std::int32_t window_index();

protected:
    status_t not_supported(const char* operation, const char* argument) const;
    // The channel whose trace list holds `trace`; false when none does. A
    // failed query throws call_failed_t with its status.
    bool channel_of_trace(std::int32_t trace, std::int32_t& channel);
};

template <typename T>
struct keyword_map_of {
    using type = void;
};
template <> struct keyword_map_of<std::string> { using type = keyword_map_t; };
template <> struct keyword_map_of<bool> { using type = state_map_t; };
template <> struct keyword_map_of<long_t> { using type = number_map_t; };

template <typename T>
class model_base_t : public model_t {
public:
    using value_type = T;
    using map_type = typename keyword_map_of<T>::type;

    // Non-owning; local models of action functions point it at a table.
    const map_type* keywords = nullptr;

    model_base_t() : model_t(zor_adapter::value_type_name<T>::text) {}
    explicit model_base_t(qvdriver::session_scope_t* scope) : model_t(zor_adapter::value_type_name<T>::text, scope) {}

    virtual const map_type* keyword_map() const { return keywords; }

    // Keyword stored under exactly `value`; null without a map or entry.
    const std::string* keyword_for(std::int32_t value) const {
        if constexpr (std::is_same_v<T, std::string>) {
            const map_type* map = keyword_map();
            if (map == nullptr) return nullptr;
            auto found = map->find(value);
            return found == map->end() ? nullptr : &found->second;
        } else {
            (void)value;
            return nullptr;
        }
    }

    // Key of the first entry, in ascending key order, whose keyword begins
    // with `reply` (case-sensitive): the instrument answers in short form.
    const std::int32_t* value_for(const std::string& reply) const {
        if constexpr (std::is_same_v<T, std::string>) {
            const map_type* map = keyword_map();
            if (map == nullptr) return nullptr;
            for (const auto& entry : *map)
                if (reply.size() <= entry.second.size() && entry.second.compare(0, reply.size(), reply) == 0)
                    return &entry.first;
            return nullptr;
        } else {
            (void)reply;
            return nullptr;
        }
    }
};

}  // namespace zor_adapter
