// The real vexal executable: message lines, exit statuses, --help and --version.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "app/startup.h"
#include "posix/program_runner.h"
#include "posix/temp_dir.h"
#include "posix/xvfb_server.h"

#ifdef VEXAL_BINARY
namespace vexal {
namespace {

// Runs vexal in `dir` with `env` (by default VEXAL_NONINTERACTIVE=1 alone); `args` is cut at
// every blank, as the program cuts its own command line.
testing::ProgramRun RunVexal(const std::string& dir, const std::string& args,
                             const std::map<std::string, std::string>& env = {
                                 {"VEXAL_NONINTERACTIVE", "1"}}) {
    testing::ProgramOptions options;
    options.dir = dir;
    options.env = env;
    return testing::RunProgram(VEXAL_BINARY, CutTokens(args), options);
}

TEST(ProgramTest, CommandLineErrorsGoToStandardError) {
    testing::TempDir dir;
    const std::pair<const char*, std::string> rows[] = {
        {"123", "vexal 1.00: 起動時オプション 123 が無効です。\n"},
        {"-wp", "vexal 1.00: -wp オプションにはサブオプションとして URL/ファイル が必要です。\n"},
        // Which file was looked for, in full: the run may not be in the folder the user thinks.
        {"nosuch -preview", "vexal 1.00: 指定された識別子 nosuch が見つかりません。\r\n設定ファイル " +
                                dir.path() + "/vexal.ini も " + dir.path() +
                                "/home/vexal.ini もありません。\n"},
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
    std::filesystem::create_directory(dir / "home");
    const std::map<std::string, std::string> envs[] = {
        {{"VEXAL_NONINTERACTIVE", "1"}, {"HOME", dir / "home"}},
        {{"VEXAL_NONINTERACTIVE", "1"}, {"HOME", dir / "home"}, {"DISPLAY", xvfb.display()}},
    };
    for (const auto& env : envs) {
        for (auto [args, expected] : rows) {
            testing::ProgramRun r = RunVexal(dir.path(), args, env);
            EXPECT_EQ(r.status, 1) << args << " with " << env.size() << " variables";
            EXPECT_EQ(r.err, expected) << args << " with " << env.size() << " variables";
        }
    }
}

TEST(ProgramTest, HelpAndVersionGoToStandardOutput) {
    testing::TempDir dir;
    testing::XvfbServer xvfb;
    ASSERT_FALSE(xvfb.display().empty());
    // Unattended, without any display, and with the windows' toolkit started on a display
    // without a runtime folder (Qt's warning about it once came first on standard error).
    const struct {
        const char* name;
        std::map<std::string, std::string> env;
    } rows[] = {
        {"unattended", {{"VEXAL_NONINTERACTIVE", "1"}}},
        {"noDisplay", {{"HOME", dir.path()}}},
        {"display", {{"HOME", dir.path()}, {"DISPLAY", xvfb.display()}}},
    };
    for (const auto& row : rows) {
        const testing::ProgramRun version = RunVexal(dir.path(), "--version", row.env);
        EXPECT_EQ(version.status, 0) << row.name;
        EXPECT_EQ(version.out, "vexal 1.00\n") << row.name;
        const testing::ProgramRun help = RunVexal(dir.path(), "--help", row.env);
        EXPECT_EQ(help.status, 0) << row.name;
        EXPECT_EQ(help.out.rfind("使い方:\n  vexal ", 0), 0u) << row.name << help.out;
        EXPECT_NE(help.out.find("vexal --version"), std::string::npos) << row.name;
        EXPECT_EQ(help.err, "") << row.name << ": nothing on standard error";
    }
    EXPECT_EQ(RunVexal(dir.path(), "--helpme").err, "vexal 1.00: 起動時オプション --helpme が無効です。\n");
}

// The same failure and the same help in the user's language: English where the locale names
// another language than Japanese, Japanese where it is Japanese, C, POSIX or not set at all.
TEST(ProgramTest, MessagesInTheUsersLanguage) {
    testing::TempDir dir;
    {
        std::ofstream ini(dir / "vexal.ini", std::ios::binary);
        ini << "'vexal   ver.1.00\r\n\r\n-\r\nName = Mine\r\nUrl = \r\n";
    }
    const std::string japanese =
        "vexal 1.00: 指定された識別子 NOSUCHENTRY が見つかりません。\r\n設定ファイル " + dir.path() +
        "/vexal.ini に登録されていません。\n";
    const std::string english =
        "vexal 1.00: The identifier NOSUCHENTRY was not found.\r\n"
        "It is not registered in the settings file " +
        dir.path() + "/vexal.ini.\n";
    const struct {
        const char* name;
        std::map<std::string, std::string> env;
        bool english;
    } rows[] = {
        {"unset", {}, false},
        {"Japanese", {{"LANG", "ja_JP.UTF-8"}}, false},
        {"C", {{"LANG", "C"}}, false},
        {"C.UTF-8", {{"LC_ALL", "C.UTF-8"}}, false},
        {"English", {{"LANG", "en_US.UTF-8"}}, true},
        {"German messages", {{"LANG", "ja_JP.UTF-8"}, {"LC_MESSAGES", "de_DE.UTF-8"}}, true},
        {"LC_ALL=C over English", {{"LANG", "en_US.UTF-8"}, {"LC_ALL", "C"}}, false},
        {"VEXAL_LANG=en over Japanese", {{"LANG", "ja_JP.UTF-8"}, {"VEXAL_LANG", "en"}}, true},
        {"VEXAL_LANG=ja over English", {{"LANG", "en_US.UTF-8"}, {"VEXAL_LANG", "ja"}}, false},
    };
    for (const auto& row : rows) {
        std::map<std::string, std::string> env = row.env;
        env["VEXAL_NONINTERACTIVE"] = "1";
        const testing::ProgramRun failed = RunVexal(dir.path(), "NOSUCHENTRY", env);
        EXPECT_EQ(failed.status, 1) << row.name;
        EXPECT_EQ(failed.err, row.english ? english : japanese) << row.name;
        const testing::ProgramRun help = RunVexal(dir.path(), "--help", env);
        EXPECT_EQ(help.status, 0) << row.name;
        EXPECT_EQ(help.out.rfind(
                      row.english ? "Usage:\n  vexal                     Opens the editor" : "使い方:\n", 0),
                  0u)
            << row.name << help.out;
        // The settings file's paragraph comes in the same language as the rest.
        EXPECT_NE(
            help.out.find(row.english ? "The settings file vexal.ini is read" : "設定ファイル vexal.ini は"),
            std::string::npos)
            << row.name << help.out;
    }
}

// -list prints one line per entry on standard output, and reads without writing.
TEST(ProgramTest, ListPrintsTheEntriesAndChangesNothing) {
    testing::TempDir dir;
    std::filesystem::create_directory(dir / "pics");
    const std::string settings =
        "'vexal   ver.1.00\r\n\r\n-\r\n"
        "Name = Web\r\nUrl = http://pictures.example/\r\nWpState = 3\r\nNo = 0\r\nNo_n = 2\r\n"
        "Schedule = 15min\r\n-\r\n"
        "Name = \x8b\x78\x93\xfa\r\nUrl = " +
        (dir / "pics/") +
        "\r\nWpState = 4\r\nNo = 2\r\n"
        "Schedule = 6hours\r\n-\r\n"
        "Name = One\r\nUrl = a.png\r\nWpState = 1\r\nNo = 1\r\nRefstr = sea\r\nSchedule = weekly\r\n-\r\n"
        "Name = Page\r\nUrl = list.txt\r\nWpState = 9\r\nNo = 0\r\nNo_n = 1\r\nSchedule = logon\r\n-\r\n"
        "Name = Image\r\nUrl = http://pictures.example/a.jpg\r\nWpState = 2\r\nNo = 7\r\n";
    {
        std::ofstream ini(dir / "vexal.ini", std::ios::binary);
        ini << settings;
    }
    for (const char* option : {"-list", "/LIST"}) {
        const testing::ProgramRun r = RunVexal(dir.path(), option);
        EXPECT_EQ(r.status, 0) << option << r.err;
        EXPECT_EQ(r.err, "") << option;
        EXPECT_EQ(r.out,
                  "Web\twebpage\tfill\tnth:2\t15min\n"
                  "休日\tfolder\tfit\trandom\t6hours\n"
                  "One\tlocalimage\ttile\tcontains:sea\tnever\n"
                  "Page\tlocalfile\tother\tnth:1\tlogon\n"
                  "Image\twebimage\tstretch\tother\tnever\n")
            << option;
    }
    std::ifstream ini(dir / "vexal.ini", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(ini), {}), settings) << "the file as it was";
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 2u) << "the settings file and the folder, nothing else";
}

TEST(ProgramTest, EntriesComeFromSettingsFileInCurrentFolder) {
    testing::TempDir dir;
    {
        std::ofstream ini(dir / "vexal.ini", std::ios::binary);
        ini << "'vexal   ver.1.00\r\n\r\n-\r\nName = Mine\r\nUrl = \r\n";
    }
    testing::ProgramRun r = RunVexal(dir.path(), "other");
    EXPECT_EQ(r.err, "vexal 1.00: 指定された識別子 other が見つかりません。\r\n設定ファイル " + dir.path() +
                         "/vexal.ini に登録されていません。\n");
    EXPECT_EQ(r.status, 1);
}

// Regression: a terminal in another folder than the home folder found none of the entries the
// menu's editor had saved in ~/vexal.ini, and its message named one file only.
TEST(ProgramTest, WithoutACurrentFileTheHomeFoldersIsRead) {
    testing::TempDir dir;
    for (const char* folder : {"home", "start"}) std::filesystem::create_directory(dir / folder);
    const std::string home = dir / "home", start = dir / "start";
    std::ofstream(dir / "home/vexal.ini", std::ios::binary)
        << "'vexal   ver.1.00\r\n\r\n-\r\nName = Mine\r\nUrl = missing.png\r\nExt = 0010\r\n";
    testing::ProgramOptions options;
    options.dir = start;
    options.env = {{"VEXAL_NONINTERACTIVE", "1"}, {"HOME", home}};
    const struct {
        std::vector<std::string> args;
        std::string message;
    } rows[] = {
        // The entry's relative path counts from the settings file's folder, where the run works.
        {{"mine"}, "画像ファイル missing.png が見つかりません。"},
        {{"other"},
         "指定された識別子 other が見つかりません。\r\n設定ファイル " + start + "/vexal.ini はなく、" + home +
             "/vexal.ini に登録されていません。"},
        // -wp's from where it was typed; a path with a blank arrives whole from the shell.
        {{"-wp", "r.png"}, "画像ファイル " + start + "/r.png が見つかりません。"},
        {{"-wp", "My Pictures/r.png"}, "画像ファイル " + start + "/My Pictures/r.png が見つかりません。"},
    };
    for (const auto& row : rows) {
        const testing::ProgramRun r = testing::RunProgram(VEXAL_BINARY, row.args, options);
        EXPECT_EQ(r.status, 1) << row.args[0];
        EXPECT_EQ(r.err, "vexal 1.00: " + row.message + "\n") << row.args.back();
    }
}

// Regression: a settings file that was there but could not be read was reported as missing
// ("がありません"), and the editor opened empty and replaced it; a link to /dev/zero ended
// in an uncaught std::bad_alloc. Each is named as it is, and the file stays as it was.
TEST(ProgramTest, UnreadableSettingsFileIsNamedAndLeftAlone) {
    namespace fs = std::filesystem;
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string entries = "'vexal   ver.1.00\r\n\r\n-\r\nName = sample\r\nUrl = /nowhere/\r\n";
    const struct {
        const char* name;
        const char* args;
        const char* why;
    } rows[] = {
        {"notPermitted", "sample", "読み込めません。読み取りが許可されていません。\n"},
        {"editorNotPermitted", "", "読み込めません。読み取りが許可されていません。\r\n"},
        {"folder", "sample", "読み込めません。ファイルではなくフォルダーです。\n"},
        {"binary", "sample", "読み込めません。テキストではないデータ(NUL 文字)を含んでいます。\n"},
        {"deviceThatNeverEnds", "sample", "読み込めません。大きさが上限の 64 MiB を超えています。\n"},
    };
    for (const auto& row : rows) {
        testing::TempDir dir;
        const std::string ini = dir / "vexal.ini";
        const std::string name = row.name;
        testing::ProgramOptions options;
        options.dir = dir.path();
        options.env = {{"VEXAL_NONINTERACTIVE", "1"}};
        if (name == "folder") {
            fs::create_directory(ini);
        } else if (name == "deviceThatNeverEnds") {
            fs::create_symlink("/dev/zero", ini);
        } else {
            std::ofstream(ini, std::ios::binary)
                << (name == "binary" ? std::string("-\r\n\0\0", 5) : entries);
        }
        if (name.find("ermitted") != std::string::npos) {  // both permission rows
            // Another user's file, as one "sudo vexal" with umask 077 leaves it: the tests run
            // as root, who reads anything, so the run is another user's.
            fs::permissions(ini, fs::perms::owner_read | fs::perms::owner_write);
            fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec,
                            fs::perm_options::add);
            options.uid = options.gid = 65534;
        }
        const std::string before = fs::is_regular_file(ini) ? slurp(ini) : "";
        const testing::ProgramRun r = testing::RunProgram(VEXAL_BINARY, CutTokens(row.args), options);
        EXPECT_EQ(r.status, 1) << row.name;
        EXPECT_EQ(r.err.rfind("vexal 1.00: 設定ファイル " + ini + " はありますが、", 0), 0u)
            << row.name << ": " << r.err;
        EXPECT_NE(r.err.find(row.why), std::string::npos) << r.err;
        if (fs::is_regular_file(ini) && !fs::is_symlink(ini)) {
            EXPECT_EQ(slurp(ini), before) << row.name;
        }
    }
}

// The UTF-8 file that either program writes for entries code page 932 cannot hold: the
// entries' pictures are looked for under the names they hold.
TEST(ProgramTest, Utf8SettingsFileIsRead) {
    testing::TempDir dir;
    std::filesystem::copy_file(VEXAL_UTF8_SETTINGS, dir / "vexal.ini");
    EXPECT_EQ(RunVexal(dir.path(), "ETE").err,
              "vexal 1.00: 画像ファイル Tableau-été.bmp が見つかりません。\n");
    EXPECT_EQ(RunVexal(dir.path(), "sakura").err, "vexal 1.00: 画像ファイル 桜.bmp が見つかりません。\n");
}

// Regression: the menu entry ran vexal wherever the launcher was, so the editor wrote a
// vexal.ini there that the scheduled runs in the home folder never read.
TEST(ProgramTest, MenuEntryStartsInHomeFolder) {
    testing::TempDir dir;
    for (const char* folder : {"bin", "home", "elsewhere"}) std::filesystem::create_directory(dir / folder);
    const std::string home = dir / "home";
    // A stand-in for the installed program, found on PATH as the menu's would be: it
    // only says where it was started.
    const std::string stub = dir / "bin/vexal";
    {
        std::ofstream script(stub);
        script << "#!/bin/sh\npwd >\"$VEXAL_TEST_FOLDER_OUT.part\" && mv \"$VEXAL_TEST_FOLDER_OUT.part\" "
                  "\"$VEXAL_TEST_FOLDER_OUT\"\n";
    }
    std::filesystem::permissions(stub, std::filesystem::perms::owner_all);
    const std::string out = dir / "folder";
    testing::ProgramOptions options;
    options.dir = dir / "elsewhere";
    options.env = {{"HOME", home}, {"PATH", dir / "bin:/usr/bin:/bin"}, {"VEXAL_TEST_FOLDER_OUT", out}};
    const testing::ProgramRun launch =
        testing::RunProgram("/usr/bin/gio", {"launch", VEXAL_MENU_ENTRY}, options);
    ASSERT_EQ(launch.status, 0) << launch.err;
    ASSERT_TRUE(testing::WaitUntil([&] { return std::filesystem::exists(out); }));
    std::ifstream started(out);
    std::string line;
    std::getline(started, line);
    EXPECT_EQ(line, home);
}

}  // namespace
}  // namespace vexal
#endif
