// Calibration through SCPI: the standards each kit defines.
#include "analyzer_fixture.h"

#include <cmath>
#include <sstream>
#include <vector>

namespace {

using Calibration = AnalyzerTest;

std::string as_block(const std::string& bytes) {
    const std::string length = std::to_string(bytes.size());
    return "#" + std::to_string(length.size()) + length + bytes;
}

TEST_F(Calibration, KitsDefineTheirStandards) {
    // The 3.5 mm factory kit's open has an offset and fringe capacitance;
    // the user kit starts ideal.
    write(":SENS:CORR:COLL:CKIT 3");
    EXPECT_EQ(query(":SENS:CORR:COLL:CKIT:OPEN:DEL?;:SENS:CORR:COLL:CKIT:OPEN:C0?"), "+2.950000000000E-11;+4.800000000000E-14");
    write(":SENS:CORR:COLL:CKIT 1");
    EXPECT_EQ(query(":SENS:CORR:COLL:CKIT:SHOR:L0?;:SENS:CORR:COLL:CKIT:LOAD:RES?;:SENS:CORR:COLL:CKIT:THRU:Z0?"),
              "+0.000000000000E+00;+5.000000000000E+01;+5.000000000000E+01");
    // Set, refused and misplaced values.
    write(":SENS:CORR:COLL:CKIT:SHOR:L1 -1.5E-22;:SENS:CORR:COLL:CKIT:THRU:DEL 85PS");
    EXPECT_EQ(query(":SENS:CORR:COLL:CKIT:SHOR:L1?;:SENS:CORR:COLL:CKIT:THRU:DEL?"), "-1.500000000000E-22;+8.500000000000E-11");
    write(":SENS:CORR:COLL:CKIT:THRU:Z0 0");
    EXPECT_EQ(next_error().substr(0, 5), "-222,");
    write(":SENS:CORR:COLL:CKIT:LOAD:C0 1E-15");
    EXPECT_EQ(next_error().substr(0, 5), "-113,");
    EXPECT_EQ(query(":SENS2:CORR:COLL:CKIT:SHOR:L1?"), "+0.000000000000E+00") << "kits are per channel";
    // Exported and imported, every bit of the standards travels.
    write(":SENS:CORR:COLL:CKIT:OPEN:C3 1.234567890123456E-46");
    write(":SENS:CORR:CKIT:EXP \"User Kit 1\",\"user.ckt\";:SENS2:CORR:CKIT:LOAD \"user.ckt\"");
    EXPECT_EQ(query(":SENS2:CORR:COLL:CKIT:SHOR:L1?;:SENS2:CORR:COLL:CKIT:THRU:DEL?"), "-1.500000000000E-22;+8.500000000000E-11");
    const std::string block = query(":SENS:CORR:CKIT:DATA?");
    EXPECT_NE(block.find("1.234567890123456e-46"), std::string::npos) << block;
    EXPECT_EQ(query(":SENS2:CORR:CKIT:DATA?"), block);
    // A kit without standards (the name and TRL fields alone) has ideal ones.
    const std::string bare = "Bare\t\tSYST\tTHRU";
    write(":SENS:CORR:CKIT:DATA " + as_block(bare));
    EXPECT_EQ(query(":SENS:CORR:COLL:CKIT:NAME?;:SENS:CORR:COLL:CKIT:THRU:DEL?"), "\"Bare\";+0.000000000000E+00");
    // A standard field that is not nine finite numbers is a corrupt kit.
    for (const char* field : {"1,2,3", "0,0,50,0,0,0,0,50,0,9", "0,0,0,0,0,0,0,50,0", "0,0,50,0,0,0,0,50,nan"}) {
        const std::string kit = std::string("Bad\t\tSYST\tTHRU\t") + field + "\t0,0,50,0,0,0,0,50,0\t0,0,50,0,0,0,0,50,0\t0,0,50,0,0,0,0,50,0";
        write(":SENS:CORR:CKIT:DATA " + as_block(kit));
        EXPECT_EQ(next_error().substr(0, 5), "-230,") << field;
    }
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

// Calibration sequences on the simulated test set, noise off.
class Calibrating : public AnalyzerTest {
protected:
    void SetUp() override { write(":SYST:SIM:NOIS OFF;:SYST:SIM:SPE INST;:SENS1:SWE:POIN 21"); }
    // Largest distance of trace 1's corrected data from a constant.
    double off_by(const char* parameter, double re, double im) {
        write(std::string(":CALC1:PAR1:DEF ") + parameter);
        const auto v = numbers(":CALC1:TRAC1:DATA:SDAT?");
        double largest = 0;
        for (std::size_t k = 0; k + 1 < v.size(); k += 2) largest = std::max(largest, std::hypot(v[k] - re, v[k + 1] - im));
        return largest;
    }
};

TEST_F(Calibrating, ReflectionMethodsReturnAKnownLoadsValue) {
    struct row_t {
        const char* dut;
        const char* sequence;
        const char* parameter;
        double re;
    } rows[] = {
        {"short", ":SENS1:CORR:COLL:METH OPOR,1;:SENS1:CORR:COLL:OPEN 1;:SENS1:CORR:COLL:SHOR 1;:SENS1:CORR:COLL:LOAD 1", "S11", -1.0},
        {"open", ":SENS1:CORR:COLL:METH OPOR,2;:SENS1:CORR:COLL:OPEN 2;:SENS1:CORR:COLL:SHOR 2;:SENS1:CORR:COLL:LOAD 2", "S22", 1.0},
        {"match", ":SENS1:CORR:COLL:METH OPOR,2;:SENS1:CORR:COLL:OPEN 2;:SENS1:CORR:COLL:SHOR 2;:SENS1:CORR:COLL:LOAD 2", "S22", 0.0},
        {"short", ":SENS1:CORR:COLL:METH RSH,2;:SENS1:CORR:COLL:SHOR 2", "S22", -1.0},
    };
    for (const auto& row : rows) {
        write(std::string(":SYST:SIM:DUT \"") + row.dut + "\"");
        write(":SENS1:CORR:STAT OFF");
        const double raw = off_by(row.parameter, row.re, 0.0);
        write(row.sequence);
        write(":SENS1:CORR:COLL:SAVE");
        EXPECT_EQ(query(":SENS1:CORR?"), "1");
        EXPECT_GT(raw, 1e-3) << row.dut;
        EXPECT_LT(off_by(row.parameter, row.re, 0.0), 1e-9) << row.dut << " " << row.sequence;
    }
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(Calibrating, SaveNeedsEveryStandardAndTheRangeDecidesValidity) {
    EXPECT_EQ(query(":SENS1:CORR:VAL?"), "NONE");
    write(":SENS1:CORR:COLL:METH SOLT;:SENS1:CORR:COLL:OPEN 1;:SENS1:CORR:COLL:SHOR 1;:SENS1:CORR:COLL:LOAD 1");
    write(":SENS1:CORR:COLL:SAVE");
    EXPECT_EQ(next_error(), "-200,\"Execution error; standard not measured: OPEN2\"");
    EXPECT_EQ(query(":SENS1:CORR?"), "0") << "correction stays as it was";
    write(":SENS1:CORR:COLL:OPEN 2;:SENS1:CORR:COLL:SHOR 2;:SENS1:CORR:COLL:LOAD 2;:SENS1:CORR:COLL:THRU");
    write(":SENS1:CORR:COLL:SAVE");
    EXPECT_EQ(next_error(), "0,\"No error\"");
    EXPECT_EQ(query(":SENS1:CORR?;:SENS1:CORR:VAL?;:STAT:QUES:COND?"), "1;VAL;0");
    // More points inside the range: interpolated; beyond it: invalid, data raw.
    write(":SENS1:SWE:POIN 41");
    EXPECT_EQ(query(":SENS1:CORR:VAL?;:STAT:QUES:COND?"), "INT;256");
    ASSERT_FALSE(analyzer.display_state().channels.empty());
    EXPECT_EQ(analyzer.display_state().channels[0].correction, zorsim::display::correction_t::interpolated)
        << "the screen says so too";
    write(":SENS1:SWE:POIN 21;:SENS1:FREQ:STAR 1E5");
    EXPECT_EQ(query(":SENS1:CORR:VAL?;:STAT:QUES:COND?"), "INV;256");
    write(":SENS1:CORR:STAT OFF");
    const std::string raw = query(":CALC1:TRAC1:DATA:SDAT?");
    write(":SENS1:CORR:STAT ON");
    EXPECT_EQ(query(":CALC1:TRAC1:DATA:SDAT?"), raw);
    // A standard measured on another stimulus does not mix into a calibration.
    write(":SENS1:CORR:COLL:LOAD 2");
    write(":SENS1:CORR:COLL:SAVE");
    EXPECT_EQ(next_error(), "-200,\"Execution error; standard measured on another stimulus: LOAD2\"");
}

TEST_F(Calibrating, ErrorTermsReadBackAndWrittenTermsApply) {
    write(":SENS1:CORR:COEF:ET2?");
    EXPECT_EQ(next_error().substr(0, 5), "-200,");
    // A written transmission tracking of 0.5 doubles the corrected S21.
    write(":SENS1:CORR:STAT OFF");
    write(":CALC1:PAR1:DEF S21");
    const auto raw = numbers(":CALC1:TRAC1:DATA:SDAT?");
    std::string half;
    for (int k = 0; k < 21; ++k) half += std::string(k ? "," : "") + "0.5,0";
    write(":SENS1:CORR:COLL:METH RTHR;:SENS1:CORR:COEF:ET2 " + half + ";:SENS1:CORR:COEF:SAVE");
    EXPECT_EQ(query(":SENS1:CORR?"), "1");
    const auto corrected = numbers(":CALC1:TRAC1:DATA:SDAT?");
    ASSERT_EQ(corrected.size(), raw.size());
    for (std::size_t k = 0; k < raw.size(); ++k) EXPECT_NEAR(corrected[k], 2 * raw[k], 1e-12);
    const auto et = numbers(":SENS1:CORR:COEF:ET2?");
    ASSERT_EQ(et.size(), 42u);
    EXPECT_EQ(et[0], 0.5);
    // A solved calibration's terms read back; a wrong count or suffix is refused.
    write(":SENS1:CORR:COEF:ET2 1,0");
    EXPECT_EQ(next_error().substr(0, 5), "-109,");
    write(":SENS1:CORR:COEF:ED3?");
    EXPECT_NE(next_error().substr(0, 4), "0,\"N");
}

TEST_F(Calibrating, TimeDomainTraceOfALinePeaksAtItsDelay) {
    write(":SYST:SIM:DUT \"line,delay=2e-9\";:SENS1:CORR:STAT OFF;:SYST:SIM:ERR OFF;:SENS1:SWE:POIN 201");
    write(":CALC1:PAR1:DEF S21;:CALC1:TRAC1:FORM REAL;:CALC1:TRAC1:TRAN:TIME:LPFR");
    write(":CALC1:TRAC1:TRAN:TIME:STAR 0;:CALC1:TRAC1:TRAN:TIME:STOP 5E-9;:CALC1:TRAC1:TRAN:TIME:STAT ON");
    const auto y = numbers(":CALC1:TRAC1:DATA:FDAT?");
    ASSERT_EQ(y.size(), 402u);
    std::size_t peak = 0;
    for (std::size_t k = 0; k < 201; ++k)
        if (y[2 * k] > y[2 * peak]) peak = k;
    EXPECT_NEAR(5e-9 * static_cast<double>(peak) / 200.0, 2e-9, 5e-9 / 200.0);
    EXPECT_GT(y[2 * peak], 0.8);  // a sample within half a step of the unit peak
    EXPECT_LT(y[2 * peak], 1.0 + 1e-9);
    // A notch gate around it removes the line in the frequency trace.
    write(":CALC1:TRAC1:TRAN:TIME:STAT OFF;:CALC1:TRAC1:FORM MLIN");
    write(":CALC1:TRAC1:FILT:TIME:STAR 1E-9;:CALC1:TRAC1:FILT:TIME:STOP 3E-9;:CALC1:TRAC1:FILT:TIME:TYPE NOTC;:CALC1:TRAC1:FILT:TIME:STAT ON");
    const auto gated = numbers(":CALC1:TRAC1:DATA:FDAT?");
    double largest = 0;
    for (std::size_t k = 0; k < 201; ++k) largest = std::max(largest, gated[2 * k]);
    EXPECT_LT(largest, 0.1);
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

}  // namespace
