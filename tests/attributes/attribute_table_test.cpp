// Every registered attribute, set and read back through its own export
// against the simulated analyzer: the exact wire text of each exchange and
// the value that comes back.
#include <cstdio>
#include <functional>
#include <set>

#include "attribute_fixture.h"

namespace {

using zor_test::strings;

// Every number field distinct, so a model that fills a field from the wrong
// index sends a different text.
constexpr const char* all_indices = "Channel2:Trace3:Marker4:Window5:Port6";

using set_fn = std::function<ViStatus(ViSession, const char*, ViAttr)>;
using get_fn = std::function<ViStatus(ViSession, const char*, ViAttr, std::string&)>;

struct accessor_t {
    set_fn set;  // empty for read-only attributes
    get_fn get;
};

std::string text_of(ViReal64 value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}
std::string text_of(ViInt32 value) { return std::to_string(value); }
std::string text_of(ViBoolean value) { return std::to_string(value); }

template <typename V>
struct same {
    using type = V;
};

// Typed exports, with or without a selector parameter.
template <typename V>
set_fn typed_set(ViStatus(ZOR_CALL* f)(ViSession, ViConstString, V), typename same<V>::type value) {
    return [=](ViSession vi, const char* selector, ViAttr) { return f(vi, selector, value); };
}
template <typename V>
set_fn typed_set(ViStatus(ZOR_CALL* f)(ViSession, V), typename same<V>::type value) {
    return [=](ViSession vi, const char*, ViAttr) { return f(vi, value); };
}
template <typename V>
get_fn typed_get(ViStatus(ZOR_CALL* f)(ViSession, ViConstString, V*)) {
    return [=](ViSession vi, const char* selector, ViAttr, std::string& out) {
        V value{};
        const ViStatus status = f(vi, selector, &value);
        out = text_of(value);
        return status;
    };
}
template <typename V>
get_fn typed_get(ViStatus(ZOR_CALL* f)(ViSession, V*)) {
    return [=](ViSession vi, const char*, ViAttr, std::string& out) {
        V value{};
        const ViStatus status = f(vi, &value);
        out = text_of(value);
        return status;
    };
}
get_fn text_get(ViStatus(ZOR_CALL* f)(ViSession, ViConstString, ViInt32, ViChar[])) {
    return [=](ViSession vi, const char* selector, ViAttr, std::string& out) {
        char buffer[256];
        const ViStatus status = f(vi, selector, sizeof buffer, buffer);
        out = buffer;
        return status;
    };
}
get_fn text_get(ViStatus(ZOR_CALL* f)(ViSession, ViInt32, ViChar[])) {
    return [=](ViSession vi, const char*, ViAttr, std::string& out) {
        char buffer[256];
        const ViStatus status = f(vi, sizeof buffer, buffer);
        out = buffer;
        return status;
    };
}

template <typename S, typename G>
accessor_t real(S set, G get, ViReal64 value) {
    return {typed_set<ViReal64>(set, value), typed_get<ViReal64>(get)};
}
template <typename S, typename G>
accessor_t boolean(S set, G get, ViBoolean value) {
    return {typed_set<ViBoolean>(set, value), typed_get<ViBoolean>(get)};
}
template <typename S, typename G>
accessor_t int32(S set, G get, ViInt32 value) {
    return {typed_set<ViInt32>(set, value), typed_get<ViInt32>(get)};
}
template <typename S, typename G>
accessor_t text(S set, G get, ViConstString value) {
    return {typed_set<ViConstString>(set, value), text_get(get)};
}

// The generic accessors, for attributes without exports of their own.
accessor_t generic_int32(ViInt32 value) {
    return {[=](ViSession vi, const char* selector, ViAttr id) { return ZOR_SetAttributeViInt32(vi, selector, id, value); },
            [](ViSession vi, const char* selector, ViAttr id, std::string& out) {
                ViInt32 read = 0;
                const ViStatus status = ZOR_GetAttributeViInt32(vi, selector, id, &read);
                out = text_of(read);
                return status;
            }};
}
accessor_t generic_text(ViConstString value) {
    return {[=](ViSession vi, const char* selector, ViAttr id) { return ZOR_SetAttributeViString(vi, selector, id, value); },
            [](ViSession vi, const char* selector, ViAttr id, std::string& out) {
                char buffer[256];
                const ViStatus status = ZOR_GetAttributeViString(vi, selector, id, sizeof buffer, buffer);
                out = buffer;
                return status;
            }};
}
accessor_t generic_int32_read_only() { return {nullptr, generic_int32(0).get}; }
accessor_t generic_text_read_only() { return {nullptr, generic_text("").get}; }

struct exchange_t {
    std::string message;
    std::string reply;
};

struct row_t {
    ViAttr id;
    const char* selector;
    accessor_t access;
    std::vector<exchange_t> set_scripts;
    strings set_wire;
    std::vector<exchange_t> get_scripts;
    strings get_wire;
    std::string expected;
};

// One set command, one get command answered with `reply`.
row_t plain(ViAttr id, const char* selector, accessor_t access, strings set_wire, std::string get, std::string reply,
            std::string expected) {
    return {id, selector, std::move(access), {}, std::move(set_wire), {{get, std::move(reply)}}, {get},
            std::move(expected)};
}

const char* const identity = "Maker,Model 7,SN0042,4.2.1";

const std::vector<row_t>& rows() {
    static const std::vector<row_t> table = {
    plain(ZOR_ATTR_TRIGGER_EXTERNAL_DELAY, nullptr, real(&ZOR_SetTriggerDelay, &ZOR_GetTriggerDelay, 3.0), {":TRIGger:EXTernal:DELay 3.000000000000e+00"}, ":TRIGger:EXTernal:DELay?", "1.4000E+01", "14"),
    plain(ZOR_ATTR_MEASUREMENT_CORRECTION_ELECTRICAL_DELAY_DISTANCE, all_indices, real(&ZOR_SetMeasurementCorrectionElectricalDelayDistance, &ZOR_GetMeasurementCorrectionElectricalDelayDistance, -3.25), {":CALCulate2:MEASure3:CORRection:EDELay:DISTance -3.250000000000e+00"}, ":CALCulate2:MEASure3:CORRection:EDELay:DISTance?", "1.5500E+01", "15.5"),
    plain(ZOR_ATTR_MEASUREMENT_LIMIT_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementLimitDisplayEnabled, &ZOR_GetMeasurementLimitDisplayEnabled, VI_FALSE), {":CALCulate2:TRACe3:LIMit:DISPlay:STATe 0"}, ":CALCulate2:TRACe3:LIMit:DISPlay:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_LIMIT_ENABLED, all_indices, boolean(&ZOR_SetMeasurementLimitEnabled, &ZOR_GetMeasurementLimitEnabled, VI_TRUE), {":CALCulate2:TRACe3:LIMit:STATe 1"}, ":CALCulate2:TRACe3:LIMit:STATe?", "1", "1"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_ENABLED, all_indices, boolean(&ZOR_SetDisplayWindowEnabled, &ZOR_GetDisplayWindowEnabled, VI_FALSE), {":DISPlay:WINDow5:STATe 0"}, ":DISPlay:WINDow5:STATe?", "1", "1"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TITLE_ENABLED, all_indices, boolean(&ZOR_SetDisplayWindowTitleEnabled, &ZOR_GetDisplayWindowTitleEnabled, VI_FALSE), {":DISPlay:WINDow5:TITLe:STATe 0"}, ":DISPlay:WINDow5:TITLe:STATe?", "1", "1"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_NUMBER_OF_Y_DIVISIONS, all_indices, int32(&ZOR_SetDisplayWindowNumberOfYDivisions, &ZOR_GetDisplayWindowNumberOfYDivisions, 24), {":DISPlay:WINDow5:Y:DIVisions 24"}, ":DISPlay:WINDow5:Y:DIVisions?", "117", "117"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_ENABLED, all_indices, boolean(&ZOR_SetDisplayWindowTraceEnabled, &ZOR_GetDisplayWindowTraceEnabled, VI_FALSE), {":DISPlay:WINDow2:TRACe3:STATe 0"}, ":DISPlay:WINDow2:TRACe3:STATe?", "1", "1"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_TITLE_ENABLED, all_indices, boolean(&ZOR_SetDisplayWindowTraceTitleEnabled, &ZOR_GetDisplayWindowTraceTitleEnabled, VI_FALSE), {":DISPlay:TRACe3:TITLe:STATe 0"}, ":DISPlay:TRACe3:TITLe:STATe?", "1", "1"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_Y_PER_DIVISION_VALUE, all_indices, real(&ZOR_SetDisplayWindowTraceYPerDivisionValue, &ZOR_GetDisplayWindowTraceYPerDivisionValue, 6.5), {":DISPlay:WINDow5:TRACe3:Y:PDIVision 6.500000000000e+00"}, ":DISPlay:WINDow5:TRACe3:Y:PDIVision?", "3.5000E+01", "35"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_Y_REFERENCE_LEVEL, all_indices, real(&ZOR_SetDisplayWindowTraceYReferenceLevel, &ZOR_GetDisplayWindowTraceYReferenceLevel, -6.75), {":DISPlay:WINDow5:TRACe3:Y:RLEVel -6.750000000000e+00"}, ":DISPlay:WINDow5:TRACe3:Y:RLEVel?", "3.6500E+01", "36.5"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_Y_REFERENCE_POSITION, all_indices, real(&ZOR_SetDisplayWindowTraceYReferencePosition, &ZOR_GetDisplayWindowTraceYReferencePosition, 7.0), {":DISPlay:WINDow5:TRACe3:Y:RPOSition 7.000000000000e+00"}, ":DISPlay:WINDow5:TRACe3:Y:RPOSition?", "3.8000E+01", "38"),
    plain(ZOR_ATTR_MEASUREMENT_CORRECTION_ENABLED, all_indices, boolean(&ZOR_SetMeasurementCorrectionEnabled, &ZOR_GetMeasurementCorrectionEnabled, VI_TRUE), {":SENSe2:CORRection:STATe 1"}, ":SENSe2:CORRection:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_CORRECTION_ELECTRICAL_DELAY_UNIT, all_indices, int32(&ZOR_SetMeasurementCorrectionElectricalDelayUnit, &ZOR_GetMeasurementCorrectionElectricalDelayUnit, 2), {":CALCulate2:MEASure3:CORRection:EDELay:UNIT INCH"}, ":CALCulate2:MEASure3:CORRection:EDELay:UNIT?", "FEET", "1"),
    plain(ZOR_ATTR_MEASUREMENT_CORRECTION_ELECTRICAL_DELAY_TIME, all_indices, real(&ZOR_SetMeasurementCorrectionElectricalDelayTime, &ZOR_GetMeasurementCorrectionElectricalDelayTime, -7.75), {":CALCulate2:TRACe3:CORRection:EDELay:TIME -7.750000000000e+00"}, ":CALCulate2:TRACe3:CORRection:EDELay:TIME?", "4.2500E+01", "42.5"),
    plain(ZOR_ATTR_MEASUREMENT_EQUATION_ENABLED, all_indices, boolean(&ZOR_SetMeasurementEquationEnabled, &ZOR_GetMeasurementEquationEnabled, VI_FALSE), {":CALCulate2:TRACe3:EQUation:STATE 0"}, ":CALCulate2:TRACe3:EQUation:STATE?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_EQUATION_TEXT, all_indices, text(&ZOR_SetMeasurementEquationText, &ZOR_GetMeasurementEquationText, "S21/S11"), {":CALCulate2:TRACe3:EQUation:TEXT \"S21/S11\""}, ":CALCulate2:TRACe3:EQUation:TEXT?", "\"S11*2\"", "\"S11*2\""),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_CENTER, all_indices, real(&ZOR_SetMeasurementTimeDomainGatingCenter, &ZOR_GetMeasurementTimeDomainGatingCenter, 8.5), {":CALCulate2:TRACe3:FILTer:TIME:CENTer 8.500000000000e+00"}, ":CALCulate2:TRACe3:FILTer:TIME:CENTer?", "4.7000E+01", "47"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_FILTER_SHAPE, all_indices, int32(&ZOR_SetMeasurementTimeDomainGatingFilterShape, &ZOR_GetMeasurementTimeDomainGatingFilterShape, 3), {":CALCulate2:TRACe3:FILTer:TIME:SHAPE MINimum"}, ":CALCulate2:TRACe3:FILTer:TIME:SHAPE?", "WIDE", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_SPAN, all_indices, real(&ZOR_SetMeasurementTimeDomainGatingSpan, &ZOR_GetMeasurementTimeDomainGatingSpan, 9.0), {":CALCulate2:TRACe3:FILTer:TIME:SPAN 9.000000000000e+00"}, ":CALCulate2:TRACe3:FILTer:TIME:SPAN?", "5.0000E+01", "50"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_START, all_indices, real(&ZOR_SetMeasurementTimeDomainGatingStart, &ZOR_GetMeasurementTimeDomainGatingStart, -9.25), {":CALCulate2:TRACe3:FILTer:TIME:STARt -9.250000000000e+00"}, ":CALCulate2:TRACe3:FILTer:TIME:STARt?", "5.1500E+01", "51.5"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_STOP, all_indices, real(&ZOR_SetMeasurementTimeDomainGatingStop, &ZOR_GetMeasurementTimeDomainGatingStop, 9.5), {":CALCulate2:TRACe3:FILTer:TIME:STOP 9.500000000000e+00"}, ":CALCulate2:TRACe3:FILTer:TIME:STOP?", "5.3000E+01", "53"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTimeDomainGatingEnabled, &ZOR_GetMeasurementTimeDomainGatingEnabled, VI_TRUE), {":CALCulate2:TRACe3:FILTer:TIME:STATe 1"}, ":CALCulate2:TRACe3:FILTer:TIME:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_FILTER_TYPE, all_indices, int32(&ZOR_SetMeasurementTimeDomainGatingFilterType, &ZOR_GetMeasurementTimeDomainGatingFilterType, 1), {":CALCulate2:TRACe3:FILTer:TIME:TYPE NOTCh"}, ":CALCulate2:TRACe3:FILTer:TIME:TYPE?", "NOTC", "1"),
    plain(ZOR_ATTR_MEASUREMENT_LIMIT_TESTING_FAIL_SOUND_ENABLED, all_indices, boolean(&ZOR_SetMeasurementLimitTestingFailSoundEnabled, &ZOR_GetMeasurementLimitTestingFailSoundEnabled, VI_TRUE), {":CALCulate2:MEASure3:LIMit:SOUNd:STATe 1"}, ":CALCulate2:MEASure3:LIMit:SOUNd:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_STATISTICS_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTraceStatisticsDisplayEnabled, &ZOR_GetMeasurementTraceStatisticsDisplayEnabled, VI_FALSE), {":CALCulate2:TRACe3:MSTatistics:STATe 0"}, ":CALCulate2:TRACe3:MSTatistics:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_CENTER, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformCenter, &ZOR_GetMeasurementTimeDomainTransformCenter, -10.75), {":CALCulate2:TRACe3:TRANsform:TIME:CENTer -1.075000000000e+01"}, ":CALCulate2:TRACe3:TRANsform:TIME:CENTer?", "6.0500E+01", "60.5"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_WINDOW_IMPULSE_WIDTH, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformWindowImpulseWidth, &ZOR_GetMeasurementTimeDomainTransformWindowImpulseWidth, 11.0), {":CALCulate2:TRACe3:TRANsform:TIME:IMPulse:WIDTh 1.100000000000e+01"}, ":CALCulate2:TRACe3:TRANsform:TIME:IMPulse:WIDTh?", "6.2000E+01", "62"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_KAISER_BESSEL_WIDTH, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformKaiserBesselWidth, &ZOR_GetMeasurementTimeDomainTransformKaiserBesselWidth, -11.25), {":CALCulate2:TRACe3:TRANsform:TIME:KBESsel -1.125000000000e+01"}, ":CALCulate2:TRACe3:TRANsform:TIME:KBESsel?", "6.3500E+01", "63.5"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_SPAN, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformSpan, &ZOR_GetMeasurementTimeDomainTransformSpan, 11.5), {":CALCulate2:TRACe3:TRANsform:TIME:SPAN 1.150000000000e+01"}, ":CALCulate2:TRACe3:TRANsform:TIME:SPAN?", "6.5000E+01", "65"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_START, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformStart, &ZOR_GetMeasurementTimeDomainTransformStart, -11.75), {":CALCulate2:TRACe3:TRANsform:TIME:STARt -1.175000000000e+01"}, ":CALCulate2:TRACe3:TRANsform:TIME:STARt?", "6.6500E+01", "66.5"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_STOP, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformStop, &ZOR_GetMeasurementTimeDomainTransformStop, 12.0), {":CALCulate2:TRACe3:TRANsform:TIME:STOP 1.200000000000e+01"}, ":CALCulate2:TRACe3:TRANsform:TIME:STOP?", "6.8000E+01", "68"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTimeDomainTransformEnabled, &ZOR_GetMeasurementTimeDomainTransformEnabled, VI_TRUE), {":CALCulate2:TRACe3:TRANsform:TIME:STATe 1"}, ":CALCulate2:TRACe3:TRANsform:TIME:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_COUPLING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTimeDomainCouplingEnabled, &ZOR_GetMeasurementTimeDomainCouplingEnabled, VI_TRUE), {":CALCulate2:TRACe3:TRANsform:COUPle:STATe 1"}, ":CALCulate2:TRACe3:TRANsform:COUPle:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_MATH_OPERATION, all_indices, int32(&ZOR_SetMeasurementTraceMathOperation, &ZOR_GetMeasurementTraceMathOperation, 4), {":CALCulate2:TRACe3:MATH:FUNCtion DIVide"}, ":CALCulate2:TRACe3:MATH:FUNCtion?", "ADD", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_SMOOTHING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTraceSmoothingEnabled, &ZOR_GetMeasurementTraceSmoothingEnabled, VI_TRUE), {":CALCulate2:TRACe3:SMOothing 1"}, ":CALCulate2:TRACe3:SMOothing?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_SMOOTHING_APERTURE, all_indices, real(&ZOR_SetMeasurementTraceSmoothingAperture, &ZOR_GetMeasurementTraceSmoothingAperture, 13.5), {":CALCulate2:TRACe3:SMOothing:APERture 1.350000000000e+01"}, ":CALCulate2:TRACe3:SMOothing:APERture?", "7.7000E+01", "77"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_SMOOTHING_NO_OF_DATA_POINTS, all_indices, int32(&ZOR_SetMeasurementTraceSmoothingNoOfDataPoints, &ZOR_GetMeasurementTraceSmoothingNoOfDataPoints, 59), {":CALCulate2:MEASure3:SMOothing:POINts 59"}, ":CALCulate2:MEASure3:SMOothing:POINts?", "152", "152"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTraceDisplayEnabled, &ZOR_GetMeasurementTraceDisplayEnabled, VI_TRUE), {":DISPlay:WINDow2:TRACe3:STATe 1"}, ":DISPlay:WINDow2:TRACe3:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_DISPLAY_TITLE_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTraceDisplayTitleEnabled, &ZOR_GetMeasurementTraceDisplayTitleEnabled, VI_FALSE), {":DISPlay:TRACe3:TITLe:STATe 0"}, ":DISPlay:TRACe3:TITLe:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_Y_PER_DIVISION_VALUE, all_indices, real(&ZOR_SetMeasurementTraceYPerDivisionValue, &ZOR_GetMeasurementTraceYPerDivisionValue, 15.0), {":DISPlay:WINDow5:TRACe3:Y:PDIVision 1.500000000000e+01"}, ":DISPlay:WINDow5:TRACe3:Y:PDIVision?", "8.6000E+01", "86"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_Y_REFERENCE_LEVEL, all_indices, real(&ZOR_SetMeasurementTraceYReferenceLevel, &ZOR_GetMeasurementTraceYReferenceLevel, -15.25), {":DISPlay:WINDow5:TRACe3:Y:RLEVel -1.525000000000e+01"}, ":DISPlay:WINDow5:TRACe3:Y:RLEVel?", "8.7500E+01", "87.5"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_Y_REFERENCE_POSITION, all_indices, real(&ZOR_SetMeasurementTraceYReferencePosition, &ZOR_GetMeasurementTraceYReferencePosition, 15.5), {":DISPlay:WINDow5:TRACe3:Y:RPOSition 1.550000000000e+01"}, ":DISPlay:WINDow5:TRACe3:Y:RPOSition?", "8.9000E+01", "89"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_ACTIVE_MARKER, all_indices, int32(&ZOR_SetMeasurementMarkerActiveMarker, &ZOR_GetMeasurementMarkerActiveMarker, 67), {":CALCulate2:TRACe3:MARKer67:ACTivate"}, ":CALCulate2:TRACe3:MARKer:ACTivate?", "160", "160"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_COUPLING_METHOD, all_indices, int32(&ZOR_SetMeasurementMarkerCouplingMethod, &ZOR_GetMeasurementMarkerCouplingMethod, 2), {":CALCulate:MARKer:COUPle ALL"}, ":CALCulate:MARKer:COUPle?", "CHAN", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_DELTA_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerDeltaEnabled, &ZOR_GetMeasurementMarkerDeltaEnabled, VI_FALSE), {":CALCulate2:MEASure3:MARKer4:DELTa 0"}, ":CALCulate2:MEASure3:MARKer4:DELTa?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_DISPLAY_DISCRETE_DATA_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerDisplayDiscreteDataEnabled, &ZOR_GetMeasurementMarkerDisplayDiscreteDataEnabled, VI_TRUE), {":CALCulate2:TRACe3:MARKer4:DISCrete 1"}, ":CALCulate2:TRACe3:MARKer4:DISCrete?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_REFERENCE_MODE_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerReferenceModeEnabled, &ZOR_GetMeasurementMarkerReferenceModeEnabled, VI_FALSE), {":CALCulate2:TRACe3:MARKer:REFerence:STATe 0"}, ":CALCulate2:TRACe3:MARKer:REFerence:STATe?", "1", "1"),
    plain(ZOR_ATTR_SWEEP_DELAY, all_indices, real(&ZOR_SetChannelStandardStimulusSweepDelay, &ZOR_GetChannelStandardStimulusSweepDelay, -17.25), {":SENSe2:SWEep:DELay -1.725000000000e+01"}, ":SENSe2:SWEep:DELay?", "9.9500E+01", "99.5"),
    plain(ZOR_ATTR_SWEEP_NUMBER_OF_POINTS, all_indices, int32(&ZOR_SetChannelStandardStimulusSweepNumberOfPoints, &ZOR_GetChannelStandardStimulusSweepNumberOfPoints, 74), {":SENSe2:SWEep:POINts 74"}, ":SENSe2:SWEep:POINts?", "167", "167"),
    plain(ZOR_ATTR_SWEEP_TIME, all_indices, real(&ZOR_SetChannelStandardStimulusSweepTime, &ZOR_GetChannelStandardStimulusSweepTime, -17.75), {":SENSe2:SWEep:TIME -1.775000000000e+01"}, ":SENSe2:SWEep:TIME?", "1.0250E+02", "102.5"),
    plain(ZOR_ATTR_SWEEP_TIME_AUTO_ENABLED, all_indices, boolean(&ZOR_SetChannelStandardStimulusSweepTimeAutoEnabled, &ZOR_GetChannelStandardStimulusSweepTimeAutoEnabled, VI_FALSE), {":SENSe2:SWEep:TIME:AUTO 0"}, ":SENSe2:SWEep:TIME:AUTO?", "1", "1"),
    plain(ZOR_ATTR_FREQUENCY_CENTER, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencyCenter, &ZOR_GetStandardStimulusSweepFrequencyCenter, -18.25), {":SENSe2:FREQuency:CENTer -1.825000000000e+01"}, ":SENSe2:FREQuency:CENTer?", "1.0550E+02", "105.5"),
    plain(ZOR_ATTR_FREQUENCY_STEP_SIZE, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencyStepSize, &ZOR_GetStandardStimulusSweepFrequencyStepSize, 18.5), {":SENSe2:FREQuency:STEP 1.850000000000e+01"}, ":SENSe2:FREQuency:STEP?", "1.0700E+02", "107"),
    plain(ZOR_ATTR_FREQUENCY_START, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencyStart, &ZOR_GetStandardStimulusSweepFrequencyStart, -18.75), {":SENSe2:FREQuency:STARt -1.875000000000e+01"}, ":SENSe2:FREQuency:STARt?", "1.0850E+02", "108.5"),
    plain(ZOR_ATTR_SWEEP_CW_FREQUENCY, all_indices, real(&ZOR_SetChannelStandardStimulusSweepCwFrequency, &ZOR_GetChannelStandardStimulusSweepCwFrequency, 19.0), {":SENSe2:FREQuency:CW 1.900000000000e+01"}, ":SENSe2:FREQuency:CW?", "1.1000E+02", "110"),
    plain(ZOR_ATTR_FREQUENCY_STOP, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencyStop, &ZOR_GetStandardStimulusSweepFrequencyStop, -19.25), {":SENSe2:FREQuency:STOP -1.925000000000e+01"}, ":SENSe2:FREQuency:STOP?", "1.1150E+02", "111.5"),
    plain(ZOR_ATTR_FREQUENCY_SPAN, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencySpan, &ZOR_GetStandardStimulusSweepFrequencySpan, 19.5), {":SENSe2:FREQuency:SPAN 1.950000000000e+01"}, ":SENSe2:FREQuency:SPAN?", "1.1300E+02", "113"),
    plain(ZOR_ATTR_AVERAGING_ENABLED, all_indices, boolean(&ZOR_SetChannelAveragingEnabled, &ZOR_GetChannelAveragingEnabled, VI_TRUE), {":SENSe2:AVERage 1"}, ":SENSe2:AVERage?", "1", "1"),
    plain(ZOR_ATTR_AVERAGING_FACTOR, all_indices, int32(&ZOR_SetChannelAveragingFactor, &ZOR_GetChannelAveragingFactor, 84), {":SENSe2:AVERage:COUNt 84"}, ":SENSe2:AVERage:COUNt?", "177", "177"),
    plain(ZOR_ATTR_AVERAGING_IF_BANDWIDTH, all_indices, real(&ZOR_SetChannelAveragingIfBandwidth, &ZOR_GetChannelAveragingIfBandwidth, -20.25), {":SENSe2:BANDwidth -2.025000000000e+01"}, ":SENSe2:BANDwidth?", "1.1750E+02", "117.5"),
    plain(ZOR_ATTR_SWEEP_TRIGGER_MODE, all_indices, int32(&ZOR_SetChannelStandardStimulusSweepTriggerMode, &ZOR_GetChannelStandardStimulusSweepTriggerMode, 2), {":SENSe2:SWEep:MODE CONTinuous"}, ":SENSe2:SWEep:MODE?", "SING", "1"),
    plain(ZOR_ATTR_CHANNEL_TRIGGER_DELAY, all_indices, real(&ZOR_SetChannelTriggerDelay, &ZOR_GetChannelTriggerDelay, -20.75), {":SENSe2:SWEep:DELay -2.075000000000e+01"}, ":SENSe2:SWEep:DELay?", "1.2050E+02", "120.5"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_FUNCTION, all_indices, int32(&ZOR_SetMeasurementMarkerSearchFunction, &ZOR_GetMeasurementMarkerSearchFunction, 9), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TYPE PEAK"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TYPE?", "MIN", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_TRACKING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerSearchTrackingEnabled, &ZOR_GetMeasurementMarkerSearchTrackingEnabled, VI_FALSE), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TRACking 0"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TRACking?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_PEAK_EXCURSION, all_indices, real(&ZOR_SetMeasurementMarkerSearchPeakExcursion, &ZOR_GetMeasurementMarkerSearchPeakExcursion, -21.75), {":CALCulate2:TRACe3:MARKer4:FUNCtion:PEXCursion -2.175000000000e+01"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:PEXCursion?", "1.2650E+02", "126.5"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_PEAK_THRESHOLD, all_indices, real(&ZOR_SetMeasurementMarkerSearchPeakThreshold, &ZOR_GetMeasurementMarkerSearchPeakThreshold, 22.0), {":CALCulate2:MEASure3:MARKer4:FUNCtion:PEAK:THReshold 2.200000000000e+01"}, ":CALCulate2:MEASure3:MARKer4:FUNCtion:PEAK:THReshold?", "1.2800E+02", "128"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_PEAK_POLARITY, all_indices, int32(&ZOR_SetMeasurementMarkerSearchPeakPolarity, &ZOR_GetMeasurementMarkerSearchPeakPolarity, 2), {":CALCulate2:TRACe3:MARKer4:FUNCtion:PPOLarity BOTH"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:PPOLarity?", "POS", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_TARGET_TRANSITION, all_indices, int32(&ZOR_SetMeasurementMarkerSearchTargetTransition, &ZOR_GetMeasurementMarkerSearchTargetTransition, 2), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TTRansition BOTH"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TTRansition?", "NEG", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_TARGET_VALUE, all_indices, real(&ZOR_SetMeasurementMarkerSearchTargetValue, &ZOR_GetMeasurementMarkerSearchTargetValue, -22.75), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TARGet -2.275000000000e+01"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TARGet?", "1.3250E+02", "132.5"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_FUNCTION, all_indices, int32(&ZOR_SetMeasurementMarkerSearchMultiSearchFunction, &ZOR_GetMeasurementMarkerSearchMultiSearchFunction, 2), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TYPE TARGet"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TYPE?", "PEAK", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_TRACKING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerSearchMultiSearchTrackingEnabled, &ZOR_GetMeasurementMarkerSearchMultiSearchTrackingEnabled, VI_TRUE), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TRACking 1"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TRACking?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_PEAK_EXCURSION, all_indices, real(&ZOR_SetMeasurementMarkerSearchMultiSearchPeakExcursion, &ZOR_GetMeasurementMarkerSearchMultiSearchPeakExcursion, 23.5), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:PEXCursion 2.350000000000e+01"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:PEXCursion?", "1.3700E+02", "137"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_PEAK_POLARITY, all_indices, int32(&ZOR_SetMeasurementMarkerSearchMultiSearchPeakPolarity, &ZOR_GetMeasurementMarkerSearchMultiSearchPeakPolarity, 2), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:PPOLarity BOTH"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:PPOLarity?", "POS", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_PEAK_THRESHOLD, all_indices, real(&ZOR_SetMeasurementMarkerSearchMultiSearchPeakThreshold, &ZOR_GetMeasurementMarkerSearchMultiSearchPeakThreshold, 24.0), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:THReshold 2.400000000000e+01"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:THReshold?", "1.4000E+02", "140"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_TARGET_TRANSITION, all_indices, int32(&ZOR_SetMeasurementMarkerSearchMultiSearchTargetTransition, &ZOR_GetMeasurementMarkerSearchMultiSearchTargetTransition, 2), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TTRansition BOTH"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TTRansition?", "NEG", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_TARGET_VALUE, all_indices, real(&ZOR_SetMeasurementMarkerSearchMultiSearchTargetValue, &ZOR_GetMeasurementMarkerSearchMultiSearchTargetValue, 24.5), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TARGet 2.450000000000e+01"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TARGet?", "1.4300E+02", "143"),
    plain(ZOR_ATTR_TRIGGER_SCOPE, nullptr, int32(&ZOR_SetTriggerScope, &ZOR_GetTriggerScope, 1), {":TRIGger:SEQuence:SCOPe ACTive"}, ":TRIGger:SEQuence:SCOPe?", "ACT", "1"),
    plain(ZOR_ATTR_TRIGGER_SLOPE, nullptr, int32(&ZOR_SetTriggerSlope, &ZOR_GetTriggerSlope, 1), {":TRIGger:SEQuence:EXTernal:SLOPe NEGative"}, ":TRIGger:SEQuence:EXTernal:SLOPe?", "NEG", "1"),
    plain(ZOR_ATTR_TRIGGER_SOURCE, nullptr, int32(&ZOR_SetTriggerSource, &ZOR_GetTriggerSource, 3), {":TRIGger:SEQuence:SOURce BUS"}, ":TRIGger:SEQuence:SOURce?", "MAN", "1"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_START, all_indices, real(&ZOR_SetChannelActiveParametersSweepStartPower, &ZOR_GetChannelActiveParametersSweepStartPower, -25.75), {":SOURce2:POWer:STARt -2.575000000000e+01"}, ":SOURce2:POWer:STARt?", "1.5050E+02", "150.5"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_STOP, all_indices, real(&ZOR_SetChannelActiveParametersSweepStopPower, &ZOR_GetChannelActiveParametersSweepStopPower, 26.0), {":SOURce2:POWer:STOP 2.600000000000e+01"}, ":SOURce2:POWer:STOP?", "1.5200E+02", "152"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_CORRECTION_ENABLED, all_indices, boolean(&ZOR_SetSourcePortPowerCorrectionEnabled, &ZOR_GetSourcePortPowerCorrectionEnabled, VI_TRUE), {":SOURce2:POWer:PORT6:CORRection 1"}, ":SOURce2:POWer:PORT6:CORRection?", "1", "1"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_COUPLE_ENABLED, all_indices, boolean(&ZOR_SetChannelStandardStimulusSourcePortPowerCoupEnabled, &ZOR_GetChannelStandardStimulusSourcePortPowerCoupEnabled, VI_FALSE), {":SOURce2:POWer:PORT:COUPle 0"}, ":SOURce2:POWer:PORT:COUPle?", "1", "1"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_SLOPE_ENABLED, all_indices, boolean(&ZOR_SetChannelStandardStimulusSourcePortPowerSlopeEnabled, &ZOR_GetChannelStandardStimulusSourcePortPowerSlopeEnabled, VI_TRUE), {":SOURce2:POWer:SLOPe:STATe 1"}, ":SOURce2:POWer:SLOPe:STATe?", "1", "1"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_SLOPE, all_indices, real(&ZOR_SetChannelStandardStimulusSourcePortPowerSlope, &ZOR_GetChannelStandardStimulusSourcePortPowerSlope, 27.0), {":SOURce2:POWer:SLOPe 2.700000000000e+01"}, ":SOURce2:POWer:SLOPe?", "1.5800E+02", "158"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_LEVEL, all_indices, real(&ZOR_SetChannelStandardStimulusSourcePortPowerLevel, &ZOR_GetChannelStandardStimulusSourcePortPowerLevel, -27.25), {":SOURce2:POWer -2.725000000000e+01"}, ":SOURce2:POWer?", "1.5950E+02", "159.5"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_ENABLED, all_indices, boolean(&ZOR_SetChannelStandardStimulusSourcePortPowerEnabled, &ZOR_GetChannelStandardStimulusSourcePortPowerEnabled, VI_FALSE), {":OUTPut 0"}, ":OUTPut?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_READOUT_POSITION_X, all_indices, real(&ZOR_SetMeasurementMarkerReadoutPositionX, &ZOR_GetMeasurementMarkerReadoutPositionX, -27.75), {":DISPlay:WINDow5:ANNotation:MARKer:POSition:X -2.775000000000e+01"}, ":DISPlay:WINDow5:ANNotation:MARKer:POSition:X?", "1.6250E+02", "162.5"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_READOUT_POSITION_Y, all_indices, real(&ZOR_SetMeasurementMarkerReadoutPositionY, &ZOR_GetMeasurementMarkerReadoutPositionY, 28.0), {":DISPlay:WINDow5:ANNotation:MARKer:POSition:Y 2.800000000000e+01"}, ":DISPlay:WINDow5:ANNotation:MARKer:POSition:Y?", "1.6400E+02", "164"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_ENABLED, all_indices, boolean(&ZOR_SetChannelCorrectionEnabled, &ZOR_GetChannelCorrectionEnabled, VI_FALSE), {":SENSe2:CORRection:STATe 0"}, ":SENSe2:CORRection:STATe?", "1", "1"),
    plain(ZOR_ATTR_CHANNEL_TRACE_COUPLING_ENABLED, all_indices, boolean(&ZOR_SetChannelTraceCouplingEnabled, &ZOR_GetChannelTraceCouplingEnabled, VI_FALSE), {":CALCulate2:TRACe3:TRANsform:COUPle:STATe 0"}, ":CALCulate2:TRACe3:TRANsform:COUPle:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_X_POSITION, all_indices, real(&ZOR_SetMeasurementMarkerXPosition, &ZOR_GetMeasurementMarkerXPosition, -29.75), {":CALCulate2:TRACe3:MARKer4:X -2.975000000000e+01"}, ":CALCulate2:TRACe3:MARKer4:X?", "1.7450E+02", "174.5"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_THRESHOLD, all_indices, real(&ZOR_SetMeasurementBwLimitThreshold, &ZOR_GetMeasurementBwLimitThreshold, 30.0), {":CALCulate2:TRACe3:BLIMit:DB 3.000000e+01"}, ":CALCulate2:TRACe3:BLIMit:DB?", "1.7600E+02", "176"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementBwLimitDisplayEnabled, &ZOR_GetMeasurementBwLimitDisplayEnabled, VI_TRUE), {":CALCulate2:TRACe3:BLIMit:DISPlay:VALue 1"}, ":CALCulate2:TRACe3:BLIMit:DISPlay:VALue?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_MINIMUM, all_indices, real(&ZOR_SetMeasurementBwLimitMinimum, &ZOR_GetMeasurementBwLimitMinimum, 30.5), {":CALCulate2:TRACe3:BLIMit:MINimum 3.050000e+01"}, ":CALCulate2:TRACe3:BLIMit:MINimum?", "1.7900E+02", "179"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_MAXIMUM, all_indices, real(&ZOR_SetMeasurementBwLimitMaximum, &ZOR_GetMeasurementBwLimitMaximum, -30.75), {":CALCulate2:TRACe3:BLIMit:MAXimum -3.075000e+01"}, ":CALCulate2:TRACe3:BLIMit:MAXimum?", "1.8050E+02", "180.5"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_ENABLED, all_indices, boolean(&ZOR_SetMeasurementBwLimitEnabled, &ZOR_GetMeasurementBwLimitEnabled, VI_FALSE), {":CALCulate2:TRACe3:BLIMit:STATe 0"}, ":CALCulate2:TRACe3:BLIMit:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_RIPPLE_LIMIT_ENABLED, all_indices, boolean(&ZOR_SetMeasurementRippleLimitEnabled, &ZOR_GetMeasurementRippleLimitEnabled, VI_FALSE), {":CALCulate2:TRACe3:RLIMit:STATe 0"}, ":CALCulate2:TRACe3:RLIMit:STATe?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_RIPPLE_LIMIT_LINE_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementRippleLimitLineDisplayEnabled, &ZOR_GetMeasurementRippleLimitLineDisplayEnabled, VI_TRUE), {":CALCulate2:TRACe3:RLIMit:DISPlay:LINE 1"}, ":CALCulate2:TRACe3:RLIMit:DISPlay:LINE?", "1", "1"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_VELOCITY_FACTOR, all_indices, real(&ZOR_SetChannelCorrectionVelocityFactor, &ZOR_GetChannelCorrectionVelocityFactor, 32.0), {":SENSe2:CORRection:EXTension:PORT6:VELFactor 3.200000000000e+01"}, ":SENSe2:CORRection:EXTension:PORT6:VELFactor?", "1.8800E+02", "188"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_CALKIT_DESCRIPTION, all_indices, text(&ZOR_SetChannelCorrectionCalkitDescription, &ZOR_GetChannelCorrectionCalkitDescription, "Open 50 Ohm"), {":SENSe:CORRection:COLLect:CKIT:DESCription \"Open 50 Ohm\""}, ":SENSe:CORRection:COLLect:CKIT:DESCription?", "\"Short\"", "\"Short\""),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_CALKIT_NAME, all_indices, text(&ZOR_SetChannelCorrectionCalkitName, &ZOR_GetChannelCorrectionCalkitName, "Kit1"), {":SENSe:CORRection:COLLect:CKIT:NAME \"Kit1\""}, ":SENSe:CORRection:COLLect:CKIT:NAME?", "\"Kit7\"", "\"Kit7\""),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_CALKIT_TRL_REFERENCE_IMPEDANCE, all_indices, int32(&ZOR_SetChannelCorrectionCalkitTrlReferenceImpedance, &ZOR_GetChannelCorrectionCalkitTrlReferenceImpedance, 1), {":SENSe:CORRection:COLLect:CKIT:TRLoption:IMPedance LINE"}, ":SENSe:CORRection:COLLect:CKIT:TRLoption:IMPedance?", "LINE", "1"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_CALKIT_TRL_REFERENCE_PLANE, all_indices, int32(&ZOR_SetChannelCorrectionCalkitTrlReferencePlane, &ZOR_GetChannelCorrectionCalkitTrlReferencePlane, 1), {":SENSe:CORRection:COLLect:CKIT:TRLoption:RPLane REFLect"}, ":SENSe:CORRection:COLLect:CKIT:TRLoption:RPLane?", "REFL", "1"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_PREFERENCE_ECAL_ORIENTATION_ENABLED, all_indices, boolean(&ZOR_SetChannelCorrectionPreferenceEcalOrientationEnabled, &ZOR_GetChannelCorrectionPreferenceEcalOrientationEnabled, VI_TRUE), {":SENSe:CORRection:COLLect:ECAL:ORIentation 1"}, ":SENSe:CORRection:COLLect:ECAL:ORIentation?", "1", "1"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_CORRECTION_MAX_ACQUISITION_COUNT, all_indices, int32(&ZOR_SetSourcePortPowerCorrectionMaxAcquisitionCount, &ZOR_GetSourcePortPowerCorrectionMaxAcquisitionCount, 138), {":SOURce2:POWer:PORT6:CORRection:COLLect:AVERage 138"}, ":SOURce2:POWer:PORT6:CORRection:COLLect:AVERage?", "231", "231"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_MAGNITUDE_OFFSET, all_indices, real(&ZOR_SetMeasurementTraceMagnitudeOffset, &ZOR_GetMeasurementTraceMagnitudeOffset, 34.0), {":CALCulate2:MEASure3:OFFSet:MAGNitude 3.400000000000e+01"}, ":CALCulate2:MEASure3:OFFSet:MAGNitude?", "2.0000E+02", "200"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_PHASE_OFFSET, all_indices, real(&ZOR_SetMeasurementTracePhaseOffset, &ZOR_GetMeasurementTracePhaseOffset, -34.25), {":CALCulate2:TRACe3:CORRection:OFFSet:PHASe -3.425000000000e+01"}, ":CALCulate2:TRACe3:CORRection:OFFSet:PHASe?", "2.0150E+02", "201.5"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_SLOPE_OFFSET, all_indices, real(&ZOR_SetMeasurementTraceSlopeOffset, &ZOR_GetMeasurementTraceSlopeOffset, 34.5), {":CALCulate2:MEASure3:OFFSet:MAGNitude:SLOPe 3.450000000000e+01"}, ":CALCulate2:MEASure3:OFFSet:MAGNitude:SLOPe?", "2.0300E+02", "203"),
    plain(ZOR_ATTR_SYSTEM_ACTIVE_MEASUREMENT_CLASS, all_indices, generic_text("SPAR"), {":CALCulate2:INSTrument SPAR"}, ":CALCulate2:INSTrument?", "SPAR", "SPAR"),
    plain(ZOR_ATTR_MEASUREMENT_DISPLAY_FORMAT, all_indices, int32(&ZOR_SetMeasurementDisplayFormat, &ZOR_GetMeasurementDisplayFormat, 11), {":CALCulate2:TRACe3:FORMat SADMittance"}, ":CALCulate2:TRACe3:FORMat?", "MLIN", "1"),
    plain(ZOR_ATTR_SWEEP_TYPE, all_indices, int32(&ZOR_ChannelActiveParametersSweepSetType, &ZOR_ChannelActiveParametersSweepQueryType, 4), {":SENSe2:SWEep:TYPE SEGMent"}, ":SENSe2:SWEep:TYPE?", "LOG", "1"),
    plain(ZOR_ATTR_MEASUREMENT_PARAMETER, all_indices, text(&ZOR_MeasurementSetParameter, &ZOR_MeasurementGetParameter, "S21"), {":CALCulate2:PARameter3:DEFine S21"}, ":CALCulate2:PARameter3:DEFine?", "S12", "S12"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_DISPLAY_MARKER_ENABLED, all_indices, boolean(&ZOR_SetMeasurementBwLimitDisplayMarkerEnabled, &ZOR_GetMeasurementBwLimitDisplayMarkerEnabled, VI_TRUE), {":CALCulate2:TRACe3:BLIMit:DISPlay:MARKer 1"}, ":CALCulate2:TRACe3:BLIMit:DISPlay:MARKer?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_RIPPLE_LIMIT_TESTING_FAIL_SOUND_ENABLED, all_indices, boolean(&ZOR_SetMeasurementRippleLimitTestingFailSoundEnabled, &ZOR_GetMeasurementRippleLimitTestingFailSoundEnabled, VI_FALSE), {":CALCulate2:MEASure3:RLIMit:SOUNd 0"}, ":CALCulate2:MEASure3:RLIMit:SOUNd?", "1", "1"),
    // Attributes with their own algorithms.
    {ZOR_ATTR_INSTRUMENT_FIRMWARE_REVISION, all_indices, generic_text_read_only(), {}, {},
     {{"*idn?", identity}}, {"*idn?"}, "4.2.1"},
    {ZOR_ATTR_SPECIFIC_DRIVER_REVISION, all_indices, generic_text_read_only(), {}, {}, {}, {},
     "Driver: ZOR 1.0, Compiler: MSVC 14.00, Components: IVIEngine 19.00, VISA-Spec 5.80"},
    {ZOR_ATTR_SYSTEM_SERIAL_NUMBER, nullptr, {nullptr, text_get(&ZOR_GetSystemSerialNumber)}, {}, {},
     {{"*idn?", identity}}, {"*idn?"}, "SN0042"},
    // The timeout lives in VISA: no traffic either way.
    {ZOR_ATTR_SYSTEM_IO_TIMEOUT, all_indices, generic_int32(4321), {}, {}, {}, {}, "4321"},
    plain(ZOR_ATTR_STATUS_SERVICE_REQUEST_ENABLE_REGISTER, nullptr,
          int32(&ZOR_SetStatusServiceRequestEnableRegister, &ZOR_GetStatusServiceRequestEnableRegister, 32), {"*SRE 32"},
          "*SRE?", "48", "48"),
    plain(ZOR_ATTR_STATUS_STANDARD_EVENT_ENABLE_REGISTER, nullptr,
          int32(&ZOR_SetStatusStandardEventEnableRegister, &ZOR_GetStatusStandardEventEnableRegister, 60), {"*ESE 60"},
          "*ESE?", "12", "12"),
    plain(ZOR_ATTR_CHANNEL_COUNT, all_indices, generic_int32_read_only(), {}, ":DISPlay:CHANnel:LIST?", "1,2,4", "3"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_COUNT, all_indices, generic_int32_read_only(), {}, ":DISPlay:WINDow:LIST?", "1, 2", "2"),
    plain(ZOR_ATTR_TRACE_COUNT, all_indices, generic_int32_read_only(), {}, ":DISPlay:TRACe:LIST?", "1,2,3,4", "4"),
    {ZOR_ATTR_DISPLAY_WINDOW_SIZE, all_indices, int32(&ZOR_SetDisplayWindowSize, &ZOR_GetDisplayWindowSize, 0), {},
     {":DISPlay:WINDow5:ACTivate", ":DISPlay:MAXimize 1"}, {{":DISPlay:MAXimize?", "0"}},
     {":DISPlay:WINDow5:ACTivate", ":DISPlay:MAXimize?"}, "2"},
    plain(ZOR_ATTR_DISPLAY_WINDOW_TITLE_STRING, all_indices,
          text(&ZOR_SetDisplayWindowTitleString, &ZOR_GetDisplayWindowTitleString, "Gain"),
          {":DISPlay:WINDow5:TITLe:DATA Gain"}, ":DISPlay:WINDow5:TITLe:DATA?", "\"Gain plot\"", "Gain plot"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_TITLE_STRING, all_indices,
          text(&ZOR_SetDisplayWindowTraceTitleString, &ZOR_GetDisplayWindowTraceTitleString, "\"T1\""),
          {":DISPlay:TRACe3:TITLe:DATA \"T1\""}, ":DISPlay:TRACe3:TITLe:DATA?", "S21 trace", "S21 trace"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_TITLE_STRING, all_indices,
          text(&ZOR_SetMeasurementTraceTitleString, &ZOR_GetMeasurementTraceTitleString, "T2"),
          {":DISPlay:TRACe3:TITLe:DATA T2"}, ":DISPlay:TRACe3:TITLe:DATA?", "\"\"Q\"", "Q"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_MEMORY_TRACE_ENABLED, all_indices,
          boolean(&ZOR_SetDisplayWindowTraceMemoryTraceEnabled, &ZOR_GetDisplayWindowTraceMemoryTraceEnabled, VI_TRUE),
          {":CALCulate2:TRACe3:MATH:MEMorize", ":DISPlay:WINDow2:TRACe3:MEMory 1"}, ":DISPlay:WINDow2:TRACe3:MEMory?",
          "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_MEMORY_TRACE_ENABLED, all_indices,
          boolean(&ZOR_SetMeasurementTraceMemoryTraceEnabled, &ZOR_GetMeasurementTraceMemoryTraceEnabled, VI_FALSE),
          {":DISPlay:WINDow2:TRACe3:MEMory 0"}, ":DISPlay:WINDow2:TRACe3:MEMory?", "1", "1"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_SCALE_COUPLING_ENABLED, all_indices,
          boolean(&ZOR_SetDisplayWindowTraceScaleCouplingEnabled, &ZOR_GetDisplayWindowTraceScaleCouplingEnabled,
                  VI_TRUE),
          {"DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod WINDow"}, "DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod?", "WIND",
          "1"),
    {ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_MODE, all_indices,
     int32(&ZOR_SetMeasurementTimeDomainTransformMode, &ZOR_GetMeasurementTimeDomainTransformMode, 2), {},
     {":CALCulate2:TRACe3:TRANsform:TIME BPASs"},
     {{":CALCulate2:TRACe3:TRANsform:TIME?", "LPAS"}, {":CALCulate2:TRACe3:TRANsform:TIME:STIMulus?", "STEP"}},
     {":CALCulate2:TRACe3:TRANsform:TIME?", ":CALCulate2:TRACe3:TRANsform:TIME:STIMulus?"}, "1"},
    plain(ZOR_ATTR_MEASUREMENT_MARKER_COUPLING_ENABLED, all_indices,
          boolean(&ZOR_SetMeasurementMarkerCouplingEnabled, &ZOR_GetMeasurementMarkerCouplingEnabled, VI_TRUE),
          {":CALCulate:MARKer:COUPle CHANnel"}, ":CALCulate:MARKer:COUPle?", "ALL", "1"),
    // No selector: the active channel is asked first.
    {ZOR_ATTR_TRIGGER_INITIATE_CONTINUOUS_ENABLED, nullptr,
     boolean(&ZOR_SetTriggerInitiateContinuousEnabled, &ZOR_GetTriggerInitiateContinuousEnabled, VI_TRUE),
     {{":DISPlay:CHANnel:SELect?", "3"}}, {":DISPlay:CHANnel:SELect?", ":SENSe3:SWEep:MODE CONTinuous"},
     {{":DISPlay:CHANnel:SELect?", "3"}, {":SENSe3:SWEep:MODE?", "CONT"}},
     {":DISPlay:CHANnel:SELect?", ":SENSe3:SWEep:MODE?"}, "1"},
    plain(ZOR_ATTR_STATUS_READY_FOR_TRIGGER_POLARITY, nullptr,
          int32(&ZOR_SetStatusReadyForTriggerPolarity, &ZOR_GetStatusReadyForTriggerPolarity, 1),
          {":TRIGger:OUTPut:POLarity NEGative"}, ":TRIGger:OUTPut:POLarity?", "NEG", "1"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_ACTIVE_WINDOW, nullptr,
          int32(&ZOR_SetDisplayWindowActiveWindow, &ZOR_GetDisplayWindowActiveWindow, 4), {":DISPlay:WINDow4:SELect"},
          ":DISPlay:WINDow:SELect?", "2", "2"),
    plain(ZOR_ATTR_SYSTEM_ACTIVE_MARKER, all_indices, generic_int32(7), {":CALCulate2:TRACe3:MARKer7:ACTivate"},
          ":CALCulate2:TRACe3:MARKer:ACTivate?", "6", "6"),
    plain(ZOR_ATTR_SYSTEM_ACTIVE_WINDOW, nullptr,
          int32(&ZOR_SetSystemActiveWindow, &ZOR_GetSystemActiveWindow, 3), {":DISPlay:WINDow3:SELect"},
          ":DISPlay:WINDow:SELect?", "2", "2"),
    plain(ZOR_ATTR_SYSTEM_POWER_ENABLED, nullptr, boolean(&ZOR_SetSystemPowerEnabled, &ZOR_GetSystemPowerEnabled, VI_TRUE),
          {":OUTPut 1"}, ":OUTPut?", "1", "1"),
    plain(ZOR_ATTR_MEASUREMENT_LIMIT_SEGMENT_NO, all_indices,
          int32(&ZOR_SetMeasurementLimitSegmentNo, &ZOR_GetMeasurementLimitSegmentNo, 2),
          {":CALCulate2:TRACe3:LIMit:DATA 2,0,0,0,0,0,0,0,0,0,0"}, ":CALCulate2:TRACe3:LIMit:DATA?",
          "3.9,1,1e9,2e9,-3,-3", "3"),
    plain(ZOR_ATTR_MEASUREMENT_CONVERSION_FUNCTION, all_indices,
          int32(&ZOR_SetMeasurementConversionFunction, &ZOR_GetMeasurementConversionFunction, 8),
          {":CALCulate2:TRACe3:CONVersion:STATe 1", ":CALCulate2:TRACe3:CONVersion:FUNCtion CONJugation"},
          ":CALCulate2:TRACe3:CONVersion:FUNCtion?", "ZTR", "2"),
    // Read-only exports: set through the generic accessor.
    plain(ZOR_ATTR_SYSTEM_ACTIVE_CHANNEL, nullptr,
          {generic_int32(2).set, typed_get<ViInt32>(&ZOR_SystemGetActiveChannel)}, {":DISPlay:CHANnel2:SELect"},
          ":DISPlay:CHANnel:SELect?", "5", "5"),
    plain(ZOR_ATTR_SYSTEM_ACTIVE_TRACE, nullptr,
          {generic_int32(6).set, typed_get<ViInt32>(&ZOR_SystemGetActiveTrace)}, {":DISPlay:TRACe6:SELect"},
          ":DISPlay:TRACe:SELect?", "7", "7"),
    };
    return table;
}

class AttributeTable : public zor_test::attribute_test_t {
protected:
    void script_all(const std::vector<exchange_t>& exchanges) {
        zsim_clear_scripts(analyzer.c_str());
        for (const auto& e : exchanges) script(e.message.c_str(), e.reply.c_str());
    }
};

TEST_F(AttributeTable, CoversEveryRegisteredAttributeOnce) {
    const std::set<ViAttr> registered = {
#define ZOR_ATTRIBUTE(constant, id, model) id,
#include "zor_attributes.def"
#undef ZOR_ATTRIBUTE
    };
    EXPECT_EQ(registered.size(), 144u);
    std::set<ViAttr> tested;
    for (const auto& row : rows()) EXPECT_TRUE(tested.insert(row.id).second) << "listed twice: " << row.id;
    EXPECT_EQ(tested, registered);
}

TEST_F(AttributeTable, EveryAttributeSendsItsCommandsAndReadsTheReplyBack) {
    for (const auto& row : rows()) {
        SCOPED_TRACE(testing::Message() << "attribute " << row.id);
        if (row.access.set) {
            script_all(row.set_scripts);
            clear_log();
            EXPECT_EQ(row.access.set(vi, row.selector, row.id), 0);
            EXPECT_EQ(log(), row.set_wire);
        }
        script_all(row.get_scripts);
        clear_log();
        std::string value;
        EXPECT_EQ(row.access.get(vi, row.selector, row.id, value), 0);
        EXPECT_EQ(log(), row.get_wire);
        EXPECT_EQ(value, row.expected);
    }
}

// Every accessor row names an export: the addresses only link when all exist.
TEST(AccessorExports, EveryRowIsExported) {
    const std::vector<const void*> exports = {
#define ZOR_ACCESSOR(name, direction, type, attribute, selector) reinterpret_cast<const void*>(&name),
#include "zor_accessors.def"
#undef ZOR_ACCESSOR
    };
    EXPECT_EQ(exports.size(), 280u);
    for (const void* address : exports) EXPECT_NE(address, nullptr);
}

}  // namespace
