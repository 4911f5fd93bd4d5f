// The entry editor's captions and tool tips, shared by every front end so that each
// shows them exactly alike, in Japanese (the program's own) and in English.
#pragma once

#include <array>

#include "text/language.h"

namespace vexal {

struct EditorTexts {
    const char* cbTouroku;
    const char* cbDelete;
    const char* Label1;
    const char* Frame2;
    const char* Frame3;
    const char* Frame5;
    const char* Frame4;
    const char* Label2;
    const char* cbPreview;
    const char* cbSetWP;
    const char* cbEnd;

    // Beside the address: one button picks a picture, page or list file, the other a folder.
    const char* cbBrowseFile;
    const char* cbBrowseFileTip;
    const char* cbBrowseFolder;
    const char* cbBrowseFolderTip;
    // The kinds of file cbBrowseFile offers, each with the names it shows: the pictures
    // vexal reads, the pages and lists it extracts from, and anything else.
    const char* BrowsePictures;
    const char* BrowsePagesAndLists;
    const char* BrowseAllFiles;

    std::array<const char*, 5> ckExt;
    // The fifth kind stands for the newer kinds as well, which its caption has no room for.
    const char* ckExtNewerTip;
    std::array<const char*, 5> opWp;

    const char* ckEachScreen;
    const char* ckEachScreenTip;

    // The colour around a centred or fitted picture, the entry's own while checked.
    const char* ckBackColour;
    const char* ckBackColourTip;
    const char* cbBackColour;
    // The settings file being edited, on the status line.
    const char* lbSettingsFileLead;

    std::array<const char*, 7> ckFilter;
    std::array<const char*, 7> ckFilterTip;

    // The blanks (U+3000) in the first two captions leave room for txNo with scNo, and for
    // txFnAdd, which sit on top of them so that each line reads as one sentence.
    std::array<const char*, 3> opNo;
    std::array<const char*, 3> opNoTip;
    // The text before each blank, and the number of blanks.
    const char* opNo0Lead;
    int opNo0Blanks;
    const char* opNo1Lead;
    int opNo1Blanks;

    // The line "幅 [txMinWidth] ピクセル未満の画像は使わない": its captions before and after
    // the box.
    const char* lbMinWidthLead;
    const char* lbMinWidthTail;
    const char* txMinWidthTip;

    // "自動変更 [cbSchedule]": when the system runs the entry by itself, one item per
    // ScheduleKind, in its order.
    const char* lbSchedule;
    std::array<const char*, 8> cbSchedule;
    const char* cbScheduleTip;
};

inline constexpr EditorTexts kJapaneseEditorTexts = {
    "新規登録",
    "削除",
    "URL / ファイル名",
    "抽出形式",
    "抽出条件",
    "壁紙の設定",
    "候補から選択する際の条件",
    "コメント",
    "プレビュー",
    "壁紙に設定",
    "終了",

    "参照…",
    "画像・ページ・リストのファイルを選んで URL / ファイル名 に入れます。",
    "フォルダー…",
    "画像のあるフォルダーを選んで URL / ファイル名 に入れます。",
    "画像ファイル (*.bmp *.jpg *.jpeg *.png *.gif *.webp *.avif *.heic *.heif *.jxl *.svg)",
    "ページ・リスト (*.htm *.html *.txt)",
    "すべてのファイル (*)",

    {"GIF", "JPG", "PNG", "BMP", "WebP"},
    "WebP のほか AVIF、HEIC/HEIF、JPEG XL、SVG の画像も候補にします。",
    {"中央に表示", "並べて表示", "拡大して表示", "ページ幅に合わせる", "画面のサイズに合わせる"},

    "画面ごとに別の画像",
    "画面が複数あるとき、候補から画面の数だけ画像を選び、それぞれの画面に表示します。",

    "背景色",
    "中央に表示・画面のサイズに合わせるとき画像の周りに見える色です。外すとデスクトップの色のままです。",
    "色…",
    "設定ファイル: ",

    {
        "<body background=\"～\">",
        "<img src=\"～\">",
        "<a href=\"～\">",
        "http://～",
        "指定ファイル中の全行",
        "サブフォルダも含める",
        "ページの代表画像",
    },
    {
        "背景として使われている画像",
        "直接画面上に貼られた画像",
        "指定htmlファイルからリンクされている画像",
        "タグに関係無く、書かれているURL全て",
        "生のテキストファイルを指定した際に利用出来ます。",
        "指定したフォルダ以下のサブフォルダに存在する画像ファイルも全て候補とします。",
        "ページ自身が代表として示す画像（og:image など）を、他のどの候補よりも先に候補とします。",
    },

    {
        "\u3000\u3000\u3000\u3000\u3000\u3000\u3000番目のファイルを選択する",
        "ファイル名に文字\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000を含む",
        "全ての候補ファイルからランダムで選ぶ",
    },
    {
        "指定した番目に見つけたファイルを採用します。",
        "指定した文字列がファイル名に入っているファイルのうち、始めに見つかったファイルを選択します。",
        "全ての候補ファイルからランダムで選択します。",
    },
    "",
    7,
    "ファイル名に文字",
    8,

    "幅",
    "ピクセル未満の画像は使わない",
    "これより幅の狭い画像や、取得・読み込みのできない候補は飛ばして次の候補を使います。0 なら飛ばしません。",

    "自動変更",
    {"しない", "15分ごと", "30分ごと", "1時間ごと", "3時間ごと", "6時間ごと", "毎日", "ログオン時"},
    "保存すると、この項目での壁紙の変更をシステムのスケジューラに登録します。vexal は常駐しません。",
};

inline constexpr EditorTexts kEnglishEditorTexts = {
    "Register New",
    "Delete",
    "URL / file name",
    "Picture kinds",
    "Link rules",
    "Wallpaper style",
    "Choosing among the candidates",
    "Comment",
    "Preview",
    "Set Wallpaper",
    "Exit",

    "Browse…",
    "Pick a picture, page or list file for URL / file name.",
    "Folder…",
    "Pick a folder of pictures for URL / file name.",
    "Pictures (*.bmp *.jpg *.jpeg *.png *.gif *.webp *.avif *.heic *.heif *.jxl *.svg)",
    "Pages and lists (*.htm *.html *.txt)",
    "All files (*)",

    {"GIF", "JPG", "PNG", "BMP", "WebP"},
    "Besides WebP, takes AVIF, HEIC/HEIF, JPEG XL and SVG pictures as candidates too.",
    {"Centre", "Tile", "Stretch", "Fill the screen", "Fit to the screen"},

    "A picture per screen",
    "With several screens, picks as many pictures from the candidates as there are screens and shows "
    "one on each.",

    "Colour",
    "The colour around a centred or fitted picture. Unchecked, the desktop's own colour stays.",
    "Choose…",
    "Settings file: ",

    {
        "<body background=\"…\">",
        "<img src=\"…\">",
        "<a href=\"…\">",
        "http://…",
        "Every line of the file",
        "Include subfolders",
        "The page's own picture",
    },
    {
        "Pictures used as a page's background",
        "Pictures shown on the page itself",
        "Pictures the given HTML file links to",
        "Every URL written in the file, whatever the tag",
        "For a plain text file given as the source.",
        "Also takes every picture in the folders below the given folder.",
        "Takes the picture the page names as its own (og:image and the like) before every other "
        "candidate.",
    },

    {
        "File number \u3000\u3000\u3000\u3000\u3000\u3000\u3000",
        "Name contains \u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000",
        "At random from all candidates",
    },
    {
        "Uses the file found at that number.",
        "Picks the first file found whose name contains the text.",
        "Picks at random from all the candidate files.",
    },
    "File number ",
    7,
    "Name contains ",
    8,

    "Minimum width",
    "pixels",
    "Pictures narrower than this, and candidates that cannot be fetched or read, are skipped for the "
    "next candidate. 0 skips none.",

    "Schedule",
    {"Never", "Every 15 minutes", "Every 30 minutes", "Every hour", "Every 3 hours", "Every 6 hours", "Daily",
     "At log-on"},
    "Saving registers this entry's wallpaper changes with the system's scheduler. vexal does not stay "
    "running.",
};

inline constexpr const EditorTexts& EditorTextsIn(Language language) {
    return language == Language::English ? kEnglishEditorTexts : kJapaneseEditorTexts;
}

}  // namespace vexal
