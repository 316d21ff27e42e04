/* Example: identity. Opens a session on the analyzer (the simulated one
 * unless a resource name is given), prints who it is (identity reply,
 * serial number, firmware and driver revisions) and closes. */
#include <stdio.h>

#include "ZOR.h"

static int check(ViSession vi, ViStatus status, const char* what) {
    ViChar message[ZOR_MESSAGE_BUFFER_SIZE] = "";
    if (status >= 0) return 1;
    ZOR_error_message(vi, status, message);
    fprintf(stderr, "%s failed: %s (0x%08X)\n", what, message, (unsigned)status);
    return 0;
}

int main(int argc, char** argv) {
    const char* resource = argc > 1 ? argv[1] : "SIM::identity::INSTR";
    ViSession vi = 0;
    ViChar serial[ZOR_MESSAGE_BUFFER_SIZE], driver[ZOR_MESSAGE_BUFFER_SIZE], firmware[ZOR_MESSAGE_BUFFER_SIZE];
    int ok;

    /* Identity query on, reset on. */
    if (!check(VI_NULL, ZOR_InitWithOptions((ViRsrc)resource, VI_TRUE, VI_TRUE, "QueryInstrStatus=1", &vi),
               "open the session"))
        return 1;
    printf("Session %u open on %s\n", (unsigned)vi, resource);

    ok = check(vi, ZOR_GetSystemSerialNumber(vi, sizeof serial, serial), "read the serial number") &&
         check(vi, ZOR_revision_query(vi, driver, firmware), "read the revisions");
    if (ok) {
        printf("Serial number:     %s\n", serial);
        printf("Firmware revision: %s\n", firmware);
        printf("%s\n", driver);
    }
    if (!check(vi, ZOR_close(vi), "close the session")) return 1;
    printf("Session closed\n");
    return ok ? 0 : 1;
}
