// The limit table as a file of the instrument holds it: the text
// :CALCulate:LIMit:DATA? answers, and back the same numbers, checked the
// same way, as a client's :CALCulate:LIMit:DATA.
#pragma once

#include <simulator/instrument/instrument.h>

#include <string>
#include <vector>

namespace zorsim {

// "<n>,<segment 1>,...": n, then per segment its type (0 off, 1 upper,
// 2 lower), start and stop stimulus, start and stop response. Throws
// scpi_error, changing nothing, for a table that is not one.
std::string limit_table_text(const instrument_t& inst, trace_key_t trace);
void load_limit_table(instrument_t& inst, trace_key_t trace, const std::vector<double>& numbers);

}  // namespace zorsim
