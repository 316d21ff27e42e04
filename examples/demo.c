/* The main job: open a session on the simulated analyzer, print its
 * identity, close. Uses only the public header. */
#include <stdio.h>
#include <string.h>

#include "ZOR.h"

int main(int argc, char** argv) {
    const char* resource = argc > 1 ? argv[1] : "SIM::demo::INSTR";
    ViSession vi = 0;
    ViStatus status = ZOR_InitWithOptions((ViRsrc)resource, VI_TRUE, VI_TRUE, "QueryInstrStatus=1", &vi);
    if (status < 0) {
        fprintf(stderr, "ZOR_InitWithOptions(%s) failed: 0x%08X\n", resource, (unsigned)status);
        return 1;
    }
    printf("session %u open on %s\n", (unsigned)vi, resource);
    status = ZOR_close(vi);
    if (status < 0) {
        fprintf(stderr, "ZOR_close failed: 0x%08X\n", (unsigned)status);
        return 1;
    }
    printf("session closed\n");
    return 0;
}
