// Every registered attribute, set and read back through its own export
// against the simulated analyzer, in process and over TCP: the exact wire
// text of each exchange, and the value the analyzer's own state gives back.
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "attribute_fixture.h"
#include "visa.h"
#include <simulator/analyzer/analyzer.h>
#include <simulator/servers/tcp_server.h>
#include "../support/vna_sim_process.h"

// The bundled VISA library's own functions, for a raw second session.
extern "C" {
#define ZOR_TEST_VISA_DECL(name, ret, params) ret ZOR_VISA_CALL name params;
ZOR_VISA_FUNCTIONS(ZOR_TEST_VISA_DECL)
#undef ZOR_TEST_VISA_DECL
}

namespace {

using zor_test::strings;

// Every number field distinct, so a model that fills a field from the wrong
// index sends a different text.
constexpr const char* all_indices = "Channel2:Trace3:Marker4:Window5:Port6";
// The analyzer has two ports (PORT6 is a suffix error), so rows that send a
// port number use these, again all distinct.
constexpr const char* port_indices = "Channel3:Trace4:Marker5:Window6:Port2";

using set_fn = std::function<ViStatus(ViSession, const char*, ViAttr)>;
using get_fn = std::function<ViStatus(ViSession, const char*, ViAttr, std::string&)>;

struct accessor_t {
    set_fn set;  // empty for read-only attributes
    get_fn get;
    std::string written;  // the value set, as the get writes it back
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
    return {typed_set<ViReal64>(set, value), typed_get<ViReal64>(get), text_of(value)};
}
template <typename S, typename G>
accessor_t boolean(S set, G get, ViBoolean value) {
    return {typed_set<ViBoolean>(set, value), typed_get<ViBoolean>(get), text_of(value)};
}
template <typename S, typename G>
accessor_t int32(S set, G get, ViInt32 value) {
    return {typed_set<ViInt32>(set, value), typed_get<ViInt32>(get), text_of(value)};
}
template <typename S, typename G>
accessor_t text(S set, G get, ViConstString value) {
    return {typed_set<ViConstString>(set, value), text_get(get), value};
}

// The generic accessors, for attributes without exports of their own.
accessor_t generic_int32(ViInt32 value) {
    return {[=](ViSession vi, const char* selector, ViAttr id) { return ZOR_SetAttributeViInt32(vi, selector, id, value); },
            [](ViSession vi, const char* selector, ViAttr id, std::string& out) {
                ViInt32 read = 0;
                const ViStatus status = ZOR_GetAttributeViInt32(vi, selector, id, &read);
                out = text_of(read);
                return status;
            },
            text_of(value)};
}
accessor_t generic_text(ViConstString value) {
    return {[=](ViSession vi, const char* selector, ViAttr id) { return ZOR_SetAttributeViString(vi, selector, id, value); },
            [](ViSession vi, const char* selector, ViAttr id, std::string& out) {
                char buffer[256];
                const ViStatus status = ZOR_GetAttributeViString(vi, selector, id, sizeof buffer, buffer);
                out = buffer;
                return status;
            },
            value};
}
accessor_t generic_int32_read_only() { return {nullptr, generic_int32(0).get, ""}; }
accessor_t generic_text_read_only() { return {nullptr, generic_text("").get, ""}; }

struct row_t {
    ViAttr id;
    const char* selector;
    accessor_t access;
    strings set_wire;
    strings get_wire;
    std::string expected;  // the value read back
    // Messages sent to the analyzer before the row, to arrange its state.
    strings arrange = {};

    row_t reads(std::string value) const {
        row_t r = *this;
        r.expected = std::move(value);
        return r;
    }
    row_t after(strings messages) const {
        row_t r = *this;
        r.arrange = std::move(messages);
        return r;
    }
};

// One set command, one get command; reads back the value set.
row_t plain(ViAttr id, const char* selector, accessor_t access, strings set_wire, std::string get) {
    std::string expected = access.written;
    return {id, selector, std::move(access), std::move(set_wire), {std::move(get)}, std::move(expected)};
}

// "maker,model,serial,firmware" field `index` of the analyzer's identity.
std::string identity_field(int index) {
    std::string text = zorsim::default_identity;
    for (int i = 0; i < index; ++i) text.erase(0, text.find(',') + 1);
    return text.substr(0, text.find(','));
}

const std::vector<row_t>& rows() {
    static const std::vector<row_t> table = {
    plain(ZOR_ATTR_TRIGGER_EXTERNAL_DELAY, nullptr, real(&ZOR_SetTriggerDelay, &ZOR_GetTriggerDelay, 0.25), {":TRIGger:EXTernal:DELay 2.500000000000e-01"}, ":TRIGger:EXTernal:DELay?"),
    plain(ZOR_ATTR_MEASUREMENT_CORRECTION_ELECTRICAL_DELAY_DISTANCE, all_indices, real(&ZOR_SetMeasurementCorrectionElectricalDelayDistance, &ZOR_GetMeasurementCorrectionElectricalDelayDistance, -3.25), {":CALCulate2:MEASure3:CORRection:EDELay:DISTance -3.250000000000e+00"}, ":CALCulate2:MEASure3:CORRection:EDELay:DISTance?"),
    plain(ZOR_ATTR_MEASUREMENT_LIMIT_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementLimitDisplayEnabled, &ZOR_GetMeasurementLimitDisplayEnabled, VI_TRUE), {":CALCulate2:TRACe3:LIMit:DISPlay:STATe 1"}, ":CALCulate2:TRACe3:LIMit:DISPlay:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_LIMIT_ENABLED, all_indices, boolean(&ZOR_SetMeasurementLimitEnabled, &ZOR_GetMeasurementLimitEnabled, VI_TRUE), {":CALCulate2:TRACe3:LIMit:STATe 1"}, ":CALCulate2:TRACe3:LIMit:STATe?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_ENABLED, all_indices, boolean(&ZOR_SetDisplayWindowEnabled, &ZOR_GetDisplayWindowEnabled, VI_FALSE), {":DISPlay:WINDow5:STATe 0"}, ":DISPlay:WINDow5:STATe?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TITLE_ENABLED, all_indices, boolean(&ZOR_SetDisplayWindowTitleEnabled, &ZOR_GetDisplayWindowTitleEnabled, VI_TRUE), {":DISPlay:WINDow5:TITLe:STATe 1"}, ":DISPlay:WINDow5:TITLe:STATe?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_NUMBER_OF_Y_DIVISIONS, all_indices, int32(&ZOR_SetDisplayWindowNumberOfYDivisions, &ZOR_GetDisplayWindowNumberOfYDivisions, 24), {":DISPlay:WINDow5:Y:DIVisions 24"}, ":DISPlay:WINDow5:Y:DIVisions?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_ENABLED, all_indices, boolean(&ZOR_SetDisplayWindowTraceEnabled, &ZOR_GetDisplayWindowTraceEnabled, VI_FALSE), {":DISPlay:WINDow2:TRACe3:STATe 0"}, ":DISPlay:WINDow2:TRACe3:STATe?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_TITLE_ENABLED, all_indices, boolean(&ZOR_SetDisplayWindowTraceTitleEnabled, &ZOR_GetDisplayWindowTraceTitleEnabled, VI_TRUE), {":DISPlay:TRACe3:TITLe:STATe 1"}, ":DISPlay:TRACe3:TITLe:STATe?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_Y_PER_DIVISION_VALUE, all_indices, real(&ZOR_SetDisplayWindowTraceYPerDivisionValue, &ZOR_GetDisplayWindowTraceYPerDivisionValue, 6.5), {":DISPlay:WINDow5:TRACe3:Y:PDIVision 6.500000000000e+00"}, ":DISPlay:WINDow5:TRACe3:Y:PDIVision?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_Y_REFERENCE_LEVEL, all_indices, real(&ZOR_SetDisplayWindowTraceYReferenceLevel, &ZOR_GetDisplayWindowTraceYReferenceLevel, -6.75), {":DISPlay:WINDow5:TRACe3:Y:RLEVel -6.750000000000e+00"}, ":DISPlay:WINDow5:TRACe3:Y:RLEVel?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_Y_REFERENCE_POSITION, all_indices, real(&ZOR_SetDisplayWindowTraceYReferencePosition, &ZOR_GetDisplayWindowTraceYReferencePosition, 7.0), {":DISPlay:WINDow5:TRACe3:Y:RPOSition 7.000000000000e+00"}, ":DISPlay:WINDow5:TRACe3:Y:RPOSition?"),
    plain(ZOR_ATTR_MEASUREMENT_CORRECTION_ENABLED, all_indices, boolean(&ZOR_SetMeasurementCorrectionEnabled, &ZOR_GetMeasurementCorrectionEnabled, VI_TRUE), {":SENSe2:CORRection:STATe 1"}, ":SENSe2:CORRection:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_CORRECTION_ELECTRICAL_DELAY_UNIT, all_indices, int32(&ZOR_SetMeasurementCorrectionElectricalDelayUnit, &ZOR_GetMeasurementCorrectionElectricalDelayUnit, 2), {":CALCulate2:MEASure3:CORRection:EDELay:UNIT INCH"}, ":CALCulate2:MEASure3:CORRection:EDELay:UNIT?"),
    plain(ZOR_ATTR_MEASUREMENT_CORRECTION_ELECTRICAL_DELAY_TIME, all_indices, real(&ZOR_SetMeasurementCorrectionElectricalDelayTime, &ZOR_GetMeasurementCorrectionElectricalDelayTime, -7.75), {":CALCulate2:TRACe3:CORRection:EDELay:TIME -7.750000000000e+00"}, ":CALCulate2:TRACe3:CORRection:EDELay:TIME?"),
    plain(ZOR_ATTR_MEASUREMENT_EQUATION_ENABLED, all_indices, boolean(&ZOR_SetMeasurementEquationEnabled, &ZOR_GetMeasurementEquationEnabled, VI_TRUE), {":CALCulate2:TRACe3:EQUation:STATE 1"}, ":CALCulate2:TRACe3:EQUation:STATE?"),
    // Sent between quotes and answered so; the driver returns the reply as read.
    plain(ZOR_ATTR_MEASUREMENT_EQUATION_TEXT, all_indices, text(&ZOR_SetMeasurementEquationText, &ZOR_GetMeasurementEquationText, "S21/S11"), {":CALCulate2:TRACe3:EQUation:TEXT \"S21/S11\""}, ":CALCulate2:TRACe3:EQUation:TEXT?")
        .reads(R"("S21/S11")"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_CENTER, all_indices, real(&ZOR_SetMeasurementTimeDomainGatingCenter, &ZOR_GetMeasurementTimeDomainGatingCenter, 2.5e-09), {":CALCulate2:TRACe3:FILTer:TIME:CENTer 2.500000000000e-09"}, ":CALCulate2:TRACe3:FILTer:TIME:CENTer?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_FILTER_SHAPE, all_indices, int32(&ZOR_SetMeasurementTimeDomainGatingFilterShape, &ZOR_GetMeasurementTimeDomainGatingFilterShape, 3), {":CALCulate2:TRACe3:FILTer:TIME:SHAPE MINimum"}, ":CALCulate2:TRACe3:FILTer:TIME:SHAPE?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_SPAN, all_indices, real(&ZOR_SetMeasurementTimeDomainGatingSpan, &ZOR_GetMeasurementTimeDomainGatingSpan, 5e-09), {":CALCulate2:TRACe3:FILTer:TIME:SPAN 5.000000000000e-09"}, ":CALCulate2:TRACe3:FILTer:TIME:SPAN?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_START, all_indices, real(&ZOR_SetMeasurementTimeDomainGatingStart, &ZOR_GetMeasurementTimeDomainGatingStart, -1.5e-09), {":CALCulate2:TRACe3:FILTer:TIME:STARt -1.500000000000e-09"}, ":CALCulate2:TRACe3:FILTer:TIME:STARt?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_STOP, all_indices, real(&ZOR_SetMeasurementTimeDomainGatingStop, &ZOR_GetMeasurementTimeDomainGatingStop, 3.5e-09), {":CALCulate2:TRACe3:FILTer:TIME:STOP 3.500000000000e-09"}, ":CALCulate2:TRACe3:FILTer:TIME:STOP?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTimeDomainGatingEnabled, &ZOR_GetMeasurementTimeDomainGatingEnabled, VI_TRUE), {":CALCulate2:TRACe3:FILTer:TIME:STATe 1"}, ":CALCulate2:TRACe3:FILTer:TIME:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_GATING_FILTER_TYPE, all_indices, int32(&ZOR_SetMeasurementTimeDomainGatingFilterType, &ZOR_GetMeasurementTimeDomainGatingFilterType, 1), {":CALCulate2:TRACe3:FILTer:TIME:TYPE NOTCh"}, ":CALCulate2:TRACe3:FILTer:TIME:TYPE?"),
    plain(ZOR_ATTR_MEASUREMENT_LIMIT_TESTING_FAIL_SOUND_ENABLED, all_indices, boolean(&ZOR_SetMeasurementLimitTestingFailSoundEnabled, &ZOR_GetMeasurementLimitTestingFailSoundEnabled, VI_TRUE), {":CALCulate2:MEASure3:LIMit:SOUNd:STATe 1"}, ":CALCulate2:MEASure3:LIMit:SOUNd:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_STATISTICS_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTraceStatisticsDisplayEnabled, &ZOR_GetMeasurementTraceStatisticsDisplayEnabled, VI_TRUE), {":CALCulate2:TRACe3:MSTatistics:STATe 1"}, ":CALCulate2:TRACe3:MSTatistics:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_CENTER, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformCenter, &ZOR_GetMeasurementTimeDomainTransformCenter, -2.5e-09), {":CALCulate2:TRACe3:TRANsform:TIME:CENTer -2.500000000000e-09"}, ":CALCulate2:TRACe3:TRANsform:TIME:CENTer?"),
    // The width sets the window's beta; one the window reaches reads back.
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_WINDOW_IMPULSE_WIDTH, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformWindowImpulseWidth, &ZOR_GetMeasurementTimeDomainTransformWindowImpulseWidth, 1.25e-10), {":CALCulate2:TRACe3:TRANsform:TIME:IMPulse:WIDTh 1.250000000000e-10"}, ":CALCulate2:TRACe3:TRANsform:TIME:IMPulse:WIDTh?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_KAISER_BESSEL_WIDTH, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformKaiserBesselWidth, &ZOR_GetMeasurementTimeDomainTransformKaiserBesselWidth, 11.25), {":CALCulate2:TRACe3:TRANsform:TIME:KBESsel 1.125000000000e+01"}, ":CALCulate2:TRACe3:TRANsform:TIME:KBESsel?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_SPAN, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformSpan, &ZOR_GetMeasurementTimeDomainTransformSpan, 4.5e-08), {":CALCulate2:TRACe3:TRANsform:TIME:SPAN 4.500000000000e-08"}, ":CALCulate2:TRACe3:TRANsform:TIME:SPAN?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_START, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformStart, &ZOR_GetMeasurementTimeDomainTransformStart, -5e-09), {":CALCulate2:TRACe3:TRANsform:TIME:STARt -5.000000000000e-09"}, ":CALCulate2:TRACe3:TRANsform:TIME:STARt?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_STOP, all_indices, real(&ZOR_SetMeasurementTimeDomainTransformStop, &ZOR_GetMeasurementTimeDomainTransformStop, 3e-08), {":CALCulate2:TRACe3:TRANsform:TIME:STOP 3.000000000000e-08"}, ":CALCulate2:TRACe3:TRANsform:TIME:STOP?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTimeDomainTransformEnabled, &ZOR_GetMeasurementTimeDomainTransformEnabled, VI_TRUE), {":CALCulate2:TRACe3:TRANsform:TIME:STATe 1"}, ":CALCulate2:TRACe3:TRANsform:TIME:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_COUPLING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTimeDomainCouplingEnabled, &ZOR_GetMeasurementTimeDomainCouplingEnabled, VI_TRUE), {":CALCulate2:TRACe3:TRANsform:COUPle:STATe 1"}, ":CALCulate2:TRACe3:TRANsform:COUPle:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_MATH_OPERATION, all_indices, int32(&ZOR_SetMeasurementTraceMathOperation, &ZOR_GetMeasurementTraceMathOperation, 4), {":CALCulate2:TRACe3:MATH:FUNCtion DIVide"}, ":CALCulate2:TRACe3:MATH:FUNCtion?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_SMOOTHING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTraceSmoothingEnabled, &ZOR_GetMeasurementTraceSmoothingEnabled, VI_TRUE), {":CALCulate2:TRACe3:SMOothing 1"}, ":CALCulate2:TRACe3:SMOothing?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_SMOOTHING_APERTURE, all_indices, real(&ZOR_SetMeasurementTraceSmoothingAperture, &ZOR_GetMeasurementTraceSmoothingAperture, 13.5), {":CALCulate2:TRACe3:SMOothing:APERture 1.350000000000e+01"}, ":CALCulate2:TRACe3:SMOothing:APERture?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_SMOOTHING_NO_OF_DATA_POINTS, all_indices, int32(&ZOR_SetMeasurementTraceSmoothingNoOfDataPoints, &ZOR_GetMeasurementTraceSmoothingNoOfDataPoints, 59), {":CALCulate2:MEASure3:SMOothing:POINts 59"}, ":CALCulate2:MEASure3:SMOothing:POINts?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTraceDisplayEnabled, &ZOR_GetMeasurementTraceDisplayEnabled, VI_FALSE), {":DISPlay:WINDow2:TRACe3:STATe 0"}, ":DISPlay:WINDow2:TRACe3:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_DISPLAY_TITLE_ENABLED, all_indices, boolean(&ZOR_SetMeasurementTraceDisplayTitleEnabled, &ZOR_GetMeasurementTraceDisplayTitleEnabled, VI_TRUE), {":DISPlay:TRACe3:TITLe:STATe 1"}, ":DISPlay:TRACe3:TITLe:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_Y_PER_DIVISION_VALUE, all_indices, real(&ZOR_SetMeasurementTraceYPerDivisionValue, &ZOR_GetMeasurementTraceYPerDivisionValue, 15.0), {":DISPlay:WINDow5:TRACe3:Y:PDIVision 1.500000000000e+01"}, ":DISPlay:WINDow5:TRACe3:Y:PDIVision?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_Y_REFERENCE_LEVEL, all_indices, real(&ZOR_SetMeasurementTraceYReferenceLevel, &ZOR_GetMeasurementTraceYReferenceLevel, -15.25), {":DISPlay:WINDow5:TRACe3:Y:RLEVel -1.525000000000e+01"}, ":DISPlay:WINDow5:TRACe3:Y:RLEVel?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_Y_REFERENCE_POSITION, all_indices, real(&ZOR_SetMeasurementTraceYReferencePosition, &ZOR_GetMeasurementTraceYReferencePosition, 15.5), {":DISPlay:WINDow5:TRACe3:Y:RPOSition 1.550000000000e+01"}, ":DISPlay:WINDow5:TRACe3:Y:RPOSition?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_ACTIVE_MARKER, all_indices, int32(&ZOR_SetMeasurementMarkerActiveMarker, &ZOR_GetMeasurementMarkerActiveMarker, 6), {":CALCulate2:TRACe3:MARKer6:ACTivate"}, ":CALCulate2:TRACe3:MARKer:ACTivate?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_COUPLING_METHOD, all_indices, int32(&ZOR_SetMeasurementMarkerCouplingMethod, &ZOR_GetMeasurementMarkerCouplingMethod, 2), {":CALCulate:MARKer:COUPle ALL"}, ":CALCulate:MARKer:COUPle?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_DELTA_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerDeltaEnabled, &ZOR_GetMeasurementMarkerDeltaEnabled, VI_TRUE), {":CALCulate2:MEASure3:MARKer4:DELTa 1"}, ":CALCulate2:MEASure3:MARKer4:DELTa?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_DISPLAY_DISCRETE_DATA_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerDisplayDiscreteDataEnabled, &ZOR_GetMeasurementMarkerDisplayDiscreteDataEnabled, VI_TRUE), {":CALCulate2:TRACe3:MARKer4:DISCrete 1"}, ":CALCulate2:TRACe3:MARKer4:DISCrete?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_REFERENCE_MODE_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerReferenceModeEnabled, &ZOR_GetMeasurementMarkerReferenceModeEnabled, VI_TRUE), {":CALCulate2:TRACe3:MARKer:REFerence:STATe 1"}, ":CALCulate2:TRACe3:MARKer:REFerence:STATe?"),
    plain(ZOR_ATTR_SWEEP_DELAY, all_indices, real(&ZOR_SetChannelStandardStimulusSweepDelay, &ZOR_GetChannelStandardStimulusSweepDelay, 0.5), {":SENSe2:SWEep:DELay 5.000000000000e-01"}, ":SENSe2:SWEep:DELay?"),
    plain(ZOR_ATTR_SWEEP_NUMBER_OF_POINTS, all_indices, int32(&ZOR_SetChannelStandardStimulusSweepNumberOfPoints, &ZOR_GetChannelStandardStimulusSweepNumberOfPoints, 74), {":SENSe2:SWEep:POINts 74"}, ":SENSe2:SWEep:POINts?"),
    plain(ZOR_ATTR_SWEEP_TIME, all_indices, real(&ZOR_SetChannelStandardStimulusSweepTime, &ZOR_GetChannelStandardStimulusSweepTime, 0.25), {":SENSe2:SWEep:TIME 2.500000000000e-01"}, ":SENSe2:SWEep:TIME?"),
    plain(ZOR_ATTR_SWEEP_TIME_AUTO_ENABLED, all_indices, boolean(&ZOR_SetChannelStandardStimulusSweepTimeAutoEnabled, &ZOR_GetChannelStandardStimulusSweepTimeAutoEnabled, VI_FALSE), {":SENSe2:SWEep:TIME:AUTO 0"}, ":SENSe2:SWEep:TIME:AUTO?"),
    plain(ZOR_ATTR_FREQUENCY_CENTER, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencyCenter, &ZOR_GetStandardStimulusSweepFrequencyCenter, 2000000000.0), {":SENSe2:FREQuency:CENTer 2.000000000000e+09"}, ":SENSe2:FREQuency:CENTer?"),
    plain(ZOR_ATTR_FREQUENCY_STEP_SIZE, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencyStepSize, &ZOR_GetStandardStimulusSweepFrequencyStepSize, 1000000.0), {":SENSe2:FREQuency:STEP 1.000000000000e+06"}, ":SENSe2:FREQuency:STEP?"),
    plain(ZOR_ATTR_FREQUENCY_START, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencyStart, &ZOR_GetStandardStimulusSweepFrequencyStart, 1000000.0), {":SENSe2:FREQuency:STARt 1.000000000000e+06"}, ":SENSe2:FREQuency:STARt?"),
    plain(ZOR_ATTR_SWEEP_CW_FREQUENCY, all_indices, real(&ZOR_SetChannelStandardStimulusSweepCwFrequency, &ZOR_GetChannelStandardStimulusSweepCwFrequency, 2500000000.0), {":SENSe2:FREQuency:CW 2.500000000000e+09"}, ":SENSe2:FREQuency:CW?"),
    plain(ZOR_ATTR_FREQUENCY_STOP, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencyStop, &ZOR_GetStandardStimulusSweepFrequencyStop, 6000000000.0), {":SENSe2:FREQuency:STOP 6.000000000000e+09"}, ":SENSe2:FREQuency:STOP?"),
    plain(ZOR_ATTR_FREQUENCY_SPAN, all_indices, real(&ZOR_SetStandardStimulusSweepFrequencySpan, &ZOR_GetStandardStimulusSweepFrequencySpan, 1000000000.0), {":SENSe2:FREQuency:SPAN 1.000000000000e+09"}, ":SENSe2:FREQuency:SPAN?"),
    plain(ZOR_ATTR_AVERAGING_ENABLED, all_indices, boolean(&ZOR_SetChannelAveragingEnabled, &ZOR_GetChannelAveragingEnabled, VI_TRUE), {":SENSe2:AVERage 1"}, ":SENSe2:AVERage?"),
    plain(ZOR_ATTR_AVERAGING_FACTOR, all_indices, int32(&ZOR_SetChannelAveragingFactor, &ZOR_GetChannelAveragingFactor, 84), {":SENSe2:AVERage:COUNt 84"}, ":SENSe2:AVERage:COUNt?"),
    plain(ZOR_ATTR_AVERAGING_IF_BANDWIDTH, all_indices, real(&ZOR_SetChannelAveragingIfBandwidth, &ZOR_GetChannelAveragingIfBandwidth, 1000.0), {":SENSe2:BANDwidth 1.000000000000e+03"}, ":SENSe2:BANDwidth?"),
    plain(ZOR_ATTR_SWEEP_TRIGGER_MODE, all_indices, int32(&ZOR_SetChannelStandardStimulusSweepTriggerMode, &ZOR_GetChannelStandardStimulusSweepTriggerMode, 1), {":SENSe2:SWEep:MODE SINGle"}, ":SENSe2:SWEep:MODE?"),
    plain(ZOR_ATTR_CHANNEL_TRIGGER_DELAY, all_indices, real(&ZOR_SetChannelTriggerDelay, &ZOR_GetChannelTriggerDelay, 1.5), {":SENSe2:SWEep:DELay 1.500000000000e+00"}, ":SENSe2:SWEep:DELay?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_FUNCTION, all_indices, int32(&ZOR_SetMeasurementMarkerSearchFunction, &ZOR_GetMeasurementMarkerSearchFunction, 9), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TYPE PEAK"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TYPE?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_TRACKING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerSearchTrackingEnabled, &ZOR_GetMeasurementMarkerSearchTrackingEnabled, VI_TRUE), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TRACking 1"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TRACking?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_PEAK_EXCURSION, all_indices, real(&ZOR_SetMeasurementMarkerSearchPeakExcursion, &ZOR_GetMeasurementMarkerSearchPeakExcursion, 6.5), {":CALCulate2:TRACe3:MARKer4:FUNCtion:PEXCursion 6.500000000000e+00"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:PEXCursion?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_PEAK_THRESHOLD, all_indices, real(&ZOR_SetMeasurementMarkerSearchPeakThreshold, &ZOR_GetMeasurementMarkerSearchPeakThreshold, 22.0), {":CALCulate2:MEASure3:MARKer4:FUNCtion:PEAK:THReshold 2.200000000000e+01"}, ":CALCulate2:MEASure3:MARKer4:FUNCtion:PEAK:THReshold?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_PEAK_POLARITY, all_indices, int32(&ZOR_SetMeasurementMarkerSearchPeakPolarity, &ZOR_GetMeasurementMarkerSearchPeakPolarity, 2), {":CALCulate2:TRACe3:MARKer4:FUNCtion:PPOLarity BOTH"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:PPOLarity?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_TARGET_TRANSITION, all_indices, int32(&ZOR_SetMeasurementMarkerSearchTargetTransition, &ZOR_GetMeasurementMarkerSearchTargetTransition, 1), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TTRansition NEGative"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TTRansition?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_TARGET_VALUE, all_indices, real(&ZOR_SetMeasurementMarkerSearchTargetValue, &ZOR_GetMeasurementMarkerSearchTargetValue, -22.75), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TARGet -2.275000000000e+01"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TARGet?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_FUNCTION, all_indices, int32(&ZOR_SetMeasurementMarkerSearchMultiSearchFunction, &ZOR_GetMeasurementMarkerSearchMultiSearchFunction, 2), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TYPE TARGet"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TYPE?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_TRACKING_ENABLED, all_indices, boolean(&ZOR_SetMeasurementMarkerSearchMultiSearchTrackingEnabled, &ZOR_GetMeasurementMarkerSearchMultiSearchTrackingEnabled, VI_TRUE), {":CALCulate2:TRACe3:MARKer4:FUNCtion:TRACking 1"}, ":CALCulate2:TRACe3:MARKer4:FUNCtion:TRACking?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_PEAK_EXCURSION, all_indices, real(&ZOR_SetMeasurementMarkerSearchMultiSearchPeakExcursion, &ZOR_GetMeasurementMarkerSearchMultiSearchPeakExcursion, 23.5), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:PEXCursion 2.350000000000e+01"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:PEXCursion?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_PEAK_POLARITY, all_indices, int32(&ZOR_SetMeasurementMarkerSearchMultiSearchPeakPolarity, &ZOR_GetMeasurementMarkerSearchMultiSearchPeakPolarity, 2), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:PPOLarity BOTH"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:PPOLarity?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_PEAK_THRESHOLD, all_indices, real(&ZOR_SetMeasurementMarkerSearchMultiSearchPeakThreshold, &ZOR_GetMeasurementMarkerSearchMultiSearchPeakThreshold, 24.0), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:THReshold 2.400000000000e+01"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:THReshold?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_TARGET_TRANSITION, all_indices, int32(&ZOR_SetMeasurementMarkerSearchMultiSearchTargetTransition, &ZOR_GetMeasurementMarkerSearchMultiSearchTargetTransition, 1), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TTRansition NEGative"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TTRansition?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_TARGET_VALUE, all_indices, real(&ZOR_SetMeasurementMarkerSearchMultiSearchTargetValue, &ZOR_GetMeasurementMarkerSearchMultiSearchTargetValue, 24.5), {":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TARGet 2.450000000000e+01"}, ":CALCulate2:TRACe3:MARKer:FUNCtion:MULTi:TARGet?"),
    plain(ZOR_ATTR_TRIGGER_SCOPE, nullptr, int32(&ZOR_SetTriggerScope, &ZOR_GetTriggerScope, 1), {":TRIGger:SEQuence:SCOPe ACTive"}, ":TRIGger:SEQuence:SCOPe?"),
    plain(ZOR_ATTR_TRIGGER_SLOPE, nullptr, int32(&ZOR_SetTriggerSlope, &ZOR_GetTriggerSlope, 1), {":TRIGger:SEQuence:EXTernal:SLOPe NEGative"}, ":TRIGger:SEQuence:EXTernal:SLOPe?"),
    plain(ZOR_ATTR_TRIGGER_SOURCE, nullptr, int32(&ZOR_SetTriggerSource, &ZOR_GetTriggerSource, 3), {":TRIGger:SEQuence:SOURce BUS"}, ":TRIGger:SEQuence:SOURce?"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_START, all_indices, real(&ZOR_SetChannelActiveParametersSweepStartPower, &ZOR_GetChannelActiveParametersSweepStartPower, -25.75), {":SOURce2:POWer:STARt -2.575000000000e+01"}, ":SOURce2:POWer:STARt?"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_STOP, all_indices, real(&ZOR_SetChannelActiveParametersSweepStopPower, &ZOR_GetChannelActiveParametersSweepStopPower, 5.0), {":SOURce2:POWer:STOP 5.000000000000e+00"}, ":SOURce2:POWer:STOP?"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_CORRECTION_ENABLED, port_indices, boolean(&ZOR_SetSourcePortPowerCorrectionEnabled, &ZOR_GetSourcePortPowerCorrectionEnabled, VI_TRUE), {":SOURce3:POWer:PORT2:CORRection 1"}, ":SOURce3:POWer:PORT2:CORRection?"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_COUPLE_ENABLED, all_indices, boolean(&ZOR_SetChannelStandardStimulusSourcePortPowerCoupEnabled, &ZOR_GetChannelStandardStimulusSourcePortPowerCoupEnabled, VI_FALSE), {":SOURce2:POWer:PORT:COUPle 0"}, ":SOURce2:POWer:PORT:COUPle?"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_SLOPE_ENABLED, all_indices, boolean(&ZOR_SetChannelStandardStimulusSourcePortPowerSlopeEnabled, &ZOR_GetChannelStandardStimulusSourcePortPowerSlopeEnabled, VI_TRUE), {":SOURce2:POWer:SLOPe:STATe 1"}, ":SOURce2:POWer:SLOPe:STATe?"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_SLOPE, all_indices, real(&ZOR_SetChannelStandardStimulusSourcePortPowerSlope, &ZOR_GetChannelStandardStimulusSourcePortPowerSlope, 1.5), {":SOURce2:POWer:SLOPe 1.500000000000e+00"}, ":SOURce2:POWer:SLOPe?"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_LEVEL, all_indices, real(&ZOR_SetChannelStandardStimulusSourcePortPowerLevel, &ZOR_GetChannelStandardStimulusSourcePortPowerLevel, -27.25), {":SOURce2:POWer -2.725000000000e+01"}, ":SOURce2:POWer?"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_ENABLED, all_indices, boolean(&ZOR_SetChannelStandardStimulusSourcePortPowerEnabled, &ZOR_GetChannelStandardStimulusSourcePortPowerEnabled, VI_FALSE), {":OUTPut 0"}, ":OUTPut?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_READOUT_POSITION_X, all_indices, real(&ZOR_SetMeasurementMarkerReadoutPositionX, &ZOR_GetMeasurementMarkerReadoutPositionX, 27.75), {":DISPlay:WINDow5:ANNotation:MARKer:POSition:X 2.775000000000e+01"}, ":DISPlay:WINDow5:ANNotation:MARKer:POSition:X?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_READOUT_POSITION_Y, all_indices, real(&ZOR_SetMeasurementMarkerReadoutPositionY, &ZOR_GetMeasurementMarkerReadoutPositionY, 28.0), {":DISPlay:WINDow5:ANNotation:MARKer:POSition:Y 2.800000000000e+01"}, ":DISPlay:WINDow5:ANNotation:MARKer:POSition:Y?"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_ENABLED, all_indices, boolean(&ZOR_SetChannelCorrectionEnabled, &ZOR_GetChannelCorrectionEnabled, VI_TRUE), {":SENSe2:CORRection:STATe 1"}, ":SENSe2:CORRection:STATe?"),
    plain(ZOR_ATTR_CHANNEL_TRACE_COUPLING_ENABLED, all_indices, boolean(&ZOR_SetChannelTraceCouplingEnabled, &ZOR_GetChannelTraceCouplingEnabled, VI_TRUE), {":CALCulate2:TRACe3:TRANsform:COUPle:STATe 1"}, ":CALCulate2:TRACe3:TRANsform:COUPle:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_MARKER_X_POSITION, all_indices, real(&ZOR_SetMeasurementMarkerXPosition, &ZOR_GetMeasurementMarkerXPosition, 2.975e9), {":CALCulate2:TRACe3:MARKer4:X 2.975000000000e+09"}, ":CALCulate2:TRACe3:MARKer4:X?"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_THRESHOLD, all_indices, real(&ZOR_SetMeasurementBwLimitThreshold, &ZOR_GetMeasurementBwLimitThreshold, 30.0), {":CALCulate2:TRACe3:BLIMit:DB 3.000000e+01"}, ":CALCulate2:TRACe3:BLIMit:DB?"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementBwLimitDisplayEnabled, &ZOR_GetMeasurementBwLimitDisplayEnabled, VI_TRUE), {":CALCulate2:TRACe3:BLIMit:DISPlay:VALue 1"}, ":CALCulate2:TRACe3:BLIMit:DISPlay:VALue?"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_MINIMUM, all_indices, real(&ZOR_SetMeasurementBwLimitMinimum, &ZOR_GetMeasurementBwLimitMinimum, 30.5), {":CALCulate2:TRACe3:BLIMit:MINimum 3.050000e+01"}, ":CALCulate2:TRACe3:BLIMit:MINimum?"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_MAXIMUM, all_indices, real(&ZOR_SetMeasurementBwLimitMaximum, &ZOR_GetMeasurementBwLimitMaximum, 3075000000.0), {":CALCulate2:TRACe3:BLIMit:MAXimum 3.075000e+09"}, ":CALCulate2:TRACe3:BLIMit:MAXimum?"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_ENABLED, all_indices, boolean(&ZOR_SetMeasurementBwLimitEnabled, &ZOR_GetMeasurementBwLimitEnabled, VI_TRUE), {":CALCulate2:TRACe3:BLIMit:STATe 1"}, ":CALCulate2:TRACe3:BLIMit:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_RIPPLE_LIMIT_ENABLED, all_indices, boolean(&ZOR_SetMeasurementRippleLimitEnabled, &ZOR_GetMeasurementRippleLimitEnabled, VI_TRUE), {":CALCulate2:TRACe3:RLIMit:STATe 1"}, ":CALCulate2:TRACe3:RLIMit:STATe?"),
    plain(ZOR_ATTR_MEASUREMENT_RIPPLE_LIMIT_LINE_DISPLAY_ENABLED, all_indices, boolean(&ZOR_SetMeasurementRippleLimitLineDisplayEnabled, &ZOR_GetMeasurementRippleLimitLineDisplayEnabled, VI_TRUE), {":CALCulate2:TRACe3:RLIMit:DISPlay:LINE 1"}, ":CALCulate2:TRACe3:RLIMit:DISPlay:LINE?"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_VELOCITY_FACTOR, port_indices, real(&ZOR_SetChannelCorrectionVelocityFactor, &ZOR_GetChannelCorrectionVelocityFactor, 0.66), {":SENSe3:CORRection:EXTension:PORT2:VELFactor 6.600000000000e-01"}, ":SENSe3:CORRection:EXTension:PORT2:VELFactor?"),
    // Sent between quotes and answered so; the driver returns the reply as read.
    plain(ZOR_ATTR_CHANNEL_CORRECTION_CALKIT_DESCRIPTION, all_indices, text(&ZOR_SetChannelCorrectionCalkitDescription, &ZOR_GetChannelCorrectionCalkitDescription, "Open 50 Ohm"), {":SENSe2:CORRection:COLLect:CKIT:DESCription \"Open 50 Ohm\""}, ":SENSe2:CORRection:COLLect:CKIT:DESCription?")
        .reads(R"("Open 50 Ohm")"),
    // Sent between quotes and answered so; the driver returns the reply as read.
    plain(ZOR_ATTR_CHANNEL_CORRECTION_CALKIT_NAME, all_indices, text(&ZOR_SetChannelCorrectionCalkitName, &ZOR_GetChannelCorrectionCalkitName, "Kit1"), {":SENSe2:CORRection:COLLect:CKIT:NAME \"Kit1\""}, ":SENSe2:CORRection:COLLect:CKIT:NAME?")
        .reads(R"("Kit1")"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_CALKIT_TRL_REFERENCE_IMPEDANCE, all_indices, int32(&ZOR_SetChannelCorrectionCalkitTrlReferenceImpedance, &ZOR_GetChannelCorrectionCalkitTrlReferenceImpedance, 1), {":SENSe2:CORRection:COLLect:CKIT:TRLoption:IMPedance LINE"}, ":SENSe2:CORRection:COLLect:CKIT:TRLoption:IMPedance?"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_CALKIT_TRL_REFERENCE_PLANE, all_indices, int32(&ZOR_SetChannelCorrectionCalkitTrlReferencePlane, &ZOR_GetChannelCorrectionCalkitTrlReferencePlane, 1), {":SENSe2:CORRection:COLLect:CKIT:TRLoption:RPLane REFLect"}, ":SENSe2:CORRection:COLLect:CKIT:TRLoption:RPLane?"),
    plain(ZOR_ATTR_CHANNEL_CORRECTION_PREFERENCE_ECAL_ORIENTATION_ENABLED, all_indices, boolean(&ZOR_SetChannelCorrectionPreferenceEcalOrientationEnabled, &ZOR_GetChannelCorrectionPreferenceEcalOrientationEnabled, VI_FALSE), {":SENSe2:CORRection:COLLect:ECAL:ORIentation 0"}, ":SENSe2:CORRection:COLLect:ECAL:ORIentation?"),
    plain(ZOR_ATTR_SOURCE_PORT_POWER_CORRECTION_MAX_ACQUISITION_COUNT, port_indices, int32(&ZOR_SetSourcePortPowerCorrectionMaxAcquisitionCount, &ZOR_GetSourcePortPowerCorrectionMaxAcquisitionCount, 38), {":SOURce3:POWer:PORT2:CORRection:COLLect:AVERage 38"}, ":SOURce3:POWer:PORT2:CORRection:COLLect:AVERage?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_MAGNITUDE_OFFSET, all_indices, real(&ZOR_SetMeasurementTraceMagnitudeOffset, &ZOR_GetMeasurementTraceMagnitudeOffset, 34.0), {":CALCulate2:MEASure3:OFFSet:MAGNitude 3.400000000000e+01"}, ":CALCulate2:MEASure3:OFFSet:MAGNitude?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_PHASE_OFFSET, all_indices, real(&ZOR_SetMeasurementTracePhaseOffset, &ZOR_GetMeasurementTracePhaseOffset, -34.25), {":CALCulate2:TRACe3:CORRection:OFFSet:PHASe -3.425000000000e+01"}, ":CALCulate2:TRACe3:CORRection:OFFSet:PHASe?"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_SLOPE_OFFSET, all_indices, real(&ZOR_SetMeasurementTraceSlopeOffset, &ZOR_GetMeasurementTraceSlopeOffset, 34.5), {":CALCulate2:MEASure3:OFFSet:MAGNitude:SLOPe 3.450000000000e+01"}, ":CALCulate2:MEASure3:OFFSet:MAGNitude:SLOPe?"),
    plain(ZOR_ATTR_SYSTEM_ACTIVE_MEASUREMENT_CLASS, all_indices, generic_text("SPAR"), {":CALCulate2:INSTrument SPAR"}, ":CALCulate2:INSTrument?"),
    plain(ZOR_ATTR_MEASUREMENT_DISPLAY_FORMAT, all_indices, int32(&ZOR_SetMeasurementDisplayFormat, &ZOR_GetMeasurementDisplayFormat, 11), {":CALCulate2:TRACe3:FORMat SADMittance"}, ":CALCulate2:TRACe3:FORMat?"),
    plain(ZOR_ATTR_SWEEP_TYPE, all_indices, int32(&ZOR_ChannelActiveParametersSweepSetType, &ZOR_ChannelActiveParametersSweepQueryType, 4), {":SENSe2:SWEep:TYPE SEGMent"}, ":SENSe2:SWEep:TYPE?"),
    plain(ZOR_ATTR_MEASUREMENT_PARAMETER, all_indices, text(&ZOR_MeasurementSetParameter, &ZOR_MeasurementGetParameter, "S21"), {":CALCulate2:PARameter3:DEFine S21"}, ":CALCulate2:PARameter3:DEFine?"),
    plain(ZOR_ATTR_MEASUREMENT_BW_LIMIT_DISPLAY_MARKER_ENABLED, all_indices, boolean(&ZOR_SetMeasurementBwLimitDisplayMarkerEnabled, &ZOR_GetMeasurementBwLimitDisplayMarkerEnabled, VI_TRUE), {":CALCulate2:TRACe3:BLIMit:DISPlay:MARKer 1"}, ":CALCulate2:TRACe3:BLIMit:DISPlay:MARKer?"),
    plain(ZOR_ATTR_MEASUREMENT_RIPPLE_LIMIT_TESTING_FAIL_SOUND_ENABLED, all_indices, boolean(&ZOR_SetMeasurementRippleLimitTestingFailSoundEnabled, &ZOR_GetMeasurementRippleLimitTestingFailSoundEnabled, VI_TRUE), {":CALCulate2:MEASure3:RLIMit:SOUNd 1"}, ":CALCulate2:MEASure3:RLIMit:SOUNd?"),
    // Attributes with their own algorithms.
    {ZOR_ATTR_INSTRUMENT_FIRMWARE_REVISION, all_indices, generic_text_read_only(), {}, {"*idn?"}, identity_field(3)},
    {ZOR_ATTR_SPECIFIC_DRIVER_REVISION, all_indices, generic_text_read_only(), {}, {},
     "Driver: ZOR 1.0, Compiler: MSVC 14.00, Components: IVIEngine 19.00, VISA-Spec 5.80"},
    {ZOR_ATTR_SYSTEM_SERIAL_NUMBER, nullptr, {nullptr, text_get(&ZOR_GetSystemSerialNumber), ""}, {}, {"*idn?"},
     identity_field(2)},
    // The timeout lives in VISA: no traffic either way.
    {ZOR_ATTR_SYSTEM_IO_TIMEOUT, all_indices, generic_int32(4321), {}, {}, "4321"},
    plain(ZOR_ATTR_STATUS_SERVICE_REQUEST_ENABLE_REGISTER, nullptr,
          int32(&ZOR_SetStatusServiceRequestEnableRegister, &ZOR_GetStatusServiceRequestEnableRegister, 32), {"*SRE 32"},
          "*SRE?"),
    plain(ZOR_ATTR_STATUS_STANDARD_EVENT_ENABLE_REGISTER, nullptr,
          int32(&ZOR_SetStatusStandardEventEnableRegister, &ZOR_GetStatusStandardEventEnableRegister, 60), {"*ESE 60"},
          "*ESE?"),
    // Counts of the default layout with window 5 shown (see arrange_layout):
    // channels 1 and 2, windows 1, 2 and 5, traces 1 to 4.
    {ZOR_ATTR_CHANNEL_COUNT, all_indices, generic_int32_read_only(), {}, {":DISPlay:CHANnel:LIST?"}, "2"},
    {ZOR_ATTR_DISPLAY_WINDOW_COUNT, all_indices, generic_int32_read_only(), {}, {":DISPlay:WINDow:LIST?"}, "3"},
    {ZOR_ATTR_TRACE_COUNT, all_indices, generic_int32_read_only(), {}, {":DISPlay:TRACe:LIST?"}, "4"},
    {ZOR_ATTR_DISPLAY_WINDOW_SIZE, all_indices, int32(&ZOR_SetDisplayWindowSize, &ZOR_GetDisplayWindowSize, 0),
     {":DISPlay:WINDow5:ACTivate", ":DISPlay:MAXimize 1"}, {":DISPlay:WINDow5:ACTivate", ":DISPlay:MAXimize?"}, "0"},
    plain(ZOR_ATTR_DISPLAY_WINDOW_TITLE_STRING, all_indices,
          text(&ZOR_SetDisplayWindowTitleString, &ZOR_GetDisplayWindowTitleString, "Gain"),
          {":DISPlay:WINDow5:TITLe:DATA \"Gain\""}, ":DISPlay:WINDow5:TITLe:DATA?"),
    // Titles go out as SCPI strings; the quotes of one read back are removed.
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_TITLE_STRING, all_indices,
          text(&ZOR_SetDisplayWindowTraceTitleString, &ZOR_GetDisplayWindowTraceTitleString, "\"T1\""),
          {":DISPlay:TRACe3:TITLe:DATA \"\"\"T1\"\"\""}, ":DISPlay:TRACe3:TITLe:DATA?")
        .reads("T1"),
    plain(ZOR_ATTR_MEASUREMENT_TRACE_TITLE_STRING, all_indices,
          text(&ZOR_SetMeasurementTraceTitleString, &ZOR_GetMeasurementTraceTitleString, "T2"),
          {":DISPlay:TRACe3:TITLe:DATA \"T2\""}, ":DISPlay:TRACe3:TITLe:DATA?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_MEMORY_TRACE_ENABLED, all_indices,
          boolean(&ZOR_SetDisplayWindowTraceMemoryTraceEnabled, &ZOR_GetDisplayWindowTraceMemoryTraceEnabled, VI_TRUE),
          {":CALCulate2:TRACe3:MATH:MEMorize", ":DISPlay:WINDow2:TRACe3:MEMory 1"}, ":DISPlay:WINDow2:TRACe3:MEMory?"),
    // Shown first, so that switching it off is a change.
    plain(ZOR_ATTR_MEASUREMENT_TRACE_MEMORY_TRACE_ENABLED, all_indices,
          boolean(&ZOR_SetMeasurementTraceMemoryTraceEnabled, &ZOR_GetMeasurementTraceMemoryTraceEnabled, VI_FALSE),
          {":DISPlay:WINDow2:TRACe3:MEMory 0"}, ":DISPlay:WINDow2:TRACe3:MEMory?")
        .after({":DISPlay:WINDow2:TRACe3:MEMory 1"}),
    plain(ZOR_ATTR_DISPLAY_WINDOW_TRACE_SCALE_COUPLING_ENABLED, all_indices,
          boolean(&ZOR_SetDisplayWindowTraceScaleCouplingEnabled, &ZOR_GetDisplayWindowTraceScaleCouplingEnabled,
                  VI_TRUE),
          {"DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod WINDow"}, "DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod?"),
    // A step stimulus is read through the low-pass type: two queries.
    {ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_MODE, all_indices,
     int32(&ZOR_SetMeasurementTimeDomainTransformMode, &ZOR_GetMeasurementTimeDomainTransformMode, 1),
     {":CALCulate2:TRACe3:TRANsform:TIME:STIMulus STEP"},
     {":CALCulate2:TRACe3:TRANsform:TIME?", ":CALCulate2:TRACe3:TRANsform:TIME:STIMulus?"}, "1"},
    // Band-pass is a type of its own: one query.
    {ZOR_ATTR_MEASUREMENT_TIME_DOMAIN_TRANSFORM_MODE, port_indices,
     int32(&ZOR_SetMeasurementTimeDomainTransformMode, &ZOR_GetMeasurementTimeDomainTransformMode, 2),
     {":CALCulate3:TRACe4:TRANsform:TIME BPASs"}, {":CALCulate3:TRACe4:TRANsform:TIME?"}, "2"},
    plain(ZOR_ATTR_MEASUREMENT_MARKER_COUPLING_ENABLED, all_indices,
          boolean(&ZOR_SetMeasurementMarkerCouplingEnabled, &ZOR_GetMeasurementMarkerCouplingEnabled, VI_FALSE),
          {":CALCulate:MARKer:COUPle OFF"}, ":CALCulate:MARKer:COUPle?"),
    // No selector: the active channel, 2 here, is asked first.
    {ZOR_ATTR_TRIGGER_INITIATE_CONTINUOUS_ENABLED, nullptr,
     boolean(&ZOR_SetTriggerInitiateContinuousEnabled, &ZOR_GetTriggerInitiateContinuousEnabled, VI_FALSE),
     {":DISPlay:CHANnel:SELect?", ":SENSe2:SWEep:MODE HOLD"}, {":DISPlay:CHANnel:SELect?", ":SENSe2:SWEep:MODE?"}, "0",
     {":DISPlay:CHANnel2:SELect"}},
    plain(ZOR_ATTR_STATUS_READY_FOR_TRIGGER_POLARITY, nullptr,
          int32(&ZOR_SetStatusReadyForTriggerPolarity, &ZOR_GetStatusReadyForTriggerPolarity, 1),
          {":TRIGger:OUTPut:POLarity NEGative"}, ":TRIGger:OUTPut:POLarity?"),
    plain(ZOR_ATTR_DISPLAY_WINDOW_ACTIVE_WINDOW, nullptr,
          int32(&ZOR_SetDisplayWindowActiveWindow, &ZOR_GetDisplayWindowActiveWindow, 5), {":DISPlay:WINDow5:SELect"},
          ":DISPlay:WINDow:SELect?"),
    plain(ZOR_ATTR_SYSTEM_ACTIVE_MARKER, all_indices, generic_int32(7), {":CALCulate2:TRACe3:MARKer7:ACTivate"},
          ":CALCulate2:TRACe3:MARKer:ACTivate?"),
    plain(ZOR_ATTR_SYSTEM_ACTIVE_WINDOW, nullptr, int32(&ZOR_SetSystemActiveWindow, &ZOR_GetSystemActiveWindow, 2),
          {":DISPlay:WINDow2:SELect"}, ":DISPlay:WINDow:SELect?"),
    plain(ZOR_ATTR_SYSTEM_POWER_ENABLED, nullptr, boolean(&ZOR_SetSystemPowerEnabled, &ZOR_GetSystemPowerEnabled, VI_FALSE),
          {":OUTPut 0"}, ":OUTPut?"),
    plain(ZOR_ATTR_MEASUREMENT_LIMIT_SEGMENT_NO, all_indices,
          int32(&ZOR_SetMeasurementLimitSegmentNo, &ZOR_GetMeasurementLimitSegmentNo, 2),
          {":CALCulate2:TRACe3:LIMit:DATA 2,0,0,0,0,0,0,0,0,0,0"}, ":CALCulate2:TRACe3:LIMit:DATA?"),
    {ZOR_ATTR_MEASUREMENT_CONVERSION_FUNCTION, all_indices,
     int32(&ZOR_SetMeasurementConversionFunction, &ZOR_GetMeasurementConversionFunction, 8),
     {":CALCulate2:TRACe3:CONVersion:STATe 1", ":CALCulate2:TRACe3:CONVersion:FUNCtion CONJugation"},
     {":CALCulate2:TRACe3:CONVersion:FUNCtion?"}, "8"},
    // Read-only exports: set through the generic accessor.
    plain(ZOR_ATTR_SYSTEM_ACTIVE_CHANNEL, nullptr,
          {generic_int32(2).set, typed_get<ViInt32>(&ZOR_SystemGetActiveChannel), "2"}, {":DISPlay:CHANnel2:SELect"},
          ":DISPlay:CHANnel:SELect?"),
    plain(ZOR_ATTR_SYSTEM_ACTIVE_TRACE, nullptr,
          {generic_int32(4).set, typed_get<ViInt32>(&ZOR_SystemGetActiveTrace), "4"}, {":DISPlay:TRACe4:SELect"},
          ":DISPlay:TRACe:SELect?"),
    };
    return table;
}

TEST(AttributeTable, CoversEveryRegisteredAttribute) {
    const std::set<ViAttr> registered = {
#define ZOR_ATTRIBUTE(constant, id, model) id,
#include "zor_attributes.def"
#undef ZOR_ATTRIBUTE
    };
    EXPECT_EQ(registered.size(), 144u);
    std::set<ViAttr> tested;
    for (const auto& row : rows()) tested.insert(row.id);
    EXPECT_EQ(tested, registered);
}

// ---------------------------------------------------------------- transports

enum class transport_t { in_process, tcp, vna_sim_program, vna_sim_vxi11, vna_sim_hislip };

const char* transport_name(transport_t transport) {
    switch (transport) {
        case transport_t::in_process: return "InProcess";
        case transport_t::tcp: return "Tcp";
        case transport_t::vna_sim_vxi11: return "VnaSimVxi11";
        case transport_t::vna_sim_hislip: return "VnaSimHislip";
        default: return "VnaSimProgram";
    }
}
void PrintTo(transport_t transport, std::ostream* os) { *os << transport_name(transport); }

// A driver session on a fresh analyzer, reached in process (SIM resource of
// the bundled VISA library), over TCP (the server vna-sim runs, in this
// process) or to the vna-sim program itself over its raw socket, VXI-11 or
// HiSLIP, plus a
// second, raw VISA session on the same analyzer to arrange its state and read
// its error queue without going through the driver.
class AttributeRoundTrip : public testing::TestWithParam<transport_t> {
protected:
    ViSession vi = 0;
    ViSession rm = 0;
    ViSession raw = 0;
    std::string name;  // in process: the analyzer's name
    std::shared_ptr<zorsim::analyzer_t> served;  // over TCP
    std::unique_ptr<zorsim::tcp_server_t> server;
    std::unique_ptr<zor_test::vna_sim_process_t> program;  // the vna-sim program
    std::string resource;

    void SetUp() override {
        if (GetParam() == transport_t::in_process) {
            name = std::string("round_trip_") + testing::UnitTest::GetInstance()->current_test_info()->name();
            for (char& c : name)
                if (c == '/') c = '_';
            zsim_factory_reset(name.c_str());
            resource = "SIM::" + name + "::INSTR";
        } else if (GetParam() == transport_t::tcp) {
            served = std::make_shared<zorsim::analyzer_t>();
            server = std::make_unique<zorsim::tcp_server_t>(served);
            resource = "TCPIP::127.0.0.1::" + std::to_string(server->start(0)) + "::SOCKET";
        } else {
            program = std::make_unique<zor_test::vna_sim_process_t>();
            std::string error;
            const bool lan = GetParam() != transport_t::vna_sim_program;
            ASSERT_TRUE(program->start(error, lan)) << error;
            program->use_portmapper();
            resource = GetParam() == transport_t::vna_sim_vxi11    ? program->vxi11_resource()
                       : GetParam() == transport_t::vna_sim_hislip ? program->hislip_resource()
                                                                   : program->resource();
        }
        testing::internal::CaptureStdout();
        const ViStatus status = ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_FALSE, VI_FALSE, "", &vi);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(status, 0);
        ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
        ASSERT_EQ(viOpen(rm, resource.c_str(), VI_NO_LOCK, 0, &raw), VI_SUCCESS);
    }
    void TearDown() override {
        testing::internal::CaptureStdout();
        ZOR_close(vi);
        testing::internal::GetCapturedStdout();
        if (raw != 0) viClose(raw);
        if (rm != 0) viClose(rm);
        if (server) server->stop();
        if (program) program->stop();
    }

    strings log() const {
        if (served) return served->wire_log();
        if (program) return program->received();
        return zor_test::wire_log(name);
    }
    // Over TCP a write returns before the server has read it: wait (5 s at
    // most) until the log holds `count` messages. In process it already does.
    strings log_of(std::size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        strings messages = log();
        while ((served || program) && messages.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            messages = log();
        }
        return messages;
    }
    void clear_log() {
        if (served)
            served->clear_wire_log();
        else if (program)
            program->forget_received();
        else
            zsim_clear_wire_log(name.c_str());
    }
    void send(const std::string& message) {
        const std::string line = message + "\n";
        ViUInt32 count = 0;
        ASSERT_EQ(viWrite(raw, reinterpret_cast<ViConstBuf>(line.data()), static_cast<ViUInt32>(line.size()), &count),
                  VI_SUCCESS);
    }
    std::string ask(const std::string& message) {
        send(message);
        char buffer[1024];
        ViUInt32 count = 0;
        const ViStatus status = viRead(raw, reinterpret_cast<ViBuf>(buffer), sizeof buffer, &count);
        EXPECT_GE(status, VI_SUCCESS);
        std::string reply(buffer, count);
        while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
        return reply;
    }
    // Each row starts from *RST with window 5 shown too, so that the rows
    // naming Window5 address a window that exists.
    void arrange_layout(const strings& more) {
        send("*RST;*CLS");
        send(":DISPlay:WINDow5:STATe 1");
        for (const auto& m : more) send(m);
        ask("*OPC?");  // all of it done before the driver's turn
    }
};

TEST_P(AttributeRoundTrip, EveryAttributeReadsBackTheAnalyzersState) {
    for (const auto& row : rows()) {
        SCOPED_TRACE(testing::Message() << "attribute " << row.id);
        arrange_layout(row.arrange);
        if (row.access.set) {
            clear_log();
            EXPECT_EQ(row.access.set(vi, row.selector, row.id), 0);
            EXPECT_EQ(log_of(row.set_wire.size()), row.set_wire);
        }
        clear_log();
        std::string value;
        EXPECT_EQ(row.access.get(vi, row.selector, row.id, value), 0);
        EXPECT_EQ(log(), row.get_wire);
        EXPECT_EQ(value, row.expected);
        // The analyzer took every command: nothing refused, nothing unknown.
        EXPECT_EQ(ask(":SYSTem:ERRor:ALL?"), "0,\"No error\"");
    }
}

// A value the analyzer refuses leaves the state alone, and the driver reads
// back what the analyzer holds rather than what it was told.
TEST_P(AttributeRoundTrip, RefusedValueReadsBackTheOldOne) {
    arrange_layout({});
    clear_log();
    EXPECT_EQ(ZOR_SetChannelAveragingFactor(vi, "Channel2", 12), 0);
    EXPECT_EQ(ZOR_SetChannelAveragingFactor(vi, "Channel2", 5000), 0);
    log_of(2);
    EXPECT_EQ(ask(":SYSTem:ERRor?"), "-222,\"Data out of range\"");
    ViInt32 factor = 0;
    EXPECT_EQ(ZOR_GetChannelAveragingFactor(vi, "Channel2", &factor), 0);
    EXPECT_EQ(factor, 12);
}

// Without a channel in the selector, a trace selects the channel that lists
// it in the analyzer's layout.
TEST_P(AttributeRoundTrip, TraceSelectorFindsItsChannelInTheLayout) {
    arrange_layout({});
    clear_log();
    EXPECT_EQ(ZOR_SetMeasurementDisplayFormat(vi, "Trace4", ZOR_VAL_DISPLAY_FORMAT_PHASE), 0);
    EXPECT_EQ(log_of(4), (strings{":DISPlay:CHANnel:LIST?", ":DISPlay:CHANnel1:TRACe:LIST?", ":DISPlay:CHANnel2:TRACe:LIST?",
                              ":CALCulate2:TRACe4:FORMat PHASe"}));
    EXPECT_EQ(ask(":CALCulate2:TRACe4:FORMat?;:CALCulate1:TRACe4:FORMat?"), "PHAS;MLOG");
}

INSTANTIATE_TEST_SUITE_P(Transports, AttributeRoundTrip,
                         testing::Values(transport_t::in_process, transport_t::tcp, transport_t::vna_sim_program,
                                         transport_t::vna_sim_vxi11, transport_t::vna_sim_hislip),
                         [](const testing::TestParamInfo<transport_t>& info) { return transport_name(info.param); });

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
