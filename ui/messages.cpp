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

// In the order of the enumeration, which the compiler checks below.
constexpr Entry kTexts[] = {
    {Message::Usage,
     "使い方:\n"
     "  vexal                     登録項目の編集画面を開きます。\n"
     "  vexal 識別子 [-preview]   その識別子の項目から壁紙を変更します。識別子の\n"
     "                            大文字と小文字は区別しません。-preview を付けると、\n"
     "                            先に画像をプレビューで表示します。\n"
     "  vexal -wp URL/ファイル    その画像を直接壁紙にします(スタイルはそのまま)。\n"
     "  vexal --help              この説明を表示します。\n"
     "  vexal --version           バージョンを表示します。\n"
     "\n"
     "オプションは - または / で始まり、大文字と小文字を区別しません。コマンドラインは\n"
     "空白ごとに区切られ、引用符は使えないため、-wp に渡すパスには空白を含められません。\n"
     "設定ファイル {1} は現在のフォルダーから読みます。\n"
     "\n"
     "画面がないとき、または VEXAL_NONINTERACTIVE=1 のときは、メッセージボックスの代わりに\n"
     "「タイトル: 本文」の1行を標準エラー出力に書き(エラーのタイトルは {2}、\n"
     "お知らせは vexal)、問い合わせにはキャンセル/いいえ/空欄で答えます。\n"
     "\n"
     "終了ステータス: 壁紙を変更したときとエディタを閉じたとき(終了ボタンは保存してから、\n"
     "閉じるボタンは保存せずに閉じます)は 0、失敗または取り消しのときは 1 です。\n"},
    {Message::IdentifierNotFound, "指定された識別子 {1} が見つかりません。"},
    {Message::WpNeedsImage, "-wp オプションにはサブオプションとして URL/ファイル が必要です。"},
    {Message::InvalidOption, "起動時オプション {1} が無効です。"},
    {Message::NoEditorWithoutDisplay,
     "画面がないため、エントリの編集画面を開けません。識別子を指定して起動してください。"},

    {Message::IdentifierPrompt, "登録する識別子を入力してください"},
    {Message::IdentifierHasBlank, "識別子に空白文字は使用出来ません。"},
    {Message::IdentifierNotLetter, "識別子の１文字目は英文字である必要があります。"},
    // The settings file is code page 932, so a character outside it (an emoji, for one)
    // would come back as "?": such text is refused instead of being lost.
    {Message::IdentifierUnstorable, "識別子に保存出来ない文字（絵文字など）は使用出来ません。"},
    {Message::FieldUnstorable, "{1}に、設定ファイルに保存出来ない文字（絵文字など）が含まれています。"},
    {Message::EntryFieldUnstorable,
     "識別子 {1} の{2}に、設定ファイルに保存出来ない文字（絵文字など）が含まれています。"},
    {Message::EntryNameUnstorable,
     "識別子 {1} に、設定ファイルに保存出来ない文字（絵文字など）が含まれています。"},
    {Message::SettingsUnstorable,
     "設定ファイルに保存出来ない文字が含まれているため、設定ファイルを保存出来ませんでした。"},
    {Message::SettingsNotWritten, "設定ファイル {1} に書き込めませんでした。{2}"},
    {Message::DeleteEntryQuestion, "登録されている識別子 {1} を削除します。よろしいですか？"},
    {Message::PreviewUrlEmpty, "URL/ファイル が空欄です。"},
    {Message::SetWallpaperUrlEmpty, "URL/ファイルが空欄です。"},

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

    {Message::ListingFolder, "画像ファイルを取得しています..."},
    {Message::WaitingForOtherRun, "他のvexalの処理が終わるのを待っています..."},
    {Message::ConvertingPng, "pngファイルを変換しています..."},
    {Message::SourceMissing, "元ファイル {1} が見つかりせん。"},
    {Message::SourceUnreadable, "元ファイル {1} を読み込めませんでした。"},
    {Message::NoMatch, "条件に合致する画像ファイルがありません。"},
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

    {Message::PictureTooLarge, "画像ファイル {1} は大きすぎるため読み込めません（{2}×{3} 画素）。"},
    {Message::PictureUnreadable, "画像ファイル {1} を画像として読み込めませんでした。"},
    {Message::PictureTooNarrow, "画像ファイル {1} は幅 {2} ピクセルで、{3} ピクセル未満のため使えません。"},
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

    {Message::DiskFull, "ディスクの空きが足りません。"},
    {Message::WriteNotPermitted, "書き込みが許可されていません。"},
    {Message::ReadOnlyPlace, "読み取り専用の場所です。"},

    {Message::FieldUrl, "URL/ファイル名"},
    {Message::FieldComment, "コメント"},
    {Message::FieldRefstr, "ファイル名に含む文字"},
};

constexpr bool InOrder() {
    for (std::size_t i = 0; i < std::size(kTexts); ++i)
        if (static_cast<std::size_t>(kTexts[i].kind) != i) return false;
    return true;
}
static_assert(InOrder(), "every message's row sits at its own index");

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
