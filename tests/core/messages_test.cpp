// The program's messages and the words for each kind of failure the layers below report,
// byte for byte: the lower layers' tests assert the values, and their texts are held here.
#include "ui/messages.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "net/status_texts.h"
#include "settings/settings_file.h"
#include "ui/failure_texts.h"
#include "ui/progress_presenter.h"
#include "ui/scheduled_run.h"

namespace vexal {
namespace {

// What a function made of one value, and the text it must be.
struct TextRow {
    const char* name;
    std::string text;
    std::string expected;
};

template <std::size_t N>
void ExpectTexts(const TextRow (&rows)[N]) {
    for (const auto& row : rows) EXPECT_EQ(row.text, row.expected) << row.name;
}

const std::string kNoMatch = "条件に合致する画像ファイルがありません。";
const std::string kChangeFailed = "壁紙の変更に失敗しました。";

// Results with the fields a row names; the rest as a fresh result has them.
FetchResult Fetched(FetchFailure failure, std::int32_t status = 0, std::string subject = {},
                    FileFailure file = FileFailure::Nothing, std::uint64_t bound = 0,
                    std::int64_t seconds = 0) {
    return {failure, status, std::move(subject), file, bound, seconds};
}
RetrievalResult Retrieval(RetrievalFailure failure, std::string subject = {}, std::string target = {}) {
    RetrievalResult result;
    result.failure = failure;
    result.subject = std::move(subject);
    result.target = std::move(target);
    return result;
}
DesktopResult DesktopSaid(DesktopFailure failure, std::string subject = {}, std::string tool = {},
                          std::string said = {}, std::int64_t status = 0,
                          FileFailure file = FileFailure::Nothing) {
    return {failure, std::move(subject), std::move(tool), std::move(said), status, file};
}

TEST(MessagesTest, EveryKindHasATextOfItsOwn) {
    for (const Language language : {Language::Japanese, Language::English}) {
        std::set<std::string> seen;
        for (std::size_t i = 0; i < static_cast<std::size_t>(Message::Count); ++i) {
            // Each subject put in as its own mark gives the text as the table holds it.
            const std::string text =
                MessageText(language, static_cast<Message>(i), {"{1}", "{2}", "{3}", "{4}"});
            EXPECT_FALSE(text.empty()) << i;
            EXPECT_TRUE(seen.insert(text).second) << i << " repeats " << text;
        }
    }
}

// The English texts are whole sentences of their own, not the Japanese ones: no kana or
// kanji in them, except the multiplication sign and the ellipsis any English text may hold.
TEST(MessagesTest, EnglishTextsHoldNoJapanese) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(Message::Count); ++i) {
        const std::string text = MessageText(Language::English, static_cast<Message>(i));
        for (std::size_t k = 0; k + 2 < text.size(); ++k) {
            // U+3000..U+9FFF: CJK punctuation, kana and the common kanji, all E3..E9 in UTF-8.
            const auto lead = static_cast<unsigned char>(text[k]);
            EXPECT_FALSE(lead >= 0xE3 && lead <= 0xE9) << i << ": " << text;
        }
        EXPECT_NE(text, MessageText(Language::Japanese, static_cast<Message>(i))) << i;
    }
}

TEST(MessagesTest, EnglishSubjectsLandInPlace) {
    constexpr auto en = Language::English;
    const TextRow rows[] = {
        {"identifierNotFound", MessageText(en, Message::IdentifierNotFound, {"Sample", "/home/u/vexal.ini"}),
         "The identifier Sample was not found.\r\nIt is not registered in the settings file "
         "/home/u/vexal.ini."},
        {"identifierNoSettingsEither",
         MessageText(en, Message::IdentifierNoSettingsEither,
                     {"s", "C:\\u\\vexal.ini", "D:\\doc\\vexal.ini"}),
         "The identifier s was not found.\r\nNeither settings file C:\\u\\vexal.ini nor D:\\doc\\vexal.ini "
         "exists."},
        {"scheduleToolFailed",
         MessageText(en, Message::ScheduleToolFailed, {"photos", "systemctl", "1", "Failed to connect"}),
         "The scheduled change for identifier photos could not be set.\r\nsystemctl failed (exit status 1): "
         "Failed to connect"},
        {"conflicts",
         ConflictLines(en, {{ConflictKind::Field, "photos", "Url"},
                            {ConflictKind::Field, "", "NewMsg"},
                            {ConflictKind::DeletedThere, "old", ""}}),
         "Url of identifier photos\r\nSetting NewMsg\r\nIdentifier old (deleted from the file, changed "
         "here)"},
        {"settingsTooLargeOddBound",
         [] {
             SettingsLoad load;
             load.kind = SettingsReadKind::Unreadable;
             load.reason = ReadFailure::TooLarge;
             load.bound = 1000;
             return SettingsReadText(en, load);
         }(),
         "It is larger than the limit of 1000 bytes."},
        {"hostNotResolved",
         FetchFailureText(en, Fetched(FetchFailure::SocketError, kErrorHostNotFound, "nowhere.example")),
         "Authoritative answer: host not found.\r\nThe address of the host nowhere.example could not be "
         "looked "
         "up."},
        {"socketErrorUnlisted", SocketErrorText(en, 1), "(vexal) Unknown error."},
        {"imageTooLarge",
         FetchFailureText(en, Fetched(FetchFailure::TooLarge, 0, "http://h/a.jpg", FileFailure::Nothing,
                                      std::uint64_t{1} << 30)),
         "The picture http://h/a.jpg is too large; fetching stopped (limit 1 GiB)."},
        {"noMatchMoreThanFiveKinds",
         [] {
             RetrievalResult r = Retrieval(RetrievalFailure::NoMatch);
             r.unreadable = {{"SVG", 10}, {"XML", 1}, {"TXT", 2}, {"CSS", 3}, {"JS", 4}, {"ICO", 5}};
             r.unchecked = {{"PNG", 3}};
             return RetrievalFailureText(en, r);
         }(),
         "No picture matches the conditions.\r\nThese kinds cannot be read: SVG 10, XML 1, TXT 2, CSS 3, JS "
         "4 and "
         "more. These are not among the selected picture kinds: PNG 3."},
        {"notSaved",
         FetchFailureText(en, Fetched(FetchFailure::NotSaved, 0, "wpcache.jpg", FileFailure::DiskFull)),
         "The picture wpcache.jpg could not be saved. The disk is full."},
        {"installRefused",
         [] {
             InstallResult r;
             r.outcome = InstallOutcome::Refused;
             r.desktop = DesktopSaid(DesktopFailure::ToolFailed, {}, "gsettings", "", 4);
             return InstallFailureBox(en, r).text;
         }(),
         "Changing the wallpaper failed.\r\nThe desktop tool gsettings failed (exit status 4)."},
        {"transfer", TransferText(en, 1258291, 3565158, 75), "1.2 MB of 3.4 MB, 1 min 15 s left"},
        {"bytes", TransferText(en, 512, 0, -1), "512 bytes received"},
        {"lastRun", LastRunText(en, {"2026-12-09 06:00:00", false, "The disk is full."}),
         "Last scheduled change: 2026-12-09 06:00:00 failed The disk is full."},
    };
    ExpectTexts(rows);
}

TEST(MessagesTest, SubjectsLandInPlace) {
    const TextRow rows[] = {
        {"usage", MessageText(Language::Japanese, Message::Usage, {"vexal.ini", "vexal 1.00", "<where>\n"}),
         "使い方:\n"
         "  vexal                     登録項目の編集画面を開きます。\n"
         "  vexal 識別子 [-preview]   その識別子の項目から壁紙を変更します。識別子の\n"
         "                            大文字と小文字は区別しません。-preview を付けると、\n"
         "                            先に画像をプレビューで表示します。\n"
         "  vexal -wp URL/ファイル    その画像を直接壁紙にします(スタイルはそのまま)。\n"
         "  vexal 識別子 -quiet       ウィンドウもメッセージボックスも出さずに壁紙を変更し、\n"
         "                            失敗をデータフォルダーの schedule.log に書きます。\n"
         "                            自動変更(スケジュール)の実行はこれを使います。\n"
         "  vexal -back               壁紙を一つ前のものにスタイルごと戻します。繰り返すと\n"
         "                            さらに前に戻ります(3 つ前まで)。\n"
         "  vexal -next               -back で戻した壁紙を一つ先に進めます。戻していなければ、\n"
         "                            最後に実行した項目をもう一度実行して新しい画像にします。\n"
         "  vexal -list               登録項目を1行に1つずつ、タブ区切りで表示します\n"
         "                            (識別子、取得元の種類、スタイル、選択、スケジュール)。\n"
         "  vexal --help, -h, /?      この説明を表示します。\n"
         "  vexal --version           バージョンを表示します。\n"
         "\n"
         "オプションは - または / で始まり、大文字と小文字を区別しません。コマンドラインは\n"
         "空白ごとに区切られます。空白を含むパスは、-wp の後で \"C:\\My Pictures\\a.jpg\" のように\n"
         "引用符で囲みます。-wp の相対パスは起動したフォルダーから数えます。\n"
         "<where>\n"
         "\n"
         "画面がないとき、または VEXAL_NONINTERACTIVE=1 のときは、メッセージボックスの代わりに\n"
         "「タイトル: 本文」の1行を標準エラー出力に書き(エラーのタイトルは vexal 1.00、\n"
         "お知らせは vexal)、問い合わせにはキャンセル/いいえ/空欄で答えます。\n"
         "\n"
         "終了ステータス: 壁紙を変更したときとエディタを閉じたとき(終了ボタンは保存してから、\n"
         "閉じるボタンは保存していない変更があれば保存するか尋ねてから閉じます)は 0、\n"
         "失敗または取り消しのときは 1 です。\n"},
        {"identifierNotFound",
         MessageText(Language::Japanese, Message::IdentifierNotFound, {"Sample", "/home/u/vexal.ini"}),
         "指定された識別子 Sample が見つかりません。\r\n設定ファイル /home/u/vexal.ini "
         "に登録されていません。"},
        {"identifierNoSettings",
         MessageText(Language::Japanese, Message::IdentifierNoSettings, {"sample", "/home/u/vexal.ini"}),
         "指定された識別子 sample が見つかりません。\r\n設定ファイル /home/u/vexal.ini がありません。"},
        {"usageSettingsWindows",
         MessageText(Language::Japanese, Message::UsageSettingsWindows, {"vexal.ini"}),
         "設定ファイル vexal.ini は、現在のフォルダーにあればそれを、なければドキュメント フォルダー\n"
         "(Windows が示す場所)のものを読み、そのファイルのフォルダーで動きます。どちらにも\n"
         "なければ現在のフォルダーに作ります。ただし vexal.exe のフォルダーで起動したときは\n"
         "ドキュメント フォルダーに作ります。\n"},
        {"usageSettingsElsewhere",
         MessageText(Language::Japanese, Message::UsageSettingsElsewhere, {"vexal.ini"}),
         "設定ファイル vexal.ini は、現在のフォルダーにあればそれを、なければホーム フォルダーの\n"
         "ものを読み、そのファイルのフォルダーで動きます。どちらにもなければ現在のフォルダーに\n"
         "作ります。\n"},
        {"identifierNotInUsersFile",
         MessageText(Language::Japanese, Message::IdentifierNotInUsersFile,
                     {"s", "C:\\u\\vexal.ini", "D:\\doc\\vexal.ini"}),
         "指定された識別子 s が見つかりません。\r\n設定ファイル C:\\u\\vexal.ini はなく、D:\\doc\\vexal.ini "
         "に登録されていません。"},
        {"identifierNoSettingsEither",
         MessageText(Language::Japanese, Message::IdentifierNoSettingsEither,
                     {"s", "C:\\u\\vexal.ini", "D:\\doc\\vexal.ini"}),
         "指定された識別子 s が見つかりません。\r\n設定ファイル C:\\u\\vexal.ini も D:\\doc\\vexal.ini "
         "もありません。"},
        {"settingsFolderUnreachable",
         MessageText(Language::Japanese, Message::SettingsFolderUnreachable, {"D:\\Documents"}),
         "設定ファイルを置くフォルダー D:\\Documents が見つかりません。\r\n"
         "そのドライブやネットワークの場所につながっているか確かめてください。"},
        {"wpPathHasBlank",
         MessageText(Language::Japanese, Message::WpPathHasBlank, {"C:\\My Pictures\\a.jpg"}),
         "-wp の後のパス C:\\My Pictures\\a.jpg に空白があります。空白を含むパスは引用符 \" "
         "で囲んでください。"},
        {"invalidOption", MessageText(Language::Japanese, Message::InvalidOption, {"-x"}),
         "起動時オプション -x が無効です。"},
        {"companionCannotStart",
         MessageText(Language::Japanese, Message::CompanionCannotStart, {"C:\\vexal\\vexal.exe", "2"}),
         "C:\\vexal\\vexal.exe を起動できませんでした（エラー 2）。"},
        {"settingsNotWritten",
         MessageText(Language::Japanese, Message::SettingsNotWritten, {"vexal.ini", "<why>"}),
         "設定ファイル vexal.ini に書き込めませんでした。<why>"},
        {"deleteEntryQuestion", MessageText(Language::Japanese, Message::DeleteEntryQuestion, {"flowers"}),
         "登録されている識別子 flowers を削除します。よろしいですか？"},
        {"identifierDiffersInCaseOnly",
         MessageText(Language::Japanese, Message::IdentifierDiffersInCaseOnly, {"Flowers", "FLOWERS"}),
         "識別子 Flowers は、登録されている識別子 FLOWERS と大文字・小文字しか違いません。\r\n"
         "コマンドラインでは大文字と小文字を区別しないため、FLOWERS の項目が使われます。登録しますか？"},
        {"fetchingPage",
         MessageText(Language::Japanese, Message::FetchingPage, {"http://example.org:8080/dir/page.html"}),
         "元URL http://example.org:8080/dir/page.html を取得しています..."},
        {"fetchingImage",
         MessageText(Language::Japanese, Message::FetchingImage, {"http://img.example:81/p/q.png"}),
         "画像ファイルhttp://img.example:81/p/q.pngを取得しています..."},
        {"notFoundOnServer", MessageText(Language::Japanese, Message::NotFoundOnServer, {"/d/p.html"}),
         "ファイル /d/p.html が見つかりませんでした。"},
        {"imageNotSaved", MessageText(Language::Japanese, Message::ImageNotSaved, {"cache.gif", "<why>"}),
         "画像ファイル cache.gif を保存できませんでした。<why>"},
        {"imageNotFetched", MessageText(Language::Japanese, Message::ImageNotFetched, {"http://h/a.jpg"}),
         "画像ファイル http://h/a.jpg を取得できませんでした。"},
        {"imageTooLarge",
         MessageText(Language::Japanese, Message::ImageTooLarge, {"http://h/a.jpg", "1 GiB"}),
         "画像ファイル http://h/a.jpg は大きすぎるため取得を中止しました（上限 1 GiB）。"},
        {"imageLeavesTooLittleSpace",
         MessageText(Language::Japanese, Message::ImageLeavesTooLittleSpace, {"http://h/a.jpg", "1 GiB"}),
         "画像ファイル http://h/a.jpg を保存するとディスクの空き容量が 1 GiB "
         "を下回るため取得を中止しました。"},
        {"quietNeedsName", MessageText(Language::Japanese, Message::QuietNeedsName),
         "識別子が指定されていません。\r\n-quiet "
         "を付けるときは、壁紙を変更する項目の識別子も指定してください。"},
        {"sourceMissing", MessageText(Language::Japanese, Message::SourceMissing, {"list.txt"}),
         "元ファイル list.txt が見つかりせん。"},
        {"sourceUnreadable", MessageText(Language::Japanese, Message::SourceUnreadable, {"list.txt"}),
         "元ファイル list.txt を読み込めませんでした。"},
        {"noMatchUnreadable", MessageText(Language::Japanese, Message::NoMatchUnreadable, {"<kinds>"}),
         kNoMatch + "\r\n<kinds>は読めない形式です。"},
        {"noMatchUnchecked", MessageText(Language::Japanese, Message::NoMatchUnchecked, {"<kinds>"}),
         kNoMatch + "\r\n<kinds>は抽出形式で選ばれていません。"},
        {"noMatchUnreadableAndUnchecked",
         MessageText(Language::Japanese, Message::NoMatchUnreadableAndUnchecked,
                     {"<unreadable>", "<unchecked>"}),
         kNoMatch + "\r\n<unreadable>は読めない形式です。<unchecked>は抽出形式で選ばれていません。"},
        {"folderMissing", MessageText(Language::Japanese, Message::FolderMissing, {"pics/"}),
         kNoMatch + "\r\nフォルダ pics/ がありません。"},
        {"folderUnreadable", MessageText(Language::Japanese, Message::FolderUnreadable, {"pics/"}),
         kNoMatch + "\r\nフォルダ pics/ を開けませんでした。"},
        {"nthBeyondCount", MessageText(Language::Japanese, Message::NthBeyondCount, {"12", "3"}),
         kNoMatch + "\r\n12番目の画像が指定されましたが、3個の画像ファイルしか抽出出来ませんでした。"},
        {"nothingContaining", MessageText(Language::Japanese, Message::NothingContaining, {"rose"}),
         kNoMatch + "\r\n文字列\"rose\"を含む画像ファイルが見つかりませんでした。"},
        {"imageMissing", MessageText(Language::Japanese, Message::ImageMissing, {"a.jpg"}),
         "画像ファイル a.jpg が見つかりません。"},
        {"imageNotCopied",
         MessageText(Language::Japanese, Message::ImageNotCopied, {"/p/a.jpg", "wpcache.jpg", "<why>"}),
         "画像ファイル /p/a.jpg を wpcache.jpg にコピーできませんでした。<why>"},
        {"unusableFileName",
         MessageText(Language::Japanese, Message::UnusableFileName, {"vexal.ini", "WinFolderWPname", "a/b"}),
         "設定ファイル vexal.ini の WinFolderWPname = a/b はファイル名として使えません。\r\n"
         "空欄、.、.. や / \\ を含む名前は使えません。"},
        {"unusableFileNameOnWindows",
         MessageText(Language::Japanese, Message::UnusableFileNameOnWindows,
                     {"C:\\Users\\me\\Documents\\vexal.ini", "CacheFileName", "evil.bmp:ads"}),
         "設定ファイル C:\\Users\\me\\Documents\\vexal.ini の CacheFileName = evil.bmp:ads はファイル名として"
         "使えません。\r\n空欄、.、.. や / \\ : * ? \" < > | を含む名前、末尾が . か空白の名前、"
         "CON・NUL・COM1 などの装置名は使えません。"},
        {"ownFileNameRefused",
         MessageText(Language::Japanese, Message::OwnFileNameRefused,
                     {"vexal.ini", "WinFolderWPname", "history.txt"}),
         "設定ファイル vexal.ini の WinFolderWPname = history.txt はファイル名として使えません。\r\n"
         "history.txt は vexal 自身が使うファイルの名前です。"},
        {"pictureTooLarge",
         MessageText(Language::Japanese, Message::PictureTooLarge, {"a.png", "60001", "40002"}),
         "画像ファイル a.png は大きすぎるため読み込めません（60001×40002 画素）。"},
        {"pictureUnreadable", MessageText(Language::Japanese, Message::PictureUnreadable, {"a.jpg"}),
         "画像ファイル a.jpg を画像として読み込めませんでした。"},
        {"pictureNeedsHeif", MessageText(Language::Japanese, Message::PictureNeedsHeif, {"a.heic"}),
         "画像ファイル a.heic は HEIF（HEIC）形式のため読み込めません。\r\n"
         "Windows に「HEIF 画像拡張機能」と「HEVC ビデオ拡張機能」を Microsoft Store "
         "から入れると読み込めます。"},
        {"pictureNeedsAvif", MessageText(Language::Japanese, Message::PictureNeedsAvif, {"a.avif"}),
         "画像ファイル a.avif は AVIF 形式のため読み込めません。\r\n"
         "Windows に「AV1 Video Extension」を Microsoft Store から入れると読み込めます。"},
        {"pictureNeedsJpegXl", MessageText(Language::Japanese, Message::PictureNeedsJpegXl, {"a.jxl"}),
         "画像ファイル a.jxl は JPEG XL 形式のため読み込めません。\r\n"
         "Windows に「JPEG XL 画像拡張機能」を Microsoft Store から入れると読み込めます。"},
        {"pictureNeedsSvg", MessageText(Language::Japanese, Message::PictureNeedsSvg, {"a.svg"}),
         "画像ファイル a.svg は SVG 形式のため読み込めません。\r\n"
         "Windows 版の vexal は SVG を壁紙にできません。PNG などに変換してから使ってください。"},
        {"pictureTooNarrow",
         MessageText(Language::Japanese, Message::PictureTooNarrow, {"small.jpg", "320", "640"}),
         "画像ファイル small.jpg は幅 320 ピクセルで、640 ピクセル未満のため使えません。"},
        {"changeFailedBecause", MessageText(Language::Japanese, Message::ChangeFailedBecause, {"<why>"}),
         kChangeFailed + "\r\n<why>"},
        {"bitmapNotWritten",
         MessageText(Language::Japanese, Message::BitmapNotWritten, {"/win/wall.bmp", "<why>"}),
         "壁紙ファイル /win/wall.bmp を書き込めませんでした。<why>"},
        {"folderNotMade",
         MessageText(Language::Japanese, Message::FolderNotMade, {"/home/u/.local/share/vexal", "<why>"}),
         "データフォルダ /home/u/.local/share/vexal を作成できません。<why>"},
        {"userFolderNotMade",
         MessageText(Language::Japanese, Message::UserFolderNotMade,
                     {"C:\\Users\\u\\AppData\\Roaming\\vexal"}),
         "フォルダ C:\\Users\\u\\AppData\\Roaming\\vexal を作れません。"},
        {"notDrawn", MessageText(Language::Japanese, Message::NotDrawn, {":99"}),
         "画面 :99 に壁紙を描けませんでした（表示に接続できないか、画像を読めません）。"},
        {"fileNotPrepared", MessageText(Language::Japanese, Message::FileNotPrepared, {"/tmp/wall.png"}),
         "壁紙のファイル /tmp/wall.png を用意できませんでした。"},
        {"toolWarned",
         MessageText(Language::Japanese, Message::ToolWarned, {"xfconf-query", "no such property"}),
         "デスクトップのツール xfconf-query の警告：no such property"},
        {"toolNotRun", MessageText(Language::Japanese, Message::ToolNotRun, {"feh"}),
         "デスクトップのツール feh を実行できませんでした（起動できないか、時間内に終わりませんでした）。"},
        {"toolFailed", MessageText(Language::Japanese, Message::ToolFailed, {"feh", "2"}),
         "デスクトップのツール feh が失敗しました（終了コード 2）。"},
        {"toolFailedSaying",
         MessageText(Language::Japanese, Message::ToolFailedSaying, {"feh", "2", "no image"}),
         "デスクトップのツール feh が失敗しました（終了コード 2）：no image"},
        {"valueNotKept", MessageText(Language::Japanese, Message::ValueNotKept, {"gsettings"}),
         "デスクトップのツール gsettings で変えた値が設定に残っていませんでした。"},
        {"systemRefused", MessageText(Language::Japanese, Message::SystemRefused, {"1459"}),
         "システムが壁紙の設定を受け付けませんでした（エラー 1459）。"},
        {"desktopCovers", MessageText(Language::Japanese, Message::DesktopCovers, {"xfdesktop"}),
         "デスクトップ xfdesktop の壁紙は vexal "
         "から変えられません（デスクトップのウィンドウがルートウィンドウを"
         "覆っています。VEXAL_DESKTOP=x11 でルートウィンドウに描けます）。"},
        {"lastRunSucceeded",
         MessageText(Language::Japanese, Message::LastRunSucceeded, {"2026-12-08 10:00:00"}),
         "前回の自動変更: 2026-12-08 10:00:00 成功"},
        {"lastRunFailed",
         MessageText(Language::Japanese, Message::LastRunFailed, {"2026-12-08 10:00:00", "why"}),
         "前回の自動変更: 2026-12-08 10:00:00 失敗 why"},
        {"scheduleNeedsServiceManager",
         MessageText(Language::Japanese, Message::ScheduleNeedsServiceManager, {"photos"}),
         "識別子 photos の自動変更を設定できませんでした。\r\n"
         "ユーザーのサービスマネージャー(systemd "
         "--user)が動いていないため、1時間ごと・毎日の自動変更は使えません。"
         "ログオン時の自動変更は使えます。"},
        {"scheduleNotWritten",
         MessageText(Language::Japanese, Message::ScheduleNotWritten, {"photos", "/h/a.timer"}),
         "識別子 photos の自動変更を設定できませんでした。\r\nファイル /h/a.timer を書き込めません。"},
        {"scheduleToolFailed",
         MessageText(Language::Japanese, Message::ScheduleToolFailed, {"photos", "systemctl", "1", "said"}),
         "識別子 photos の自動変更を設定できませんでした。\r\nsystemctl が失敗しました（終了コード "
         "1）：said"},
        {"scheduleRefused",
         MessageText(Language::Japanese, Message::ScheduleRefused, {"photos", "0x80070005"}),
         "識別子 photos の自動変更を設定できませんでした。\r\n"
         "タスク スケジューラが受け付けませんでした（エラー 0x80070005）。"},
        {"scheduleLineMissing", MessageText(Language::Japanese, Message::ScheduleLineMissing),
         "未登録: システムに登録されていません。保存すると登録します。"},
        {"scheduleLineToolFailed",
         MessageText(Language::Japanese, Message::ScheduleLineToolFailed, {"systemctl", "1"}),
         "未登録: systemctl が失敗しました（終了コード 1）。保存すると登録し直します。"},
        {"scheduleLineRefused", MessageText(Language::Japanese, Message::ScheduleLineRefused, {"0x80070005"}),
         "未登録: タスク スケジューラが受け付けませんでした（エラー "
         "0x80070005）。保存すると登録し直します。"},
        // Kinds without subjects whose words the progress window and its question show.
        {"readingPage", MessageText(Language::Japanese, Message::ReadingPage),
         "元ファイルを取得しています..."},
        {"loadingImage", MessageText(Language::Japanese, Message::LoadingImage), "画像を読み込んでいます..."},
        {"noAnswerQuestion", MessageText(Language::Japanese, Message::NoAnswerQuestion),
         "接続先の応答がありません。"},
        {"listingFolder", MessageText(Language::Japanese, Message::ListingFolder),
         "画像ファイルを取得しています..."},
        {"waitingForOtherRun", MessageText(Language::Japanese, Message::WaitingForOtherRun),
         "他のvexalの処理が終わるのを待っています..."},
        {"convertingPng", MessageText(Language::Japanese, Message::ConvertingPng),
         "pngファイルを変換しています..."},
        {"bytesReceived", MessageText(Language::Japanese, Message::BytesReceived, {"1.2 MB"}), "1.2 MB 受信"},
        {"bytesOfTotal", MessageText(Language::Japanese, Message::BytesOfTotal, {"1.2 MB", "3.4 MB"}),
         "1.2 MB / 3.4 MB"},
        {"bytesSecondsLeft",
         MessageText(Language::Japanese, Message::BytesSecondsLeft, {"1.2 MB", "3.4 MB", "5"}),
         "1.2 MB / 3.4 MB　残り 5 秒"},
        {"bytesMinutesLeft",
         MessageText(Language::Japanese, Message::BytesMinutesLeft, {"1.2 MB", "3.4 MB", "2", "5"}),
         "1.2 MB / 3.4 MB　残り 2 分 5 秒"},
        {"bytesHoursLeft",
         MessageText(Language::Japanese, Message::BytesHoursLeft, {"1.2 MB", "3.4 MB", "1", "30"}),
         "1.2 MB / 3.4 MB　残り 1 時間 30 分"},
        {"nothingToGoBack", MessageText(Language::Japanese, Message::NothingToGoBack),
         "戻せる前の壁紙がありません。"},
        {"nothingToGoForward", MessageText(Language::Japanese, Message::NothingToGoForward),
         "進める次の壁紙も、もう一度実行する項目もありません。"},
        // The editor's questions about an entry that cannot give a picture.
        {"noPictureKindQuestion", MessageText(Language::Japanese, Message::NoPictureKindQuestion),
         "抽出形式が一つも選択されていないため、この項目からは画像を取得できません。\r\nこのまま登録しますか"
         "？"},
        {"noLinkRuleQuestion", MessageText(Language::Japanese, Message::NoLinkRuleQuestion),
         "抽出条件が一つも選択されていないため、この項目からは画像を取得できません。\r\nこのまま登録しますか"
         "？"},
    };
    ExpectTexts(rows);
}

TEST(MessagesTest, MissingAndExtraSubjects) {
    const TextRow rows[] = {
        {"missingOnesAreLeftEmpty", MessageText(Language::Japanese, Message::ImageNotCopied, {"a.jpg"}),
         "画像ファイル a.jpg を  にコピーできませんでした。"},
        {"noneAtAll", MessageText(Language::Japanese, Message::SourceMissing),
         "元ファイル  が見つかりせん。"},
        {"emptyReason", MessageText(Language::Japanese, Message::ChangeFailedBecause, {""}),
         kChangeFailed + "\r\n"},
        {"extraOnesAreIgnored", MessageText(Language::Japanese, Message::ToolFailed, {"feh", "2", "said"}),
         "デスクトップのツール feh が失敗しました（終了コード 2）。"},
        {"extraOnesOnATextWithoutSubjects", MessageText(Language::Japanese, Message::NoMatch, {"x"}),
         kNoMatch},
        {"bracesInASubjectAreNotReadAgain",
         MessageText(Language::Japanese, Message::ToolWarned, {"{2}", "{1}"}),
         "デスクトップのツール {2} の警告：{1}"},
    };
    ExpectTexts(rows);
}

TEST(FailureTextsTest, FileFailures) {
    const TextRow rows[] = {
        {"nothing", FileFailureText(Language::Japanese, FileFailure::Nothing), ""},
        {"diskFull", FileFailureText(Language::Japanese, FileFailure::DiskFull),
         "ディスクの空きが足りません。"},
        {"notPermitted", FileFailureText(Language::Japanese, FileFailure::NotPermitted),
         "書き込みが許可されていません。"},
        {"readOnly", FileFailureText(Language::Japanese, FileFailure::ReadOnly), "読み取り専用の場所です。"},
        {"missing", FileFailureText(Language::Japanese, FileFailure::Missing), ""},
        {"other", FileFailureText(Language::Japanese, FileFailure::Other), ""},
    };
    ExpectTexts(rows);
}

// Regression: a settings file that could not be read was reported as missing.
TEST(FailureTextsTest, SettingsFileThatCannotBeRead) {
    auto load = [](ReadFailure reason, SettingsReadKind kind = SettingsReadKind::Unreadable) {
        SettingsLoad l;
        l.kind = kind;
        l.reason = reason;
        return l;
    };
    const std::string why = SettingsReadText(Language::Japanese, load(ReadFailure::TooLarge));
    const TextRow rows[] = {
        {"notPermitted", SettingsReadText(Language::Japanese, load(ReadFailure::NotPermitted)),
         "読み取りが許可されていません。"},
        {"folder", SettingsReadText(Language::Japanese, load(ReadFailure::Folder)),
         "ファイルではなくフォルダーです。"},
        {"notText", SettingsReadText(Language::Japanese, load(ReadFailure::Nothing)),
         "テキストではないデータ(NUL 文字)を含んでいます。"},
        {"read", SettingsReadText(Language::Japanese, load(ReadFailure::Nothing, SettingsReadKind::Read)),
         ""},
        {"other", SettingsReadText(Language::Japanese, load(ReadFailure::Other)), ""},
        {"run", MessageText(Language::Japanese, Message::SettingsUnreadable, {"/home/u/vexal.ini", why}),
         "設定ファイル /home/u/vexal.ini はありますが、読み込めません。大きさが上限の 64 MiB "
         "を超えています。"},
        {"editor",
         MessageText(Language::Japanese, Message::EditorSettingsUnreadable, {"/home/u/vexal.ini", "<why>"}),
         "設定ファイル /home/u/vexal.ini はありますが、読み込めません。<why>\r\n"
         "保存で登録内容を失わないよう、編集画面は開きません。"},
        {"notSaved",
         MessageText(Language::Japanese, Message::SettingsNotSavedUnreadable, {"vexal.ini", "<why>"}),
         "設定ファイル vexal.ini が読み込めないため、保存しませんでした。ファイルはそのままです。<why>"},
    };
    ExpectTexts(rows);
}

TEST(FailureTextsTest, ConflictsAreNamedOneALine) {
    const std::string lines = ConflictLines(Language::Japanese, {{ConflictKind::Field, "", "TimeOut"},
                                                                 {ConflictKind::Field, "a", "Url"},
                                                                 {ConflictKind::AddedBoth, "n", ""},
                                                                 {ConflictKind::DeletedHere, "d", ""},
                                                                 {ConflictKind::DeletedThere, "e", ""}});
    const TextRow rows[] = {
        {"question", MessageText(Language::Japanese, Message::MergeConflictQuestion, {"vexal.ini", lines}),
         "設定ファイル vexal.ini は、編集中にほかで変更されました。\r\n"
         "次の項目は、この画面とファイルの両方で違うように変更されています。\r\n"
         "設定 TimeOut\r\n"
         "識別子 a の Url\r\n"
         "識別子 n (両方で追加されました)\r\n"
         "識別子 d (この画面で削除し、ファイルでは変更されました)\r\n"
         "識別子 e (ファイルから削除され、この画面では変更されました)\r\n"
         "この画面の内容を残しますか？\r\n"
         "(はい: この画面の内容を残します。いいえ: ファイルの内容を残します。)"},
    };
    ExpectTexts(rows);
}

TEST(FailureTextsTest, PictureErrors) {
    const TextRow rows[] = {
        {"unreadable", PictureErrorText(Language::Japanese, "wp.jpg", {DecodeError::Unreadable, 0, 0}),
         "画像ファイル wp.jpg を画像として読み込めませんでした。"},
        {"tooLarge", PictureErrorText(Language::Japanese, "wp.png", {DecodeError::TooLarge, 50000, 40000}),
         "画像ファイル wp.png は大きすぎるため読み込めません（50000×40000 画素）。"},
        // Only a refused picture is put into words; without a reason it counts as unreadable.
        {"none", PictureErrorText(Language::Japanese, "wp.gif", {DecodeError::None, 10, 10}),
         "画像ファイル wp.gif を画像として読み込めませんでした。"},
        // A missing codec names the picture's kind.
        {"noHeifCodec",
         PictureErrorText(Language::Japanese, "a", {DecodeError::NoCodec, 0, 0, CodecKind::Heif}),
         MessageText(Language::Japanese, Message::PictureNeedsHeif, {"a"})},
        {"noAvifCodec",
         PictureErrorText(Language::Japanese, "a", {DecodeError::NoCodec, 0, 0, CodecKind::Avif}),
         MessageText(Language::Japanese, Message::PictureNeedsAvif, {"a"})},
        {"noJpegXlCodec",
         PictureErrorText(Language::Japanese, "a", {DecodeError::NoCodec, 0, 0, CodecKind::JpegXl}),
         MessageText(Language::Japanese, Message::PictureNeedsJpegXl, {"a"})},
        {"noSvg", PictureErrorText(Language::Japanese, "a", {DecodeError::NoCodec, 0, 0, CodecKind::Svg}),
         MessageText(Language::Japanese, Message::PictureNeedsSvg, {"a"})},
        {"noCodecOfNoKind",
         PictureErrorText(Language::Japanese, "a", {DecodeError::NoCodec, 0, 0, CodecKind::None}),
         MessageText(Language::Japanese, Message::PictureUnreadable, {"a"})},
        // A kind whose library is not installed names the kind and the library.
        {"noHeifLibrary",
         PictureErrorText(Language::Japanese, "a.heic", {DecodeError::NoLibrary, 0, 0, CodecKind::Heif}),
         "画像ファイル a.heic は HEIF (HEIC) 形式ですが、この形式を読むライブラリ libheif "
         "がインストールされていないため読み込めません。"},
        {"noHeifLibraryInEnglish",
         PictureErrorText(Language::English, "a.heic", {DecodeError::NoLibrary, 0, 0, CodecKind::Heif}),
         "The picture a.heic is in the HEIF (HEIC) format, but libheif, the library that reads it, is not "
         "installed."},
        {"noAvifLibrary",
         PictureErrorText(Language::English, "a.avif", {DecodeError::NoLibrary, 0, 0, CodecKind::Avif}),
         "The picture a.avif is in the AVIF format, but libheif, the library that reads it, is not "
         "installed."},
        {"noJpegXlLibrary",
         PictureErrorText(Language::English, "a.jxl", {DecodeError::NoLibrary, 0, 0, CodecKind::JpegXl}),
         "The picture a.jxl is in the JPEG XL format, but libjxl, the library that reads it, is not "
         "installed."},
    };
    ExpectTexts(rows);
}

TEST(FailureTextsTest, FetchFailures) {
    auto text = [](auto... fields) { return FetchFailureText(Language::Japanese, Fetched(fields...)); };
    const TextRow rows[] = {
        {"none", text(FetchFailure::None), ""},
        {"badAddress", text(FetchFailure::BadAddress), "URLの指定が間違っています。"},
        {"noSecureChannel", text(FetchFailure::NoSecureChannel), "暗号化通信を確立できませんでした。"},
        {"cancelled", text(FetchFailure::Cancelled), "ユーザーによってキャンセルされました。"},
        // The user was asked whether to wait on and declined: nothing more to say.
        {"noAnswer", text(FetchFailure::NoAnswer), ""},
        {"socketRefused", text(FetchFailure::SocketError, 10061), "接続が強制的に拒絶されました。"},
        {"socketHostNotFound", text(FetchFailure::SocketError, 11001), "正式応答。ホストが見つかりません。"},
        {"socketReset", text(FetchFailure::SocketError, 10054),
         "接続がリモート側のマシンからリセットされました。"},
        {"socketTimedOut", text(FetchFailure::SocketError, 10060), "ソケットは終了しました。"},
        {"disconnected", text(FetchFailure::Disconnected), "切断されました。"},
        {"closedByPeer", text(FetchFailure::ClosedByPeer), "相手側から切断されました。"},
        {"connectionError", text(FetchFailure::ConnectionError), "エラーが発生しました。"},
        {"notFoundNamesThePath", text(FetchFailure::NotFound, 404, "/dir/page.html?q=1"),
         "ファイル /dir/page.html?q=1 が見つかりませんでした。"},
        // The status line's words for every code are net/'s, tested with its table.
        {"redirectWithoutLocation", text(FetchFailure::Rejected, 302), "302 Moved Temporarily"},
        {"redirectToAnotherScheme", text(FetchFailure::Rejected, 301), "301 Moved Permanently"},
        {"unlistedRedirect", text(FetchFailure::Rejected, 307), "307 "},
        {"serverError", text(FetchFailure::Rejected, 500), "500 Internal Server Error"},
        {"serviceUnavailable", text(FetchFailure::Rejected, 503), "503 Service Unavailable"},
        {"unlistedStatus", text(FetchFailure::Rejected, 418), "418 "},
        {"tooManyRedirects", text(FetchFailure::TooManyRedirects), "リダイレクトが多すぎます。"},
        {"malformed", text(FetchFailure::Malformed), "接続先の応答が正しくありません。"},
        {"outOfMemory", text(FetchFailure::OutOfMemory), "メモリが足りません。"},
        // What and where: the first line as it always was, the host, the address or the
        // bound on the second.
        {"hostNotFoundNamesTheHost", text(FetchFailure::SocketError, 11001, "pictures.example"),
         "正式応答。ホストが見つかりません。\r\nホスト pictures.example のアドレスを調べられませんでした。"},
        {"refusedNamesTheAddress", text(FetchFailure::SocketError, 10061, "127.0.0.1:8158"),
         "接続が強制的に拒絶されました。\r\n接続先 127.0.0.1:8158 との通信に失敗しました。"},
        {"pageTooLarge",
         text(FetchFailure::OutOfMemory, 0, "http://h/big.html", FileFailure::Nothing,
              std::uint64_t{64} << 20),
         "メモリが足りません。\r\nページ http://h/big.html は上限 64 MiB を超えるため取得を中止しました。"},
        {"tooSlow", text(FetchFailure::TooSlow, 0, "http://h/a.jpg", FileFailure::Nothing, 1024, 30),
         "接続先 http://h/a.jpg からの受信が遅すぎるため取得を中止しました（30 秒間に 1 KiB 未満）。"},
        {"proxyUnreachable", text(FetchFailure::ProxyUnreachable, 10061, "127.0.0.1:8158"),
         "接続が強制的に拒絶されました。\r\nプロキシ 127.0.0.1:8158 に接続できませんでした。"},
        {"proxyRefused", text(FetchFailure::ProxyRefused, 403, "proxy.example:3128"),
         "プロキシ proxy.example:3128 が接続を中継しませんでした（403 Forbidden）。"},
        {"proxyRefusedUnlistedStatus", text(FetchFailure::ProxyRefused, 418, "p:1"),
         "プロキシ p:1 が接続を中継しませんでした（418）。"},
        {"proxyNoAnswer", text(FetchFailure::ProxyRefused, 0, "p:1"),
         "プロキシ p:1 が接続の中継に応答しませんでした。"},
        {"proxyAuthentication", text(FetchFailure::ProxyAuthentication, 407, "p:1"),
         "プロキシ p:1 が認証を求めています（407）。\r\nvexal はプロキシの認証に対応していません。"},
        {"runTooLong", text(FetchFailure::RunTooLong, 0, "http://h/a.jpg", FileFailure::Nothing, 0, 600),
         "接続先 http://h/a.jpg からの取得が終わらないため中止しました（無人の実行の上限 600 秒）。"},
        {"notSaved", text(FetchFailure::NotSaved, 0, "cache.bmp", FileFailure::Other),
         "画像ファイル cache.bmp を保存できませんでした。"},
        {"notSavedOnAFullDisk", text(FetchFailure::NotSaved, 0, "cache.bmp", FileFailure::DiskFull),
         "画像ファイル cache.bmp を保存できませんでした。ディスクの空きが足りません。"},
        {"empty", text(FetchFailure::Empty, 0, "http://h/two.jpg"),
         "画像ファイル http://h/two.jpg を取得できませんでした。"},
        // The bound in the largest unit that holds it whole.
        {"tooLarge", text(FetchFailure::TooLarge, 0, "http://h/a.jpg", FileFailure::Nothing, 1u << 30),
         "画像ファイル http://h/a.jpg は大きすぎるため取得を中止しました（上限 1 GiB）。"},
        {"diskLow", text(FetchFailure::DiskLow, 0, "http://h/a.jpg", FileFailure::Nothing, 1536u << 20),
         "画像ファイル http://h/a.jpg を保存するとディスクの空き容量が 1536 MiB "
         "を下回るため取得を中止しました。"},
    };
    ExpectTexts(rows);
}

TEST(FailureTextsTest, RetrievalFailures) {
    using F = RetrievalFailure;
    auto text = [](auto... fields) { return RetrievalFailureText(Language::Japanese, Retrieval(fields...)); };
    auto with = [](RetrievalResult result, auto set) {
        set(result);
        return RetrievalFailureText(Language::Japanese, result);
    };
    const TextRow rows[] = {
        {"none", text(F::None), ""},
        {"fetchNotFound",
         RetrievalFailureText(Language::Japanese,
                              FetchFailed(Fetched(FetchFailure::NotFound, 404, "/a/b.html"))),
         "ファイル /a/b.html が見つかりませんでした。"},
        {"fetchRejected",
         RetrievalFailureText(Language::Japanese, FetchFailed(Fetched(FetchFailure::Rejected, 503))),
         "503 Service Unavailable"},
        {"fetchSocketError",
         RetrievalFailureText(Language::Japanese, FetchFailed(Fetched(FetchFailure::SocketError, 10061))),
         "接続が強制的に拒絶されました。"},
        {"fetchNoAnswer",
         RetrievalFailureText(Language::Japanese, FetchFailed(Fetched(FetchFailure::NoAnswer))), ""},
        {"sourceMissing", text(F::SourceMissing, "C:/a b/list.txt"),
         "元ファイル C:/a b/list.txt が見つかりせん。"},
        {"sourceMissingRelative", text(F::SourceMissing, "none.txt"), "元ファイル none.txt が見つかりせん。"},
        {"sourceUnreadable", text(F::SourceUnreadable, "C:/a b/list.txt"),
         "元ファイル C:/a b/list.txt を読み込めませんでした。"},
        {"sourceTooLarge", text(F::SourceTooLarge, "C:/a b/list.txt"),
         "元ファイル C:/a b/list.txt は大きすぎるため読み込めません（上限 64 MiB）。"},
        {"noMatch", text(F::NoMatch), kNoMatch},
        {"noMatchUnreadable",
         with(Retrieval(F::NoMatch),
              [](auto& r) {
                  r.unreadable = {{"SVG", 10}, {"XML", 1}};
              }),
         kNoMatch + "\r\nSVG 10 個、XML 1 個は読めない形式です。"},
        {"noMatchUnchecked",
         with(Retrieval(F::NoMatch),
              [](auto& r) {
                  r.unchecked = {{"PNG", 3}};
              }),
         kNoMatch + "\r\nPNG 3 個は抽出形式で選ばれていません。"},
        {"noMatchUnreadableAndUnchecked",
         with(Retrieval(F::NoMatch),
              [](auto& r) {
                  r.unreadable = {{"TXT", 2}};
                  r.unchecked = {{"GIF", 4}, {"BMP", 1}};
              }),
         kNoMatch + "\r\nTXT 2 個は読めない形式です。GIF 4 個、BMP 1 個は抽出形式で選ばれていません。"},
        {"noMatchMoreThanFiveKinds",
         with(Retrieval(F::NoMatch),
              [](auto& r) {
                  r.unreadable = {{"A", 6}, {"B", 5}, {"C", 4}, {"D", 3}, {"E", 2}, {"F", 1}};
              }),
         kNoMatch + "\r\nA 6 個、B 5 個、C 4 個、D 3 個、E 2 個などは読めない形式です。"},
        {"noMatchScriptPageBeforeTheLists",
         with(Retrieval(F::NoMatch),
              [](auto& r) {
                  r.scriptPage = true;
                  r.unreadable = {{"SVG", 1}};
              }),
         kNoMatch + "\r\nこのページは画像をスクリプトで表示している可能性があります。vexalはスクリプトを実行"
                    "しません。"},
        {"folderMissing", text(F::FolderMissing, "pics/"), kNoMatch + "\r\nフォルダ pics/ がありません。"},
        {"folderUnreadable", text(F::FolderUnreadable, "pics/"),
         kNoMatch + "\r\nフォルダ pics/ を開けませんでした。"},
        {"nthBeyondCount",
         with(Retrieval(F::NthBeyondCount),
              [](auto& r) {
                  r.wanted = 6;
                  r.count = 5;
              }),
         kNoMatch + "\r\n6番目の画像が指定されましたが、5個の画像ファイルしか抽出出来ませんでした。"},
        {"nthBeyondCountLargest",
         with(Retrieval(F::NthBeyondCount),
              [](auto& r) {
                  r.wanted = 2147483647;
                  r.count = 1;
              }),
         kNoMatch +
             "\r\n2147483647番目の画像が指定されましたが、1個の画像ファイルしか抽出出来ませんでした。"},
        {"nothingContaining", text(F::NothingContaining, "Tulip"),
         kNoMatch + "\r\n文字列\"Tulip\"を含む画像ファイルが見つかりませんでした。"},
        {"nothingNamed", text(F::NothingNamed), "画像ファイルが指定されませんでした。"},
        {"imageMissing", text(F::ImageMissing, "C:pics/none.jpg"),
         "画像ファイル C:pics/none.jpg が見つかりません。"},
        {"imageNotCopied",
         with(Retrieval(F::ImageNotCopied, "/p/a.jpg", "wpcache.jpg"),
              [](auto& r) { r.fileFailure = FileFailure::ReadOnly; }),
         "画像ファイル /p/a.jpg を wpcache.jpg にコピーできませんでした。読み取り専用の場所です。"},
        {"pictureRefused",
         with(Retrieval(F::PictureRefused, "a.png"),
              [](auto& r) {
                  r.decode = {DecodeError::TooLarge, 60000, 60000};
              }),
         "画像ファイル a.png は大きすぎるため読み込めません（60000×60000 画素）。"},
        {"pngUnreadable", text(F::PngUnreadable), "pngファイルの読み出しに失敗しました"},
        {"pngUnreadableNamesTheFile", text(F::PngUnreadable, "http://h/broken.png"),
         "pngファイルの読み出しに失敗しました\r\n画像ファイル http://h/broken.png を読み込めませんでした。"},
        {"lockNotFreed", with(Retrieval(F::LockNotFreed), [](auto& r) { r.wanted = 660000; }),
         "他のvexalの処理が 660 秒待っても終わらないため中止しました。"},
        {"previewNeedsDisplay", text(F::PreviewNeedsDisplay),
         "画面がないため、プレビューを表示できません。\r\n-preview "
         "を付けずに起動すると、確認せずに壁紙を変更します。"},
        {"pngNotConverted", text(F::PngNotConverted), "pngファイルの変換に失敗しました"},
        {"cancelled", text(F::Cancelled), "ユーザーによってキャンセルされました。"},
        {"noConnection", text(F::NoConnection), ""},
        {"unusableFileName",
         with(Retrieval(F::UnusableFileName, "..", "WinFolderWPname"), [](auto& r) { r.file = "vexal.ini"; }),
         // Windows also names ':', which it refuses there.
         kColonRefusedInFileNames
             ? "設定ファイル vexal.ini の WinFolderWPname = .. はファイル名として使えません。\r\n"
               "空欄、.、.. や / \\ : * ? \" < > | を含む名前、末尾が . か空白の名前、"
               "CON・NUL・COM1 などの装置名は使えません。"
             : "設定ファイル vexal.ini の WinFolderWPname = .. はファイル名として使えません。\r\n"
               "空欄、.、.. や / \\ を含む名前は使えません。"},
        {"ownFileName",
         with(Retrieval(F::UnusableFileName, ".vexal-lock", "WinFolderWPname"),
              [](auto& r) { r.file = "vexal.ini"; }),
         "設定ファイル vexal.ini の WinFolderWPname = .vexal-lock はファイル名として使えません。\r\n"
         ".vexal-lock は vexal 自身が使うファイルの名前です。"},
        {"tooNarrow",
         with(Retrieval(F::TooNarrow, "s.jpg"),
              [](auto& r) {
                  r.wanted = 800;
                  r.count = 640;
              }),
         "画像ファイル s.jpg は幅 640 ピクセルで、800 ピクセル未満のため使えません。"},
        {"unusableShape",
         with(Retrieval(F::UnusableShape, "b.jpg"),
              [](auto& r) {
                  r.count = 990;
                  r.wanted = 120;
              }),
         "画像ファイル b.jpg は 990×120 ピクセルで、縦横の比が 4 倍を超えるため壁紙に使えません。"},
    };
    ExpectTexts(rows);
}

TEST(FailureTextsTest, DesktopFailures) {
    using F = DesktopFailure;
    auto text = [](auto... fields) { return DesktopFailureText(Language::Japanese, DesktopSaid(fields...)); };
    const TextRow rows[] = {
        {"none", text(F::None), ""},
        {"noDataFolder", text(F::NoDataFolder),
         "データフォルダの場所が分かりません（HOME も XDG_DATA_HOME もありません）。"},
        {"folderNotMade", text(F::FolderNotMade, "/x"), "データフォルダ /x を作成できません。"},
        {"folderNotMadeOnAFullDisk", text(F::FolderNotMade, "/x", "", "", 0, FileFailure::DiskFull),
         "データフォルダ /x を作成できません。ディスクの空きが足りません。"},
        {"noSystemFolder", text(F::NoSystemFolder), "Windows フォルダの場所が分かりません。"},
        {"noUserFolder", text(F::NoUserFolder),
         "ユーザーのアプリケーションデータフォルダの場所が分かりません。"},
        {"userFolderNotMade", text(F::UserFolderNotMade, "C:\\u\\vexal"),
         "フォルダ C:\\u\\vexal を作れません。"},
        {"noScreen", text(F::NoScreen),
         "壁紙を表示する画面が見つかりません（DISPLAY がなく、対応するデスクトップもありません）。"},
        {"noDisplay", text(F::NoDisplay), "壁紙を表示する画面がありません（DISPLAY が設定されていません）。"},
        {"notDrawn", text(F::NotDrawn, ":99"),
         "画面 :99 に壁紙を描けませんでした（表示に接続できないか、画像を読めません）。"},
        {"fileNotPrepared", text(F::FileNotPrepared, "/tmp/w.png"),
         "壁紙のファイル /tmp/w.png を用意できませんでした。"},
        {"toolWarned", text(F::ToolWarned, "", "xfconf-query", "no such property"),
         "デスクトップのツール xfconf-query の警告：no such property"},
        {"toolNotRun", text(F::ToolNotRun, "", "feh"),
         "デスクトップのツール feh を実行できませんでした（起動できないか、時間内に終わりませんでした）。"},
        {"toolFailedSilently", text(F::ToolFailed, "", "gsettings", "", 1),
         "デスクトップのツール gsettings が失敗しました（終了コード 1）。"},
        {"toolFailedSaying", text(F::ToolFailed, "", "gsettings", "refused", 1),
         "デスクトップのツール gsettings が失敗しました（終了コード 1）：refused"},
        {"valueNotKept", text(F::ValueNotKept, "", "gsettings"),
         "デスクトップのツール gsettings で変えた値が設定に残っていませんでした。"},
        {"refused", text(F::Refused), "デスクトップが壁紙の設定を受け付けませんでした。"},
        {"systemRefused", text(F::SystemRefused, "", "", "", 1459),
         "システムが壁紙の設定を受け付けませんでした（エラー 1459）。"},
        {"desktopCovers", text(F::DesktopCovers, "xfdesktop"),
         "デスクトップ xfdesktop の壁紙は vexal "
         "から変えられません（デスクトップのウィンドウがルートウィンドウを"
         "覆っています。VEXAL_DESKTOP=x11 でルートウィンドウに描けます）。"},
        {"desktopNotRunning", text(F::DesktopNotRunning, "", "xfdesktop"),
         "デスクトップの背景を描くプログラム xfdesktop が動いていません。"},
    };
    ExpectTexts(rows);
}

TEST(FailureTextsTest, InstallFailureBoxes) {
    using O = InstallOutcome;
    auto box = [](O outcome, std::string subject = {}, DecodeResult decode = {}, DesktopResult desktop = {},
                  FileFailure file = FileFailure::Nothing) {
        return InstallFailureBox(Language::Japanese,
                                 {outcome, std::move(subject), decode, std::move(desktop), file});
    };
    const struct {
        const char* name;
        FailureBox box;
        BoxKind kind;
        std::string text;
    } rows[] = {
        {"installed", box(O::Installed), BoxKind::Nothing, ""},
        {"stopped", box(O::Stopped), BoxKind::Nothing, ""},
        {"noFolderWithoutADesktop", box(O::NoFolder), BoxKind::Notice, kChangeFailed},
        {"noFolder", box(O::NoFolder, "", {}, DesktopSaid(DesktopFailure::FolderNotMade, "/x")),
         BoxKind::Notice, kChangeFailed + "\r\nデータフォルダ /x を作成できません。"},
        {"notWritten", box(O::NotWritten, "/win/wall.bmp", {}, {}, FileFailure::Other), BoxKind::Notice,
         kChangeFailed + "\r\n壁紙ファイル /win/wall.bmp を書き込めませんでした。"},
        {"notWrittenReadOnly", box(O::NotWritten, "/win/wall.bmp", {}, {}, FileFailure::ReadOnly),
         BoxKind::Notice,
         kChangeFailed + "\r\n壁紙ファイル /win/wall.bmp を書き込めませんでした。読み取り専用の場所です。"},
        {"pictureUnreadable", box(O::PictureRefused, "http://h/a.jpg", {DecodeError::Unreadable}),
         BoxKind::Error, "画像ファイル http://h/a.jpg を画像として読み込めませんでした。"},
        {"pictureTooLarge", box(O::PictureRefused, "/p/b.bmp", {DecodeError::TooLarge, 9000, 9000}),
         BoxKind::Error, "画像ファイル /p/b.bmp は大きすぎるため読み込めません（9000×9000 画素）。"},
        {"pngUnreadable", box(O::PngUnreadable), BoxKind::Notice, "png読み出しエラー"},
        {"pngUnreadableNamesTheFile", box(O::PngUnreadable, "/p/broken.png"), BoxKind::Notice,
         "png読み出しエラー\r\n画像ファイル /p/broken.png を読み込めませんでした。"},
        {"pngNotConverted", box(O::PngNotConverted), BoxKind::Notice, "png変換エラー"},
        {"unsupportedKind", box(O::UnsupportedKind), BoxKind::Notice, "非対応拡張子が選択されました。"},
        {"refusedWithoutWords", box(O::Refused, "", {}, DesktopSaid(DesktopFailure::Refused)),
         BoxKind::Notice, kChangeFailed + "\r\nデスクトップが壁紙の設定を受け付けませんでした。"},
        {"refusedByATool",
         box(O::Refused, "", {}, DesktopSaid(DesktopFailure::ToolFailed, "", "gsettings", "refused", 1)),
         BoxKind::Notice,
         kChangeFailed + "\r\nデスクトップのツール gsettings が失敗しました（終了コード 1）：refused"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.box.kind, row.kind) << row.name;
        EXPECT_EQ(row.box.text, row.text) << row.name;
    }
}

}  // namespace
}  // namespace vexal
