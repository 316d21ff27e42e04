#include "equation.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace zorsim::physics {

namespace {

using op_t = equation_t::op_t;

// Bounds on what a text may ask for, so a hostile one cannot exhaust the
// stack of the parser or make every point slow.
constexpr int max_nesting = 64;
constexpr std::size_t max_text = 1000;

struct name_t {
    const char* word;
    op_t op;
    bool function;
};
constexpr name_t names[] = {
    {"S11", op_t::s11, false},   {"S21", op_t::s21, false},    {"S12", op_t::s12, false},
    {"S22", op_t::s22, false},   {"DATA", op_t::data, false},  {"MEM", op_t::memory, false},
    {"ABS", op_t::abs, true},    {"CONJ", op_t::conj, true},   {"REAL", op_t::real, true},
    {"IMAG", op_t::imag, true},  {"ARG", op_t::arg, true},     {"SQRT", op_t::sqrt, true},
    {"EXP", op_t::exp, true},    {"LN", op_t::ln, true},       {"LOG10", op_t::log10, true},
};

bool same_word(std::string_view a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return i == a.size() && b[i] == '\0';
}

}  // namespace

class equation_parser_t {
public:
    equation_parser_t(std::string_view text, equation_t& out) : text_(text), out_(out) {}

    void run() {
        if (text_.size() > max_text) return fail("equation too long");
        skip();
        if (at_end()) return fail("empty equation");
        sum();
        skip();
        if (ok() && !at_end()) fail("unexpected '" + std::string(1, text_[pos_]) + "'");
        if (!ok()) out_.program_.clear();
    }

private:
    bool ok() const { return out_.error_.empty(); }
    void fail(std::string why) {
        if (ok()) out_.error_ = why.empty() ? "syntax error" : std::move(why);
    }
    bool at_end() const { return pos_ >= text_.size(); }
    char peek() const { return at_end() ? '\0' : text_[pos_]; }
    void skip() {
        while (!at_end() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
    // Emits one step and tracks how deep the evaluation stack gets.
    void emit(op_t op, complex_t value = {}) {
        out_.program_.push_back({op, value});
        const bool pushes = op <= op_t::memory;
        const bool binary = op >= op_t::add && op <= op_t::power;
        if (pushes) ++depth_;
        if (binary) --depth_;
        out_.stack_depth_ = std::max(out_.stack_depth_, depth_);
    }

    void sum() {
        product();
        for (skip(); ok() && (peek() == '+' || peek() == '-'); skip()) {
            const op_t op = text_[pos_++] == '+' ? op_t::add : op_t::subtract;
            product();
            emit(op);
        }
    }
    void product() {
        unary();
        for (skip(); ok() && (peek() == '*' || peek() == '/'); skip()) {
            const op_t op = text_[pos_++] == '*' ? op_t::multiply : op_t::divide;
            unary();
            emit(op);
        }
    }
    void unary() {
        if (++nesting_ > max_nesting) return fail("nested too deeply");
        skip();
        if (peek() == '+' || peek() == '-') {
            const bool negative = text_[pos_++] == '-';
            unary();
            if (negative) emit(op_t::negate);
        } else {
            primary();
            skip();
            if (ok() && peek() == '^') {
                ++pos_;
                unary();
                emit(op_t::power);
            }
        }
        --nesting_;
    }
    void primary() {
        if (!ok()) return;
        const char c = peek();
        if (c == '(') {
            ++pos_;
            sum();
            skip();
            if (ok() && peek() != ')') return fail("missing ')'");
            ++pos_;
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            number();
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            name();
        } else {
            fail(at_end() ? "unexpected end" : "unexpected '" + std::string(1, c) + "'");
        }
    }
    void number() {
        double v = 0;
        const char* first = text_.data() + pos_;
        const auto r = std::from_chars(first, text_.data() + text_.size(), v);
        if (r.ec != std::errc() || !std::isfinite(v)) return fail("bad number");
        pos_ += static_cast<std::size_t>(r.ptr - first);
        emit(op_t::constant, v);
    }
    void name() {
        const std::size_t start = pos_;
        while (std::isalnum(static_cast<unsigned char>(peek()))) ++pos_;
        const std::string_view word = text_.substr(start, pos_ - start);
        if (same_word(word, "PI")) return emit(op_t::constant, pi);
        if (same_word(word, "J")) return emit(op_t::constant, complex_t(0, 1));
        for (const auto& n : names) {
            if (!same_word(word, n.word)) continue;
            if (!n.function) return emit(n.op);
            skip();
            if (peek() != '(') return fail(std::string(n.word) + " needs '('");
            ++pos_;
            sum();
            skip();
            if (ok() && peek() != ')') return fail("missing ')'");
            ++pos_;
            return emit(n.op);
        }
        fail("unknown name '" + std::string(word) + "'");
    }

    std::string_view text_;
    equation_t& out_;
    std::size_t pos_ = 0;
    std::size_t depth_ = 0;
    int nesting_ = 0;
};

equation_t equation_t::compile(std::string_view text) {
    equation_t e;
    equation_parser_t(text, e).run();
    return e;
}

complex_t equation_t::evaluate(const equation_inputs_t& in) const {
    std::vector<complex_t> stack(stack_depth_);
    return run(stack.data(), in);
}

// `stack` holds stack_depth_ values (what the program needs at most).
complex_t equation_t::run(complex_t* stack, const equation_inputs_t& in) const {
    if (!valid()) return {std::nan(""), std::nan("")};
    std::size_t top = 0;  // number of values on the stack
    const sparams_t none{};
    const sparams_t& s = in.s ? *in.s : none;
    for (const step_t& step : program_) {
        switch (step.op) {
        case op_t::constant: stack[top++] = step.value; break;
        case op_t::s11: stack[top++] = s.s11; break;
        case op_t::s21: stack[top++] = s.s21; break;
        case op_t::s12: stack[top++] = s.s12; break;
        case op_t::s22: stack[top++] = s.s22; break;
        case op_t::data: stack[top++] = in.data; break;
        case op_t::memory: stack[top++] = in.memory; break;
        case op_t::add: --top; stack[top - 1] += stack[top]; break;
        case op_t::subtract: --top; stack[top - 1] -= stack[top]; break;
        case op_t::multiply: --top; stack[top - 1] *= stack[top]; break;
        case op_t::divide: --top; stack[top - 1] /= stack[top]; break;
        case op_t::power: {
            --top;
            const complex_t e = stack[top];
            complex_t& b = stack[top - 1];
            // Whole real powers by squaring: exact and fast (S21^2 of a real
            // value stays real); others through the logarithm.
            if (e.imag() == 0 && e.real() == std::round(e.real()) && std::fabs(e.real()) <= 64) {
                auto n = static_cast<int>(std::fabs(e.real()));
                complex_t result = 1.0, factor = b;
                for (; n != 0; n >>= 1, factor *= factor)
                    if (n & 1) result *= factor;
                b = e.real() < 0 ? 1.0 / result : result;
            } else {
                b = std::pow(b, e);
            }
            break;
        }
        // 0 - x rather than -x: a negated real keeps a +0 imaginary part, so
        // sqrt(-4) lands on +2j and not across the branch cut.
        case op_t::negate: stack[top - 1] = complex_t{} - stack[top - 1]; break;
        case op_t::abs: stack[top - 1] = std::abs(stack[top - 1]); break;
        case op_t::conj: stack[top - 1] = std::conj(stack[top - 1]); break;
        case op_t::real: stack[top - 1] = stack[top - 1].real(); break;
        case op_t::imag: stack[top - 1] = stack[top - 1].imag(); break;
        case op_t::arg: stack[top - 1] = std::arg(stack[top - 1]); break;
        case op_t::sqrt: stack[top - 1] = std::sqrt(stack[top - 1]); break;
        case op_t::exp: stack[top - 1] = std::exp(stack[top - 1]); break;
        case op_t::ln: stack[top - 1] = std::log(stack[top - 1]); break;
        case op_t::log10: stack[top - 1] = std::log10(stack[top - 1]); break;
        }
    }
    return top == 1 ? stack[0] : complex_t{std::nan(""), std::nan("")};
}

void apply_equation(const equation_t& equation, const std::vector<sparams_t>& s,
                    const std::vector<complex_t>& memory, std::vector<complex_t>& data) {
    const std::size_t n = data.size();
    std::vector<complex_t> stack(equation.stack_depth_);  // once for the whole trace
    equation_inputs_t in;
    for (std::size_t k = 0; k < n; ++k) {
        in.s = k < s.size() ? &s[k] : nullptr;
        in.data = data[k];
        in.memory = k < memory.size() ? memory[k] : complex_t{};
        data[k] = equation.run(stack.data(), in);
    }
}

}  // namespace zorsim::physics
