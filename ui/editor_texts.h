// The entry editor's captions and tool tips, shared by every front end so that each
// shows them exactly alike.
#pragma once

#include <array>

namespace vexal::editor_texts {

inline constexpr const char* cbTouroku = "新規登録";
inline constexpr const char* cbDelete = "削除";
inline constexpr const char* Label1 = "URL / ファイル名";
inline constexpr const char* Frame2 = "抽出形式";
inline constexpr const char* Frame3 = "抽出条件";
inline constexpr const char* Frame5 = "壁紙の設定";
inline constexpr const char* Frame4 = "候補から選択する際の条件";
inline constexpr const char* Label2 = "コメント";
inline constexpr const char* cbPreview = "プレビュー";
inline constexpr const char* cbSetWP = "壁紙に設定";
inline constexpr const char* cbEnd = "終了";

// Beside the address: one button picks a picture, page or list file, the other a folder.
inline constexpr const char* cbBrowseFile = "参照…";
inline constexpr const char* cbBrowseFileTip =
    "画像・ページ・リストのファイルを選んで URL / ファイル名 に入れます。";
inline constexpr const char* cbBrowseFolder = "フォルダー…";
inline constexpr const char* cbBrowseFolderTip = "画像のあるフォルダーを選んで URL / ファイル名 に入れます。";
// The kinds of file 参照… offers, each with the names it shows: the pictures vexal reads, the
// pages and lists it extracts from, and anything else.
inline constexpr const char* BrowsePictures =
    "画像ファイル (*.bmp *.jpg *.jpeg *.png *.gif *.webp *.avif *.heic *.heif *.jxl *.svg)";
inline constexpr const char* BrowsePagesAndLists = "ページ・リスト (*.htm *.html *.txt)";
inline constexpr const char* BrowseAllFiles = "すべてのファイル (*)";

inline constexpr std::array<const char*, 5> ckExt = {"GIF", "JPG", "PNG", "BMP", "WebP"};
inline constexpr std::array<const char*, 5> opWp = {"中央に表示", "並べて表示", "拡大して表示",
                                                    "ページ幅に合わせる", "画面のサイズに合わせる"};

inline constexpr const char* ckEachScreen = "画面ごとに別の画像";
inline constexpr const char* ckEachScreenTip =
    "画面が複数あるとき、候補から画面の数だけ画像を選び、それぞれの画面に表示します。";

// The colour around a centred or fitted picture, the entry's own while checked.
inline constexpr const char* ckBackColour = "背景色";
inline constexpr const char* ckBackColourTip =
    "中央に表示・画面のサイズに合わせるとき画像の周りに見える色です。外すとデスクトップの色のままです。";
inline constexpr const char* cbBackColour = "色…";
// The settings file being edited, on the status line.
inline constexpr const char* lbSettingsFileLead = "設定ファイル: ";

inline constexpr std::array<const char*, 7> ckFilter = {
    "<body background=\"～\">", "<img src=\"～\">",     "<a href=\"～\">",  "http://～",
    "指定ファイル中の全行",     "サブフォルダも含める", "ページの代表画像",
};
inline constexpr std::array<const char*, 7> ckFilterTip = {
    "背景として使われている画像",
    "直接画面上に貼られた画像",
    "指定htmlファイルからリンクされている画像",
    "タグに関係無く、書かれているURL全て",
    "生のテキストファイルを指定した際に利用出来ます。",
    "指定したフォルダ以下のサブフォルダに存在する画像ファイルも全て候補とします。",
    "ページ自身が代表として示す画像（og:image など）を、他のどの候補よりも先に候補とします。",
};

// The blanks (U+3000) in the first two captions leave room for txNo with scNo, and for
// txFnAdd, which sit on top of them so that each line reads as one sentence.
inline constexpr std::array<const char*, 3> opNo = {
    "\u3000\u3000\u3000\u3000\u3000\u3000\u3000番目のファイルを選択する",
    "ファイル名に文字\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000を含む",
    "全ての候補ファイルからランダムで選ぶ",
};
inline constexpr std::array<const char*, 3> opNoTip = {
    "指定した番目に見つけたファイルを採用します。",
    "指定した文字列がファイル名に入っているファイルのうち、始めに見つかったファイルを選択します。",
    "全ての候補ファイルからランダムで選択します。",
};
// The text before each blank, and the number of blanks.
inline constexpr const char* opNo0Lead = "";
inline constexpr int opNo0Blanks = 7;
inline constexpr const char* opNo1Lead = "ファイル名に文字";
inline constexpr int opNo1Blanks = 8;

// The line "幅 [txMinWidth] ピクセル未満の画像は使わない": its captions before and after the box.
inline constexpr const char* lbMinWidthLead = "幅";
inline constexpr const char* lbMinWidthTail = "ピクセル未満の画像は使わない";
inline constexpr const char* txMinWidthTip =
    "これより幅の狭い画像や、取得・読み込みのできない候補は飛ばして次の候補を使います。0 なら飛ばしません。";

// "自動変更 [cbSchedule]": when the system runs the entry by itself, one item per
// ScheduleKind, in its order.
inline constexpr const char* lbSchedule = "自動変更";
inline constexpr std::array<const char*, 8> cbSchedule = {"しない",    "15分ごと",  "30分ごと", "1時間ごと",
                                                          "3時間ごと", "6時間ごと", "毎日",     "ログオン時"};
inline constexpr const char* cbScheduleTip =
    "保存すると、この項目での壁紙の変更をシステムのスケジューラに登録します。vexal は常駐しません。";

}  // namespace vexal::editor_texts
