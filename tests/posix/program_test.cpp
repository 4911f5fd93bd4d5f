// The real vexal executable, run without a display: message lines and exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>

#include "posix/temp_dir.h"

#ifdef VEXAL_BINARY
namespace vexal {
namespace {

struct RunResult {
    int status = -1;
    std::string err;
};

// Runs vexal in `dir` with VEXAL_NONINTERACTIVE=1 and collects standard error.
RunResult RunVexal(const std::string& dir, const std::string& args) {
    const std::string cmd = "cd '" + dir + "' && VEXAL_NONINTERACTIVE=1 '" VEXAL_BINARY "' " + args + " 2>&1 >/dev/null";
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
    };
    for (auto [args, expected] : rows) {
        RunResult r = RunVexal(dir.path(), args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, expected) << args;
    }
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
