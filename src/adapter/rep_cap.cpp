#include "adapter/rep_cap.h"

#include <cstring>
#include <iterator>
#include <regex>
#include <utility>

#include "support/logger.h"
#include "support/qvutil.h"

namespace qvdriver {

namespace {

using record_t = rep_cap_record_t;

// The grammar, compiled once for the whole process.
struct patterns_t {
    std::regex single_test{R"(^[\w\!]+$)"};
    std::regex range_test{R"(^[\w\!]+-[\w\!]+$)"};
    std::regex single_plain{R"(^([a-zA-Z_]*)(\d+)$)"};
    std::regex single_qualified{R"(^([a-zA-Z_]*)\!\!([a-zA-Z_]*)(\d+)$)"};
    std::regex range_plain{R"(^(([a-zA-Z_]*)(\d+))-(([a-zA-Z_]*)(\d+))$)"};
    std::regex range_qualified{
        R"(^(([a-zA-Z_]*)\!\!([a-zA-Z_]*)(\d+))-(([a-zA-Z_]*)\!\!([a-zA-Z_]*)(\d+))$)"};
};

const patterns_t& patterns() {
    static const patterns_t compiled;
    return compiled;
}

bool passes(const std::string& text, const std::regex& pattern) {
    return text.size() <= rep_cap_max_piece_length && std::regex_match(text, pattern);
}

bool matches(const std::string& text, std::smatch& groups, const std::regex& pattern) {
    return text.size() <= rep_cap_max_piece_length && std::regex_match(text, groups, pattern);
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
    const patterns_t& p = patterns();
    std::smatch groups;
    if (matches(record.text, groups, p.single_plain)) {
        record.qualifier.clear();
        record.name = groups[1];
        record.index = util::stoi(groups[2]);
    } else if (matches(record.text, groups, p.single_qualified)) {
        record.qualifier = groups[1];
        record.name = groups[2];
        record.index = util::stoi(groups[3]);
    } else {
        record.kind = record_t::empty;
    }
}

// Turns a range into the list of its singles, or into an empty record when
// its ends do not fit together.
void expand_range(record_t& record, parse_context_t& context) {
    const patterns_t& p = patterns();
    std::smatch groups;
    std::string from_qualifier, from_name, to_qualifier, to_name;
    std::int32_t from = 0;
    std::int32_t to = 0;
    if (matches(record.text, groups, p.range_plain)) {
        from_name = groups[2];
        from = util::stoi(groups[3]);
        to_name = groups[5];
        to = util::stoi(groups[6]);
    } else if (matches(record.text, groups, p.range_qualified)) {
        from_qualifier = groups[2];
        from_name = groups[3];
        from = util::stoi(groups[4]);
        to_qualifier = groups[6];
        to_name = groups[7];
        to = util::stoi(groups[8]);
    } else {
        record.kind = record_t::empty;
        return;
    }
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
    const patterns_t& p = patterns();
    remove_white_space(record.text);
    record.children.clear();
    if (record.text.empty()) return;

    switch (record.kind) {
        case record_t::unresolved:
            if (passes(record.text, p.range_test)) {
                record.kind = record_t::range;
                parse_record(record, context);
            } else if (passes(record.text, p.single_test)) {
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
                } else if (passes(part, p.single_test)) {
                    kind = record_t::single;
                } else if (passes(part, p.range_test)) {
                    kind = record_t::range;
                }
                record.children.push_back(make_child(kind, std::move(part)));
            }
            break;
        case record_t::list:
            if (record.text.size() > 2) {
                for (std::string& element : split(record.text.substr(1, record.text.size() - 2), ',')) {
                    record_t::kind_t kind = record_t::compound;
                    if (passes(element, p.single_test)) {
                        kind = record_t::single;
                    } else if (passes(element, p.range_test)) {
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
    std::vector<record_t> flat;
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
// earlier parts varying fastest.
void append_product(const record_t& compound, std::vector<record_t>& out) {
    std::vector<record_t> partials(1, make_child(record_t::compound, std::string()));
    for (const record_t& part : compound.children) {
        if (part.kind == record_t::list) {
            std::vector<record_t> next;
            next.reserve(partials.size() * part.children.size());
            for (const record_t& element : part.children) {
                for (const record_t& partial : partials) {
                    next.push_back(partial);
                    next.back().children.push_back(element);
                }
            }
            partials.swap(next);
        } else {
            for (record_t& partial : partials) partial.children.push_back(part);
        }
    }
    out.insert(out.end(), std::make_move_iterator(partials.begin()), std::make_move_iterator(partials.end()));
}

// The records of a normalised root list, or false when they would be more
// than the limit (then nothing is added).
bool expand(const record_t& root, std::vector<record_t>& out) {
    std::uint64_t total = 0;
    for (const record_t& child : root.children) {
        if (child.kind == record_t::single) total += 1;
        if (child.kind == record_t::compound) total += product_count(child);
        if (total > static_cast<std::uint64_t>(rep_cap_max_records)) return false;
    }
    out.reserve(static_cast<std::size_t>(total));
    for (const record_t& child : root.children) {
        if (child.kind == record_t::single) out.push_back(child);
        // A product of nothing (an empty list part) makes no partials either.
        if (child.kind == record_t::compound && product_count(child) > 0) append_product(child, out);
    }
    return true;
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
        root.text = std::string("[") + selector + "]";
    }
}

const std::vector<rep_cap_record_t>& rep_cap_identifier_t::records() {
    if (dirty == 0) return expanded;
    expanded.clear();
    if (root.kind == rep_cap_record_t::empty) {
        expanded.push_back(root);
        return expanded;
    }
    // The caller's text without the brackets parse() put around it.
    std::string selector = root.text;
    if (selector.size() >= 2 && selector.front() == '[' && selector.back() == ']') {
        selector = selector.substr(1, selector.size() - 2);
    }
    if (bracket_depth(selector) > rep_cap_max_depth) {
        console_printf("%sParse RepCapIdentifier error -> selector nests brackets deeper "
                       "than %d {%s}\n",
                       logger::console_tag(log_error),
                       static_cast<int>(rep_cap_max_depth), selector.c_str());
        return expanded;
    }
    rep_cap_record_t work = root;
    parse_context_t context;
    parse_record(work, context);
    if (!context.refused) {
        normalise(work);
        context.refused = !expand(work, expanded);
    }
    if (context.refused) {
        expanded.clear();
        console_printf("%sParse RepCapIdentifier error -> selector expands to more than "
                       "%d records {%s}\n",
                       logger::console_tag(log_error),
                       static_cast<int>(rep_cap_max_records), selector.c_str());
    }
    return expanded;
}

}  // namespace qvdriver
