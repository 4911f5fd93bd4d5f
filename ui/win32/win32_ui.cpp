// Window plumbing shared by the three windows. The program is per-monitor DPI aware (its
// manifest says so): sizes are twips converted at the DPI of the window's monitor, and a
// window that moves to a monitor of another DPI lays itself out again.
#include "ui/win32/win32_ui.h"

#include <cmath>
#include <cstdint>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_run_guard.h"

namespace vexal::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VexalWindow";

// Functions of newer Windows versions, looked up at run time so the program still starts
// where they are missing.
template <typename F>
F User32(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

UINT SystemDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(const wchar_t* family) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(query.lfFaceName, family, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &query, FontFound, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}

void RegisterClassOnce(WNDPROC proc) {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);
    registered = true;
}

}  // namespace

UINT WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow && hwnd) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi) return dpi;
    }
    return SystemDpi();
}

int TwipsToPixels(double twips, UINT dpi) {
    return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

double PixelsToTwips(int pixels, UINT dpi) { return dpi ? pixels * kTwipsPerInch / dpi : 0; }

RECT TwipsToPixels(const TwipRect& rect, UINT dpi) {
    RECT r;
    r.left = TwipsToPixels(rect.Left, dpi);
    r.top = TwipsToPixels(rect.Top, dpi);
    r.right = TwipsToPixels(static_cast<double>(rect.Left) + rect.Width, dpi);
    r.bottom = TwipsToPixels(static_cast<double>(rect.Top) + rect.Height, dpi);
    return r;
}

SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi) {
    RECT r{0, 0, clientWidth, clientHeight};
    using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32<AdjustFn>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(&r, style, FALSE, exStyle, dpi))
        ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

HFONT CreateUiFont(UINT dpi) {
    // Meiryo UI is the Japanese interface font of current Windows; the others stand in on
    // older systems and under Wine, where the system font may lack Japanese glyphs.
    static const wchar_t* const kFamilies[] = {L"Meiryo UI", L"Yu Gothic UI", L"MS UI Gothic",
                                               L"Noto Sans CJK JP"};
    LOGFONTW font{};
    for (const wchar_t* family : kFamilies) {
        if (FontInstalled(family)) {
            wcsncpy(font.lfFaceName, family, LF_FACESIZE - 1);
            font.lfHeight = -::MulDiv(9, static_cast<int>(dpi), 72);
            font.lfWeight = FW_NORMAL;
            font.lfCharSet = DEFAULT_CHARSET;
            font.lfQuality = CLEARTYPE_QUALITY;
            return ::CreateFontIndirectW(&font);
        }
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    font = metrics.lfMessageFont;
    // The message font is given at the system's DPI.
    font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return ::CreateFontIndirectW(&font);
}

HFONT CreateFixedPitchFont(UINT dpi) {
    // MS Gothic ships with every Japanese-capable Windows. The Noto face comes first where it
    // is installed (under Wine), since there a face named MS Gothic can be a stand-in whose
    // Japanese is drawn from another font, wider or narrower than two ASCII characters.
    static const wchar_t* const kFamilies[] = {L"Noto Sans Mono CJK JP", L"MS Gothic"};
    LOGFONTW font{};
    // An even number of pixels to the em: a full-width character then takes exactly the
    // pixels of two ASCII ones, where an odd one rounds them apart (13 against 2 × 7).
    font.lfHeight = -((::MulDiv(10, static_cast<int>(dpi), 72) + 1) & ~1);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    font.lfQuality = CLEARTYPE_QUALITY;
    for (const wchar_t* family : kFamilies) {
        if (FontInstalled(family)) {
            wcsncpy(font.lfFaceName, family, LF_FACESIZE - 1);
            break;
        }
    }
    // With no face named, the pitch and character set choose one.
    return ::CreateFontIndirectW(&font);
}

void CentreOnMonitor(HWND hwnd) {
    RECT window;
    ::GetWindowRect(hwnd, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
    const RECT& work = monitor.rcWork;
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int x = work.left + ((work.right - work.left) - width) / 2;
    const int y = work.top + ((work.bottom - work.top) - height) / 2;
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetFontOfChildren(HWND parent, HFONT font) {
    ::EnumChildWindows(
        parent,
        [](HWND child, LPARAM f) -> BOOL {
            ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(f), TRUE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(font));
}

Window::~Window() {
    if (hwnd_) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
    if (font_) ::DeleteObject(font_);
}

bool Window::CreateTopLevel(DWORD exStyle, DWORD style, double clientWidthTwips, double clientHeightTwips) {
    RegisterClassOnce(&Window::Proc);
    hwnd_ = ::CreateWindowExW(exStyle, kClassName, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                              nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!hwnd_) return false;
    dpi_ = WindowDpi(hwnd_);
    font_ = CreateUiFont(dpi_);
    const SIZE outer = OuterSize(TwipsToPixels(clientWidthTwips, dpi_),
                                 TwipsToPixels(clientHeightTwips, dpi_), style, exStyle, dpi_);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

HWND Window::AddControl(const wchar_t* className, const std::string& text, DWORD style, int id,
                        DWORD exStyle) {
    HWND control = ::CreateWindowExW(exStyle, className, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                     0, 0, 10, 10, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
}

void Window::Place(HWND control, const TwipRect& rect) const {
    const RECT r = TwipsToPixels(rect, dpi_);
    ::MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void Window::SetTitle(const std::string& text) { ::SetWindowTextW(hwnd_, Widen(text).c_str()); }

void Window::OnDpiChanged(UINT dpi, const RECT* suggested) {
    dpi_ = dpi;
    HFONT old = font_;
    font_ = CreateUiFont(dpi_);
    SetFontOfChildren(hwnd_, font_);
    if (old) ::DeleteObject(old);
    if (suggested)
        ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
        if (message == WM_DPICHANGED) {
            self->OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        }
        // The session's end ends the run from whichever window hears of it first.
        std::intptr_t ended = 0;
        if (Win32RunGuard::HandleSessionMessage(message, wParam, ended)) return ended;
        LRESULT result = 0;
        if (self->hwnd_ == hwnd && self->HandleMessage(message, wParam, lParam, result)) return result;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateToolTips(HWND owner) {
    return ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

void AddToolTip(HWND tooltips, HWND control, const std::string& text) {
    std::wstring wide = Widen(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data();
    ::SendMessageW(tooltips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // Long tips wrap instead of running off the screen.
    ::SendMessageW(tooltips, TTM_SETMAXTIPWIDTH, 0, 480);
}

void SetToolTip(HWND tooltips, HWND control, const std::string& text) {
    std::wstring wide = Widen(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = ::GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data();
    ::SendMessageW(tooltips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace vexal::win32
