/* Example: the everyday mistakes and what the driver says about each. Every
 * failing call returns a negative status and leaves an error record;
 * ZOR_GetError reads it (with VI_NULL after a failed open, which leaves no
 * session to ask). docs/errors.md shows this program's output, and a test
 * checks that the page still matches it. */
#include <stdio.h>

#include "ZOR.h"

/* One mistake: its status and the error record, under a heading. */
static void show(const char* heading, ViSession vi, ViStatus status) {
    ViChar record[1024] = "";
    ViStatus code = 0;
    printf("== %s\nstatus 0x%08X\n", heading, (unsigned)status);
    if (ZOR_GetError(vi, &code, sizeof record, record) >= 0 && record[0] != '\0') printf("%s\n", record);
}

int main(void) {
    ViSession vi = VI_NULL;
    ViSession checked = VI_NULL;
    ViReal64 value = 0;
    ViInt32 code = 0;
    ViChar message[ZOR_MESSAGE_BUFFER_SIZE] = "";

    show("A wrong resource string", VI_NULL,
         ZOR_init("TCPIP::127.0.0.1::5025:SOCKET", VI_TRUE, VI_FALSE, &vi));
    show("vna-sim not running", VI_NULL, ZOR_init("TCPIP::127.0.0.1::1::SOCKET", VI_TRUE, VI_FALSE, &vi));
    show("GPIB or USB with the bundled VISA", VI_NULL, ZOR_init("GPIB0::20::INSTR", VI_TRUE, VI_FALSE, &vi));
    show("A misspelt DriverSetup item", VI_NULL,
         ZOR_InitWithOptions("SIM::mistakes::INSTR", VI_TRUE, VI_FALSE, "DriverSetup=DataFromat:REAL64", &vi));

    if (ZOR_init("SIM::mistakes::INSTR", VI_TRUE, VI_TRUE, &vi) < 0) return 1;
    show("A misspelt selector", vi, ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Chanel2:Trace1", 1e9));
    show("A type mismatch", vi, ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_AVERAGING_ENABLED, &value));
    show("A line feed in a title", vi, ZOR_SetDisplayWindowTitleString(vi, "Window1", "Gain\n*RST"));

    /* Without status checking the analyzer's refusal passes unseen; its
     * error queue still holds it. */
    show("The analyzer refuses a value", vi, ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 100e9));
    if (ZOR_error_query(vi, &code, message) < 0) return 1;
    printf("error queue: %ld, %s\n", (long)code, message);

    /* A query the analyzer refuses gets no reply: the driver asks why. */
    show("The analyzer refuses a query", vi, ZOR_GetMeasurementMarkerXPosition(vi, "Trace1:Marker99", &value));
    ZOR_close(vi);

    if (ZOR_InitWithOptions("SIM::checked::INSTR", VI_TRUE, VI_TRUE, "QueryInstrStatus=1", &checked) < 0) return 1;
    show("The analyzer refuses a value, with QueryInstrStatus=1", checked,
         ZOR_SetStandardStimulusSweepFrequencyStart(checked, "Channel1", 100e9));
    ZOR_close(checked);
    printf("== done\n");
    return 0;
}
