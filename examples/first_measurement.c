/* A first measurement: S21 of the simulated analyzer's band-pass filter. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "ZOR.h"

#define POINTS 201

static ViSession vi = VI_NULL;

/* Any failure: print the driver's error record, close, stop. */
static void check(ViStatus status, const char* what) {
    ViStatus code = 0;
    char text[1024] = "";
    if (status >= 0) return;
    ZOR_GetError(vi, &code, sizeof text, text);
    fprintf(stderr, "%s failed (0x%08X): %s\n", what, (unsigned)status, text);
    if (vi != VI_NULL) ZOR_close(vi);
    exit(1);
}

int main(void) {
    ViReal64 data[2 * POINTS], peak_hz = 0, peak_db = 0, unused = 0;
    ViInt32 values = 0, types[] = {ZOR_LIMIT_SEGMENT_UPPER};
    ViReal64 start[] = {3.5e9}, stop[] = {5.5e9}, limit_db[] = {0.0};
    ViBoolean failed = VI_TRUE;
    int i;

    /* Identity check and reset: after the reset Trace2 (channel 1) measures S21. */
    check(ZOR_InitWithOptions("SIM::first::INSTR", VI_TRUE, VI_TRUE, "", &vi), "open");
    check(ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 3.5e9), "start frequency");
    check(ZOR_SetStandardStimulusSweepFrequencyStop(vi, "Channel1", 5.5e9), "stop frequency");
    check(ZOR_SetChannelStandardStimulusSweepNumberOfPoints(vi, "Channel1", POINTS), "points");

    /* A limit test: S21 must stay below 0 dB from 3.5 to 5.5 GHz. */
    check(ZOR_MeasurementLimitSetData(vi, "Trace2", 1, types, start, stop, limit_db, limit_db), "limit table");
    check(ZOR_SetMeasurementLimitEnabled(vi, "Trace2", VI_TRUE), "limit test on");

    /* One sweep: single mode starts it, the wait returns when it is done. */
    check(ZOR_SetChannelStandardStimulusSweepTriggerMode(vi, "Channel1", ZOR_VAL_SWEEP_TRIGGER_MODE_SINGLE), "sweep");
    check(ZOR_SystemWaitForOperationComplete(vi, 10000), "wait for the sweep");

    /* Corrected data: real and imaginary part of each point, in pairs. */
    check(ZOR_MeasurementQueryData(vi, "Trace2", ZOR_DATA_TYPE_CORRECTED, 2 * POINTS, data, &values), "read S21");
    for (i = 0; i < POINTS; i += 50) {
        double re = data[2 * i], im = data[2 * i + 1];
        printf("%.2f GHz  S21 %7.2f dB\n", (3.5e9 + 1e7 * i) / 1e9, 10 * log10(re * re + im * im));
    }

    /* Marker 1 on the maximum of the trace (log magnitude: dB). */
    check(ZOR_MeasurementMarkerSetEnabled(vi, "Trace2", VI_TRUE, 1), "marker on");
    check(ZOR_MeasurementMarkerSearchExecute(vi, "Trace2:Marker1", ZOR_VAL_MARKER_SEARCH_MAXIMUM), "search");
    check(ZOR_GetMeasurementMarkerXPosition(vi, "Trace2:Marker1", &peak_hz), "marker position");
    check(ZOR_MeasurementMarkerGetYPosition(vi, "Trace2:Marker1", &peak_db, &unused), "marker value");
    printf("Maximum: %.3f GHz, %.2f dB\n", peak_hz / 1e9, peak_db);

    /* The analyzer's FAIL flag: VI_TRUE means the trace failed. */
    check(ZOR_MeasurementLimitIsPassing(vi, "Trace2", &failed), "limit verdict");
    printf("Limit test: %s\n", failed ? "FAIL" : "PASS");

    check(ZOR_close(vi), "close");
    return 0;
}
