// The simulated analyzer's message handler: each line of the input is one
// program message. A fresh analyzer every so many runs keeps its state
// (files, error queue) from growing across the whole session.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "zorsim/analyzer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::unique_ptr<zorsim::analyzer_t> analyzer;
    static unsigned runs = 0;
    if (!analyzer || ++runs % 1000 == 0) analyzer = std::make_unique<zorsim::analyzer_t>();
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        (void)analyzer->receive(input.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
