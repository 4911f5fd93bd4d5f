// The three native windows built in this process: every control's caption and tool tip
// as the window shows them, and the order in which Tab visits the controls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "platform/win32/utf16.h"
#include "program/program.h"
#include "ui/win32/editor_window.h"
#include "ui/win32/preview_window.h"
#include "ui/win32/progress_window.h"

namespace vexal {
namespace {

using Editor = Win32EditorWindow;
using Preview = Win32PreviewWindow;

bool HasDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

std::string TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return win32::Narrow(text);
}

// The tool-tip window that belongs to `window`, or null.
HWND ToolTipsOf(HWND window) {
    struct Search {
        HWND owner, found;
    } search{window, nullptr};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND candidate, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t className[64] = {};
            ::GetClassNameW(candidate, className, 64);
            if (std::wstring(className) == TOOLTIPS_CLASSW && ::GetWindow(candidate, GW_OWNER) == s->owner) {
                s->found = candidate;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ToolTipOf(HWND tips, HWND control) {
    if (!tips) return {};
    wchar_t buffer[512] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = ::GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = buffer;
    ::SendMessageW(tips, TTM_GETTEXTW, std::size(buffer), reinterpret_cast<LPARAM>(&tool));
    return win32::Narrow(buffer);
}

struct Texts {
    std::string caption;
    std::string tip = "";
};

// Every child control of `window` with its identifier's caption and tool tip; a control
// whose identifier the table lacks must have neither.
void ExpectTexts(HWND window, const std::map<int, Texts>& table) {
    const HWND tips = ToolTipsOf(window);
    std::map<int, int> seen;
    for (HWND c = ::GetWindow(window, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        const int id = ::GetDlgCtrlID(c);
        ++seen[id];
        const auto row = table.find(id);
        const Texts expected = row == table.end() ? Texts{} : row->second;
        EXPECT_EQ(TextOf(c), expected.caption) << "control " << id;
        EXPECT_EQ(ToolTipOf(tips, c), expected.tip) << "control " << id;
    }
    for (const auto& [id, texts] : table) {
        if (id != 0) {  // 0: controls without an identifier of their own
            EXPECT_EQ(seen[id], 1) << "control " << id;
        }
    }
}

// The controls Tab visits from `first` until it comes back there.
std::vector<int> TabCycle(HWND window, int first) {
    std::vector<int> ids;
    HWND start = ::GetDlgItem(window, first);
    HWND c = start;
    do {
        ids.push_back(::GetDlgCtrlID(c));
        c = ::GetNextDlgTabItem(window, c, FALSE);
    } while (c && c != start && ids.size() < 100);
    return ids;
}

class WindowControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HasDisplay()) GTEST_SKIP() << "no display (scripts/test-windows runs Xvfb)";
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                           ICC_UPDOWN_CLASS | ICC_TAB_CLASSES |
                                                           ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
};

TEST_F(WindowControlsTest, EveryCaptionAndToolTipOfTheThreeWindows) {
    Editor editor;
    ExpectTexts(
        editor.hwnd(),
        {
            {Editor::kCbSelect, {}},
            {Editor::kCbTouroku, {"新規登録"}},
            {Editor::kCbDelete, {"削除"}},
            {Editor::kFrame1, {}},
            {Editor::kLabel1, {"URL / ファイル名"}},
            {Editor::kTxUrl, {}},
            {Editor::kFrame3, {"抽出条件"}},
            {Editor::kCkFilter0, {"<body background=\"～\">", "背景として使われている画像"}},
            {Editor::kCkFilter0 + 1, {"<img src=\"～\">", "直接画面上に貼られた画像"}},
            {Editor::kCkFilter0 + 2, {"<a href=\"～\">", "指定htmlファイルからリンクされている画像"}},
            {Editor::kCkFilter0 + 3, {"http://～", "タグに関係無く、書かれているURL全て"}},
            {Editor::kCkFilter0 + 4,
             {"指定ファイル中の全行", "生のテキストファイルを指定した際に利用出来ます。"}},
            {Editor::kCkFilter0 + 5,
             {"サブフォルダも含める",
              "指定したフォルダ以下のサブフォルダに存在する画像ファイルも全て候補とします。"}},
            {Editor::kCkFilter0 + 6,
             {"ページの代表画像",
              "ページ自身が代表として示す画像（og:image など）を、他のどの候補よりも先に候補とします。"}},
            {Editor::kFrame2, {"抽出形式"}},
            {Editor::kCkExt0, {"GIF"}},
            {Editor::kCkExt0 + 1, {"JPG"}},
            {Editor::kCkExt0 + 2, {"PNG"}},
            {Editor::kCkExt0 + 3, {"BMP"}},
            {Editor::kCkExt0 + 4, {"WebP"}},
            {Editor::kFrame5, {"壁紙の設定"}},
            {Editor::kOpWp0, {"中央に表示"}},
            {Editor::kOpWp0 + 1, {"並べて表示"}},
            {Editor::kOpWp0 + 2, {"拡大して表示"}},
            {Editor::kOpWp0 + 3, {"ページ幅に合わせる"}},
            {Editor::kOpWp0 + 4, {"画面のサイズに合わせる"}},
            {Editor::kCkEachScreen,
             {"画面ごとに別の画像",
              "画面が複数あるとき、候補から画面の数だけ画像を選び、それぞれの画面に表示します。"}},
            {Editor::kFrame4, {"候補から選択する際の条件"}},
            {Editor::kOpNo0,
             {"\u3000\u3000\u3000\u3000\u3000\u3000\u3000番目のファイルを選択する",
              "指定した番目に見つけたファイルを採用します。"}},
            {Editor::kTxNo, {}},
            {Editor::kScNo, {}},
            {Editor::kOpNo0 + 1,
             {"ファイル名に文字\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000を含む",
              "指定した文字列がファイル名に入っているファイルのうち、始めに見つかったファイルを選択します"
              "。"}},
            {Editor::kTxFnAdd, {}},
            {Editor::kOpNo0 + 2,
             {"全ての候補ファイルからランダムで選ぶ", "全ての候補ファイルからランダムで選択します。"}},
            {Editor::kLbMinWidthLead, {"幅"}},
            {Editor::kTxMinWidth,
             {"",
              "これより幅の狭い画像や、取得・読み込みのできない候補は飛ばして次の候補を使います。0 "
              "なら飛ばしません。"}},
            {Editor::kLbMinWidthTail, {"ピクセル未満の画像は使わない"}},
            {Editor::kLabel2, {"コメント"}},
            {Editor::kTxComment, {}},
            {Editor::kLbSchedule, {"自動変更"}},
            {Editor::kCbSchedule,
             {"",
              "保存すると、この項目での壁紙の変更をシステムのスケジューラに登録します。vexal "
              "は常駐しません。"}},
            {Editor::kLbLastRun, {}},
            {Editor::kCbPreview, {"プレビュー"}},
            {Editor::kCbSetWP, {"壁紙に設定"}},
            {Editor::kCbEnd, {"終了"}},
        });

    Program program;
    Win32ProgressWindow progress(program);
    // The labels and the bar carry no identifier of their own.
    ExpectTexts(progress.hwnd(), {{0, {}}, {IDCANCEL, {"キャンセル"}}});

    Preview preview;
    ExpectTexts(preview.hwnd(), {{Preview::kImGrp, {}},
                                 {Preview::kCbSetWP, {"壁紙に設定する"}},
                                 {IDCANCEL, {"キャンセル"}},
                                 {Preview::kCbRetry, {"もう一度検索する"}}});
}

TEST_F(WindowControlsTest, TabFollowsTheLayoutOfEachWindow) {
    Editor editor;
    EXPECT_EQ(
        TabCycle(editor.hwnd(), Editor::kCbSelect),
        (std::vector<int>{
            Editor::kCbSelect,      Editor::kCbTouroku,     Editor::kCbDelete,      Editor::kTxUrl,
            Editor::kCkFilter0,     Editor::kCkFilter0 + 1, Editor::kCkFilter0 + 2, Editor::kCkFilter0 + 3,
            Editor::kCkFilter0 + 4, Editor::kCkFilter0 + 5, Editor::kCkFilter0 + 6, Editor::kCkExt0,
            Editor::kCkExt0 + 1,    Editor::kCkExt0 + 2,    Editor::kCkExt0 + 3,    Editor::kCkExt0 + 4,
            Editor::kOpWp0,         Editor::kOpWp0 + 1,     Editor::kOpWp0 + 2,     Editor::kOpWp0 + 3,
            Editor::kOpWp0 + 4,     Editor::kCkEachScreen,  Editor::kOpNo0,         Editor::kTxNo,
            Editor::kOpNo0 + 1,     Editor::kTxFnAdd,       Editor::kOpNo0 + 2,     Editor::kTxMinWidth,
            Editor::kTxComment,     Editor::kCbSchedule,    Editor::kCbPreview,     Editor::kCbSetWP,
            Editor::kCbEnd}));
    // The boxes in the captions stay visible and take their own clicks: each button keeps
    // all of its row but the boxes' place.
    ::ShowWindow(editor.hwnd(), SW_SHOWNA);
    for (int id : {Editor::kTxNo, Editor::kScNo, Editor::kTxFnAdd}) {
        HWND box = ::GetDlgItem(editor.hwnd(), id);
        RECT r;
        ::GetWindowRect(box, &r);
        EXPECT_EQ(::WindowFromPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}), box) << id;
    }
    ::ShowWindow(editor.hwnd(), SW_HIDE);

    // The preview's buttons keep their own order: install, give up, search again.
    Preview preview;
    preview.SetSetWPEnabled(true);
    EXPECT_EQ(TabCycle(preview.hwnd(), Preview::kCbSetWP),
              (std::vector<int>{Preview::kCbSetWP, IDCANCEL, Preview::kCbRetry}));
}

}  // namespace
}  // namespace vexal
