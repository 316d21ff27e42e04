// Unformatted I/O on simulated-analyzer sessions.
#include <chrono>
#include <string>
#include <vector>

#include "visa_test_support.h"

namespace {

ViStatus write_text(ViSession vi, const std::string& text, ViUInt32* count = nullptr) {
    return viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()), count);
}

std::string wire_log(const char* analyzer) {
    const size_t size = zsim_wire_log(analyzer, nullptr, 0);
    std::string log(size + 1, '\0');
    zsim_wire_log(analyzer, &log[0], log.size());
    log.resize(size);
    return log;
}

class sim_io : public rm_fixture {};

TEST_F(sim_io, query_round_trip_strips_one_terminator) {
    const ViSession vi = open_sim("simio");
    ASSERT_EQ(zsim_set_identity("simio", "ACME,Model 7,SN42,1.2.3"), 0);
    ViUInt32 count = 0;
    ASSERT_EQ(write_text(vi, "*IDN?\r\n", &count), VI_SUCCESS);
    EXPECT_EQ(count, 7u);
    ViByte buf[256];
    ASSERT_EQ(viRead(vi, buf, sizeof buf, &count), VI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), count), "ACME,Model 7,SN42,1.2.3\n");
    ASSERT_EQ(write_text(vi, "*CLS"), VI_SUCCESS);
    EXPECT_EQ(wire_log("simio"), "*IDN?\n*CLS\n");
}

TEST_F(sim_io, long_reply_arrives_in_pieces_intact) {
    const ViSession vi = open_sim("simlong");
    std::string reply;
    for (int i = 0; reply.size() < 1000; ++i) reply += std::to_string(i * 7919 % 1000) + ",";
    reply += "end\n";
    ASSERT_EQ(zsim_script("simlong", "TRACE?", reply.c_str(), 0, 0, 1), 0);
    ASSERT_EQ(write_text(vi, "TRACE?"), VI_SUCCESS);

    std::string got;
    std::vector<ViStatus> statuses;
    for (int guard = 0; guard < 100; ++guard) {
        ViByte buf[256];
        ViUInt32 count = 0;
        const ViStatus st = viRead(vi, buf, sizeof buf, &count);
        got.append(reinterpret_cast<char*>(buf), count);
        statuses.push_back(st);
        if (st != VI_SUCCESS_MAX_CNT) break;
    }
    EXPECT_EQ(got, reply);
    ASSERT_EQ(statuses.size(), (reply.size() + 255) / 256);
    for (std::size_t i = 0; i + 1 < statuses.size(); ++i) EXPECT_EQ(statuses[i], VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(statuses.back(), VI_SUCCESS);
}

TEST_F(sim_io, missing_reply_times_out_at_once) {
    const ViSession vi = open_sim("simtmo");
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 5000), VI_SUCCESS);
    ASSERT_EQ(write_text(vi, "*CLS"), VI_SUCCESS);
    ViByte buf[16];
    ViUInt32 count = 9;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &count), VI_ERROR_TMO);
    EXPECT_LT(seconds_since(t0), 0.5);
    EXPECT_EQ(count, 0u);
}

TEST_F(sim_io, scripted_statuses_are_reported_once) {
    const ViSession vi = open_sim("simscript");
    ASSERT_EQ(zsim_script("simscript", "BAD?", "ignored", VI_ERROR_IO, 0, 1), 0);
    ASSERT_EQ(zsim_script("simscript", "FAIL", nullptr, 0, VI_ERROR_CONN_LOST, 1), 0);
    ASSERT_EQ(write_text(vi, "BAD?"), VI_SUCCESS);
    ViByte buf[64];
    ViUInt32 count = 0;
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &count), VI_ERROR_IO);
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &count), VI_ERROR_TMO) << "the failed read used up its entry";

    count = 77;
    EXPECT_EQ(write_text(vi, "FAIL", &count), VI_ERROR_CONN_LOST);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(write_text(vi, "FAIL", &count), VI_SUCCESS) << "scripted once only";
}

TEST_F(sim_io, sessions_have_their_own_reply_queues) {
    const ViSession a = open_sim("simqueue");
    ViSession b = 0;
    ASSERT_EQ(viOpen(rm, "SIM0::simqueue::INSTR", VI_NO_LOCK, 0, &b), VI_SUCCESS);
    ASSERT_EQ(zsim_script("simqueue", "ONE?", "1", 0, 0, -1), 0);
    ASSERT_EQ(zsim_script("simqueue", "TWO?", "2", 0, 0, -1), 0);
    ASSERT_EQ(write_text(a, "ONE?"), VI_SUCCESS);
    ASSERT_EQ(write_text(a, "TWO?"), VI_SUCCESS);
    ViByte buf[8];
    ViUInt32 count = 0;
    EXPECT_EQ(viRead(b, buf, sizeof buf, &count), VI_ERROR_TMO);
    ASSERT_EQ(viRead(a, buf, sizeof buf, &count), VI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), count), "1\n");
    ASSERT_EQ(viRead(a, buf, sizeof buf, &count), VI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), count), "2\n");
}

TEST_F(sim_io, bad_buffers_are_refused) {
    const ViSession vi = open_sim("simbuf");
    ViUInt32 count = 0;
    EXPECT_EQ(viWrite(vi, nullptr, 5, &count), VI_ERROR_USER_BUF);
    EXPECT_EQ(viRead(vi, nullptr, 5, &count), VI_ERROR_USER_BUF);
    EXPECT_EQ(viWrite(vi, nullptr, 0, nullptr), VI_SUCCESS) << "an empty write is a valid message";
}

}  // namespace
