#include "adapter/rep_cap.h"

#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

#include "support/logger.h"
#include "support/qvutil.h"

namespace qvdriver {

namespace {

using record_t = rep_cap_record_t;

// The grammar, matched by hand (a pattern matcher per call costs more than
// the rest of an attribute access):
//   single test     [\w!]+
//   range test      [\w!]+-[\w!]+
//   single, plain   ([a-zA-Z_]*)(\d+)
//   single, qual.   ([a-zA-Z_]*)!!([a-zA-Z_]*)(\d+)
//   range           single-single, both plain or both qualified
// where \w is [a-zA-Z0-9_]. A piece longer than rep_cap_max_piece_length
// matches nothing.
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_word_or_bang(char c) { return is_letter(c) || is_digit(c) || c == '!'; }

bool all_word_or_bang(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!is_word_or_bang(c)) return false;
    return true;
}

bool passes_single_test(std::string_view text) {
    return text.size() <= rep_cap_max_piece_length && all_word_or_bang(text);
}

bool passes_range_test(std::string_view text) {
    if (text.size() > rep_cap_max_piece_length) return false;
    const std::size_t dash = text.find('-');
    return dash != std::string_view::npos && all_word_or_bang(text.substr(0, dash)) &&
           all_word_or_bang(text.substr(dash + 1));
}

struct single_parts_t {
    std::string_view qualifier, name, digits;
};

// Letters, then digits to the end.
bool match_plain(std::string_view text, single_parts_t& parts) {
    std::size_t i = 0;
    while (i < text.size() && is_letter(text[i])) ++i;
    if (i == text.size()) return false;
    for (std::size_t j = i; j < text.size(); ++j)
        if (!is_digit(text[j])) return false;
    parts.qualifier = std::string_view();
    parts.name = text.substr(0, i);
    parts.digits = text.substr(i);
    return true;
}

// Letters, "!!", then a plain single.
bool match_qualified(std::string_view text, single_parts_t& parts) {
    std::size_t i = 0;
    while (i < text.size() && is_letter(text[i])) ++i;
    if (text.substr(i, 2) != "!!") return false;
    if (!match_plain(text.substr(i + 2), parts)) return false;
    parts.qualifier = text.substr(0, i);
    return true;
}

bool match_single(std::string_view text, single_parts_t& parts) {
    if (text.size() > rep_cap_max_piece_length) return false;
    return match_plain(text, parts) || match_qualified(text, parts);
}

// Both ends plain, or else both qualified.
bool match_range(std::string_view text, single_parts_t& from, single_parts_t& to) {
    if (text.size() > rep_cap_max_piece_length) return false;
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return false;
    const std::string_view left = text.substr(0, dash);
    const std::string_view right = text.substr(dash + 1);
    if (match_plain(left, from) && match_plain(right, to)) return true;
    return match_qualified(left, from) && match_qualified(right, to);
}

// Drops what "\s" matches (the six ASCII blanks). Done by hand because the
// library's matcher recurses per character of a match, and a long run of
// blanks would overflow the stack.
void remove_white_space(std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (c == '\0' || std::strchr(util::white_space, c) == nullptr) kept += c;
    }
    text.swap(kept);
}

// Pieces between separators at bracket depth 0; empty pieces are skipped and
// a last piece left inside unbalanced brackets is dropped.
std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::string piece;
    long long depth = 0;
    for (char c : text) {
        if (c == '[') ++depth;
        if (c == ']') --depth;
        if (c == separator && depth == 0) {
            if (!piece.empty()) pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece += c;
        }
    }
    if (depth == 0 && !piece.empty()) pieces.push_back(std::move(piece));
    return pieces;
}

record_t make_child(record_t::kind_t kind, std::string text) {
    record_t child;
    child.kind = kind;
    child.text = std::move(text);
    return child;
}

struct parse_context_t {
    std::uint64_t range_records = 0;  // singles made by ranges so far
    bool refused = false;             // the selector asks for too many records
};

void parse_single(record_t& record) {
    single_parts_t parts;
    if (match_single(record.text, parts)) {
        record.qualifier = std::string(parts.qualifier);
        record.name = std::string(parts.name);
        record.index = util::stoi(std::string(parts.digits));
    } else {
        record.kind = record_t::empty;
    }
}

// Turns a range into the list of its singles, or into an empty record when
// its ends do not fit together.
void expand_range(record_t& record, parse_context_t& context) {
    single_parts_t from_parts, to_parts;
    if (!match_range(record.text, from_parts, to_parts)) {
        record.kind = record_t::empty;
        return;
    }
    const std::string from_qualifier(from_parts.qualifier), from_name(from_parts.name);
    const std::string to_qualifier(to_parts.qualifier), to_name(to_parts.name);
    const std::int32_t from = util::stoi(std::string(from_parts.digits));
    const std::int32_t to = util::stoi(std::string(to_parts.digits));
    if (from_qualifier != to_qualifier || from_name != to_name || from > to) {
        record.kind = record_t::empty;
        return;
    }
    // Counted before anything is allocated; 64 bits hold any 32-bit span.
    const std::uint64_t count = static_cast<std::uint64_t>(static_cast<std::int64_t>(to) - from + 1);
    if (context.range_records + count > static_cast<std::uint64_t>(rep_cap_max_records)) {
        context.refused = true;
        return;
    }
    context.range_records += count;

    const std::string prefix = from_qualifier.empty() ? from_name : from_qualifier + "!!" + from_name;
    record.kind = record_t::list;
    record.children.reserve(static_cast<std::size_t>(count));
    // A 64-bit counter, so a range ending at INT32_MAX stops.
    for (std::int64_t i = from; i <= to; ++i) {
        record_t single = make_child(record_t::single, prefix + std::to_string(i));
        single.qualifier = from_qualifier;
        single.name = from_name;
        single.index = static_cast<std::int32_t>(i);
        record.children.push_back(std::move(single));
    }
}

void parse_record(record_t& record, parse_context_t& context) {
    if (context.refused) return;
    remove_white_space(record.text);
    record.children.clear();
    if (record.text.empty()) return;

    switch (record.kind) {
        case record_t::unresolved:
            if (passes_range_test(record.text)) {
                record.kind = record_t::range;
                parse_record(record, context);
            } else if (passes_single_test(record.text)) {
                record.kind = record_t::single;
                parse_record(record, context);
            }
            return;
        case record_t::single:
            parse_single(record);
            return;
        case record_t::compound:
            for (std::string& part : split(record.text, ':')) {
                record_t::kind_t kind = record_t::unresolved;
                if (part.front() == '[' && part.back() == ']') {
                    kind = record_t::list;
                } else if (passes_single_test(part)) {
                    kind = record_t::single;
                } else if (passes_range_test(part)) {
                    kind = record_t::range;
                }
                record.children.push_back(make_child(kind, std::move(part)));
            }
            break;
        case record_t::list:
            if (record.text.size() > 2) {
                for (std::string& element : split(record.text.substr(1, record.text.size() - 2), ',')) {
                    record_t::kind_t kind = record_t::compound;
                    if (passes_single_test(element)) {
                        kind = record_t::single;
                    } else if (passes_range_test(element)) {
                        kind = record_t::range;
                    }
                    record.children.push_back(make_child(kind, std::move(element)));
                }
            }
            break;
        case record_t::range:
            // The singles made here already hold what parsing their texts
            // would give them, so they are not parsed again.
            expand_range(record, context);
            return;
        case record_t::empty:
            return;
    }
    for (record_t& child : record.children) parse_record(child, context);
}

// Children first: a compound that is only a list becomes that list, and
// lists inside lists are flattened in place, keeping the order.
void normalise(record_t& record) {
    for (record_t& child : record.children) normalise(child);
    if (record.kind == record_t::compound && record.children.size() == 1 &&
        record.children.front().kind == record_t::list) {
        record_t only = std::move(record.children.front());
        record = std::move(only);
    }
    if (record.kind != record_t::list) return;
    bool nested = false;
    for (const record_t& child : record.children) nested = nested || child.kind == record_t::list;
    if (!nested) return;
    std::size_t flat_size = 0;
    for (const record_t& child : record.children) flat_size += child.kind == record_t::list ? child.children.size() : 1;
    std::vector<record_t> flat;
    flat.reserve(flat_size);
    for (record_t& child : record.children) {
        if (child.kind == record_t::list) {
            flat.insert(flat.end(), std::make_move_iterator(child.children.begin()),
                        std::make_move_iterator(child.children.end()));
        } else {
            flat.push_back(std::move(child));
        }
    }
    record.children.swap(flat);
}

constexpr std::uint64_t over_limit = static_cast<std::uint64_t>(rep_cap_max_records) + 1;

// How many records the product of a compound makes, capped at over_limit
// so that no product of parts can wrap around.
std::uint64_t product_count(const record_t& compound) {
    for (const record_t& part : compound.children) {
        if (part.kind == record_t::list && part.children.empty()) return 0;
    }
    std::uint64_t count = 1;
    for (const record_t& part : compound.children) {
        if (part.kind != record_t::list) continue;
        const std::uint64_t factor = part.children.size();
        count = count > over_limit / factor ? over_limit : count * factor;
    }
    return count;
}

// Every combination of the parts: the elements of each list part in turn,
// earlier parts varying fastest. Each record is built once, in place, with
// room for exactly its parts: a large product costs one allocation per
// record and no intermediate copies.
void append_product(const record_t& compound, std::uint64_t records, std::vector<record_t>& out) {
    for (std::uint64_t r = 0; r < records; ++r) {
        record_t& record = out.emplace_back();
        record.kind = record_t::compound;
        record.children.reserve(compound.children.size());
        std::uint64_t rest = r;  // mixed-radix digits of r, one per list part
        for (const record_t& part : compound.children) {
            if (part.kind != record_t::list) {
                record.children.push_back(part);
                continue;
            }
            const std::uint64_t size = part.children.size();
            record.children.push_back(part.children[static_cast<std::size_t>(rest % size)]);
            rest /= size;
        }
    }
}

constexpr std::uint64_t over_node_limit = static_cast<std::uint64_t>(rep_cap_max_nodes) + 1;

std::uint64_t saturated_add(std::uint64_t a, std::uint64_t b) { return a + b > over_node_limit ? over_node_limit : a + b; }
std::uint64_t saturated_mul(std::uint64_t a, std::uint64_t b) {
    return b != 0 && a > over_node_limit / b ? over_node_limit : a * b;
}

// Nodes of a record: itself and everything inside it.
std::uint64_t node_count(const record_t& record) {
    std::uint64_t count = 1;
    for (const record_t& child : record.children) count = saturated_add(count, node_count(child));
    return count;
}

// Nodes of all the records a compound's product makes: each record is a
// compound holding one element of every list part and every other part whole.
std::uint64_t product_nodes(const record_t& compound, std::uint64_t records) {
    if (records == 0) return 0;
    std::uint64_t fixed = 1;
    std::uint64_t varying = 0;
    for (const record_t& part : compound.children) {
        if (part.kind != record_t::list) {
            fixed = saturated_add(fixed, node_count(part));
            continue;
        }
        std::uint64_t elements = 0;
        for (const record_t& element : part.children) elements = saturated_add(elements, node_count(element));
        // Each element turns up in records / (elements of the list) records.
        varying = saturated_add(varying, saturated_mul(elements, records / part.children.size()));
    }
    return saturated_add(saturated_mul(fixed, records), varying);
}

// The records of a normalised root list, or false when they would be more
// than the limits allow (then nothing is added). Everything is counted
// before anything is built. Singles are moved out of `root`.
bool expand(record_t& root, std::vector<record_t>& out) {
    std::uint64_t total = 0;
    std::uint64_t nodes = 0;
    for (const record_t& child : root.children) {
        if (child.kind == record_t::single) {
            total += 1;
            nodes = saturated_add(nodes, 1);
        }
        if (child.kind == record_t::compound) {
            const std::uint64_t records = product_count(child);
            total += records;
            if (total <= static_cast<std::uint64_t>(rep_cap_max_records))
                nodes = saturated_add(nodes, product_nodes(child, records));
        }
        if (total > static_cast<std::uint64_t>(rep_cap_max_records)) return false;
        if (nodes > static_cast<std::uint64_t>(rep_cap_max_nodes)) return false;
    }
    out.reserve(static_cast<std::size_t>(total));
    for (record_t& child : root.children) {
        if (child.kind == record_t::single) out.push_back(std::move(child));
        if (child.kind == record_t::compound) append_product(child, product_count(child), out);
    }
    return true;
}

bool equal_ignoring_case(const std::string& a, const std::string& b);

bool known_capability(const std::string& name) {
    for (const char* known : {rep_cap_names::channel, rep_cap_names::trace, rep_cap_names::marker,
                              rep_cap_names::window, rep_cap_names::port})
        if (equal_ignoring_case(name, known)) return true;
    return false;
}

// The selector as quoted in a message: long ones are cut, so the message
// still fits an error record.
std::string quoted(const std::string& text) {
    constexpr std::size_t most = 60;
    return "\"" + (text.size() > most ? text.substr(0, most) + "..." : text) + "\"";
}

// Checks what a parsed, normalised selector names, before it is expanded:
// every name is a capability and no element was dropped as malformed.
status_t check_elements(const record_t& node, const std::string& selector, std::string& problem) {
    if (node.kind == record_t::single) {
        if (node.name.empty() || known_capability(node.name)) return zor_success;
        problem = "Selector " + quoted(selector) + ": " + quoted(node.name) +
                  " is not a capability; use Channel, Trace, Marker, Window or Port and a number (\"Channel2:Trace1\")";
        return zor_error_rep_cap_not_found;
    }
    if (node.kind != record_t::compound && node.kind != record_t::list) return zor_success;
    for (const record_t& child : node.children) {
        if (child.kind == record_t::empty || child.kind == record_t::unresolved) {
            problem = "Selector " + quoted(selector) + ": " + quoted(child.text) +
                      " names nothing; write a name and a number (\"Trace2\") or a range of one name "
                      "upward (\"Trace1-Trace3\")";
            return zor_error_badly_formed_selector;
        }
        const status_t status = check_elements(child, selector, problem);
        if (status != zor_success) return status;
    }
    return zor_success;
}

long long bracket_depth(const std::string& text) {
    long long depth = 0;
    long long deepest = 0;
    for (char c : text) {
        if (c == '[') ++depth;
        if (c == ']') --depth;
        if (depth > deepest) deepest = depth;
    }
    return deepest;
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

std::string join(const std::vector<record_t>& records, const char* separator) {
    std::string text;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0) text += separator;
        text += records[i].to_string();
    }
    return text;
}

// The last few selectors expanded on this thread: an accessor called again
// and again with the same selector expands it once. Only short selectors
// that expand quietly to a few records are kept (a number too long for 32
// bits writes a console line each time it is parsed).
struct cached_selector_t {
    std::string text;
    std::vector<record_t> records;
};
constexpr std::size_t cached_selectors = 4;
constexpr std::size_t cacheable_length = 64;
constexpr std::size_t cacheable_records = 16;
thread_local cached_selector_t selector_cache[cached_selectors];
thread_local std::size_t next_cache_slot = 0;

bool cacheable(const std::string& text) {
    if (text.size() > cacheable_length) return false;
    std::size_t digits = 0;
    for (char c : text) {
        digits = is_digit(c) ? digits + 1 : 0;
        if (digits > 9) return false;
    }
    return true;
}

}  // namespace

status_t rep_cap_record_t::find_index(const std::string& capability, std::int32_t& number) const {
    switch (kind) {
        case single:
            // A name holds only [a-zA-Z_] (the grammar lets nothing else
            // through), so comparing it whole and case-insensitively answers
            // exactly as matching it as a case-insensitive pattern would,
            // without compiling a pattern on every call.
            if (name.empty() || equal_ignoring_case(name, capability)) {
                number = index;
                return zor_success;
            }
            return zor_error_rep_cap_not_found;
        case compound:
            for (const rep_cap_record_t& child : children) {
                if (child.find_index(capability, number) == zor_success) return zor_success;
            }
            return zor_error_rep_cap_not_found;
        default:
            return zor_error_rep_cap_not_found;
    }
}

std::string rep_cap_record_t::to_string() const {
    switch (kind) {
        case single: return text;
        case compound: return join(children, ":");
        case list: return "[" + join(children, ",") + "]";
        case range: return join(children, "-");
        default: return std::string();
    }
}

void rep_cap_identifier_t::parse(const char* selector) {
    dirty = 1;
    root = rep_cap_record_t();
    if (selector != nullptr && *selector != '\0') {
        root.kind = rep_cap_record_t::list;
        const std::size_t length = std::strlen(selector);
        root.text.reserve(length + 2);  // one allocation at most, on every call's path
        root.text += '[';
        root.text.append(selector, length);
        root.text += ']';
    }
}

const std::vector<rep_cap_record_t>& rep_cap_identifier_t::records() {
    if (dirty == 0) return expanded;
    expanded.clear();
    status = 0;
    if (root.kind == rep_cap_record_t::empty) {
        expanded.push_back(root);
        return expanded;
    }
    const bool may_cache = cacheable(root.text);
    if (may_cache) {
        for (const cached_selector_t& entry : selector_cache) {
            if (!entry.text.empty() && entry.text == root.text) {
                expanded = entry.records;
                return expanded;
            }
        }
    }
    // The caller's text without the brackets parse() put around it.
    std::string selector = root.text;
    if (selector.size() >= 2 && selector.front() == '[' && selector.back() == ']') {
        selector = selector.substr(1, selector.size() - 2);
    }
    problem.clear();
    if (bracket_depth(selector) > rep_cap_max_depth) {
        problem = "Selector " + quoted(selector) + " nests brackets deeper than " + std::to_string(rep_cap_max_depth);
        console_printf("%sParse RepCapIdentifier error -> selector nests brackets deeper "
                       "than %d {%s}\n",
                       logger::console_tag(log_error),
                       static_cast<int>(rep_cap_max_depth), selector.c_str());
        status = zor_error_badly_formed_selector;
        return expanded;
    }
    rep_cap_record_t work = root;
    parse_context_t context;
    parse_record(work, context);
    if (!context.refused) {
        normalise(work);
        // The records are still made, as the grammar gives them; the status
        // says not to act on them.
        status = check_elements(work, selector, problem);
        context.refused = !expand(work, expanded);
        if (!context.refused && status == 0 && may_cache && expanded.size() <= cacheable_records) {
            cached_selector_t& slot = selector_cache[next_cache_slot++ % cached_selectors];
            slot.text = root.text;
            slot.records = expanded;
        }
    }
    if (context.refused) {
        expanded.clear();
        status = zor_error_badly_formed_selector;
        problem = "Selector " + quoted(selector) + " names more than " + std::to_string(rep_cap_max_records) +
                  " records";
        console_printf("%sParse RepCapIdentifier error -> selector expands to more than "
                       "%d records {%s}\n",
                       logger::console_tag(log_error),
                       static_cast<int>(rep_cap_max_records), selector.c_str());
    }
    return expanded;
}

}  // namespace qvdriver
