// Attribute models of error correction and calibration kits. Kit settings
// act on the selected kit of the channel the selector names (K); an empty
// selector leaves the channel out, as the analyzer's first one.
#pragma once

#include "adapter/models_common.h"

// Correction on/off: two attributes, one pair of commands.
ZOR_SCPI_MODEL(channel_correction_enabled_t, bool, ":SENSe%d:CORRection:STATe %d", ":SENSe%d:CORRection:STATe?", "C",
               nullptr)
ZOR_SAME_MODEL(correction_enable_t, channel_correction_enabled_t)
ZOR_SCPI_MODEL(correction_velocity_factor_t, double, ":SENSe%d:CORRection:EXTension:PORT%d:VELFactor %.12e",
               ":SENSe%d:CORRection:EXTension:PORT%d:VELFactor?", "CP", nullptr)
ZOR_SCPI_MODEL(source_power_correction_enabled_t, bool, ":SOURce%d:POWer:PORT%d:CORRection %d",
               ":SOURce%d:POWer:PORT%d:CORRection?", "CP", nullptr)
ZOR_SCPI_MODEL(source_port_power_correction_max_acquisition_count_t, long_t,
               ":SOURce%d:POWer:PORT%d:CORRection:COLLect:AVERage %d",
               ":SOURce%d:POWer:PORT%d:CORRection:COLLect:AVERage?", "CP", nullptr)
// Name and description go out as SCPI strings; replies are returned as read.
ZOR_SCPI_MODEL_ON(quoted_text_model_t, correction_calkit_name_t, std::string,
                  ":SENSe%d:CORRection:COLLect:CKIT:NAME %s", ":SENSe%d:CORRection:COLLect:CKIT:NAME?", "K", nullptr)
ZOR_SCPI_MODEL_ON(quoted_text_model_t, correction_calkit_desc_t, std::string,
                  ":SENSe%d:CORRection:COLLect:CKIT:DESCription %s", ":SENSe%d:CORRection:COLLect:CKIT:DESCription?",
                  "K", nullptr)
ZOR_SCPI_MODEL(correction_calkit_trl_reference_impedance_t, std::string,
               ":SENSe%d:CORRection:COLLect:CKIT:TRLoption:IMPedance %s",
               ":SENSe%d:CORRection:COLLect:CKIT:TRLoption:IMPedance?", "K", &trl_impedance_keywords)
ZOR_SCPI_MODEL(correction_calkit_trl_reference_plane_t, std::string,
               ":SENSe%d:CORRection:COLLect:CKIT:TRLoption:RPLane %s",
               ":SENSe%d:CORRection:COLLect:CKIT:TRLoption:RPLane?", "K", &trl_plane_keywords)
ZOR_SCPI_MODEL(correction_preference_ecal_orientation_enabled_t, bool,
               ":SENSe%d:CORRection:COLLect:ECAL:ORIentation %d", ":SENSe%d:CORRection:COLLect:ECAL:ORIentation?", "K",
               nullptr)
