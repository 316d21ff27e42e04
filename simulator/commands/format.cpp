// FORMat: how trace data travel: ASCII numbers, or definite-length blocks
// of 32- or 64-bit floats in either byte order.
#include "commands.h"

#include <simulator/instrument/settings.h>
#include <simulator/scpi/format.h>

namespace zorsim {

namespace {

scpi::data_format_t data_format(const scpi::settings_store_t& s) {
    const std::int64_t bits = s.get(settings::data_bits);
    return bits == 32 ? scpi::data_format_t::real32 : bits == 64 ? scpi::data_format_t::real64 : scpi::data_format_t::ascii;
}

}  // namespace

void answer_values(context_t& ctx, const double* values, std::size_t count) {
    ctx.expect_params(0, 0);
    ctx.answer_owned(scpi::encode_values(values, count, data_format(ctx.settings()), ctx.settings().get(settings::byte_order)));
}

std::vector<double> values_param(context_t& ctx, std::size_t count) {
    std::vector<double> values(count);
    if (!ctx.params().empty() && ctx.params()[0].type == scpi::param_type_t::block) {
        ctx.expect_params(1, 1);
        // A block read as the format says; under ASCii, as 64-bit floats.
        scpi::data_format_t format = data_format(ctx.settings());
        if (format == scpi::data_format_t::ascii) format = scpi::data_format_t::real64;
        if (!scpi::decode_block(ctx.block_param(0), count, format, ctx.settings().get(settings::byte_order), values))
            throw scpi::scpi_error(-109, "Missing parameter; block holds the wrong number of values");
        return values;
    }
    ctx.expect_params(count, count);
    for (std::size_t i = 0; i < count; ++i) values[i] = ctx.real_param(i);
    return values;
}

void register_format_commands(scpi::command_table_t& t) {
    // :FORMat[:DATA] ASCii | REAL[,32|64]; answers "ASC", "REAL,32" or "REAL,64".
    t.add(
        std::string(settings::data_bits.pattern),
        [](context_t& ctx) {
            ctx.expect_params(1, 2);
            const std::size_t kind = ctx.choice_param(0, {"ASCii", "REAL"});
            std::int64_t bits = 0;
            if (kind == 1) {
                bits = ctx.params().size() > 1 ? ctx.integer_param(1) : 64;
                if (bits != 32 && bits != 64) throw scpi::scpi_error(-224);
            } else if (ctx.params().size() > 1) {
                throw scpi::scpi_error(-108);
            }
            ctx.settings().set(settings::data_bits, {}, bits);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            const std::int64_t bits = ctx.settings().get(settings::data_bits);
            ctx.answer(bits == 0 ? "ASC" : bits == 32 ? "REAL,32" : "REAL,64");
        });
    // The store behind the command above, which answers instead.
    t.add_setting(scpi::integer_setting(settings::data_bits, 0));
    t.add_setting(scpi::choice_setting(settings::byte_order, scpi::byte_order_t::normal));
}

}  // namespace zorsim
