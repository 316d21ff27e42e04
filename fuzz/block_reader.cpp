// The definite-length block reader, through the mass-memory upload: the
// input is the analyzer's reply to the transfer query.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ZOR.h"
#include "zor_sim_control.h"

namespace {
const char* const analyzer = "fuzz_block";
ViSession vi = 0;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)!std::freopen("/dev/null", "w", stdout);  // the driver's console lines
    char resource[] = "SIM::fuzz_block::INSTR";
    return ZOR_InitWithOptions(resource, VI_FALSE, VI_FALSE, "", &vi) == 0 ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The scripted reply is a C string: it ends at the first NUL.
    const std::string reply(reinterpret_cast<const char*>(data), size);
    zsim_clear_scripts(analyzer);
    zsim_script(analyzer, ":MMEMory:TRANsfer? \"f\"", reply.c_str(), 0, 0, 1);
    (void)ZOR_MemoryUploadData(vi, "f", "/dev/null");
    // Nothing of the run stays behind (the wire log would grow every run).
    zsim_clear_scripts(analyzer);
    zsim_clear_wire_log(analyzer);
    return 0;
}
