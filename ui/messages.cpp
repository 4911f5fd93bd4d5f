// The table of the program's messages.
#include "ui/messages.h"

#include <cassert>
#include <iterator>

namespace vexal {
namespace {

struct Entry {
    Message kind;
    const char* text;
};

// In the order of the enumeration, one row for each kind, which the compiler checks below.
constexpr Entry kTexts[] = {
    {Message::Usage,
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
     "{3}"
     "\n"
     "画面がないとき、または VEXAL_NONINTERACTIVE=1 のときは、メッセージボックスの代わりに\n"
     "「タイトル: 本文」の1行を標準エラー出力に書き(エラーのタイトルは {2}、\n"
     "お知らせは vexal)、問い合わせにはキャンセル/いいえ/空欄で答えます。\n"
     "\n"
     "終了ステータス: 壁紙を変更したときとエディタを閉じたとき(終了ボタンは保存してから、\n"
     "閉じるボタンは保存していない変更があれば保存するか尋ねてから閉じます)は 0、\n"
     "失敗または取り消しのときは 1 です。\n"},
    {Message::UsageSettingsWindows,
     "設定ファイル {1} は、現在のフォルダーにあればそれを、なければドキュメント フォルダー\n"
     "(Windows が示す場所)のものを読み、そのファイルのフォルダーで動きます。どちらにも\n"
     "なければ現在のフォルダーに作ります。ただし vexal.exe のフォルダーで起動したときは\n"
     "ドキュメント フォルダーに作ります。\n"},
    {Message::UsageSettingsElsewhere,
     "設定ファイル {1} は、現在のフォルダーにあればそれを、なければホーム フォルダーの\n"
     "ものを読み、そのファイルのフォルダーで動きます。どちらにもなければ現在のフォルダーに\n"
     "作ります。\n"},
    {Message::IdentifierNotFound,
     "指定された識別子 {1} が見つかりません。\r\n設定ファイル {2} に登録されていません。"},
    {Message::IdentifierNoSettings,
     "指定された識別子 {1} が見つかりません。\r\n設定ファイル {2} がありません。"},
    {Message::IdentifierNotInUsersFile,
     "指定された識別子 {1} が見つかりません。\r\n設定ファイル {2} はなく、{3} に登録されていません。"},
    {Message::IdentifierNoSettingsEither,
     "指定された識別子 {1} が見つかりません。\r\n設定ファイル {2} も {3} もありません。"},
    {Message::SettingsFolderUnreachable,
     "設定ファイルを置くフォルダー {1} が見つかりません。\r\n"
     "そのドライブやネットワークの場所につながっているか確かめてください。"},
    {Message::WpNeedsImage, "-wp オプションにはサブオプションとして URL/ファイル が必要です。"},
    {Message::WpPathHasBlank,
     "-wp の後のパス {1} に空白があります。空白を含むパスは引用符 \" で囲んでください。"},
    {Message::InvalidOption, "起動時オプション {1} が無効です。"},
    {Message::NoEditorWithoutDisplay,
     "画面がないため、エントリの編集画面を開けません。識別子を指定して起動してください。"},
    {Message::SettingsUnreadable, "設定ファイル {1} はありますが、読み込めません。{2}"},
    {Message::EditorSettingsUnreadable,
     "設定ファイル {1} はありますが、読み込めません。{2}\r\n"
     "保存で登録内容を失わないよう、編集画面は開きません。"},
    {Message::SettingsReadNotPermitted, "読み取りが許可されていません。"},
    {Message::SettingsIsFolder, "ファイルではなくフォルダーです。"},
    {Message::SettingsNotText, "テキストではないデータ(NUL 文字)を含んでいます。"},
    {Message::SettingsTooLarge, "大きさが上限の {1} を超えています。"},

    {Message::IdentifierPrompt, "登録する識別子を入力してください"},
    {Message::IdentifierHasBlank, "識別子に空白文字は使用出来ません。"},
    {Message::IdentifierNotLetter, "識別子の１文字目は英文字である必要があります。"},
    {Message::SettingsNotWritten, "設定ファイル {1} に書き込めませんでした。{2}"},
    {Message::DeleteEntryQuestion, "登録されている識別子 {1} を削除します。よろしいですか？"},
    {Message::IdentifierDiffersInCaseOnly,
     "識別子 {1} は、登録されている識別子 {2} と大文字・小文字しか違いません。\r\n"
     "コマンドラインでは大文字と小文字を区別しないため、{2} の項目が使われます。登録しますか？"},
    {Message::UnregisteredEntryQuestion, "新規の項目が登録されていません。\r\n登録してから終了しますか？"},
    {Message::SaveChangesQuestion, "登録内容の変更が保存されていません。\r\n保存してから閉じますか？"},
    {Message::PreviewUrlEmpty, "URL/ファイル が空欄です。"},
    {Message::SetWallpaperUrlEmpty, "URL/ファイルが空欄です。"},
    {Message::SettingsNotSavedUnreadable,
     "設定ファイル {1} が読み込めないため、保存しませんでした。ファイルはそのままです。{2}"},
    {Message::MergeConflictQuestion,
     "設定ファイル {1} は、編集中にほかで変更されました。\r\n"
     "次の項目は、この画面とファイルの両方で違うように変更されています。\r\n{2}\r\n"
     "この画面の内容を残しますか？\r\n"
     "(はい: この画面の内容を残します。いいえ: ファイルの内容を残します。)"},
    {Message::ConflictField, "識別子 {1} の {2}"},
    {Message::ConflictSetting, "設定 {1}"},
    {Message::ConflictAddedBoth, "識別子 {1} (両方で追加されました)"},
    {Message::ConflictDeletedHere, "識別子 {1} (この画面で削除し、ファイルでは変更されました)"},
    {Message::ConflictDeletedThere, "識別子 {1} (ファイルから削除され、この画面では変更されました)"},

    {Message::FetchingPage, "元URL {1} を取得しています..."},
    {Message::ReadingPage, "元ファイルを取得しています..."},
    {Message::FetchingImage, "画像ファイル{1}を取得しています..."},
    {Message::LoadingImage, "画像を読み込んでいます..."},
    {Message::NoAnswerQuestion, "接続先の応答がありません。"},
    {Message::BadAddress, "URLの指定が間違っています。"},
    {Message::NoSecureChannel, "暗号化通信を確立できませんでした。"},
    {Message::Cancelled, "ユーザーによってキャンセルされました。"},
    {Message::Disconnected, "切断されました。"},
    {Message::ClosedByPeer, "相手側から切断されました。"},
    {Message::ConnectionError, "エラーが発生しました。"},
    {Message::NotFoundOnServer, "ファイル {1} が見つかりませんでした。"},
    {Message::TooManyRedirects, "リダイレクトが多すぎます。"},
    {Message::MalformedResponse, "接続先の応答が正しくありません。"},
    {Message::ImageNotSaved, "画像ファイル {1} を保存できませんでした。{2}"},
    {Message::ImageNotFetched, "画像ファイル {1} を取得できませんでした。"},
    {Message::ImageTooLarge, "画像ファイル {1} は大きすぎるため取得を中止しました（上限 {2}）。"},
    {Message::ImageLeavesTooLittleSpace,
     "画像ファイル {1} を保存するとディスクの空き容量が {2} を下回るため取得を中止しました。"},

    {Message::ListingFolder, "画像ファイルを取得しています..."},
    {Message::WaitingForOtherRun, "他のvexalの処理が終わるのを待っています..."},
    {Message::ConvertingPng, "pngファイルを変換しています..."},
    // "見つかりせん" (not "見つかりません") on purpose: stored expectations, scripts and users'
    // log filters match these exact bytes, so the old misspelling stays.
    {Message::SourceMissing, "元ファイル {1} が見つかりせん。"},
    {Message::SourceUnreadable, "元ファイル {1} を読み込めませんでした。"},
    {Message::SourceTooLarge, "元ファイル {1} は大きすぎるため読み込めません（上限 {2}）。"},
    {Message::NoMatch, "条件に合致する画像ファイルがありません。"},
    {Message::NoMatchUnreadable, "条件に合致する画像ファイルがありません。\r\n{1}は読めない形式です。"},
    {Message::NoMatchUnchecked,
     "条件に合致する画像ファイルがありません。\r\n{1}は抽出形式で選ばれていません。"},
    {Message::NoMatchUnreadableAndUnchecked,
     "条件に合致する画像ファイルがありません。\r\n{1}は読めない形式です。{2}は抽出形式で選ばれていません。"},
    {Message::FolderMissing, "条件に合致する画像ファイルがありません。\r\nフォルダ {1} がありません。"},
    {Message::FolderUnreadable,
     "条件に合致する画像ファイルがありません。\r\nフォルダ {1} を開けませんでした。"},
    {Message::NoMatchScriptPage,
     "条件に合致する画像ファイルがありません。\r\n"
     "このページは画像をスクリプトで表示している可能性があります。vexalはスクリプトを実行しません。"},
    {Message::NthBeyondCount,
     "条件に合致する画像ファイルがありません。\r\n"
     "{1}番目の画像が指定されましたが、{2}個の画像ファイルしか抽出出来ませんでした。"},
    {Message::NothingContaining,
     "条件に合致する画像ファイルがありません。\r\n"
     "文字列\"{1}\"を含む画像ファイルが見つかりませんでした。"},
    {Message::NothingNamed, "画像ファイルが指定されませんでした。"},
    {Message::ImageMissing, "画像ファイル {1} が見つかりません。"},
    {Message::ImageNotCopied, "画像ファイル {1} を {2} にコピーできませんでした。{3}"},
    {Message::PngUnreadable, "pngファイルの読み出しに失敗しました"},
    {Message::PngNotConverted, "pngファイルの変換に失敗しました"},
    {Message::UnusableFileName,
     "設定ファイル {1} の {2} = {3} はファイル名として使えません。\r\n"
     "空欄、.、.. や / \\ を含む名前は使えません。"},
    {Message::UnusableFileNameOnWindows,
     "設定ファイル {1} の {2} = {3} はファイル名として使えません。\r\n"
     "空欄、.、.. や / \\ : * ? \" < > | を含む名前、末尾が . か空白の名前、"
     "CON・NUL・COM1 などの装置名は使えません。"},
    {Message::OwnFileNameRefused,
     "設定ファイル {1} の {2} = {3} はファイル名として使えません。\r\n"
     "{3} は vexal 自身が使うファイルの名前です。"},

    {Message::PictureTooLarge, "画像ファイル {1} は大きすぎるため読み込めません（{2}×{3} 画素）。"},
    {Message::PictureUnreadable, "画像ファイル {1} を画像として読み込めませんでした。"},
    {Message::PictureNeedsHeif,
     "画像ファイル {1} は HEIF（HEIC）形式のため読み込めません。\r\n"
     "Windows に「HEIF 画像拡張機能」と「HEVC ビデオ拡張機能」を Microsoft Store から入れると読み込めます。"},
    {Message::PictureNeedsAvif,
     "画像ファイル {1} は AVIF 形式のため読み込めません。\r\n"
     "Windows に「AV1 Video Extension」を Microsoft Store から入れると読み込めます。"},
    {Message::PictureNeedsJpegXl,
     "画像ファイル {1} は JPEG XL 形式のため読み込めません。\r\n"
     "Windows に「JPEG XL 画像拡張機能」を Microsoft Store から入れると読み込めます。"},
    {Message::PictureNeedsSvg,
     "画像ファイル {1} は SVG 形式のため読み込めません。\r\n"
     "Windows 版の vexal は SVG を壁紙にできません。PNG などに変換してから使ってください。"},
    {Message::PictureTooNarrow, "画像ファイル {1} は幅 {2} ピクセルで、{3} ピクセル未満のため使えません。"},
    {Message::PictureUnusableShape,
     "画像ファイル {1} は {2}×{3} ピクセルで、縦横の比が 4 倍を超えるため壁紙に使えません。"},
    {Message::ChangeFailed, "壁紙の変更に失敗しました。"},
    {Message::ChangeFailedBecause, "壁紙の変更に失敗しました。\r\n{1}"},
    {Message::BitmapNotWritten, "壁紙ファイル {1} を書き込めませんでした。{2}"},
    {Message::PngReadError, "png読み出しエラー"},
    {Message::PngConvertError, "png変換エラー"},
    {Message::UnsupportedKind, "非対応拡張子が選択されました。"},

    {Message::NoDataFolder, "データフォルダの場所が分かりません（HOME も XDG_DATA_HOME もありません）。"},
    {Message::FolderNotMade, "データフォルダ {1} を作成できません。{2}"},
    {Message::NoSystemFolder, "Windows フォルダの場所が分かりません。"},
    {Message::NoUserFolder, "ユーザーのアプリケーションデータフォルダの場所が分かりません。"},
    {Message::UserFolderNotMade, "フォルダ {1} を作れません。"},
    {Message::NoScreen,
     "壁紙を表示する画面が見つかりません（DISPLAY がなく、対応するデスクトップもありません）。"},
    {Message::NoDisplay, "壁紙を表示する画面がありません（DISPLAY が設定されていません）。"},
    {Message::NotDrawn, "画面 {1} に壁紙を描けませんでした（表示に接続できないか、画像を読めません）。"},
    {Message::FileNotPrepared, "壁紙のファイル {1} を用意できませんでした。"},
    {Message::ToolWarned, "デスクトップのツール {1} の警告：{2}"},
    {Message::ToolNotRun,
     "デスクトップのツール {1} を実行できませんでした（起動できないか、時間内に終わりませんでした）。"},
    {Message::ToolFailed, "デスクトップのツール {1} が失敗しました（終了コード {2}）。"},
    {Message::ToolFailedSaying, "デスクトップのツール {1} が失敗しました（終了コード {2}）：{3}"},
    {Message::ValueNotKept, "デスクトップのツール {1} で変えた値が設定に残っていませんでした。"},
    {Message::DesktopRefused, "デスクトップが壁紙の設定を受け付けませんでした。"},
    {Message::SystemRefused, "システムが壁紙の設定を受け付けませんでした（エラー {1}）。"},
    {Message::DesktopCovers,
     "デスクトップ {1} の壁紙は vexal "
     "から変えられません（デスクトップのウィンドウがルートウィンドウを覆っています。"
     "VEXAL_DESKTOP=x11 でルートウィンドウに描けます）。"},
    {Message::DesktopNotRunning, "デスクトップの背景を描くプログラム {1} が動いていません。"},

    {Message::DiskFull, "ディスクの空きが足りません。"},
    {Message::WriteNotPermitted, "書き込みが許可されていません。"},
    {Message::ReadOnlyPlace, "読み取り専用の場所です。"},

    {Message::LastRunSucceeded, "前回の自動変更: {1} 成功"},
    {Message::LastRunFailed, "前回の自動変更: {1} 失敗 {2}"},
    {Message::ScheduleNeedsServiceManager,
     "識別子 {1} の自動変更を設定できませんでした。\r\n"
     "ユーザーのサービスマネージャー(systemd "
     "--user)が動いていないため、1時間ごと・毎日の自動変更は使えません。"
     "ログオン時の自動変更は使えます。"},
    {Message::ScheduleNotWritten,
     "識別子 {1} の自動変更を設定できませんでした。\r\nファイル {2} を書き込めません。"},
    {Message::ScheduleToolFailed,
     "識別子 {1} の自動変更を設定できませんでした。\r\n{2} が失敗しました（終了コード {3}）：{4}"},
    {Message::ScheduleRefused,
     "識別子 {1} の自動変更を設定できませんでした。\r\nタスク スケジューラが受け付けませんでした（エラー "
     "{2}）。"},
    {Message::ScheduleLineMissing, "未登録: システムに登録されていません。保存すると登録します。"},
    {Message::ScheduleLineNeedsServiceManager,
     "未登録: systemd --user が動いていません。保存すると登録し直します。"},
    {Message::ScheduleLineNotWritten, "未登録: {1} を書き込めませんでした。保存すると登録し直します。"},
    {Message::ScheduleLineToolFailed,
     "未登録: {1} が失敗しました（終了コード {2}）。保存すると登録し直します。"},
    {Message::ScheduleLineRefused,
     "未登録: タスク スケジューラが受け付けませんでした（エラー {1}）。保存すると登録し直します。"},

    {Message::BytesReceived, "{1} 受信"},
    {Message::BytesOfTotal, "{1} / {2}"},
    {Message::BytesSecondsLeft, "{1} / {2}　残り {3} 秒"},
    {Message::BytesMinutesLeft, "{1} / {2}　残り {3} 分 {4} 秒"},
    {Message::BytesHoursLeft, "{1} / {2}　残り {3} 時間 {4} 分"},

    {Message::NothingToGoBack, "戻せる前の壁紙がありません。"},
    {Message::NothingToGoForward, "進める次の壁紙も、もう一度実行する項目もありません。"},

    {Message::CompanionCannotStart, "{1} を起動できませんでした（エラー {2}）。"},

    {Message::NoPictureKindQuestion,
     "抽出形式が一つも選択されていないため、この項目からは画像を取得できません。\r\nこのまま登録しますか？"},
    {Message::NoLinkRuleQuestion,
     "抽出条件が一つも選択されていないため、この項目からは画像を取得できません。\r\nこのまま登録しますか？"},

    {Message::TransferTooSlow,
     "接続先 {1} からの受信が遅すぎるため取得を中止しました（{2} 秒間に {3} 未満）。"},
    {Message::RunTooLong, "接続先 {1} からの取得が終わらないため中止しました（無人の実行の上限 {2} 秒）。"},
    {Message::LockNotFreed, "他のvexalの処理が {1} 秒待っても終わらないため中止しました。"},
    {Message::HostNotResolved, "{1}\r\nホスト {2} のアドレスを調べられませんでした。"},
    {Message::ConnectionFailedAt, "{1}\r\n接続先 {2} との通信に失敗しました。"},
    {Message::PageTooLarge, "メモリが足りません。\r\nページ {1} は上限 {2} を超えるため取得を中止しました。"},
    {Message::PngUnreadableFile,
     "pngファイルの読み出しに失敗しました\r\n画像ファイル {1} を読み込めませんでした。"},
    {Message::PngReadErrorFile, "png読み出しエラー\r\n画像ファイル {1} を読み込めませんでした。"},
    {Message::QuietNeedsName,
     "識別子が指定されていません。\r\n-quiet を付けるときは、壁紙を変更する項目の識別子も指定してください。"},
    {Message::PreviewNeedsDisplay,
     "画面がないため、プレビューを表示できません。\r\n-preview "
     "を付けずに起動すると、確認せずに壁紙を変更します。"},
    {Message::ProxyRefused, "プロキシ {1} が接続を中継しませんでした（{2}）。"},
    {Message::ProxyNeedsAuthentication,
     "プロキシ {1} が認証を求めています（407）。\r\nvexal はプロキシの認証に対応していません。"},
    {Message::ProxyUnreachable, "{1}\r\nプロキシ {2} に接続できませんでした。"},
    {Message::ProxyNoAnswer, "プロキシ {1} が接続の中継に応答しませんでした。"},
};

constexpr bool InOrder() {
    for (std::size_t i = 0; i < std::size(kTexts); ++i)
        if (static_cast<std::size_t>(kTexts[i].kind) != i) return false;
    return true;
}
static_assert(InOrder(), "every message's row sits at its own index");
static_assert(std::size(kTexts) == static_cast<std::size_t>(Message::Count),
              "every kind of message has a row");

}  // namespace

std::string MessageText(Message kind, std::initializer_list<std::string_view> subjects) {
    const auto index = static_cast<std::size_t>(kind);
    assert(index < std::size(kTexts));
    if (index >= std::size(kTexts)) return {};
    const std::string_view text = kTexts[index].text;
    std::string out;
    out.reserve(text.size() + 64);
    for (std::size_t i = 0; i < text.size(); ++i) {
        // "{n}" with one digit names the n-th subject; any other brace is text.
        if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' &&
            text[i + 2] == '}') {
            const auto n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < subjects.size()) out += *(subjects.begin() + n);
            i += 2;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace vexal
