// Start-up globals, the command line and the run modes.
#include "app/startup.h"

#include <gtest/gtest.h>

#include "core/wallpaper_fakes.h"
#include "host/editor_claim.h"
#include "settings/source_kind.h"
#include "support/fakes.h"
#include "ui/messages.h"
#include "ui/scheduled_run.h"

namespace vexal {
namespace {

TEST(StartupTest, Globals) {
    Program p;
    InitGlobals(p, 1, 0);
    EXPECT_EQ(p.VersionText, "1.00");
    EXPECT_EQ(p.TitleText, "vexal 1.00");
    EXPECT_EQ(p.SettingsFileName, "vexal.ini");
    EXPECT_EQ(p.RequestHeaderBlock,
              std::string("From: ") + kContactAddress + "\r\nUser-Agent: vexal/1.00\r\nHost: ");
    InitGlobals(p, 1, 5);
    EXPECT_EQ(p.VersionText, "1.05");
    InitGlobals(p, 2, 123);
    EXPECT_EQ(p.VersionText, "2.123");
}

TEST(StartupTest, TokensAreCutAtEverySingleBlank) {
    EXPECT_EQ(CutTokens("a  b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(CutTokens("a "), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(CutTokens("\"x y\""), (std::vector<std::string>{"\"x", "y\""}));
    // A shell took the quotes of -wp's path away; they come back, and only there.
    EXPECT_EQ(JoinArguments({"-WP", "/My Pictures/a.jpg", "a b"}), "-WP \"/My Pictures/a.jpg\" a b");
}

struct CommandRow {
    const char* name;
    const char* line;
    RunModeValue mode;
    bool preview;
    const char* chosen;
    const char* current;  // CurrentEntry.Name afterwards
    const char* error;    // nullptr when the line is accepted
};

class RecordingFrontEnd final : public FrontEnd {
public:
    std::string calls;
    bool hasEditor = true;
    bool HasEditor() const override { return hasEditor; }
    void ShowEditor() override { calls += "editor;"; }
    void RunRetrieval(bool gather) override { calls += gather ? "get+go;" : "go;"; }
};

// Four registered entries, "Sample", "other", 休日の写真 and Ｐｈｏｔｏ, the last two in
// code page 932 as a settings file holds them.
constexpr const char* kRegistered =
    "-\r\nName = Sample\r\n-\r\nName = other\r\n"
    "-\r\nName = \x8b\x78\x93\xfa\x82\xcc\x8e\xca\x90\x5e\r\n"
    "-\r\nName = \x82\x6f\x82\x88\x82\x8f\x82\x94\x82\x8f\r\n";

// A run through the run controller with the registered entries above.
struct StartedRun {
    testing::TestHost t;
    Program p;
    RecordingFrontEnd frontEnd;
    explicit StartedRun(const char* line, const char* settings = kRegistered) {
        if (settings) t.files.files["vexal.ini"] = settings;
        RunController controller(p, t.host);
        Main(controller, frontEnd, line, 1, 0);
    }
};

TEST(CommandLineTest, ModesAndMessages) {
    const CommandRow rows[] = {
        {"empty", "", RunModeValue::Editor, false, "", "", nullptr},
        {"identifierIgnoresCase", "sample", RunModeValue::Entry, false, "", "Sample", nullptr},
        {"identifierWithPreview", "SAMPLE -preview", RunModeValue::Entry, true, "", "Sample", nullptr},
        {"previewFirst", "/PREVIEW sample", RunModeValue::Entry, true, "", "Sample", nullptr},
        {"wp", "-wp C:\\pic\\a.jpg", RunModeValue::Direct, false, "C:\\pic\\a.jpg", "", nullptr},
        {"wpCapitals", "-WP a.jpg", RunModeValue::Direct, false, "a.jpg", "", nullptr},
        {"wpSlash", "/wp a.jpg", RunModeValue::Direct, false, "a.jpg", "", nullptr},
        {"laterWpWins", "sample -wp C:\\a.bmp", RunModeValue::Direct, false, "C:\\a.bmp", "Sample", nullptr},
        {"laterIdentifierWins", "-wp C:\\a.bmp sample", RunModeValue::Entry, false, "C:\\a.bmp", "Sample",
         nullptr},
        {"emptyMiddleToken", "sample  other", RunModeValue::Entry, false, "", "other", nullptr},
        {"wpThenEmptyToken", "-wp ", RunModeValue::Direct, false, "", "", nullptr},
        {"wpAlone", "-wp", RunModeValue::Editor, false, "", "",
         "-wp オプションにはサブオプションとして URL/ファイル が必要です。"},
        {"pathWithBlank", "-wp C:\\My Pictures\\a.jpg", RunModeValue::Direct, false, "C:\\My", "",
         "-wp の後のパス C:\\My Pictures\\a.jpg に空白があります。空白を含むパスは引用符 \" "
         "で囲んでください。"},
        {"quotedPath", "-wp \"C:\\My  Pictures\\a.jpg\" -preview", RunModeValue::Direct, true,
         "C:\\My  Pictures\\a.jpg", "", nullptr},
        {"quoteNeverClosed", "/wp \"C:\\My Pictures\\a.jpg", RunModeValue::Direct, false,
         "C:\\My Pictures\\a.jpg", "", nullptr},
        {"quoteElsewhereIsACharacter", "-preview \"sample\"", RunModeValue::Editor, false, "", "",
         "起動時オプション \"sample\" が無効です。"},
        {"doubleDash", "--wp", RunModeValue::Editor, false, "", "", "起動時オプション --wp が無効です。"},
        {"digits", "123", RunModeValue::Editor, false, "", "", "起動時オプション 123 が無効です。"},
        {"unknownOption", "-x", RunModeValue::Editor, false, "", "", "起動時オプション -x が無効です。"},
        {"notRegistered", "nosuch", RunModeValue::Editor, false, "", "",
         "指定された識別子 nosuch が見つかりません。\r\n設定ファイル vexal.ini に登録されていません。"},
        // A name in the user's own script is an identifier; letter case folds beyond ASCII.
        {"japaneseIdentifier", "休日の写真", RunModeValue::Entry, false, "", "休日の写真", nullptr},
        {"japaneseWithPreview", "-preview 休日の写真", RunModeValue::Entry, true, "", "休日の写真", nullptr},
        {"fullWidthFolded", "ｐＨＯＴＯ", RunModeValue::Entry, false, "", "Ｐｈｏｔｏ", nullptr},
        {"japaneseNotRegistered", "日本", RunModeValue::Editor, false, "", "",
         "指定された識別子 日本 が見つかりません。\r\n設定ファイル vexal.ini に登録されていません。"},
        {"fullWidthDigits", "１２３", RunModeValue::Editor, false, "", "",
         "指定された識別子 １２３ が見つかりません。\r\n設定ファイル vexal.ini に登録されていません。"},
        {"asciiPunctuationFirst", "_休日の写真", RunModeValue::Editor, false, "", "",
         "起動時オプション _休日の写真 が無効です。"},
        // A token is put into its message as it is, braces and all.
        {"bracesInToken", "-{1}", RunModeValue::Editor, false, "", "", "起動時オプション -{1} が無効です。"},
        // Only the two whole GNU words and the short Windows ones print instead.
        {"singleDashHelp", "-help", RunModeValue::Editor, false, "", "",
         "起動時オプション -help が無効です。"},
        {"helpAndMore", "--helpme", RunModeValue::Editor, false, "", "",
         "起動時オプション --helpme が無効です。"},
        {"slashDashHelp", "/--help", RunModeValue::Editor, false, "", "",
         "起動時オプション /--help が無効です。"},
        {"bareQuestionMark", "?", RunModeValue::Editor, false, "", "", "起動時オプション ? が無効です。"},
        {"doubledShortHelp", "-hh", RunModeValue::Editor, false, "", "", "起動時オプション -hh が無効です。"},
        {"errorBeforeHelp", "nosuch --help", RunModeValue::Editor, false, "", "",
         "指定された識別子 nosuch が見つかりません。\r\n設定ファイル vexal.ini に登録されていません。"},
        {"helpAsTheImage", "-wp --help", RunModeValue::Direct, false, "--help", "", nullptr},
        {"quiet", "sample -quiet", RunModeValue::Entry, false, "", "Sample", nullptr},
        {"quietFirst", "/QUIET sample", RunModeValue::Entry, false, "", "Sample", nullptr},
        {"quietish", "-quieter", RunModeValue::Editor, false, "", "",
         "起動時オプション -quieter が無効です。"},
        {"nextish", "-nexts", RunModeValue::Editor, false, "", "", "起動時オプション -nexts が無効です。"},
        {"listAfterAnError", "nosuch -list", RunModeValue::Editor, false, "", "",
         "指定された識別子 nosuch が見つかりません。\r\n設定ファイル vexal.ini に登録されていません。"},
    };
    for (const auto& row : rows) {
        StartedRun run(row.line);
        if (row.error) {
            EXPECT_TRUE(run.t.process.ended) << row.name;
            EXPECT_EQ(run.t.process.status, kExitFailure) << row.name;
            EXPECT_EQ(run.frontEnd.calls, "") << row.name;
            ASSERT_EQ(run.t.dialogs.boxes.size(), 1u) << row.name;
            EXPECT_EQ(run.t.dialogs.boxes[0].kind, "error");
            EXPECT_EQ(run.t.dialogs.boxes[0].title, "vexal 1.00");
            EXPECT_EQ(run.t.dialogs.boxes[0].text, row.error) << row.name;
            continue;
        }
        EXPECT_FALSE(run.t.process.ended) << row.name;
        EXPECT_TRUE(run.t.dialogs.boxes.empty()) << row.name;
        EXPECT_EQ(run.p.RunMode, row.mode) << row.name;
        EXPECT_EQ(run.p.ShowPreview, row.preview) << row.name;
        EXPECT_EQ(run.p.CommandLineImage, row.chosen) << row.name;
        EXPECT_EQ(run.p.CurrentEntry().Name, row.current) << row.name;
        // The front end is chosen before the line is read: both must agree on -quiet.
        EXPECT_EQ(run.p.Quiet, AsksForQuietRun(row.line)) << row.name;
        EXPECT_EQ(run.p.Quiet, std::string_view(row.name).rfind("quiet", 0) == 0) << row.name;
    }
}

// A scheduled run's line names the entry before -quiet; an entry that is gone stops the
// reading there, and the run must still be recorded as quiet.
TEST(CommandLineTest, RefusedIdentifierOfAQuietRunIsLogged) {
    testing::TestHost t;
    testing::FakeDesktop desktop(t.files);
    t.host.desktop = &desktop;
    Program p;
    RecordingFrontEnd frontEnd;
    RunController controller(p, t.host);
    controller.SetClock([] { return std::string("T"); });
    Main(controller, frontEnd, "gone -quiet", 1, 0);
    EXPECT_EQ(t.process.status, kExitFailure);
    EXPECT_EQ(
        t.files.files["/win" + std::string(1, kFolderSeparator) + kScheduleLogName],
        std::string("T 指定された識別子 gone が見つかりません。 設定ファイル vexal.ini がありません。") +
            (kFolderSeparator == '\\' ? "\r\n" : "\n"));
}

TEST(CommandLineTest, HelpAndVersionPrintAndEndWithSuccess) {
    Program forText;
    InitGlobals(forText, 1, 0);
    const std::string usage = UsageText(forText);
    const std::pair<const char*, std::string> rows[] = {
        {"--help", usage},
        {"--HELP", usage},
        {"--version", "vexal 1.00\n"},
        {"sample -preview --version", "vexal 1.00\n"},
        {"--help nosuch", usage},
        {"/?", usage},
        {"-?", usage},
        {"-h", usage},
        {"/H sample", usage},
    };
    for (const auto& [line, printed] : rows) {
        StartedRun run(line);
        EXPECT_TRUE(run.t.process.ended) << line;
        EXPECT_EQ(run.t.process.status, kExitSuccess) << line;
        EXPECT_EQ(run.t.console.printed, printed) << line;
        EXPECT_TRUE(run.t.dialogs.boxes.empty()) << line;
        EXPECT_EQ(run.frontEnd.calls, "") << line;
    }
    // The usage text names every option and the exit statuses.
    for (const char* part : {"-preview", "-wp", "--help", "--version", "VEXAL_NONINTERACTIVE=1", "vexal.ini",
                             "終了ステータス", "エラーのタイトルは vexal 1.00、\n"})
        EXPECT_NE(usage.find(part), std::string::npos) << part;
}

TEST(CommandLineTest, NoEntriesRegistered) {
    StartedRun run("sample", nullptr);
    EXPECT_EQ(run.t.dialogs.Texts(),
              (std::vector<std::string>{
                  "指定された識別子 sample が見つかりません。\r\n設定ファイル vexal.ini がありません。"}));
}

// Regression: a settings file that is there but could not be read was called missing, and
// the editor opened empty, so that its saving replaced every entry.
TEST(CommandLineTest, UnreadableSettingsAreNamedAndNothingRuns) {
    const struct {
        const char* name;
        const char* line;
        bool notPermitted;  // else the file holds no text
        Message message;
        Message why;
    } rows[] = {
        {"entryNotText", "sample", false, Message::SettingsUnreadable, Message::SettingsNotText},
        {"entryNotPermitted", "sample", true, Message::SettingsUnreadable, Message::SettingsReadNotPermitted},
        {"directNotText", "-wp a.jpg", false, Message::SettingsUnreadable, Message::SettingsNotText},
        {"editorNotText", "", false, Message::EditorSettingsUnreadable, Message::SettingsNotText},
        {"editorNotPermitted", "", true, Message::EditorSettingsUnreadable,
         Message::SettingsReadNotPermitted},
    };
    for (const auto& row : rows) {
        testing::TestHost t;
        const std::string binary("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        if (row.notPermitted)
            t.files.failWith = FileFailure::NotPermitted;  // the memory file system's read fails
        else
            t.files.files["vexal.ini"] = binary;
        Program p;
        RecordingFrontEnd frontEnd;
        RunController controller(p, t.host);
        Main(controller, frontEnd, row.line, 1, 0);
        EXPECT_EQ(t.process.status, kExitFailure) << row.name;
        EXPECT_EQ(frontEnd.calls, "") << row.name;
        EXPECT_EQ(
            t.dialogs.Texts(),
            (std::vector<std::string>{MessageText(Language::Japanese, row.message,
                                                  {"vexal.ini", MessageText(Language::Japanese, row.why)})}))
            << row.name;
        if (!row.notPermitted) {
            EXPECT_EQ(t.files.files["vexal.ini"], binary) << row.name;
        }
    }
}

struct KindRow {
    const char* text;
    SourceKind windows;
    SourceKind posix;
};

TEST(SourceKindTest, Classification) {
    const KindRow rows[] = {
        {"", SourceKind::LocalFile, SourceKind::LocalFile},
        {"HTTP://H/A.JPG", SourceKind::WebImage, SourceKind::WebImage},
        {"http://h/dir/", SourceKind::WebPage, SourceKind::WebPage},
        {"http://h/a.jpeg", SourceKind::WebImage, SourceKind::WebImage},
        {"https://h/a.jpg", SourceKind::WebImage, SourceKind::WebImage},
        {"HTTPS://h/", SourceKind::WebPage, SourceKind::WebPage},
        {"https://h/a.png?w=2", SourceKind::WebImage, SourceKind::WebImage},
        {"http://h/a.gif#top", SourceKind::WebImage, SourceKind::WebImage},
        {"http://h/show.php?f=a.jpg", SourceKind::WebPage, SourceKind::WebPage},
        {"https:/h/a.jpg", SourceKind::LocalImage, SourceKind::LocalImage},
        {"C:\\a.jpeg", SourceKind::LocalImage, SourceKind::LocalImage},
        {"C:\\a.jpg?x", SourceKind::LocalFile, SourceKind::LocalFile},
        {"C:\\pics\\", SourceKind::LocalFolder, SourceKind::LocalFile},
        {"C:\\pics", SourceKind::LocalFile, SourceKind::LocalFile},
        {"C:\\a.PNG", SourceKind::LocalImage, SourceKind::LocalImage},
        {"C:\\a.gif ", SourceKind::LocalFile, SourceKind::LocalFile},
        {"C:\\dir.bmp\\", SourceKind::LocalFolder, SourceKind::LocalFile},
        {".gif", SourceKind::LocalImage, SourceKind::LocalImage},
        {"gif", SourceKind::LocalFile, SourceKind::LocalFile},
        {"/home/me/pics/", SourceKind::LocalFile, SourceKind::LocalFolder},
        {"http:/x/", SourceKind::LocalFile, SourceKind::LocalFolder},
        {"https://h/a.WebP?w=2", SourceKind::WebImage, SourceKind::WebImage},
        {"C:\\a.webp", SourceKind::LocalImage, SourceKind::LocalImage},
        {"C:\\a.ebp", SourceKind::LocalFile, SourceKind::LocalFile},
        {"C:\\awebp", SourceKind::LocalFile, SourceKind::LocalFile},
        {"https://h/a.AVIF?w=2", SourceKind::WebImage, SourceKind::WebImage},
        {"/p/IMG_0001.HEIC", SourceKind::LocalImage, SourceKind::LocalImage},
        {"/p/a.heif", SourceKind::LocalImage, SourceKind::LocalImage},
        {"http://h/a.jxl", SourceKind::WebImage, SourceKind::WebImage},
        {"/usr/share/backgrounds/gnome/blobs-d.svg", SourceKind::LocalImage, SourceKind::LocalImage},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ClassifySource(row.text, '\\'), row.windows) << row.text;
        EXPECT_EQ(ClassifySource(row.text, '/'), row.posix) << row.text;
    }
}

TEST(SourceKindTest, WorkImageFileNames) {
    const struct {
        const char* image;
        bool web;
        const char* file;
    } rows[] = {
        {"http://h/a.jpg", true, "c.jpg"},
        {"a.JPEG", false, "c.jpg"},
        {"https://h/a.jpeg?w=800", true, "c.jpg"},
        {"x.gif?v=2", true, "c.gif"},
        {"/p/x.PNG#top", true, "c.PNG"},
        // A local name keeps "?" and "#" as characters of the file's name.
        {"x.gif?v=2", false, "c.v=2"},
        {"ab", false, "c.ab"},
        {"", false, "c."},
        {"/画像.jpg", true, "c.jpg"},
        {"/写真画像", true, "c.真画像"},
        // Four letters, as for nothing else: three would leave "ebp".
        {"http://h/a.WebP?w=2", true, "c.WebP"},
        {"a.webp", false, "c.webp"},
        {"https://h/a.avif?w=2", true, "c.avif"},
        {"IMG_0001.HEIC", false, "c.HEIC"},
        {"a.heif", false, "c.heif"},
        {"a.jxl", false, "c.jxl"},
        {"a.Svg", false, "c.Svg"},
    };
    for (const auto& row : rows) EXPECT_EQ(WorkImageFileName("c", row.image, row.web), row.file) << row.image;
}

// A kind told by content is stored under a name that tells the same kind again.
TEST(SourceKindTest, EveryKindsStoredNameNamesItAgain) {
    for (int i = 0; i <= static_cast<int>(PictureKind::Svg); ++i)
        EXPECT_EQ(PictureKindOf(std::string("c.") + PictureKindExtension(static_cast<PictureKind>(i)), false),
                  static_cast<PictureKind>(i));
}

// Regression: a run that found no vexal.ini in its current folder never looked in the user's
// own, its message named only one file, and -wp's relative path was counted from the folder
// the run moved to.
TEST(StartupTest, SettingsFromTheUsersFolderNameEveryFileLookedIn) {
    const std::string user = "/h" + std::string(1, kFolderSeparator);
    const std::string here = "/s" + std::string(1, kFolderSeparator);
    const struct {
        const char* name;
        bool usersFile, reachable, ownFolder, entered;
        const char* line;
        const char* message;  // nullptr: the run goes on
        std::string image;
    } rows[] = {
        {"user's file read", true, true, false, true, "nosuch",
         "指定された識別子 nosuch が見つかりません。\r\n設定ファイル /s?vexal.ini はなく、/h?vexal.ini "
         "に登録されていません。",
         ""},
        {"neither file", false, true, false, true, "nosuch",
         "指定された識別子 nosuch が見つかりません。\r\n設定ファイル /s?vexal.ini も /h?vexal.ini "
         "もありません。",
         ""},
        {"entry of the user's file", true, true, false, true, "sample", nullptr, ""},
        {"relative -wp from the start", true, true, false, true, "-wp r.png", nullptr, here + "r.png"},
        {"absolute -wp", true, true, false, true, "-wp /r.png", nullptr, "/r.png"},
        {"address -wp", true, true, false, true, "-wp http://h/r.png", nullptr, "http://h/r.png"},
        {"user's folder gone", false, false, true, true, "sample",
         "設定ファイルを置くフォルダー /h が見つかりません。\r\nそのドライブやネットワークの場所に"
         "つながっているか確かめてください。",
         ""},
        {"user's folder refused", true, true, false, false, "sample",
         "設定ファイルを置くフォルダー /h が見つかりません。\r\nそのドライブやネットワークの場所に"
         "つながっているか確かめてください。",
         ""},
        {"help without the user's folder", false, false, true, true, "--version", nullptr, ""},
    };
    for (const auto& row : rows) {
        testing::TestHost t;
        if (row.usersFile) t.files.files["vexal.ini"] = "-\r\nName = sample\r\n";
        Program p;
        SettingsFacts facts;
        facts.currentFolder = here;
        facts.userFolder = user;
        facts.userHasFile = row.usersFile;
        facts.userFolderReachable = row.reachable;
        facts.startedInProgramFolder = row.ownFolder;
        std::string entered;
        SettleSettingsPlace(p, facts, [&](const std::string& folder) {
            entered = folder;
            return row.entered;
        });
        EXPECT_EQ(entered, row.usersFile ? user : "") << row.name;
        RecordingFrontEnd fe;
        RunController controller(p, t.host);
        Main(controller, fe, row.line, 1, 0);
        std::string message = row.message ? row.message : "";
        for (char& c : message)
            if (c == '?') c = kFolderSeparator;
        EXPECT_EQ(t.dialogs.Texts(),
                  row.message ? std::vector<std::string>{message} : std::vector<std::string>{})
            << row.name;
        if (!row.image.empty()) {
            EXPECT_EQ(p.CommandLineImage, row.image) << row.name;
        }
    }
}

// Stands for the editor's claim on the settings file; `held` says another run's editor
// holds it.
class RecordingClaim final : public EditorClaim {
public:
    explicit RecordingClaim(std::string& calls, bool held) : calls_(calls), held_(held) {}
    ClaimOutcome Claim(const std::string& fullPath, std::function<void()>) override {
        calls_ += "claim " + fullPath + ";";
        return held_ ? ClaimOutcome::HeldElsewhere : ClaimOutcome::Claimed;
    }
    void Release() override { calls_ += "release;"; }

private:
    std::string& calls_;
    bool held_;
};

TEST(StartupTest, MainDispatchesByRunMode) {
    const struct {
        const char* line;
        bool held;  // another run's editor holds the settings file
        const char* calls;
        int status;  // -1: the run goes on
    } rows[] = {
        {"", false, "claim vexal.ini;editor;", -1},
        // A second editor on the same file only brings the first forward.
        {"", true, "claim vexal.ini;", kExitSuccess},
        // Retrievals never ask, whoever holds the editor.
        {"sample", true, "get+go;", -1},
        {"-wp a.bmp", true, "go;", -1},
        {"-x", true, "", kExitFailure},
        {"--version", true, "", kExitSuccess},
    };
    for (const auto& row : rows) {
        testing::TestHost t;
        t.files.files["vexal.ini"] = "-\r\nName = sample\r\n";
        Program p;
        RecordingFrontEnd fe;
        RecordingClaim claim(fe.calls, row.held);
        t.host.editors = &claim;
        RunController controller(p, t.host);
        Main(controller, fe, row.line, 1, 0);
        EXPECT_EQ(fe.calls, row.calls) << row.line;
        EXPECT_EQ(t.process.status, row.status) << row.line;
    }
}

// Regression: without a display and without an identifier the run ended silently with 0.
TEST(StartupTest, RunWithoutAnEditorSaysSoAndFails) {
    testing::TestHost t;
    Program p;
    RecordingFrontEnd fe;
    fe.hasEditor = false;
    RunController controller(p, t.host);
    Main(controller, fe, "", 1, 0);
    EXPECT_EQ(fe.calls, "");
    EXPECT_EQ(t.dialogs.Texts(),
              std::vector<std::string>{
                  "画面がないため、エントリの編集画面を開けません。識別子を指定して起動してください。"});
    EXPECT_EQ(t.process.status, kExitFailure);
}

}  // namespace
}  // namespace vexal
