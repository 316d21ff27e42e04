// Error correction, per channel: the correction switch, port extensions'
// velocity factors, source power correction, and the calibration: the
// method, the standards measured, the solved or written error terms and
// how they cover the present stimulus.
#include "commands.h"

#include <simulator/instrument/measurement.h>
#include <simulator/instrument/settings.h>
#include <simulator/instrument/sweep.h>
#include <simulator/physics/sweep_calibration.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorsim {

using physics::cal_method_t;

namespace {

// Saving coefficients or a finished calibration switches the channel's
// correction on, as the analyzer does.
void correction_on(context_t& ctx) { ctx.settings().set(settings::correction, {ctx.suffix(0)}, true); }

channel_calibration_t& calibration_of(context_t& ctx) { return instrument_of(ctx).calibrations[ctx.suffix(0)]; }

const physics::cal_kit_t& selected_standards(context_t& ctx) {
    return instrument_of(ctx).kits.catalogs[ctx.suffix(0)].selected_kit().standards;
}

struct method_choice_t {
    const char* keyword;
    cal_method_t method;
};
const method_choice_t method_choices[] = {
    {"ROPen", cal_method_t::response_open}, {"RSHort", cal_method_t::response_short},
    {"RTHRu", cal_method_t::response_thru}, {"OPORt", cal_method_t::one_port},
    {"SOLT", cal_method_t::two_port},
};
std::vector<std::string> method_keywords() {
    std::vector<std::string> words;
    for (const auto& choice : method_choices) words.emplace_back(choice.keyword);
    return words;
}

// The twelve terms by name as COEFficient commands address them: ED, ES,
// ER of a port (receiver = driver); EL, ET, EX at the receiving port with
// the other one driving.
struct error_term_t {
    const char* name;
    int receiver, driver;
    physics::complex_t physics::error_terms_t::*member;
};
using physics::error_terms_t;
const error_term_t error_terms[12] = {
    {"ED", 1, 1, &error_terms_t::directivity_f},     {"ES", 1, 1, &error_terms_t::source_match_f},
    {"ER", 1, 1, &error_terms_t::reflection_tracking_f}, {"EL", 2, 1, &error_terms_t::load_match_f},
    {"ET", 2, 1, &error_terms_t::transmission_tracking_f}, {"EX", 2, 1, &error_terms_t::isolation_f},
    {"ED", 2, 2, &error_terms_t::directivity_r},     {"ES", 2, 2, &error_terms_t::source_match_r},
    {"ER", 2, 2, &error_terms_t::reflection_tracking_r}, {"EL", 1, 2, &error_terms_t::load_match_r},
    {"ET", 1, 2, &error_terms_t::transmission_tracking_r}, {"EX", 1, 2, &error_terms_t::isolation_r},
};

// The term a command names at a receiving port; -114 where the port has none.
const error_term_t& error_term(const std::string& name, int receiver) {
    for (const auto& term : error_terms)
        if (name == term.name && receiver == term.receiver) return term;
    throw scpi_error(-114);
}

struct standard_command_t {
    const char* node;
    physics::standard_kind_t kind;
};
const standard_command_t standard_commands[] = {
    {"OPEN", physics::standard_kind_t::open}, {"SHORt", physics::standard_kind_t::short_},
    {"LOAD", physics::standard_kind_t::load}, {"THRU", physics::standard_kind_t::thru},
    {"ISOLation", physics::standard_kind_t::isolation},
};

int port_param(context_t& ctx, std::size_t index) {
    const std::int64_t port = ctx.integer_param(index);
    if (port < 1 || port > 2) throw scpi_error(-222);
    return static_cast<int>(port);
}

// Measures one standard as the technician would connect it: the device
// is replaced by the standard of the selected kit for this sweep.
void measure_standard_command(context_t& ctx, const standard_command_t& command) {
    const bool two_port =
        command.kind == physics::standard_kind_t::thru || command.kind == physics::standard_kind_t::isolation;
    int port = 1;
    if (two_port) {
        ctx.expect_params(0, 2);
        if (ctx.params().size() == 2 && port_param(ctx, 0) == port_param(ctx, 1)) throw scpi_error(-222);
    } else {
        ctx.expect_params(1, 1);
        port = port_param(ctx, 0);
    }
    const auto standard = physics::standard_device(selected_standards(ctx), command.kind, port);
    const physics::sweep_data_t raw = measure_standard(instrument_of(ctx), ctx.suffix(0), *standard);
    calibration_of(ctx).standards[physics::standard_name(command.kind, port)] = {raw.frequency, raw.s};
}

// The coefficient buffer: the terms being written, on the calibration's
// grid, or (with none) identity terms on the present stimulus.
void prepare_coefficients(context_t& ctx, channel_calibration_t& cal) {
    if (!cal.coefficients.empty()) return;
    if (!cal.terms.empty()) {
        cal.coefficient_frequency = cal.frequency;
        cal.coefficients = cal.terms;
        return;
    }
    cal.coefficient_frequency = physics::frequencies(stimulus_of(instrument_of(ctx), ctx.suffix(0)));
    cal.coefficients.assign(cal.coefficient_frequency.size(), physics::error_terms_t{});
}

void register_calibration_commands(scpi::command_table_t& t) {
    // The method the next SAVE solves, with the port of a one-port or
    // reflection response method (default 1).
    t.add(
        "[:SENSe#]:CORRection:COLLect:METHod",
        [](context_t& ctx) {
            ctx.expect_params(1, 2);
            const std::size_t choice = ctx.choice_param(0, method_keywords());
            const int port = ctx.params().size() == 2 ? port_param(ctx, 1) : 1;
            channel_calibration_t& cal = calibration_of(ctx);
            cal.chosen = method_choices[choice].method;
            cal.chosen_port = port;
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            const channel_calibration_t& cal = calibration_of(ctx);
            for (const auto& choice : method_choices)
                if (choice.method == cal.chosen) ctx.answer(scpi::short_form(choice.keyword));
            ctx.answer_integer(cal.chosen_port);
        });
    for (const auto& command : standard_commands)
        t.add_command(std::string("[:SENSe#]:CORRection:COLLect[:ACQuire]:") + command.node,
                      [&command](context_t& ctx) { measure_standard_command(ctx, command); });
    t.add_command("[:SENSe#]:CORRection:COLLect:CLEar", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        calibration_of(ctx).standards.clear();
    });
    // Solves the chosen method from the measured standards and the models of
    // the kit selected now; a missing standard changes nothing (-200).
    t.add_command("[:SENSe#]:CORRection:COLLect:SAVE", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        channel_calibration_t& cal = calibration_of(ctx);
        try {
            static_cast<physics::sweep_calibration_t&>(cal) =
                physics::solve_calibration(cal.standards, cal.chosen, cal.chosen_port, selected_standards(ctx));
        } catch (const physics::calibration_error& e) {
            throw scpi_error(-200, std::string("Execution error; ") + e.what());
        }
        ++cal.generation;
        cal.coefficients.clear();
        correction_on(ctx);
        update_calibration_status(instrument_of(ctx));
    });
    // How the calibration covers the present stimulus: NONE, VALid,
    // INTerpolated (inside its range) or INValid (beyond it).
    t.add_query("[:SENSe#]:CORRection:VALidity", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        static const char* const words[] = {"NONE", "VAL", "INT", "INV"};
        const auto v =
            physics::validity(calibration_of(ctx), physics::frequencies(stimulus_of(instrument_of(ctx), ctx.suffix(0))));
        update_calibration_status(instrument_of(ctx));
        ctx.answer(words[static_cast<int>(v)]);
    });

    // Error terms, one command per term and port: re,im per point of the
    // calibration's grid. Writes gather until COEFficient:SAVE.
    for (const char* name : {"ED", "ES", "ER", "EL", "ET", "EX"}) {
        const std::string term = name;
        t.add(
            "[:SENSe#]:CORRection:COEFficient:" + term + "#",
            [term](context_t& ctx) {
                const error_term_t& which = error_term(term, ctx.suffix(1));
                channel_calibration_t& cal = calibration_of(ctx);
                prepare_coefficients(ctx, cal);
                const std::vector<double> values = values_param(ctx, 2 * cal.coefficients.size());
                for (std::size_t k = 0; k < cal.coefficients.size(); ++k) {
                    if (!std::isfinite(values[2 * k]) || !std::isfinite(values[2 * k + 1])) throw scpi_error(-222);
                }
                for (std::size_t k = 0; k < cal.coefficients.size(); ++k)
                    cal.coefficients[k].*which.member = {values[2 * k], values[2 * k + 1]};
            },
            [term](context_t& ctx) {
                ctx.expect_params(0, 0);
                const error_term_t& which = error_term(term, ctx.suffix(1));
                const channel_calibration_t& cal = calibration_of(ctx);
                if (cal.terms.empty()) throw scpi_error(-200, "Execution error; no calibration");
                std::vector<double> values;
                values.reserve(2 * cal.terms.size());
                for (const auto& e : cal.terms) {
                    values.push_back((e.*which.member).real());
                    values.push_back((e.*which.member).imag());
                }
                answer_values(ctx, values);
            });
    }
    // The written terms become the calibration (of the chosen method).
    t.add_command("[:SENSe#]:CORRection:COEFficient:SAVE", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        channel_calibration_t& cal = calibration_of(ctx);
        prepare_coefficients(ctx, cal);
        cal.method = cal.chosen;
        cal.port = cal.chosen_port;
        cal.frequency = std::move(cal.coefficient_frequency);
        cal.terms = std::move(cal.coefficients);
        cal.coefficient_frequency.clear();
        cal.coefficients.clear();
        ++cal.generation;
        correction_on(ctx);
        update_calibration_status(instrument_of(ctx));
    });
}

}  // namespace

void register_correction_commands(scpi::command_table_t& t) {
    t.add_setting(boolean_setting(settings::correction, false));
    t.add_setting(real_setting(settings::velocity_factor, 1.0).range(0.01, 10));
    t.add_setting(boolean_setting(settings::power_correction, false));
    t.add_setting(integer_setting(settings::power_correction_averages, 1).range(1, 100));
    t.add_setting(boolean_setting(settings::ecal_orientation, true));
    register_calibration_commands(t);
}

}  // namespace zorsim
