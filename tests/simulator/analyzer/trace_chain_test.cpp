// The end of the chain through SCPI: equations, group delay over its
// aperture, tracking markers and delta markers, each checked against what
// a program computes from the data the analyzer answers.
#include "analyzer_fixture.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <sstream>
#include <vector>

namespace {

class TraceChain : public AnalyzerTest {
protected:
    void SetUp() override { write(":SYST:SIM:SPE INST;:SENS1:SWE:POIN 201;:SENS1:SWE:MODE HOLD;:INIT1"); }
    std::string error_class() { return next_error().substr(0, 5); }
};

TEST_F(TraceChain, EquationReplacesTheTraceData) {
    const auto s11 = numbers(":CALC1:TRAC1:DATA:SDAT?");
    const auto s21 = numbers(":CALC1:TRAC2:DATA:SDAT?");
    // On before its text: no equation yet, the data as measured.
    write(":CALC1:TRAC1:FORM SCOM;:CALC1:TRAC1:EQU ON");
    EXPECT_EQ(numbers(":CALC1:TRAC1:DATA:FDAT?"), s11);
    write(":CALC1:TRAC1:EQU:TEXT \"S21/S11\"");
    EXPECT_EQ(next_error(), "0,\"No error\"");
    const auto f = numbers(":CALC1:TRAC1:DATA:FDAT?");
    ASSERT_EQ(f.size(), s11.size());
    for (std::size_t k = 0; k < f.size(); k += 2) {
        const std::complex<double> q = std::complex<double>(s21[k], s21[k + 1]) / std::complex<double>(s11[k], s11[k + 1]);
        ASSERT_NEAR(f[k], q.real(), 1e-9 * std::abs(q)) << k;
        ASSERT_NEAR(f[k + 1], q.imag(), 1e-9 * std::abs(q)) << k;
    }
    EXPECT_EQ(numbers(":CALC1:TRAC1:DATA:SDAT?"), s11) << "the measured parameter stays";
    // The memory and the trace's own data take part.
    write(":CALC1:TRAC1:MATH:MEM;:CALC1:TRAC1:EQU:TEXT \"data - mem\"");
    for (double v : numbers(":CALC1:TRAC1:DATA:FDAT?")) ASSERT_EQ(v, 0);

    // A faulty text is stored while off and refused while on.
    write(":CALC1:TRAC1:EQU OFF;:CALC1:TRAC1:EQU:TEXT \"S21 /\"");
    EXPECT_EQ(query(":CALC1:TRAC1:EQU:VAL?"), "0");
    write(":CALC1:TRAC1:EQU ON");
    EXPECT_EQ(error_class(), "-221,");
    EXPECT_EQ(query(":CALC1:TRAC1:EQU?"), "0");
    write(":CALC1:TRAC1:EQU:TEXT \"S22\";:CALC1:TRAC1:EQU ON;:CALC1:TRAC1:EQU:TEXT \"S22 + foo(1)\"");
    EXPECT_EQ(error_class(), "-224,");
    EXPECT_EQ(query(":CALC1:TRAC1:EQU:TEXT?"), "\"S22\"");
    EXPECT_EQ(query(":CALC1:TRAC1:EQU:VAL?"), "1");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(TraceChain, GroupDelayIsThePhaseSlopeOverTheSmoothingAperture) {
    write(":CALC1:TRAC2:FORM UPH");
    const auto phase = numbers(":CALC1:TRAC2:DATA:FDAT?");
    const auto f = numbers(":SENS1:FREQ:DATA?");
    const std::size_t n = f.size();
    ASSERT_EQ(phase.size(), 2 * n);
    // Smoothing off: over the neighbours; on: over the aperture (% of the points).
    const struct {
        const char* smoothing;
        std::size_t half;
    } rows[] = {{"OFF", 1}, {"ON;:CALC1:TRAC2:SMO:APER 10", 10}, {"ON;:CALC1:TRAC2:SMO:APER 25", 25}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.smoothing);
        write(std::string(":CALC1:TRAC2:FORM GDEL;:CALC1:TRAC2:SMO ") + row.smoothing);
        const auto delay = numbers(":CALC1:TRAC2:DATA:FDAT?");
        ASSERT_EQ(delay.size(), 2 * n);
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t lo = k >= row.half ? k - row.half : 0, hi = std::min(n - 1, k + row.half);
            const double expected = -(phase[2 * hi] - phase[2 * lo]) / (360 * (f[hi] - f[lo]));
            ASSERT_NEAR(delay[2 * k], expected, 1e-9 * std::fabs(expected) + 1e-18) << k;
        }
    }
}

TEST_F(TraceChain, TrackingMarkersSearchEverySweep) {
    auto x_of_max = [&] {
        const auto y = numbers(":CALC1:TRAC2:DATA:FDAT?");
        const auto x = numbers(":CALC1:TRAC2:DATA:XAX?");
        std::size_t best = 0;
        for (std::size_t k = 0; k < x.size(); ++k)
            if (y[2 * k] > y[2 * best]) best = k;
        return x[best];
    };
    // Marker 1 tracks the maximum; marker 2 searched once, without tracking.
    write(":CALC1:TRAC2:MARK1:FUNC:TYPE MAX;:CALC1:TRAC2:MARK1:FUNC:TRAC ON;:CALC1:TRAC2:MARK1 ON");
    write(":CALC1:TRAC2:MARK2:FUNC:TYPE MAX;:CALC1:TRAC2:MARK2:FUNC:EXEC");
    const std::string searched_once = query(":CALC1:TRAC2:MARK2:X?");
    EXPECT_EQ(std::stod(searched_once), x_of_max());
    // Triggered sweeps and, in continuous mode, sweeps a new setting brings.
    for (const char* change : {":SENS1:FREQ:STAR 4E9;:SENS1:FREQ:STOP 4.4E9;:INIT1",
                               ":SENS1:SWE:MODE CONT;:SENS1:FREQ:STAR 4.6E9;:SENS1:FREQ:STOP 5E9"}) {
        SCOPED_TRACE(change);
        const std::string before = query(":CALC1:TRAC2:MARK1:X?");
        write(change);
        const double tracked = std::stod(query(":CALC1:TRAC2:MARK1:X?"));
        EXPECT_EQ(tracked, x_of_max());
        EXPECT_NE(query(":CALC1:TRAC2:MARK1:X?"), before);
        EXPECT_EQ(query(":CALC1:TRAC2:MARK2:X?"), searched_once);
    }
}

TEST_F(TraceChain, DeltaMarkersReadAgainstTheReferenceMarkerWhileItIsOn) {
    write(":CALC1:TRAC2:MARK1:X 4.5E9;:CALC1:TRAC2:MARK1 ON;:CALC1:TRAC2:MARK10:X 4E9");
    EXPECT_EQ(query(":CALC1:TRAC2:MARK10?"), "0");
    write(":CALC1:TRAC2:MARK1:DELT ON");
    EXPECT_EQ(query(":CALC1:TRAC2:MARK10?"), "1") << "delta mode turns the reference marker on";
    const double delta = numbers(":CALC1:TRAC2:MARK1:Y?").at(0);
    const double reference = numbers(":CALC1:TRAC2:MARK10:Y?").at(0);
    write(":CALC1:TRAC2:MARK10 OFF");
    const double absolute = numbers(":CALC1:TRAC2:MARK1:Y?").at(0);
    EXPECT_NEAR(delta, absolute - reference, 1e-9);
    EXPECT_GT(std::fabs(delta - absolute), 1) << "the markers read different values";
    // Reference mode needs the reference marker too.
    write(":CALC1:TRAC2:MARK1:DELT OFF;:CALC1:TRAC2:MARK:REF ON");
    EXPECT_EQ(query(":CALC1:TRAC2:MARK10?"), "1");
}

}  // namespace
