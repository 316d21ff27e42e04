// The common attribute model: one set command and one get command with the
// record's numbers in their %d fields, declared as data. Nearly every
// attribute is one of these; the few with their own algorithm derive from
// model_base_t directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "adapter/model_base.h"

namespace zor_adapter {

// What one attribute sends. `indices` names the numbers that fill the
// commands' %d fields, in order: C channel, T trace, W window, M marker,
// P port (for example "CT" for ":CALCulate%d:TRACe%d:FORMat %s"); K alone
// is the channel of commands that name one only when the selector does
// (":SENSe%d:CORRection:COLLect:CKIT..." goes out as ":SENSe:..." for an
// empty selector).
template <typename T>
struct scpi_row_t {
    const char* set_command;  // null for read-only attributes
    const char* get_command;
    const char* indices;
    const typename keyword_map_of<T>::type* keywords = nullptr;
};

// A record's numbers for a command's fields, held in place: a command costs
// no allocation for them. Holds up to five; more are dropped.
class indices_t {
public:
    indices_t() = default;
    indices_t(std::initializer_list<std::int32_t> values) {
        for (std::int32_t v : values) push_back(v);
    }
    void push_back(std::int32_t value) {
        if (count_ < capacity) values_[count_++] = value;
    }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    std::int32_t operator[](std::size_t i) const { return values_[i]; }
    const std::int32_t* begin() const { return values_; }
    const std::int32_t* end() const { return values_ + count_; }

private:
    static constexpr std::size_t capacity = 5;
    std::int32_t values_[capacity] = {};
    std::size_t count_ = 0;
};

// The numbers of the current record, in the order `indices` names them.
indices_t resolve_indices(model_t& model, const char* indices);
// True when `indices` is K and the record is empty: the command then goes
// out without its channel field.
bool channel_left_out(const model_t& model, const char* indices);
// `format` without its first %d field.
std::string without_first_field(const char* format);
// printf with up to three index numbers followed by the value's own field.
std::string format_command(const char* format, const indices_t& indices);
std::string format_command(const char* format, const indices_t& indices, double value);
std::string format_command(const char* format, const indices_t& indices, std::int32_t value);
std::string format_command(const char* format, const indices_t& indices, const std::string& value);

// The three exchanges through the session's command object.
status_t write_command(model_t& model, const std::string& command);
status_t query_value(model_t& model, const std::string& command, double& value);
status_t query_value(model_t& model, const std::string& command, std::int32_t& value);
status_t query_value(model_t& model, const std::string& command, bool& value);
status_t query_value(model_t& model, const std::string& command, std::string& value);

template <typename T>
class scpi_model_t : public model_base_t<T> {
public:
    using model_t::getter;
    using model_t::setter;

    const typename model_base_t<T>::map_type* keyword_map() const override {
        const auto* table = row().keywords;
        return table != nullptr ? table : this->keywords;
    }

    status_t setter(const T& value) override {
        const auto& s = row();
        if (s.set_command == nullptr) return model_t::setter(value);
        if (channel_left_out(*this, s.indices)) return set_with(without_first_field(s.set_command).c_str(), {}, value);
        return set_with(s.set_command, resolve_indices(*this, s.indices), value);
    }

    status_t getter(T& value) override {
        const auto& s = row();
        if (channel_left_out(*this, s.indices))
            return query_value(*this, format_command(without_first_field(s.get_command).c_str(), {}), value);
        return query_value(*this, format_command(s.get_command, resolve_indices(*this, s.indices)), value);
    }

protected:
    virtual const scpi_row_t<T>& row() const = 0;

private:
    status_t set_with(const char* command, const indices_t& numbers, const T& value) {
        if constexpr (std::is_same_v<T, bool>) {
            return write_command(*this, format_command(command, numbers, std::int32_t{value ? 1 : 0}));
        } else {
            return write_command(*this, format_command(command, numbers, value));
        }
    }
};

// A text the command takes as a SCPI string: it goes out between quotes
// with any quote inside doubled, so it stays one parameter whatever it
// holds. The reply is handed back as read.
class quoted_text_model_t : public scpi_model_t<std::string> {
public:
    using scpi_model_t<std::string>::getter;
    using scpi_model_t<std::string>::setter;
    status_t setter(const std::string& value) override;
};

}  // namespace zor_adapter

// Declares a model class from its row on top of `body`, a class derived from
// scpi_model_t<T> (itself for the plain rows, or one that changes a slot).
#define ZOR_SCPI_MODEL_ON(body, cls, T, set_command, get_command, indices, keywords)     \
    namespace zor_adapter {                                                              \
    class cls final : public body {                                                      \
    protected:                                                                           \
        const scpi_row_t<T>& row() const override {                                      \
            static const scpi_row_t<T> s{set_command, get_command, indices, keywords};   \
            return s;                                                                    \
        }                                                                                \
    };                                                                                   \
    }

// Declares a model class from its row: ZOR_SCPI_MODEL(class, T, set, get,
// indices, keyword table or nullptr).
#define ZOR_SCPI_MODEL(cls, T, set_command, get_command, indices, keywords) \
    ZOR_SCPI_MODEL_ON(scpi_model_t<T>, cls, T, set_command, get_command, indices, keywords)

// A second attribute that sends exactly what `model` sends: one class under
// both names.
#define ZOR_SAME_MODEL(alias, model) \
    namespace zor_adapter {          \
    using alias = model;             \
    }
