// The boxes are modal to the program's active window (or to the whole program when none is
// active), so no other window of it can be used while one is open. The input box is a
// dialog built in memory: the program carries no dialog resources.
#include "ui/win32/win32_dialogs.h"

#include <vector>

#include "platform/win32/utf16.h"
#include "ui/win32/win32_ui.h"

namespace vexal {
namespace {

int Box(const std::string& title, const std::string& text, UINT type) {
    HWND owner = ::GetActiveWindow();
    if (!owner) type |= MB_TASKMODAL;
    return ::MessageBoxW(owner, win32::Widen(text).c_str(), win32::Widen(title).c_str(),
                         type | MB_SETFOREGROUND);
}

// Writes a dialog template: WORD-sized pieces, DWORD-aligned items.
class DialogTemplate {
public:
    void Align() {
        while ((words_.size() * sizeof(WORD)) % sizeof(DWORD)) words_.push_back(0);
    }
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void String(const wchar_t* s) {
        for (; *s; ++s) Word(static_cast<WORD>(*s));
        Word(0);
    }
    void Header(DWORD style, WORD items, short cx, short cy, const std::wstring& title) {
        Dword(style);
        Dword(0);
        Word(items);
        Word(0);
        Word(0);
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(0);  // no menu
        Word(0);  // the standard dialog class
        String(title.c_str());
        Word(9);  // DS_SETFONT: point size, face
        String(L"MS Shell Dlg");
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              const std::wstring& text) {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(id);
        Word(0xFFFF);
        Word(atom);
        String(text.c_str());
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    std::vector<WORD> words_;
};

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;
constexpr WORD kPromptId = 100, kAnswerId = 101;

struct InputState {
    std::wstring answer;
    HFONT font = nullptr;
};

INT_PTR CALLBACK InputProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<InputState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            state = reinterpret_cast<InputState*>(lParam);
            // The dialog font may lack Japanese glyphs (under Wine it does); the prompt is
            // shown in the interface font of the other windows.
            state->font = win32::CreateUiFont(win32::WindowDpi(dialog));
            win32::SetFontOfChildren(dialog, state->font);
            ::SetFocus(::GetDlgItem(dialog, kAnswerId));
            return FALSE;  // the focus was set here
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                HWND edit = ::GetDlgItem(dialog, kAnswerId);
                std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
                text.resize(static_cast<std::size_t>(
                    ::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
                state->answer = text;
                ::EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                ::EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            if (state && state->font) ::DeleteObject(state->font);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void Win32Dialogs::Error(const std::string& title, const std::string& text) {
    Box(title, text, MB_OK | MB_ICONERROR);
}

void Win32Dialogs::Notice(const std::string& title, const std::string& text) { Box(title, text, MB_OK); }

bool Win32Dialogs::AskRetry(const std::string& title, const std::string& text) {
    return Box(title, text, MB_RETRYCANCEL) == IDRETRY;
}

bool Win32Dialogs::AskYesNo(const std::string& title, const std::string& text) {
    return Box(title, text, MB_YESNO | MB_DEFBUTTON1) == IDYES;
}

bool Win32Dialogs::AskYesNoDefaultNo(const std::string& title, const std::string& text) {
    return Box(title, text, MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

Answer Win32Dialogs::AskYesNoCancel(const std::string& title, const std::string& text) {
    switch (Box(title, text, MB_YESNOCANCEL | MB_DEFBUTTON1)) {
        case IDYES:
            return Answer::Yes;
        case IDNO:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

std::string Win32Dialogs::AskText(const std::string& title, const std::string& prompt) {
    // Sizes in dialog units, which follow the dialog font and the DPI.
    DialogTemplate t;
    t.Header(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 4, 240, 76,
             win32::Widen(title));
    t.Item(SS_LEFT | SS_NOPREFIX, 7, 7, 226, 24, kPromptId, kStatic, win32::Widen(prompt));
    t.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 34, 226, 14, kAnswerId, kEdit, L"");
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 126, 55, 50, 14, IDOK, kButton, L"OK");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 183, 55, 50, 14, IDCANCEL, kButton, L"キャンセル");
    InputState state;
    const INT_PTR result =
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.get(), ::GetActiveWindow(), InputProc,
                                  reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return {};
    return win32::Narrow(state.answer);
}

}  // namespace vexal
