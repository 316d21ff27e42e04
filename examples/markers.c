/* Example: markers and searches. Puts marker 1 of trace 2 (S21) on the
 * trace maximum, reads where it is, then runs the bandwidth search 3 dB
 * below that peak. The bandwidth search answers four numbers: bandwidth,
 * centre, Q and the loss at the reference; its threshold is negative, a
 * level below the reference. */
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
    const char* marker = "Channel1:Trace2:Marker1";
    ViSession vi = 0;
    ViReal64 x = 0, y = 0, unused = 0, width = 0, center = 0, q = 0, loss = 0;
    int ok;

    if (!check(VI_NULL, ZOR_InitWithOptions("SIM::markers::INSTR", VI_TRUE, VI_TRUE, "", &vi), "open the session"))
        return 1;
    ok = check(vi, ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 3.5e9), "set the start") &&
         check(vi, ZOR_SetStandardStimulusSweepFrequencyStop(vi, "Channel1", 5.5e9), "set the stop") &&
         check(vi, ZOR_MeasurementSetParameter(vi, "Channel1:Trace2", "S21"), "measure S21") &&
         check(vi, ZOR_SetChannelStandardStimulusSweepTriggerMode(vi, "Channel1", ZOR_VAL_SWEEP_TRIGGER_MODE_SINGLE),
               "sweep once") &&
         check(vi, ZOR_SystemWaitForOperationComplete(vi, 10000), "wait for the sweep") &&
         check(vi, ZOR_MeasurementMarkerSetEnabled(vi, "Channel1:Trace2", VI_TRUE, 1), "marker 1 on") &&
         check(vi, ZOR_MeasurementMarkerSearchExecute(vi, marker, ZOR_VAL_MARKER_SEARCH_MAXIMUM), "search the maximum") &&
         check(vi, ZOR_GetMeasurementMarkerXPosition(vi, marker, &x), "read the marker position") &&
         check(vi, ZOR_MeasurementMarkerGetYPosition(vi, marker, &y, &unused), "read the marker value");
    if (ok) printf("Maximum: %.4f GHz, %.2f dB\n", x / 1e9, y);

    ok = ok &&
         check(vi, ZOR_MeasurementMarkerSearchBWandNotchSetReference(vi, marker, ZOR_VAL_BANDWIDTH_REFERENCE_PEAK,
                                                                     ZOR_VAL_BANDWIDTH_NOTCH_BANDWIDTH),
               "bandwidth from the peak") &&
         check(vi, ZOR_MeasurementMarkerSearchBWandNotchSetThreshold(vi, marker, -3.0, ZOR_VAL_BANDWIDTH_NOTCH_BANDWIDTH),
               "3 dB below it") &&
         check(vi, ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, marker, &width, &center, &q, &loss,
                                                                    ZOR_VAL_BANDWIDTH_NOTCH_BANDWIDTH),
               "read the bandwidth search");
    /* An edge outside the sweep gives 9.91e37 ("no value") for all four. */
    if (ok && width > 1e37) printf("The band reaches beyond the sweep\n");
    else if (ok) printf("Bandwidth %.2f MHz around %.4f GHz, Q %.1f, loss %.2f dB\n", width / 1e6, center / 1e9, q, -loss);
    check(vi, ZOR_close(vi), "close the session");
    return ok ? 0 : 1;
}
