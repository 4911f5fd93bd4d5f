// The desktop programs' settings text: values as Qt and GLib write and read them, and
// changes that leave every other line as it was.
#include "platform/linux/ini_text.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "posix/temp_dir.h"

namespace vexal {
namespace {

TEST(IniTextTest, QtStringsBothWays) {
    const struct {
        const char* name;
        std::string value;
        std::string written;
    } rows[] = {
        {"plain", "/home/me/shown-1.bmp", "/home/me/shown-1.bmp"},
        {"blankAtTheEnd", "/a ", "\"/a \""},
        // As pcmanfm-qt 1.2 (Qt 5) wrote a picture's path.
        {"pcmanfmQt", "/tmp/a b,c=\xC3\xA9;\"x\"1\xE6\x97\xA5.bmp", R"("/tmp/a b,c=\xe9;\"x\"1\x65e5.bmp")"},
        // Qt reads every hex digit after "\x" into the one character.
        {"hexDigitsAfterAnEscape",
         "/\xE6\x97\xA5"
         "a1.bmp",
         R"(/\x65e5\x61\x31.bmp)"},
        {"outsideTheBmp", "/\xF0\x9F\x98\x80", R"(/\xd83d\xde00)"},
        {"backslashAndTab", "/a\\b\tc", R"(/a\\b\tc)"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(QtIniString(r.value), r.written) << r.name;
        std::string read;
        EXPECT_TRUE(FromQtIniString(r.written, read)) << r.name;
        EXPECT_EQ(read, r.value) << r.name;
    }
    const struct {
        const char* name;
        const char* written;
        bool ok;
        std::string value;
    } reads[] = {
        {"utf8AsQt6WritesIt", "/\xC3\xA9t\xC3\xA9", true, "/\xC3\xA9t\xC3\xA9"},
        {"blanksAroundDropped", "  /a  ", true, "/a"},
        {"aList", "/a, /b", false, ""},
        {"unclosedQuotes", "\"/a", false, ""},
    };
    for (const auto& r : reads) {
        std::string read = "before";
        EXPECT_EQ(FromQtIniString(r.written, read), r.ok) << r.name;
        EXPECT_EQ(read, r.value) << r.name;
    }
    EXPECT_EQ(KeyFileString(" a\\b\n"), "\\sa\\\\b\\n");
    EXPECT_EQ(FromKeyFileString("\\sa\\\\b\\n\\tc"), " a\\b\n\tc");
}

TEST(IniTextTest, ValuesChangeWhereTheyStand) {
    const std::vector<std::pair<std::string, std::string>> values = {{"k", "new"}, {"m", "2"}};
    const struct {
        const char* name;
        const char* text;
        const char* changed;
    } rows[] = {
        {"inPlace", "[A]\nm=1\nx=1\nk=old\n", "[A]\nm=2\nx=1\nk=new\n"},
        {"otherSectionsUntouched", "[B]\nk=b\n[A]\nk=a\nm=1\n", "[B]\nk=b\n[A]\nk=new\nm=2\n"},
        {"missingAtTheSectionsEnd", "[A]\nx=1\n\n[B]\ny=2\n", "[A]\nx=1\nk=new\nm=2\n\n[B]\ny=2\n"},
        {"missingSection", "[B]\ny=2", "[B]\ny=2\n\n[A]\nk=new\nm=2\n"},
        {"empty", "", "[A]\nk=new\nm=2\n"},
        {"lineEndsKept", "[A]\r\nk = old\r\n; m=1\r\n", "[A]\r\nk=new\r\n; m=1\r\nm=2\r\n"},
        {"firstOfATwiceWrittenSection", "[A]\nk=1\n[A]\nk=2\n", "[A]\nk=new\nm=2\n[A]\nk=2\n"},
    };
    for (const auto& r : rows) EXPECT_EQ(WithIniValues(r.text, "A", values), r.changed) << r.name;
    EXPECT_EQ(IniSection("[A]\nk = 1 \n[B]\nk=2\n[A]\n#j=0\nk=3\n", "A"),
              (std::map<std::string, std::string>{{"k", "3"}}));
}

TEST(IniTextTest, FileIsReplacedThroughItsLinkAndKeepsItsMode) {
    testing::TempDir dir;
    const std::string real = dir / "real.conf", link = dir / "link.conf";
    std::ofstream(real) << "old";
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(ReplaceFileText(link, "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    std::ifstream in(real);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "no file left beside";

    ASSERT_TRUE(ReplaceFileText(dir / "made/below/new.conf", "x")) << "missing folders are made";
    EXPECT_FALSE(ReplaceFileText(real + "/below.conf", "x")) << "below a file";
}

// A read error partway (here a folder; in use, a process ending while its /proc files are
// read) must end the text, not throw out of the program.
TEST(IniTextTest, FileTextIsWhatCanBeRead) {
    testing::TempDir dir;
    std::ofstream(dir / "a.conf") << std::string(40000, 'x');
    EXPECT_EQ(ReadFileText(dir / "a.conf"), std::string(40000, 'x'));
    EXPECT_EQ(ReadFileText(dir.path()), "");
    EXPECT_EQ(ReadFileText(dir / "missing.conf"), "");
    EXPECT_NE(ReadFileText("/proc/self/cmdline"), "");
}

}  // namespace
}  // namespace vexal
