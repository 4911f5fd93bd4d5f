// What start-up takes from Windows: the argument text of the raw command line, and the
// version from the program's own version resource (this test program carries 3.7).
#include "platform/win32/startup_info.h"

#include <gtest/gtest.h>

namespace vexal::win32 {
namespace {

TEST(ArgumentTextTest, ProgramNameAndTheBlanksAfterItAreSkipped) {
    const struct {
        const char* name;
        const wchar_t* commandLine;
        const char* arguments;
    } rows[] = {
        {"bare program", L"vexal.exe", ""},
        {"bare program, blanks", L"vexal.exe   ", ""},
        {"one identifier", L"vexal.exe sample", "sample"},
        {"quoted path with a blank", L"\"C:\\Program Files\\vexal\\vexal.exe\" -wp C:\\a.jpg",
         "-wp C:\\a.jpg"},
        {"argument right after the quote", L"\"C:\\x y\\vexal.exe\"sample", "sample"},
        {"tab after the program", L"vexal.exe\t-preview", "-preview"},
        // Blanks inside and at the end stay: the cutting rules count them.
        {"inner and trailing blanks kept", L"vexal.exe   a  b ", "a  b "},
        {"quotes in arguments are ordinary", L"vexal.exe -wp \"C:\\My Pictures\\a.jpg\"",
         "-wp \"C:\\My Pictures\\a.jpg\""},
        {"unterminated quote", L"\"C:\\vexal.exe -wp", ""},
        {"empty", L"", ""},
        {"non-ASCII argument", L"vexal.exe \u58c1\u7d19", "\u58c1\u7d19"},
    };
    for (const auto& row : rows) EXPECT_EQ(ArgumentText(row.commandLine), row.arguments) << row.name;
}

TEST(ReadProgramVersionTest, ComesFromTheVersionResource) {
    int major = -1, minor = -1;
    ASSERT_TRUE(ReadProgramVersion(major, minor));
    EXPECT_EQ(major, 3);
    EXPECT_EQ(minor, 7);
}

}  // namespace
}  // namespace vexal::win32
