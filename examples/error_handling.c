/* Example: error handling. Makes three calls fail on purpose and shows how
 * to decode each: the status code itself (negative is an error, positive a
 * warning), its description (ZOR_error_message), the session's error
 * record with its details (ZOR_GetError), and the analyzer's own error
 * queue for a value the analyzer refused (ZOR_error_query). */
#include <stdio.h>

#include "ZOR.h"

static void explain(ViSession vi, ViStatus status, const char* what) {
    ViChar message[ZOR_MESSAGE_BUFFER_SIZE] = "";
    ViChar details[1024] = "";
    ViStatus code = 0;
    printf("%s: status 0x%08X (%s)\n", what, (unsigned)status,
           status < 0 ? "error" : status > 0 ? "warning" : "success");
    ZOR_error_message(vi, status, message);
    printf("  description: %s\n", message);
    if (vi != VI_NULL && ZOR_GetError(vi, &code, sizeof details, details) >= 0 && details[0] != '\0')
        printf("  error record: %s\n", details);
}

int main(void) {
    ViSession vi = 0;
    ViInt32 code = 0;
    ViChar message[ZOR_MESSAGE_BUFFER_SIZE];
    ViStatus status;
    int decoded = 0;

    /* 1. No such resource: there is no session to ask, but the status still decodes. */
    status = ZOR_InitWithOptions("TCPIP::127.0.0.1::1::SOCKET", VI_TRUE, VI_TRUE, "", &vi);
    if (status < 0) {
        explain(VI_NULL, status, "open an unreachable analyzer");
        ++decoded;
    }

    if (ZOR_InitWithOptions("SIM::errors::INSTR", VI_TRUE, VI_TRUE, "", &vi) < 0) return 1;

    /* 2. The driver refuses: 99 is no display format (ZOR_VAL_DISPLAY_FORMAT_*). */
    status = ZOR_SetMeasurementDisplayFormat(vi, "Channel1:Trace1", 99);
    if (status < 0) {
        explain(vi, status, "set display format 99");
        ++decoded;
    }

    /* 3. The analyzer refuses: 20 GHz is above its range. The write itself
     * succeeds; the analyzer's error queue says what went wrong. */
    status = ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 20e9);
    printf("set 20 GHz: status 0x%08X\n", (unsigned)status);
    while (ZOR_error_query(vi, &code, message) >= 0 && code != 0) {
        printf("  analyzer error queue: %d, %s\n", (int)code, message);
        ++decoded;
    }

    ZOR_close(vi);
    printf("%d errors decoded\n", decoded);
    return decoded == 3 ? 0 : 1;
}
