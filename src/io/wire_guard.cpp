#include "io/wire_guard.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "io/visa_library.h"
#include "support/logger.h"
#include "support/qvutil.h"

namespace qvdriver::wire {

namespace detail {
std::atomic<int> sessions_in_doubt{0};
}

namespace {

constexpr char marker[] = ":SYST:ERR?;*ESE?";
// How long a failing call waits for the marker's reply: an instrument that
// refused the query answers it at once; one still busy is not waited for
// here but before the next command.
constexpr ViUInt32 explain_wait_ms = 300;
// The marker's own round trip needs some time even when the session's
// time-out is shorter (VI_TMO_IMMEDIATE would otherwise never see it).
constexpr ViUInt32 least_wait_ms = 100;
// Error-queue entries read to explain a refusal, at most.
constexpr int most_entries = 4;
// A marker's reply is short; a message longer than this is not one.
constexpr std::size_t kept_bytes = 320;

struct state_t {
    bool marker_owed = false;    // sent, its reply not yet seen
    bool marker_unsent = false;  // needed, but it could not be sent
    std::string awaited;         // the command whose reply went missing
};

struct owner_t {
    std::uint32_t session;
    fault_recorder_t record;
};

std::mutex table_mutex;
std::unordered_map<ViSession, state_t> table;  // sessions in doubt only
std::unordered_map<ViSession, owner_t> owners;  // open sessions, whose faults go to `record`

struct last_command_t {
    ViSession io = 0;
    std::size_t size = 0;
    char text[64];
};
thread_local last_command_t last_command;

void record(ViSession io, status_t status, const std::string& text) {
    log_message(log_error, text);
    owner_t owner{0, nullptr};
    {
        std::lock_guard<std::mutex> lock(table_mutex);
        const auto found = owners.find(io);
        if (found != owners.end()) owner = found->second;
    }
    if (owner.record != nullptr) owner.record(owner.session, status, text.c_str());
}

void set_state(ViSession io, const state_t& state) {
    std::lock_guard<std::mutex> lock(table_mutex);
    if (table.insert_or_assign(io, state).second) detail::sessions_in_doubt.fetch_add(1);
}

void clear_state(ViSession io) {
    std::lock_guard<std::mutex> lock(table_mutex);
    if (table.erase(io) != 0) detail::sessions_in_doubt.fetch_sub(1);
}

ViUInt32 timeout_of(ViSession io) {
    ViUInt32 ms = 2000;
    if (visa::api().viGetAttribute(io, VI_ATTR_TMO_VALUE, &ms) < 0) ms = 2000;
    return ms;
}

// One response message, or what comes of it before the read times out
// (`total` then counts the bytes that came), of which the first kept_bytes
// are kept. A message ends with VISA's END or at the termination character
// (a real VISA on a socket); a binary block cut at its line feeds is dropped
// piece by piece all the same.
status_t read_message(ViSession io, char* kept, std::size_t& size, std::size_t& total,
                      std::chrono::steady_clock::time_point give_up) {
    size = total = 0;
    for (;;) {
        char piece[512];
        ViUInt32 got = 0;
        const status_t status = visa::traced_read(io, reinterpret_cast<ViBuf>(piece), sizeof piece, &got);
        const std::size_t n = status < 0 ? 0 : std::min<std::size_t>(got, sizeof piece);
        if (size < kept_bytes) {
            const std::size_t take = std::min(n, kept_bytes - size);
            std::memcpy(kept + size, piece, take);
            size += take;
        }
        total += n;
        if (status < 0) return status;
        if (status != VI_SUCCESS_MAX_CNT) return 0;
        if (std::chrono::steady_clock::now() > give_up) return VI_ERROR_TMO;
    }
}

struct awaited_t {
    status_t status = 0;  // VI_ERROR_TMO: the marker's reply did not come
    std::string reply;    // the marker's reply; empty when it was not understood
    int stale = 0;        // messages dropped before it
};

// Reads messages until the marker's reply, within `wait_ms`, dropping the
// others. An instrument that answers the error query in a form of its own
// (or whose answer came glued to the rest of a stale message) is known by
// its silence: the marker's reply follows a late one within milliseconds,
// and once every message the instrument owes has come it sends nothing
// more. So a pause of `settle` after a dropped message means the last one
// dropped was that answer.
awaited_t await_marker(ViSession io, ViUInt32 wait_ms) {
    using clock = std::chrono::steady_clock;
    constexpr auto settle = std::chrono::milliseconds(200);
    const auto& visa = visa::api();
    const ViUInt32 session_timeout = timeout_of(io);
    const auto give_up = clock::now() + std::chrono::milliseconds(wait_ms);
    clock::time_point settled_at{};  // after a dropped message: when silence settles it
    bool settling = false;
    bool ended = true;  // the last message read came whole
    awaited_t out;
    int dropped = 0;
    for (;;) {
        const auto until = settling ? settled_at : give_up;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - clock::now()).count();
        status_t status = VI_ERROR_TMO;
        char kept[kept_bytes];
        std::size_t size = 0, total = 0;
        if (left > 0) {
            visa.viSetAttribute(io, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(left));
            status = read_message(io, kept, size, total, until);
        }
        if (status == VI_ERROR_TMO && total > 0) {  // a message still coming: its rest is dropped too
            settling = ended = false;
            continue;
        }
        if (status == VI_ERROR_TMO && settling) {
            out.stale = dropped - 1;
            break;
        }
        if (status < 0) {
            out.status = status;
            break;
        }
        error_entry_t entry;
        if (ended && total == size && parse_marker_reply(std::string_view(kept, size), entry)) {
            out.reply.assign(kept, size);
            out.stale = dropped;
            break;
        }
        ended = true;
        ++dropped;
        settling = true;
        settled_at = std::min(clock::now() + settle, give_up + settle);
    }
    visa.viSetAttribute(io, VI_ATTR_TMO_VALUE, session_timeout);
    return out;
}

status_t send_marker(ViSession io) {
    ViUInt32 written = 0;
    return visa::traced_write(io, reinterpret_cast<ViConstBuf>(marker), sizeof marker - 1, &written);
}

// "-114,"Header suffix out of range"": the entry as the instrument sent it.
std::string shown(const error_entry_t& entry) {
    return std::to_string(entry.code) + ",\"" + std::string(entry.message) + "\"";
}

std::string quoted(const std::string& command) { return "\"" + command + "\""; }

}  // namespace

bool parse_marker_reply(std::string_view text, error_entry_t& entry) {
    while (!text.empty() && std::strchr(" \t\r\n", text.back()) != nullptr) text.remove_suffix(1);
    std::size_t i = 0;
    const auto digits = [&](long* value) {
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        const std::size_t first = i;
        long v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - first < 9) v = v * 10 + (text[i++] - '0');
        if (value) *value = negative ? -v : v;
        return i > first && (i == text.size() || text[i] < '0' || text[i] > '9');
    };
    long code = 0;
    if (!digits(&code) || i + 1 >= text.size() || text[i] != ',' || text[i + 1] != '"') return false;
    i += 2;
    const std::size_t start = i;
    for (;;) {  // a string with its quotes doubled
        if (i >= text.size()) return false;
        if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
                i += 2;
                continue;
            }
            break;
        }
        ++i;
    }
    const std::string_view message = text.substr(start, i - start);
    ++i;
    if (i >= text.size() || text[i] != ';') return false;
    ++i;
    if (!digits(nullptr) || i != text.size()) return false;
    entry.code = code;
    entry.message = message;
    return true;
}

void note_command(ViSession io, const char* text, std::size_t size) {
    last_command_t& last = last_command;
    last.io = io;
    last.size = std::min(size, sizeof last.text);
    std::memcpy(last.text, text, last.size);
}

void forget(ViSession io) {
    std::lock_guard<std::mutex> lock(table_mutex);
    owners.erase(io);
    if (table.erase(io) != 0) detail::sessions_in_doubt.fetch_sub(1);
}

void set_owner(ViSession io, std::uint32_t owner, fault_recorder_t record) {
    std::lock_guard<std::mutex> lock(table_mutex);
    owners[io] = {owner, record};
}

namespace detail {

status_t resynchronise(ViSession io) {
    state_t state;
    {
        std::lock_guard<std::mutex> lock(table_mutex);
        const auto found = table.find(io);
        if (found == table.end()) return 0;
        state = found->second;
    }
    const ViUInt32 timeout = timeout_of(io);
    if (state.marker_unsent) {
        const status_t status = send_marker(io);
        if (status < 0) {
            record(io, status,
                   util::string_format("nothing sent: the analyzer still takes no command (status 0x%08X) since %s "
                                       "went unanswered",
                                       static_cast<unsigned>(status), quoted(state.awaited).c_str()));
            return status;
        }
        state.marker_unsent = false;
        state.marker_owed = true;
        set_state(io, state);
    }
    const ViUInt32 wait = std::max(timeout, least_wait_ms);
    const status_t status = await_marker(io, wait).status;
    if (status < 0) {
        record(io, status,
               util::string_format("nothing sent: the analyzer has still not answered %s after a further %u ms "
                                   "(busy?); the next call waits for it again",
                                   quoted(state.awaited).c_str(), static_cast<unsigned>(wait)));
        return status;
    }
    clear_state(io);
    return 0;
}

}  // namespace detail

status_t after_timeout(ViSession io, const char* command) {
    const ViUInt32 timeout = timeout_of(io);
    std::string awaited;
    if (command != nullptr) {
        awaited = command;
    } else if (last_command.io == io) {
        awaited.assign(last_command.text, last_command.size);
    }
    while (!awaited.empty() && (awaited.back() == '\n' || awaited.back() == '\r')) awaited.pop_back();
    const std::string what = util::string_format("no reply to %s within %u ms", quoted(awaited).c_str(),
                                                 static_cast<unsigned>(timeout));
    state_t state;
    state.awaited = awaited;

    // Entries of the error queue, read one marker at a time while the
    // analyzer has errors to tell.
    std::string entries;
    bool understood = true;
    int stale = 0;
    for (int n = 0; n < most_entries; ++n) {
        const status_t sent = send_marker(io);
        if (sent < 0) {
            if (n == 0) {  // the marker is needed to be in step; later ones only read on
                state.marker_unsent = true;
                set_state(io, state);
                record(io, VI_ERROR_TMO,
                       util::string_format("%s, and the error query could not be sent (status 0x%08X)", what.c_str(),
                                           static_cast<unsigned>(sent)));
                return VI_ERROR_TMO;
            }
            break;
        }
        state.marker_owed = true;
        set_state(io, state);
        const awaited_t answer = await_marker(io, std::max(std::min(timeout, explain_wait_ms), least_wait_ms));
        if (answer.status < 0 && n == 0) {
            record(io, VI_ERROR_TMO,
                   what + ", nor to the error query after it: the analyzer is busy; what it sends late is dropped "
                          "before the next command");
            return VI_ERROR_TMO;
        }
        if (answer.status < 0) break;  // the session owes that one answer; the entries so far tell enough
        clear_state(io);
        stale += answer.stale;
        error_entry_t entry;
        understood = parse_marker_reply(answer.reply, entry);
        if (!understood || entry.code == 0) break;
        if (!entries.empty()) entries += "; ";
        entries += shown(entry);
    }
    // A reply that came, late, means the query was answered, whatever else
    // the queue holds; with none, an error in the queue is the refusal.
    if (stale == 0 && !entries.empty()) {
        record(io, zor_error_instrument_status,
               util::string_format("no reply to %s: the analyzer refused it: %s", quoted(awaited).c_str(),
                                   entries.c_str()));
        return zor_error_instrument_status;
    }
    std::string text = what;
    if (stale != 0) text += "; it came later and was dropped";
    if (!understood) text += "; the analyzer's answer to the error query was not understood";
    else if (stale == 0) text += "; the analyzer reports no error: a longer time-out may help";
    if (!entries.empty()) text += "; the analyzer's error queue: " + entries;
    record(io, VI_ERROR_TMO, text);
    return VI_ERROR_TMO;
}

}  // namespace qvdriver::wire
