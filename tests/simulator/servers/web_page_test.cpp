// The web page over HTTP: what it says about the instrument, its images,
// and several viewers told of a change.
#include <simulator/servers/web_page.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using clock_type = std::chrono::steady_clock;

TEST(WebPage, ShowsIdentityResourcesAndALiveDisplayToSeveralViewers) {
    auto analyzer = std::make_shared<zorsim::analyzer_t>();
    analyzer->set_identity("Maker <Co>,MODEL9,SN42,2.1");
    analyzer->receive(":SENS1:SWE:MODE HOLD;:SENS2:SWE:MODE HOLD");  // only this test changes the screen
    zorsim::web_page_t page(analyzer, {"TCPIP0::{host}::5025::SOCKET"});
    const std::uint16_t port = page.start(0, "127.0.0.1");
    ASSERT_NE(port, 0);

    httplib::Client client("127.0.0.1", port);
    auto index = client.Get("/");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, 200);
    EXPECT_NE(index->body.find("MODEL9"), std::string::npos);
    EXPECT_NE(index->body.find("Maker &lt;Co&gt;"), std::string::npos) << "identity is escaped";
    EXPECT_NE(index->body.find("TCPIP0::127.0.0.1::5025::SOCKET"), std::string::npos) << "the host the browser used";
    EXPECT_EQ(index->body.find("http://"), std::string::npos) << "no external assets";
    auto png = client.Get("/screen.png");
    ASSERT_TRUE(png);
    EXPECT_EQ(png->body.substr(1, 3), "PNG");
    // A change made while nobody watched shows at once to the next fetch.
    analyzer->receive(":DISP:WIND1:TRAC1:Y:PDIV 3");
    auto changed_png = client.Get("/screen.png");
    ASSERT_TRUE(changed_png);
    EXPECT_NE(changed_png->body, png->body);
    auto svg = client.Get("/screen.svg");
    ASSERT_TRUE(svg);
    EXPECT_NE(svg->body.find("<svg"), std::string::npos);

    // Three viewers follow the events; each first hears of the present
    // image, then of the one after a change.
    constexpr int viewers = 3;
    std::atomic<int> first{0}, second{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < viewers; ++i) {
        threads.emplace_back([&] {
            httplib::Client c("127.0.0.1", port);
            c.set_read_timeout(5, 0);
            int frames = 0;
            c.Get("/events", [&](const char* data, std::size_t size) {
                const std::string chunk(data, size);
                for (std::size_t at = 0; (at = chunk.find("data: ", at)) != std::string::npos; ++at) {
                    ++frames;
                    (frames == 1 ? first : second)++;
                }
                return frames < 2;
            });
        });
    }
    for (auto until = clock_type::now() + std::chrono::seconds(5); first < viewers && clock_type::now() < until;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(first.load(), viewers);
    const auto changed = clock_type::now();
    analyzer->receive(":DISP:WIND3:TRAC5 1");
    for (auto until = changed + std::chrono::seconds(5); second < viewers && clock_type::now() < until;)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - changed).count();
    for (auto& t : threads) t.join();
    EXPECT_EQ(second.load(), viewers);
    std::printf("viewers heard of the change after %lld ms\n", static_cast<long long>(took));
    page.stop();
}

}  // namespace
