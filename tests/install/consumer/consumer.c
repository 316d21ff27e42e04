/* Opens a session through an installed driver, which must find its bundled
 * engine and VISA by itself, and reads a setting back. The resource is the
 * first argument, else an in-process simulated analyzer. Prints
 * "consumer ok <start frequency>" on success. */
#include <stdio.h>

#include <ZOR.h>

int main(int argc, char** argv) {
    ViSession vi = VI_NULL;
    ViReal64 start = 0;
    ViStatus status = ZOR_InitWithOptions(argc > 1 ? argv[1] : "SIM::consumer::INSTR", VI_TRUE, VI_TRUE, "", &vi);
    if (status < 0) {
        char message[ZOR_MESSAGE_BUFFER_SIZE];
        ZOR_error_message(VI_NULL, status, message);
        fprintf(stderr, "open failed: 0x%08lX %s\n", (unsigned long)status, message);
        return 1;
    }
    status = ZOR_SetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, 1.5e9);
    if (status >= 0) status = ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &start);
    ZOR_close(vi);
    if (status < 0) {
        fprintf(stderr, "attribute round trip failed: 0x%08lX\n", (unsigned long)status);
        return 1;
    }
    printf("consumer ok %.0f\n", start);
    return 0;
}
