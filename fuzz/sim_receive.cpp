// The simulated analyzer's message handler: each line of the input is one
// program message. One analyzer serves every run and is brought back to its
// power-on state after each: a run then leaves nothing behind (so the leak
// check after a run stays quiet unless something really leaked), and no run
// depends on what an earlier one did.
//
// Sweeps take no time here: in real time a `*WAI` or `*OPC?` sleeps for the
// sweep, and sleeping, not parsing, would set the pace of the whole campaign.
// A line that may have switched the speed back is followed by the switch to
// instant again.
#include <cstddef>
#include <cstdint>
#include <string>

#include <simulator/analyzer/analyzer.h>

namespace {

const char* const instant = ":SYSTem:SIMulation:SPEed INSTant";

bool mentions_speed(const std::string& line) {
    for (std::size_t i = 0; i + 3 <= line.size(); ++i) {
        if ((line[i] | 0x20) == 's' && (line[i + 1] | 0x20) == 'p' && (line[i + 2] | 0x20) == 'e') return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static zorsim::analyzer_t* const analyzer = [] {  // lives for the process
        auto* created = new zorsim::analyzer_t;
        (void)created->receive(instant);
        return created;
    }();
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        const std::string line = input.substr(start, end - start);
        (void)analyzer->receive(line);
        if (mentions_speed(line)) (void)analyzer->receive(instant);
        start = end + 1;
    }
    analyzer->factory_reset();
    (void)analyzer->receive(instant);
    return 0;
}
