// Tests of the mass-memory actions, against the simulated analyzer's own
// volume where practical and scripted replies for faults.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "function_fixture.h"

namespace {

constexpr ViStatus null_pointer = static_cast<ViStatus>(0xBFFA000Fu);
constexpr ViStatus buffer_size = static_cast<ViStatus>(0xBFFA4001u);
constexpr ViStatus not_in_table = static_cast<ViStatus>(0xBFFF001Du);
constexpr ViStatus text_cut = static_cast<ViStatus>(0xBFFF0071u);
constexpr ViStatus parameter_2 = static_cast<ViStatus>(0xBFFC0002u);
constexpr ViStatus parameter_3 = static_cast<ViStatus>(0xBFFC0003u);

std::string read_local(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void write_local(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class Memory : public zor_test::function_test_t {
protected:
    // A file on the computer, unique to the test, removed afterwards.
    std::string local(const std::string& name) {
        std::string path = testing::TempDir() + analyzer + "_" + name;
        created.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const auto& path : created) std::remove(path.c_str());
        function_test_t::TearDown();
    }
    // Raw SCPI, for setting up and checking the analyzer.
    std::string query(const std::string& command) {
        EXPECT_EQ(ZOR_viWrite(vi, command.size(), reinterpret_cast<ViConstBuf>(command.data()), nullptr), 0);
        ViByte reply[512] = {};
        EXPECT_EQ(ZOR_viRead(vi, sizeof reply, reply, nullptr), 0) << command;
        return reinterpret_cast<char*>(reply);
    }
    void raw(const std::string& command) {
        EXPECT_EQ(ZOR_viWrite(vi, command.size(), reinterpret_cast<ViConstBuf>(command.data()), nullptr), 0);
    }
    std::string next_error() { return query(":SYSTem:ERRor?"); }
    // The messages received, whole: a block may hold line feeds.
    std::string raw_wire() {
        std::string text(zsim_wire_log(analyzer.c_str(), nullptr, 0) + 1, '\0');
        zsim_wire_log(analyzer.c_str(), text.data(), text.size());
        text.resize(text.size() - 1);
        return text;
    }
    std::string catalog(const char* directory) {
        char text[256] = {};
        EXPECT_EQ(ZOR_MemoryGetCatalog(vi, directory, sizeof text, text), 0);
        return text;
    }

    std::vector<std::string> created;
};

struct name_case_t {
    const char* what;
    std::function<ViStatus(ViSession, ViConstString)> call;
    const char* wire;  // the message sent for the name "f1"
};

const std::vector<name_case_t> name_exports = {
    {"mkdir", ZOR_MemoryCreateDirectory, ":MMEMory:MDIRectory \"f1\""},
    {"rmdir", ZOR_MemoryRemoveDirectory, ":MMEMory:RDIRectory \"f1\""},
    {"cd", ZOR_MemorySelectDirectory, ":MMEMory:CDIRectory \"f1\""},
    {"delete", ZOR_MemoryDelete, ":MMEMory:DELete \"f1\""},
    {"load", ZOR_MemoryLoadFile, ":MMEMory:LOAD \"f1\""},
    {"store", ZOR_MemoryStoreFile, ":MMEMory:STORe \"f1\""},
    {"load limit", ZOR_MemoryLoadLimitTestData, ":MMEMory:LOAD:LIMit \"f1\""},
    {"save limit", ZOR_MemorySaveLimitTestData, ":MMEMory:STORe:LIMit \"f1\""},
    {"load ripple", ZOR_MemoryLoadRippleLimitTestData, ":MMEMory:LOAD:RLIMit \"f1\""},
    {"save ripple", ZOR_MemorySaveRippleLimitTestData, ":MMEMory:STORe:RLIMit \"f1\""},
    {"screen", ZOR_MemorySaveScreenDump, ":MMEMory:STORe:IMAGe \"f1\""},
    {"copy", [](ViSession s, ViConstString n) { return ZOR_MemoryCopy(s, n, "f2"); }, ":MMEMory:COPY \"f1\",\"f2\""},
    {"rename", [](ViSession s, ViConstString n) { return ZOR_MemoryRename(s, n, "f2"); },
     ":MMEMory:MOVE \"f1\",\"f2\""},
    {"typed load", [](ViSession s, ViConstString n) { return ZOR_MemoryLoadFileOfSpecifiedFileType(s, n, 0); },
     ":MMEMory:LOAD:STAT \"f1\""},
    {"typed store", [](ViSession s, ViConstString n) { return ZOR_MemoryStoreFileOfSpecifiedFileType(s, n, 1); },
     ":MMEMory:STORe:CORR \"f1\""},
};

}  // namespace

TEST_F(Memory, EachNameExportSendsItsCommandAndReturnsTheWriteStatus) {
    for (const auto& c : name_exports) {
        clear_log();
        EXPECT_EQ(c.call(vi, "f1"), 0) << c.what;
        EXPECT_EQ(log(), zor_test::strings{c.wire}) << c.what;
        script(c.wire, nullptr, 0, VI_ERROR_IO);
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.call(vi, "f1"), VI_ERROR_IO) << c.what;
        testing::internal::GetCapturedStdout();
    }
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(Memory, NullNamesAndControlCharactersAreRefusedBeforeAnythingIsSent) {
    for (const auto& c : name_exports) {
        EXPECT_EQ(c.call(vi, nullptr), null_pointer) << c.what;
        EXPECT_EQ(take_error().first, null_pointer) << c.what;
        for (const char* bad : {"a\nb", "a\rb", "a\x7f"}) {
            EXPECT_EQ(c.call(vi, bad), parameter_2) << c.what;
            EXPECT_EQ(take_error().first, parameter_2) << c.what;
        }
    }
    EXPECT_EQ(ZOR_MemoryCopy(vi, "a", nullptr), null_pointer);
    EXPECT_EQ(ZOR_MemoryRename(vi, "a", "b\tc"), parameter_3);
    EXPECT_TRUE(log().empty());
    // A quote is part of the name: it goes out doubled, inside one string.
    EXPECT_EQ(ZOR_MemoryRename(vi, "a\"b", "c"), 0);
    EXPECT_EQ(log(), (zor_test::strings{":MMEMory:MOVE \"a\"\"b\",\"c\""}));
}

TEST_F(Memory, FileTypesOutsideTheTableSendNothing) {
    for (ViInt32 type : {-1, 3, 100}) {
        EXPECT_EQ(ZOR_MemoryLoadFileOfSpecifiedFileType(vi, "f", type), not_in_table);
        EXPECT_EQ(ZOR_MemoryStoreFileOfSpecifiedFileType(vi, "f", type), not_in_table);
        char text[32] = {};
        EXPECT_EQ(ZOR_MemoryGetCatalogOfSpecifiedFileType(vi, type, "", sizeof text, text), not_in_table);
    }
    EXPECT_TRUE(log().empty());
    EXPECT_EQ(ZOR_MemoryStoreFileOfSpecifiedFileType(vi, "cal1", 2), 0);
    EXPECT_EQ(log(), zor_test::strings{":MMEMory:STORe:CSAR \"cal1\""});
}

TEST_F(Memory, FoldersFilesAndCatalogsFollowTheAnalyzer) {
    char text[256] = {};
    EXPECT_EQ(ZOR_MemoryGetCurrentDirectory(vi, sizeof text, text), 0);
    EXPECT_STREQ(text, "\"/USER\"");  // the quotes the analyzer sends stay
    EXPECT_EQ(catalog(""), "NO CATALOG");

    EXPECT_EQ(ZOR_MemoryCreateDirectory(vi, "sub"), 0);
    EXPECT_EQ(ZOR_MemorySelectDirectory(vi, "sub"), 0);
    EXPECT_EQ(ZOR_MemoryGetCurrentDirectory(vi, sizeof text, text), 0);
    EXPECT_STREQ(text, "\"/USER/sub\"");
    EXPECT_EQ(ZOR_MemoryStoreFile(vi, "a.sta"), 0);
    EXPECT_EQ(ZOR_MemoryStoreFileOfSpecifiedFileType(vi, "c.cal", 1), 0);
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, "s.bmp", "#12BM"), 0);
    EXPECT_EQ(ZOR_MemoryCopy(vi, "a.sta", "/USER/b.sta"), 0);
    EXPECT_EQ(ZOR_MemoryRename(vi, "s.bmp", "shot.bmp"), 0);
    EXPECT_EQ(catalog(""), "a.sta,c.cal,shot.bmp");
    EXPECT_EQ(catalog("/USER"), "b.sta,sub/");
    EXPECT_EQ(ZOR_MemoryGetCatalogOfSpecifiedFileType(vi, 1, "", sizeof text, text), 0);
    EXPECT_STREQ(text, "c.cal");
    EXPECT_EQ(ZOR_MemoryGetCatalogOfSpecifiedFileType(vi, 2, "", sizeof text, text), 0);
    EXPECT_STREQ(text, "NO CATALOG");

    EXPECT_EQ(ZOR_MemoryDelete(vi, "a.sta"), 0);
    EXPECT_EQ(catalog(""), "c.cal,shot.bmp");
    EXPECT_EQ(next_error(), "0,\"No error\"");

    // A folder that is current or not empty stays; errors say so.
    EXPECT_EQ(ZOR_MemoryRemoveDirectory(vi, "/USER/sub"), 0);
    EXPECT_EQ(next_error().substr(0, 5), "-257,");
    EXPECT_EQ(ZOR_MemorySelectDirectory(vi, ".."), 0);
    EXPECT_EQ(ZOR_MemoryRemoveDirectory(vi, "sub"), 0);
    EXPECT_EQ(next_error().substr(0, 5), "-257,");
    EXPECT_EQ(ZOR_MemoryDelete(vi, "nothing"), 0);
    EXPECT_EQ(next_error().substr(0, 5), "-256,");
    EXPECT_EQ(catalog(""), "b.sta,sub/");
}

TEST_F(Memory, StateAndLimitFilesRestoreWhatWasStored) {
    raw(":SENSe1:FREQuency:STARt 2E9");
    EXPECT_EQ(ZOR_MemoryStoreFile(vi, "setup"), 0);
    raw(":SENSe1:FREQuency:STARt 5E9");
    EXPECT_EQ(ZOR_MemoryLoadFile(vi, "setup"), 0);
    EXPECT_EQ(query(":SENSe1:FREQuency:STARt?"), "+2.000000000000E+09");

    raw(":CALCulate1:TRACe1:LIMit:DATA 1,1,1E9,2E9,-3,-3");
    const std::string table = query(":CALCulate1:TRACe1:LIMit:DATA?");
    EXPECT_EQ(ZOR_MemorySaveLimitTestData(vi, "lim"), 0);
    raw(":CALCulate1:TRACe1:LIMit:DATA 0");
    EXPECT_EQ(ZOR_MemoryLoadLimitTestData(vi, "lim"), 0);
    EXPECT_EQ(query(":CALCulate1:TRACe1:LIMit:DATA?"), table);

    // A file of another kind is not loaded as a state or limit file.
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, "shot", "#15image"), 0);
    EXPECT_EQ(ZOR_MemoryLoadFile(vi, "shot"), 0);
    EXPECT_EQ(next_error().substr(0, 5), "-257,");
    EXPECT_EQ(ZOR_MemoryLoadFileOfSpecifiedFileType(vi, "setup", 1), 0);
    EXPECT_EQ(next_error().substr(0, 5), "-257,");
    EXPECT_EQ(ZOR_MemoryLoadLimitTestData(vi, "setup"), 0);
    EXPECT_EQ(next_error().substr(0, 5), "-257,");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(Memory, TextResultsFollowTheBufferRules) {
    char text[8];
    std::memset(text, 'x', sizeof text);
    script(":MMEMory:CDIRectory?", "\"/USER/long\"");
    EXPECT_EQ(ZOR_MemoryGetCurrentDirectory(vi, 5, text), text_cut);
    EXPECT_EQ(std::string(text, 5), std::string("\"/US\0", 5));
    EXPECT_EQ(text[5], 'x');  // nothing past the size given
    EXPECT_EQ(take_error().first, text_cut);

    clear_log();
    EXPECT_EQ(ZOR_MemoryGetCurrentDirectory(vi, 0, text), buffer_size);
    EXPECT_EQ(ZOR_MemoryGetCatalog(vi, "", -1, text), buffer_size);
    EXPECT_EQ(ZOR_MemoryQueryDateTime(vi, "f", 0, text), buffer_size);
    EXPECT_EQ(take_error().first, buffer_size);
    EXPECT_EQ(ZOR_MemoryGetCurrentDirectory(vi, 8, nullptr), null_pointer);
    EXPECT_EQ(take_error(), (std::pair<ViStatus, std::string>{null_pointer, "Null address for Buffer"}));
    EXPECT_EQ(ZOR_MemoryGetCatalogOfSpecifiedFileType(vi, 0, nullptr, 8, text), null_pointer);
    EXPECT_TRUE(log().empty());
}

TEST_F(Memory, CatalogRepliesLoseWhiteSpaceAndQuotes) {
    const struct {
        const char* reply;
        const char* text;
    } cases[] = {
        {"\"\"", "NO CATALOG"},
        {" \t\"a,b/\"\r\n", "a,b/"},
        {"\"\"\"x\"\"\"", "x"},
        {"plain", "plain"},
        {"  ", "NO CATALOG"},
    };
    for (const auto& c : cases) {
        script(":MMEMory:CATalog:CORR? \"d\"", c.reply);
        char text[32] = {};
        EXPECT_EQ(ZOR_MemoryGetCatalogOfSpecifiedFileType(vi, 1, "d", sizeof text, text), 0) << c.reply;
        EXPECT_STREQ(text, c.text) << c.reply;
    }
    script(":MMEMory:CATalog? \"d\"", nullptr, VI_ERROR_TMO);
    char text[32] = {};
    EXPECT_EQ(ZOR_MemoryGetCatalog(vi, "d", sizeof text, text), VI_ERROR_TMO);
}

TEST_F(Memory, DateAndTimeOfAFile) {
    // The analyzer's clock ticks once per change from 2024-05-17 09:03:00;
    // its two folders took the first two seconds.
    EXPECT_EQ(ZOR_MemoryStoreFile(vi, "f"), 0);
    char text[64] = {};
    EXPECT_EQ(ZOR_MemoryQueryDateTime(vi, "f", sizeof text, text), 0);
    EXPECT_STREQ(text, "2024/5/17\t9:3:2");
    EXPECT_EQ(ZOR_MemoryCopy(vi, "f", "g"), 0);  // a copy keeps the date
    EXPECT_EQ(ZOR_MemoryStoreFile(vi, "f"), 0);
    EXPECT_EQ(ZOR_MemoryQueryDateTime(vi, "g", sizeof text, text), 0);
    EXPECT_STREQ(text, "2024/5/17\t9:3:2");
    EXPECT_EQ(ZOR_MemoryQueryDateTime(vi, "f", sizeof text, text), 0);
    EXPECT_STREQ(text, "2024/5/17\t9:3:4");

    const struct {
        const char* date;
        const char* time;
        const char* text;
    } cases[] = {
        {"2024,5,17", "9,3,0", "2024/5/17\t9:3:0"},
        {" 2024,05,17 \r\n", "\t09, 03,00", "2024/05/17\t09: 03:00"},
        {"2024,5", "9,3,0", ""},
        {"2024,5,17,", "9,3,0", ""},
        {"2024,5,17", "9,3", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        script(":MMEMory:DATE? \"x\"", c.date);
        script(":MMEMory:TIME? \"x\"", c.time);
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(ZOR_MemoryQueryDateTime(vi, "x", sizeof text, text), 0) << c.date << " " << c.time;
        EXPECT_STREQ(text, c.text);
    }
    clear_log();
    script(":MMEMory:DATE? \"x\"", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_MemoryQueryDateTime(vi, "x", sizeof text, text), VI_ERROR_TMO);
    EXPECT_EQ(log(), (zor_test::strings{":MMEMory:DATE? \"x\"", zor_test::error_query_after_timeout}));
    script(":MMEMory:TIME? \"f\"", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_MemoryQueryDateTime(vi, "f", sizeof text, text), VI_ERROR_TMO);
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(Memory, DownloadSendsABlockAndUploadGetsTheSameBytesBack) {
    // Zero bytes, line feeds and white space at the end all survive.
    const std::string bytes("ab\0\ncd\r\n\t \n\0\n", 13);
    const std::string source = local("source.bin");
    write_local(source, bytes.substr(0, 12));
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, "data.bin", source.c_str()), 0);
    EXPECT_EQ(raw_wire(), ":MMEMory:TRANsfer \"data.bin\",#212" + bytes.substr(0, 12) + "\n");

    const std::string back = local("back.bin");
    EXPECT_EQ(ZOR_MemoryUploadData(vi, "data.bin", back.c_str()), 0);
    EXPECT_EQ(read_local(back), bytes.substr(0, 12));

    for (const std::string& content : {std::string(), bytes, std::string(70000, '\n') + "end"}) {
        write_local(source, content);
        EXPECT_EQ(ZOR_MemoryDownloadData(vi, "other.bin", source.c_str()), 0);
        EXPECT_EQ(ZOR_MemoryUploadData(vi, "other.bin", back.c_str()), 0);
        EXPECT_EQ(read_local(back), content) << content.size();
    }
    // The reply was read to its end: the next query gets its own answer.
    char text[32] = {};
    EXPECT_EQ(ZOR_MemoryGetCurrentDirectory(vi, sizeof text, text), 0);
    EXPECT_STREQ(text, "\"/USER\"");

}

// The screen dump stores the drawn display; uploading it gives the image's
// exact bytes: PNG, or BMP when the name ends so. The Windows build has no
// renderer and says so with an error instead of storing an image.
TEST_F(Memory, ScreenDumpUploadsAnImageOfTheDisplay) {
    const std::string back = local("screen.img");
    auto u32 = [](const std::string& b, std::size_t at, bool big_endian) {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<unsigned char>(b.at(at + static_cast<std::size_t>(big_endian ? i : 3 - i)));
            v = v << 8 | byte;
        }
        return v;
    };
    struct case_t {
        const char* name;
        const char* magic;
        std::size_t width_at, height_at;  // where the image header keeps the size
        bool big_endian;
    } cases[] = {{"shot.png", "\x89PNG\r\n\x1a\n", 16, 20, true}, {"/USER/SHOT.BMP", "BM", 18, 22, false}};
    raw(":DISPlay:WINDow3:TRACe5 1");
    for (const auto& c : cases) {
        EXPECT_EQ(ZOR_MemorySaveScreenDump(vi, c.name), 0) << c.name;
#ifdef _WIN32
        (void)u32;
        EXPECT_EQ(next_error().substr(0, 5), "-241,") << c.name;
        EXPECT_EQ(catalog("/USER"), "NO CATALOG");
#else
        EXPECT_EQ(next_error(), "0,\"No error\"") << c.name;
        EXPECT_EQ(ZOR_MemoryUploadData(vi, c.name, back.c_str()), 0) << c.name;
        const std::string image = read_local(back);
        ASSERT_GT(image.size(), 1000u) << c.name;
        EXPECT_EQ(image.substr(0, std::strlen(c.magic)), c.magic) << c.name;
        EXPECT_EQ(u32(image, c.width_at, c.big_endian), 1024u) << c.name;
        EXPECT_EQ(u32(image, c.height_at, c.big_endian), 640u) << c.name;
#endif
    }
#ifndef _WIN32
    // A PNG ends in its IEND chunk: the upload is whole.
    EXPECT_EQ(ZOR_MemoryUploadData(vi, "shot.png", back.c_str()), 0);
    const std::string png = read_local(back);
    EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
#endif
}

TEST_F(Memory, DownloadOfAReadyBlockOrAMissingFile) {
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, "h.txt", "#15hello"), 0);
    EXPECT_EQ(log(), zor_test::strings{":MMEMory:TRANsfer \"h.txt\",#15hello"});
    EXPECT_EQ(next_error(), "0,\"No error\"");

    clear_log();
    const std::string missing = local("missing.bin");
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, "h.txt", missing.c_str()), parameter_3);
    EXPECT_EQ(take_error().first, parameter_3);
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, "h.txt", ""), parameter_3);
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, "h.txt", testing::TempDir().c_str()), parameter_3);  // a folder
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, "h.txt", nullptr), null_pointer);
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, nullptr, "#15hello"), null_pointer);
    EXPECT_TRUE(log().empty());

    script(":MMEMory:TRANsfer \"h.txt\",#15hello", nullptr, 0, VI_ERROR_IO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_MemoryDownloadData(vi, "h.txt", "#15hello"), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(Memory, UploadRepliesThatAreNoWholeBlockLeaveTheFileAlone) {
    const struct {
        const char* reply;
        ViStatus status;
        std::string written;  // the file afterwards
    } cases[] = {
        {"#15hello", 0, "hello"},
        {"#13hello", 0, "hel"},  // extra bytes after the block are dropped
        {"#0abc", 0, "abc"},
        {"#15hel", VI_ERROR_INV_LENGTH, "before"},
        {"#15hell", VI_ERROR_INV_LENGTH, "before"},  // the terminator is no data byte
        {"#15hell\n\n", 0, "hell\n"},               // a line feed of the data, then the terminator
        {"hello", VI_ERROR_INV_LENGTH, "before"},
        {"#", VI_ERROR_INV_LENGTH, "before"},
        {"#2x5hello", VI_ERROR_INV_LENGTH, "before"},
        {"#9999999999", VI_ERROR_INV_LENGTH, "before"},
        {"#A5hello", VI_ERROR_INV_LENGTH, "before"},
    };
    const std::string path = local("up.bin");
    for (const auto& c : cases) {
        write_local(path, "before");
        script(":MMEMory:TRANsfer? \"f\"", c.reply);
        EXPECT_EQ(ZOR_MemoryUploadData(vi, "f", path.c_str()), c.status) << c.reply;
        EXPECT_EQ(read_local(path), c.written) << c.reply;
        // Whatever came, nothing of it is left for the next query.
        char text[32] = {};
        EXPECT_EQ(ZOR_MemoryGetCurrentDirectory(vi, sizeof text, text), 0) << c.reply;
        EXPECT_STREQ(text, "\"/USER\"") << c.reply;
    }
    EXPECT_EQ(take_error().first, VI_ERROR_INV_LENGTH);

    // A missing instrument file: the analyzer refuses the query, gives no
    // reply and says why in its error queue, which the error record tells.
    write_local(path, "before");
    EXPECT_EQ(ZOR_MemoryUploadData(vi, "none", path.c_str()), ZOR_ERROR_INSTRUMENT_STATUS);
    EXPECT_EQ(read_local(path), "before");
    const auto refusal = take_error();
    EXPECT_EQ(refusal.first, ZOR_ERROR_INSTRUMENT_STATUS);
    EXPECT_NE(refusal.second.find("refused it: -256,"), std::string::npos) << refusal.second;

    script(":MMEMory:TRANsfer? \"f\"", nullptr, 0, VI_ERROR_IO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_MemoryUploadData(vi, "f", path.c_str()), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_local(path), "before");

    // A destination that cannot be made is reported, not ignored.
    script(":MMEMory:TRANsfer? \"f\"", "#15hello");
    const std::string nowhere = local("no_such_folder") + "/up.bin";
    EXPECT_EQ(ZOR_MemoryUploadData(vi, "f", nowhere.c_str()), parameter_3);
    EXPECT_EQ(ZOR_MemoryUploadData(vi, "f", nullptr), null_pointer);
    EXPECT_EQ(ZOR_MemoryUploadData(vi, nullptr, path.c_str()), null_pointer);
    EXPECT_TRUE(lockable_from_another_thread());
}
