// The table of the program's messages.
#include "ui/messages.h"

#include <cassert>
#include <iterator>

namespace vexal {
namespace {

struct Entry {
    Message kind;
    const char* japanese;
    const char* english;
};

// In the order of the enumeration, one row for each kind, each in both languages, which
// the compiler checks below. The Japanese texts are the program's own, byte for byte.
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
     "失敗または取り消しのときは 1 です。\n",
     "Usage:\n"
     "  vexal                     Opens the editor of the registered entries.\n"
     "  vexal ID [-preview]       Changes the wallpaper from the entry with that identifier\n"
     "                            (letter case does not matter). With -preview, the picture\n"
     "                            is shown in a preview first.\n"
     "  vexal -wp URL/file        Makes that picture the wallpaper directly (style unchanged).\n"
     "  vexal ID -quiet           Changes the wallpaper without any window or message box,\n"
     "                            and writes a failure to schedule.log in the data folder.\n"
     "                            Scheduled changes run this way.\n"
     "  vexal -back               Puts back the previous wallpaper with its style. Repeat to\n"
     "                            go further back (up to 3 steps).\n"
     "  vexal -next               Moves forward again to the wallpaper -back replaced. When\n"
     "                            nothing was put back, runs the last entry again for a new\n"
     "                            picture.\n"
     "  vexal -list               Lists the registered entries, one per line, tab-separated\n"
     "                            (identifier, source kind, style, choice, schedule).\n"
     "  vexal --help, -h, /?      Shows this help.\n"
     "  vexal --version           Shows the version.\n"
     "\n"
     "Options start with - or / and ignore letter case. The command line is split at every\n"
     "blank: quote a path that holds blanks after -wp, as in \"C:\\My Pictures\\a.jpg\".\n"
     "A relative path after -wp counts from the folder vexal was started in.\n"
     "{3}"
     "\n"
     "Without a display, or with VEXAL_NONINTERACTIVE=1, each message box becomes one line\n"
     "\"TITLE: TEXT\" on standard error (errors are titled {2}, notices vexal), and questions\n"
     "are answered Cancel / No / empty.\n"
     "\n"
     "Exit status: 0 after changing the wallpaper and after closing the editor (Exit saves\n"
     "first; the close box asks whether to save unsaved changes), 1 after a failure or a\n"
     "cancel.\n"},
    {Message::UsageSettingsWindows,
     "設定ファイル {1} は、現在のフォルダーにあればそれを、なければドキュメント フォルダー\n"
     "(Windows が示す場所)のものを読み、そのファイルのフォルダーで動きます。どちらにも\n"
     "なければ現在のフォルダーに作ります。ただし vexal.exe のフォルダーで起動したときは\n"
     "ドキュメント フォルダーに作ります。\n",
     "The settings file {1} is read from the current folder if it is there, otherwise from\n"
     "the Documents folder (where Windows says it is); vexal works in that file's folder.\n"
     "If neither holds one, it is made in the current folder, or in the Documents folder\n"
     "when vexal is started in vexal.exe's own folder.\n"},
    {Message::UsageSettingsElsewhere,
     "設定ファイル {1} は、現在のフォルダーにあればそれを、なければホーム フォルダーの\n"
     "ものを読み、そのファイルのフォルダーで動きます。どちらにもなければ現在のフォルダーに\n"
     "作ります。\n",
     "The settings file {1} is read from the current folder if it is there, otherwise from\n"
     "the home folder; vexal works in that file's folder. If neither holds one, it is made\n"
     "in the current folder.\n"},
    {Message::IdentifierNotFound,
     "指定された識別子 {1} が見つかりません。\r\n設定ファイル {2} に登録されていません。",
     "The identifier {1} was not found.\r\nIt is not registered in the settings file {2}."},
    {Message::IdentifierNoSettings,
     "指定された識別子 {1} が見つかりません。\r\n設定ファイル {2} がありません。",
     "The identifier {1} was not found.\r\nThe settings file {2} does not exist."},
    {Message::IdentifierNotInUsersFile,
     "指定された識別子 {1} が見つかりません。\r\n設定ファイル {2} はなく、{3} に登録されていません。",
     "The identifier {1} was not found.\r\nThere is no settings file {2}, and {3} does not register it."},
    {Message::IdentifierNoSettingsEither,
     "指定された識別子 {1} が見つかりません。\r\n設定ファイル {2} も {3} もありません。",
     "The identifier {1} was not found.\r\nNeither settings file {2} nor {3} exists."},
    {Message::SettingsFolderUnreachable,
     "設定ファイルを置くフォルダー {1} が見つかりません。\r\n"
     "そのドライブやネットワークの場所につながっているか確かめてください。",
     "The folder for the settings file, {1}, cannot be found.\r\n"
     "Check that its drive or network location is connected."},
    {Message::WpNeedsImage, "-wp オプションにはサブオプションとして URL/ファイル が必要です。",
     "The -wp option needs a URL or file after it."},
    {Message::WpPathHasBlank,
     "-wp の後のパス {1} に空白があります。空白を含むパスは引用符 \" で囲んでください。",
     "The path after -wp, {1}, contains a blank. Put a path with blanks in quotes \"."},
    {Message::InvalidOption, "起動時オプション {1} が無効です。", "The option {1} is not valid."},
    {Message::NoEditorWithoutDisplay,
     "画面がないため、エントリの編集画面を開けません。識別子を指定して起動してください。",
     "The entry editor cannot open without a display. Start vexal with an identifier."},
    {Message::SettingsUnreadable, "設定ファイル {1} はありますが、読み込めません。{2}",
     "The settings file {1} exists but cannot be read. {2}"},
    {Message::EditorSettingsUnreadable,
     "設定ファイル {1} はありますが、読み込めません。{2}\r\n"
     "保存で登録内容を失わないよう、編集画面は開きません。",
     "The settings file {1} exists but cannot be read. {2}\r\n"
     "The editor does not open, so that saving cannot lose the registered entries."},
    {Message::SettingsReadNotPermitted, "読み取りが許可されていません。", "Reading it is not permitted."},
    {Message::SettingsIsFolder, "ファイルではなくフォルダーです。", "It is a folder, not a file."},
    {Message::SettingsNotText, "テキストではないデータ(NUL 文字)を含んでいます。",
     "It holds data that is not text (NUL characters)."},
    {Message::SettingsTooLarge, "大きさが上限の {1} を超えています。", "It is larger than the limit of {1}."},

    {Message::IdentifierPrompt, "登録する識別子を入力してください", "Enter the identifier to register"},
    {Message::IdentifierHasBlank, "識別子に空白文字は使用出来ません。",
     "An identifier cannot contain blanks."},
    {Message::IdentifierNotLetter, "識別子の１文字目は英文字である必要があります。",
     "An identifier must start with a letter."},
    {Message::SettingsNotWritten, "設定ファイル {1} に書き込めませんでした。{2}",
     "The settings file {1} could not be written. {2}"},
    {Message::DeleteEntryQuestion, "登録されている識別子 {1} を削除します。よろしいですか？",
     "Delete the registered identifier {1}?"},
    {Message::IdentifierDiffersInCaseOnly,
     "識別子 {1} は、登録されている識別子 {2} と大文字・小文字しか違いません。\r\n"
     "コマンドラインでは大文字と小文字を区別しないため、{2} の項目が使われます。登録しますか？",
     "The identifier {1} differs from the registered identifier {2} only in letter case.\r\n"
     "The command line ignores letter case, so the entry {2} will be used. Register it anyway?"},
    {Message::UnregisteredEntryQuestion, "新規の項目が登録されていません。\r\n登録してから終了しますか？",
     "The new entry has not been registered.\r\nRegister it before closing?"},
    {Message::SaveChangesQuestion, "登録内容の変更が保存されていません。\r\n保存してから閉じますか？",
     "Your changes to the entries have not been saved.\r\nSave them before closing?"},
    {Message::PreviewUrlEmpty, "URL/ファイル が空欄です。",
     "URL / file is empty: there is nothing to preview."},
    {Message::SetWallpaperUrlEmpty, "URL/ファイルが空欄です。",
     "URL / file is empty: there is nothing to set as the wallpaper."},
    {Message::SettingsNotSavedUnreadable,
     "設定ファイル {1} が読み込めないため、保存しませんでした。ファイルはそのままです。{2}",
     "The settings file {1} cannot be read, so nothing was saved. The file is unchanged. {2}"},
    {Message::MergeConflictQuestion,
     "設定ファイル {1} は、編集中にほかで変更されました。\r\n"
     "次の項目は、この画面とファイルの両方で違うように変更されています。\r\n{2}\r\n"
     "この画面の内容を残しますか？\r\n"
     "(はい: この画面の内容を残します。いいえ: ファイルの内容を残します。)",
     "The settings file {1} was changed elsewhere while you were editing.\r\n"
     "These items were changed differently here and in the file:\r\n{2}\r\n"
     "Keep what this window holds?\r\n"
     "(Yes: keep this window's version. No: keep the file's version.)"},
    {Message::ConflictField, "識別子 {1} の {2}", "{2} of identifier {1}"},
    {Message::ConflictSetting, "設定 {1}", "Setting {1}"},
    {Message::ConflictAddedBoth, "識別子 {1} (両方で追加されました)", "Identifier {1} (added in both)"},
    {Message::ConflictDeletedHere, "識別子 {1} (この画面で削除し、ファイルでは変更されました)",
     "Identifier {1} (deleted here, changed in the file)"},
    {Message::ConflictDeletedThere, "識別子 {1} (ファイルから削除され、この画面では変更されました)",
     "Identifier {1} (deleted from the file, changed here)"},

    {Message::FetchingPage, "元URL {1} を取得しています...", "Fetching the source URL {1}..."},
    {Message::ReadingPage, "元ファイルを取得しています...", "Reading the source file..."},
    {Message::FetchingImage, "画像ファイル{1}を取得しています...", "Fetching the picture {1}..."},
    {Message::LoadingImage, "画像を読み込んでいます...", "Loading the picture..."},
    {Message::NoAnswerQuestion, "接続先の応答がありません。", "The server does not answer."},
    {Message::BadAddress, "URLの指定が間違っています。", "The URL is not valid."},
    {Message::NoSecureChannel, "暗号化通信を確立できませんでした。",
     "A secure connection could not be established."},
    {Message::Cancelled, "ユーザーによってキャンセルされました。", "Cancelled by the user."},
    {Message::Disconnected, "切断されました。", "Disconnected."},
    {Message::ClosedByPeer, "相手側から切断されました。", "The server closed the connection."},
    {Message::ConnectionError, "エラーが発生しました。", "An error occurred."},
    {Message::NotFoundOnServer, "ファイル {1} が見つかりませんでした。", "The file {1} was not found."},
    {Message::TooManyRedirects, "リダイレクトが多すぎます。", "Too many redirects."},
    {Message::MalformedResponse, "接続先の応答が正しくありません。", "The server's answer is not valid."},
    {Message::ImageNotSaved, "画像ファイル {1} を保存できませんでした。{2}",
     "The picture {1} could not be saved. {2}"},
    {Message::ImageNotFetched, "画像ファイル {1} を取得できませんでした。",
     "The picture {1} could not be fetched."},
    {Message::ImageTooLarge, "画像ファイル {1} は大きすぎるため取得を中止しました（上限 {2}）。",
     "The picture {1} is too large; fetching stopped (limit {2})."},
    {Message::ImageLeavesTooLittleSpace,
     "画像ファイル {1} を保存するとディスクの空き容量が {2} を下回るため取得を中止しました。",
     "Saving the picture {1} would leave less than {2} free on the disk; fetching stopped."},

    {Message::ListingFolder, "画像ファイルを取得しています...", "Finding pictures..."},
    {Message::WaitingForOtherRun, "他のvexalの処理が終わるのを待っています...",
     "Waiting for another vexal run to finish..."},
    {Message::ConvertingPng, "pngファイルを変換しています...", "Converting the PNG file..."},
    // "見つかりせん" (not "見つかりません") on purpose: stored expectations, scripts and users'
    // log filters match these exact bytes, so the old misspelling stays.
    {Message::SourceMissing, "元ファイル {1} が見つかりせん。", "The source file {1} was not found."},
    {Message::SourceUnreadable, "元ファイル {1} を読み込めませんでした。",
     "The source file {1} could not be read."},
    {Message::SourceTooLarge, "元ファイル {1} は大きすぎるため読み込めません（上限 {2}）。",
     "The source file {1} is too large to read (limit {2})."},
    {Message::NoMatch, "条件に合致する画像ファイルがありません。", "No picture matches the conditions."},
    {Message::NoMatchUnreadable, "条件に合致する画像ファイルがありません。\r\n{1}は読めない形式です。",
     "No picture matches the conditions.\r\nThese kinds cannot be read: {1}."},
    {Message::NoMatchUnchecked,
     "条件に合致する画像ファイルがありません。\r\n{1}は抽出形式で選ばれていません。",
     "No picture matches the conditions.\r\nThese kinds are not among the selected picture kinds: {1}."},
    {Message::NoMatchUnreadableAndUnchecked,
     "条件に合致する画像ファイルがありません。\r\n{1}は読めない形式です。{2}は抽出形式で選ばれていません。",
     "No picture matches the conditions.\r\nThese kinds cannot be read: {1}. These are not among the "
     "selected "
     "picture kinds: {2}."},
    {Message::FolderMissing, "条件に合致する画像ファイルがありません。\r\nフォルダ {1} がありません。",
     "No picture matches the conditions.\r\nThe folder {1} does not exist."},
    {Message::FolderUnreadable,
     "条件に合致する画像ファイルがありません。\r\nフォルダ {1} を開けませんでした。",
     "No picture matches the conditions.\r\nThe folder {1} could not be opened."},
    {Message::NoMatchScriptPage,
     "条件に合致する画像ファイルがありません。\r\n"
     "このページは画像をスクリプトで表示している可能性があります。vexalはスクリプトを実行しません。",
     "No picture matches the conditions.\r\n"
     "This page may show its pictures by script. vexal does not run scripts."},
    {Message::NthBeyondCount,
     "条件に合致する画像ファイルがありません。\r\n"
     "{1}番目の画像が指定されましたが、{2}個の画像ファイルしか抽出出来ませんでした。",
     "No picture matches the conditions.\r\n"
     "Picture number {1} was asked for, but only {2} pictures were found."},
    {Message::NothingContaining,
     "条件に合致する画像ファイルがありません。\r\n"
     "文字列\"{1}\"を含む画像ファイルが見つかりませんでした。",
     "No picture matches the conditions.\r\n"
     "No picture whose name contains \"{1}\" was found."},
    {Message::NothingNamed, "画像ファイルが指定されませんでした。", "No picture was named."},
    {Message::ImageMissing, "画像ファイル {1} が見つかりません。", "The picture {1} was not found."},
    {Message::ImageNotCopied, "画像ファイル {1} を {2} にコピーできませんでした。{3}",
     "The picture {1} could not be copied to {2}. {3}"},
    {Message::PngUnreadable, "pngファイルの読み出しに失敗しました", "Reading the PNG file failed"},
    {Message::PngNotConverted, "pngファイルの変換に失敗しました", "Converting the PNG file failed"},
    {Message::UnusableFileName,
     "設定ファイル {1} の {2} = {3} はファイル名として使えません。\r\n"
     "空欄、.、.. や / \\ を含む名前は使えません。",
     "In the settings file {1}, {2} = {3} cannot be used as a file name.\r\n"
     "A name cannot be empty, . or .., or contain / or \\."},
    {Message::UnusableFileNameOnWindows,
     "設定ファイル {1} の {2} = {3} はファイル名として使えません。\r\n"
     "空欄、.、.. や / \\ : * ? \" < > | を含む名前、末尾が . か空白の名前、"
     "CON・NUL・COM1 などの装置名は使えません。",
     "In the settings file {1}, {2} = {3} cannot be used as a file name.\r\n"
     "A name cannot be empty, . or .., contain / \\ : * ? \" < > |, end in . or a blank, "
     "or be a device name such as CON, NUL or COM1."},
    {Message::OwnFileNameRefused,
     "設定ファイル {1} の {2} = {3} はファイル名として使えません。\r\n"
     "{3} は vexal 自身が使うファイルの名前です。",
     "In the settings file {1}, {2} = {3} cannot be used as a file name.\r\n"
     "{3} is the name of one of vexal's own files."},

    {Message::PictureTooLarge, "画像ファイル {1} は大きすぎるため読み込めません（{2}×{3} 画素）。",
     "The picture {1} is too large to load ({2}×{3} pixels)."},
    {Message::PictureUnreadable, "画像ファイル {1} を画像として読み込めませんでした。",
     "The picture {1} could not be loaded as a picture."},
    {Message::PictureNeedsHeif,
     "画像ファイル {1} は HEIF（HEIC）形式のため読み込めません。\r\n"
     "Windows に「HEIF 画像拡張機能」と「HEVC ビデオ拡張機能」を Microsoft Store から入れると読み込めます。",
     "The picture {1} is in the HEIF (HEIC) format, which cannot be loaded.\r\n"
     "Install \"HEIF Image Extensions\" and \"HEVC Video Extensions\" from the Microsoft Store to load it."},
    {Message::PictureNeedsAvif,
     "画像ファイル {1} は AVIF 形式のため読み込めません。\r\n"
     "Windows に「AV1 Video Extension」を Microsoft Store から入れると読み込めます。",
     "The picture {1} is in the AVIF format, which cannot be loaded.\r\n"
     "Install \"AV1 Video Extension\" from the Microsoft Store to load it."},
    {Message::PictureNeedsJpegXl,
     "画像ファイル {1} は JPEG XL 形式のため読み込めません。\r\n"
     "Windows に「JPEG XL 画像拡張機能」を Microsoft Store から入れると読み込めます。",
     "The picture {1} is in the JPEG XL format, which cannot be loaded.\r\n"
     "Install \"JPEG XL Image Extension\" from the Microsoft Store to load it."},
    {Message::PictureNeedsSvg,
     "画像ファイル {1} は SVG 形式のため読み込めません。\r\n"
     "Windows 版の vexal は SVG を壁紙にできません。PNG などに変換してから使ってください。",
     "The picture {1} is an SVG drawing, which cannot be loaded.\r\n"
     "vexal for Windows cannot make an SVG drawing the wallpaper; convert it to PNG or another picture kind "
     "first."},
    {Message::PictureNeedsLibrary,
     "画像ファイル {1} は {2} 形式ですが、この形式を読むライブラリ {3} "
     "がインストールされていないため読み込めません。",
     "The picture {1} is in the {2} format, but {3}, the library that reads it, is not installed."},
    {Message::PictureTooNarrow, "画像ファイル {1} は幅 {2} ピクセルで、{3} ピクセル未満のため使えません。",
     "The picture {1} is {2} pixels wide, narrower than {3} pixels, so it is not used."},
    {Message::PictureUnusableShape,
     "画像ファイル {1} は {2}×{3} ピクセルで、縦横の比が 4 倍を超えるため壁紙に使えません。",
     "The picture {1} is {2}×{3} pixels; one side is more than 4 times the other, so it cannot be a "
     "wallpaper."},
    {Message::ChangeFailed, "壁紙の変更に失敗しました。", "Changing the wallpaper failed."},
    {Message::ChangeFailedBecause, "壁紙の変更に失敗しました。\r\n{1}",
     "Changing the wallpaper failed.\r\n{1}"},
    {Message::BitmapNotWritten, "壁紙ファイル {1} を書き込めませんでした。{2}",
     "The wallpaper file {1} could not be written. {2}"},
    {Message::PngReadError, "png読み出しエラー", "PNG read error"},
    {Message::PngConvertError, "png変換エラー", "PNG conversion error"},
    {Message::UnsupportedKind, "非対応拡張子が選択されました。",
     "An unsupported file extension was selected."},

    {Message::NoDataFolder, "データフォルダの場所が分かりません（HOME も XDG_DATA_HOME もありません）。",
     "The data folder's place is unknown (neither HOME nor XDG_DATA_HOME is set)."},
    {Message::FolderNotMade, "データフォルダ {1} を作成できません。{2}",
     "The data folder {1} cannot be made. {2}"},
    {Message::NoSystemFolder, "Windows フォルダの場所が分かりません。",
     "The Windows folder's place is unknown."},
    {Message::NoUserFolder, "ユーザーのアプリケーションデータフォルダの場所が分かりません。",
     "The user's application data folder's place is unknown."},
    {Message::UserFolderNotMade, "フォルダ {1} を作れません。", "The folder {1} cannot be made."},
    {Message::NoScreen,
     "壁紙を表示する画面が見つかりません（DISPLAY がなく、対応するデスクトップもありません）。",
     "No screen to show the wallpaper on was found (no DISPLAY, and no supported desktop)."},
    {Message::NoDisplay, "壁紙を表示する画面がありません（DISPLAY が設定されていません）。",
     "There is no screen to show the wallpaper on (DISPLAY is not set)."},
    {Message::NotDrawn, "画面 {1} に壁紙を描けませんでした（表示に接続できないか、画像を読めません）。",
     "The wallpaper could not be drawn on display {1} (no connection to it, or the picture is unreadable)."},
    {Message::FileNotPrepared, "壁紙のファイル {1} を用意できませんでした。",
     "The wallpaper file {1} could not be prepared."},
    {Message::ToolWarned, "デスクトップのツール {1} の警告：{2}", "Warning from the desktop tool {1}: {2}"},
    {Message::ToolNotRun,
     "デスクトップのツール {1} を実行できませんでした（起動できないか、時間内に終わりませんでした）。",
     "The desktop tool {1} could not be run (it did not start, or did not finish in time)."},
    {Message::ToolFailed, "デスクトップのツール {1} が失敗しました（終了コード {2}）。",
     "The desktop tool {1} failed (exit status {2})."},
    {Message::ToolFailedSaying, "デスクトップのツール {1} が失敗しました（終了コード {2}）：{3}",
     "The desktop tool {1} failed (exit status {2}): {3}"},
    {Message::ValueNotKept, "デスクトップのツール {1} で変えた値が設定に残っていませんでした。",
     "The value set with the desktop tool {1} did not stay in its settings."},
    {Message::DesktopRefused, "デスクトップが壁紙の設定を受け付けませんでした。",
     "The desktop did not accept the wallpaper setting."},
    {Message::SystemRefused, "システムが壁紙の設定を受け付けませんでした（エラー {1}）。",
     "The system did not accept the wallpaper setting (error {1})."},
    {Message::DesktopCovers,
     "デスクトップ {1} の壁紙は vexal "
     "から変えられません（デスクトップのウィンドウがルートウィンドウを覆っています。"
     "VEXAL_DESKTOP=x11 でルートウィンドウに描けます）。",
     "vexal cannot change the wallpaper of the desktop {1} (the desktop's window covers the root "
     "window; VEXAL_DESKTOP=x11 draws on the root window)."},
    {Message::DesktopNotRunning, "デスクトップの背景を描くプログラム {1} が動いていません。",
     "The program that draws the desktop background, {1}, is not running."},

    {Message::DiskFull, "ディスクの空きが足りません。", "The disk is full."},
    {Message::WriteNotPermitted, "書き込みが許可されていません。", "Writing is not permitted."},
    {Message::ReadOnlyPlace, "読み取り専用の場所です。", "The location is read-only."},

    {Message::LastRunSucceeded, "前回の自動変更: {1} 成功", "Last scheduled change: {1} succeeded"},
    {Message::LastRunFailed, "前回の自動変更: {1} 失敗 {2}", "Last scheduled change: {1} failed {2}"},
    {Message::ScheduleNeedsServiceManager,
     "識別子 {1} の自動変更を設定できませんでした。\r\n"
     "ユーザーのサービスマネージャー(systemd "
     "--user)が動いていないため、1時間ごと・毎日の自動変更は使えません。"
     "ログオン時の自動変更は使えます。",
     "The scheduled change for identifier {1} could not be set.\r\n"
     "The user's service manager (systemd --user) is not running, so timed and daily changes are "
     "not available. Changes at log-on are."},
    {Message::ScheduleNotWritten,
     "識別子 {1} の自動変更を設定できませんでした。\r\nファイル {2} を書き込めません。",
     "The scheduled change for identifier {1} could not be set.\r\nThe file {2} cannot be written."},
    {Message::ScheduleToolFailed,
     "識別子 {1} の自動変更を設定できませんでした。\r\n{2} が失敗しました（終了コード {3}）：{4}",
     "The scheduled change for identifier {1} could not be set.\r\n{2} failed (exit status {3}): {4}"},
    {Message::ScheduleRefused,
     "識別子 {1} の自動変更を設定できませんでした。\r\nタスク スケジューラが受け付けませんでした（エラー "
     "{2}）。",
     "The scheduled change for identifier {1} could not be set.\r\nTask Scheduler refused it (error {2})."},
    {Message::ScheduleLineMissing, "未登録: システムに登録されていません。保存すると登録します。",
     "Not registered: the system does not hold it. Saving registers it."},
    {Message::ScheduleLineNeedsServiceManager,
     "未登録: systemd --user が動いていません。保存すると登録し直します。",
     "Not registered: systemd --user is not running. Saving registers it again."},
    {Message::ScheduleLineNotWritten, "未登録: {1} を書き込めませんでした。保存すると登録し直します。",
     "Not registered: {1} could not be written. Saving registers it again."},
    {Message::ScheduleLineToolFailed,
     "未登録: {1} が失敗しました（終了コード {2}）。保存すると登録し直します。",
     "Not registered: {1} failed (exit status {2}). Saving registers it again."},
    {Message::ScheduleLineRefused,
     "未登録: タスク スケジューラが受け付けませんでした（エラー {1}）。保存すると登録し直します。",
     "Not registered: Task Scheduler refused it (error {1}). Saving registers it again."},

    {Message::BytesReceived, "{1} 受信", "{1} received"},
    {Message::BytesOfTotal, "{1} / {2}", "{1} of {2}"},
    {Message::BytesSecondsLeft, "{1} / {2}　残り {3} 秒", "{1} of {2}, {3} s left"},
    {Message::BytesMinutesLeft, "{1} / {2}　残り {3} 分 {4} 秒", "{1} of {2}, {3} min {4} s left"},
    {Message::BytesHoursLeft, "{1} / {2}　残り {3} 時間 {4} 分", "{1} of {2}, {3} h {4} min left"},

    {Message::NothingToGoBack, "戻せる前の壁紙がありません。",
     "There is no earlier wallpaper to go back to."},
    {Message::NothingToGoForward, "進める次の壁紙も、もう一度実行する項目もありません。",
     "There is no later wallpaper to go to, and no entry to run again."},

    {Message::CompanionCannotStart, "{1} を起動できませんでした（エラー {2}）。",
     "{1} could not be started (error {2})."},

    {Message::NoPictureKindQuestion,
     "抽出形式が一つも選択されていないため、この項目からは画像を取得できません。\r\nこのまま登録しますか？",
     "No picture kind is selected, so this entry cannot give a picture.\r\nRegister it anyway?"},
    {Message::NoLinkRuleQuestion,
     "抽出条件が一つも選択されていないため、この項目からは画像を取得できません。\r\nこのまま登録しますか？",
     "No link rule is selected, so this entry cannot give a picture.\r\nRegister it anyway?"},

    {Message::TransferTooSlow,
     "接続先 {1} からの受信が遅すぎるため取得を中止しました（{2} 秒間に {3} 未満）。",
     "Receiving from {1} is too slow; fetching stopped (less than {3} in {2} seconds)."},
    {Message::RunTooLong, "接続先 {1} からの取得が終わらないため中止しました（無人の実行の上限 {2} 秒）。",
     "Fetching from {1} does not end; it was stopped (unattended runs are limited to {2} seconds)."},
    {Message::LockNotFreed, "他のvexalの処理が {1} 秒待っても終わらないため中止しました。",
     "Another vexal run did not finish within {1} seconds; this one stopped."},
    {Message::HostNotResolved, "{1}\r\nホスト {2} のアドレスを調べられませんでした。",
     "{1}\r\nThe address of the host {2} could not be looked up."},
    {Message::ConnectionFailedAt, "{1}\r\n接続先 {2} との通信に失敗しました。",
     "{1}\r\nCommunication with {2} failed."},
    {Message::PageTooLarge, "メモリが足りません。\r\nページ {1} は上限 {2} を超えるため取得を中止しました。",
     "Not enough memory.\r\nThe page {1} is larger than the limit of {2}; fetching stopped."},
    {Message::PngUnreadableFile,
     "pngファイルの読み出しに失敗しました\r\n画像ファイル {1} を読み込めませんでした。",
     "Reading the PNG file failed\r\nThe picture {1} could not be read."},
    {Message::PngReadErrorFile, "png読み出しエラー\r\n画像ファイル {1} を読み込めませんでした。",
     "PNG read error\r\nThe picture {1} could not be read."},
    {Message::QuietNeedsName,
     "識別子が指定されていません。\r\n-quiet を付けるときは、壁紙を変更する項目の識別子も指定してください。",
     "No identifier was given.\r\nWith -quiet, also give the identifier of the entry to change the wallpaper "
     "from."},
    {Message::PreviewNeedsDisplay,
     "画面がないため、プレビューを表示できません。\r\n-preview "
     "を付けずに起動すると、確認せずに壁紙を変更します。",
     "The preview cannot be shown without a display.\r\n"
     "Started without -preview, vexal changes the wallpaper without asking."},
    {Message::ProxyRefused, "プロキシ {1} が接続を中継しませんでした（{2}）。",
     "The proxy {1} did not relay the connection ({2})."},
    {Message::ProxyNeedsAuthentication,
     "プロキシ {1} が認証を求めています（407）。\r\nvexal はプロキシの認証に対応していません。",
     "The proxy {1} asks for authentication (407).\r\nvexal does not support proxy authentication."},
    {Message::ProxyUnreachable, "{1}\r\nプロキシ {2} に接続できませんでした。",
     "{1}\r\nThe proxy {2} could not be reached."},
    {Message::ProxyNoAnswer, "プロキシ {1} が接続の中継に応答しませんでした。",
     "The proxy {1} did not answer the request to relay the connection."},
};

constexpr bool InOrder() {
    for (std::size_t i = 0; i < std::size(kTexts); ++i)
        if (static_cast<std::size_t>(kTexts[i].kind) != i) return false;
    return true;
}
static_assert(InOrder(), "every message's row sits at its own index");
static_assert(std::size(kTexts) == static_cast<std::size_t>(Message::Count),
              "every kind of message has a row");

// The subjects a text names, one bit for each "{n}".
constexpr unsigned Placeholders(std::string_view text) {
    unsigned found = 0;
    for (std::size_t i = 0; i + 2 < text.size(); ++i)
        if (text[i] == '{' && text[i + 1] >= '1' && text[i + 1] <= '9' && text[i + 2] == '}')
            found |= 1u << (text[i + 1] - '1');
    return found;
}

// An English text for every row, naming the same subjects as the Japanese one and
// breaking into as many lines, so that no language loses a subject or a line a reader
// (or a script splitting at CR LF) counts on.
constexpr bool BothLanguages() {
    for (const Entry& row : kTexts) {
        const std::string_view japanese = row.japanese, english = row.english;
        if (english.empty() || Placeholders(japanese) != Placeholders(english)) return false;
        std::size_t ja = 0, en = 0;
        for (char c : japanese) ja += c == '\r';
        for (char c : english) en += c == '\r';
        if (ja != en) return false;
    }
    return true;
}
static_assert(BothLanguages(), "every message has an English text with the same subjects and lines");

}  // namespace

std::string MessageText(Language language, Message kind, std::initializer_list<std::string_view> subjects) {
    const auto index = static_cast<std::size_t>(kind);
    assert(index < std::size(kTexts));
    if (index >= std::size(kTexts)) return {};
    const std::string_view text =
        language == Language::English ? kTexts[index].english : kTexts[index].japanese;
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
