// What start-up takes from Windows: the argument text of the raw command line, the
// version from the program's own version resource (this test program carries 3.7), and
// whether two spellings name one folder.
#include "platform/win32/startup_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/utf16.h"
#include "win32/win_temp_dir.h"

namespace vexal::win32 {
namespace {

TEST(ArgumentTextTest, ProgramNameAndTheBlanksAfterItAreSkipped) {
    // `tail` is what the console companion hands on after vexal.exe's own name: everything
    // after the program name, blanks included, so both programs read the same arguments.
    const struct {
        const char* name;
        const wchar_t* commandLine;
        const char* arguments;
        const wchar_t* tail;
    } rows[] = {
        {"bare program", L"vexal.exe", "", L""},
        {"bare program, blanks", L"vexal.exe   ", "", L"   "},
        {"one identifier", L"vexal.exe sample", "sample", L" sample"},
        {"quoted path with a blank", L"\"C:\\Program Files\\vexal\\vexal.exe\" -wp C:\\a.jpg",
         "-wp C:\\a.jpg", L" -wp C:\\a.jpg"},
        {"argument right after the quote", L"\"C:\\x y\\vexal.exe\"sample", "sample", L"sample"},
        {"tab after the program", L"vexal.exe\t-preview", "-preview", L"\t-preview"},
        // Blanks inside and at the end stay: the cutting rules count them.
        {"inner and trailing blanks kept", L"vexal.exe   a  b ", "a  b ", L"   a  b "},
        {"quotes in arguments are ordinary", L"vexal.exe -wp \"C:\\My Pictures\\a.jpg\"",
         "-wp \"C:\\My Pictures\\a.jpg\"", L" -wp \"C:\\My Pictures\\a.jpg\""},
        {"unterminated quote", L"\"C:\\vexal.exe -wp", "", L""},
        {"empty", L"", "", L""},
        {"non-ASCII argument", L"vexal.exe \u4f11\u65e5\u306e\u5199\u771f", "休日の写真",
         L" \u4f11\u65e5\u306e\u5199\u771f"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ArgumentText(row.commandLine), row.arguments) << row.name;
        EXPECT_EQ(std::wstring(CommandLineTail(row.commandLine)), row.tail) << row.name;
    }
}

TEST(ReadProgramVersionTest, ComesFromTheVersionResource) {
    int major = -1, minor = -1;
    ASSERT_TRUE(ReadProgramVersion(major, minor));
    EXPECT_EQ(major, 3);
    EXPECT_EQ(minor, 7);
}

// Regression: the folders were compared by name, so a start in the program's own folder
// under another spelling of it counted as a start elsewhere.
TEST(SameFolderTest, OneFolderUnderAnySpellingAndNoOther) {
    testing::WinTempDir dir;
    const std::string folder = dir / "Program Files vexal";
    ASSERT_TRUE(::CreateDirectoryW(Widen(folder).c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(Widen(folder + "\\sub").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(Widen(dir / "other").c_str(), nullptr));
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(::GetShortPathNameW(Widen(folder).c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(Narrow(shortName), folder) << "a name that is no 8.3 name has a short one";
    std::string upper = folder;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const struct {
        const char* name;
        std::string other;
        bool same;
    } rows[] = {
        {"itself", folder, true},
        {"trailing separator", folder + "\\", true},
        {"letter case", upper, true},
        {"short name", Narrow(shortName), true},
        {"through a subfolder", folder + "\\sub\\..", true},
        {"forward slashes", folder + "/sub/../", true},
        {"a sibling", dir / "other", false},
        {"its parent", dir.path(), false},
        {"its subfolder", folder + "\\sub", false},
        {"missing", dir / "missing", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SameFolder(folder, row.other), row.same) << row.name;
        EXPECT_EQ(SameFolder(row.other, folder), row.same) << row.name;
    }
    // "" is the current folder.
    ASSERT_TRUE(::SetCurrentDirectoryW(shortName));
    EXPECT_TRUE(SameFolder("", folder + "\\"));
    ASSERT_TRUE(::SetCurrentDirectoryW(Widen(dir / "other").c_str()));
    EXPECT_FALSE(SameFolder("", folder));
    ::SetCurrentDirectoryW(Widen(dir.path() + "..").c_str());  // the folder can go
}

}  // namespace
}  // namespace vexal::win32
