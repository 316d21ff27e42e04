// The web page: one poller thread follows the analyzer's change counter and
// draws a new image only when the display really changed, off the
// analyzer's lock, at most 1000 / poll_milliseconds times a second. Viewers
// only ever read the last image, so any number of them cost the SCPI side
// nothing.
#include "web_page.h"

#include <simulator/display/render.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace zorsim {

namespace {

std::string html_escaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

// The page itself: no external assets, so it works offline.
const char* const page_head = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<link rel="icon" href="data:,">
<title>%TITLE%</title>
<style>
body{margin:0;font:14px/1.4 sans-serif;background:#eef1f5;color:#1c2430}
header{background:#1f2a3c;color:#fff;padding:10px 18px}
header h1{margin:0;font-size:20px;font-weight:600}
header p{margin:2px 0 0;color:#b8c4d6;font-size:13px}
main{display:flex;flex-wrap:wrap;gap:18px;padding:18px;align-items:flex-start}
section{background:#fff;border:1px solid #cfd6e0;border-radius:4px;padding:12px 16px}
h2{font-size:15px;margin:0 0 8px}
table{border-collapse:collapse}
td{padding:2px 12px 2px 0;vertical-align:top}
td:first-child{color:#5a6678}
code{font:13px monospace;background:#f3f5f8;padding:1px 4px;border-radius:3px}
#screen{display:block;max-width:100%;height:auto;background:#11161f}
#state{color:#5a6678;font-size:12px;margin-top:6px}
</style></head><body>
)";

const char* const page_script = R"(<script>
(function () {
  var img = document.getElementById('screen');
  var state = document.getElementById('state');
  var shown = Number(img.dataset.frame);
  var loading = false, wanted = 0;
  function load(n) {
    wanted = Math.max(wanted, n);
    if (loading || wanted <= shown) return;
    loading = true;
    var target = wanted;
    var next = new Image();
    next.onload = function () {
      img.src = next.src;
      img.dataset.frame = String(target);
      shown = target;
      loading = false;
      state.textContent = 'Live: updated ' + new Date().toLocaleTimeString();
      load(wanted);
    };
    next.onerror = function () { loading = false; state.textContent = 'Image not available'; };
    next.src = '/screen.png?frame=' + target;
  }
  var events = new EventSource('/events');
  events.onmessage = function (e) { load(Number(e.data)); };
  events.onerror = function () { state.textContent = 'Connection lost: reconnecting'; };
})();
</script>
)";

}  // namespace

struct web_page_t::impl_t {
    std::shared_ptr<analyzer_t> analyzer;
    std::vector<std::string> resources;
    httplib::Server server;
    std::thread listener, poller;

    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    std::uint64_t frame = 0;  // grows with every new image
    std::string png;
    display::display_state_t shown;
    std::uint64_t seen_changes = 0;
    std::atomic<int> viewers{0};
    std::atomic<std::int64_t> last_request_ms{0};

    template <class T>
    T locked_copy(const T& value) {
        std::lock_guard<std::mutex> lock(mutex);
        return value;
    }

    static std::int64_t now_ms() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // Takes a new image when the display changed; true when it did. One
    // refresh at a time, so an older state never replaces a newer one.
    //   counted: only when the change counter moved, and the state with it;
    //   compared: whenever the state differs (what changes without a
    //             message, such as a sweep ending, moves no counter);
    //   always: the first image.
    enum class when_t { counted, compared, always };
    std::mutex refreshing;
    bool refresh(when_t when) {
        std::lock_guard<std::mutex> one_at_a_time(refreshing);
        const std::uint64_t changes = analyzer->change_count();
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (when == when_t::counted && changes == seen_changes) return false;
        }
        display::display_state_t state = analyzer->display_state();
        {
            std::lock_guard<std::mutex> lock(mutex);
            seen_changes = changes;
            if (when != when_t::always && state == shown) return false;
        }
        std::string image = display::render(state, display::image_format_t::png);
        std::lock_guard<std::mutex> lock(mutex);
        shown = std::move(state);
        png = std::move(image);
        ++frame;
        changed.notify_all();
        return true;
    }

    void poll() {
        std::unique_lock<std::mutex> lock(mutex);
        std::int64_t compared_ms = now_ms();
        while (!stopping) {
            changed.wait_for(lock, std::chrono::milliseconds(poll_milliseconds), [this] { return stopping; });
            if (stopping) break;
            // Nobody looking: no work. A page or an image fetched in the last
            // few seconds counts as someone looking.
            if (viewers.load() == 0 && now_ms() - last_request_ms.load() > 5000) continue;
            lock.unlock();
            // Now and then the state itself is compared, for what changes
            // without a message.
            const bool compare = now_ms() - compared_ms >= compare_milliseconds;
            if (compare) compared_ms = now_ms();
            try {
                refresh(compare ? when_t::compared : when_t::counted);
            } catch (const std::exception&) {
                // A drawing failure leaves the last image shown.
            }
            lock.lock();
        }
    }

    std::string page(const httplib::Request& request) {
        std::string host = request.get_header_value("Host");
        if (!host.empty() && host.front() == '[') host = host.substr(0, host.find(']') + 1);
        else host = host.substr(0, host.find(':'));
        if (host.empty()) host = "localhost";

        const std::string identity = analyzer->identity();
        std::vector<std::string> fields;
        for (std::size_t at = 0;;) {
            const std::size_t comma = identity.find(',', at);
            fields.push_back(identity.substr(at, comma - at));
            if (comma == std::string::npos) break;
            at = comma + 1;
        }
        fields.resize(4);
        std::string out = page_head;
        const std::string title = html_escaped(fields[1].empty() ? identity : fields[1] + " " + fields[2]);
        out.replace(out.find("%TITLE%"), 7, title);
        out += "<header><h1>" + title + "</h1><p>Simulated vector network analyzer</p></header>\n<main>\n";
        out += "<section><h2>Instrument</h2><table>\n";
        const char* const names[] = {"Manufacturer", "Model", "Serial number", "Firmware"};
        for (int i = 0; i < 4; ++i)
            out += std::string("<tr><td>") + names[i] + "</td><td>" + html_escaped(fields[static_cast<std::size_t>(i)]) +
                   "</td></tr>\n";
        out += "</table>\n<h2 style=\"margin-top:14px\">Connect</h2><table>\n";
        for (std::string r : resources) {
            for (std::size_t at; (at = r.find("{host}")) != std::string::npos;) r.replace(at, 6, host);
            out += "<tr><td><code>" + html_escaped(r) + "</code></td></tr>\n";
        }
        out += "</table></section>\n";
        std::lock_guard<std::mutex> lock(mutex);
        out += "<section><h2>Display</h2><img id=\"screen\" alt=\"The analyzer's display\" width=\"" +
               std::to_string(display::default_width) + "\" height=\"" + std::to_string(display::default_height) +
               "\" src=\"/screen.png?frame=" + std::to_string(frame) + "\" data-frame=\"" + std::to_string(frame) +
               "\">\n<div id=\"state\">Live</div></section>\n</main>\n";
        out += page_script;
        out += "</body></html>\n";
        return out;
    }
};

web_page_t::web_page_t(std::shared_ptr<analyzer_t> analyzer, std::vector<std::string> resources)
    : impl_(std::make_unique<impl_t>()) {
    impl_->analyzer = std::move(analyzer);
    impl_->resources = std::move(resources);
}

web_page_t::~web_page_t() { stop(); }

std::uint16_t web_page_t::start(std::uint16_t port, const std::string& address) {
    impl_t& d = *impl_;
    d.refresh(impl_t::when_t::always);  // the first image, so the first page shows one
    // Each following viewer holds a thread for its event stream.
    d.server.new_task_queue = [] { return new httplib::ThreadPool(max_viewers + 8); };
    // A page or image fetched brings the image up to date first: the poller
    // sleeps while nobody watches.
    auto up_to_date = [&d] {
        d.last_request_ms = impl_t::now_ms();
        try {
            d.refresh(impl_t::when_t::counted);
        } catch (const std::exception&) {
        }
    };
    d.server.Get("/", [&d, up_to_date](const httplib::Request& request, httplib::Response& response) {
        up_to_date();
        response.set_header("Cache-Control", "no-store");
        response.set_content(d.page(request), "text/html; charset=utf-8");
    });
    // The image drawn last, as PNG, or the display it shows drawn as SVG.
    d.server.Get("/screen.png", [&d, up_to_date](const httplib::Request&, httplib::Response& response) {
        up_to_date();
        response.set_header("Cache-Control", "no-store");
        response.set_content(d.locked_copy(d.png), "image/png");
    });
    d.server.Get("/screen.svg", [&d, up_to_date](const httplib::Request&, httplib::Response& response) {
        up_to_date();
        response.set_header("Cache-Control", "no-store");
        response.set_content(display::render(d.locked_copy(d.shown), display::image_format_t::svg), "image/svg+xml");
    });
    d.server.Get("/events", [&d](const httplib::Request&, httplib::Response& response) {
        if (d.viewers.fetch_add(1) >= max_viewers) {
            d.viewers.fetch_sub(1);
            response.status = 503;
            response.set_content("too many viewers\n", "text/plain");
            return;
        }
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider(
            "text/event-stream",
            [&d, sent = std::uint64_t{0}](std::size_t, httplib::DataSink& sink) mutable {
                std::string message;
                {
                    std::unique_lock<std::mutex> lock(d.mutex);
                    d.changed.wait_for(lock, std::chrono::seconds(15), [&] { return d.stopping || d.frame != sent; });
                    if (d.stopping) return false;
                    if (d.frame != sent) {
                        sent = d.frame;
                        message = "data: " + std::to_string(sent) + "\n\n";
                    } else {
                        message = ": still here\n\n";  // keeps proxies and the browser from timing out
                    }
                }
                return sink.write(message.data(), message.size());
            },
            [&d](bool) { d.viewers.fetch_sub(1); });
    });

    const int bound = port == 0 ? d.server.bind_to_any_port(address) : (d.server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0) throw std::runtime_error("web page: cannot listen on " + address + ":" + std::to_string(port));
    d.listener = std::thread([&d] { d.server.listen_after_bind(); });
    d.poller = std::thread([&d] { d.poll(); });
    return static_cast<std::uint16_t>(bound);
}

void web_page_t::stop() {
    impl_t& d = *impl_;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.stopping = true;
    }
    d.changed.notify_all();
    d.server.stop();
    if (d.listener.joinable()) d.listener.join();
    if (d.poller.joinable()) d.poller.join();
}

}  // namespace zorsim
