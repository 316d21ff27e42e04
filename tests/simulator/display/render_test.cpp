// The display renderer, checked on the drawn pixels: where traces, limits
// and failing points land, that nothing leaves its graticule, and the
// image formats and sizes. No golden images: fonts differ between machines.
#include <simulator/display/render.h>

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace zorsim::display;

constexpr int width = 900, height = 560;

struct image_t {
    int w = 0, h = 0;
    std::vector<std::uint32_t> pixels;  // 0xRRGGBB
    colour_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * w + x] & 0xFFFFFF; }
};

image_t decode_png(const std::string& png) {
    struct reader_t {
        const std::string* bytes;
        std::size_t at = 0;
    } reader{&png};
    auto read = [](void* closure, unsigned char* data, unsigned int length) {
        auto* r = static_cast<reader_t*>(closure);
        if (r->at + length > r->bytes->size()) return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, r->bytes->data() + r->at, length);
        r->at += length;
        return CAIRO_STATUS_SUCCESS;
    };
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> s(
        cairo_image_surface_create_from_png_stream(read, &reader), &cairo_surface_destroy);
    image_t image;
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return image;
    image.w = cairo_image_surface_get_width(s.get());
    image.h = cairo_image_surface_get_height(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (int y = 0; y < image.h; ++y)
        for (int x = 0; x < image.w; ++x)
            image.pixels.push_back(reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s.get()) +
                                                                           y * stride)[x]);
    return image;
}

bool near(colour_t a, colour_t b, int tolerance = 24) {
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

// Pixels of colour c in the rectangle [x0, x1) x [y0, y1).
int count(const image_t& im, colour_t c, double x0, double y0, double x1, double y1) {
    int n = 0;
    for (int y = std::max(0, static_cast<int>(y0)); y < std::min(im.h, static_cast<int>(y1)); ++y)
        for (int x = std::max(0, static_cast<int>(x0)); x < std::min(im.w, static_cast<int>(x1)); ++x)
            n += near(im.at(x, y), c);
    return n;
}

trace_t trace(int number, int channel, std::vector<double> y, std::string format = "MLOG") {
    trace_t t;
    t.number = number;
    t.channel = channel;
    t.parameter = "S21";
    t.format = format;
    t.grid = grid_of(format);
    t.colour = palette_t::trace(number);
    t.y = std::move(y);
    t.y2.assign(t.y.size(), 0);
    for (std::size_t k = 0; k < t.y.size(); ++k) t.x.push_back(1e9 + 1e9 * static_cast<double>(k) / (t.y.size() - 1));
    return t;
}

channel_t channel(int number) {
    channel_t c;
    c.number = number;
    c.start = 1e9;
    c.stop = 2e9;
    c.points = 101;
    c.sweep_type = "LIN";
    c.sweep_mode = "CONT";
    return c;
}

// Two windows: window 1 holds a flat trace at -20 dB with a marker, and an
// upper limit at -30 dB over the upper half of the sweep, which it fails
// there; window 2 a ramp from -100 dB to +100 dB, far beyond its +-50 dB
// graticule at both ends.
display_state_t known_state() {
    display_state_t s;
    s.channels = {channel(1), channel(2)};
    window_t w1;
    w1.number = 1;
    w1.active = true;
    trace_t flat = trace(1, 1, std::vector<double>(101, -20.0));
    flat.active = true;
    marker_t m;
    m.number = 1;
    m.x = 1.25e9;
    m.y = -20;
    m.active = true;
    m.readout = "1  1.25 GHz  -20.000 dB";
    flat.markers.push_back(m);
    flat.limit_test = flat.limit_failed = true;
    flat.limit_segments.push_back(limit_segment_t{true, 1.5e9, 2e9, -30, -30});
    for (std::size_t k = 50; k < 101; ++k) flat.failed_x.push_back(flat.x[k]);
    w1.traces.push_back(flat);
    window_t w2;
    w2.number = 2;
    std::vector<double> ramp;
    for (int k = 0; k <= 100; ++k) ramp.push_back(-100 + 2.0 * k);
    w2.traces.push_back(trace(3, 2, ramp));
    s.windows = {w1, w2};
    return s;
}

TEST(DisplayRender, KnownStateDrawsTracesLimitsAndFailuresWhereTheyBelong) {
    const display_state_t s = known_state();
    const image_t im = decode_png(render(s, image_format_t::png, width, height));
    ASSERT_EQ(im.w, width);
    ASSERT_EQ(im.h, height);
    const auto g = geometry(s, width, height);
    ASSERT_EQ(g.size(), 2u);
    const rect_t& g1 = g[0].graticule;
    const rect_t& g2 = g[1].graticule;
    EXPECT_LE(g1.y + g1.h, g[1].frame.y) << "window 1 above window 2";

    // The flat trace sits at -20 dB: reference 0 dB at 5 of 10 divisions,
    // 10 dB a division, so 3 divisions above the bottom.
    const colour_t c1 = palette_t::trace(1), c3 = palette_t::trace(3);
    const double y20 = g1.y + g1.h - 3 * g1.h / 10;
    for (double f : {0.05, 0.3, 0.45})
        EXPECT_GT(count(im, c1, g1.x + f * g1.w, y20 - 2, g1.x + f * g1.w + 1, y20 + 3), 0) << f;
    // The limit line at -30 dB runs over the upper half only; the failed
    // points show in the fail colour there and nowhere in the lower half.
    const double y30 = g1.y + g1.h - 2 * g1.h / 10;
    EXPECT_GT(count(im, palette_t::limit_line, g1.x + 0.6 * g1.w, y30 - 2, g1.x + 0.9 * g1.w, y30 + 3), 100);
    EXPECT_EQ(count(im, palette_t::limit_line, g1.x + 0.05 * g1.w, y30 - 2, g1.x + 0.45 * g1.w, y30 + 3), 0);
    EXPECT_GT(count(im, palette_t::limit_fail, g1.x + 0.5 * g1.w, g1.y, g1.x + g1.w, g1.y + g1.h), 200);
    EXPECT_EQ(count(im, palette_t::limit_fail, g1.x, g1.y, g1.x + 0.45 * g1.w, g1.y + g1.h), 0);
    // The marker: a filled triangle just above the trace at 1.25 GHz.
    const double mx = g1.x + 0.25 * g1.w;
    EXPECT_GT(count(im, c1, mx - 4, y20 - 12, mx + 4, y20 - 3), 15);

    // The ramp crosses its graticule and is cut at its edges: inside, it
    // passes 0 dB (the middle) in the middle of the sweep; none of it
    // reaches window 1, the margins or the annotation below.
    EXPECT_GT(count(im, c3, g2.x + 0.48 * g2.w, g2.y + 0.45 * g2.h, g2.x + 0.52 * g2.w, g2.y + 0.55 * g2.h), 0);
    EXPECT_EQ(count(im, c3, 0, 0, width, g[1].frame.y), 0) << "window 1 and above";
    EXPECT_EQ(count(im, c3, g2.x + g2.w + 1, g2.y, width, height), 0) << "right of the graticule";
    // (Left of it stand the response labels, in the colour of the trace
    // that sets the scale.)
    EXPECT_EQ(count(im, c3, g2.x - 1, g2.y + g2.h + 1, width, height), 0) << "below the graticule";
    // The ramp is drawn only where it is on scale: the quarter near each
    // end is beyond the graticule.
    EXPECT_EQ(count(im, c3, g2.x, g2.y, g2.x + 0.2 * g2.w, g2.y + g2.h), 0);
}

TEST(DisplayRender, ChartsPlaceComplexPointsOnTheirCircle) {
    // A trace from the chart's centre (its first point, in the format's
    // values) to a point P it stays on, and where P must land (in units of
    // the chart's radius, from the centre).
    struct case_t {
        const char* format;
        double a0, b0, a, b;
        double x, y;
    } cases[] = {
        {"SMIT", 0, 0, 0.5, 0.0, 0.5, 0.0},
        {"POL", 0, 0, 0.0, -0.6, 0.0, -0.6},
        {"PLIN", 0, 0, 0.8, 90.0, 0.0, 0.8},           // magnitude and degrees
        {"SLOG", -300, 0, -6.0206, 180.0, -0.5, 0},  // dB and degrees
    };
    for (const auto& c : cases) {
        display_state_t s;
        s.channels = {channel(1)};
        window_t w;
        trace_t t = trace(1, 1, std::vector<double>(11, c.a), c.format);
        t.y2.assign(11, c.b);
        t.y[0] = c.a0;
        t.y2[0] = c.b0;
        w.traces.push_back(t);
        s.windows = {w};
        const image_t im = decode_png(render(s, image_format_t::png, width, height));
        const rect_t g = geometry(s, width, height).at(0).graticule;
        EXPECT_DOUBLE_EQ(g.w, g.h) << c.format << ": a chart is square";
        const double px = g.x + g.w / 2 + c.x * g.w / 2, py = g.y + g.h / 2 - c.y * g.h / 2;
        EXPECT_GT(count(im, palette_t::trace(1), px - 3, py - 3, px + 4, py + 4), 3) << c.format;
        const double ox = g.x + g.w / 2 - c.x * g.w / 2, oy = g.y + g.h / 2 + c.y * g.h / 2;  // opposite P
        EXPECT_EQ(count(im, palette_t::trace(1), ox - 3, oy - 3, ox + 4, oy + 4), 0) << c.format;
        EXPECT_EQ(count(im, palette_t::trace(1), g.x + 5, g.y + 5, g.x + 0.2 * g.w, g.y + 0.2 * g.h), 0) << c.format;
    }
}

TEST(DisplayRender, FormatsAndSizes) {
    const display_state_t s = known_state();
    const std::string bmp = render(s, image_format_t::bmp, 321, 200);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    auto le32 = [&bmp](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bmp[at + i]);
        return v;
    };
    EXPECT_EQ(le32(18), 321u);
    EXPECT_EQ(le32(22), 200u);
    EXPECT_EQ(bmp.size(), 54u + 200u * ((321u * 3 + 3) & ~3u)) << "rows padded to four bytes";
    // Bottom-up rows: the first stored pixel is the bottom left, the status line.
    const colour_t bottom_left = static_cast<unsigned char>(bmp[56]) << 16 |
                                 static_cast<unsigned char>(bmp[55]) << 8 | static_cast<unsigned char>(bmp[54]);
    EXPECT_EQ(bottom_left, palette_t::window);

    const std::string svg = render(s, image_format_t::svg, 640, 400);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("width=\"640pt\""), std::string::npos);

    EXPECT_EQ(decode_png(render(display_state_t{}, image_format_t::png, 64, 48)).w, 64) << "an empty screen";
    EXPECT_THROW(render(s, image_format_t::png, 0, 100), std::runtime_error);
    EXPECT_THROW(render(s, image_format_t::png, 100, 100000), std::runtime_error);
}

TEST(DisplayRender, MaximizedShowsTheActiveWindowAloneAndManyWindowsTile) {
    display_state_t s = known_state();
    s.maximized = true;
    s.active_window = 2;
    auto g = geometry(s, width, height);
    ASSERT_EQ(g.size(), 1u);
    EXPECT_EQ(g[0].number, 2);
    s.maximized = false;
    for (int n = 3; n <= 9; ++n) {
        window_t w;
        w.number = n;
        s.windows.push_back(w);
    }
    g = geometry(s, width, height);
    ASSERT_EQ(g.size(), 9u);
    for (std::size_t i = 0; i < g.size(); ++i)
        for (std::size_t j = i + 1; j < g.size(); ++j) {
            const rect_t &a = g[i].frame, &b = g[j].frame;
            EXPECT_TRUE(a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y)
                << "windows " << i + 1 << " and " << j + 1 << " overlap";
        }
}

}  // namespace
