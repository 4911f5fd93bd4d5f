// The real vexal executable: message lines, exit statuses, --help and --version.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>

#include "posix/temp_dir.h"
#include "posix/xvfb_server.h"

#ifdef VEXAL_BINARY
namespace vexal {
namespace {

struct RunResult {
    int status = -1;
    std::string err;  // or standard output, when that was asked for
};

// Runs vexal in `dir` with the environment changes `env` (by default VEXAL_NONINTERACTIVE=1)
// and collects standard error, or standard output instead.
RunResult RunVexal(const std::string& dir, const std::string& args, bool standardOutput = false,
                   const std::string& env = "VEXAL_NONINTERACTIVE=1") {
    const std::string cmd = "cd '" + dir + "' && env " + env + " '" VEXAL_BINARY "' " + args +
                            (standardOutput ? " 2>/dev/null" : " 2>&1 >/dev/null");
    RunResult r;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) r.err.append(buf.data(), n);
    int st = ::pclose(pipe);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

TEST(ProgramTest, CommandLineErrorsGoToStandardError) {
    testing::TempDir dir;
    const std::pair<const char*, const char*> rows[] = {
        {"123", "vexal 1.00: 起動時オプション 123 が無効です。\n"},
        {"-wp", "vexal 1.00: -wp オプションにはサブオプションとして URL/ファイル が必要です。\n"},
        {"nosuch -preview", "vexal 1.00: 指定された識別子 nosuch が見つかりません。\n"},
        // Regression: without a display the editor cannot be shown, and the run used to
        // end silently with status 0.
        {"",
         "vexal 1.00: 画面がないため、エントリの編集画面を開けません。識別子を指定して起動してください。\n"},
        {"-wp nothere.png", "vexal 1.00: 画像ファイル nothere.png が見つかりません。\n"},
    };
    // Standard error holds the program's lines alone, also with a display beside the
    // unattended run and no runtime folder.
    testing::XvfbServer xvfb;
    ASSERT_FALSE(xvfb.display().empty());
    for (const std::string& env : {std::string("VEXAL_NONINTERACTIVE=1"),
                                   "-u XDG_RUNTIME_DIR VEXAL_NONINTERACTIVE=1 DISPLAY=" + xvfb.display()}) {
        for (auto [args, expected] : rows) {
            RunResult r = RunVexal(dir.path(), args, false, env);
            EXPECT_EQ(r.status, 1) << args << " with " << env;
            EXPECT_EQ(r.err, expected) << args << " with " << env;
        }
    }
}

TEST(ProgramTest, HelpAndVersionGoToStandardOutput) {
    testing::TempDir dir;
    testing::XvfbServer xvfb;
    ASSERT_FALSE(xvfb.display().empty());
    // Unattended, without any display, and with the windows' toolkit started on a display,
    // also without a runtime folder (Qt's warning about it once came first on standard error).
    const std::string envs[] = {
        "VEXAL_NONINTERACTIVE=1", "-u DISPLAY -u WAYLAND_DISPLAY",
        "-u WAYLAND_DISPLAY -u VEXAL_NONINTERACTIVE -u XDG_RUNTIME_DIR DISPLAY=" + xvfb.display()};
    for (const std::string& env : envs) {
        RunResult version = RunVexal(dir.path(), "--version", true, env);
        EXPECT_EQ(version.status, 0) << env;
        EXPECT_EQ(version.err, "vexal 1.00\n") << env;
        RunResult help = RunVexal(dir.path(), "--help", true, env);
        EXPECT_EQ(help.status, 0) << env;
        EXPECT_EQ(help.err.rfind("使い方:\n  vexal ", 0), 0u) << env << help.err;
        EXPECT_NE(help.err.find("vexal --version"), std::string::npos) << env;
        EXPECT_EQ(RunVexal(dir.path(), "--help", false, env).err, "") << "nothing on standard error";
    }
    EXPECT_EQ(RunVexal(dir.path(), "--helpme").err, "vexal 1.00: 起動時オプション --helpme が無効です。\n");
}

TEST(ProgramTest, EntriesComeFromSettingsFileInCurrentFolder) {
    testing::TempDir dir;
    {
        std::ofstream ini(dir / "vexal.ini", std::ios::binary);
        ini << "'vexal   ver.1.00\r\n\r\n-\r\nName = Mine\r\nUrl = \r\n";
    }
    RunResult r = RunVexal(dir.path(), "other");
    EXPECT_EQ(r.err, "vexal 1.00: 指定された識別子 other が見つかりません。\n");
    EXPECT_EQ(r.status, 1);
}

}  // namespace
}  // namespace vexal
#endif
