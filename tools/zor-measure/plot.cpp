// The picture of a measurement, drawn with cairo: magnitude in dB above,
// phase in degrees below, against frequency; the limit mask, the peak marker
// and the bandwidth in the magnitude panel; a legend and a verdict.
#include "plot.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "files.h"

namespace zor_measure {

namespace {

struct color_t {
    double r, g, b;
};

// Trace colours (the tests look for the S21 one) and how each is stroked:
// S12 and S22 dashed, so that a reciprocal device's S12 does not hide S21.
struct trace_style_t {
    const char* parameter;
    color_t color;
    bool dashed;
};
constexpr trace_style_t trace_styles[] = {
    {"S11", {0x1f / 255.0, 0x77 / 255.0, 0xb4 / 255.0}, false},
    {"S21", {0x2c / 255.0, 0xa0 / 255.0, 0x2c / 255.0}, false},
    {"S12", {0xff / 255.0, 0x7f / 255.0, 0x0e / 255.0}, true},
    {"S22", {0x94 / 255.0, 0x67 / 255.0, 0xbd / 255.0}, true},
};
constexpr color_t limit_color{0xd6 / 255.0, 0x27 / 255.0, 0x28 / 255.0};
constexpr color_t ink{0.13, 0.13, 0.13};
constexpr double quarter_turn = 1.57079632679489661923;  // radians
constexpr color_t grid{0.86, 0.86, 0.86};

const trace_style_t& style_of(const std::string& parameter) {
    for (const auto& s : trace_styles)
        if (parameter == s.parameter) return s;
    return trace_styles[0];
}

void set_color(cairo_t* cr, color_t c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// Ticks at 1, 2 or 5 times a power of ten, about `wanted` of them.
struct axis_t {
    double lo, hi, step;
    double fraction(double v) const { return (v - lo) / (hi - lo); }
};

axis_t nice_axis(double lo, double hi, int wanted, bool snap) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) lo = hi = 0;
    if (!(hi > lo)) {
        lo -= 1;
        hi += 1;
    }
    const double rough = (hi - lo) / wanted;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= rough) break;
    }
    if (snap) {
        lo = std::floor(lo / step) * step;
        hi = std::ceil(hi / step) * step;
    }
    return {lo, hi, step};
}

std::string tick_label(double value, double step) {
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value) < step * 1e-6 ? 0.0 : value);
    return text;
}

// Frequency ticks in one engineering unit for the whole axis: "4.5 GHz".
struct frequency_unit_t {
    double factor;
    const char* name;
};
frequency_unit_t frequency_unit(double highest) {
    if (highest >= 1e9) return {1e9, "GHz"};
    if (highest >= 1e6) return {1e6, "MHz"};
    if (highest >= 1e3) return {1e3, "kHz"};
    return {1, "Hz"};
}

// cairo writes SVG text as glyph outlines, which no one can search or
// copy; the SVG pass therefore collects its texts and they are written as
// <text> elements after cairo has drawn the rest.
struct svg_text_t {
    double x, y, angle_degrees, size;
    bool bold;
    color_t color;
    std::string text;
};
std::vector<svg_text_t>* svg_texts = nullptr;  // set during the SVG pass only

void text_at(cairo_t* cr, double x, double y, const std::string& text, double align_x, double align_y) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    const double left = x - e.x_bearing - e.width * align_x, baseline = y - e.y_bearing - e.height * align_y;
    if (svg_texts == nullptr) {
        cairo_move_to(cr, left, baseline);
        cairo_show_text(cr, text.c_str());
        return;
    }
    double dx = left, dy = baseline, ux = 1, uy = 0;
    cairo_user_to_device(cr, &dx, &dy);
    cairo_user_to_device_distance(cr, &ux, &uy);
    cairo_matrix_t font;
    cairo_get_font_matrix(cr, &font);
    double r = 0, g = 0, b = 0, a = 1;
    cairo_pattern_get_rgba(cairo_get_source(cr), &r, &g, &b, &a);
    const bool bold = cairo_toy_font_face_get_weight(cairo_get_font_face(cr)) == CAIRO_FONT_WEIGHT_BOLD;
    svg_texts->push_back({dx, dy, std::atan2(uy, ux) * 90 / quarter_turn, font.yy, bold, {r, g, b}, text});
}

std::string xml_escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// The collected texts go in just before the closing tag of cairo's file.
void append_svg_texts(const std::string& path, const std::vector<svg_text_t>& texts) {
    std::string svg;
    {
        std::ifstream in(path, std::ios::binary);
        svg.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::size_t end = svg.rfind("</svg>");
    if (end == std::string::npos) throw std::runtime_error("cannot add the texts to " + path);
    std::string elements = "<g font-family=\"sans-serif\">\n";
    for (const auto& t : texts) {
        char head[256];
        std::snprintf(head, sizeof head,
                      "<text x=\"%.2f\" y=\"%.2f\" font-size=\"%.1f\"%s fill=\"rgb(%d,%d,%d)\"", t.x, t.y, t.size,
                      t.bold ? " font-weight=\"bold\"" : "", static_cast<int>(t.color.r * 255 + 0.5),
                      static_cast<int>(t.color.g * 255 + 0.5), static_cast<int>(t.color.b * 255 + 0.5));
        elements += head;
        if (std::fabs(t.angle_degrees) > 0.01) {
            std::snprintf(head, sizeof head, " transform=\"rotate(%.1f %.2f %.2f)\"", t.angle_degrees, t.x, t.y);
            elements += head;
        }
        elements += ">" + xml_escaped(t.text) + "</text>\n";
    }
    elements += "</g>\n";
    svg.insert(end, elements);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << svg;
    if (!out) throw std::runtime_error("cannot write " + path);
}

// Text on a white patch, readable over grid and traces.
void label_at(cairo_t* cr, double x, double y, const std::string& text, double align_x, double align_y) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    cairo_save(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_rectangle(cr, x - e.width * align_x - 3, y - e.height * align_y - 3, e.width + 6, e.height + 6);
    cairo_fill(cr);
    cairo_restore(cr);
    text_at(cr, x, y, text, align_x, align_y);
}

struct panel_t {
    double left, top, width, height;
    axis_t x, y;
    double px(double v) const { return left + x.fraction(v) * width; }
    double py(double v) const { return top + (1 - y.fraction(v)) * height; }
};

void draw_frame(cairo_t* cr, const panel_t& p, const frequency_unit_t& unit, const std::string& y_title,
                bool x_labels) {
    cairo_set_line_width(cr, 1);
    set_color(cr, grid);
    for (double v = std::ceil(p.x.lo / p.x.step) * p.x.step; v <= p.x.hi + p.x.step * 1e-6; v += p.x.step) {
        cairo_move_to(cr, std::round(p.px(v)) + 0.5, p.top);
        cairo_line_to(cr, std::round(p.px(v)) + 0.5, p.top + p.height);
    }
    for (double v = p.y.lo; v <= p.y.hi + p.y.step * 1e-6; v += p.y.step) {
        cairo_move_to(cr, p.left, std::round(p.py(v)) + 0.5);
        cairo_line_to(cr, p.left + p.width, std::round(p.py(v)) + 0.5);
    }
    cairo_stroke(cr);

    set_color(cr, ink);
    cairo_rectangle(cr, p.left + 0.5, p.top + 0.5, p.width, p.height);
    cairo_stroke(cr);
    cairo_set_font_size(cr, 13);
    for (double v = p.y.lo; v <= p.y.hi + p.y.step * 1e-6; v += p.y.step)
        text_at(cr, p.left - 8, p.py(v), tick_label(v, p.y.step), 1, 0.5);
    if (x_labels) {
        for (double v = std::ceil(p.x.lo / p.x.step) * p.x.step; v <= p.x.hi + p.x.step * 1e-6; v += p.x.step)
            text_at(cr, p.px(v), p.top + p.height + 8,
                    tick_label(v / unit.factor, p.x.step / unit.factor) + " " + unit.name, 0.5, 0);
    }
    cairo_save(cr);
    cairo_set_font_size(cr, 14);
    cairo_translate(cr, p.left - 62, p.top + p.height / 2);
    cairo_rotate(cr, -quarter_turn);
    text_at(cr, 0, 0, y_title, 0.5, 0.5);
    cairo_restore(cr);
}

void stroke_style(cairo_t* cr, const trace_style_t& s) {
    set_color(cr, s.color);
    cairo_set_line_width(cr, 2);
    const double dash[] = {8, 5};
    cairo_set_dash(cr, dash, s.dashed ? 2 : 0, 0);
}

void draw_curve(cairo_t* cr, const panel_t& p, const std::vector<double>& f, const std::vector<double>& y,
                const trace_style_t& s) {
    cairo_save(cr);
    cairo_rectangle(cr, p.left, p.top, p.width, p.height);
    cairo_clip(cr);
    stroke_style(cr, s);
    bool drawing = false;
    for (std::size_t i = 0; i < f.size(); ++i) {
        // A value the analyzer could not give breaks the line.
        if (!std::isfinite(y[i])) {
            drawing = false;
            continue;
        }
        const double value = std::max(p.y.lo - p.y.step, std::min(p.y.hi + p.y.step, y[i]));
        if (drawing) cairo_line_to(cr, p.px(f[i]), p.py(value));
        else cairo_move_to(cr, p.px(f[i]), p.py(value));
        drawing = true;
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

// Traces drawn bottom to top: the dashed ones last, so that both show
// where they lie on top of each other.
std::vector<const trace_data_t*> drawing_order(const measurement_t& m) {
    std::vector<const trace_data_t*> order;
    for (bool dashed : {false, true})
        for (const auto& t : m.traces)
            if (style_of(t.parameter).dashed == dashed) order.push_back(&t);
    return order;
}

void draw_limits(cairo_t* cr, const panel_t& p, const measurement_t& m) {
    cairo_save(cr);
    cairo_rectangle(cr, p.left, p.top, p.width, p.height);
    cairo_clip(cr);
    set_color(cr, limit_color);
    cairo_set_line_width(cr, 2.5);
    const double dash[] = {3, 3};
    cairo_set_dash(cr, dash, 2, 0);
    for (const auto& s : m.mask) {
        cairo_move_to(cr, p.px(s.start), p.py(s.start_db));
        cairo_line_to(cr, p.px(s.stop), p.py(s.stop_db));
    }
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    // Failed points: a cross on the tested trace.
    const trace_data_t* tested = m.trace(m.limit.parameter);
    if (tested != nullptr) {
        cairo_set_line_width(cr, 1.5);
        for (double f : m.limit.failed_frequencies) {
            const auto at = std::lower_bound(m.frequency.begin(), m.frequency.end(), f) - m.frequency.begin();
            if (at >= static_cast<std::ptrdiff_t>(m.frequency.size())) continue;
            const double x = p.px(f), y = p.py(magnitude_db(tested->values[static_cast<std::size_t>(at)]));
            cairo_move_to(cr, x - 4, y - 4);
            cairo_line_to(cr, x + 4, y + 4);
            cairo_move_to(cr, x - 4, y + 4);
            cairo_line_to(cr, x + 4, y - 4);
        }
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

void draw_search(cairo_t* cr, const panel_t& p, const search_result_t& s) {
    set_color(cr, ink);
    cairo_set_line_width(cr, 1.5);
    cairo_set_font_size(cr, 13);
    if (!std::isfinite(s.peak_frequency) || !std::isfinite(s.peak_db)) return;
    // The peak marker: a triangle pointing down at the peak.
    const double x = p.px(s.peak_frequency), y = p.py(s.peak_db);
    cairo_move_to(cr, x, y - 3);
    cairo_line_to(cr, x - 7, y - 15);
    cairo_line_to(cr, x + 7, y - 15);
    cairo_close_path(cr);
    cairo_fill(cr);
    label_at(cr, x + 10, y - 16,
             "M1 " + engineering(s.peak_frequency, "Hz") + "  " + tick_label(s.peak_db, 0.01) + " dB", 0, 1);
    if (!s.has_band) return;
    // The bandwidth: edges and an arrow between them at the measured level.
    const double x0 = p.px(s.center - s.bandwidth / 2), x1 = p.px(s.center + s.bandwidth / 2);
    const double yl = p.py(s.level_db);
    const double dash[] = {2, 3};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_move_to(cr, x0, yl - 14);
    cairo_line_to(cr, x0, std::min(p.top + p.height, yl + 40));
    cairo_move_to(cr, x1, yl - 14);
    cairo_line_to(cr, x1, std::min(p.top + p.height, yl + 40));
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_move_to(cr, x0, yl);
    cairo_line_to(cr, x1, yl);
    cairo_stroke(cr);
    for (double side : {-1.0, 1.0}) {
        const double tip = side < 0 ? x0 : x1;
        cairo_move_to(cr, tip, yl);
        cairo_line_to(cr, tip - side * 7, yl - 4);
        cairo_line_to(cr, tip - side * 7, yl + 4);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    char q[32];
    std::snprintf(q, sizeof q, "%.1f", s.q);
    const std::string label = "BW " + engineering(s.bandwidth, "Hz") + "  Q " + q;
    label_at(cr, x1 + 8, yl + 14, label, 0, 0.5);
}

// One row above the data, right-aligned under the verdict: it covers nothing.
void draw_legend(cairo_t* cr, double right, double middle, const measurement_t& m) {
    std::vector<std::pair<std::string, trace_style_t>> rows;
    for (const auto& t : m.traces) rows.push_back({t.parameter, style_of(t.parameter)});
    if (!m.mask.empty()) rows.push_back({"Limit", {"Limit", limit_color, true}});
    constexpr double entry = 92, line = 30;
    cairo_set_font_size(cr, 13);
    double left = right - entry * static_cast<double>(rows.size());
    for (const auto& row : rows) {
        stroke_style(cr, row.second);
        cairo_move_to(cr, left, middle);
        cairo_line_to(cr, left + line, middle);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        set_color(cr, ink);
        text_at(cr, left + line + 6, middle, row.first, 0, 0.5);
        left += entry;
    }
}

// Phase without its jumps of 360 degrees: each point the turn nearest the last.
std::vector<double> unwrapped_degrees(const std::vector<std::complex<double>>& values) {
    std::vector<double> out;
    double turns = 0, last = 0;
    for (const auto& v : values) {
        const double d = phase_degrees(v);
        if (!std::isfinite(d)) {
            out.push_back(d);
            continue;
        }
        if (!out.empty()) turns += std::round((last - d) / 360);
        last = d;
        out.push_back(d + 360 * turns);
    }
    return out;
}

void draw(cairo_t* cr, const measurement_t& m, double width, double height, const std::string& title,
          const std::vector<std::string>& phase_of) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

    const double lo_f = m.frequency.front();
    const double hi_f = m.frequency.back() > lo_f ? m.frequency.back() : lo_f + 1;  // a zero span still draws
    const frequency_unit_t unit = frequency_unit(std::max(std::fabs(lo_f), std::fabs(hi_f)));
    const axis_t fx = nice_axis(lo_f, hi_f, 8, false);
    const axis_t x{lo_f, hi_f, fx.step};

    // Magnitude range: the data, the mask and the band, at most 100 dB deep.
    double top = -1e300, bottom = 1e300;
    for (const auto& t : m.traces)
        for (const auto& v : t.values) {
            const double db = magnitude_db(v);
            if (!std::isfinite(db)) continue;
            top = std::max(top, db);
            bottom = std::min(bottom, db);
        }
    for (const auto& s : m.mask)
        for (double v : {s.start_db, s.stop_db}) {
            top = std::max(top, v);
            bottom = std::min(bottom, v);
        }
    if (top < bottom) top = bottom = 0;  // nothing finite to show
    bottom = std::max(bottom, top - 100);
    // The phase panel shows the unwrapped phase of the parameters asked for.
    std::vector<std::pair<const trace_data_t*, std::vector<double>>> phases;
    double phase_lo = 1e300, phase_hi = -1e300;
    for (const trace_data_t* t : drawing_order(m)) {
        if (std::find(phase_of.begin(), phase_of.end(), t->parameter) == phase_of.end()) continue;
        phases.push_back({t, unwrapped_degrees(t->values)});
        for (double d : phases.back().second)
            if (std::isfinite(d)) {
                phase_lo = std::min(phase_lo, d);
                phase_hi = std::max(phase_hi, d);
            }
    }
    if (phase_lo > phase_hi) phase_lo = phase_hi = 0;
    const double left = 96, right = 30, head = 76, foot = 44;
    const double gap = phases.empty() ? 0 : 56, room = height - head - foot - gap;
    const double mag_height = phases.empty() ? room : room * 0.6, phase_height = room - mag_height;
    panel_t magnitude{left, head, width - left - right, mag_height, x, nice_axis(bottom - 2, top + 2, 8, true)};
    panel_t phase{left, head + mag_height + gap, width - left - right, phase_height, x,
                  nice_axis(phase_lo, phase_hi, 6, true)};

    set_color(cr, ink);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 18);
    text_at(cr, left, 22, title, 0, 0.5);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 13);
    text_at(cr, left, 52, m.identity, 0, 0.5);
    if (m.limit.tested) {
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 18);
        set_color(cr, m.limit.passed ? color_t{0.1, 0.55, 0.1} : limit_color);
        text_at(cr, width - right, 22,
                m.limit.parameter + " limit test: " + (m.limit.passed ? std::string("PASS") : "FAIL"), 1, 0.5);
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    }

    draw_frame(cr, magnitude, unit, "Magnitude (dB)", true);
    for (const trace_data_t* t : drawing_order(m)) {
        std::vector<double> mag;
        for (const auto& v : t->values) mag.push_back(magnitude_db(v));
        draw_curve(cr, magnitude, m.frequency, mag, style_of(t->parameter));
    }
    if (!phases.empty()) {
        std::string names;
        for (const auto& p : phases) names += (names.empty() ? "" : ", ") + p.first->parameter;
        draw_frame(cr, phase, unit, "Phase of " + names + " (°)", true);
        for (const auto& p : phases) draw_curve(cr, phase, m.frequency, p.second, style_of(p.first->parameter));
    }
    cairo_set_dash(cr, nullptr, 0, 0);
    draw_limits(cr, magnitude, m);
    draw_search(cr, magnitude, m.search);
    draw_legend(cr, width - right, 52, m);
    set_color(cr, ink);
    cairo_set_font_size(cr, 14);
    text_at(cr, left + magnitude.width / 2, height - 14, "Frequency", 0.5, 0.5);
}

void check_surface(cairo_surface_t* surface, const std::string& path) {
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot draw " + path + ": " + cairo_status_to_string(cairo_surface_status(surface)));
}

}  // namespace

bool plot_available() { return true; }

void draw_plot(const measurement_t& m, const std::string& png_path, const std::string& svg_path,
               const std::string& title, const std::vector<std::string>& phase) {
    if (m.frequency.size() < 2 || m.traces.empty()) throw std::runtime_error("nothing to draw");
    {
        std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
            cairo_image_surface_create(CAIRO_FORMAT_RGB24, plot_width, plot_height), cairo_surface_destroy);
        check_surface(surface.get(), png_path);
        cairo_t* cr = cairo_create(surface.get());
        draw(cr, m, plot_width, plot_height, title, phase);
        cairo_destroy(cr);
        const cairo_status_t written = cairo_surface_write_to_png(surface.get(), png_path.c_str());
        if (written != CAIRO_STATUS_SUCCESS)
            throw std::runtime_error("cannot write " + png_path + ": " + cairo_status_to_string(written));
    }
    {
        std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
            cairo_svg_surface_create(svg_path.c_str(), plot_width, plot_height), cairo_surface_destroy);
        check_surface(surface.get(), svg_path);
        // Sized in pixels, as the PNG is, not in points.
        cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PX);
        std::vector<svg_text_t> texts;
        svg_texts = &texts;
        cairo_t* cr = cairo_create(surface.get());
        draw(cr, m, plot_width, plot_height, title, phase);
        cairo_destroy(cr);
        svg_texts = nullptr;
        cairo_surface_finish(surface.get());
        check_surface(surface.get(), svg_path);
        append_svg_texts(svg_path, texts);
    }
}

}  // namespace zor_measure
