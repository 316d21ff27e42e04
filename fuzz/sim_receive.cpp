// The simulated analyzer's message handler: each line of the input is one
// program message. One analyzer serves every run and is brought back to its
// power-on state after each: a run then leaves nothing behind (so the leak
// check after a run stays quiet unless something really leaked), and no run
// depends on what an earlier one did.
#include <cstddef>
#include <cstdint>
#include <string>

#include "zorsim/analyzer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static zorsim::analyzer_t* const analyzer = new zorsim::analyzer_t;  // lives for the process
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        (void)analyzer->receive(input.substr(start, end - start));
        start = end + 1;
    }
    analyzer->factory_reset();
    return 0;
}
