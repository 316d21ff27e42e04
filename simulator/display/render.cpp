// Draws a display snapshot with cairo: windows with their graticules (or
// Smith and polar charts), traces, memory traces, limit lines with the
// failing points, markers with their readouts, the stimulus annotation per
// window and the status line of the active channel.
#include "render.h"

#include "notation.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace zorsim::display {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double font_size = 11;

void colour(cairo_t* cr, colour_t c, double alpha = 1) {
    cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0, alpha);
}

void text_at(cairo_t* cr, double x, double y, const std::string& s) {
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s.c_str());
}

double text_width(cairo_t* cr, const std::string& s) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    return e.x_advance;
}

const char* format_label(const std::string& f) {
    struct entry_t {
        const char* format;
        const char* label;
    };
    static const entry_t labels[] = {
        {"MLOG", "LogM"},         {"PHAS", "Phase"},         {"GDEL", "Delay"},         {"SLIN", "Smith Lin"},
        {"SLOG", "Smith Log"},    {"SCOM", "Smith Re/Im"},   {"SMIT", "Smith R+jX"},    {"SADM", "Smith G+jB"},
        {"PLIN", "Polar Lin"},    {"PLOG", "Polar Log"},     {"POL", "Polar Re/Im"},    {"MLIN", "LinM"},
        {"SWR", "SWR"},           {"REAL", "Real"},          {"IMAG", "Imag"},          {"UPH", "Unwr Phase"},
        {"PPH", "+Phase"},
    };
    for (const auto& e : labels)
        if (f == e.format) return e.label;
    return "?";
}

const char* scale_unit(const std::string& f) {
    if (f == "MLOG") return "dB";
    if (f == "PHAS" || f == "UPH" || f == "PPH") return "\xC2\xB0";
    if (f == "GDEL") return "s";
    return "U";
}

std::string number(double v, int decimals = 3) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

const channel_t* find_channel(const display_state_t& s, int number) {
    for (const auto& c : s.channels)
        if (c.number == number) return &c;
    return nullptr;
}

// Maps stimulus and response to pixels in a rectangular graticule.
struct rect_map_t {
    rect_t g;
    double x0 = 0, x1 = 1;
    bool log = false;
    int divisions = 10;
    double per_division = 1, reference_level = 0, reference_position = 5;

    double px(double x) const {
        double f = 0;
        if (log && x > 0 && x0 > 0 && x1 > 0 && x1 != x0) f = std::log(x / x0) / std::log(x1 / x0);
        else if (x1 != x0) f = (x - x0) / (x1 - x0);
        return g.x + f * g.w;
    }
    double py(double y) const {
        const double div = reference_position + (y - reference_level) / per_division;
        return g.y + g.h - div * g.h / divisions;
    }
};

// A point of a Smith or polar format as a complex reflection for the chart:
// complex formats are already, magnitude/phase ones are converted.
std::complex<double> chart_point(const std::string& f, double a, double b) {
    if (f == "SLIN" || f == "PLIN") return std::polar(a, b * pi / 180);
    if (f == "SLOG" || f == "PLOG") return std::polar(std::pow(10.0, a / 20), b * pi / 180);
    return {a, b};
}

struct chart_map_t {
    double cx = 0, cy = 0, radius = 1;
    double px(std::complex<double> z) const { return cx + z.real() * radius; }
    double py(std::complex<double> z) const { return cy - z.imag() * radius; }
};

chart_map_t chart_of(const rect_t& g) { return {g.x + g.w / 2, g.y + g.h / 2, g.w / 2}; }

// The value of the drawn trace at stimulus x, interpolated between its points.
bool value_at(const std::vector<double>& xs, const std::vector<double>& ys, double x, double& y, std::size_t& index) {
    if (xs.empty() || xs.size() != ys.size()) return false;
    const auto it = std::lower_bound(xs.begin(), xs.end(), x);
    if (it == xs.end()) {
        index = xs.size() - 1;
    } else if (it == xs.begin() || *it == x) {
        index = static_cast<std::size_t>(it - xs.begin());
    } else {
        const std::size_t k = static_cast<std::size_t>(it - xs.begin());
        const double f = (x - xs[k - 1]) / (xs[k] - xs[k - 1]);
        index = f < 0.5 ? k - 1 : k;
        y = ys[k - 1] + f * (ys[k] - ys[k - 1]);
        return std::isfinite(y);
    }
    y = ys[index];
    return std::isfinite(y);
}

class painter_t {
public:
    painter_t(cairo_t* cr, const display_state_t& s) : cr_(cr), s_(s) {
        cairo_select_font_face(cr_, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr_, font_size);
    }

    void screen(int width, int height) {
        colour(cr_, palette_t::background);
        cairo_paint(cr_);
        for (const auto& g : geometry(s_, width, height))
            for (const auto& w : s_.windows)
                if (w.number == g.number) window(w, g);
        status_line(width, height);
    }

private:
    void window(const window_t& w, const window_geometry_t& g) {
        const rect_t& f = g.frame;
        cairo_save(cr_);
        cairo_rectangle(cr_, f.x, f.y, f.w, f.h);
        cairo_clip(cr_);
        colour(cr_, palette_t::window);
        cairo_paint(cr_);

        colour(cr_, palette_t::text);
        std::string head = std::to_string(w.number);
        if (!w.title.empty()) head += "  " + w.title;
        text_at(cr_, f.x + 6, f.y + 13, head);

        // Trace labels, two per line: "Tr1 S21 LogM 10.00dB/ Ref 0.000dB".
        for (std::size_t i = 0; i < w.traces.size(); ++i) {
            const trace_t& t = w.traces[i];
            const double x = f.x + 6 + (i % 2) * (f.w / 2);
            const double y = f.y + 13 + 15 * static_cast<double>(i / 2 + 1);
            std::string label = (t.active ? ">Tr" : " Tr") + std::to_string(t.number) + " " + t.parameter + " " +
                                format_label(t.format);
            if (t.grid == grid_t::rectangular)
                label += " " + number(t.per_division, 2) + scale_unit(t.format) + "/ Ref " +
                         number(t.reference_level, 2) + scale_unit(t.format);
            if (t.memory_shown) label += " D&M";
            if (!t.title.empty()) label += "  " + t.title;
            colour(cr_, t.colour);
            text_at(cr_, x, y, label);
            if (t.limit_test) {
                colour(cr_, t.limit_failed ? palette_t::limit_fail : palette_t::limit_pass);
                text_at(cr_, x + text_width(cr_, label + "  "), y, t.limit_failed ? "FAIL" : "PASS");
            }
        }

        const grid_t grid = window_grid(w);
        if (grid == grid_t::rectangular) rectangular_grid(w, g.graticule);
        else circular_grid(grid, g.graticule);

        cairo_save(cr_);
        cairo_rectangle(cr_, g.graticule.x, g.graticule.y, g.graticule.w, g.graticule.h);
        cairo_clip(cr_);
        for (const auto& t : w.traces) plot(w, t, g.graticule);
        cairo_restore(cr_);
        cairo_save(cr_);
        cairo_rectangle(cr_, g.plot.x, g.plot.y, g.plot.w, g.plot.h);
        cairo_clip(cr_);
        readouts(w, g.plot);
        cairo_restore(cr_);

        stimulus(w, g);
        cairo_restore(cr_);
        colour(cr_, w.active ? palette_t::active_frame : palette_t::frame);
        cairo_set_line_width(cr_, 1);
        cairo_rectangle(cr_, f.x + 0.5, f.y + 0.5, f.w - 1, f.h - 1);
        cairo_stroke(cr_);
    }

    const trace_t* scale_trace(const window_t& w) const {
        const trace_t* chosen = nullptr;
        for (const auto& t : w.traces)
            if (t.grid == grid_t::rectangular && (chosen == nullptr || t.active)) chosen = &t;
        return chosen;
    }

    rect_map_t map_of(const window_t& w, const trace_t& t, const rect_t& g) const {
        rect_map_t m;
        m.g = g;
        m.divisions = std::max(1, w.divisions);
        m.per_division = t.per_division > 0 ? t.per_division : 1;
        m.reference_level = t.reference_level;
        m.reference_position = t.reference_position;
        // The x axis is the chain's own (Hz, or seconds and dBm for CW-time
        // and power sweeps); a log sweep spreads it logarithmically.
        if (!t.x.empty()) {
            m.x0 = t.x.front();
            m.x1 = t.x.back();
        }
        if (const channel_t* c = find_channel(s_, t.channel)) m.log = c->sweep_type == "LOG";
        return m;
    }

    void rectangular_grid(const window_t& w, const rect_t& g) {
        const int divisions = std::max(1, w.divisions);
        colour(cr_, palette_t::grid);
        cairo_set_line_width(cr_, 1);
        for (int i = 0; i <= 10; ++i) {
            const double x = std::round(g.x + g.w * i / 10) + 0.5;
            cairo_move_to(cr_, std::min(x, g.x + g.w - 0.5), g.y);
            cairo_line_to(cr_, std::min(x, g.x + g.w - 0.5), g.y + g.h);
        }
        for (int i = 0; i <= divisions; ++i) {
            const double y = std::round(g.y + g.h * i / divisions) + 0.5;
            cairo_move_to(cr_, g.x, std::min(y, g.y + g.h - 0.5));
            cairo_line_to(cr_, g.x + g.w, std::min(y, g.y + g.h - 0.5));
        }
        cairo_stroke(cr_);
        // Response labels of the scale trace, left of the graticule, and a
        // mark at each trace's reference position.
        const trace_t* t = scale_trace(w);
        if (t == nullptr) return;
        const double step = std::max(1.0, std::ceil(14.0 * divisions / g.h));  // labels do not overlap
        colour(cr_, t->colour);
        for (int i = 0; i <= divisions; i += static_cast<int>(step)) {
            const double v = t->reference_level + (i - t->reference_position) * t->per_division;
            const double y = g.y + g.h - g.h * i / divisions;
            const std::string s = number(v, std::fabs(t->per_division) < 1 ? 3 : 1);
            text_at(cr_, g.x - 6 - text_width(cr_, s), y + 4, s);
        }
        for (const auto& tr : w.traces) {
            if (tr.grid != grid_t::rectangular) continue;
            const double y = g.y + g.h - tr.reference_position * g.h / divisions;
            if (y < g.y - 0.5 || y > g.y + g.h + 0.5) continue;
            colour(cr_, tr.colour);
            cairo_move_to(cr_, g.x - 1, y);
            cairo_line_to(cr_, g.x - 6, y - 4);
            cairo_line_to(cr_, g.x - 6, y + 4);
            cairo_close_path(cr_);
            cairo_fill(cr_);
        }
    }

    void circular_grid(grid_t grid, const rect_t& g) {
        const chart_map_t m = chart_of(g);
        colour(cr_, palette_t::grid);
        cairo_set_line_width(cr_, 1);
        cairo_save(cr_);
        cairo_new_path(cr_);  // no line from where the last text ended
        cairo_arc(cr_, m.cx, m.cy, m.radius - 0.5, 0, 2 * pi);
        cairo_stroke_preserve(cr_);
        cairo_clip(cr_);
        cairo_move_to(cr_, m.cx - m.radius, m.cy);
        cairo_line_to(cr_, m.cx + m.radius, m.cy);
        if (grid == grid_t::smith) {
            // Circles of constant resistance and arcs of constant reactance
            // (normalized), in reflection-coefficient coordinates.
            for (double r : {0.2, 0.5, 1.0, 2.0, 5.0}) {
                cairo_new_sub_path(cr_);
                cairo_arc(cr_, m.cx + m.radius * r / (1 + r), m.cy, m.radius / (1 + r), 0, 2 * pi);
            }
            for (double x : {0.2, 0.5, 1.0, 2.0, 5.0}) {
                for (double sign : {1.0, -1.0}) {
                    cairo_new_sub_path(cr_);
                    cairo_arc(cr_, m.cx + m.radius, m.cy - sign * m.radius / x, m.radius / x, 0, 2 * pi);
                }
            }
        } else {
            for (double r : {0.2, 0.4, 0.6, 0.8}) {
                cairo_new_sub_path(cr_);
                cairo_arc(cr_, m.cx, m.cy, m.radius * r, 0, 2 * pi);
            }
            for (int a = 30; a < 180; a += 30) {
                const double c = std::cos(a * pi / 180), s = std::sin(a * pi / 180);
                cairo_move_to(cr_, m.cx - c * m.radius, m.cy + s * m.radius);
                cairo_line_to(cr_, m.cx + c * m.radius, m.cy - s * m.radius);
            }
        }
        cairo_stroke(cr_);
        cairo_restore(cr_);
    }

    // A polyline through the finite points; a non-finite one breaks it.
    template <class Point>
    void polyline(std::size_t n, Point point) {
        bool pen = false;
        for (std::size_t k = 0; k < n; ++k) {
            double x = 0, y = 0;
            if (!point(k, x, y) || !std::isfinite(x) || !std::isfinite(y)) {
                pen = false;
                continue;
            }
            // Far outside values would overflow cairo's fixed point.
            x = std::max(-1e5, std::min(1e5, x));
            y = std::max(-1e5, std::min(1e5, y));
            if (pen) cairo_line_to(cr_, x, y);
            else cairo_move_to(cr_, x, y);
            pen = true;
        }
        cairo_stroke(cr_);
    }

    void plot(const window_t& w, const trace_t& t, const rect_t& g) {
        cairo_set_line_width(cr_, 2);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
        // Round caps: a trace that stays on one point (a CW sweep on a
        // chart) still shows as a dot.
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
        const std::size_t n = std::min(t.x.size(), t.y.size());
        if (t.grid == grid_t::rectangular) {
            const rect_map_t m = map_of(w, t, g);
            if (t.limit_lines || t.limit_test) {
                colour(cr_, palette_t::limit_line);
                for (const auto& s : t.limit_segments) {
                    cairo_move_to(cr_, m.px(s.x0), m.py(s.y0));
                    cairo_line_to(cr_, m.px(s.x1), m.py(s.y1));
                }
                cairo_stroke(cr_);
            }
            if (t.memory_shown && t.memory_y.size() == n) {
                colour(cr_, t.colour, 0.45);
                polyline(n, [&](std::size_t k, double& x, double& y) {
                    x = m.px(t.x[k]);
                    y = m.py(t.memory_y[k]);
                    return true;
                });
            }
            colour(cr_, t.colour);
            polyline(n, [&](std::size_t k, double& x, double& y) {
                x = m.px(t.x[k]);
                y = m.py(t.y[k]);
                return true;
            });
            // The points the limit test failed, over the trace.
            colour(cr_, palette_t::limit_fail);
            for (double fx : t.failed_x) {
                double fy = 0;
                std::size_t k = 0;
                if (!value_at(t.x, t.y, fx, fy, k)) continue;
                cairo_rectangle(cr_, m.px(fx) - 2.5, m.py(t.y[k]) - 2.5, 5, 5);
            }
            cairo_fill(cr_);
            for (const auto& mk : t.markers) {
                double y = 0;
                std::size_t k = 0;
                if (value_at(t.x, t.y, mk.x, y, k)) marker_symbol(t, mk, m.px(mk.x), m.py(y));
            }
            return;
        }
        const chart_map_t m = chart_of(g);
        auto draw = [&](const std::vector<double>& a, const std::vector<double>& b) {
            polyline(std::min(a.size(), b.size()), [&](std::size_t k, double& x, double& y) {
                const auto z = chart_point(t.format, a[k], b[k]);
                x = m.px(z);
                y = m.py(z);
                return true;
            });
        };
        if (t.memory_shown) {
            colour(cr_, t.colour, 0.45);
            draw(t.memory_y, t.memory_y2);
        }
        colour(cr_, t.colour);
        draw(t.y, t.y2);
        for (const auto& mk : t.markers) {
            double unused = 0;
            std::size_t k = 0;
            if (!value_at(t.x, t.y, mk.x, unused, k) || k >= t.y2.size()) continue;
            const auto z = chart_point(t.format, t.y[k], t.y2[k]);
            marker_symbol(t, mk, m.px(z), m.py(z));
        }
    }

    // A triangle pointing down at the trace; filled for the active marker.
    void marker_symbol(const trace_t& t, const marker_t& mk, double x, double y) {
        const double size = mk.active ? 7 : 5;
        colour(cr_, t.colour);
        cairo_set_line_width(cr_, 1.5);
        cairo_move_to(cr_, x, y - 1);
        cairo_line_to(cr_, x - size, y - 1 - 1.6 * size);
        cairo_line_to(cr_, x + size, y - 1 - 1.6 * size);
        cairo_close_path(cr_);
        if (mk.active) cairo_fill(cr_);
        else cairo_stroke(cr_);
        const std::string label = mk.reference ? "R" : std::to_string(mk.number);
        text_at(cr_, x - text_width(cr_, label) / 2, y - 4 - 1.6 * size, label);
    }

    // The marker table: top right of the plot area, one line a marker.
    void readouts(const window_t& w, const rect_t& g) {
        std::vector<std::pair<const trace_t*, const marker_t*>> lines;
        for (const auto& t : w.traces)
            for (const auto& mk : t.markers) lines.emplace_back(&t, &mk);
        if (lines.empty()) return;
        double width = 0;
        for (const auto& [t, mk] : lines) width = std::max(width, text_width(cr_, " " + mk->readout));
        const double x = g.x + g.w - width - 10, y = g.y + 4;
        colour(cr_, palette_t::window, 0.85);
        cairo_rectangle(cr_, x - 4, y, width + 10, 14.0 * static_cast<double>(lines.size()) + 4);
        cairo_fill(cr_);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            colour(cr_, lines[i].first->colour);
            text_at(cr_, x, y + 13 + 14.0 * static_cast<double>(i),
                    (lines[i].second->active ? ">" : " ") + lines[i].second->readout);
        }
    }

    void stimulus(const window_t& w, const window_geometry_t& g) {
        if (w.traces.empty()) return;
        const trace_t* t = &w.traces.front();
        for (const auto& tr : w.traces)
            if (tr.active) t = &tr;
        const channel_t* c = find_channel(s_, t->channel);
        if (c == nullptr) return;
        std::string s = "Ch" + std::to_string(c->number) + "  Start " + engineering_short(c->start, "Hz") + "  Stop " +
                        engineering_short(c->stop, "Hz") + "  Center " + engineering_short((c->start + c->stop) / 2, "Hz") +
                        "  Span " + engineering_short(c->stop - c->start, "Hz") + "  " + std::to_string(c->points) +
                        " pts  IFBW " + engineering_short(c->if_bandwidth, "Hz");
        if (c->sweep_type != "LIN" && !c->sweep_type.empty()) s += "  " + c->sweep_type;
        colour(cr_, palette_t::text);
        text_at(cr_, g.frame.x + 6, g.frame.y + g.frame.h - 5, s);
    }

    void status_line(int width, int height) {
        const double y = height - 22.0;
        colour(cr_, palette_t::window);
        cairo_rectangle(cr_, 0, y, width, 22);
        cairo_fill(cr_);
        const channel_t* c = find_channel(s_, s_.active_channel);
        if (c == nullptr) return;
        const char* mode = c->sweep_mode == "HOLD" ? "Hold" : c->sweep_mode == "SING" ? "Single" : "Cont";
        const char* correction = c->correction == correction_t::on             ? "Cor"
                                 : c->correction == correction_t::interpolated ? "C?"
                                                                               : "Cor Off";
        std::string s = "Ch" + std::to_string(c->number) + "  " + mode + "  " + correction + "  Avg " +
                        (c->averaging ? std::to_string(c->average_count) : std::string("Off"));
        colour(cr_, palette_t::text);
        text_at(cr_, 8, y + 15, s);
    }

    cairo_t* cr_;
    const display_state_t& s_;
};

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

using surface_t = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using context_ptr_t = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

void draw(cairo_surface_t* surface, const display_state_t& state, int width, int height) {
    context_ptr_t cr(cairo_create(surface), &cairo_destroy);
    painter_t(cr.get(), state).screen(width, height);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(std::string("drawing failed: ") + cairo_status_to_string(cairo_status(cr.get())));
}

// 24-bit bottom-up BMP of an RGB24 image surface.
std::string bmp_of(cairo_surface_t* surface) {
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const std::uint32_t row = (static_cast<std::uint32_t>(w) * 3 + 3) & ~3u;
    const std::uint32_t pixels = row * static_cast<std::uint32_t>(h);
    std::string out;
    out.reserve(54 + pixels);
    auto le = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    out += "BM";
    le(54 + pixels, 4), le(0, 4), le(54, 4);
    le(40, 4), le(static_cast<std::uint32_t>(w), 4), le(static_cast<std::uint32_t>(h), 4), le(1, 2), le(24, 2);
    le(0, 4), le(pixels, 4), le(2835, 4), le(2835, 4), le(0, 4), le(0, 4);
    for (int y = h - 1; y >= 0; --y) {
        const auto* p = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        std::uint32_t written = 0;
        for (int x = 0; x < w; ++x, written += 3) {
            out += static_cast<char>(p[x] & 0xFF);          // blue
            out += static_cast<char>((p[x] >> 8) & 0xFF);   // green
            out += static_cast<char>((p[x] >> 16) & 0xFF);  // red
        }
        for (; written < row; ++written) out += '\0';
    }
    return out;
}

}  // namespace

std::string render(const display_state_t& state, image_format_t format, int width, int height) {
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
        throw std::runtime_error("image size out of range: " + std::to_string(width) + "x" + std::to_string(height));
    std::string out;
    if (format == image_format_t::svg) {
        {
            surface_t surface(cairo_svg_surface_create_for_stream(append, &out, width, height), &cairo_surface_destroy);
            draw(surface.get(), state, width, height);
            cairo_surface_finish(surface.get());
            if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) throw std::runtime_error("SVG failed");
        }
        return out;
    }
    surface_t surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), &cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) throw std::runtime_error("no image surface");
    draw(surface.get(), state, width, height);
    cairo_surface_flush(surface.get());
    if (format == image_format_t::bmp) return bmp_of(surface.get());
    if (cairo_surface_write_to_png_stream(surface.get(), append, &out) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("PNG encoding failed");
    return out;
}

}  // namespace zorsim::display

extern "C" __attribute__((visibility("default"))) bool zorsim_render_image(
    const zorsim::display::display_state_t& state, zorsim::display::image_format_t format, int width, int height,
    std::string& image, std::string& error) noexcept {
    try {
        image = zorsim::display::render(state, format, width, height);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "the renderer failed";
    }
    return false;
}
