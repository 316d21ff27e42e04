// The analyzer's settings, each declared once with its SCPI pattern and
// the type of its value. Commands register them (with defaults, ranges and
// hooks) and everything else reads and writes them through these names, so
// the compiler checks every name and every value's kind. A choice's
// mnemonics are listed in the order of the enumeration its values take.
#pragma once

#include <simulator/analysis/search.h>
#include <simulator/physics/chain.h>
#include <simulator/physics/time_domain.h>
#include <simulator/scpi/format.h>
#include <simulator/scpi/table.h>

#include <cstdint>
#include <string>

namespace zorsim::settings {

using scpi::choice_key;
using real_t = scpi::setting_key_t<double>;
using integer_t = scpi::setting_key_t<std::int64_t>;
using boolean_t = scpi::setting_key_t<bool>;
using text_t = scpi::setting_key_t<std::string>;

// Numbered nodes: the suffix ranges of channels, traces, windows, ports and
// markers (1..9 and the reference marker 10).
constexpr int max_channels = 16;
constexpr int max_traces = 16;
constexpr int max_windows = 16;
constexpr int max_ports = 2;
constexpr int max_markers = 10;
constexpr int reference_marker = max_markers;

// The family's frequency and source power limits.
constexpr double min_frequency = 1e4;
constexpr double max_frequency = 9e9;
constexpr double min_power = -30;  // dBm
constexpr double max_power = 20;

// A choice whose values no code reads: its position in the list.
using position_t = std::size_t;

// ---------------------------------------------------------------- stimulus, per channel

inline constexpr real_t frequency_start{"[:SENSe#]:FREQuency:STARt"};
inline constexpr real_t frequency_stop{"[:SENSe#]:FREQuency:STOP"};
inline constexpr real_t frequency_step{"[:SENSe#]:FREQuency:STEP"};
inline constexpr real_t frequency_cw{"[:SENSe#]:FREQuency:CW"};
inline constexpr integer_t sweep_points{"[:SENSe#]:SWEep:POINts"};
inline constexpr auto sweep_type =
    choice_key<physics::sweep_type_t>("[:SENSe#]:SWEep:TYPE", "LINear", "LOGarithmic", "POWer", "CW", "SEGMent");
inline constexpr real_t sweep_time{"[:SENSe#]:SWEep:TIME"};
inline constexpr boolean_t sweep_time_auto{"[:SENSe#]:SWEep:TIME:AUTO"};
inline constexpr real_t sweep_delay{"[:SENSe#]:SWEep:DELay"};
enum class sweep_mode_t { hold, single, continuous };
inline constexpr auto sweep_mode = choice_key<sweep_mode_t>("[:SENSe#]:SWEep:MODE", "HOLD", "SINGle", "CONTinuous");
inline constexpr real_t source_power{":SOURce#:POWer[:LEVel]"};
inline constexpr real_t source_power_start{":SOURce#:POWer:STARt"};
inline constexpr real_t source_power_stop{":SOURce#:POWer:STOP"};
inline constexpr real_t source_power_slope{":SOURce#:POWer:SLOPe"};
inline constexpr boolean_t source_power_slope_state{":SOURce#:POWer:SLOPe:STATe"};
inline constexpr boolean_t source_port_coupling{":SOURce#:POWer:PORT:COUPle"};
inline constexpr boolean_t output_state{":OUTPut[:STATe]"};
inline constexpr boolean_t averaging{"[:SENSe#]:AVERage[:STATe]"};
inline constexpr integer_t average_count{"[:SENSe#]:AVERage:COUNt"};
enum class average_mode_t { sweep, point };
inline constexpr auto average_mode = choice_key<average_mode_t>("[:SENSe#]:AVERage:MODE", "SWEep", "POINt");
inline constexpr real_t if_bandwidth{"[:SENSe#]:BANDwidth[:RESolution]"};

// ---------------------------------------------------------------- trigger, for the analyzer

enum class trigger_source_t { internal, manual, external, bus };
inline constexpr auto trigger_source =
    choice_key<trigger_source_t>(":TRIGger[:SEQuence]:SOURce", "INTernal", "MANual", "EXTernal", "BUS");
enum class trigger_scope_t { all, active };
inline constexpr auto trigger_scope = choice_key<trigger_scope_t>(":TRIGger[:SEQuence]:SCOPe", "ALL", "ACTive");
inline constexpr auto trigger_slope =
    choice_key<position_t>(":TRIGger[:SEQuence]:EXTernal:SLOPe", "POSitive", "NEGative");
inline constexpr real_t trigger_delay{":TRIGger[:SEQuence]:EXTernal:DELay"};
inline constexpr auto trigger_output_polarity =
    choice_key<position_t>(":TRIGger:OUTPut:POLarity", "POSitive", "NEGative");

// ---------------------------------------------------------------- data transfer

// The bits of a value in a block (0: ASCII); behind :FORMat[:DATA].
inline constexpr integer_t data_bits{":FORMat[:DATA]"};
inline constexpr auto byte_order = choice_key<scpi::byte_order_t>(":FORMat:BORDer", "NORMal", "SWAPped");

// ---------------------------------------------------------------- a trace: what it measures and shows

// S11, S21, S12, S22: the ports (row, column) in measured order.
inline constexpr auto parameter =
    choice_key<position_t>(":CALCulate#:PARameter#:DEFine", "S11", "S21", "S12", "S22");
inline constexpr auto format = choice_key<physics::format_t>(
    ":CALCulate#:TRACe#:FORMat", "MLOGarithmic", "PHASe", "GDELay", "SLINear", "SLOGarithmic", "SCOMplex", "SMITh",
    "SADMittance", "PLINear", "PLOGarithmic", "POLar", "MLINear", "SWR", "REAL", "IMAGinary", "UPHase", "PPHase");
inline constexpr boolean_t conversion{":CALCulate#:TRACe#:CONVersion[:STATe]"};
inline constexpr auto conversion_function =
    choice_key<position_t>(":CALCulate#:TRACe#:CONVersion:FUNCtion", "OFF", "ZREFlection", "ZTRansmit", "ZTSHunt",
                           "YREFlection", "YTRansmit", "YTSHunt", "INVersion", "CONJugation");
inline constexpr auto math =
    choice_key<physics::math_t>(":CALCulate#:TRACe#:MATH:FUNCtion", "NORMal", "ADD", "SUBTract", "MULTiply", "DIVide");
inline constexpr real_t magnitude_offset{":CALCulate#:TRACe#:OFFSet:MAGNitude"};
inline constexpr real_t magnitude_slope{":CALCulate#:TRACe#:OFFSet:MAGNitude:SLOPe"};
inline constexpr real_t phase_offset{":CALCulate#:TRACe#:CORRection:OFFSet:PHASe"};
inline constexpr real_t electrical_delay{":CALCulate#:TRACe#:CORRection:EDELay[:TIME]"};
enum class distance_unit_t { meter, feet, inch };
inline constexpr auto delay_unit =
    choice_key<distance_unit_t>(":CALCulate#:TRACe#:CORRection:EDELay:UNIT", "METer", "FEET", "INCH");
inline constexpr boolean_t smoothing{":CALCulate#:TRACe#:SMOothing[:STATe]"};
inline constexpr real_t smoothing_aperture{":CALCulate#:TRACe#:SMOothing:APERture"};  // % of the sweep
inline constexpr integer_t smoothing_points{":CALCulate#:TRACe#:SMOothing:POINts"};
inline constexpr boolean_t statistics_shown{":CALCulate#:TRACe#:MSTatistics[:STATe]"};
enum class statistic_t { peak_to_peak, deviation, mean };
inline constexpr auto statistics_type =
    choice_key<statistic_t>(":CALCulate#:TRACe#:FUNCtion:TYPE", "PTPeak", "STDEV", "MEAN");
inline constexpr real_t statistics_start{":CALCulate#:TRACe#:FUNCtion:USER:RANGe:STARt"};
inline constexpr real_t statistics_stop{":CALCulate#:TRACe#:FUNCtion:USER:RANGe:STOP"};
inline constexpr boolean_t equation_state{":CALCulate#:TRACe#:EQUation[:STATe]"};
inline constexpr text_t equation_text{":CALCulate#:TRACe#:EQUation:TEXT"};
inline constexpr auto measurement_class = choice_key<position_t>(":CALCulate#:INSTrument", "SPARameter");

// ---------------------------------------------------------------- correction, per channel (and port)

inline constexpr boolean_t correction{"[:SENSe#]:CORRection[:STATe]"};
inline constexpr boolean_t port_extensions{"[:SENSe#]:CORRection:EXTension[:STATe]"};
inline constexpr real_t port_extension{"[:SENSe#]:CORRection:EXTension:PORT#:TIME"};
inline constexpr real_t velocity_factor{"[:SENSe#]:CORRection:EXTension:PORT#:VELFactor"};
inline constexpr boolean_t power_correction{":SOURce#:POWer:PORT#:CORRection[:STATe]"};
inline constexpr integer_t power_correction_averages{":SOURce#:POWer:PORT#:CORRection:COLLect:AVERage"};
inline constexpr boolean_t ecal_orientation{"[:SENSe#]:CORRection:COLLect:ECAL:ORIentation[:STATe]"};

// ---------------------------------------------------------------- markers, per trace and marker

inline constexpr boolean_t marker_state{":CALCulate#:TRACe#:MARKer#[:STATe]"};
inline constexpr real_t marker_x{":CALCulate#:TRACe#:MARKer#:X"};
inline constexpr boolean_t marker_delta{":CALCulate#:TRACe#:MARKer#:DELTa"};
inline constexpr boolean_t marker_discrete{":CALCulate#:TRACe#:MARKer#:DISCrete"};
inline constexpr auto marker_type = choice_key<position_t>(":CALCulate#:TRACe#:MARKer#:TYPE", "NORMal", "FIXed");
inline constexpr boolean_t reference_mode{":CALCulate#:TRACe#:MARKer:REFerence[:STATe]"};
inline constexpr auto marker_coupling = choice_key<position_t>(":CALCulate:MARKer:COUPle", "OFF", "CHANnel", "ALL");
inline constexpr auto search_function = choice_key<analysis::search_t>(
    ":CALCulate#:TRACe#:MARKer#:FUNCtion:TYPE", "OFF", "MINimum", "MAXimum", "RPEak", "LPEak", "NPEak", "TARget",
    "LTARget", "RTARget", "PEAK");
inline constexpr boolean_t search_tracking{":CALCulate#:TRACe#:MARKer#:FUNCtion:TRACking"};
inline constexpr real_t search_excursion{":CALCulate#:TRACe#:MARKer#:FUNCtion:PEXCursion"};
inline constexpr real_t search_threshold{":CALCulate#:TRACe#:MARKer#:FUNCtion:PEAK:THReshold"};
inline constexpr auto search_polarity = choice_key<analysis::polarity_t>(
    ":CALCulate#:TRACe#:MARKer#:FUNCtion:PPOLarity", "POSitive", "NEGative", "BOTH");
inline constexpr auto search_transition = choice_key<analysis::polarity_t>(
    ":CALCulate#:TRACe#:MARKer#:FUNCtion:TTRansition", "POSitive", "NEGative", "BOTH");
inline constexpr real_t search_target{":CALCulate#:TRACe#:MARKer#:FUNCtion:TARGet"};
// The multi-search acts on all markers of a trace: no marker number.
inline constexpr auto multi_function = choice_key<analysis::multi_search_t>(
    ":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TYPE", "OFF", "PEAK", "TARGet");
inline constexpr real_t multi_excursion{":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:PEXCursion"};
inline constexpr real_t multi_threshold{":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:THReshold"};
inline constexpr auto multi_polarity = choice_key<analysis::polarity_t>(
    ":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:PPOLarity", "POSitive", "NEGative", "BOTH");
inline constexpr auto multi_transition = choice_key<analysis::polarity_t>(
    ":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TTRansition", "POSitive", "NEGative", "BOTH");
inline constexpr real_t multi_target{":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TARGet"};
// The bandwidth and notch searches: shown or not, the level relative to
// the reference (dB, negative below it) and the reference itself.
enum class band_reference_t { peak, marker };
inline constexpr boolean_t bandwidth_shown{":CALCulate#:TRACe#:MARKer#:BWIDth[:STATe]"};
inline constexpr real_t bandwidth_threshold{":CALCulate#:TRACe#:MARKer#:BWIDth:THReshold"};
inline constexpr auto bandwidth_reference =
    choice_key<band_reference_t>(":CALCulate#:TRACe#:MARKer#:BWIDth:REFerence", "PEAK", "MARKer");
inline constexpr boolean_t notch_shown{":CALCulate#:TRACe#:MARKer#:NOTCh[:STATe]"};
inline constexpr real_t notch_threshold{":CALCulate#:TRACe#:MARKer#:NOTCh:THReshold"};
inline constexpr auto notch_reference =
    choice_key<band_reference_t>(":CALCulate#:TRACe#:MARKer#:NOTCh:REFerence", "PEAK", "MARKer");

// ---------------------------------------------------------------- limit, ripple and bandwidth tests, per trace

inline constexpr boolean_t limit_test{":CALCulate#:TRACe#:LIMit[:STATe]"};
inline constexpr boolean_t limit_lines{":CALCulate#:TRACe#:LIMit:DISPlay[:STATe]"};
inline constexpr boolean_t limit_sound{":CALCulate#:TRACe#:LIMit:SOUNd[:STATe]"};
inline constexpr boolean_t ripple_test{":CALCulate#:TRACe#:RLIMit[:STATe]"};
inline constexpr boolean_t ripple_lines{":CALCulate#:TRACe#:RLIMit:DISPlay:LINE"};
inline constexpr boolean_t ripple_sound{":CALCulate#:TRACe#:RLIMit:SOUNd[:STATe]"};
inline constexpr boolean_t bandwidth_test{":CALCulate#:TRACe#:BLIMit[:STATe]"};
inline constexpr boolean_t bandwidth_test_value{":CALCulate#:TRACe#:BLIMit:DISPlay:VALue"};
inline constexpr boolean_t bandwidth_test_marker{":CALCulate#:TRACe#:BLIMit:DISPlay:MARKer"};
inline constexpr real_t bandwidth_test_db{":CALCulate#:TRACe#:BLIMit:DB"};  // below the peak, positive
inline constexpr real_t bandwidth_test_minimum{":CALCulate#:TRACe#:BLIMit:MINimum"};
inline constexpr real_t bandwidth_test_maximum{":CALCulate#:TRACe#:BLIMit:MAXimum"};

// ---------------------------------------------------------------- time domain, per trace

inline constexpr boolean_t transform{":CALCulate#:TRACe#:TRANsform:TIME:STATe"};
enum class transform_type_t { low_pass, band_pass };
inline constexpr auto transform_type =
    choice_key<transform_type_t>(":CALCulate#:TRACe#:TRANsform:TIME[:TYPE]", "LPASs", "BPASs");
enum class transform_stimulus_t { impulse, step };
inline constexpr auto transform_stimulus =
    choice_key<transform_stimulus_t>(":CALCulate#:TRACe#:TRANsform:TIME:STIMulus", "IMPulse", "STEP");
inline constexpr real_t transform_start{":CALCulate#:TRACe#:TRANsform:TIME:STARt"};
inline constexpr real_t transform_stop{":CALCulate#:TRACe#:TRANsform:TIME:STOP"};
inline constexpr real_t kaiser_beta{":CALCulate#:TRACe#:TRANsform:TIME:KBESsel"};
inline constexpr boolean_t transform_coupling{":CALCulate#:TRACe#:TRANsform:COUPle[:STATe]"};
inline constexpr boolean_t gate{":CALCulate#:TRACe#:FILTer[:GATE]:TIME:STATe"};
inline constexpr real_t gate_start{":CALCulate#:TRACe#:FILTer[:GATE]:TIME:STARt"};
inline constexpr real_t gate_stop{":CALCulate#:TRACe#:FILTer[:GATE]:TIME:STOP"};
enum class gate_shape_t { maximum, wide, normal, minimum };
inline constexpr auto gate_shape =
    choice_key<gate_shape_t>(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:SHAPE", "MAXimum", "WIDE", "NORMal", "MINimum");
inline constexpr auto gate_type =
    choice_key<physics::gate_type_t>(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:TYPE", "BPASs", "NOTCh");

// ---------------------------------------------------------------- display

inline constexpr boolean_t maximized{":DISPlay:MAXimize"};
inline constexpr boolean_t window_title_shown{":DISPlay:WINDow#:TITLe[:STATe]"};
inline constexpr text_t window_title{":DISPlay:WINDow#:TITLe:DATA"};
inline constexpr integer_t divisions{":DISPlay:WINDow#:Y[:SCALe]:DIVisions"};
inline constexpr real_t marker_annotation_x{":DISPlay:WINDow#:ANNotation:MARKer:POSition:X"};  // % of the width
inline constexpr real_t marker_annotation_y{":DISPlay:WINDow#:ANNotation:MARKer:POSition:Y"};  // % of the height
// Per window and trace.
inline constexpr real_t per_division{":DISPlay:WINDow#:TRACe#:Y[:SCALe]:PDIVision"};
inline constexpr real_t reference_level{":DISPlay:WINDow#:TRACe#:Y[:SCALe]:RLEVel"};
inline constexpr real_t reference_position{":DISPlay:WINDow#:TRACe#:Y[:SCALe]:RPOSition"};
inline constexpr boolean_t trace_shown{":DISPlay:WINDow#:TRACe#:STATe"};
inline constexpr boolean_t memory_shown{":DISPlay:WINDow#:TRACe#:MEMory[:STATe]"};
inline constexpr auto scale_coupling =
    choice_key<position_t>(":DISPlay:WINDow#:TRACe#:Y[:SCALe]:COUPle:METHod", "OFF", "WINDow", "ALL");
inline constexpr boolean_t trace_title_shown{":DISPlay:TRACe#:TITLe[:STATe]"};
inline constexpr text_t trace_title{":DISPlay:TRACe#:TITLe:DATA"};

}  // namespace zorsim::settings
