// Trace equations: complex arithmetic on the S-parameters, the trace's own
// data and its memory, evaluated point by point.
//
//   sum     := product (('+'|'-') product)*
//   product := unary (('*'|'/') unary)*
//   unary   := ('+'|'-') unary | power
//   power   := primary ('^' unary)?
//   primary := number | name | name '(' sum ')' | '(' sum ')'
//
// Names (any case): S11 S21 S12 S22, DATA (the trace after math and
// offsets), MEM (its memory), the constants PI and J (the imaginary unit),
// and the functions ABS, CONJ, REAL, IMAG, ARG (radians), SQRT, EXP, LN,
// LOG10. A text is compiled once to a small stack program; a whole trace
// is evaluated with one stack of the depth the program needs.
#pragma once

#include "network.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorsim::physics {

// What an equation reads at one point.
struct equation_inputs_t {
    const sparams_t* s = nullptr;  // the corrected S-parameters
    complex_t data{};
    complex_t memory{};
};

class equation_t {
public:
    // Empty: a text that does not compile (valid() is false, error() says why).
    static equation_t compile(std::string_view text);

    bool valid() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // The value at one point; a division by zero gives infinities or NaN,
    // as complex arithmetic does. Only for a valid equation.
    complex_t evaluate(const equation_inputs_t& in) const;

    enum class op_t : std::uint8_t {
        constant, s11, s21, s12, s22, data, memory,        // push
        add, subtract, multiply, divide, power, negate,     // arithmetic
        abs, conj, real, imag, arg, sqrt, exp, ln, log10,  // functions of one value
    };
    struct step_t {
        op_t op;
        complex_t value;  // constant only
    };

private:
    friend class equation_parser_t;
    friend void apply_equation(const equation_t&, const std::vector<sparams_t>&, const std::vector<complex_t>&,
                               std::vector<complex_t>&);
    complex_t run(complex_t* stack, const equation_inputs_t& in) const;
    std::vector<step_t> program_;
    std::size_t stack_depth_ = 0;
    std::string error_;
};

// The equation over a whole trace: `data` in, the equation's values out.
// `s` and `memory` per point (memory may be empty: zeros).
void apply_equation(const equation_t& equation, const std::vector<sparams_t>& s,
                    const std::vector<complex_t>& memory, std::vector<complex_t>& data);

}  // namespace zorsim::physics
