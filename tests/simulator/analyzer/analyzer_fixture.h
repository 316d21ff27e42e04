// A fresh analyzer per test and short helpers to talk to it.
#pragma once

#include <simulator/analyzer/analyzer.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

// The comma-separated numbers of a reply's text.
inline std::vector<double> split_numbers(const std::string& text) {
    std::vector<double> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) out.push_back(std::stod(item));
    return out;
}

class AnalyzerTest : public ::testing::Test {
protected:
    // The reply without its line feed; "<none>" when there is none.
    std::string query(const std::string& message) {
        zorsim::response_t r = analyzer.receive(message);
        if (!r.has_reply) return "<none>";
        EXPECT_FALSE(r.reply.empty());
        EXPECT_EQ(r.reply.back(), '\n');
        EXPECT_EQ(r.reply.find('\n'), r.reply.size() - 1) << "one line feed, at the end";
        return r.reply.substr(0, r.reply.size() - 1);
    }
    // Sends a message that must give no reply.
    void write(const std::string& message) {
        zorsim::response_t r = analyzer.receive(message);
        EXPECT_FALSE(r.has_reply) << message << " -> " << r.reply;
    }
    std::string next_error() { return query("SYST:ERR?"); }
    // The numbers a query answers.
    std::vector<double> numbers(const std::string& message) { return split_numbers(query(message)); }

    zorsim::analyzer_t analyzer;
};
