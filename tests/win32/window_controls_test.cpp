// The three native windows built in this process: every control's caption and tool tip
// as the window shows them, and the order in which Tab visits the controls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/win32/utf16.h"
#include "program/program.h"
#include "ui/win32/address_drop.h"
#include "ui/win32/editor_window.h"
#include "ui/win32/preview_window.h"
#include "ui/win32/progress_window.h"
#include "win32/win_temp_dir.h"
// (after the Windows headers, which it needs)
#include <shlobj.h>

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
    const char* kBackColourTip =
        "中央に表示・画面のサイズに合わせるとき画像の周りに見える色です。外すとデスクトップの色のままです。";
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
            {Editor::kCbBrowseFile,
             {"参照…", "画像・ページ・リストのファイルを選んで URL / ファイル名 に入れます。"}},
            {Editor::kCbBrowseFolder,
             {"フォルダー…", "画像のあるフォルダーを選んで URL / ファイル名 に入れます。"}},
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
            {Editor::kCkExt0 + 4,
             {"WebP", "WebP のほか AVIF、HEIC/HEIF、JPEG XL、SVG の画像も候補にします。"}},
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
            {Editor::kCkBackColour, {"背景色", kBackColourTip}},
            {Editor::kCbBackColour, {"色…", kBackColourTip}},
            {Editor::kLbBackSwatch, {}},
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
            {Editor::kLbSettingsFile, {}},
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
            Editor::kCbSelect,      Editor::kCbTouroku,      Editor::kCbDelete,      Editor::kTxUrl,
            Editor::kCbBrowseFile,  Editor::kCbBrowseFolder, Editor::kCkFilter0,     Editor::kCkFilter0 + 1,
            Editor::kCkFilter0 + 2, Editor::kCkFilter0 + 3,  Editor::kCkFilter0 + 4, Editor::kCkFilter0 + 5,
            Editor::kCkFilter0 + 6, Editor::kCkExt0,         Editor::kCkExt0 + 1,    Editor::kCkExt0 + 2,
            Editor::kCkExt0 + 3,    Editor::kCkExt0 + 4,     Editor::kOpWp0,         Editor::kOpWp0 + 1,
            Editor::kOpWp0 + 2,     Editor::kOpWp0 + 3,      Editor::kOpWp0 + 4,     Editor::kCkEachScreen,
            Editor::kOpNo0,         Editor::kTxNo,           Editor::kOpNo0 + 1,     Editor::kTxFnAdd,
            Editor::kOpNo0 + 2,     Editor::kTxMinWidth,     Editor::kCkBackColour,  Editor::kCbBackColour,
            Editor::kTxComment,     Editor::kCbSchedule,     Editor::kCbPreview,     Editor::kCbSetWP,
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

// A drop list as the file manager hands it over: DROPFILES, then the wide paths, each
// ended by a null, and one more null.
HGLOBAL DropList(const std::vector<std::wstring>& paths) {
    std::wstring joined;
    for (const std::wstring& p : paths) joined += p + L'\0';
    joined += L'\0';
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + joined.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, joined.data(), joined.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    return memory;
}

HGLOBAL TextBlock(const std::wstring& text) {
    HGLOBAL memory = ::GlobalAlloc(GHND, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(::GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    return memory;
}

// A data object as a drag source offers one: each format a block of memory, handed out as
// a copy the taker releases.
class DataObject final : public IDataObject {
public:
    void Add(CLIPFORMAT format, HGLOBAL memory) { blocks_.push_back({format, memory}); }
    ~DataObject() {
        for (const auto& [format, memory] : blocks_) ::GlobalFree(memory);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        *out = ::IsEqualIID(id, IID_IUnknown) || ::IsEqualIID(id, IID_IDataObject) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* wanted, STGMEDIUM* medium) override {
        for (const auto& [format, memory] : blocks_) {
            if (format != wanted->cfFormat || !(wanted->tymed & TYMED_HGLOBAL)) continue;
            const SIZE_T size = ::GlobalSize(memory);
            HGLOBAL copy = ::GlobalAlloc(GHND, size);
            std::memcpy(::GlobalLock(copy), ::GlobalLock(memory), size);
            ::GlobalUnlock(copy);
            ::GlobalUnlock(memory);
            *medium = STGMEDIUM{};
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = copy;
            return S_OK;
        }
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* wanted) override {
        for (const auto& block : blocks_)
            if (block.first == wanted->cfFormat) return S_OK;
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<std::pair<CLIPFORMAT, HGLOBAL>> blocks_;
};

// A drag that lets go at once, wherever the pointer is.
class DropAtOnce final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        *out = ::IsEqualIID(id, IID_IUnknown) || ::IsEqualIID(id, IID_IDropSource) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override { return DRAGDROP_S_DROP; }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

// What lands in the address field: files and folders from the file manager (the old
// WM_DROPFILES and a real OLE drag), links and their text from a browser; a drop that carries
// no address, or comes while a box of the program is open, leaves the field alone.
TEST_F(WindowControlsTest, DropsFillTheAddressField) {
    testing::WinTempDir dir;
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("写真").c_str(), nullptr));
    const std::wstring picture = dir.wide("a.png"), folder = dir.wide("写真");
    const auto link = static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"UniformResourceLocatorW"));
    enum class Way { DropFiles, Ole };
    struct Row {
        const char* name;
        Way way;
        std::vector<std::pair<CLIPFORMAT, HGLOBAL>> data;  // for WM_DROPFILES: one CF_HDROP
        std::wstring expected;                             // empty: the field is left alone
        bool disabled = false;
    };
    const std::vector<Row> rows = {
        {"first of two files", Way::DropFiles, {{CF_HDROP, DropList({picture, folder})}}, picture},
        {"a folder gains its separator", Way::DropFiles, {{CF_HDROP, DropList({folder})}}, folder + L"\\"},
        {"an empty list", Way::DropFiles, {{CF_HDROP, DropList({})}}, L""},
        {"a folder through OLE", Way::Ole, {{CF_HDROP, DropList({folder})}}, folder + L"\\"},
        {"a link before its title",
         Way::Ole,
         {{CF_UNICODETEXT, TextBlock(L"休日の写真")}, {link, TextBlock(L"https://example.com/a.jpg")}},
         L"https://example.com/a.jpg"},
        {"the first line of a text",
         Way::Ole,
         {{CF_UNICODETEXT, TextBlock(L"\r\n  http://example.com/page.html \r\nnext line")}},
         L"http://example.com/page.html"},
        {"blanks only", Way::Ole, {{CF_UNICODETEXT, TextBlock(L" \r\n\t")}}, L""},
        {"under an open box", Way::Ole, {{link, TextBlock(L"https://example.com/b.jpg")}}, L"", true},
        {"under an open box, old style", Way::DropFiles, {{CF_HDROP, DropList({picture})}}, L"", true},
    };
    Editor editor;
    HWND url = ::GetDlgItem(editor.hwnd(), Editor::kTxUrl);
    // The pointer over the address, where a user lets go.
    ::ShowWindow(editor.hwnd(), SW_SHOWNA);
    RECT at;
    ::GetWindowRect(url, &at);
    ::SetCursorPos((at.left + at.right) / 2, (at.top + at.bottom) / 2);
    for (const Row& row : rows) {
        ::SetWindowTextW(url, L"before");
        ::EnableWindow(editor.hwnd(), row.disabled ? FALSE : TRUE);
        if (row.way == Way::DropFiles) {
            // The window owns the list from here on and frees it.
            ASSERT_TRUE(
                ::PostMessageW(editor.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(row.data[0].second), 0));
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        } else {
            DataObject data;
            for (const auto& [format, memory] : row.data) data.Add(format, memory);
            DropAtOnce source;
            DWORD effect = DROPEFFECT_NONE;
            ::DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
            // Copied, never moved: a move would take the file away from the file manager.
            EXPECT_EQ(effect, row.expected.empty() ? DWORD{DROPEFFECT_NONE} : DWORD{DROPEFFECT_COPY})
                << row.name;
        }
        EXPECT_EQ(TextOf(url), win32::Narrow(row.expected.empty() ? L"before" : row.expected)) << row.name;
    }
}

}  // namespace
}  // namespace vexal
