// DISPlay: the layout of channels, traces and windows (lists, selection,
// creating, deleting and moving traces, showing windows), window and trace
// titles, scales and annotation.
#include "commands.h"

#include <simulator/instrument/settings.h>

namespace zorsim {

namespace {

// A layout change the present layout does not allow (an absent trace or
// window, the last trace): "Settings conflict", nothing changed.
constexpr int settings_conflict = -221;

layout_t& layout_of(context_t& ctx) { return instrument_of(ctx).setup.layout; }

// Lists answer as "1,2,4"; an empty list as an empty response.
void answer_list(context_t& ctx, const std::vector<int>& numbers) {
    ctx.expect_params(0, 0);
    std::string text;
    for (int n : numbers) {
        if (!text.empty()) text += ',';
        text += std::to_string(n);
    }
    ctx.answer(text);
}

void require(bool allowed) {
    if (!allowed) throw scpi_error(settings_conflict);
}

void show_window(context_t& ctx, bool show) {
    layout_t& l = layout_of(ctx);
    const int w = ctx.suffix(0);
    if (show) {
        l.windows.insert(w);
        return;
    }
    if (!l.shown(w)) return;
    // Closing a window removes its traces; the analyzer keeps at least one.
    if (l.traces_of_window(w).size() == l.traces.size()) throw scpi_error(settings_conflict);
    for (int trace : l.traces_of_window(w)) l.traces.erase(trace);
    l.windows.erase(w);
    l.repair_selection();
}

// ":DISPlay:WINDow<w>:TRACe<t> 1" creates trace t in window w (showing the
// window), measured by the active channel; a trace that exists already
// elsewhere is a conflict (MOVE moves it), in w it is left alone.
// "... 0" deletes trace t from window w.
void create_or_delete_trace(context_t& ctx) {
    ctx.expect_params(1, 1);
    const bool create = ctx.boolean_param(0);
    layout_t& l = layout_of(ctx);
    const int w = ctx.suffix(0);
    const int t = ctx.suffix(1);
    auto it = l.traces.find(t);
    if (create) {
        if (it != l.traces.end()) {
            if (it->second.window != w) throw scpi_error(settings_conflict);
            return;
        }
        l.windows.insert(w);
        l.traces[t] = layout_t::trace_t{l.active_channel, w};
        return;
    }
    if (it == l.traces.end() || it->second.window != w || l.traces.size() == 1) throw scpi_error(settings_conflict);
    l.traces.erase(it);
    l.repair_selection();
}

// "<node><n>:SELect" and its second name "<node><n>:ACTivate".
void add_selection(scpi::command_table_t& t, const std::string& node, bool (layout_t::*select)(int),
                   int layout_t::*active) {
    auto set = [select](context_t& ctx) {
        ctx.expect_params(0, 0);
        require((layout_of(ctx).*select)(ctx.suffix(0)));
    };
    auto query = [active](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(layout_of(ctx).*active);
    };
    t.add(node + ":SELect", set, query);
    t.add(node + ":ACTivate", set, query);
}

}  // namespace

void register_display_commands(scpi::command_table_t& t) {
    // ---- lists
    t.add_query(":DISPlay:CHANnel:LIST?", [](context_t& ctx) { answer_list(ctx, layout_of(ctx).channels()); });
    t.add_query(":DISPlay:CHANnel#:TRACe:LIST?",
                [](context_t& ctx) { answer_list(ctx, layout_of(ctx).traces_of_channel(ctx.suffix(0))); });
    t.add_query(":DISPlay:WINDow:LIST?", [](context_t& ctx) { answer_list(ctx, layout_of(ctx).window_numbers()); });
    t.add_query(":DISPlay:WINDow#:TRACe:LIST?",
                [](context_t& ctx) { answer_list(ctx, layout_of(ctx).traces_of_window(ctx.suffix(0))); });
    t.add_query(":DISPlay:TRACe:LIST?", [](context_t& ctx) { answer_list(ctx, layout_of(ctx).trace_numbers()); });

    // ---- selection: "<node><n>:SELect" selects n, "<node>:SELect?" names the
    // active one; ACTivate is a second name of the trace and window forms.
    t.add(
        ":DISPlay:CHANnel#:SELect",
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            require(layout_of(ctx).select_channel(ctx.suffix(0)));
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_integer(layout_of(ctx).active_channel);
        });
    add_selection(t, ":DISPlay:TRACe#", &layout_t::select_trace, &layout_t::active_trace);
    add_selection(t, ":DISPlay:WINDow#", &layout_t::select_window, &layout_t::active_window);

    // ---- windows and traces come and go
    t.add(
        ":DISPlay:WINDow#:STATe",
        [](context_t& ctx) {
            ctx.expect_params(1, 1);
            show_window(ctx, ctx.boolean_param(0));
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_boolean(layout_of(ctx).shown(ctx.suffix(0)));
        });
    t.add(":DISPlay:WINDow#:TRACe#", create_or_delete_trace, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        auto it = layout_of(ctx).traces.find(ctx.suffix(1));
        ctx.answer_boolean(it != layout_of(ctx).traces.end() && it->second.window == ctx.suffix(0));
    });
    // Moves trace <n> to the window given (shown if it was not).
    t.add_command(":DISPlay:MEASure#:MOVE", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        const std::int64_t w = ctx.integer_param(0);
        if (w < 1 || w > settings::max_windows) throw scpi_error(-222);
        layout_t& l = layout_of(ctx);
        auto it = l.traces.find(ctx.suffix(0));
        if (it == l.traces.end()) throw scpi_error(settings_conflict);
        it->second.window = static_cast<int>(w);
        l.windows.insert(static_cast<int>(w));
        if (l.active_trace == it->first) l.active_window = static_cast<int>(w);
    });
    // One window at a time is maximized: the active one when this is on.
    t.add_setting(boolean_setting(settings::maximized, false));
    // Autoscaling has no data to act on here, but it needs something shown to
    // act on: a window that is not shown, or a trace that does not exist, is
    // a conflict. The trace form goes by the trace alone (its window suffix
    // is not checked), as trace numbers are unique across windows.
    t.add_command(":DISPlay:WINDow#:Y[:SCALe]:AUTO", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        require(layout_of(ctx).shown(ctx.suffix(0)));
    });
    t.add_command(":DISPlay:WINDow#:TRACe#:Y[:SCALe]:AUTO", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        require(layout_of(ctx).has_trace(ctx.suffix(1)));
    });

    // ---- window settings, per window number
    t.add_setting(boolean_setting(settings::window_title_shown, false));
    // Titles are answered quoted; a bare word is accepted as the text too,
    // since callers send titles with or without quotes.
    t.add_setting(string_setting(settings::window_title, "").accepting_character_data());
    t.add_setting(integer_setting(settings::divisions, 10).range(4, 30));
    t.add_setting(real_setting(settings::marker_annotation_x, 0.0).range(-15, 100));
    t.add_setting(real_setting(settings::marker_annotation_y, 0.0).range(-15, 100));

    // ---- trace settings, per window and trace number
    t.add_setting(real_setting(settings::per_division, 10.0).range(1e-18, 1e8));
    t.add_setting(real_setting(settings::reference_level, 0.0).range(-5e8, 5e8));
    t.add_setting(real_setting(settings::reference_position, 5.0).range(0, 30));
    t.add_setting(boolean_setting(settings::trace_shown, true));
    t.add_setting(boolean_setting(settings::memory_shown, false));
    t.add_setting(choice_setting(settings::scale_coupling, 0));
    t.add_setting(boolean_setting(settings::trace_title_shown, false));
    t.add_setting(string_setting(settings::trace_title, "").accepting_character_data());
}

}  // namespace zorsim
