/* Example: limit test. Writes a two-segment mask for S21 (segment types:
 * upper or lower limit; each segment a line from start to stop),
 * switches the test on, sweeps, and reads pass/fail and the failed points.
 * The pass/fail export hands on the analyzer's FAIL? flag: true means the
 * trace failed. The limit exports fill CALCulate<n> from the selector's
 * window entry, which the analyzer reads as the channel: "Window1:Trace2"
 * is trace 2 of channel 1. */
#include <stdio.h>

#include "ZOR.h"

static int check(ViSession vi, ViStatus status, const char* what) {
    ViChar message[ZOR_MESSAGE_BUFFER_SIZE] = "";
    if (status >= 0) return 1;
    ZOR_error_message(vi, status, message);
    fprintf(stderr, "%s failed: %s (0x%08X)\n", what, message, (unsigned)status);
    return 0;
}

int main(void) {
    ViInt32 types[] = {ZOR_LIMIT_SEGMENT_UPPER, ZOR_LIMIT_SEGMENT_LOWER};
    ViReal64 start[] = {3.5e9, 4.45e9}, stop[] = {5.5e9, 4.55e9};
    ViReal64 start_db[] = {0.5, -10.0}, stop_db[] = {0.5, -10.0};
    ViReal64 failed[201];
    ViSession vi = 0;
    ViBoolean fail = VI_FALSE;
    ViInt32 count = 0, reported = 0, i;
    int ok;

    if (!check(VI_NULL, ZOR_InitWithOptions("SIM::limits::INSTR", VI_TRUE, VI_TRUE, "", &vi), "open the session"))
        return 1;
    ok = check(vi, ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 3.5e9), "set the start") &&
         check(vi, ZOR_SetStandardStimulusSweepFrequencyStop(vi, "Channel1", 5.5e9), "set the stop") &&
         check(vi, ZOR_MeasurementSetParameter(vi, "Channel1:Trace2", "S21"), "measure S21") &&
         check(vi, ZOR_MeasurementLimitSetData(vi, "Window1:Trace2", 2, types, start, stop, start_db, stop_db),
               "write the mask") &&
         check(vi, ZOR_SetMeasurementLimitEnabled(vi, "Channel1:Trace2", VI_TRUE), "limit test on") &&
         check(vi, ZOR_SetChannelStandardStimulusSweepTriggerMode(vi, "Channel1", ZOR_VAL_SWEEP_TRIGGER_MODE_SINGLE),
               "sweep once") &&
         check(vi, ZOR_SystemWaitForOperationComplete(vi, 10000), "wait for the sweep") &&
         check(vi, ZOR_MeasurementLimitIsPassing(vi, "Window1:Trace2", &fail), "read the verdict") &&
         check(vi, ZOR_MeasurementLimitGetNoOfFailedPoints(vi, "Window1:Trace2", &count), "count the failed points");
    if (ok) printf("Limit test: %s, %d failed points\n", fail ? "FAIL" : "PASS", (int)count);
    if (ok && count > 0) {
        ok = check(vi, ZOR_MeasurementLimitQueryXValuesOfFailedPoints(vi, "Window1:Trace2", 201, failed, &reported),
                   "read the failed points");
        for (i = 0; ok && i < reported && i < 201; ++i) printf("  failed at %.4f GHz\n", failed[i] / 1e9);
    }
    check(vi, ZOR_close(vi), "close the session");
    return ok ? 0 : 1;
}
