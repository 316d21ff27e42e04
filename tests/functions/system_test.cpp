// Tests of the system and status actions against the simulated analyzer.
#include <functional>

#include "function_fixture.h"

namespace {

using zor_test::strings;

class System : public zor_test::function_test_t {
protected:
    // Sends one message through the pass-through write.
    void send_text(const std::string& text) {
        ASSERT_EQ(ZOR_viWrite(vi, text.size(), reinterpret_cast<const ViByte*>(text.c_str()), nullptr), 0);
    }
    // Sends a query and returns its reply.
    std::string ask(const std::string& query) {
        send_text(query);
        char reply[256] = {};
        EXPECT_EQ(ZOR_viRead(vi, sizeof reply, reinterpret_cast<ViByte*>(reply), nullptr), 0);
        return reply;
    }
    ViInt32 io_timeout() {
        ViInt32 timeout = 0;
        EXPECT_EQ(ZOR_GetAttributeViInt32(vi, "", ZOR_ATTR_SYSTEM_IO_TIMEOUT, &timeout), 0);
        return timeout;
    }
};

constexpr ViStatus null_pointer = static_cast<ViStatus>(0xBFFA000F);

TEST_F(System, PresetRestoresTheAnalyzersSettings) {
    send_text(":SENSe1:SWEep:POINts 401");
    EXPECT_EQ(ZOR_SystemPreset(vi), 0);
    EXPECT_EQ(ask(":SENSe1:SWEep:POINts?"), "201");
    EXPECT_EQ(log(), (strings{":SENSe1:SWEep:POINts 401", ":SYSTem:PRESet", ":SENSe1:SWEep:POINts?"}));
}

TEST_F(System, WaitForOperationCompleteRestoresTheTimeoutOnEveryPath) {
    ASSERT_EQ(ZOR_SetAttributeViInt32(vi, "", ZOR_ATTR_SYSTEM_IO_TIMEOUT, 1500), 0);
    clear_log();
    EXPECT_EQ(ZOR_SystemWaitForOperationComplete(vi, 30000), 0);
    EXPECT_EQ(io_timeout(), 1500);
    script("*OPC?", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_SystemWaitForOperationComplete(vi, 10), VI_ERROR_TMO);
    EXPECT_EQ(io_timeout(), 1500);
    EXPECT_EQ(log(), (strings{"*OPC?", "*OPC?", zor_test::error_query_after_timeout}));
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(System, ActiveMarkerGoesToTheActiveTraceOfTheActiveChannel) {
    EXPECT_EQ(ZOR_SetSystemActiveMarker(vi, 3), 0);
    EXPECT_EQ(log(), (strings{":DISPlay:TRACe:SELect?", ":DISPlay:CHANnel:SELect?",
                              ":CALCulate1:TRACe1:MARKer3:ACTivate"}));
    // Trace 3 is measured by channel 2; selecting it selects both.
    send_text(":DISPlay:TRACe3:SELect");
    clear_log();
    EXPECT_EQ(ZOR_SetSystemActiveMarker(vi, 2), 0);
    EXPECT_EQ(log(), (strings{":DISPlay:TRACe:SELect?", ":DISPlay:CHANnel:SELect?",
                              ":CALCulate2:TRACe3:MARKer2:ACTivate"}));
    EXPECT_EQ(ask(":CALCulate2:TRACe3:MARKer:ACTivate?"), "2");
}

TEST_F(System, ActiveMarkerReturnsTheWriteStatus) {
    script(":CALCulate1:TRACe1:MARKer4:ACTivate", nullptr, 0, VI_ERROR_IO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_SetSystemActiveMarker(vi, 4), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(System, CapabilitiesAgreeWithTheLimitsTheAnalyzerEnforces) {
    ViReal64 max_frequency = 0, min_frequency = 0;
    ViInt32 points = 0, channels = 0;
    EXPECT_EQ(ZOR_SystemCapabilitiesGetMaxFrequency(vi, &max_frequency), 0);
    EXPECT_EQ(ZOR_SystemCapabilitiesGetMinFrequency(vi, &min_frequency), 0);
    EXPECT_EQ(ZOR_SystemCapabilitiesGetMaxNoOfPoints(vi, &points), 0);
    EXPECT_EQ(ZOR_SystemCapabilitiesGetMaxNoOfChannels(vi, &channels), 0);
    EXPECT_EQ(log(), (strings{":SERVice:SWEep:FREQency:MAXimum?", ":SERVice:SWEep:FREQency:MINimum?",
                              ":SERVice:SWEep:POINts?", ":SERVice:CHANnel:COUNt?"}));
    EXPECT_DOUBLE_EQ(max_frequency, 9e9);
    EXPECT_DOUBLE_EQ(min_frequency, 1e4);
    EXPECT_EQ(points, 100001);
    EXPECT_EQ(channels, 16);

    // The limits reported are the ones the analyzer accepts, and no further.
    send_text(":SENSe1:SWEep:POINts " + std::to_string(points));
    send_text(":SENSe16:SWEep:POINts 3");
    EXPECT_EQ(ask(":SYSTem:ERRor?"), "0,\"No error\"");
    send_text(":SENSe1:SWEep:POINts " + std::to_string(points + 1));
    EXPECT_EQ(ask(":SYSTem:ERRor?").substr(0, 4), "-222");
    send_text(":SENSe17:SWEep:POINts 3");
    EXPECT_EQ(ask(":SYSTem:ERRor?").substr(0, 4), "-114");
}

TEST_F(System, CapabilityFaultsLeaveTheValueAlone) {
    struct fault_t {
        const char* reply;
        int read_status;
        ViStatus status;
    };
    const fault_t faults[] = {{nullptr, VI_ERROR_TMO, VI_ERROR_TMO}, {"many", 0, VI_ERROR_INV_FMT}};
    for (const auto& f : faults) {
        SCOPED_TRACE(f.reply ? f.reply : "time-out");
        script(":SERVice:SWEep:FREQency:MAXimum?", f.reply, f.read_status);
        script(":SERVice:CHANnel:COUNt?", f.reply, f.read_status);
        ViReal64 frequency = -1;
        ViInt32 channels = -1;
        EXPECT_EQ(ZOR_SystemCapabilitiesGetMaxFrequency(vi, &frequency), f.status);
        EXPECT_EQ(ZOR_SystemCapabilitiesGetMaxNoOfChannels(vi, &channels), f.status);
        EXPECT_EQ(frequency, -1);
        EXPECT_EQ(channels, -1);
    }
    EXPECT_TRUE(lockable_from_another_thread());
}

struct null_case_t {
    const char* name;
    std::function<ViStatus(ViSession)> call;
    const char* message;
};

TEST_F(System, NullOutputsAreRefusedBeforeAnythingIsSent) {
    const null_case_t cases[] = {
        {"max frequency", [](ViSession s) { return ZOR_SystemCapabilitiesGetMaxFrequency(s, nullptr); },
         "Null address for Val"},
        {"min frequency", [](ViSession s) { return ZOR_SystemCapabilitiesGetMinFrequency(s, nullptr); },
         "Null address for Val"},
        {"max points", [](ViSession s) { return ZOR_SystemCapabilitiesGetMaxNoOfPoints(s, nullptr); },
         "Null address for Val"},
        {"max channels", [](ViSession s) { return ZOR_SystemCapabilitiesGetMaxNoOfChannels(s, nullptr); },
         "Null address for Val"},
        {"status byte", [](ViSession s) { return ZOR_StatusReadStatusByteRegister(s, nullptr); },
         "Null address for AttributeValue"},
        {"operation condition", [](ViSession s) { return ZOR_StatusOperationReadConditionRegister(s, nullptr); },
         "Null address for Val"},
        {"operation event", [](ViSession s) { return ZOR_StatusOperationReadEventRegister(s, nullptr); },
         "Null address for Val"},
        {"questionable condition",
         [](ViSession s) { return ZOR_StatusQuestionableReadConditionRegister(s, nullptr); }, "Null address for Val"},
        {"questionable event", [](ViSession s) { return ZOR_StatusQuestionableReadEventRegister(s, nullptr); },
         "Null address for Val"},
        {"standard event", [](ViSession s) { return ZOR_StatusStandardEventReadEventRegister(s, nullptr); },
         "Null address for Val"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(vi), null_pointer);
        ViStatus primary = 0, secondary = 0;
        char elaboration[256] = {};
        Ivi_GetErrorInfo(vi, &primary, &secondary, elaboration);
        EXPECT_EQ(primary, null_pointer);
        EXPECT_EQ(secondary, Ivi_ParamPositionError(2));
        EXPECT_STREQ(elaboration, c.message);
    }
    EXPECT_TRUE(log().empty());
}

struct register_case_t {
    const char* command;
    ViStatus (*read)(ViSession, ViInt32*);
};

TEST_F(System, RegisterReadsSendTheirQueryAndParseTheReply) {
    const register_case_t cases[] = {
        {"*STB?", ZOR_StatusReadStatusByteRegister},
        {"STATus:OPERation:CONDition?", ZOR_StatusOperationReadConditionRegister},
        {"STATus:OPERation:EVENt?", ZOR_StatusOperationReadEventRegister},
        {"STATus:QUEStionable:CONDition?", ZOR_StatusQuestionableReadConditionRegister},
        {"STATus:QUEStionable:EVENt?", ZOR_StatusQuestionableReadEventRegister},
        {"*ESR?", ZOR_StatusStandardEventReadEventRegister},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        clear_log();
        script(c.command, "+1234");
        ViInt32 value = 0;
        EXPECT_EQ(c.read(vi, &value), 0);
        EXPECT_EQ(value, 1234);
        EXPECT_EQ(log(), (strings{c.command}));

        script(c.command, nullptr, VI_ERROR_TMO);
        value = -7;
        EXPECT_EQ(c.read(vi, &value), VI_ERROR_TMO);
        EXPECT_EQ(value, -7);
    }
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(System, StatusRegistersFollowTheAnalyzersState) {
    ViInt32 value = -1;
    EXPECT_EQ(ZOR_StatusStandardEventReadEventRegister(vi, &value), 0);
    EXPECT_EQ(value, 0);
    send_text(":NOSuch:COMMand");
    // An undefined header: the command-error bit, and the error queue in the status byte.
    EXPECT_EQ(ZOR_StatusReadStatusByteRegister(vi, &value), 0);
    EXPECT_EQ(value & 0x04, 0x04);
    EXPECT_EQ(ZOR_StatusStandardEventReadEventRegister(vi, &value), 0);
    EXPECT_EQ(value, 0x20);
    // Reading the event register clears it.
    EXPECT_EQ(ZOR_StatusStandardEventReadEventRegister(vi, &value), 0);
    EXPECT_EQ(value, 0);

    send_text(":NOSuch:COMMand");
    EXPECT_EQ(ZOR_StatusClear(vi), 0);
    EXPECT_EQ(ZOR_StatusReadStatusByteRegister(vi, &value), 0);
    EXPECT_EQ(value & 0x04, 0);
    EXPECT_EQ(ask(":SYSTem:ERRor?"), "0,\"No error\"");

    EXPECT_EQ(ZOR_StatusOperationReadConditionRegister(vi, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(ZOR_StatusQuestionableReadEventRegister(vi, &value), 0);
    EXPECT_EQ(value, 0);
}

TEST_F(System, StatusPresetClearsTheEnableRegisters) {
    send_text(":STATus:OPERation:ENABle 5");
    send_text(":STATus:QUEStionable:ENABle 9");
    EXPECT_EQ(ZOR_StatusPreset(vi), 0);
    EXPECT_EQ(ask(":STATus:OPERation:ENABle?"), "0");
    EXPECT_EQ(ask(":STATus:QUEStionable:ENABle?"), "0");
    EXPECT_EQ(log()[2], "STATus:PRESet");
}

TEST_F(System, ActionsReturnAFailedLockUnchangedAndSendNothing) {
    const std::function<ViStatus(ViSession)> calls[] = {
        [](ViSession s) { return ZOR_SystemPreset(s); },
        [](ViSession s) { return ZOR_SystemWaitForOperationComplete(s, 100); },
        [](ViSession s) { return ZOR_SetSystemActiveMarker(s, 1); },
        [](ViSession s) { return ZOR_StatusClear(s); },
        [](ViSession s) {
            ViReal64 value = 0;
            return ZOR_SystemCapabilitiesGetMinFrequency(s, &value);
        },
    };
    for (const auto& call : calls) EXPECT_EQ(call(vi + 1000), static_cast<ViStatus>(0xBFFF000E));
    EXPECT_TRUE(log().empty());
}

}  // namespace
