#include "sim_transport.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include <simulator/analyzer/analyzer.h>

namespace zorvisa {
namespace {

class sim_transport_t final : public transport_t {
public:
    explicit sim_transport_t(std::shared_ptr<zorsim::analyzer_t> analyzer) : analyzer_(std::move(analyzer)) {}

    ViStatus write(const ViByte* buf, std::size_t cnt, std::size_t* sent, ViUInt32) override {
        *sent = 0;
        // A reply read in part is not read on by the next exchange: its rest is dropped.
        if (!queue_.empty() && queue_.front().offset != 0) queue_.pop_front();
        std::string message(reinterpret_cast<const char*>(buf), cnt);
        if (!message.empty() && message.back() == '\n') {
            message.pop_back();
            if (!message.empty() && message.back() == '\r') message.pop_back();
        }
        zorsim::response_t r = analyzer_->receive(message);
        if (r.has_reply || r.read_status != 0) queue_.push_back(pending_t{std::move(r.reply), r.read_status, 0});
        if (r.write_status != 0) return r.write_status;
        *sent = cnt;
        return VI_SUCCESS;
    }

    ViStatus read(ViByte* buf, std::size_t cnt, std::size_t* got, const deadline_t&) override {
        *got = 0;
        // The analyzer answers synchronously: with nothing queued, no wait could help.
        if (queue_.empty()) return VI_ERROR_TMO;
        pending_t& front = queue_.front();
        if (front.read_status != 0) {
            const ViStatus st = front.read_status;
            queue_.pop_front();
            return st;
        }
        if (cnt == 0) return VI_SUCCESS_MAX_CNT;
        const std::size_t left = front.reply.size() - front.offset;
        const std::size_t n = std::min(cnt, left);
        std::memcpy(buf, front.reply.data() + front.offset, n);
        front.offset += n;
        *got = n;
        if (n < left) return VI_SUCCESS_MAX_CNT;
        queue_.pop_front();
        return VI_SUCCESS;
    }

    ViStatus clear(ViUInt32) override {
        queue_.clear();
        return VI_SUCCESS;
    }

private:
    struct pending_t {
        std::string reply;
        ViStatus read_status;
        std::size_t offset;
    };
    std::shared_ptr<zorsim::analyzer_t> analyzer_;
    std::deque<pending_t> queue_;
};

}  // namespace

std::unique_ptr<transport_t> open_sim_transport(const std::string& analyzer_name) {
    return std::unique_ptr<transport_t>(new sim_transport_t(zorsim::named_analyzer(analyzer_name)));
}

}  // namespace zorvisa
