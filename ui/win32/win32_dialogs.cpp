// The boxes are modal to the program's active window (or to the whole program when none is
// active), so no other window of it can be used while one is open. The input box is a
// dialog built in memory: the program carries no dialog resources.
#include "ui/win32/win32_dialogs.h"

#include <algorithm>
#include <vector>

#include "platform/win32/utf16.h"
#include "ui/dialog_texts.h"
#include "ui/win32/win32_ui.h"
// clang-format off
#include <commdlg.h>
// clang-format on

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

constexpr WORD kTextId = 102;

struct TextState {
    std::wstring text;
    HFONT textFont = nullptr;
    HFONT buttonFont = nullptr;
};

// Sizes the box to its text, measured in the fixed-pitch font at the box's DPI: a line
// break the box made itself would tear the columns apart.
void LayOutTextBox(HWND dialog, const TextState& state) {
    const UINT dpi = win32::WindowDpi(dialog);
    const auto px = [dpi](int at96) { return ::MulDiv(at96, static_cast<int>(dpi), 96); };
    HWND edit = ::GetDlgItem(dialog, kTextId);
    HWND ok = ::GetDlgItem(dialog, IDOK);

    HDC dc = ::GetDC(edit);
    HGDIOBJ previous = ::SelectObject(dc, state.textFont);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    int widest = 0, lines = 0;
    std::size_t start = 0;
    while (start <= state.text.size()) {
        std::size_t end = state.text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = state.text.size();
        SIZE size{};
        ::GetTextExtentPoint32W(dc, state.text.data() + start, static_cast<int>(end - start), &size);
        if (size.cx > widest) widest = size.cx;
        ++lines;
        start = end + 2;
    }
    ::SelectObject(dc, previous);
    ::ReleaseDC(edit, dc);

    const LRESULT margins = ::SendMessageW(edit, EM_GETMARGINS, 0, 0);
    const int textWidth = widest + LOWORD(margins) + HIWORD(margins) + px(4);
    const int textHeight = lines * metrics.tmHeight + px(4);
    const int pad = px(12), buttonWidth = px(88), buttonHeight = px(26);
    int clientWidth = std::max(textWidth, buttonWidth) + 2 * pad;
    int clientHeight = pad + textHeight + pad + buttonHeight + pad;

    // Never larger than the screen's work area; the text scrolls with the keys then.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    SIZE outer = win32::OuterSize(clientWidth, clientHeight, style, exStyle, dpi);
    if (::GetMonitorInfoW(::MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        const int workWidth = monitor.rcWork.right - monitor.rcWork.left;
        const int workHeight = monitor.rcWork.bottom - monitor.rcWork.top;
        if (outer.cx > workWidth) clientWidth -= outer.cx - workWidth;
        if (outer.cy > workHeight) clientHeight -= outer.cy - workHeight;
        outer = win32::OuterSize(clientWidth, clientHeight, style, exStyle, dpi);
    }
    ::SetWindowPos(dialog, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::MoveWindow(edit, pad, pad, clientWidth - 2 * pad, clientHeight - 3 * pad - buttonHeight, FALSE);
    ::MoveWindow(ok, clientWidth - pad - buttonWidth, clientHeight - pad - buttonHeight, buttonWidth,
                 buttonHeight, FALSE);
    win32::CentreOnMonitor(dialog);
}

INT_PTR CALLBACK TextProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<TextState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            state = reinterpret_cast<TextState*>(lParam);
            const UINT dpi = win32::WindowDpi(dialog);
            state->textFont = win32::CreateFixedPitchFont(dpi);
            state->buttonFont = win32::CreateUiFont(dpi);
            ::SendMessageW(::GetDlgItem(dialog, kTextId), WM_SETFONT,
                           reinterpret_cast<WPARAM>(state->textFont), FALSE);
            ::SendMessageW(::GetDlgItem(dialog, IDOK), WM_SETFONT,
                           reinterpret_cast<WPARAM>(state->buttonFont), FALSE);
            ::SetDlgItemTextW(dialog, kTextId, state->text.c_str());
            LayOutTextBox(dialog, *state);
            // Typed in a console or started from a shortcut, the box is what the user waits for.
            ::SetForegroundWindow(dialog);
            // On the button, so Enter closes the box and the text is not all selected.
            ::SetFocus(::GetDlgItem(dialog, IDOK));
            return FALSE;
        }
        case WM_CTLCOLORSTATIC:
            // The read-only text on the box's own face, as a message box shows its text.
            ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                ::EndDialog(dialog, IDOK);
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            if (state && state->textFont) ::DeleteObject(state->textFont);
            if (state && state->buttonFont) ::DeleteObject(state->buttonFont);
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
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 183, 55, 50, 14, IDCANCEL, kButton,
           win32::Widen(ButtonCaptionsIn(language_).cancel));
    InputState state;
    const INT_PTR result =
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.get(), ::GetActiveWindow(), InputProc,
                                  reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return {};
    return win32::Narrow(state.answer);
}

std::optional<std::uint32_t> Win32Dialogs::AskColour(const std::string& /*title*/, std::uint32_t initial) {
    // The system's box has a title of its own; the custom colours last as long as the run.
    static COLORREF custom[16] = {};
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = ::GetActiveWindow();
    choose.rgbResult = RGB((initial >> 16) & 255, (initial >> 8) & 255, initial & 255);
    choose.lpCustColors = custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!::ChooseColorW(&choose)) return std::nullopt;
    const COLORREF c = choose.rgbResult;
    return static_cast<std::uint32_t>(GetRValue(c)) << 16 | static_cast<std::uint32_t>(GetGValue(c)) << 8 |
           GetBValue(c);
}

}  // namespace vexal

namespace vexal {

void Win32Dialogs::ShowText(const std::string& title, const std::string& text) {
    // An edit control wants CR LF between lines.
    std::wstring lines;
    for (wchar_t c : win32::Widen(text)) {
        if (c == L'\n' && (lines.empty() || lines.back() != L'\r')) lines.push_back(L'\r');
        lines.push_back(c);
    }
    // The real sizes are set once the text has been measured.
    DialogTemplate t;
    t.Header(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 2, 200, 100,
             win32::Widen(title));
    t.Item(ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL, 0, 0, 10, 10, kTextId, kEdit, L"");
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 0, 10, 10, IDOK, kButton, L"OK");
    TextState state;
    state.text = lines;
    HWND owner = ::GetActiveWindow();
    ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.get(), owner, TextProc,
                              reinterpret_cast<LPARAM>(&state));
}

}  // namespace vexal
