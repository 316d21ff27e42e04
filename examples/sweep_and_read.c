/* Example: sweep and read data. Sets a 3.5-5.5 GHz sweep of 11 points on
 * channel 1, runs one single sweep, waits for it with the driver's wait
 * export and reads the corrected complex S21 of trace 2 (real and
 * imaginary part of each point, in pairs). */
#include <math.h>
#include <stdio.h>

#include "ZOR.h"

#define POINTS 11

static int check(ViSession vi, ViStatus status, const char* what) {
    ViChar message[ZOR_MESSAGE_BUFFER_SIZE] = "";
    if (status >= 0) return 1;
    ZOR_error_message(vi, status, message);
    fprintf(stderr, "%s failed: %s (0x%08X)\n", what, message, (unsigned)status);
    return 0;
}

int main(void) {
    ViSession vi = 0;
    ViReal64 data[2 * POINTS];
    ViInt32 count = 0, i;
    int ok;

    if (!check(VI_NULL, ZOR_InitWithOptions("SIM::sweep::INSTR", VI_TRUE, VI_TRUE, "", &vi), "open the session"))
        return 1;
    ok = check(vi, ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 3.5e9), "set the start") &&
         check(vi, ZOR_SetStandardStimulusSweepFrequencyStop(vi, "Channel1", 5.5e9), "set the stop") &&
         check(vi, ZOR_SetChannelStandardStimulusSweepNumberOfPoints(vi, "Channel1", POINTS), "set the points") &&
         check(vi, ZOR_MeasurementSetParameter(vi, "Channel1:Trace2", "S21"), "measure S21 on trace 2") &&
         /* Single mode starts one sweep; *OPC? answers when it is done. */
         check(vi, ZOR_SetChannelStandardStimulusSweepTriggerMode(vi, "Channel1", ZOR_VAL_SWEEP_TRIGGER_MODE_SINGLE),
               "start a single sweep") &&
         check(vi, ZOR_SystemWaitForOperationComplete(vi, 10000), "wait for the sweep") &&
         check(vi, ZOR_MeasurementQueryData(vi, "Channel1:Trace2", ZOR_DATA_TYPE_CORRECTED, 2 * POINTS, data, &count),
               "read the data");
    if (ok && count != 2 * POINTS) {
        fprintf(stderr, "expected %d values, got %d\n", 2 * POINTS, (int)count);
        ok = 0;
    }
    for (i = 0; ok && i < POINTS; ++i) {
        const double f = 3.5e9 + 2e9 * i / (POINTS - 1);
        const double re = data[2 * i], im = data[2 * i + 1];
        printf("%6.3f GHz  S21 = %+.4f %+.4fj  (%6.2f dB)\n", f / 1e9, re, im, 10 * log10(re * re + im * im));
    }
    check(vi, ZOR_close(vi), "close the session");
    return ok ? 0 : 1;
}
