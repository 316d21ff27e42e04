#include "tcp_server.h"

#include "connection.h"

#include <algorithm>

namespace zorsim {

// ---------------------------------------------------------------- message_framer_t

void message_framer_t::clear() {
    buffer_.clear();
    state_ = state_t::text;
    digits_left_ = 0;
    block_left_ = 0;
}

void message_framer_t::feed(std::string_view data, std::vector<std::string>& out) {
    std::size_t i = buffer_.size();  // everything before was scanned already
    buffer_.append(data.data(), data.size());
    std::size_t start = 0;  // start of the current message
    auto emit = [&](std::size_t end) {
        std::size_t e = end;
        if (e > start && buffer_[e - 1] == '\r') --e;
        out.emplace_back(buffer_, start, e - start);
        start = end + 1;
        state_ = state_t::text;
    };
    while (i < buffer_.size()) {
        char c = buffer_[i];
        switch (state_) {
        case state_t::text:
            if (c == '\n') emit(i);
            else if (c == '"') state_ = state_t::double_quoted;
            else if (c == '\'') state_ = state_t::single_quoted;
            else if (c == '#') state_ = state_t::hash;
            ++i;
            break;
        case state_t::double_quoted:
        case state_t::single_quoted:
            if (c == '\n') emit(i);  // an unterminated string still ends at the line's end
            else if (c == (state_ == state_t::double_quoted ? '"' : '\'')) state_ = state_t::text;
            ++i;
            break;
        case state_t::hash:
            if (c >= '1' && c <= '9') {
                digits_left_ = static_cast<std::size_t>(c - '0');
                block_left_ = 0;
                state_ = state_t::block_digits;
                ++i;
            } else {
                state_ = state_t::text;  // #0 (ends at the line's end), #H.., or junk: plain text
            }
            break;
        case state_t::block_digits:
            if (c >= '0' && c <= '9') {
                block_left_ = block_left_ * 10 + static_cast<std::size_t>(c - '0');
                ++i;
                if (--digits_left_ == 0) state_ = block_left_ ? state_t::block_data : state_t::text;
            } else {
                state_ = state_t::text;  // malformed header: the parser will say so
            }
            break;
        case state_t::block_data: {
            std::size_t take = std::min(block_left_, buffer_.size() - i);
            i += take;
            block_left_ -= take;
            if (block_left_ == 0) state_ = state_t::text;
            break;
        }
        }
    }
    buffer_.erase(0, start);
}

// ---------------------------------------------------------------- server

namespace {
constexpr std::uint32_t lock_wait_slice_ms = 100;
}

tcp_server_t::tcp_server_t(std::shared_ptr<analyzer_t> analyzer)
    : analyzer_(std::move(analyzer)), listener_(std::make_unique<lan::listener_t>()) {
    if (!analyzer_) throw tcp_server_error("tcp_server_t needs an analyzer");
}

tcp_server_t::~tcp_server_t() { stop(); }

void tcp_server_t::set_observer(observer_t observer) { observer_ = std::move(observer); }

std::size_t tcp_server_t::connection_count() const { return listener_->active(); }

bool tcp_server_t::running() const { return listener_->running(); }

std::uint16_t tcp_server_t::port() const { return listener_->port(); }

std::uint16_t tcp_server_t::start(std::uint16_t port, const std::string& bind_address) {
    return listener_->start(port, bind_address, [this](const std::shared_ptr<lan::connection_t>& c) { serve(*c); });
}

void tcp_server_t::serve(lan::connection_t& connection) {
    // A raw socket has no lock of its own, but it honours the locks LAN
    // clients hold: its messages wait until the lock is released (the
    // client's read times out meanwhile, as on an instrument).
    const std::uint64_t owner = instrument_lock_t::new_owner();
    const std::atomic<bool>& stopping = listener_->stopping();
    message_framer_t framer;
    std::vector<std::string> messages;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const std::size_t n = connection.read_some(buffer.data(), buffer.size());
        if (n == 0) return;  // closed by the client, or the server stops
        messages.clear();
        framer.feed(std::string_view(buffer.data(), n), messages);
        for (const std::string& m : messages) {
            while (!analyzer_->lock().wait_until_free(owner, lock_wait_slice_ms))
                if (stopping) return;
            response_t r = analyzer_->receive(m);
            if (observer_) observer_(connection.id, m, r);
            // A scripted read status cannot travel over TCP: nothing is sent
            // and the client's read times out.
            if (r.has_reply && r.read_status == 0 && !connection.write(r.reply)) return;
        }
        if (framer.pending() > max_message_bytes) return;
    }
}

void tcp_server_t::stop() { listener_->stop(); }

}  // namespace zorsim
