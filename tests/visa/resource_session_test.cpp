// Resource names, session handles and attributes.
#include <cstring>
#include <set>
#include <vector>

#include "visa_test_support.h"

namespace {

struct name_case {
    const char* name;
    ViStatus expected;
};

// Readable case names in test listings.
void PrintTo(const name_case& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class resource_name_test : public rm_fixture, public ::testing::WithParamInterface<name_case> {};

TEST_P(resource_name_test, open_reports_the_expected_status) {
    const name_case& c = GetParam();
    ViSession vi = 12345;
    EXPECT_EQ(viOpen(rm, c.name, VI_NO_LOCK, 0, &vi), c.expected) << c.name;
    if (c.expected == VI_SUCCESS) {
        EXPECT_NE(vi, 0u);
        EXPECT_EQ(viClose(vi), VI_SUCCESS);
    } else {
        EXPECT_EQ(vi, 0u) << "a failed open must leave no handle";
    }
}

INSTANTIATE_TEST_SUITE_P(
    names, resource_name_test,
    ::testing::Values(name_case{"SIM0::a1::INSTR", VI_SUCCESS}, name_case{"sim::a1::instr", VI_SUCCESS},
                      name_case{"SIM12::a1::INSTR", VI_SUCCESS}, name_case{"", VI_ERROR_INV_RSRC_NAME},
                      name_case{"garbage", VI_ERROR_INV_RSRC_NAME}, name_case{"SIM0::a1", VI_ERROR_INV_RSRC_NAME},
                      name_case{"SIM0::::INSTR", VI_ERROR_INV_RSRC_NAME},
                      name_case{"SIM0::a b::INSTR", VI_ERROR_INV_RSRC_NAME},
                      name_case{"SIM0::a1::SOCKET", VI_ERROR_INV_RSRC_NAME},
                      name_case{"SIMX::a1::INSTR", VI_ERROR_INV_RSRC_NAME},
                      name_case{"SIM123456::a1::INSTR", VI_ERROR_INV_RSRC_NAME},
                      name_case{"FOO0::a1::INSTR", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::host::SOCKET", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::::5025::SOCKET", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::host::0::SOCKET", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::host::65536::SOCKET", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::host::50a::SOCKET", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::host::5025::SOCKET::X", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::[::1::5025::SOCKET", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::no-such-host.invalid::INSTR", VI_ERROR_RSRC_NFOUND},
                      name_case{"TCPIP::no-such-host.invalid::hislip0,4881::INSTR", VI_ERROR_RSRC_NFOUND},
                      name_case{"TCPIP0::host::hislip0,0::INSTR", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::host::hislip0,48a0::INSTR", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::host::hislipX::INSTR", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::host::inst0,5::INSTR", VI_ERROR_INV_RSRC_NAME},
                      name_case{"TCPIP0::host::inst0::INSTR::X", VI_ERROR_INV_RSRC_NAME},
                      name_case{"GPIB0::5::INSTR", VI_ERROR_RSRC_NFOUND},
                      name_case{"USB0::0x1234::0x5678::SN1::INSTR", VI_ERROR_RSRC_NFOUND},
                      name_case{"TCPIP0::no-such-host.invalid::5025::SOCKET", VI_ERROR_RSRC_NFOUND}));

TEST_F(rm_fixture, overlong_and_null_names_are_rejected) {
    ViSession vi = 0;
    const std::string long_name = "SIM0::" + std::string(300, 'a') + "::INSTR";
    EXPECT_EQ(viOpen(rm, long_name.c_str(), VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viOpen(rm, nullptr, VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viOpen(rm, "SIM0::a1::INSTR", VI_NO_LOCK, 0, nullptr), VI_ERROR_INV_PARAMETER);
}

TEST(sessions, each_open_default_rm_is_a_new_session) {
    ViSession a = 0, b = 0;
    ASSERT_EQ(viOpenDefaultRM(&a), VI_SUCCESS);
    ASSERT_EQ(viOpenDefaultRM(&b), VI_SUCCESS);
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(viClose(a), VI_SUCCESS);
    EXPECT_EQ(viClose(b), VI_SUCCESS);
}

TEST(sessions, closing_an_rm_closes_only_its_own_sessions) {
    ViSession rm1 = 0, rm2 = 0;
    ASSERT_EQ(viOpenDefaultRM(&rm1), VI_SUCCESS);
    ASSERT_EQ(viOpenDefaultRM(&rm2), VI_SUCCESS);
    std::vector<ViSession> children(3);
    for (ViSession& vi : children) ASSERT_EQ(viOpen(rm1, "SIM0::rmtest::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    ViSession other = 0;
    ASSERT_EQ(viOpen(rm2, "SIM0::rmtest::INSTR", VI_NO_LOCK, 0, &other), VI_SUCCESS);

    ASSERT_EQ(viClose(rm1), VI_SUCCESS);
    ViUInt32 count = 99;
    for (ViSession vi : children) {
        EXPECT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*CLS"), 4, &count), VI_ERROR_INV_OBJECT);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(viClose(vi), VI_ERROR_INV_OBJECT);
    }
    ViSession still = 0;
    EXPECT_EQ(viOpen(rm1, "SIM0::rmtest::INSTR", VI_NO_LOCK, 0, &still), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viWrite(other, reinterpret_cast<ViConstBuf>("*CLS"), 4, &count), VI_SUCCESS);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(viClose(rm2), VI_SUCCESS);
    EXPECT_EQ(viClose(other), VI_ERROR_INV_OBJECT);
}

TEST_F(rm_fixture, handles_are_never_those_of_live_sessions) {
    std::set<ViSession> live;
    std::vector<ViSession> opened;
    for (int i = 0; i < 200; ++i) {
        ViSession vi = 0;
        ASSERT_EQ(viOpen(rm, "SIM0::handles::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
        ASSERT_NE(vi, 0u);
        ASSERT_NE(vi, rm);
        ASSERT_TRUE(live.insert(vi).second) << "handle handed out twice: " << vi;
        opened.push_back(vi);
    }
    for (std::size_t i = 0; i < opened.size(); i += 2) {
        ASSERT_EQ(viClose(opened[i]), VI_SUCCESS);
        live.erase(opened[i]);
    }
    for (int i = 0; i < 100; ++i) {
        ViSession vi = 0;
        ASSERT_EQ(viOpen(rm, "SIM0::handles::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
        ASSERT_TRUE(live.insert(vi).second) << "live handle reused: " << vi;
    }
}

TEST_F(rm_fixture, invalid_handles) {
    EXPECT_EQ(viClose(0), VI_WARN_NULL_OBJECT);
    EXPECT_EQ(viClose(0xDEADBEEF), VI_ERROR_INV_OBJECT);
    ViSession vi = open_sim("invalid");
    ASSERT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(viClose(vi), VI_ERROR_INV_OBJECT);

    // An already-open check on a closed session must fail and write nothing.
    ViSession owner = 0x5A5A5A5A;
    EXPECT_EQ(viGetAttribute(0, VI_ATTR_RM_SESSION, &owner), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_RM_SESSION, &owner), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(owner, 0x5A5A5A5Au);

    ViByte buf[8];
    ViUInt32 count = 7;
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &count), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viSetBuf(vi, 3, 4096), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viOpen(0, "SIM0::invalid::INSTR", VI_NO_LOCK, 0, &vi), VI_ERROR_INV_OBJECT);
}

struct width_case {
    ViAttr attr;
    std::size_t width;
};

TEST_F(rm_fixture, get_attribute_writes_exactly_the_attribute_width) {
    const ViSession vi = open_sim("widths");
    const width_case cases[] = {{VI_ATTR_TMO_VALUE, 4},   {VI_ATTR_RM_SESSION, 4},  {VI_ATTR_TERMCHAR, 1},
                                {VI_ATTR_TERMCHAR_EN, 2}, {VI_ATTR_SEND_END_EN, 2}, {VI_ATTR_INTF_TYPE, 2}};
    for (const width_case& c : cases) {
        unsigned char buf[16];
        std::memset(buf, 0xAA, sizeof buf);
        ASSERT_EQ(viGetAttribute(vi, c.attr, buf), VI_SUCCESS) << std::hex << c.attr;
        for (std::size_t i = c.width; i < sizeof buf; ++i) EXPECT_EQ(buf[i], 0xAA) << std::hex << c.attr << " byte " << i;
    }
    ViUInt32 tmo = 0;
    ViSession owner = 0;
    ViUInt8 term = 0;
    ViBoolean send_end = VI_FALSE;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_RM_SESSION, &owner), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TERMCHAR, &term), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_SEND_END_EN, &send_end), VI_SUCCESS);
    EXPECT_EQ(tmo, 2000u);
    EXPECT_EQ(owner, rm);
    EXPECT_EQ(term, '\n');
    EXPECT_EQ(send_end, VI_TRUE);
}

TEST_F(rm_fixture, attribute_round_trips_and_refusals) {
    const ViSession vi = open_sim("attrs");
    ViUInt32 tmo = 0;
    for (ViUInt32 value : {1500u, 0u, static_cast<ViUInt32>(VI_TMO_INFINITE), 3600000u}) {
        ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, value), VI_SUCCESS);
        ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
        EXPECT_EQ(tmo, value);
    }
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 0x100000000ull), VI_ERROR_NSUP_ATTR_STATE);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_RM_SESSION, 7), VI_ERROR_ATTR_READONLY);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_RSRC_NAME, 0), VI_ERROR_ATTR_READONLY);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, 256), VI_ERROR_NSUP_ATTR_STATE);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, 2), VI_ERROR_NSUP_ATTR_STATE);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    ViBoolean en = VI_FALSE;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TERMCHAR_EN, &en), VI_SUCCESS);
    EXPECT_EQ(en, VI_TRUE);

    ViUInt32 sink = 0;
    EXPECT_EQ(viGetAttribute(vi, 0x3FFF0999u, &sink), VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(viSetAttribute(vi, 0x3FFF0999u, 1), VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_NODELAY, &sink), VI_ERROR_NSUP_ATTR) << "not a socket";
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, nullptr), VI_ERROR_INV_PARAMETER);
    EXPECT_EQ(viSetBuf(vi, 3, 4096), VI_SUCCESS);

    // Each session keeps its own time-out.
    const ViSession other = open_sim("attrs");
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 111), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(other, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
    EXPECT_EQ(tmo, 2000u);
}

TEST_F(rm_fixture, resource_name_attribute_is_canonical) {
    ViSession vi = 0;
    ASSERT_EQ(viOpen(rm, "sim::Named7::instr", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    char name[256];
    std::memset(name, 'z', sizeof name);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_NAME, name), VI_SUCCESS);
    EXPECT_STREQ(name, "SIM0::Named7::INSTR");
}

TEST_F(rm_fixture, find_lists_the_simulated_analyzers_opened) {
    open_sim("findme");
    ViFindList list = 0;
    ViUInt32 count = 0;
    char desc[256] = {};
    ASSERT_EQ(viFindRsrc(rm, "SIM?*::FINDME::INSTR", &list, &count, desc), VI_SUCCESS);
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(desc, "SIM0::findme::INSTR");
    EXPECT_EQ(viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(viClose(list), VI_SUCCESS);

    ASSERT_EQ(viFindRsrc(rm, "?*", &list, &count, desc), VI_SUCCESS);
    ASSERT_GE(count, 1u);
    for (ViUInt32 i = 1; i < count; ++i) EXPECT_EQ(viFindNext(list, desc), VI_SUCCESS);
    EXPECT_EQ(viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);

    EXPECT_EQ(viFindRsrc(rm, "GPIB?*INSTR", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(viFindRsrc(rm, nullptr, &list, &count, desc), VI_ERROR_INV_EXPR);
    // A pattern that makes backtracking matchers explode finishes at once.
    open_sim(std::string(200, 'a'));
    std::string pattern = "SIM0::";
    for (int i = 0; i < 200; ++i) pattern += "a*";
    EXPECT_EQ(viFindRsrc(rm, (pattern + "b").c_str(), &list, &count, desc), VI_ERROR_RSRC_NFOUND);
}

}  // namespace
