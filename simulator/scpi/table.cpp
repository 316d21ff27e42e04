// Command patterns, the command table, declarative settings and the
// execution of a program message.
#include "table.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace zorsim::scpi {

namespace {

char to_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = to_upper(c);
    return out;
}

bool is_alnum(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

// ---------------------------------------------------------------- pattern_t

pattern_t::pattern_t(std::string_view text) : text_(text) {
    std::string_view t = text;
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (!t.empty() && t.back() == '?') t.remove_suffix(1);
    if (t.empty()) throw std::invalid_argument("empty SCPI pattern");
    if (t[0] == '*') {
        for (std::size_t i = 1; i < t.size(); ++i)
            if (!is_alnum(t[i])) throw std::invalid_argument("malformed SCPI pattern: " + text_);
        common_ = true;
        nodes_.push_back(node_t{upper(t), upper(t), false, -1});
        return;
    }
    int group = -1;
    int groups = 0;
    std::size_t i = 0;
    while (i < t.size()) {
        char c = t[i];
        if (c == '[') {
            if (group >= 0) throw std::invalid_argument("nested brackets in SCPI pattern: " + text_);
            group = groups++;
            ++i;
        } else if (c == ']') {
            if (group < 0) throw std::invalid_argument("unbalanced brackets in SCPI pattern: " + text_);
            group = -1;
            ++i;
        } else if (c == ':') {
            ++i;
        } else if (is_alnum(c)) {
            std::size_t s = i;
            while (i < t.size() && is_alnum(t[i])) ++i;
            node_t node;
            std::string_view name = t.substr(s, i - s);
            node.long_name = upper(name);
            node.short_name = short_form(name);
            if (node.short_name.empty()) throw std::invalid_argument("node without short form in SCPI pattern: " + text_);
            if (i < t.size() && t[i] == '#') {
                node.suffix = true;
                ++suffix_count_;
                ++i;
            }
            node.group = group;
            nodes_.push_back(std::move(node));
        } else {
            throw std::invalid_argument("malformed SCPI pattern: " + text_);
        }
    }
    if (group >= 0) throw std::invalid_argument("unbalanced brackets in SCPI pattern: " + text_);
    if (nodes_.empty()) throw std::invalid_argument("empty SCPI pattern: " + text_);
}

pattern_t::match_t pattern_t::match(const std::vector<std::string>& nodes, std::vector<int>& suffixes,
                                    const std::function<suffix_range_t(const std::string&)>& range_of) const {
    suffixes.clear();
    if (common_) {
        return nodes.size() == 1 && nodes[0] == nodes_[0].long_name ? match_t::match : match_t::none;
    }
    if (!nodes.empty() && !nodes[0].empty() && nodes[0][0] == '*') return match_t::none;
    bool out_of_range = false;
    if (!match_from(0, 0, nodes, suffixes, out_of_range, range_of)) {
        suffixes.clear();
        return match_t::none;
    }
    return out_of_range ? match_t::suffix_out_of_range : match_t::match;
}

bool pattern_t::match_node(const node_t& n, const std::string& word, std::vector<int>& suffixes, bool& out_of_range,
                           const std::function<suffix_range_t(const std::string&)>& range_of) {
    if (!n.suffix) return word == n.long_name || word == n.short_name;
    std::size_t d = word.size();
    while (d > 0 && word[d - 1] >= '0' && word[d - 1] <= '9') --d;
    if (word.compare(0, d, n.long_name) != 0 && word.compare(0, d, n.short_name) != 0) return false;
    int value = 1;
    if (d < word.size()) {
        long long v = 0;
        bool overflow = false;
        for (std::size_t k = d; k < word.size() && !overflow; ++k) {
            v = v * 10 + (word[k] - '0');
            overflow = v > std::numeric_limits<int>::max();
        }
        suffix_range_t r = range_of(n.long_name);
        if (overflow || v < r.min || v > r.max) out_of_range = true;
        value = overflow ? std::numeric_limits<int>::max() : static_cast<int>(v);
    }
    suffixes.push_back(value);
    return true;
}

bool pattern_t::match_from(std::size_t pi, std::size_t hi, const std::vector<std::string>& nodes,
                           std::vector<int>& suffixes, bool& out_of_range,
                           const std::function<suffix_range_t(const std::string&)>& range_of) const {
    if (pi == nodes_.size()) return hi == nodes.size();
    const std::size_t saved = suffixes.size();
    const bool saved_range = out_of_range;
    auto restore = [&] {
        suffixes.resize(saved);
        out_of_range = saved_range;
    };
    const node_t& pn = nodes_[pi];
    if (pn.group >= 0) {
        std::size_t end = pi;
        while (end < nodes_.size() && nodes_[end].group == pn.group) ++end;
        // First with the optional nodes present...
        bool ok = true;
        std::size_t h = hi;
        for (std::size_t k = pi; k < end; ++k, ++h) {
            if (h >= nodes.size() || !match_node(nodes_[k], nodes[h], suffixes, out_of_range, range_of)) {
                ok = false;
                break;
            }
        }
        if (ok && match_from(end, h, nodes, suffixes, out_of_range, range_of)) return true;
        restore();
        // ...then without them: each omitted '#' node counts as suffix 1.
        for (std::size_t k = pi; k < end; ++k)
            if (nodes_[k].suffix) suffixes.push_back(1);
        if (match_from(end, hi, nodes, suffixes, out_of_range, range_of)) return true;
        restore();
        return false;
    }
    if (hi >= nodes.size() || !match_node(pn, nodes[hi], suffixes, out_of_range, range_of)) {
        restore();
        return false;
    }
    if (match_from(pi + 1, hi + 1, nodes, suffixes, out_of_range, range_of)) return true;
    restore();
    return false;
}

// ---------------------------------------------------------------- settings

namespace {

setting_t make_setting(std::string pattern, setting_kind_t kind, setting_value_t def) {
    setting_t s;
    s.key = pattern;
    s.pattern = std::move(pattern);
    s.kind = kind;
    s.default_value = std::move(def);
    return s;
}

}  // namespace

setting_t real_setting(std::string pattern, double default_value) {
    return make_setting(std::move(pattern), setting_kind_t::real, default_value);
}

setting_t integer_setting(std::string pattern, std::int64_t default_value) {
    return make_setting(std::move(pattern), setting_kind_t::integer, default_value);
}

setting_t boolean_setting(std::string pattern, bool default_value) {
    return make_setting(std::move(pattern), setting_kind_t::boolean, default_value);
}

setting_t choice_setting(std::string pattern, std::vector<std::string> choices, std::string_view default_choice) {
    std::int64_t index = -1;
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (mnemonic_matches(choices[i], default_choice)) {
            index = static_cast<std::int64_t>(i);
            break;
        }
    if (index < 0) throw std::invalid_argument("default choice not among the choices of " + pattern);
    setting_t s = make_setting(std::move(pattern), setting_kind_t::choice, index);
    s.choices = std::move(choices);
    return s;
}

setting_t string_setting(std::string pattern, std::string default_value) {
    return make_setting(std::move(pattern), setting_kind_t::string, std::move(default_value));
}

std::vector<int> settings_store_t::normalized(const std::vector<int>& suffixes) {
    std::vector<int> s = suffixes;
    // Trailing 1s are dropped so that {} and {1} and {1,1} name one value.
    while (!s.empty() && s.back() == 1) s.pop_back();
    return s;
}

setting_value_t settings_store_t::get(const setting_t& setting, const std::vector<int>& suffixes) const {
    auto it = values_.find({&setting, normalized(suffixes)});
    if (it != values_.end()) return it->second;
    if (setting.default_for) {
        std::vector<int> padded = suffixes;
        while (padded.size() < setting.suffix_count) padded.push_back(1);
        return setting.default_for(padded);
    }
    return setting.default_value;
}

void settings_store_t::set(const setting_t& setting, const std::vector<int>& suffixes, setting_value_t value) {
    values_[{&setting, normalized(suffixes)}] = std::move(value);
}

const setting_t& settings_store_t::find(std::string_view key) const {
    const setting_t* s = table_->find_setting(key);
    if (!s) throw std::out_of_range("no setting " + std::string(key));
    return *s;
}



// ---------------------------------------------------------------- context_t

namespace {

// Multiplier of an SI prefix before a base unit; 0 when unknown.
double prefix_multiplier(std::string_view prefix, std::string_view base) {
    if (prefix.empty()) return 1;
    // SCPI: "MHZ" and "MOHM" are mega (nobody means millihertz), elsewhere M is milli.
    if (prefix == "M") return (base == "HZ" || base == "OHM") ? 1e6 : 1e-3;
    if (prefix == "MA") return 1e6;
    if (prefix == "EX") return 1e18;
    if (prefix == "PE") return 1e15;
    if (prefix == "T") return 1e12;
    if (prefix == "G") return 1e9;
    if (prefix == "K") return 1e3;
    if (prefix == "U") return 1e-6;
    if (prefix == "N") return 1e-9;
    if (prefix == "P") return 1e-12;
    if (prefix == "F") return 1e-15;
    if (prefix == "A") return 1e-18;
    return 0;
}

}  // namespace

void context_t::expect_params(std::size_t min, std::size_t max) const {
    if (params().size() < min) throw scpi_error(-109);
    if (params().size() > max) throw scpi_error(-108);
}

const param_t& context_t::param(std::size_t index) const {
    if (index >= params().size()) throw scpi_error(-109);
    return params()[index];
}

double context_t::real_param(std::size_t index, std::string_view unit) const {
    const param_t& p = param(index);
    if (p.type == param_type_t::non_decimal) return p.value;
    if (p.type != param_type_t::decimal) throw scpi_error(-104);
    if (p.suffix.empty()) return p.value;
    if (unit.empty()) throw scpi_error(-138);
    std::string base = upper(unit);
    if (p.suffix.size() < base.size() || p.suffix.compare(p.suffix.size() - base.size(), base.size(), base) != 0)
        throw scpi_error(-131);
    double m = prefix_multiplier(std::string_view(p.suffix).substr(0, p.suffix.size() - base.size()), base);
    if (m == 0) throw scpi_error(-131);
    return p.value * m;
}

std::int64_t context_t::integer_param(std::size_t index) const {
    const param_t& p = param(index);
    if (p.type != param_type_t::decimal && p.type != param_type_t::non_decimal) throw scpi_error(-104);
    if (!p.suffix.empty()) throw scpi_error(-138);
    double r = std::round(p.value);
    if (!(r >= -9.2e18 && r <= 9.2e18)) throw scpi_error(-222);
    return static_cast<std::int64_t>(r);
}

bool context_t::boolean_param(std::size_t index) const {
    const param_t& p = param(index);
    if (p.type == param_type_t::decimal || p.type == param_type_t::non_decimal) {
        if (!p.suffix.empty()) throw scpi_error(-138);
        return std::round(p.value) != 0;
    }
    if (p.type != param_type_t::character) throw scpi_error(-104);
    std::string w = upper(p.text);
    if (w == "ON") return true;
    if (w == "OFF") return false;
    throw scpi_error(-224);
}

std::size_t context_t::choice_param(std::size_t index, const std::vector<std::string>& choices) const {
    const param_t& p = param(index);
    if (p.type != param_type_t::character) throw scpi_error(-104);
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (mnemonic_matches(choices[i], p.text)) return i;
    throw scpi_error(-224);
}

std::string context_t::string_param(std::size_t index) const {
    const param_t& p = param(index);
    if (p.type != param_type_t::string) throw scpi_error(-104);
    return p.text;
}

const std::string& context_t::block_param(std::size_t index) const {
    const param_t& p = param(index);
    if (p.type != param_type_t::block) throw scpi_error(-104);
    return p.text;
}

bool context_t::is_word(std::size_t index, std::string_view mnemonic) const {
    if (index >= params().size()) return false;
    const param_t& p = params()[index];
    return p.type == param_type_t::character && mnemonic_matches(mnemonic, p.text);
}

void context_t::answer(std::string_view raw) {
    if (answered_) answer_ += ',';
    answer_.append(raw.data(), raw.size());
    answered_ = true;
}

void context_t::answer_owned(std::string&& raw) {
    if (answered_) return answer(raw);
    answer_ = std::move(raw);
    answered_ = true;
}

// ---------------------------------------------------------------- command_table_t

command_table_t::command_table_t() = default;
command_table_t::~command_table_t() = default;

void command_table_t::add(std::string_view pattern, handler_t set, handler_t query) {
    commands_.push_back(std::make_unique<command_t>(command_t{pattern_t(pattern), std::move(set), std::move(query)}));
}

void command_table_t::add_command(std::string_view pattern, handler_t set) { add(pattern, std::move(set), nullptr); }

void command_table_t::add_query(std::string_view pattern, handler_t query) { add(pattern, nullptr, std::move(query)); }

namespace {

// The value a setting's set form (or MIN/MAX/DEF query) names, range-checked.
setting_value_t setting_value_from(context_t& ctx, const setting_t& s, std::size_t index) {
    const bool ranged_number = s.has_range && (s.kind == setting_kind_t::real || s.kind == setting_kind_t::integer);
    if (ctx.is_word(index, "DEFault")) {
        return s.default_for ? s.default_for(ctx.suffixes()) : s.default_value;
    }
    if (ranged_number && ctx.is_word(index, "MINimum")) {
        if (s.kind == setting_kind_t::real) return s.min;
        return static_cast<std::int64_t>(std::llround(s.min));
    }
    if (ranged_number && ctx.is_word(index, "MAXimum")) {
        if (s.kind == setting_kind_t::real) return s.max;
        return static_cast<std::int64_t>(std::llround(s.max));
    }
    switch (s.kind) {
    case setting_kind_t::real: {
        if (ctx.param(index).type == param_type_t::character) throw scpi_error(-224);
        double v = ctx.real_param(index, s.unit);
        if (s.has_range && (!(v >= s.min) || !(v <= s.max))) throw scpi_error(-222);
        return v;
    }
    case setting_kind_t::integer: {
        if (ctx.param(index).type == param_type_t::character) throw scpi_error(-224);
        std::int64_t v = ctx.integer_param(index);
        if (s.has_range && (static_cast<double>(v) < s.min || static_cast<double>(v) > s.max)) throw scpi_error(-222);
        return v;
    }
    case setting_kind_t::boolean:
        return ctx.boolean_param(index);
    case setting_kind_t::choice:
        return static_cast<std::int64_t>(ctx.choice_param(index, s.choices));
    case setting_kind_t::string:
        if (s.accepts_character_data && ctx.param(index).type == param_type_t::character) return ctx.param(index).text;
        return ctx.string_param(index);
    }
    throw scpi_error(-300);
}

void answer_setting_value(context_t& ctx, const setting_t& s, const setting_value_t& v) {
    switch (s.kind) {
    case setting_kind_t::real: ctx.answer_real(std::get<double>(v)); break;
    case setting_kind_t::integer: ctx.answer_integer(std::get<std::int64_t>(v)); break;
    case setting_kind_t::boolean: ctx.answer_boolean(std::get<bool>(v)); break;
    case setting_kind_t::choice:
        ctx.answer(short_form(s.choices.at(static_cast<std::size_t>(std::get<std::int64_t>(v)))));
        break;
    case setting_kind_t::string: ctx.answer_string(std::get<std::string>(v)); break;
    }
}

}  // namespace

const setting_t& command_table_t::add_setting(setting_t setting) {
    if (setting.key.empty()) setting.key = setting.pattern;
    setting.suffix_count = pattern_t(setting.pattern).suffix_count();
    if (settings_by_key_.count(setting.key)) throw std::invalid_argument("duplicate setting " + setting.key);
    settings_.push_back(std::make_unique<setting_t>(std::move(setting)));
    const setting_t* s = settings_.back().get();
    settings_by_key_.emplace(s->key, s);
    handler_t set = [s](context_t& ctx) {
        ctx.expect_params(1, 1);
        setting_value_t v = setting_value_from(ctx, *s, 0);
        if (s->check) s->check(ctx, v);
        ctx.settings().set(*s, ctx.suffixes(), std::move(v));
        if (s->changed) s->changed(ctx);
    };
    handler_t query = [s](context_t& ctx) {
        ctx.expect_params(0, 1);
        if (ctx.params().empty()) {
            if (s->refresh) s->refresh(ctx);
            answer_setting_value(ctx, *s, ctx.settings().get(*s, ctx.suffixes()));
            return;
        }
        const bool ranged_number =
            s->has_range && (s->kind == setting_kind_t::real || s->kind == setting_kind_t::integer);
        if (!ctx.is_word(0, "DEFault") &&
            !(ranged_number && (ctx.is_word(0, "MINimum") || ctx.is_word(0, "MAXimum")))) {
            throw scpi_error(ctx.params()[0].type == param_type_t::character ? -224 : -108);
        }
        answer_setting_value(ctx, *s, setting_value_from(ctx, *s, 0));
    };
    add(s->pattern, std::move(set), std::move(query));
    commands_.back()->setting = s;
    return *s;
}

void command_table_t::set_suffix_range(std::string_view node, int min, int max) {
    suffix_ranges_[upper(node)] = suffix_range_t{min, max};
}

suffix_range_t command_table_t::suffix_range(const std::string& long_name) const {
    auto it = suffix_ranges_.find(long_name);
    return it == suffix_ranges_.end() ? suffix_range_t{} : it->second;
}

const setting_t* command_table_t::find_setting(std::string_view key) const {
    auto it = settings_by_key_.find(key);
    return it == settings_by_key_.end() ? nullptr : it->second;
}

command_table_t::lookup_t command_table_t::find(const std::vector<std::string>& nodes) const {
    lookup_t result;
    result.error = -113;
    auto range_of = [this](const std::string& name) { return suffix_range(name); };
    std::vector<int> suffixes;
    for (const auto& c : commands_) {
        auto m = c->pattern.match(nodes, suffixes, range_of);
        if (m == pattern_t::match_t::match) {
            result.command = c.get();
            result.suffixes = suffixes;
            result.error = 0;
            return result;
        }
        if (m == pattern_t::match_t::suffix_out_of_range) result.error = -114;
    }
    return result;
}

// ---------------------------------------------------------------- execute

result_t execute(const command_table_t& table, device_t& device, std::string_view message) {
    result_t result;
    std::vector<std::string> answers;
    std::vector<std::string> path;  // nodes of the previous header but its last
    std::size_t pos = 0;
    while (pos < message.size()) {
        unit_t unit;
        try {
            if (!parse_unit(message, pos, unit)) continue;
        } catch (const scpi_error& e) {
            device.report_error(e.code(), e.message());
            break;  // command error: the rest of the message is discarded
        }
        const header_t& h = unit.header;
        command_table_t::lookup_t found;
        std::vector<std::string> used;  // the full header nodes that matched
        if (h.common) {
            found = table.find(h.nodes);
        } else {
            if (!h.absolute && !path.empty()) {
                used = path;
                used.insert(used.end(), h.nodes.begin(), h.nodes.end());
                found = table.find(used);
            }
            if (!found.command) {
                command_table_t::lookup_t from_root = table.find(h.nodes);
                if (from_root.command || found.error != -114) found = std::move(from_root);
                used = h.nodes;
            }
            path.clear();
            if (found.command) path.assign(used.begin(), used.end() - 1);
        }
        if (!found.command) {
            device.report_error(found.error, error_message(found.error));
            break;
        }
        const handler_t& handler = h.query ? found.command->query : found.command->set;
        if (!handler) {
            device.report_error(-113, error_message(-113));
            break;
        }
        context_t ctx(device, unit, std::move(found.suffixes));
        try {
            handler(ctx);
        } catch (const scpi_error& e) {
            device.report_error(e.code(), e.message());
            if (e.code() <= -100 && e.code() >= -199) break;
            continue;
        } catch (const std::exception&) {
            device.report_error(-300, error_message(-300));
            continue;
        }
        if (h.query && ctx.answered()) answers.push_back(ctx.take_answer());
    }
    if (answers.size() == 1) {  // long replies are mostly alone: no copy
        result.has_reply = true;
        result.reply = std::move(answers.front());
    } else if (!answers.empty()) {
        result.has_reply = true;
        for (std::size_t i = 0; i < answers.size(); ++i) {
            if (i) result.reply += ';';
            result.reply += answers[i];
        }
    }
    return result;
}

}  // namespace zorsim::scpi
