// The settings file: exact bytes on write, tolerant reading, comment escaping.
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "program/program.h"
#include "support/fakes.h"
#include "text/codepage.h"

namespace vexal {
namespace {

std::string Cp932(std::string_view text) {
    std::string bytes;
    Utf8ToCp932(text, bytes);
    return bytes;
}

Program FreshProgram() {
    Program p;
    InitGlobals(p, 1, 0);
    return p;
}

const char kExample[] =
    "'vexal   ver.1.00\r\n"
    "\r\n"
    "NewMsg = (new)\r\n"
    "CacheFileName = wpcache\r\n"
    "WinFolderWPname = wallpaper.bmp\r\n"
    "TimeOut = 30\r\n"
    "-\r\n"
    "Name = sample\r\n"
    "Url = C:\\pictures\\\r\n"
    "Comment = first line\\nsecond line\r\n"
    "Filter = 000001\r\n"
    "Ext = 1111\r\n"
    "WpState = 2\r\n"
    "No = 2\r\n"
    "No_n = 1\r\n"
    "Refstr = \r\n";

TEST(SettingsFileTest, ExampleFileReadsAndWritesBackByteForByte) {
    Program p = FreshProgram();
    ParseSettings(p, kExample);
    ASSERT_EQ(p.EntryCount(), 1);
    const SiteEntry& e = p.SiteEntries[1];
    EXPECT_EQ(p.NewMsg, "(new)");
    EXPECT_EQ(p.CacheFileName, "wpcache");
    EXPECT_EQ(p.WinFolderWPname, "wallpaper.bmp");
    EXPECT_EQ(p.TimeOut, 30);
    EXPECT_EQ(e.Name, "sample");
    EXPECT_EQ(e.Url, "C:\\pictures\\");
    EXPECT_EQ(e.Comment, "first line\r\nsecond line");
    EXPECT_EQ(e.Filter, (std::array<bool, 7>{false, false, false, false, false, true}));
    EXPECT_EQ(e.Ext, (std::array<bool, 5>{true, true, true, true, false}));
    EXPECT_EQ(e.WpState, WallpaperStyle{2});
    EXPECT_EQ(e.No, ChoiceMode{2});
    EXPECT_EQ(e.No_n, 1);
    EXPECT_EQ(e.Refstr, "");

    std::string written;
    ASSERT_TRUE(SettingsFileBytes(p, written));
    EXPECT_EQ(written, kExample);
}

// The extensions (the WebP flag, the page's-own-picture flag, MinWidth, the styles fill
// and fit) are written only when used, so a file that uses none of them comes back byte
// for byte; the styles are numbers like the others.
TEST(SettingsFileTest, ExtensionsAreWrittenOnlyWhenUsed) {
    struct Row {
        const char* original;  // a line of the example
        const char* line;      // what the hand-edited file has there instead
        const char* written;   // and what is written back in its place
    };
    const Row rows[] = {
        {"Ext = 1111", "Ext = 1111", "Ext = 1111"},
        {"Ext = 1111", "Ext = 11110", "Ext = 1111"},
        {"Ext = 1111", "Ext = 00001", "Ext = 00001"},
        {"Ext = 1111", "Ext = 10101", "Ext = 10101"},
        {"Filter = 000001", "Filter = 0000010", "Filter = 000001"},
        {"Filter = 000001", "Filter = 0100001", "Filter = 0100001"},
        {"Filter = 000001", "Filter = 0000001", "Filter = 0000001"},
        {"Filter = 000001", "Filter = 01000011", "Filter = 0100001"},
        {"Refstr = ", "Refstr = \r\nMinWidth = 0", "Refstr = "},
        {"Refstr = ", "Refstr = \r\nMinWidth = 640", "Refstr = \r\nMinWidth = 640"},
        {"Refstr = ", "Refstr = \r\nMinWidth = 1e3", "Refstr = \r\nMinWidth = 1000"},
        {"Refstr = ", "Refstr = \r\nMINWIDTH = -5", "Refstr = \r\nMinWidth = -5"},
        {"Refstr = ", "Refstr = \r\nSchedule = hourly", "Refstr = \r\nSchedule = hourly"},
        {"Refstr = ", "Refstr = \r\nSCHEDULE =  Daily ", "Refstr = \r\nSchedule = daily"},
        {"Refstr = ", "Refstr = \r\nSchedule = logon", "Refstr = \r\nSchedule = logon"},
        {"Refstr = ", "Refstr = \r\nSchedule = weekly", "Refstr = "},
        // The shorter and the longer intervals: words an older copy, which knows only
        // "hourly", "daily" and "logon", reads as no schedule, as it reads "weekly".
        {"Refstr = ", "Refstr = \r\nSchedule = 15min", "Refstr = \r\nSchedule = 15min"},
        {"Refstr = ", "Refstr = \r\nSchedule = 30MIN ", "Refstr = \r\nSchedule = 30min"},
        {"Refstr = ", "Refstr = \r\nSchedule = 3hours", "Refstr = \r\nSchedule = 3hours"},
        {"Refstr = ", "Refstr = \r\nSchedule = 6Hours", "Refstr = \r\nSchedule = 6hours"},
        {"Refstr = ", "Refstr = \r\nSchedule = 15", "Refstr = "},
        {"Refstr = ", "Refstr = \r\nSchedule = ", "Refstr = "},
        {"Refstr = ", "Refstr = \r\nMinWidth = 640\r\nSchedule = daily",
         "Refstr = \r\nMinWidth = 640\r\nSchedule = daily"},
        {"Refstr = ", "Refstr = \r\nEachScreen = 0", "Refstr = "},
        {"Refstr = ", "Refstr = \r\nEachScreen = 1", "Refstr = \r\nEachScreen = 1"},
        {"Refstr = ", "Refstr = \r\neachscreen = 2", "Refstr = \r\nEachScreen = 1"},
        {"Refstr = ", "Refstr = \r\nEachScreen = 1\r\nMinWidth = 9",
         "Refstr = \r\nMinWidth = 9\r\nEachScreen = 1"},
        {"Refstr = ", "Refstr = \r\nBackground = #1e3a5f", "Refstr = \r\nBackground = #1E3A5F"},
        {"Refstr = ", "Refstr = \r\nbackground =  000000 ", "Refstr = \r\nBackground = #000000"},
        {"Refstr = ", "Refstr = \r\nBackground = ", "Refstr = "},
        {"Refstr = ", "Refstr = \r\nBackground = #12345", "Refstr = "},
        {"Refstr = ", "Refstr = \r\nBackground = #12345G", "Refstr = "},
        {"Refstr = ", "Refstr = \r\nBackground = red", "Refstr = "},
        {"Refstr = ", "Refstr = \r\nBackground = #FFFFFF\r\nEachScreen = 1",
         "Refstr = \r\nEachScreen = 1\r\nBackground = #FFFFFF"},
        {"WpState = 2", "WpState = 3", "WpState = 3"},
        {"WpState = 2", "WpState = 4", "WpState = 4"},
        {"WpState = 2", "WpState = 4.4", "WpState = 4"},
    };
    for (const Row& row : rows) {
        std::string example = kExample;
        example.replace(example.find(row.original), std::string(row.original).size(), row.line);
        Program p = FreshProgram();
        ParseSettings(p, example);
        std::string written;
        ASSERT_TRUE(SettingsFileBytes(p, written));
        example.replace(example.find(row.line), std::string(row.line).size(), row.written);
        EXPECT_EQ(written, example) << row.line;
    }
    Program p = FreshProgram();
    ParseSettings(p, std::string(kExample) + "Filter = 1000001\r\nMinWidth = 640\r\n");
    EXPECT_TRUE(p.SiteEntries[1].Filter[6]);
    EXPECT_EQ(p.SiteEntries[1].MinWidth, 640);
    EXPECT_EQ(p.SiteEntries[1].Background, std::nullopt);
    ParseSettings(p, std::string(kExample) + "Background = #0080fF\r\n");
    EXPECT_EQ(p.SiteEntries[1].Background, 0x0080FFu);
    for (int style : {3, 4}) {
        ParseSettings(p, std::string(kExample) + "WpState = " + std::to_string(style) + "\r\n");
        EXPECT_EQ(p.SiteEntries[1].WpState, WallpaperStyle(style));
    }
}

TEST(SettingsFileTest, NoEntriesStillEndsWithDashLineAndReadsBackOneEmptyEntry) {
    Program p = FreshProgram();
    std::string written;
    ASSERT_TRUE(SettingsFileBytes(p, written));
    EXPECT_EQ(written,
              "'vexal   ver.1.00\r\n\r\nNewMsg = \r\nCacheFileName = \r\nWinFolderWPname = \r\nTimeOut = "
              "0\r\n-\r\n");
    Program q = FreshProgram();
    ParseSettings(q, written);
    ASSERT_EQ(q.EntryCount(), 1);
    EXPECT_EQ(q.SiteEntries[1], SiteEntry{});
}

TEST(SettingsFileTest, SeveralEntriesAreSeparatedByDashLinesOnly) {
    Program p = FreshProgram();
    p.SiteEntries.resize(3);
    p.SiteEntries[1].Name = "a";
    p.SiteEntries[2].Name = "b";
    p.SiteEntries[2].No_n = -3;
    std::string written;
    ASSERT_TRUE(SettingsFileBytes(p, written));
    EXPECT_NE(written.find("Refstr = \r\n-\r\nName = b\r\n"), std::string::npos);
    EXPECT_NE(written.find("No_n = -3\r\nRefstr = \r\n"), std::string::npos);
    EXPECT_EQ(written.substr(written.size() - 11), "Refstr = \r\n");
}

struct LineRow {
    const char* name;
    const char* line;
    const char* expectedName;
};

TEST(SettingsFileTest, KeyAndValueRules) {
    const LineRow rows[] = {
        {"noBlankAfterEqualsDropsOneCharacter", "Name=abc", "bc"},
        {"leadingBlanksSkipLine", "  Name = abc", ""},
        {"keyCaseIgnored", "NAME = abc", "abc"},
        {"blanksBeforeEquals", "Name   = abc", "abc"},
        {"trailingBlanksKept", "Name = abc  ", "abc  "},
        {"noEqualsSkipped", "Name abc", ""},
        {"digitFirstSkipped", "1Name = abc", ""},
        {"hashSkipped", "#Name = abc", ""},
        {"japaneseAfterEqualsIsDropped", "Name=識別", "別"},
    };
    for (const auto& row : rows) {
        Program p = FreshProgram();
        std::string bytes;
        Utf8ToCp932(std::string("-\r\n") + row.line + "\r\n", bytes);
        ParseSettings(p, bytes);
        EXPECT_EQ(p.SiteEntries[1].Name, row.expectedName) << row.name;
    }
}

TEST(SettingsFileTest, ValueConversions) {
    Program p = FreshProgram();
    ParseSettings(p,
                  "-\r\nRefstr = a=b\r\nFilter = 1\r\nExt = 0101x\r\nWpState = 2.5\r\nNo_n = 12abc\r\n"
                  "TimeOut = abc\r\nNo = 3.5\r\n");
    const SiteEntry& e = p.SiteEntries[1];
    EXPECT_EQ(e.Refstr, "a=b");
    EXPECT_EQ(e.Filter, (std::array<bool, 7>{true, false, false, false, false, false}));
    EXPECT_EQ(e.Ext, (std::array<bool, 5>{false, true, false, true, false}));
    EXPECT_EQ(e.WpState, WallpaperStyle{2});
    EXPECT_EQ(e.No_n, 12);
    EXPECT_EQ(p.TimeOut, 0);
    EXPECT_EQ(e.No, ChoiceMode{4});
}

TEST(SettingsFileTest, OutOfRangeNumbersClamp) {
    Program p = FreshProgram();
    ParseSettings(p, "TimeOut = 1e12\r\n-\r\nWpState = 300\r\nNo = -4\r\nNo_n = -99999999999\r\n");
    EXPECT_EQ(p.TimeOut, INT32_MAX);
    EXPECT_EQ(p.SiteEntries[1].WpState, WallpaperStyle{255});
    EXPECT_EQ(p.SiteEntries[1].No, ChoiceMode{0});
    EXPECT_EQ(p.SiteEntries[1].No_n, INT32_MIN);
}

TEST(SettingsFileTest, LineEndsAndPlacement) {
    Program p = FreshProgram();
    // Lone CR ends a line, a lone LF stays inside it, the last line has no line end,
    // a global after the entries still applies, entry keys above the first dash go to element 0.
    ParseSettings(p, "Name = zero\r-----\rName = one\nstill\r\nNewMsg = x\r\n-\r\nName = two");
    ASSERT_EQ(p.EntryCount(), 2);
    EXPECT_EQ(p.SiteEntries[0].Name, "zero");
    EXPECT_EQ(p.SiteEntries[1].Name, "one\nstill");
    EXPECT_EQ(p.SiteEntries[2].Name, "two");
    EXPECT_EQ(p.NewMsg, "x");
    std::string written;
    EXPECT_TRUE(SettingsFileBytes(p, written));
    EXPECT_EQ(written.find("zero"), std::string::npos);
}

// Regression: a file with LF line ends (what most Linux editors write) read as one line,
// so the editor showed no entries and its end button then saved the file empty.
TEST(SettingsFileTest, HandEditedFilesReadLineByLineAndWriteBackAsCodePage932CrLf) {
    const struct {
        const char* name;
        const char* text;
        bool utf8OnDisk;
    } rows[] = {
        {"lineFeeds", "NewMsg = (new)\nTimeOut = 30\n-\nName = a\nUrl = 写真/\n-\nName = b\n", false},
        {"carriageReturns", "NewMsg = (new)\rTimeOut = 30\r-\rName = a\rUrl = 写真/\r-\rName = b\r", false},
        {"utf8LineFeeds", "\xEF\xBB\xBFNewMsg = (new)\nTimeOut = 30\n-\nName = a\nUrl = 写真/\n-\nName = b",
         true},
    };
    for (const auto& row : rows) {
        // Read as LoadSettings reads it, where the file system says files may be UTF-8.
        testing::TestHost t;
        t.files.textMayBeUtf8 = true;
        t.files.files["vexal.ini"] = row.utf8OnDisk ? std::string(row.text) : Cp932(row.text);
        Program p = FreshProgram();
        ASSERT_TRUE(LoadSettings(p, t.files).Read());
        ASSERT_EQ(p.EntryCount(), 2) << row.name;
        EXPECT_EQ(p.NewMsg, "(new)") << row.name;
        EXPECT_EQ(p.TimeOut, 30) << row.name;
        EXPECT_EQ(p.SiteEntries[1].Url, "写真/") << row.name;
        EXPECT_EQ(p.SiteEntries[2].Name, "b") << row.name;
        std::string written;
        ASSERT_TRUE(SettingsFileBytes(p, written));
        EXPECT_NE(written.find("\r\nUrl = \x8E\xCA\x90\x5E/\r\n"), std::string::npos) << row.name;
        EXPECT_EQ(written.find("\n-\n"), std::string::npos) << row.name;
    }
    // Where files are code page 932 only (Windows), UTF-8 bytes are read as code page 932.
    testing::TestHost t;
    t.files.files["vexal.ini"] = "-\r\nUrl = 写真/\r\n";
    Program p = FreshProgram();
    ASSERT_TRUE(LoadSettings(p, t.files).Read());
    EXPECT_EQ(p.SiteEntries[1].Url, Cp932ToUtf8("写真/"));
}

TEST(SettingsFileTest, FlagsCountCharactersNotBytes) {
    Program p = FreshProgram();
    ParseSettings(p, Cp932("-\r\nFilter = ア1\r\nExt = 1ア1\r\n"));
    EXPECT_EQ(p.SiteEntries[1].Filter, (std::array<bool, 7>{false, true, false, false, false, false}));
    EXPECT_EQ(p.SiteEntries[1].Ext, (std::array<bool, 5>{true, false, true, false, false}));
}

TEST(SettingsFileTest, LaterLineWins) {
    Program p = FreshProgram();
    ParseSettings(p, "-\r\nName = a\r\nName = b\r\n");
    EXPECT_EQ(p.SiteEntries[1].Name, "b");
}

TEST(SettingsFileTest, JapaneseNamesAndCommentsSurviveRoundTrip) {
    Program p = FreshProgram();
    p.NewMsg = "（新規）";
    p.SiteEntries.resize(2);
    p.SiteEntries[1].Name = "ka";
    p.SiteEntries[1].Url = "C:\\写真\\";
    p.SiteEntries[1].Comment = "一行目\r\n二行目 \\ 表";
    p.SiteEntries[1].Refstr = "ソ";  // 0x835C: its trail byte is a backslash
    std::string bytes;
    ASSERT_TRUE(SettingsFileBytes(p, bytes));
    Program q = FreshProgram();
    ParseSettings(q, bytes);
    EXPECT_EQ(q.NewMsg, p.NewMsg);
    EXPECT_EQ(q.SiteEntries[1], p.SiteEntries[1]);
}

// Regression: one character outside code page 932 (a path with "é") made every save fail.
TEST(SettingsFileTest, TextOutsideCodePage932IsWrittenAsUtf8WithByteOrderMark) {
    const struct {
        const char* name;
        const char* field;  // what goes into the second entry's fields
    } rows[] = {
        {"accentInPath", "/home/me/Images/été/"},
        {"emojiInComment", "smile 😀"},
        {"hangulInName", "한국어"},
    };
    for (const auto& row : rows) {
        testing::TestHost t;
        Program p = FreshProgram();
        p.SiteEntries.resize(3);
        p.SiteEntries[1].Name = "photos";
        p.SiteEntries[1].Url = "C:\\写真\\";
        p.SiteEntries[2].Name = std::string("n") + row.field;
        p.SiteEntries[2].Url = row.field;
        p.SiteEntries[2].Comment = std::string(row.field) + "\r\n2";
        p.SiteEntries[2].Refstr = row.field;
        ASSERT_EQ(SaveSettings(p, t.files), SaveResult::Saved) << row.name;
        const std::string& bytes = t.files.files["vexal.ini"];
        std::string text;
        ASSERT_FALSE(Utf8ToCp932(bytes.substr(3), text)) << row.name;
        EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF") << row.name;
        EXPECT_NE(bytes.find("\r\nName = photos\r\nUrl = C:\\写真\\\r\n"), std::string::npos) << row.name;
        // Read back as it was, also where plain files are taken for code page 932 only.
        for (bool acceptUtf8 : {true, false}) {
            Program q = FreshProgram();
            ParseSettings(q, bytes, acceptUtf8);
            ASSERT_EQ(q.EntryCount(), 2) << row.name;
            EXPECT_EQ(q.SiteEntries[1], p.SiteEntries[1]) << row.name;
            EXPECT_EQ(q.SiteEntries[2], p.SiteEntries[2]) << row.name;
        }
        // Once the character is gone, the file is code page 932 again.
        p.SiteEntries.resize(2);
        ASSERT_EQ(SaveSettings(p, t.files), SaveResult::Saved) << row.name;
        EXPECT_EQ(t.files.files["vexal.ini"].find("\xEF\xBB\xBF"), std::string::npos) << row.name;
        EXPECT_NE(t.files.files["vexal.ini"].find(Cp932("写真")), std::string::npos) << row.name;
    }
}

#ifdef VEXAL_UTF8_SETTINGS
// The file both programs' tests read: what either program writes for these entries, byte
// for byte, so a file saved on one system is read by the other.
TEST(SettingsFileTest, Utf8FileIsTheOneEveryProgramWrites) {
    Program p = FreshProgram();
    testing::MemoryFileSystem noFile;
    EXPECT_EQ(LoadSettings(p, noFile).kind, SettingsReadKind::Missing);  // the first-run settings
    p.SiteEntries.resize(3);
    SiteEntry& ete = p.SiteEntries[1];
    ete.Name = "ete";
    ete.Url = "Tableau-été.bmp";
    ete.Comment = "Lumière 🌸\r\n写真";
    ete.Ext = {false, false, false, true, false};
    ete.WpState = WallpaperStyle{2};
    ete.No_n = 1;
    SiteEntry& sakura = p.SiteEntries[2];
    sakura.Name = "Sakura";
    sakura.Url = "桜.bmp";
    sakura.Ext = ete.Ext;
    sakura.No_n = 1;
    std::ifstream in(VEXAL_UTF8_SETTINGS, std::ios::binary);
    const std::string fixture((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(fixture.empty()) << VEXAL_UTF8_SETTINGS;
    std::string written;
    EXPECT_FALSE(SettingsFileBytes(p, written));
    EXPECT_EQ(written, fixture);
    Program q = FreshProgram();
    ParseSettings(q, fixture, true);
    ASSERT_EQ(q.EntryCount(), 2);
    EXPECT_EQ(q.SiteEntries[1], ete);
    EXPECT_EQ(q.SiteEntries[2], sakura);
}
#endif

// Regression: a first run saved empty settings, and every later run then failed.
TEST(SettingsFileTest, MissingFileGivesWorkingDefaultsNoEntriesAndCreatesNothing) {
    testing::TestHost t;
    Program p = FreshProgram();
    p.SiteEntries.resize(3);
    EXPECT_EQ(LoadSettings(p, t.files).kind, SettingsReadKind::Missing);
    EXPECT_EQ(p.EntryCount(), 0);
    EXPECT_EQ(p.NewMsg, "(新規)");
    EXPECT_EQ(p.CacheFileName, "wpcache");
    EXPECT_EQ(p.WinFolderWPname, "wallpaper.bmp");
    EXPECT_EQ(p.TimeOut, 30);
    EXPECT_TRUE(t.files.files.empty());

    // Regression: a file that lacked a key left it empty, and an empty WinFolderWPname made
    // the data folder itself the bitmap's path. Missing keys keep their defaults; keys
    // present, even empty, are taken as written.
    t.files.files["vexal.ini"] = "TimeOut = 5\r\nCacheFileName = \r\n-\r\nName = a\r\n";
    Program q = FreshProgram();
    ASSERT_TRUE(LoadSettings(q, t.files).Read());
    EXPECT_EQ(q.EntryCount(), 1);
    EXPECT_EQ(q.NewMsg, "(新規)");
    EXPECT_EQ(q.CacheFileName, "");
    EXPECT_EQ(q.WinFolderWPname, "wallpaper.bmp");
    EXPECT_EQ(q.TimeOut, 5);

    // A file with every key is written back byte for byte.
    t.files.files["vexal.ini"] = kExample;
    Program r = FreshProgram();
    ASSERT_TRUE(LoadSettings(r, t.files).Read());
    std::string written;
    ASSERT_TRUE(SettingsFileBytes(r, written));
    EXPECT_EQ(written, kExample);
}

TEST(SettingsFileTest, OnlyBareNamesNameTheWorkingCopyAndTheBitmap) {
    const struct {
        const char* name;
        bool bare;
        bool own = false;  // bare, but one of the program's own files: refused all the same
    } rows[] = {
        {"wallpaper.bmp", true},
        {"wpcache", true},
        {".bmp", true},
        {"a..b", true},
        {"壁紙.bmp", true},
        {"", false},
        {".", false},
        {"..", false},
        {"/", false},
        {"sub/a.bmp", false},
        {"a\\b", false},
        {"../x", false},
        {"/tmp/x", false},
        {"C:\\x", false},
        {"x/", false},
        // A name relative to drive C's current folder, and a file's alternate data stream,
        // on Windows; elsewhere ':' is an ordinary character.
        {"C:evil.bmp", !kColonRefusedInFileNames},
        {"evil.bmp:ads", !kColonRefusedInFileNames},
        {":", !kColonRefusedInFileNames},
        // Windows' device names, its pattern and redirection characters, and the trailing
        // dot or blank it drops ("trail.bmp." was written as trail.bmp, set as trail.bmp.).
        {"CON", !kWindowsFileNameRules},
        {"nul.bmp", !kWindowsFileNameRules},
        {"Aux.tar.gz", !kWindowsFileNameRules},
        {"com1", !kWindowsFileNameRules},
        {"LPT9.txt", !kWindowsFileNameRules},
        {"prn .bmp", !kWindowsFileNameRules},
        {"x?.bmp", !kWindowsFileNameRules},
        {"a*.bmp", !kWindowsFileNameRules},
        {"a|b", !kWindowsFileNameRules},
        {"<a>.bmp", !kWindowsFileNameRules},
        {"\"q\".bmp", !kWindowsFileNameRules},
        {"tab\t.bmp", !kWindowsFileNameRules},
        {"trail.bmp.", !kWindowsFileNameRules},
        {"trail.bmp ", !kWindowsFileNameRules},
        {"com0.bmp", true},
        {"com10.bmp", true},
        {"console.bmp", true},
        {"lpt.bmp", true},
        // Regression: the bitmap written over the run lock or the history.
        {".vexal-lock", true, true},
        {"history.txt", true, true},
        {"HISTORY.TXT", true, kWindowsFileNameRules},
        {"wallpaper-style", true, true},
        {"last-run-photos", true, true},
        {"schedule.log", true, true},
        {"vexal-back-1.bmp", true, true},
        {"vexal-back-12-3.bmp", true, true},
        {"vexal-next-2.bmp", true, true},
        {"vexal-next-1-2.bmp", true, true},
        {".vexal-tmp-42-wallpaper.bmp", true, true},
        {"vexal.ini", true, true},
        {"VEXAL.ini", true, kWindowsFileNameRules},
        {"vexal-back-x.bmp", true, false},
        {"history.txt.bmp", true, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(IsBareFileName(r.name), r.bare) << r.name;
        const bool usable = r.bare && !r.own;
        Program p = FreshProgram();
        p.SettingsFileName = std::string("dir") + kFolderSeparator + "vexal.ini";
        p.CacheFileName = "wpcache";
        p.WinFolderWPname = r.name;
        EXPECT_STREQ(UnusableFileNameKey(p), usable ? nullptr : "WinFolderWPname") << r.name;
        p.WinFolderWPname = "wallpaper.bmp";
        p.CacheFileName = r.name;
        EXPECT_STREQ(UnusableFileNameKey(p), usable ? nullptr : "CacheFileName") << r.name;
    }
}

struct CommentRow {
    const char* name;
    const char* text;
    const char* stored;
    const char* readBack;
};

TEST(CommentEscapingTest, EscapeAndUnescape) {
    const CommentRow rows[] = {
        {"backslashDoubled", "C:\\pics", "C:\\\\pics", "C:\\pics"},
        {"crlf", "a\r\nb", "a\\nb", "a\r\nb"},
        {"loneCr", "a\rb", "a\\nb", "a\r\nb"},
        {"loneLf", "a\nb", "a\\nb", "a\r\nb"},
        {"crThenCrlf", "a\r\r\nb", "a\\n\\nb", "a\r\n\r\nb"},
        {"backslashN", "\\n", "\\\\n", "\\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(EscapeComment(row.text), row.stored) << row.name;
        EXPECT_EQ(UnescapeComment(row.stored), row.readBack) << row.name;
    }
    EXPECT_EQ(UnescapeComment("a\\tb"), "a\\tb");
    EXPECT_EQ(UnescapeComment("a\\Nb"), "a\\Nb");
    EXPECT_EQ(UnescapeComment("end\\"), "end\\");
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

TEST(SettingsFileHostileTest, HugeFilesReadInLinearTime) {
    // 100,000 entries, a 10 MB line and a file of about 100 MB in total.
    std::string bytes = "'vexal   ver.1.00\r\n\r\nTimeOut = 5\r\n-\r\n";
    for (int i = 0; i < 100000; ++i) {
        bytes += "Name = e" + std::to_string(i) + "\r\nUrl = C:\\p\\\r\nExt = 1111\r\n-\r\n";
    }
    bytes += "Comment = " + std::string(10 * 1024 * 1024, 'x') + "\r\n";
    bytes += std::string(80 * 1024 * 1024, '\r');
    Program p;
    InitGlobals(p, 1, 0);
    ParseSettings(p, bytes);
    EXPECT_EQ(p.EntryCount(), 100001);
    EXPECT_EQ(p.SiteEntries[100000].Name, "e99999");
    EXPECT_EQ(p.SiteEntries[100001].Comment.size(), 10u * 1024 * 1024);
    std::string written;
    ASSERT_TRUE(SettingsFileBytes(p, written));
    Program q;
    InitGlobals(q, 1, 0);
    ParseSettings(q, written);
    EXPECT_EQ(q.SiteEntries, p.SiteEntries);
}

TEST(SettingsFileHostileTest, BinaryGarbageNeverCrashes) {
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes.push_back(static_cast<char>((i * 7919) % 256));
    Program p;
    InitGlobals(p, 1, 0);
    ParseSettings(p, bytes);
    // Every entry read is written. Writing normalises (a lone LF in a comment comes back
    // as CR LF; a file without entries still ends in "-", which starts one), so from the
    // first written file on, reading and writing again changes nothing.
    std::string written;
    ASSERT_TRUE(SettingsFileBytes(p, written));
    Program q;
    InitGlobals(q, 1, 0);
    ParseSettings(q, written);
    EXPECT_GE(q.EntryCount(), p.EntryCount());
    std::string again;
    ASSERT_TRUE(SettingsFileBytes(q, again));
    Program r;
    InitGlobals(r, 1, 0);
    ParseSettings(r, again);
    EXPECT_EQ(r.SiteEntries, q.SiteEntries);
    std::string third;
    ASSERT_TRUE(SettingsFileBytes(r, third));
    EXPECT_TRUE(third == again) << "a written file does not read back as itself";
}

}  // namespace
}  // namespace vexal
