// Calibration through SCPI: the standards each kit defines.
#include "analyzer_fixture.h"

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

}  // namespace
