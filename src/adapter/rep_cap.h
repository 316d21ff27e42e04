// Repeated-capability selectors: the texts ("Channel1-Channel2:[Trace1,Trace2]",
// "Win!!Trace3", "1-3") that name the channels, traces, markers, windows or
// ports an operation addresses, expanded into the ordered records the
// operation is performed on, one record at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/status.h"

namespace qvdriver {

// Most records one selector may expand to. A larger selector is refused
// whole (no record, one console line) rather than exhausting memory.
constexpr std::int32_t rep_cap_max_records = 65536;
// Deepest bracket nesting a selector may use; deeper ones are refused the
// same way, since parsing recurses once per level.
constexpr std::int32_t rep_cap_max_depth = 32;
// Most record nodes (records and the parts inside them, at every depth) one
// selector may expand to: nested lists copied into every record of a product
// count here, so no selector can take more than a bounded amount of memory.
constexpr std::int64_t rep_cap_max_nodes = 4 * static_cast<std::int64_t>(rep_cap_max_records);
// Longest identifier or range the grammar is tried on; a longer piece
// matches nothing.
constexpr std::size_t rep_cap_max_piece_length = 256;

// The capabilities a selector can name: a name is one of these (compared
// without regard to case) or none at all, a bare number naming any.
namespace rep_cap_names {
constexpr const char* channel = "Channel";
constexpr const char* trace = "Trace";
constexpr const char* marker = "Marker";
constexpr const char* window = "Window";
constexpr const char* port = "Port";
}  // namespace rep_cap_names

// One node of a parsed selector. Copied and assigned deeply.
struct rep_cap_record_t {
    enum kind_t : std::uint32_t { empty = 0, unresolved = 1, single = 2, compound = 3, list = 4, range = 5 };

    kind_t kind = empty;
    std::string text;                        // source text of the node
    std::vector<rep_cap_record_t> children;  // parts of a compound, elements of a list
    std::string name;                        // single: letters before the number (may be empty)
    std::string qualifier;                   // single: letters before "!!", else empty
    std::int32_t index = 0;                  // single: the number

    // 0 with `number` set, or zor_error_rep_cap_not_found (number untouched)
    // when the record does not name `capability`. A single record with no
    // name answers every capability.
    status_t find_index(const std::string& capability, std::int32_t& number) const;
    // Selector text for console messages.
    std::string to_string() const;
};

// A parsed selector: parse() keeps the text, records() analyses it.
struct rep_cap_identifier_t {
    std::uint32_t dirty = 0;                 // set by parse; records() rebuilds while set
    rep_cap_record_t root;                   // the whole selector
    std::vector<rep_cap_record_t> expanded;  // what records() hands back
    // Set by records(): 0, or the reason to act on none of the records:
    // zor_error_rep_cap_not_found when a name is no capability ("Chanel2"),
    // zor_error_badly_formed_selector when the selector was refused (too
    // many records, too deep) or an element was dropped as malformed
    // ("Trace3-Trace1", "Trace1.5", "garbage!"). Acting on the rest would
    // address the active channel or trace, or fewer than named, and pass.
    status_t status = 0;
    // What is wrong and how to write it, for the caller's error record;
    // empty when status is 0.
    std::string problem;

    // A null or empty selector makes one empty record; any other text S is
    // kept as the list "[" + S + "]".
    void parse(const char* selector);
    // The records to act on, in order; empty when the operation is to be
    // performed zero times.
    const std::vector<rep_cap_record_t>& records();
};

}  // namespace qvdriver
