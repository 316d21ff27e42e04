#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "adapter/rep_cap.h"
#include "support/status.h"

using namespace qvdriver;
using record_t = rep_cap_record_t;

// Every allocation of the program is counted, so a test can tell that a
// refused selector made none of the records it asked for. ThreadSanitizer's
// runtime defines operator new itself: there the count stays 0 and only the
// other builds check memory.
#if defined(__SANITIZE_THREAD__)
#define ZOR_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZOR_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef ZOR_COUNT_ALLOCATIONS
#define ZOR_COUNT_ALLOCATIONS 1
#endif
namespace {
std::atomic<std::size_t> allocated_bytes{0};
}
#if ZOR_COUNT_ALLOCATIONS
void* operator new(std::size_t size) {
    allocated_bytes += size;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// The replacement pairs malloc with free; GCC cannot see that across inlining.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

namespace {

struct outcome_t {
    std::vector<std::string> texts;  // to_string of every record
    std::string console;
};

outcome_t expand(const std::string& selector) {
    rep_cap_identifier_t id;
    id.parse(selector.c_str());
    outcome_t outcome;
    testing::internal::CaptureStdout();
    for (const record_t& record : id.records()) outcome.texts.push_back(record.to_string());
    outcome.console = testing::internal::GetCapturedStdout();
    return outcome;
}

record_t only_record(const char* selector) {
    rep_cap_identifier_t id;
    id.parse(selector);
    testing::internal::CaptureStdout();
    const std::vector<record_t> records = id.records();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(records.size(), 1u) << selector;
    return records.empty() ? record_t() : records.front();
}

std::size_t lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

std::string repeat(const std::string& piece, std::size_t times, const std::string& separator) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += (i ? separator : "") + piece;
    return text;
}

struct expansion_case {
    const char* selector;
    std::vector<std::string> texts;
    const char* console;  // part of the single console line, or null for silence
};

void check_expansions(const std::vector<expansion_case>& cases) {
    for (const auto& c : cases) {
        const outcome_t outcome = expand(c.selector);
        EXPECT_EQ(outcome.texts, c.texts) << "{" << c.selector << "}";
        if (c.console == nullptr) {
            EXPECT_EQ(outcome.console, "") << c.selector;
        } else {
            EXPECT_NE(outcome.console.find(c.console), std::string::npos) << outcome.console;
            EXPECT_EQ(lines(outcome.console), 1u) << outcome.console;
        }
    }
}

}  // namespace

TEST(RepCapExpansion, GrammarExamples) {
    check_expansions({
        {"Trace2", {"Trace2"}, nullptr},
        {"Trace1,Trace3", {"Trace1", "Trace3"}, nullptr},
        {"Trace1-Trace3", {"Trace1", "Trace2", "Trace3"}, nullptr},
        {"1-3", {"1", "2", "3"}, nullptr},
        {"Channel1:Trace2", {"Channel1:Trace2"}, nullptr},
        {"Channel1:Trace1-Trace2", {"Channel1:Trace1", "Channel1:Trace2"}, nullptr},
        {"Channel1-Channel2:[Trace1,Trace2]",
         {"Channel1:Trace1", "Channel2:Trace1", "Channel1:Trace2", "Channel2:Trace2"}, nullptr},
        {"[Trace1,Trace2],Trace5", {"Trace1", "Trace2", "Trace5"}, nullptr},
        {"Win!!Trace3", {"Win!!Trace3"}, nullptr},
        {"Win!!Trace1-Win!!Trace2", {"Win!!Trace1", "Win!!Trace2"}, nullptr},
        {"", {""}, nullptr},
    });
}

TEST(RepCapExpansion, EdgeCasesAndDroppedElements) {
    check_expansions({
        {"   ", {}, nullptr},
        {" \tTrace1 ,\n T race 2\r\f\v", {"Trace1", "Trace2"}, nullptr},
        {"Chan nel1 - Channel2 : [ Trace1 ]", {"Channel1:Trace1", "Channel2:Trace1"}, nullptr},
        {"Trace0001-Trace0003", {"Trace1", "Trace2", "Trace3"}, nullptr},
        {"Trace1,Trace1", {"Trace1", "Trace1"}, nullptr},
        {"Trace1-trace3", {}, nullptr},
        {"Trace3-Trace1", {}, nullptr},
        {"Trace1-3", {}, nullptr},
        {"Trace1-Marker3", {}, nullptr},
        {"Win!!Trace1-Pane!!Trace2", {}, nullptr},
        {"Channel1!!Trace2", {}, nullptr},
        {"Trace", {}, nullptr},
        {"Trace1-3,Trace5", {"Trace5"}, nullptr},
        {"Channel1:Trace3-Trace1", {"Channel1:"}, nullptr},  // the dropped range stays an empty part
        {"Channel1:[]", {}, nullptr},
        {"Trace1,,Trace2", {"Trace1", "Trace2"}, nullptr},
        {"Trace1,[Trace2", {"Trace1"}, nullptr},
        {"Trace1.5", {""}, nullptr},
        {"Trace@2,Trace3", {"", "Trace3"}, nullptr},
        {"Channel1:[Trace1:[Marker1,Marker2]]", {"Channel1:Trace1:[Marker1,Marker2]"}, nullptr},
        {"Trace99999999999", {"Trace99999999999"}, "Out of range (99999999999)"},
    });
}

TEST(RepCapExpansion, RecordFields) {
    const record_t qualified = only_record("Win!!Trace3");
    EXPECT_EQ(qualified.kind, record_t::single);
    EXPECT_EQ(qualified.qualifier, "Win");
    EXPECT_EQ(qualified.name, "Trace");
    EXPECT_EQ(qualified.index, 3);

    const record_t overflow = only_record("Trace99999999999");
    EXPECT_EQ(overflow.kind, record_t::single);
    EXPECT_EQ(overflow.index, 0);

    // A dot leaves a compound of one unresolved part.
    const record_t dotted = only_record("Trace1.5");
    EXPECT_EQ(dotted.kind, record_t::compound);
    ASSERT_EQ(dotted.children.size(), 1u);
    EXPECT_EQ(dotted.children[0].kind, record_t::unresolved);
    EXPECT_EQ(dotted.children[0].text, "Trace1.5");

    for (const char* nothing : {static_cast<const char*>(nullptr), ""}) {
        const record_t empty = only_record(nothing);
        EXPECT_EQ(empty.kind, record_t::empty);
        EXPECT_EQ(empty.text, "");
    }
}

TEST(RepCapIdentifier, ParseKeepsTextAndRecordsRebuild) {
    rep_cap_identifier_t id;
    EXPECT_TRUE(id.records().empty());  // never parsed
    id.parse(" Trace1 ");
    EXPECT_EQ(id.root.kind, record_t::list);
    EXPECT_EQ(id.root.text, "[ Trace1 ]");
    id.parse("Trace1-Trace3");
    EXPECT_EQ(id.records().size(), 3u);
    EXPECT_EQ(id.records().size(), 3u);  // asking again gives the same list
    id.parse("Trace5");
    ASSERT_EQ(id.records().size(), 1u);
    EXPECT_EQ(id.records()[0].to_string(), "Trace5");
}

struct find_case {
    const char* selector;
    const char* capability;
    status_t status;
    std::int32_t number;  // expected; -7 means left untouched
};

TEST(RepCapFindIndex, SingleCompoundAndEmpty) {
    const status_t missing = zor_error_rep_cap_not_found;
    const find_case cases[] = {
        {"Trace2", "Trace", zor_success, 2},
        {"trace2", "TRACE", zor_success, 2},
        {"Trace2", "Trac", missing, -7},
        {"Trace2", "Traces", missing, -7},
        {"Trace2", "Channel", missing, -7},
        {"7", "Marker", zor_success, 7},
        {"Win!!Trace3", "Trace", zor_success, 3},
        {"Win!!Trace3", "Win", missing, -7},
        {"Channel1:Trace2", "Trace", zor_success, 2},
        {"Channel2:Channel3", "Channel", zor_success, 2},
        {"Channel1:[Trace1:[Marker1,Marker2]]", "Channel", zor_success, 1},
        {"Channel1:[Trace1:[Marker1,Marker2]]", "Trace", zor_success, 1},
        {"Channel1:[Trace1:[Marker1,Marker2]]", "Marker", missing, -7},
        {"Trace1.5", "Trace", missing, -7},
        {"", "Trace", missing, -7},
    };
    for (const auto& c : cases) {
        std::int32_t number = -7;
        EXPECT_EQ(only_record(c.selector).find_index(c.capability, number), c.status) << c.selector << " " << c.capability;
        EXPECT_EQ(number, c.number) << c.selector << " " << c.capability;
    }
}

TEST(RepCapToString, EveryKind) {
    auto make = [](record_t::kind_t kind, const char* text, std::vector<record_t> children) {
        record_t record;
        record.kind = kind;
        record.text = text;
        record.children = std::move(children);
        return record;
    };
    const record_t a = make(record_t::single, "Trace1", {});
    const record_t b = make(record_t::single, "Win!!Trace2", {});
    EXPECT_EQ(a.to_string(), "Trace1");
    EXPECT_EQ(make(record_t::compound, "ignored", {a, b}).to_string(), "Trace1:Win!!Trace2");
    EXPECT_EQ(make(record_t::list, "ignored", {a, b}).to_string(), "[Trace1,Win!!Trace2]");
    EXPECT_EQ(make(record_t::list, "[]", {}).to_string(), "[]");
    EXPECT_EQ(make(record_t::range, "ignored", {a, b}).to_string(), "Trace1-Win!!Trace2");
    EXPECT_EQ(make(record_t::empty, "Trace1", {a}).to_string(), "");
    EXPECT_EQ(make(record_t::unresolved, "Trace1.5", {}).to_string(), "");
    EXPECT_EQ(make(record_t::compound, "", {a, make(record_t::list, "", {a, b})}).to_string(),
              "Trace1:[Trace1,Win!!Trace2]");
    // Lists and ranges answer no capability, whatever they hold.
    std::int32_t number = -7;
    EXPECT_EQ(make(record_t::list, "", {a}).find_index("Trace", number), zor_error_rep_cap_not_found);
    EXPECT_EQ(make(record_t::range, "", {a}).find_index("Trace", number), zor_error_rep_cap_not_found);
    EXPECT_EQ(number, -7);
}

struct bound_case {
    std::string selector;
    std::size_t count;  // 0: refused
    const char* last;   // text of the last record when accepted
    bool small;         // refused before any range or product is built
};

TEST(RepCapBound, LimitOnRecordsIsExactAndCheap) {
    const std::string product16_even = repeat("[1-4000]", 16, ":");  // 4000^16 wraps a 64-bit product to 0
    const std::string product16_odd = repeat("[1-3999]", 16, ":");
    const bound_case cases[] = {
        {"Trace1-Trace65536", 65536, "Trace65536", false},
        {"[1-256]:[1-256]", 65536, "256:256", false},
        {"Trace1-Trace65535,Channel1", 65536, "Channel1", false},
        {"Trace2147483640-Trace2147483647", 8, "Trace2147483647", false},
        {"2147483647-2147483647", 1, "2147483647", false},
        {"Trace1-Trace65537", 0, nullptr, true},
        {"[1-256]:[1-257]", 0, nullptr, true},
        {"[1-300]:[1-300]", 0, nullptr, true},
        {"[1-40]:[1-40]:[1-41]", 0, nullptr, true},
        {"Trace1-Trace2000000000", 0, nullptr, true},
        {"Trace0-Trace2147483647", 0, nullptr, true},
        {"Channel1:[Trace1:[Marker1-Marker2000000000]]", 0, nullptr, true},
        {"Trace1-Trace40000,Marker1-Marker40000", 0, nullptr, false},
        {"Trace1-Trace65536,Channel1", 0, nullptr, false},
        {product16_even, 0, nullptr, false},
        {product16_odd, 0, nullptr, false},
    };
    for (const auto& c : cases) {
        const std::size_t bytes_before = allocated_bytes;
        const auto start = std::chrono::steady_clock::now();
        const outcome_t outcome = expand(c.selector);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const std::size_t bytes = allocated_bytes - bytes_before;
        ASSERT_EQ(outcome.texts.size(), c.count) << c.selector;
        if (c.count > 0) {
            EXPECT_EQ(outcome.texts.back(), c.last) << c.selector;
            EXPECT_EQ(outcome.console, "") << c.selector;
            continue;
        }
        EXPECT_EQ(outcome.console, "[ERROR] Parse RepCapIdentifier error -> selector expands to more "
                                   "than 65536 records {" + c.selector + "}\n");
        if (c.small) {
            EXPECT_LT(elapsed, std::chrono::milliseconds(100)) << c.selector;
            EXPECT_LT(bytes, 1u << 20) << c.selector;
        }
    }
}

TEST(RepCapBound, ProductWithAnEmptyListBuildsNothing) {
    const std::size_t bytes_before = allocated_bytes;
    const outcome_t outcome = expand("[1-250]:[1-250]:[]");
    EXPECT_TRUE(outcome.texts.empty());
    EXPECT_EQ(outcome.console, "");
    EXPECT_LT(allocated_bytes - bytes_before, 1u << 20);  // not the 62,500 partial records
}

TEST(RepCapBound, OversizedTextDoesNotExhaustTheStack) {
    // An identifier or a run of blanks far longer than any real one.
    EXPECT_EQ(expand("Trace" + std::string(100000, '1')).texts, std::vector<std::string>{""});
    EXPECT_EQ(expand(std::string(100000, ' ') + "Trace1").texts, std::vector<std::string>{"Trace1"});

    const auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + "Trace1" + std::string(depth, ']');
    };
    EXPECT_EQ(expand(nested(rep_cap_max_depth)).texts, std::vector<std::string>{"Trace1"});
    for (std::size_t depth : {static_cast<std::size_t>(rep_cap_max_depth) + 1, std::size_t{100000}}) {
        const outcome_t outcome = expand(nested(depth));
        EXPECT_TRUE(outcome.texts.empty()) << depth;
        EXPECT_NE(outcome.console.find("nests brackets deeper than 32"), std::string::npos) << depth;
        EXPECT_EQ(lines(outcome.console), 1u);
    }
}

TEST(RepCapBound, NestedListsInProductsAreCountedAtEveryDepth) {
    const bound_case cases[] = {
        {"[0-3820]:[[0-3856]:[]]", 0, nullptr, true},
        {"[0-32000]:[[0-32000]:[]]", 0, nullptr, true},
        {"[1-5]:[[1-60000]:[1]]", 0, nullptr, true},
        {"[1-2]:[[1-1000]:[1]]", 2, nullptr, false},
    };
    for (const auto& c : cases) {
        const std::size_t bytes_before = allocated_bytes;
        rep_cap_identifier_t id;
        id.parse(c.selector.c_str());
        testing::internal::CaptureStdout();
        const std::size_t count = id.records().size();
        const std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(count, c.count) << c.selector;
        EXPECT_EQ(id.status, c.count == 0 ? zor_error_badly_formed_selector : 0) << c.selector;
        if (c.count == 0) {
            EXPECT_NE(console.find("expands to more than 65536 records"), std::string::npos) << console;
        }
        // Before the bound counted nested copies, the first took 1.97 GB.
        EXPECT_LT(allocated_bytes - bytes_before, std::size_t{64} << 20) << c.selector;
    }
}

// A selector that names no capability, or loses an element to the grammar,
// is refused whole: acting on the rest would address the active channel or
// trace, or fewer than named. The problem quotes what is wrong.
TEST(RepCapStatus, UnknownNamesAndDroppedElementsAreRefused) {
    const status_t not_found = zor_error_rep_cap_not_found;
    const status_t malformed = zor_error_badly_formed_selector;
    const struct {
        const char* selector;
        status_t status;
        const char* quoted;  // in the problem text
    } cases[] = {
        {"Chanel2:Trace1", not_found, "\"Chanel\""},
        {"Channel1:[Trace1:[Merker1,Marker2]]", not_found, "\"Merker\""},
        {"Window1-Window2,Trase3", not_found, "\"Trase\""},
        {"garbage!", malformed, "\"garbage!\""},
        {"Trace3-Trace1", malformed, "\"Trace3-Trace1\""},
        {"Trace1-3,Trace5", malformed, "\"Trace1-3\""},
        {"Channel1:Trace3-Trace1", malformed, "\"Trace3-Trace1\""},
        {"Trace1.5", malformed, "\"Trace1.5\""},
        {"Trace1-3,,Channel1!!Trace2", malformed, "\"Trace1-3\""},
        {"[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[Trace1]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]", malformed, "deeper"},
        {"channel2:TRACE1,Port1,Marker2,Window3", 0, nullptr},
        {"Win!!Trace3", 0, nullptr},
        {"1-3", 0, nullptr},
        {"Channel1:[]", 0, nullptr},
        {"   ", 0, nullptr},
        {"", 0, nullptr},
    };
    for (const auto& c : cases) {
        rep_cap_identifier_t id;
        id.parse(c.selector);
        testing::internal::CaptureStdout();
        id.records();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(id.status, c.status) << c.selector;
        if (c.quoted == nullptr) {
            EXPECT_EQ(id.problem, "") << c.selector;
        } else {
            EXPECT_NE(id.problem.find(c.quoted), std::string::npos) << c.selector << ": " << id.problem;
        }
    }
}

// A selector used again is served from the thread's recent selectors: the
// records must be the same, field for field, and refusals stay refusals.
TEST(RepCapIdentifier, RepeatedSelectorsGiveTheSameRecords) {
    const auto fields = [](const std::vector<record_t>& records) {
        std::vector<std::string> out;
        for (const record_t& r : records) {
            out.push_back(r.to_string() + "|" + std::to_string(r.kind) + "|" + std::to_string(r.children.size()));
            for (const record_t& c : r.children) out.push_back(c.name + "|" + c.qualifier + "|" + std::to_string(c.index));
        }
        return out;
    };
    for (const char* selector : {"Channel1:Trace1", "Win!!Trace1-Win!!Trace2", "Channel1:Trace2", "Channel1:Trace1",
                                 "garbage!", "Trace1-Trace70000"}) {
        std::vector<std::string> seen[2];
        status_t status[2] = {};
        std::string console[2];
        for (int pass = 0; pass < 2; ++pass) {
            rep_cap_identifier_t id;
            id.parse(selector);
            testing::internal::CaptureStdout();
            seen[pass] = fields(id.records());
            console[pass] = testing::internal::GetCapturedStdout();
            status[pass] = id.status;
        }
        EXPECT_EQ(seen[0], seen[1]) << selector;
        EXPECT_EQ(status[0], status[1]) << selector;
        EXPECT_EQ(console[0], console[1]) << selector;
    }
}
