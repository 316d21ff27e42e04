/* The main job: open a session on the simulated analyzer, print its
 * identity and a setting read back, close. Uses only the public header. */
#include <stdio.h>

#include "ZOR.h"

static int check(ViStatus status, const char* what) {
    if (status < 0) {
        fprintf(stderr, "%s failed: 0x%08X\n", what, (unsigned)status);
        return 0;
    }
    return 1;
}

int main(int argc, char** argv) {
    const char* resource = argc > 1 ? argv[1] : "SIM::demo::INSTR";
    ViSession vi = 0;
    ViChar serial[256], firmware[256], driver[256];
    ViReal64 start = 0.0;
    int ok;

    if (!check(ZOR_InitWithOptions((ViRsrc)resource, VI_TRUE, VI_TRUE, "QueryInstrStatus=1", &vi),
               "ZOR_InitWithOptions"))
        return 1;
    printf("Session %u open on %s\n", (unsigned)vi, resource);

    ok = check(ZOR_GetSystemSerialNumber(vi, sizeof serial, serial), "serial number") &&
         check(ZOR_GetAttributeViString(vi, NULL, ZOR_ATTR_INSTRUMENT_FIRMWARE_REVISION, sizeof firmware, firmware),
               "firmware revision") &&
         check(ZOR_GetAttributeViString(vi, NULL, ZOR_ATTR_SPECIFIC_DRIVER_REVISION, sizeof driver, driver),
               "driver revision") &&
         check(ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 1.0e9), "set start frequency") &&
         check(ZOR_GetStandardStimulusSweepFrequencyStart(vi, "Channel1", &start), "get start frequency");
    if (ok) {
        printf("Serial number:     %s\n", serial);
        printf("Firmware revision: %s\n", firmware);
        printf("%s\n", driver);
        printf("Channel 1 start frequency: %.6e Hz\n", start);
    }
    if (!check(ZOR_close(vi), "ZOR_close")) return 1;
    printf("Session closed\n");
    return ok ? 0 : 1;
}
