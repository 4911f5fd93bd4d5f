// The real windows of vexal.exe under a display, driven from outside as a user would:
// the editor (register with refused identifiers, edit, delete, end; the close box; long
// fields; choosing the selected entry again), the
// preview window (install, close), the progress window's cancel button, the session's end
// and the wait for another run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_file_system.h"
#include "ui/win32/editor_window.h"
#include "ui/win32/preview_window.h"
#include "win32/program/http_server.h"
#include "win32/program/program_runner.h"
#include "win32/test_pictures.h"
#include "win32/win_temp_dir.h"
// After <windows.h>, which win32_api.h includes.
#include <tlhelp32.h>

namespace vexal::testing {
namespace {

// The windows' own control identifiers.
using Editor = Win32EditorWindow;
using Preview = Win32PreviewWindow;
constexpr int kInputAnswer = 101;  // the input box's text field
constexpr const wchar_t* kWindowClass = L"VexalWindow";
constexpr const wchar_t* kDialogClass = L"#32770";

bool HasDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

std::string TextOf(HWND control) { return WindowTextOf(control); }

void SetTextOf(HWND control, const std::string& text) {
    ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(win32::Widen(text).c_str()));
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    for (const std::string& t : texts)
        if (t == text) return true;
    return false;
}

class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HasDisplay()) GTEST_SKIP() << "no display (scripts/test-windows runs Xvfb)";
        SetDesktopValue(L"Wallpaper", "untouched");
    }

    // Answers the input box with `answer` (OK).
    void AnswerInput(RunningProgram& program, const std::string& answer) {
        HWND input = program.WaitForWindow(kDialogClass, L"vexal", kInputAnswer);
        ASSERT_NE(input, nullptr) << "no input box for " << answer;
        EXPECT_TRUE(Contains(ControlTexts(input), "登録する識別子を入力してください"));
        SetTextOf(::GetDlgItem(input, kInputAnswer), answer);
        ::PostMessageW(input, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(input) || !::IsWindowVisible(input); }));
    }
    // Expects the error box with `text`, and closes it.
    void ExpectError(RunningProgram& program, const std::string& text) {
        HWND box = program.WaitForWindow(kDialogClass, L"vexal 1.00");
        ASSERT_NE(box, nullptr) << "no error box for " << text;
        EXPECT_TRUE(Contains(ControlTexts(box), text)) << text;
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
    }
    // Expects the question box with `text` (title "vexal") and answers it with `button`.
    void AnswerQuestion(RunningProgram& program, const std::string& text, int button) {
        HWND box = program.WaitForWindow(kDialogClass, L"vexal");
        ASSERT_NE(box, nullptr) << "no question " << text;
        EXPECT_TRUE(Contains(ControlTexts(box), text)) << text;
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
    }
    // Selects list item `index` as a user does; the window then shows `url`.
    void SelectEntry(HWND editor, int index, const std::string& url) {
        PostChoice(editor, Editor::kCbSelect, index);
        ASSERT_TRUE(WaitUntil([&] { return TextOf(::GetDlgItem(editor, Editor::kTxUrl)) == url; })) << index;
        EXPECT_EQ(::IsWindowEnabled(::GetDlgItem(editor, Editor::kCbDelete)) != FALSE, index != 0);
    }

    WinTempDir dir;
    Win32FileSystem files;
};

EntryLines Sample() {
    EntryLines e;
    e.Name = "sample";
    e.Url = "C:\\pics\\";
    e.Comment = "first line\\nsecond line";
    e.Filter = "000001";
    e.Ext = "1111";
    e.WpState = "2";
    e.No = "2";
    return e;
}

EntryLines Second() {
    EntryLines e;
    e.Name = "second";
    e.Url = "http://example.invalid/page.html";
    e.Filter = "110000";
    e.Ext = "0100";
    return e;
}

TEST_F(WindowsTest, EditorRegistersEditsDeletesAndSavesOnEnd) {
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({Sample(), Second()}, "wall.bmp")));
    RunningProgram program(dir.path(), "", false);
    HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    HWND list = ::GetDlgItem(editor, Editor::kCbSelect);
    EXPECT_EQ(::SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(::SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(TextOf(list), "(新規)");
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(editor, Editor::kCbTouroku)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(editor, Editor::kCbDelete)));

    // Typing a page address enables the page rules, not the subfolder rule.
    SetTextOf(::GetDlgItem(editor, Editor::kTxUrl), "http://127.0.0.1/new/page.html");
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowEnabled(::GetDlgItem(editor, Editor::kCkFilter0 + 5)); }));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(editor, Editor::kCkFilter0 + 1)));
    // Clicked as a user clicks them, so each reports to the window under its own identifier.
    for (int id : {Editor::kCkFilter0 + 0, Editor::kCkFilter0 + 1, Editor::kCkExt0 + 1}) {
        HWND box = ::GetDlgItem(editor, id);
        ::PostMessageW(box, BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; })) << id;
    }
    PostClick(editor, Editor::kOpWp0 + 2);
    ASSERT_TRUE(WaitUntil([&] {
        return ::SendMessageW(::GetDlgItem(editor, Editor::kOpWp0 + 2), BM_GETCHECK, 0, 0) == BST_CHECKED &&
               ::SendMessageW(::GetDlgItem(editor, Editor::kOpWp0), BM_GETCHECK, 0, 0) == BST_UNCHECKED;
    }));

    // Registering: two refused identifiers, then one that is taken.
    PostClick(editor, Editor::kCbTouroku);
    AnswerInput(program, "my site");
    ExpectError(program, "識別子に空白文字は使用出来ません。");
    AnswerInput(program, "1abc");
    ExpectError(program, "識別子の１文字目は英文字である必要があります。");
    AnswerInput(program, "newsite");
    ASSERT_TRUE(WaitUntil([&] { return ::SendMessageW(list, CB_GETCOUNT, 0, 0) == 4; }));
    // The new entry is selected, as registered.
    EXPECT_EQ(::SendMessageW(list, CB_GETCURSEL, 0, 0), 3);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(editor, Editor::kCbDelete)));

    // A name that differs from a registered one only in letter case is asked about; No
    // gives the input box back, where Cancel gives up.
    SelectEntry(editor, 0, "");
    PostClick(editor, Editor::kCbTouroku);
    AnswerInput(program, "SAMPLE");
    AnswerQuestion(
        program,
        "識別子 SAMPLE は、登録されている識別子 sample と大文字・小文字しか違いません。\r\n"
        "コマンドラインでは大文字と小文字を区別しないため、sample の項目が使われます。登録しますか？",
        IDNO);
    HWND again = program.WaitForWindow(kDialogClass, L"vexal", kInputAnswer);
    ASSERT_NE(again, nullptr);
    ::PostMessageW(again, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(again); }));
    EXPECT_EQ(::SendMessageW(list, CB_GETCOUNT, 0, 0), 4);

    // Editing entry 1, then leaving it for entry 2, keeps the edit.
    SelectEntry(editor, 1, "C:\\pics\\");
    SetTextOf(::GetDlgItem(editor, Editor::kTxUrl), "C:\\changed\\");
    SelectEntry(editor, 2, "http://example.invalid/page.html");

    // Deleting entry 2 after the Yes/No question.
    PostClick(editor, Editor::kCbDelete);
    HWND question = program.WaitForWindow(kDialogClass, L"vexal");
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(
        Contains(ControlTexts(question), "登録されている識別子 second を削除します。よろしいですか？"));
    // Enter pressed out of habit must not delete.
    EXPECT_EQ(::GetWindowLongW(::GetDlgItem(question, IDNO), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    ::PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return ::SendMessageW(list, CB_GETCOUNT, 0, 0) == 3; }));

    PostClick(editor, Editor::kCbEnd);
    const Outcome end = program.Wait();
    EXPECT_EQ(end.exitCode, 0u);

    EntryLines changed = Sample();
    changed.Url = "C:\\changed\\";
    EntryLines registered;
    registered.Name = "newsite";
    registered.Url = "http://127.0.0.1/new/page.html";
    registered.Filter = "110000";
    registered.Ext = "0100";
    registered.WpState = "2";
    EXPECT_EQ(ReadSettings(dir / "vexal.ini"), SettingsText({changed, registered}, "wall.bmp"));
}

// Unchanged, the close box ends at once and writes nothing. After a registration it asks
// whether to save: Cancel keeps the window, No ends without saving, Yes saves.
TEST_F(WindowsTest, EditorCloseBoxAsksAboutUnsavedChanges) {
    const std::string question = "登録内容の変更が保存されていません。\r\n保存してから閉じますか？";
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({Sample()}, "wall.bmp")));
    const std::string before = ReadWholeFile(dir / "vexal.ini");
    {
        RunningProgram program(dir.path(), "", false);
        HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
        ASSERT_NE(editor, nullptr);
        SelectEntry(editor, 1, "C:\\pics\\");
        ::PostMessageW(editor, WM_CLOSE, 0, 0);
        const Outcome end = program.Wait();
        EXPECT_FALSE(end.timedOut);
        EXPECT_EQ(end.exitCode, 0u);
        EXPECT_EQ(ReadWholeFile(dir / "vexal.ini"), before);
    }
    for (int last : {IDNO, IDYES}) {
        RunningProgram program(dir.path(), "", false);
        HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
        ASSERT_NE(editor, nullptr);
        PostClick(editor, Editor::kCbTouroku);
        AnswerInput(program, "kept");
        ASSERT_TRUE(WaitUntil(
            [&] { return ::SendMessageW(::GetDlgItem(editor, Editor::kCbSelect), CB_GETCOUNT, 0, 0) == 3; }));
        ::PostMessageW(editor, WM_CLOSE, 0, 0);
        AnswerQuestion(program, question, IDCANCEL);
        EXPECT_TRUE(::IsWindowVisible(editor));
        ::PostMessageW(editor, WM_CLOSE, 0, 0);
        AnswerQuestion(program, question, last);
        const Outcome end = program.Wait();
        EXPECT_FALSE(end.timedOut);
        EXPECT_EQ(end.exitCode, 0u);
        if (last == IDNO) {
            EXPECT_EQ(ReadWholeFile(dir / "vexal.ini"), before);
        } else {
            EntryLines kept;
            kept.Name = "kept";
            EXPECT_EQ(ReadSettings(dir / "vexal.ini"), SettingsText({Sample(), kept}, "wall.bmp"));
        }
    }
}

// Regression: an entry typed into the new-entry form and never registered was dropped by
// the end button without a word. It asks to register it first.
TEST_F(WindowsTest, EndWithAFilledNewEntryFormAsksToRegisterIt) {
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({Sample()}, "wall.bmp")));
    RunningProgram program(dir.path(), "", false);
    HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    SetTextOf(::GetDlgItem(editor, Editor::kTxUrl), "C:\\typed\\");
    PostClick(editor, Editor::kCbEnd);
    const std::string question = "新規の項目が登録されていません。\r\n登録してから終了しますか？";
    AnswerQuestion(program, question, IDCANCEL);
    PostClick(editor, Editor::kCbEnd);
    AnswerQuestion(program, question, IDYES);
    // A folder with no picture kind ticked can give no picture: registering asks again.
    AnswerQuestion(program,
                   "抽出形式が一つも選択されていないため、この項目からは画像を取得できません。\r\n"
                   "このまま登録しますか？",
                   IDYES);
    AnswerInput(program, "typed");
    const Outcome end = program.Wait();
    EXPECT_FALSE(end.timedOut);
    EXPECT_EQ(end.exitCode, 0u);
    EntryLines typed;
    typed.Name = "typed";
    typed.Url = "C:\\typed\\";
    EXPECT_EQ(ReadSettings(dir / "vexal.ini"), SettingsText({Sample(), typed}, "wall.bmp"));
}

// Regression: started in its own folder without the shortcut's flag (a double click in
// Explorer, `start`), the editor worked there, could not save, and named the settings file
// without its folder. It works in the user's Documents folder, here moved elsewhere as
// OneDrive's folder backup moves it, and a save that fails names the file in full.
TEST_F(WindowsTest, EditorInItsOwnFolderSavesInTheUsersDocuments) {
    const std::string moved = dir / "OneDrive\u3000Documents";
    ASSERT_TRUE(::CreateDirectoryW(win32::Widen(moved).c_str(), nullptr));
    MovedDocuments documents(moved);
    const std::string settings = moved + "\\vexal.ini";
    const std::wstring programPath = ProgramPath();
    const std::string own = win32::Narrow(programPath.substr(0, programPath.find_last_of(L"\\") + 1));
    RunningProgram program(own, "", false);
    HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    // The status line names the file the editor edits, in full.
    wchar_t line[1024] = {};
    ::GetDlgItemTextW(editor, Editor::kLbSettingsFile, line, static_cast<int>(std::size(line)));
    EXPECT_EQ(win32::Narrow(line), "設定ファイル: " + settings);
    // A folder in the file's place once the editor is open: the save is refused and the
    // message names the file in Documents.
    ASSERT_TRUE(::CreateDirectoryW(win32::Widen(settings).c_str(), nullptr));
    PostClick(editor, Editor::kCbTouroku);
    AnswerInput(program, "kept");
    PostClick(editor, Editor::kCbEnd);
    ExpectError(program, "設定ファイル " + settings +
                             " が読み込めないため、保存しませんでした。ファイルはそのままです。"
                             "ファイルではなくフォルダーです。");
    ASSERT_TRUE(::RemoveDirectoryW(win32::Widen(settings).c_str()));
    ASSERT_TRUE(::IsWindowVisible(editor));
    PostClick(editor, Editor::kCbEnd);
    const Outcome end = program.Wait();
    EXPECT_FALSE(end.timedOut);
    EXPECT_EQ(end.exitCode, 0u);
    EntryLines kept;
    kept.Name = "kept";
    EXPECT_EQ(ReadSettings(settings), SettingsText({kept}, "wallpaper.bmp"));
    EXPECT_FALSE(FileExists(own + "vexal.ini"));
}

// The process that `parent` started; 0 while there is none.
DWORD ChildOf(DWORD parent) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD child = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !child;
         more = ::Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent) child = entry.th32ProcessID;
    ::CloseHandle(snapshot);
    return child;
}

bool OnThisConsole(DWORD processId) {
    DWORD ids[64];
    const DWORD count = ::GetConsoleProcessList(ids, 64);
    return std::find(ids, ids + std::min<DWORD>(count, 64), processId) != ids + std::min<DWORD>(count, 64);
}

// Regression: an editor started from a console (`vexal` typed there, or vexal.com double-clicked)
// ended at once, its unsaved entries lost, when that console was closed or took Ctrl+C or
// Ctrl+Break. It leaves the console as it opens, so no console event reaches it and only its
// own window ends it; the console companion ends with its console and the editor goes on.
TEST_F(WindowsTest, ConsoleCannotEndAnOpenEditor) {
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({Sample()}, "wall.bmp")));
    ASSERT_TRUE(EnsureConsole());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE console =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console, INVALID_HANDLE_VALUE);
    RunningProgram companion(dir.path(), "", false, true, console, 0, {}, CompanionPath());
    ::CloseHandle(console);
    ASSERT_TRUE(companion.started());
    DWORD editorId = 0;
    ASSERT_TRUE(WaitUntil([&] { return (editorId = ChildOf(companion.processId())) != 0; }));
    const HANDLE editorProcess = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, editorId);
    ASSERT_NE(editorProcess, nullptr);
    struct Search {
        DWORD id;
        HWND found = nullptr;
    } search{editorId};
    ASSERT_TRUE(WaitUntil([&] {
        ::EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(w, &owner);
                wchar_t cls[64] = {};
                ::GetClassNameW(w, cls, 64);
                if (owner == s->id && ::IsWindowVisible(w) && std::wstring(cls) == kWindowClass &&
                    ::GetDlgItem(w, Editor::kCbSelect))
                    s->found = w;
                return !s->found;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }));
    HWND editor = search.found;
    EXPECT_TRUE(WaitUntil([&] { return !OnThisConsole(editorId); })) << "the editor kept the console";
    // An entry changed and not yet saved.
    SelectEntry(editor, 1, "C:\\pics\\");
    SetTextOf(::GetDlgItem(editor, Editor::kTxUrl), "C:\\kept\\");
    SelectEntry(editor, 0, "");

    EXPECT_TRUE(PressCtrlC());
    // Closing the console kills what is still on it; the companion is ended the same way
    // (Wine can neither close a console nor send Ctrl+Break from a test).
    EXPECT_TRUE(companion.Wait(0).timedOut) << "the companion did not wait for the editor";
    EXPECT_EQ(::WaitForSingleObject(editorProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the editor ended";
    ASSERT_TRUE(::IsWindowVisible(editor));
    PostClick(editor, Editor::kCbEnd);
    EXPECT_EQ(::WaitForSingleObject(editorProcess, 60000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD status = 99;
    ::GetExitCodeProcess(editorProcess, &status);
    ::CloseHandle(editorProcess);
    EXPECT_EQ(status, 0u);
    EntryLines kept = Sample();
    kept.Url = "C:\\kept\\";
    EXPECT_EQ(ReadSettings(dir / "vexal.ini"), SettingsText({kept}, "wall.bmp"));
}

// Started again on one settings file (a shortcut clicked twice), the editor comes forward,
// restored, instead of a second window whose saving would drop what the first saved; an
// editor on another file opens beside it.
TEST_F(WindowsTest, SecondEditorOnOneFileBringsTheFirstForward) {
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({Sample()}, "wall.bmp")));
    WinTempDir otherDir;
    ASSERT_TRUE(WriteSettings(otherDir / "vexal.ini", SettingsText({Second()}, "wall.bmp")));
    RunningProgram first(dir.path(), "", false);
    HWND editor = first.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    RunningProgram other(otherDir.path(), "", false);
    ASSERT_NE(other.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect), nullptr);
    ::ShowWindow(editor, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(editor) != FALSE; }));

    // The same folder in other letters, as the file system ignores case.
    std::string folder = dir.path();
    for (char& c : folder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    RunningProgram second(folder, "", false);
    const Outcome ended = second.Wait();
    EXPECT_FALSE(ended.timedOut) << "the second editor opened a window of its own";
    EXPECT_EQ(ended.exitCode, 0u);
    EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(editor) && ::GetForegroundWindow() == editor; }))
        << "the first editor did not come forward";
    EXPECT_TRUE(::IsWindowVisible(editor));

    // A hard link of another name in another folder is the same file.
    WinTempDir linkDir;
    ASSERT_TRUE(::CreateHardLinkA((linkDir / "vexal.ini").c_str(), (dir / "vexal.ini").c_str(), nullptr));
    ::ShowWindow(editor, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(editor) != FALSE; }));
    RunningProgram linked(linkDir.path(), "", false);
    const Outcome linkEnded = linked.Wait();
    EXPECT_FALSE(linkEnded.timedOut) << "an editor on a hard link opened a window of its own";
    EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(editor) && ::GetForegroundWindow() == editor; }));
}

TEST_F(WindowsTest, LongAddressStaysEditableAndIsSavedWhole) {
    // Regression: an edit control took at most 30,000 characters from the keyboard, so a
    // longer address loaded from the file could not be edited at all.
    EntryLines e = Sample();
    e.Url = "http://example.invalid/" + std::string(40000, 'u') + ".html";
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({e}, "wall.bmp")));
    RunningProgram program(dir.path(), "", false);
    HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    SelectEntry(editor, 1, e.Url);
    HWND url = ::GetDlgItem(editor, Editor::kTxUrl);
    const WPARAM end = static_cast<WPARAM>(::SendMessageW(url, WM_GETTEXTLENGTH, 0, 0));
    ::SendMessageW(url, EM_SETSEL, end, static_cast<LPARAM>(end));
    ::SendMessageW(url, WM_CHAR, L'x', 0);  // typed at the end
    PostClick(editor, Editor::kCbEnd);
    EXPECT_EQ(program.Wait().exitCode, 0u);
    e.Url += "x";
    const std::string saved = ReadSettings(dir / "vexal.ini");
    // Compared whole, reported by length: a 40,000-character difference is no reading.
    EXPECT_TRUE(saved == SettingsText({e}, "wall.bmp")) << saved.size();
}

// The browse buttons open the system's dialog in the folder the address names (not the
// program's own folder, where it would start otherwise); a name typed there counts from it, and what is
// chosen fills the address as typing does (the subfolder rule follows it), a folder with its trailing
// separator.
TEST_F(WindowsTest, BrowseButtonsFillTheAddressFromTheAddresssFolder) {
    constexpr int kFileName = 1152;  // the dialog's file name box
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("写真").c_str(), nullptr));
    ASSERT_TRUE(files.WriteFile(dir / "写真\\b.png", Png(1, 1, {0xFFFF0000})));
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("写真\\夏").c_str(), nullptr));
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({}, "wall.bmp")));
    const struct {
        int button;
        std::string address, typed, chosen;
        bool subfolders;
    } rows[] = {
        {Editor::kCbBrowseFile, dir / "写真\\gone.png", "b.png", dir / "写真\\b.png", false},
        {Editor::kCbBrowseFolder, dir / "写真\\b.png", "夏", dir / "写真\\夏\\", true},
    };
    RunningProgram program(dir.path(), "", false);
    HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    HWND url = ::GetDlgItem(editor, Editor::kTxUrl);
    for (const auto& row : rows) {
        SetTextOf(url, row.address);
        PostClick(editor, row.button);
        HWND dialog = program.WaitForWindow(kDialogClass, L"", kFileName);
        ASSERT_NE(dialog, nullptr) << row.typed;
        SetTextOf(::GetDlgItem(dialog, kFileName), row.typed);
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(WaitUntil([&] { return TextOf(url) == row.chosen; })) << TextOf(url);
        EXPECT_EQ(::IsWindowEnabled(::GetDlgItem(editor, Editor::kCkFilter0 + 5)) != FALSE, row.subfolders)
            << row.typed;
    }
    ::PostMessageW(editor, WM_CLOSE, 0, 0);
    program.Wait();
}

// A comment of 200 kB (in code page 932) in long lines, as pasted from a page: words in both scripts.
std::string LongComment() {
    std::string line;
    while (line.size() < 2000) line += "休日の写真 holiday pictures ";
    std::string comment;
    for (int i = 0; i < 120; ++i) comment += (i ? "\\n" : "") + line;
    return comment;
}

// Regression: choosing an entry with a 200 kB comment kept the window busy for seconds
// under Wine. The choice completes with the comment whole, the window answers, and the
// comment is saved as it was.
TEST_F(WindowsTest, LongCommentIsShownWholeAndSavedAsItWas) {
    EntryLines e = Sample();
    e.Comment = LongComment();
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({e}, "wall.bmp")));
    RunningProgram program(dir.path(), "", false);
    HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    SelectEntry(editor, 1, e.Url);
    std::string shown = e.Comment;
    for (std::size_t at = 0; (at = shown.find("\\n", at)) != std::string::npos; at += 2)
        shown.replace(at, 2, "\r\n");
    EXPECT_TRUE(TextOf(::GetDlgItem(editor, Editor::kTxComment)) == shown);
    DWORD_PTR ignored = 0;
    EXPECT_NE(::SendMessageTimeoutW(editor, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 20000, &ignored), 0);
    PostClick(editor, Editor::kCbEnd);
    EXPECT_EQ(program.Wait().exitCode, 0u);
    EXPECT_TRUE(ReadSettings(dir / "vexal.ini") == SettingsText({e}, "wall.bmp"));
}

// The screen's DPI for programs started while it lives, as the display settings set it
// (HKCU\Control Panel\Desktop LogPixels); the value before comes back after.
class ScreenDpi {
public:
    explicit ScreenDpi(DWORD dpi) {
        DWORD bytes = sizeof old_;
        had_ = ::RegGetValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &old_,
                              &bytes) == ERROR_SUCCESS;
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
    ~ScreenDpi() {
        if (had_)
            ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &old_, sizeof old_);
        else
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels");
    }
    ScreenDpi(const ScreenDpi&) = delete;
    ScreenDpi& operator=(const ScreenDpi&) = delete;

private:
    static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
    DWORD old_ = 0;
    bool had_ = false;
};

// Regression: at 150 % the comment box's bottom edge was cut off. At each DPI every control
// lies inside the editor's client area, and the address box ends before the browse buttons.
// Regression: a long last-run line was cut with an ellipsis; it wraps, and the window grows
// to hold all of its lines.
TEST_F(WindowsTest, EditorControlsFitAtEveryDpi) {
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({Sample()}, "wall.bmp")));
    ::CreateDirectoryW(win32::Widen(UserFolder()).c_str(), nullptr);
    std::string reason = "画像ファイル C:\\";
    for (int i = 0; i < 12; ++i) reason += "とても長いフォルダーの名前" + std::to_string(i) + "\\";
    reason += "picture.png の読み出しに失敗しました。";
    ASSERT_TRUE(
        files.WriteFile(UserFolder() + "\\last-run-sample", "2026-12-08 10:00:00\n1\n" + reason + "\n"));
    std::string tooSmall;
    for (DWORD dpi : {96u, 144u, 192u}) {
        // A window taller than the screen is cut to it, as no user would have it: 200 % goes
        // with a screen twice as large (scripts/test-windows gives one).
        if (::GetSystemMetrics(SM_CYSCREEN) < ::MulDiv(7530 + 600, static_cast<int>(dpi), 1440)) {
            tooSmall += " " + std::to_string(dpi);
            continue;
        }
        ScreenDpi screen(dpi);
        RunningProgram program(dir.path(), "", false);
        HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
        ASSERT_NE(editor, nullptr) << dpi;
        RECT client;
        ::GetClientRect(editor, &client);
        // The client area is laid out in twips: 7800 wide.
        EXPECT_EQ(client.right, ::MulDiv(7800, static_cast<int>(dpi), 1440)) << dpi << " dpi not taken";
        auto rectOf = [&](HWND control) {
            RECT r;
            ::GetWindowRect(control, &r);
            ::MapWindowPoints(nullptr, editor, reinterpret_cast<POINT*>(&r), 2);
            return r;
        };
        for (HWND c = ::GetWindow(editor, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            const RECT r = rectOf(c);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
                << "control " << ::GetDlgCtrlID(c) << " at " << dpi << " dpi: " << r.left << "," << r.top
                << " - " << r.right << "," << r.bottom;
        }
        const RECT url = rectOf(::GetDlgItem(editor, Editor::kTxUrl));
        const RECT file = rectOf(::GetDlgItem(editor, Editor::kCbBrowseFile));
        const RECT folder = rectOf(::GetDlgItem(editor, Editor::kCbBrowseFolder));
        const RECT frame = rectOf(::GetDlgItem(editor, Editor::kFrame1));
        EXPECT_TRUE(url.right <= file.left && file.right <= folder.left && folder.right <= frame.right)
            << dpi;

        SelectEntry(editor, 1, Sample().Url);
        HWND lastRun = ::GetDlgItem(editor, Editor::kLbLastRun);
        ASSERT_TRUE(WaitUntil([&] { return WindowTextOf(lastRun).find(reason) != std::string::npos; }));
        // Three lines at least, each at least as tall as the line's own place, all inside.
        EXPECT_TRUE(WaitUntil([&] {
            const RECT r = rectOf(lastRun);
            ::GetClientRect(editor, &client);
            return r.bottom - r.top >= 3 * ::MulDiv(240, static_cast<int>(dpi), 1440) &&
                   r.bottom <= client.bottom;
        })) << dpi
            << " dpi: the line is " << rectOf(lastRun).bottom - rectOf(lastRun).top << " high";
        ::PostMessageW(editor, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.Wait().exitCode, 0u) << dpi;
    }
    if (!tooSmall.empty()) GTEST_SKIP() << "the screen is too small for" << tooSmall << " dpi";
}

TEST_F(WindowsTest, ChoosingTheSelectedItemAgainRunsTheSelection) {
    // Regression: only a changed selection reached the editor, so choosing the item that
    // was already selected did nothing.
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({Sample()}, "wall.bmp")));
    RunningProgram program(dir.path(), "", false);
    HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    HWND url = ::GetDlgItem(editor, Editor::kTxUrl);
    HWND list = ::GetDlgItem(editor, Editor::kCbSelect);
    // Chooses the selected item as a user does from the keyboard: open the list, press Enter.
    auto chooseSelected = [&] {
        ::SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
        ::SendMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    };
    SetTextOf(url, "typed");
    chooseSelected();
    EXPECT_TRUE(WaitUntil([&] { return TextOf(url).empty(); }))
        << "the new-entry item starts from the defaults again";

    SelectEntry(editor, 1, "C:\\pics\\");
    HWND number = ::GetDlgItem(editor, Editor::kTxNo);
    SetTextOf(number, "7.5");
    chooseSelected();
    EXPECT_TRUE(WaitUntil([&] { return TextOf(number) == "8"; })) << "the entry took the edit and shows it";
    ::PostMessageW(editor, WM_CLOSE, 0, 0);
    program.Wait();
}

TEST_F(WindowsTest, VersionWithoutAnOutputComesUpInAPlainBox) {
    // Started from the desktop or a console, standard output leads nowhere.
    RunningProgram program(dir.path(), "--version", false);
    HWND box = program.WaitForWindow(kDialogClass, L"vexal");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(Contains(ControlTexts(box), "vexal 1.00"));
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const Outcome end = program.Wait();
    EXPECT_FALSE(end.timedOut);
    EXPECT_EQ(end.exitCode, 0u);
}

TEST_F(WindowsTest, PreviewInstallsOnItsButtonAndGivesUpOtherwise) {
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({}, "vexal-windows-test.bmp")));
    ASSERT_TRUE(
        files.WriteFile(dir / "pic.png", Png(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF})));
    // The Windows folder, or the user's own folder when this user may not write there.
    const std::string installed = WallpaperFolder() + "\\vexal-windows-test.bmp";
    enum class Way { SetWallpaper, CloseBox, Escape };
    for (Way way : {Way::CloseBox, Way::Escape, Way::SetWallpaper}) {
        const int n = static_cast<int>(way);
        SetDesktopValue(L"Wallpaper", "untouched");
        RunningProgram program(dir.path(), "-wp pic.png -preview", false);
        HWND preview = program.WaitForWindow(kWindowClass, L"vexal 1.00", Preview::kCbSetWP);
        ASSERT_NE(preview, nullptr) << n;
        ASSERT_TRUE(
            WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(preview, Preview::kCbSetWP)) != FALSE; }));
        switch (way) {
            case Way::SetWallpaper:
                PostClick(preview, Preview::kCbSetWP);
                break;
            case Way::CloseBox:
                ::PostMessageW(preview, WM_CLOSE, 0, 0);
                break;
            case Way::Escape:
                // Escape presses the window's cancel button, through the dialog keys.
                ::PostMessageW(::GetDlgItem(preview, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
                break;
        }
        const Outcome end = program.Wait();
        const bool installs = way == Way::SetWallpaper;
        EXPECT_EQ(end.exitCode, installs ? 0u : 1u) << n;
        EXPECT_EQ(DesktopValue(L"Wallpaper"), installs ? installed : "untouched") << n;
        // Every way out deletes the working copy.
        EXPECT_FALSE(FileExists(dir / "wpcache.png")) << n;
        EXPECT_FALSE(FileExists(dir / "wpcache.bmp")) << n;
    }
}

TEST_F(WindowsTest, SpinArrowsStepTheNumberWithinItsBounds) {
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({}, "wall.bmp")));
    RunningProgram program(dir.path(), "", false);
    HWND editor = program.WaitForWindow(kWindowClass, L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    HWND number = ::GetDlgItem(editor, Editor::kTxNo);
    HWND spin = ::GetDlgItem(editor, Editor::kScNo);
    RECT r;
    ::GetClientRect(spin, &r);
    // A press and release on the upper or the lower arrow, sent rather than posted: the
    // step and the presenter's handling of it are over when the calls return, so a step
    // that changes nothing cannot be overtaken by the next row's text.
    auto press = [&](bool up) {
        const LPARAM at = MAKELPARAM(r.right / 2, up ? r.bottom / 4 : r.bottom * 3 / 4);
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(spin, WM_LBUTTONDOWN, MK_LBUTTON, at, SMTO_ABORTIFHUNG, 5000, &ignored);
        ::SendMessageTimeoutW(spin, WM_LBUTTONUP, 0, at, SMTO_ABORTIFHUNG, 5000, &ignored);
    };
    EXPECT_EQ(TextOf(number), "1");
    const struct {
        const char* start;
        bool up;
        const char* after;
    } rows[] = {
        {"1", true, "2"}, {"2", false, "1"}, {"0", false, "0"}, {"9999", true, "9999"}, {"abc", true, "1"},
    };
    for (const auto& row : rows) {
        SetTextOf(number, row.start);
        press(row.up);
        EXPECT_EQ(TextOf(number), row.after) << row.start << (row.up ? " up" : " down");
    }
    ::PostMessageW(editor, WM_CLOSE, 0, 0);
    program.Wait();
}

// A stalled fetch ends by the progress window's cancel button (with the cancel message)
// or by the end of the session, which the window hears of (silently): status 1 either way,
// nothing left of the working file, the wallpaper as it was.
TEST_F(WindowsTest, ProgressWindowCancelOrTheSessionsEndStopsAStalledFetch) {
    HttpServer server;
    server.Hold("/slow.html");
    EntryLines e;
    e.Name = "slow";
    e.Url = server.Url("/slow.html");
    e.Filter = "010000";
    e.Ext = "0010";
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({e}, "wall.bmp")));
    enum class Way { Cancel, SessionEnd };
    for (Way way : {Way::Cancel, Way::SessionEnd}) {
        const char* name = way == Way::Cancel ? "cancel" : "session end";
        const std::size_t asked = server.Paths().size();
        RunningProgram program(dir.path(), "slow", false);
        HWND progress = program.WaitForWindow(kWindowClass, L"vexal 1.00", IDCANCEL);
        ASSERT_NE(progress, nullptr) << name;
        ASSERT_TRUE(WaitUntil([&] { return server.Paths().size() > asked; })) << name;
        EXPECT_TRUE(Contains(ControlTexts(progress), "元URL " + e.Url + " を取得しています...")) << name;
        if (way == Way::Cancel) {
            PostClick(progress, IDCANCEL);
            ExpectError(program, "ユーザーによってキャンセルされました。");
        } else {
            EXPECT_EQ(EndSession(program.processId(), progress), 1) << "the session's end is never refused";
        }
        const Outcome end = program.Wait(20000);
        EXPECT_FALSE(end.timedOut) << name;
        EXPECT_EQ(end.exitCode, 1u) << name;
        EXPECT_EQ(DesktopValue(L"Wallpaper"), "untouched") << name;
        EXPECT_FALSE(FileExists(dir / "wpcache.html")) << name;
    }
}

// Another run holds the lock in the user's own folder (every run of one user shares it,
// wherever the bitmap goes): the progress window says that this one waits, and its cancel
// button gives up there.
TEST_F(WindowsTest, ProgressWindowShowsTheWaitForAnotherRunAndCancelsIt) {
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({}, "vexal-windows-test.bmp")));
    ASSERT_TRUE(files.WriteFile(dir / "pic.png", Png(2, 1, {0xFFFF0000, 0xFF00FF00})));
    const std::string installed = WallpaperFolder() + "\\vexal-windows-test.bmp";
    const std::string before = ReadWholeFile(installed);
    ::CreateDirectoryW(win32::Widen(UserFolder()).c_str(), nullptr);
    HANDLE other = ::CreateFileW(
        win32::Widen(UserFolder() + "\\.vexal-lock").c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    OVERLAPPED at{};
    ASSERT_TRUE(::LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));

    RunningProgram program(dir.path(), "-wp pic.png", false);
    HWND progress = program.WaitForWindow(kWindowClass, L"vexal 1.00", IDCANCEL);
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(WaitUntil([&] {
        return Contains(ControlTexts(progress), "他のvexalの処理が終わるのを待っています...");
    })) << "the progress window never said it was waiting";
    PostClick(progress, IDCANCEL);
    ExpectError(program, "ユーザーによってキャンセルされました。");
    const Outcome end = program.Wait(20000);
    ::UnlockFileEx(other, 0, 1, 0, &at);
    ::CloseHandle(other);
    EXPECT_FALSE(end.timedOut);
    EXPECT_EQ(end.exitCode, 1u);
    EXPECT_EQ(DesktopValue(L"Wallpaper"), "untouched");
    EXPECT_EQ(ReadWholeFile(installed), before);
    EXPECT_FALSE(FileExists(dir / "wpcache.png"));
}

}  // namespace
}  // namespace vexal::testing
