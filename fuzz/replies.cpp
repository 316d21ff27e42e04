// Every reply parser of the driver: an export is picked by the first two
// bytes, and each query it sends is answered, in order, by the next piece of
// the input (pieces end at NUL bytes). The queries of each export are learnt
// once, by calling it against the analyzer's own answers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../tests/robust/export_calls.h"
#include "zor_sim_control.h"

using namespace zor_robust;

namespace {

const char* const analyzer = "fuzz_replies";
plan_t plan;
std::vector<const export_t*> exports;
std::map<const export_t*, std::vector<std::string>> queries;

std::vector<std::string> wire_log() {
    std::string text(zsim_wire_log(analyzer, nullptr, 0) + 1, '\0');
    zsim_wire_log(analyzer, text.data(), text.size());
    text.resize(text.size() - 1);
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const std::vector<std::string>& queries_of(const export_t* e) {
    auto found = queries.find(e);
    if (found != queries.end()) return found->second;
    zsim_clear_wire_log(analyzer);
    (void)e->call(plan);
    std::vector<std::string> asked;
    for (const std::string& line : wire_log())
        if (line.find('?') != std::string::npos) asked.push_back(line);
    return queries[e] = asked;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)!std::freopen("/dev/null", "w", stdout);  // the driver's console lines
    plan.resource = std::string("SIM::") + analyzer + "::INSTR";
    char resource[64];
    std::snprintf(resource, sizeof resource, "%s", plan.resource.c_str());
    if (ZOR_InitWithOptions(resource, VI_FALSE, VI_FALSE, "", &plan.vi) != 0) return 1;
    for (const export_t& e : all_exports()) {
        const std::string name = e.name;
        // Those that end or replace the session stay out.
        if (name == "ZOR_close" || name == "ZOR_init" || name == "ZOR_InitWithOptions") continue;
        exports.push_back(&e);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const export_t* e = exports[(std::size_t(data[0]) << 8 | data[1]) % exports.size()];
    const std::vector<std::string>& asked = queries_of(e);
    const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
    zsim_clear_scripts(analyzer);
    std::size_t start = 0;
    for (const std::string& query : asked) {
        if (start > input.size()) break;
        std::size_t end = input.find('\0', start);
        if (end == std::string::npos) end = input.size();
        zsim_script(analyzer, query.c_str(), input.substr(start, end - start).c_str(), 0, 0, 1);
        start = end + 1;
    }
    (void)e->call(plan);
    // Back to power-on (no scripts, empty wire log): each run starts where
    // the queries were learnt, leaves nothing growing, and a finding
    // reproduces from its input alone.
    zsim_factory_reset(analyzer);
    return 0;
}
