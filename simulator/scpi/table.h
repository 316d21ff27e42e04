// The SCPI engine's table: command patterns with handlers, declarative
// settings and their store, and the execution of one program message
// against a device.
//
// Adding a command is adding a row: a pattern such as
// "[:SENSe#]:FREQuency:STARt" with a set handler and/or a query handler, or
// a setting_t that stores one value per numeric-suffix tuple and answers
// its own query. The analyzer registers its commands per SCPI subsystem
// (simulator/commands/).
//
// Patterns
//   - nodes separated by ':', a leading ':' is optional;
//   - upper-case letters (and digits) before the first lower-case letter
//     form the short form: "FREQuency" accepts FREQ and FREQUENCY in any case;
//   - a trailing '#' accepts a numeric suffix ("SENSe#": SENS, SENS2,
//     SENSE12); a missing suffix means 1; the accepted range is set per node
//     name with command_table_t::set_suffix_range (default 1..2147483647),
//     outside it the header fails with -114;
//   - brackets make nodes optional: "[:SENSe#]:FREQuency:STARt",
//     ":SYSTem:ERRor[:NEXT]?". The '#' of an omitted node yields suffix 1, so
//     suffix positions are stable;
//   - common commands are single nodes: "*IDN?";
//   - a trailing '?' in a pattern is accepted and ignored (the set/query
//     handlers decide which forms exist).
// When several patterns match one header, the one registered first wins.
#pragma once

#include "format.h"
#include "parser.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace zorsim::scpi {

// ---------------------------------------------------------------- patterns

struct suffix_range_t {
    int min = 1;
    int max = 2147483647;
};

class pattern_t {
public:
    explicit pattern_t(std::string_view text);  // throws std::invalid_argument on a malformed pattern

    enum class match_t { none, match, suffix_out_of_range };
    // Matches the header nodes; fills `suffixes` (one per '#' node, 1 when
    // absent or omitted). `range_of` gives the range of a node's suffix.
    match_t match(const std::vector<std::string>& nodes, std::vector<int>& suffixes,
                  const std::function<suffix_range_t(const std::string& long_name)>& range_of) const;

    const std::string& text() const { return text_; }
    bool common() const { return common_; }
    std::size_t suffix_count() const { return suffix_count_; }

private:
    struct node_t {
        std::string long_name;   // upper case
        std::string short_name;  // upper case
        bool suffix = false;
        int group = -1;  // optional group, -1: mandatory
    };
    static bool match_node(const node_t& node, const std::string& word, std::vector<int>& suffixes, bool& out_of_range,
                           const std::function<suffix_range_t(const std::string&)>& range_of);
    bool match_from(std::size_t pi, std::size_t hi, const std::vector<std::string>& nodes, std::vector<int>& suffixes,
                    bool& out_of_range,
                    const std::function<suffix_range_t(const std::string&)>& range_of) const;

    std::string text_;
    std::vector<node_t> nodes_;
    bool common_ = false;
    std::size_t suffix_count_ = 0;
};

// ---------------------------------------------------------------- settings

class context_t;

// Real (double), integer (int64), boolean, choice (index into the choices,
// as int64) or string.
using setting_value_t = std::variant<double, std::int64_t, bool, std::string>;

enum class setting_kind_t { real, integer, boolean, choice, string };

// A stored value per numeric-suffix tuple of its pattern, with a default
// (restored by *RST), an optional range (outside it: -222, value kept), a
// set form and a query form. Query forms accept MINimum/MAXimum/DEFault as
// parameter for ranged numbers (DEFault for every kind); so do set forms.
struct setting_t {
    std::string pattern;
    std::string key;  // look-up name for settings_store_t; the pattern unless changed
    setting_kind_t kind = setting_kind_t::real;
    setting_value_t default_value = 0.0;
    // Optional default depending on the suffixes (e.g. per trace); overrides default_value.
    std::function<setting_value_t(const std::vector<int>& suffixes)> default_for;
    bool has_range = false;
    double min = 0;
    double max = 0;
    std::string unit;                  // real: base unit for suffixes ("HZ", "S", "DB", "DBM", "V"...)
    std::vector<std::string> choices;  // choice: mnemonics, e.g. "LINear"
    // Optional: called with the new (already range-checked) value before it
    // is stored; throw scpi_error (e.g. -221) to refuse it.
    std::function<void(context_t&, const setting_value_t&)> check;
    // Optional: called after a value was stored.
    std::function<void(context_t&)> changed;
    // Optional: called before the query form answers (a value the
    // instrument moves on its own, such as a tracking marker's position).
    std::function<void(context_t&)> refresh;
    // String settings only: accept unquoted character data as the text too
    // (titles that callers send bare).
    bool accepts_character_data = false;
    std::size_t suffix_count = 0;  // filled by command_table_t::add_setting

    setting_t& range(double lo, double hi) {
        has_range = true;
        min = lo;
        max = hi;
        return *this;
    }
    setting_t& with_unit(std::string base_unit) {
        unit = std::move(base_unit);
        return *this;
    }
    setting_t& with_key(std::string name) {
        key = std::move(name);
        return *this;
    }
    setting_t& with_check(std::function<void(context_t&, const setting_value_t&)> fn) {
        check = std::move(fn);
        return *this;
    }
    setting_t& on_change(std::function<void(context_t&)> fn) {
        changed = std::move(fn);
        return *this;
    }
    setting_t& refreshed_by(std::function<void(context_t&)> fn) {
        refresh = std::move(fn);
        return *this;
    }
    setting_t& accepting_character_data() {
        accepts_character_data = true;
        return *this;
    }
    setting_t& with_default_for(std::function<setting_value_t(const std::vector<int>&)> fn) {
        default_for = std::move(fn);
        return *this;
    }
};

setting_t real_setting(std::string pattern, double default_value);
setting_t integer_setting(std::string pattern, std::int64_t default_value);
setting_t boolean_setting(std::string pattern, bool default_value);
// `default_choice` is one of `choices` in any accepted form.
setting_t choice_setting(std::string pattern, std::vector<std::string> choices, std::string_view default_choice);
setting_t string_setting(std::string pattern, std::string default_value);

// ---------------------------------------------------------------- keys

// A setting named in code: its pattern (which is its look-up key) and the
// type of its value, so that a misspelt name or a value of the wrong kind
// does not build. A device declares its settings' keys once, then registers
// and reads the settings through them.
template <class T>
struct setting_key_t {
    using value_t = T;
    std::string_view pattern;
};
// A choice: its mnemonics in the order of the enumeration `E` its values take.
template <class E, std::size_t N>
struct choice_key_t {
    using value_t = E;
    std::string_view pattern;
    std::array<std::string_view, N> choices;
    std::string keyword(E value) const { return short_form(choices.at(static_cast<std::size_t>(value))); }
};
template <class E, class... Mnemonics>
constexpr choice_key_t<E, sizeof...(Mnemonics)> choice_key(std::string_view pattern, Mnemonics... choices) {
    return {pattern, {std::string_view(choices)...}};
}

inline setting_t real_setting(const setting_key_t<double>& key, double default_value) {
    return real_setting(std::string(key.pattern), default_value);
}
inline setting_t integer_setting(const setting_key_t<std::int64_t>& key, std::int64_t default_value) {
    return integer_setting(std::string(key.pattern), default_value);
}
inline setting_t boolean_setting(const setting_key_t<bool>& key, bool default_value) {
    return boolean_setting(std::string(key.pattern), default_value);
}
inline setting_t string_setting(const setting_key_t<std::string>& key, std::string default_value) {
    return string_setting(std::string(key.pattern), std::move(default_value));
}
template <class E, std::size_t N>
setting_t choice_setting(const choice_key_t<E, N>& key, typename choice_key_t<E, N>::value_t default_value) {
    return choice_setting(std::string(key.pattern), std::vector<std::string>(key.choices.begin(), key.choices.end()),
                          key.choices.at(static_cast<std::size_t>(default_value)));
}

class command_table_t;

// The values of a device's settings: only the ones changed from their
// defaults are kept, so reset() is *RST.
class settings_store_t {
public:
    explicit settings_store_t(const command_table_t& table) : table_(&table) {}

    // Suffix lists shorter than the pattern's are padded with 1.
    setting_value_t get(const setting_t& setting, const std::vector<int>& suffixes) const;
    void set(const setting_t& setting, const std::vector<int>& suffixes, setting_value_t value);
    // *RST: every value back to its default.
    void reset() { values_.clear(); }

    // By key: the stored value, or its default. Throws std::out_of_range
    // for a key the table does not have.
    template <class T>
    T get(const setting_key_t<T>& key, const std::vector<int>& suffixes = {}) const {
        return std::get<T>(get(find(key.pattern), suffixes));
    }
    template <class E, std::size_t N>
    E get(const choice_key_t<E, N>& key, const std::vector<int>& suffixes = {}) const {
        return static_cast<E>(std::get<std::int64_t>(get(find(key.pattern), suffixes)));
    }
    // Stores without range check or hooks.
    template <class T>
    void set(const setting_key_t<T>& key, const std::vector<int>& suffixes, typename setting_key_t<T>::value_t value) {
        set(find(key.pattern), suffixes, setting_value_t(std::move(value)));
    }
    template <class E, std::size_t N>
    void set(const choice_key_t<E, N>& key, const std::vector<int>& suffixes, typename choice_key_t<E, N>::value_t value) {
        set(find(key.pattern), suffixes, setting_value_t(static_cast<std::int64_t>(value)));
    }

private:
    const setting_t& find(std::string_view key) const;
    static std::vector<int> normalized(const std::vector<int>& suffixes);

    const command_table_t* table_;
    std::map<std::pair<const setting_t*, std::vector<int>>, setting_value_t> values_;
};

// ---------------------------------------------------------------- devices and handlers

// What a command table acts on. The analyzer's instrument derives from it.
class device_t {
public:
    explicit device_t(const command_table_t& table) : table_(&table), settings_(table) {}
    virtual ~device_t() = default;
    device_t(const device_t&) = delete;
    device_t& operator=(const device_t&) = delete;

    // Queues an error (and sets the matching status bits).
    virtual void report_error(int code, const std::string& message) = 0;

    const command_table_t& table() const { return *table_; }
    settings_store_t& settings() { return settings_; }
    const settings_store_t& settings() const { return settings_; }

private:
    const command_table_t* table_;
    settings_store_t settings_;
};

using handler_t = std::function<void(context_t&)>;

// What a handler sees of the unit it executes and how it answers.
class context_t {
public:
    context_t(device_t& device, const unit_t& unit, std::vector<int> suffixes)
        : device_(device), unit_(unit), suffixes_(std::move(suffixes)) {}

    device_t& device() const { return device_; }
    template <class T>
    T& device_as() const {
        return static_cast<T&>(device_);
    }
    settings_store_t& settings() const { return device_.settings(); }

    bool query() const { return unit_.header.query; }
    const header_t& header() const { return unit_.header; }
    const std::vector<int>& suffixes() const { return suffixes_; }
    int suffix(std::size_t index) const { return index < suffixes_.size() ? suffixes_[index] : 1; }
    const std::vector<param_t>& params() const { return unit_.params; }

    // Parameter access; each throws scpi_error: -109 missing parameter,
    // -104 data type error, -224 illegal parameter value, -131/-138 suffix.
    void expect_params(std::size_t min, std::size_t max) const;  // -109 below min, -108 above max
    const param_t& param(std::size_t index) const;                // -109 when absent
    // A number; a suffix is accepted when `unit` is given (base unit such as
    // "HZ", with SI prefixes) and the value is scaled to the base unit.
    double real_param(std::size_t index, std::string_view unit = {}) const;
    std::int64_t integer_param(std::size_t index) const;  // rounded
    bool boolean_param(std::size_t index) const;          // ON/OFF/1/0 (non-zero number: ON)
    std::size_t choice_param(std::size_t index, const std::vector<std::string>& choices) const;
    std::string string_param(std::size_t index) const;  // string data
    const std::string& block_param(std::size_t index) const;
    // True when the parameter is the character data MINimum / MAXimum / DEFault.
    bool is_word(std::size_t index, std::string_view mnemonic) const;

    // Answers: successive calls within one unit are joined by ','.
    void answer(std::string_view raw);
    // The same for a long answer built by the handler: taken over, not copied.
    void answer_owned(std::string&& raw);
    void answer_real(double value) { answer(format_real(value)); }
    void answer_integer(std::int64_t value) { answer(format_integer(value)); }
    void answer_boolean(bool value) { answer(format_boolean(value)); }
    void answer_string(std::string_view text) { answer(quote_string(text)); }
    void answer_block(std::string_view bytes) { answer(format_block(bytes)); }

    bool answered() const { return answered_; }
    const std::string& answer_text() const { return answer_; }
    std::string take_answer() { return std::move(answer_); }

private:
    device_t& device_;
    const unit_t& unit_;
    std::vector<int> suffixes_;
    std::string answer_;
    bool answered_ = false;
};

struct command_t {
    pattern_t pattern;
    handler_t set;    // empty: no set form (-113)
    handler_t query;  // empty: no query form (-113)
    const setting_t* setting = nullptr;
};

class command_table_t {
public:
    command_table_t();
    ~command_table_t();
    command_table_t(const command_table_t&) = delete;
    command_table_t& operator=(const command_table_t&) = delete;

    void add(std::string_view pattern, handler_t set, handler_t query);
    void add_command(std::string_view pattern, handler_t set);  // no query form
    void add_query(std::string_view pattern, handler_t query);  // no set form
    // Registers the setting's set and query forms; returns the stored setting.
    const setting_t& add_setting(setting_t setting);

    // Suffix range of the nodes with this name (any case, long form).
    void set_suffix_range(std::string_view node, int min, int max);
    suffix_range_t suffix_range(const std::string& long_name) const;

    const setting_t* find_setting(std::string_view key) const;
    const std::vector<std::unique_ptr<command_t>>& commands() const { return commands_; }

    struct lookup_t {
        const command_t* command = nullptr;  // null: none matched
        std::vector<int> suffixes;
        int error = 0;  // -113 undefined header or -114 suffix out of range when command is null
    };
    lookup_t find(const std::vector<std::string>& nodes) const;

private:
    std::vector<std::unique_ptr<command_t>> commands_;
    std::vector<std::unique_ptr<setting_t>> settings_;
    std::map<std::string, const setting_t*, std::less<>> settings_by_key_;
    std::map<std::string, suffix_range_t, std::less<>> suffix_ranges_;
};

// ---------------------------------------------------------------- execution

struct result_t {
    bool has_reply = false;
    std::string reply;  // the answers joined by ';', no terminator
};

// Executes one program message (terminator removed). Errors go to
// device.report_error. SCPI rules followed:
//   - a unit after ';' without leading ':' is first tried relative to the
//     previous unit's header path (its nodes but the last), then from the
//     root; common commands leave the path alone;
//   - a command error (-1xx: syntax, undefined header, parameter faults)
//     ends the processing of the whole message: the units after it are not
//     executed (IEEE 488.2 lets the parser discard the rest of the message
//     once it lost track). Other errors (-2xx execution, -3xx device,
//     -4xx query) end only their unit; the following units run;
//   - a query in error gives no answer; the answers of the others are kept.
result_t execute(const command_table_t& table, device_t& device, std::string_view message);

}  // namespace zorsim::scpi
