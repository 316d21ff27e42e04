// Option strings given to Ivi_SpecificDriverNew and their effect on the
// inherent attributes.
#include <gtest/gtest.h>

#include <string>

#include "engine_test_support.h"

using engine_test::int_attribute;
using engine_test::session_guard_t;

namespace {

struct expected_options_t {
    int range_check, query_status, cache, simulate, record_coercions, interchange_check;
    const char* driver_setup;
};

constexpr expected_options_t defaults = {1, 0, 1, 0, 0, 0, ""};

struct option_case_t {
    const char* options;
    expected_options_t expected;
};

std::string driver_setup_of(ViSession vi) {
    char buffer[256] = "unchanged";
    EXPECT_EQ(Ivi_GetAttributeViString(vi, nullptr, IVI_ATTR_DRIVER_SETUP, 0, sizeof buffer, buffer), VI_SUCCESS);
    return buffer;
}

class ValidOptions : public ::testing::TestWithParam<option_case_t> {};

TEST_P(ValidOptions, SetInherentAttributes) {
    const option_case_t& c = GetParam();
    session_guard_t s(c.options);
    ASSERT_EQ(s.status, VI_SUCCESS) << c.options;
    ASSERT_NE(s.vi, 0u);
    const expected_options_t& e = c.expected;
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_RANGE_CHECK), e.range_check);
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_QUERY_INSTRUMENT_STATUS), e.query_status);
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_CACHE), e.cache);
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_SIMULATE), e.simulate);
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_RECORD_COERCIONS), e.record_coercions);
    EXPECT_EQ(int_attribute(s.vi, IVI_ATTR_INTERCHANGE_CHECK), e.interchange_check);
    EXPECT_EQ(driver_setup_of(s.vi), e.driver_setup);
    EXPECT_EQ(Ivi_Simulating(s.vi), e.simulate ? VI_TRUE : VI_FALSE);
    EXPECT_EQ(Ivi_QueryInstrStatus(s.vi), e.query_status ? VI_TRUE : VI_FALSE);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ValidOptions,
    ::testing::Values(
        option_case_t{"", defaults},
        option_case_t{"   ", defaults},
        option_case_t{"Simulate=1", {1, 0, 1, 1, 0, 0, ""}},
        option_case_t{"simulate = TRUE , queryinstrstatus=vi_true", {1, 1, 1, 1, 0, 0, ""}},
        option_case_t{"RangeCheck=0,Cache=false", {0, 0, 0, 0, 0, 0, ""}},
        option_case_t{"RangeCheck=VI_FALSE, Cache=False, RecordCoercions=1, InterchangeCheck=True",
                      {0, 0, 0, 0, 1, 1, ""}},
        option_case_t{"Simulate=1, Simulate=0", defaults},
        option_case_t{"Simulate=1,", {1, 0, 1, 1, 0, 0, ""}},
        option_case_t{"Simulate=1,,Cache=0", {1, 0, 0, 1, 0, 0, ""}},
        option_case_t{"DriverSetup=Model:ZOR24, Trace=on", {1, 0, 1, 0, 0, 0, "Model:ZOR24, Trace=on"}},
        option_case_t{"Simulate=1, DriverSetup= a=1,b , Cache=0 ", {1, 0, 1, 1, 0, 0, "a=1,b , Cache=0"}},
        option_case_t{"DRIVERSETUP=", defaults}));

class InvalidOptions : public ::testing::TestWithParam<const char*> {};

TEST_P(InvalidOptions, AreRefusedWithoutSession) {
    ViSession vi = 1234;
    EXPECT_EQ(Ivi_SpecificDriverNew("ZOR", GetParam(), &vi), IVI_ERROR_INVALID_OPTION_STRING) << GetParam();
    EXPECT_EQ(vi, 0u);
}

INSTANTIATE_TEST_SUITE_P(Forms, InvalidOptions,
                         ::testing::Values("Simulate", "Simulate=", "Simulate=2", "Simulate=yes", "Bogus=1",
                                           "=1", "Simulate=1 Cache=0", "Simulate=1, Cache", "DriverSetup",
                                           "Sim ulate=1"));

TEST(OptionsEdge, NullOptionStringMeansDefaultsAndNullHandleIsRefused) {
    ViSession vi = 0;
    ASSERT_EQ(Ivi_SpecificDriverNew(nullptr, nullptr, &vi), VI_SUCCESS);
    EXPECT_EQ(int_attribute(vi, IVI_ATTR_CACHE), 1);
    EXPECT_EQ(Ivi_Dispose(vi), VI_SUCCESS);
    EXPECT_EQ(Ivi_SpecificDriverNew("ZOR", "", nullptr), static_cast<ViStatus>(0xBFFA000F));
}

}  // namespace
