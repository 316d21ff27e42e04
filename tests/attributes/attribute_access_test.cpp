// The generic accessors around the models: keyword translation, type checks,
// unsupported slots and IDs, text cuts, selector records and the session
// lock.
#include <functional>

#include "attribute_fixture.h"
#include "visa.h"

namespace {

using zor_test::strings;

class AttributeAccess : public zor_test::attribute_test_t {
protected:
    std::string captured;

    template <typename Call>
    ViStatus quietly(Call&& call) {
        testing::internal::CaptureStdout();
        const ViStatus status = call();
        captured = testing::internal::GetCapturedStdout();
        return status;
    }
};

TEST_F(AttributeAccess, KeywordRepliesMapByLeadingPart) {
    const struct {
        const char* reply;
        ViStatus status;
        ViInt32 value;
    } cases[] = {
        {"SEGM", 0, 4},
        {"LOG", 0, 1},
        {"LIN", 0, 0},
        {"LOGarithmic", 0, 1},
        {"", 0, 0},  // an empty reply is a leading part of every keyword
        {"log", ZOR_ERROR_REPLY_NOT_IN_MAP, -1},  // case counts
        {"LOGX", ZOR_ERROR_REPLY_NOT_IN_MAP, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        script(":SENSe2:SWEep:TYPE?", c.reply);
        ViInt32 value = -1;
        EXPECT_EQ(ZOR_ChannelStandardStimulusSweepQueryType(vi, "Channel2", &value), c.status);
        EXPECT_EQ(value, c.value);
    }
}

TEST_F(AttributeAccess, KeywordSetOutsideTheMapSendsNothing) {
    EXPECT_EQ(ZOR_SetTriggerSource(vi, 3), 0);
    EXPECT_EQ(log(), strings{":TRIGger:SEQuence:SOURce BUS"});
    clear_log();
    EXPECT_EQ(ZOR_SetTriggerSource(vi, 4), ZOR_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(ZOR_SetMeasurementDisplayFormat(vi, "Channel1:Trace1", -1), ZOR_ERROR_NOT_SUPPORTED);
    EXPECT_TRUE(log().empty());
}

TEST_F(AttributeAccess, WindowSizeStates) {
    const struct {
        ViInt32 value;
        ViStatus status;
        strings wire;
    } sets[] = {
        {ZOR_VAL_WINDOW_SIZE_MAXIMIZED, 0, {":DISPlay:WINDow2:ACTivate", ":DISPlay:MAXimize 1"}},
        {ZOR_VAL_WINDOW_SIZE_NORMAL, 0, {":DISPlay:WINDow2:ACTivate", ":DISPlay:MAXimize 0"}},
        {1, ZOR_ERROR_NOT_SUPPORTED, {}},
    };
    for (const auto& c : sets) {
        SCOPED_TRACE(c.value);
        clear_log();
        EXPECT_EQ(ZOR_SetDisplayWindowSize(vi, "Window2", c.value), c.status);
        EXPECT_EQ(log(), c.wire);
    }
    const struct {
        const char* reply;
        ViInt32 value;
    } gets[] = {{"1", ZOR_VAL_WINDOW_SIZE_MAXIMIZED}, {"0", ZOR_VAL_WINDOW_SIZE_NORMAL}, {"2", ZOR_VAL_WINDOW_SIZE_NORMAL}};
    for (const auto& c : gets) {
        SCOPED_TRACE(c.reply);
        script(":DISPlay:MAXimize?", c.reply);
        ViInt32 value = -1;
        EXPECT_EQ(ZOR_GetDisplayWindowSize(vi, "Window2", &value), 0);
        EXPECT_EQ(value, c.value);
    }
}

TEST_F(AttributeAccess, TypeMismatchesAreRefusedWithoutTraffic) {
    const std::function<ViStatus()> calls[] = {
        [&] { return ZOR_SetAttributeViReal64(vi, "Channel1", ZOR_ATTR_AVERAGING_ENABLED, 1.0); },
        [&] { return ZOR_SetAttributeViBoolean(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, VI_TRUE); },
        [&] { return ZOR_SetAttributeViInt32(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, 1); },
        [&] { return ZOR_SetAttributeViInt32(vi, "Channel1:Trace1", ZOR_ATTR_MEASUREMENT_PARAMETER, 1); },
        [&] { return ZOR_SetAttributeViString(vi, "Channel1", ZOR_ATTR_SWEEP_NUMBER_OF_POINTS, "3"); },
        [&] { return ZOR_SetAttributeViSession(vi, "Channel1", ZOR_ATTR_SWEEP_NUMBER_OF_POINTS, 3); },
        [&] {
            ViReal64 value = 0;
            return ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_SWEEP_NUMBER_OF_POINTS, &value);
        },
        [&] {
            ViInt32 value = 0;
            return ZOR_GetAttributeViInt32(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &value);
        },
        [&] {
            char text[16];
            return ZOR_GetAttributeViString(vi, "Channel1", ZOR_ATTR_AVERAGING_ENABLED, sizeof text, text);
        },
    };
    int index = 0;
    for (const auto& call : calls) {
        SCOPED_TRACE(index++);
        EXPECT_EQ(call(), ZOR_ERROR_NOT_SUPPORTED);
        EXPECT_TRUE(log().empty());
        EXPECT_TRUE(lockable_from_another_thread());
    }
}

TEST_F(AttributeAccess, ReadOnlyAttributesRefuseTheSetter) {
    const std::string string_type = "class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> >";
    const struct {
        std::function<ViStatus(ViSession)> call;
        std::string signature;
    } cases[] = {
        {[](ViSession s) { return ZOR_SetAttributeViInt32(s, "", ZOR_ATTR_CHANNEL_COUNT, 3); }, "<long>::setter(const long &)"},
        {[](ViSession s) { return ZOR_SetAttributeViInt32(s, "", ZOR_ATTR_TRACE_COUNT, 3); }, "<long>::setter(const long &)"},
        {[](ViSession s) { return ZOR_SetAttributeViString(s, "", ZOR_ATTR_SYSTEM_SERIAL_NUMBER, "x"); },
         "<" + string_type + ">::setter(const " + string_type + " &)"},
        {[](ViSession s) { return ZOR_SetAttributeViString(s, "", ZOR_ATTR_SPECIFIC_DRIVER_REVISION, "x"); },
         "<" + string_type + ">::setter(const " + string_type + " &)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signature);
        EXPECT_EQ(quietly([&] { return c.call(vi); }), ZOR_ERROR_NOT_SUPPORTED);
#if defined(_WIN32)
        const std::string returns = "class qvdriver::status_t __cdecl ";
#else
        const std::string returns = "qvdriver::status_t ";
#endif
        EXPECT_EQ(captured, "[ERROR] func: '" + returns + "zor_adapter::model_base_t" + c.signature +
                                "' is NOT SUPPORTED\n");
        EXPECT_TRUE(log().empty());
    }
}

TEST_F(AttributeAccess, UnknownIdIsRefusedAndUnlocks) {
    ViInt32 value = 0;
    EXPECT_EQ(quietly([&] { return ZOR_GetAttributeViInt32(vi, "", 1150001, &value); }),
              ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED);
    EXPECT_EQ(captured, "[Error] new_attr_model_inst attributeID(1) is not supported!\n");
    EXPECT_TRUE(log().empty());
    EXPECT_TRUE(lockable_from_another_thread());
    // Below the specific base the offset wraps around in 32 bits.
    EXPECT_EQ(quietly([&] { return ZOR_SetAttributeViInt32(vi, "", 1050500, 1); }), ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED);
    EXPECT_EQ(captured, "[Error] new_attr_model_inst attributeID(4294867796) is not supported!\n");
}

TEST_F(AttributeAccess, TextIsCutToTheBuffer) {
    char text[8];
    script(":CALCulate1:PARameter2:DEFine?", "ABCDEFGHIJ");
    EXPECT_EQ(ZOR_GetAttributeViString(vi, "Channel1:Trace2", ZOR_ATTR_MEASUREMENT_PARAMETER, sizeof text, text),
              ZOR_ERROR_TEXT_CUT);
    EXPECT_EQ(std::string(text, sizeof text), std::string("ABCDEFG\0", 8));
    script(":CALCulate1:PARameter2:DEFine?", "ABCDEFG");
    EXPECT_EQ(ZOR_MeasurementGetParameter(vi, "Channel1:Trace2", sizeof text, text), 0);
    EXPECT_STREQ(text, "ABCDEFG");
}

TEST_F(AttributeAccess, ThreeRecordsMakeThreeExchangesInOrder) {
    EXPECT_EQ(ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1-Channel3", 1.0e9), 0);
    EXPECT_EQ(log(), (strings{":SENSe1:FREQuency:STARt 1.000000000000e+09", ":SENSe2:FREQuency:STARt 1.000000000000e+09",
                              ":SENSe3:FREQuency:STARt 1.000000000000e+09"}));
    clear_log();
    // A failing record stops the rest.
    script(":SENSe2:FREQuency:STARt 2.000000000000e+09", nullptr, 0, VI_ERROR_TMO);
    EXPECT_EQ(quietly([&] { return ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1,Channel2,Channel3", 2.0e9); }),
              VI_ERROR_TMO);
    EXPECT_EQ(log(), (strings{":SENSe1:FREQuency:STARt 2.000000000000e+09", ":SENSe2:FREQuency:STARt 2.000000000000e+09",
                              zor_test::error_query_after_timeout}));
    EXPECT_TRUE(lockable_from_another_thread());
    // Getters hand back the last record's value.
    clear_log();
    script(":SENSe1:SWEep:POINts?", "101");
    script(":SENSe2:SWEep:POINts?", "201");
    ViInt32 points = 0;
    EXPECT_EQ(ZOR_GetChannelStandardStimulusSweepNumberOfPoints(vi, "Channel1,Channel2", &points), 0);
    EXPECT_EQ(points, 201);
    EXPECT_EQ(log(), (strings{":SENSe1:SWEep:POINts?", ":SENSe2:SWEep:POINts?"}));
}

TEST_F(AttributeAccess, EveryFailureReleasesTheLock) {
    const struct {
        const char* what;
        std::function<ViStatus(ViSession)> call;
        ViStatus status;
    } cases[] = {
        {"null value", [](ViSession s) { return ZOR_GetAttributeViInt32(s, "", ZOR_ATTR_CHANNEL_COUNT, nullptr); },
         ZOR_ERROR_NULL_POINTER},
        {"unknown id", [](ViSession s) { return ZOR_SetAttributeViReal64(s, "", 1153999, 1.0); },
         ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED},
        {"type", [](ViSession s) { return ZOR_SetAttributeViReal64(s, "Channel1", ZOR_ATTR_TRIGGER_SOURCE, 1.0); },
         ZOR_ERROR_NOT_SUPPORTED},
        {"read only", [](ViSession s) { return ZOR_SetAttributeViInt32(s, "", ZOR_ATTR_DISPLAY_WINDOW_COUNT, 1); },
         ZOR_ERROR_NOT_SUPPORTED},
        {"reply", [](ViSession s) {
             ViInt32 v = 0;
             return ZOR_GetAttributeViInt32(s, "Channel1", ZOR_ATTR_SWEEP_TYPE, &v);
         },
         ZOR_ERROR_REPLY_NOT_IN_MAP},
        {"io", [](ViSession s) { return ZOR_SetChannelAveragingFactor(s, "Channel1", 8); }, VI_ERROR_TMO},
    };
    script(":SENSe1:SWEep:TYPE?", "BOGUS");
    script(":SENSe1:AVERage:COUNt 8", nullptr, 0, VI_ERROR_TMO);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(quietly([&] { return c.call(vi); }), c.status);
        EXPECT_TRUE(lockable_from_another_thread());
    }
}

// Selectors that name nothing usable, or far too much, are refused before
// anything goes on the wire; the accessors and the actions agree.
TEST_F(AttributeAccess, RefusedSelectorsSendNothing) {
    for (const char* selector : {"garbage!", "Trace3-Trace1", "[0-3820]:[[0-3856]:[]]", "[0-32000]:[[0-32000]:[]]"}) {
        SCOPED_TRACE(selector);
        ViReal64 value = 0;
        EXPECT_EQ(quietly([&] { return ZOR_GetAttributeViReal64(vi, selector, ZOR_ATTR_FREQUENCY_START, &value); }),
                  ZOR_ERROR_BADLY_FORMED_SELECTOR);
        EXPECT_EQ(quietly([&] { return ZOR_MeasurementTraceMathStoreDataInMemory(vi, selector); }),
                  ZOR_ERROR_BADLY_FORMED_SELECTOR);
        EXPECT_TRUE(log().empty());
        EXPECT_TRUE(lockable_from_another_thread());
    }
    // Dropping one element refuses the whole: the rest alone is less than named.
    EXPECT_EQ(quietly([&] { return ZOR_MeasurementTraceMathStoreDataInMemory(vi, "Trace1-3,Channel1:Trace2"); }),
              ZOR_ERROR_BADLY_FORMED_SELECTOR);
    // An empty list names nothing, and nothing is done.
    EXPECT_EQ(quietly([&] { return ZOR_MeasurementTraceMathStoreDataInMemory(vi, "Channel1:[]"); }), 0);
    EXPECT_TRUE(log().empty());
}

TEST_F(AttributeAccess, ListCountFailureLeavesTheValue) {
    script(":DISPlay:TRACe:LIST?", nullptr, VI_ERROR_TMO);
    ViInt32 count = 77;
    EXPECT_EQ(quietly([&] { return ZOR_GetAttributeViInt32(vi, "", ZOR_ATTR_TRACE_COUNT, &count); }), VI_ERROR_TMO);
    EXPECT_EQ(count, 77);
}

TEST_F(AttributeAccess, ContinuousReadBackIsExactlyCont) {
    const struct {
        const char* reply;
        ViBoolean value;
    } cases[] = {{"CONT", VI_TRUE}, {"CONTinuous", VI_FALSE}, {"HOLD", VI_FALSE}, {"SING", VI_FALSE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        script(":DISPlay:CHANnel:SELect?", "1");
        script(":SENSe1:SWEep:MODE?", c.reply);
        ViBoolean value = 7;
        EXPECT_EQ(ZOR_GetTriggerInitiateContinuousEnabled(vi, &value), 0);
        EXPECT_EQ(value, c.value);
    }
    // A reply too long for the scratch buffer is refused and leaves the value.
    script(":DISPlay:CHANnel:SELect?", "1");
    script(":SENSe1:SWEep:MODE?", std::string(600, 'C').c_str());
    ViBoolean value = 7;
    EXPECT_EQ(ZOR_GetTriggerInitiateContinuousEnabled(vi, &value), ZOR_ERROR_TEXT_CUT);
    EXPECT_EQ(value, 7);
}

TEST_F(AttributeAccess, IdentityWithAnEmptyFieldFails) {
    script("*idn?", "A,B,,D");
    char text[32] = "untouched";
    EXPECT_EQ(ZOR_GetSystemSerialNumber(vi, sizeof text, text), ZOR_ERROR_IDENTITY_INCOMPLETE);
    EXPECT_STREQ(text, "untouched");
}

TEST_F(AttributeAccess, SwitchesReadFromKeywordReplies) {
    const struct {
        ViStatus(ZOR_CALL* get)(ViSession, ViConstString, ViBoolean*);
        const char* query;
        const char* reply;
        ViBoolean value;
    } cases[] = {
        {&ZOR_GetDisplayWindowTraceScaleCouplingEnabled, "DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod?", "WIND", VI_TRUE},
        {&ZOR_GetDisplayWindowTraceScaleCouplingEnabled, "DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod?", "OFF", VI_FALSE},
        {&ZOR_GetDisplayWindowTraceScaleCouplingEnabled, "DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod?", "WINDow", VI_FALSE},
        {&ZOR_GetMeasurementMarkerCouplingEnabled, ":CALCulate:MARKer:COUPle?", "CHAN", VI_TRUE},
        {&ZOR_GetMeasurementMarkerCouplingEnabled, ":CALCulate:MARKer:COUPle?", "ALL", VI_TRUE},
        {&ZOR_GetMeasurementMarkerCouplingEnabled, ":CALCulate:MARKer:COUPle?", "OFF", VI_FALSE},
        {&ZOR_GetMeasurementLimitEnabled, ":CALCulate1:TRACe1:LIMit:STATe?", "2", VI_FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.query) + " " + c.reply);
        script(c.query, c.reply);
        ViBoolean value = 7;
        EXPECT_EQ(c.get(vi, "Channel1:Trace1", &value), 0);
        EXPECT_EQ(value, c.value);
    }
}

TEST_F(AttributeAccess, TransformModeAsksForTheStimulusOnlyForLowPass) {
    script(":CALCulate1:TRACe2:TRANsform:TIME?", "BPAS");
    ViInt32 mode = -1;
    EXPECT_EQ(ZOR_GetMeasurementTimeDomainTransformMode(vi, "Channel1:Trace2", &mode), 0);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(log(), strings{":CALCulate1:TRACe2:TRANsform:TIME?"});
    clear_log();
    EXPECT_EQ(ZOR_SetMeasurementTimeDomainTransformMode(vi, "Channel1:Trace2", 0), 0);
    EXPECT_EQ(log(), strings{":CALCulate1:TRACe2:TRANsform:TIME:STIMulus IMPulse"});
}

}  // namespace
