// The simulator's trace equations: the input is an equation's text. A text
// that compiles is evaluated on a few points; nothing may throw or crash,
// and a valid equation gives one value per point.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <simulator/physics/equation.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorsim::physics;
    const auto equation = equation_t::compile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!equation.valid()) return 0;
    const std::vector<sparams_t> s{{{0.5, 0.1}, {0.2, -0.3}, {0.0, 0.0}, {-1.0, 0.0}}, {}};
    const std::vector<complex_t> memory{{1e300, 0}};
    std::vector<complex_t> values{{0, 1}, {0, 0}, {-2, 0}};
    apply_equation(equation, s, memory, values);
    if (values.size() != 3) std::abort();
    return 0;
}
