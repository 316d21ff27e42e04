// The time domain through SCPI: the trace's axis and markers in time, the
// coupled settings (center/span, impulse width/beta), the sweeps it needs,
// and distances from velocity factors.
#include "analyzer_fixture.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

namespace {

constexpr double c0 = 299792458.0;

std::string text(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

class TimeDomainCommands : public AnalyzerTest {
protected:
    void SetUp() override { write(":SYST:SIM:NOIS OFF;:SYST:SIM:SPE INST;:SYST:SIM:ERR OFF"); }
    double number(const std::string& message) { return std::stod(query(message)); }
};

TEST_F(TimeDomainCommands, AxisMarkersAndSearchesFollowTheTransform) {
    write(":SYST:SIM:DUT \"line,delay=2e-9\";:CALC1:PAR1:DEF S21;:CALC1:TRAC1:FORM REAL;:CALC1:TRAC1:TRAN:TIME:LPFR");
    write(":CALC1:TRAC1:TRAN:TIME:STAR 0;:CALC1:TRAC1:TRAN:TIME:STOP 5E-9;:CALC1:TRAC1:MARK1:X 1E9");
    const auto frequency = numbers(":CALC1:TRAC1:DATA:XAX?");
    ASSERT_EQ(frequency.size(), 201u);
    const double f0 = frequency.front(), f1 = frequency.back();

    // On: the axis is time and the marker keeps its place on it.
    write(":CALC1:TRAC1:TRAN:TIME:STAT ON");
    const auto time = numbers(":CALC1:TRAC1:DATA:XAX?");
    ASSERT_EQ(time.size(), 201u);
    EXPECT_EQ(time.front(), 0.0);
    EXPECT_NEAR(time.back(), 5e-9, 1e-21);
    EXPECT_NEAR(time[100], 2.5e-9, 1e-21);
    EXPECT_NEAR(number(":CALC1:TRAC1:MARK1:X?"), (1e9 - f0) / (f1 - f0) * 5e-9, 1e-20);
    write(":CALC1:TRAC1:MARK1:X 1");
    EXPECT_EQ(next_error().substr(0, 5), "-222,");
    EXPECT_NEAR(number(":CALC1:TRAC1:MARK1:X?"), 5e-9, 1e-21);

    // The search runs on the time-domain trace; Y reads it under the marker.
    write(":CALC1:TRAC1:MARK1:FUNC:TYPE MAX;:CALC1:TRAC1:MARK1:FUNC:EXEC");
    const double at = number(":CALC1:TRAC1:MARK1:X?");
    EXPECT_NEAR(at, 2e-9, 2.5e-11);
    const auto y = numbers(":CALC1:TRAC1:DATA:FDAT?");
    const std::size_t peak = static_cast<std::size_t>(std::lround(at / 2.5e-11));
    EXPECT_NEAR(numbers(":CALC1:TRAC1:MARK1:Y?")[0], y[2 * peak], 1e-12);
    EXPECT_GT(y[2 * peak], 0.8);
    // Marker to setting moves the time window, not the frequencies.
    write(":CALC1:TRAC1:MARK1:SET CENT");
    EXPECT_EQ(number(":CALC1:TRAC1:TRAN:TIME:CENT?"), at);
    EXPECT_NEAR(number(":CALC1:TRAC1:TRAN:TIME:SPAN?"), 5e-9, 1e-21);
    EXPECT_EQ(number(":SENS1:FREQ:STAR?"), f0);
    write(":CALC1:TRAC1:MARK1:SET CWFR");
    EXPECT_EQ(next_error().substr(0, 5), "-221,");
    // Shrinking the span keeps markers on it.
    write(":CALC1:TRAC1:TRAN:TIME:STOP 1E-9");
    EXPECT_NEAR(number(":CALC1:TRAC1:MARK1:X?"), 1e-9, 1e-21);

    // Off: frequency again, markers back where they were on screen.
    write(":CALC1:TRAC1:TRAN:TIME:STAT OFF");
    EXPECT_EQ(numbers(":CALC1:TRAC1:DATA:XAX?"), frequency);
    EXPECT_NEAR(number(":CALC1:TRAC1:MARK1:X?"), f1, 1e-3);
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(TimeDomainCommands, CenterAndSpanAreViewsOfStartAndStop) {
    for (const std::string base : {":CALC1:TRAC2:TRAN:TIME", ":CALC1:MEAS2:FILT:GATE:TIME"}) {
        SCOPED_TRACE(base);
        struct step_t {
            const char* command;
            double start, stop;
        } steps[] = {
            {":STAR 1E-9;STOP 5E-9", 1e-9, 5e-9},
            {":CENT 0", -2e-9, 2e-9},
            {":SPAN 1E-9", -0.5e-9, 0.5e-9},
            {":STAR 3E-9", 3e-9, 3e-9},             // a start above the stop pushes it
            {":STOP -1E-9", -1e-9, -1e-9},          // and the other way round
            {":SPAN 1E-5;CENT 0.9999E-3", 0.9998e-3, 1e-3},  // the span narrows at the limit
        };
        for (const auto& step : steps) {
            write(base + step.command);
            EXPECT_NEAR(number(base + ":STAR?"), step.start, 1e-18) << step.command;
            EXPECT_NEAR(number(base + ":STOP?"), step.stop, 1e-18) << step.command;
            EXPECT_NEAR(number(base + ":CENT?"), (step.start + step.stop) / 2, 1e-18) << step.command;
            EXPECT_NEAR(number(base + ":SPAN?"), step.stop - step.start, 1e-18) << step.command;
        }
        write(base + ":CENT 2E-3");
        EXPECT_EQ(next_error().substr(0, 5), "-222,");
    }
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(TimeDomainCommands, GateCenterSpanAndEveryShapeActOnTheData) {
    write(":SYST:SIM:DUT \"line,delay=2e-9\";:CALC1:PAR1:DEF S21;:CALC1:TRAC1:FORM MLIN;:CALC1:TRAC1:FILT:TIME:STAT ON");
    write(":CALC1:TRAC1:FILT:TIME:STAR 1E-9;:CALC1:TRAC1:FILT:TIME:STOP 3E-9");
    const auto by_ends = numbers(":CALC1:TRAC1:DATA:FDAT?");
    write(":CALC1:TRAC1:FILT:TIME:STAR -5E-9;:CALC1:TRAC1:FILT:TIME:CENT 2E-9;:CALC1:TRAC1:FILT:TIME:SPAN 2E-9");
    EXPECT_EQ(numbers(":CALC1:TRAC1:DATA:FDAT?"), by_ends);
    // A gate half over the line: each shape weighs its edge differently.
    write(":CALC1:TRAC1:FILT:TIME:STAR 2E-9;:CALC1:TRAC1:FILT:TIME:STOP 6E-9");
    std::vector<std::vector<double>> shaped;
    for (const char* shape : {"MIN", "NORM", "WIDE", "MAX"}) {
        write(std::string(":CALC1:TRAC1:FILT:TIME:SHAPE ") + shape);
        shaped.push_back(numbers(":CALC1:TRAC1:DATA:FDAT?"));
        for (std::size_t i = 0; i + 1 < shaped.size(); ++i) EXPECT_NE(shaped[i], shaped.back()) << shape;
    }
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(TimeDomainCommands, ImpulseWidthAndKaiserBetaAreOneSetting) {
    write(":SENS1:FREQ:STOP 4E9;:CALC1:TRAC1:TRAN:TIME:LPFR;:CALC1:TRAC1:TRAN:TIME:KBES 0");
    // A rectangular window gives a sinc: half maximum 0.6033 / stop wide.
    const double rectangular = number(":CALC1:TRAC1:TRAN:TIME:IMP:WIDT?");
    EXPECT_NEAR(rectangular * 4e9 / 0.6033, 1.0, 0.01);
    write(":CALC1:TRAC1:TRAN:TIME:KBES 6");
    const double six = number(":CALC1:TRAC1:TRAN:TIME:IMP:WIDT?");
    EXPECT_GT(six, 1.3 * rectangular);
    // Width to beta and back.
    for (double width : {1.2 * rectangular, 1.7 * rectangular}) {
        write(":CALC1:TRAC1:TRAN:TIME:IMP:WIDT " + text(width));
        const double beta = number(":CALC1:TRAC1:TRAN:TIME:KBES?");
        EXPECT_GT(beta, 0.0);
        EXPECT_LT(beta, 13.0);
        EXPECT_NEAR(number(":CALC1:TRAC1:TRAN:TIME:IMP:WIDT?") / width, 1.0, 1e-12);  // to the reply's digits
    }
    // Half the stop frequency, twice the width for the same beta.
    write(":SENS1:FREQ:STOP 2E9;:CALC1:TRAC1:TRAN:TIME:LPFR");
    EXPECT_NEAR(number(":CALC1:TRAC1:TRAN:TIME:IMP:WIDT?") / (1.7 * rectangular), 2.0, 0.01);
    write(":SENS1:FREQ:STOP 4E9;:CALC1:TRAC1:TRAN:TIME:LPFR");
    // Beyond what the window reaches: its ends.
    write(":CALC1:TRAC1:TRAN:TIME:IMP:WIDT 1E-12");
    EXPECT_EQ(number(":CALC1:TRAC1:TRAN:TIME:KBES?"), 0.0);
    write(":CALC1:TRAC1:TRAN:TIME:IMP:WIDT 1E-6");
    EXPECT_EQ(number(":CALC1:TRAC1:TRAN:TIME:KBES?"), 13.0);
    // The band-pass impulse over the same span is twice as wide; a step
    // reports the impulse it integrates.
    write(":CALC1:TRAC1:TRAN:TIME:KBES 0;:CALC1:TRAC1:TRAN:TIME:STIM STEP");
    EXPECT_NEAR(number(":CALC1:TRAC1:TRAN:TIME:IMP:WIDT?"), rectangular, 1e-15);
    write(":CALC1:TRAC1:TRAN:TIME BPAS");
    EXPECT_NEAR(number(":CALC1:TRAC1:TRAN:TIME:IMP:WIDT?") / rectangular, 2.0, 0.03);
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(TimeDomainCommands, NeedsALinearSweep) {
    for (const char* type : {"LOG", "POW", "CW", "SEGM"}) {
        SCOPED_TRACE(type);
        write(std::string(":SENS1:SWE:TYPE ") + type);
        write(":CALC1:TRAC1:TRAN:TIME:STAT ON");
        EXPECT_EQ(next_error().substr(0, 5), "-221,");
        write(":CALC1:TRAC1:FILT:TIME:STAT ON");
        EXPECT_EQ(next_error().substr(0, 5), "-221,");
        EXPECT_EQ(query(":CALC1:TRAC1:TRAN:TIME:STAT?;:CALC1:TRAC1:FILT:TIME:STAT?"), "0;0");
        // Turned on over a linear sweep, it ends when the sweep stops being linear.
        write(":SENS1:SWE:TYPE LIN;:CALC1:TRAC2:TRAN:TIME:STAT ON;:CALC1:TRAC2:FILT:TIME:STAT ON");
        EXPECT_EQ(next_error(), "0,\"No error\"");
        write(std::string(":SENS1:SWE:TYPE ") + type);
        EXPECT_EQ(next_error().substr(0, 5), "-221,");
        EXPECT_EQ(query(":CALC1:TRAC2:TRAN:TIME:STAT?;:CALC1:TRAC2:FILT:TIME:STAT?"), "0;0");
        EXPECT_EQ(numbers(":CALC1:TRAC2:DATA:XAX?"), numbers(":CALC1:TRAC1:DATA:XAX?"));
        write(":SENS1:SWE:TYPE LIN");
    }
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(TimeDomainCommands, DistancesFollowTheVelocityFactorOfTheDrivingPort) {
    write(":SENS1:CORR:EXT:PORT1:VELF 0.66;:SENS1:CORR:EXT:PORT2:VELF 0.5");
    struct row_t {
        const char* parameter;
        const char* unit;
        double meters_per_second;  // per second of delay
    } rows[] = {
        {"S11", "MET", c0 * 0.66 / 2},  // a reflection covers the way twice
        {"S21", "FEET", c0 * 0.66 / 0.3048},
        {"S12", "INCH", c0 * 0.5 / 0.0254},
        {"S22", "MET", c0 * 0.5 / 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.parameter);
        write(std::string(":CALC1:PAR1:DEF ") + row.parameter + ";:CALC1:MEAS1:CORR:EDEL:UNIT " + row.unit);
        write(":CALC1:TRAC1:CORR:EDEL:TIME 1E-9");
        EXPECT_NEAR(number(":CALC1:MEAS1:CORR:EDEL:DIST?") / (1e-9 * row.meters_per_second), 1.0, 1e-12);
        write(":CALC1:MEAS1:CORR:EDEL:DIST " + text(3e-9 * row.meters_per_second));
        EXPECT_NEAR(number(":CALC1:TRAC1:CORR:EDEL:TIME?"), 3e-9, 1e-20);
    }
    // A port extension given as a length, one way.
    write(":SENS1:CORR:EXT:PORT2:DIST 0.3");
    EXPECT_NEAR(number(":SENS1:CORR:EXT:PORT2:TIME?"), 0.3 / (c0 * 0.5), 1e-20);
    EXPECT_NEAR(number(":SENS1:CORR:EXT:PORT2:DIST?"), 0.3, 1e-12);
    EXPECT_EQ(number(":SENS1:CORR:EXT:PORT1:TIME?"), 0.0);
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(TimeDomainCommands, PortExtensionsActOnCorrectedData) {
    // A full two-port calibration through the test set's errors, then a
    // line: the extensions on both ports (one by time, one by length)
    // together take its whole delay out of the corrected phase.
    write(":SYST:SIM:ERR ON;:SENS1:SWE:POIN 21;:CALC1:PAR1:DEF S21;:CALC1:TRAC1:FORM PHAS");
    write(":SENS1:CORR:COLL:METH SOLT;:SENS1:CORR:COLL:OPEN 1;:SENS1:CORR:COLL:SHOR 1;:SENS1:CORR:COLL:LOAD 1");
    write(":SENS1:CORR:COLL:OPEN 2;:SENS1:CORR:COLL:SHOR 2;:SENS1:CORR:COLL:LOAD 2;:SENS1:CORR:COLL:THRU 1,2");
    write(":SENS1:CORR:COLL:SAVE;:SYST:SIM:DUT \"line,delay=1e-9,loss=0\"");
    write(":SENS1:CORR:EXT:STAT ON;:SENS1:CORR:EXT:PORT1:TIME 0.4E-9;:SENS1:CORR:EXT:PORT2:VELF 0.7");
    write(":SENS1:CORR:EXT:PORT2:DIST " + text(c0 * 0.7 * 0.6e-9));
    auto largest_phase = [&] {
        double largest = 0;
        const auto y = numbers(":CALC1:TRAC1:DATA:FDAT?");
        for (std::size_t k = 0; k < y.size(); k += 2) largest = std::max(largest, std::fabs(y[k]));
        return largest;
    };
    EXPECT_LT(largest_phase(), 1e-3);  // degrees
    write(":SENS1:CORR:STAT OFF");     // raw data keep the test set's errors
    EXPECT_GT(largest_phase(), 1.0);
    write(":SENS1:CORR:STAT ON;:SENS1:CORR:EXT:STAT OFF");
    EXPECT_GT(largest_phase(), 90.0);
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

}  // namespace
