// The preview window. The presenter works in twips of the window's outer size; the window
// converts at its monitor's DPI both ways, so the layout rules hold at any scaling.
#include "ui/win32/preview_window.h"

#include <algorithm>
#include <memory>

#include "platform/win32/utf16.h"

namespace vexal {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
constexpr wchar_t kPictureClass[] = L"VexalPictureBox";

// What a picture box shows: the decoder's pixels when they are opaque (no copy), or an
// opaque copy of them on black.
struct Shown {
    Picture picture;
    std::vector<std::uint32_t> opaque;
    const std::uint32_t* pixels = nullptr;
    LONG stride = 0;                        // in pixels
    std::optional<std::uint32_t> backdrop;  // around the picture; none: the window's background
};

Shown* ShownOf(HWND box) { return reinterpret_cast<Shown*>(::GetWindowLongPtrW(box, GWLP_USERDATA)); }

LRESULT CALLBACK PictureProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // everything is painted in WM_PAINT, without flicker
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(box, &ps);
            RECT client;
            ::GetClientRect(box, &client);
            const Shown* shown = ShownOf(box);
            if (shown && shown->pixels) {
                BITMAPINFO info{};
                info.bmiHeader.biSize = sizeof info.bmiHeader;
                info.bmiHeader.biWidth = shown->stride;
                info.bmiHeader.biHeight = -shown->picture.height;  // rows top to bottom
                info.bmiHeader.biPlanes = 1;
                info.bmiHeader.biBitCount = 32;
                info.bmiHeader.biCompression = BI_RGB;
                // The picture keeps its shape: as large as the box allows, centred, with the
                // window's background painted around it (and only there, without flicker).
                const PixelRect fitted =
                    FitInside(shown->picture.width, shown->picture.height, std::max<LONG>(client.right, 1),
                              std::max<LONG>(client.bottom, 1));
                const int saved = ::SaveDC(dc);
                ::ExcludeClipRect(dc, fitted.x, fitted.y, fitted.x + fitted.width, fitted.y + fitted.height);
                if (shown->backdrop) {
                    const std::uint32_t c = *shown->backdrop;
                    HBRUSH brush = ::CreateSolidBrush(RGB((c >> 16) & 255, (c >> 8) & 255, c & 255));
                    ::FillRect(dc, &client, brush);
                    ::DeleteObject(brush);
                } else {
                    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
                }
                ::RestoreDC(dc, saved);
                ::SetStretchBltMode(dc, HALFTONE);
                ::SetBrushOrgEx(dc, 0, 0, nullptr);
                ::StretchDIBits(dc, fitted.x, fitted.y, fitted.width, fitted.height, 0, 0,
                                shown->picture.width, shown->picture.height, shown->pixels, &info,
                                DIB_RGB_COLORS, SRCCOPY);
            } else {
                ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
            }
            ::EndPaint(box, &ps);
            return 0;
        }
        case WM_SIZE:
            ::InvalidateRect(box, nullptr, FALSE);
            return 0;
        case WM_NCDESTROY:
            delete ShownOf(box);
            ::SetWindowLongPtrW(box, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return ::DefWindowProcW(box, message, wParam, lParam);
}

}  // namespace

HWND Win32PictureBox::Create(HWND parent, int id) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = PictureProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kPictureClass;
        ::RegisterClassExW(&wc);
        registered = true;
    }
    return ::CreateWindowExW(0, kPictureClass, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPSIBLINGS, 0, 0,
                             10, 10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr);
}

void Win32PictureBox::SetPicture(HWND box, const Picture& picture) {
    if (picture.Empty()) {
        ClearPicture(box);
        return;
    }
    auto shown = std::make_unique<Shown>();
    shown->picture = picture;  // shares the decoder's pixels
    if (picture.hasAlpha) {
        shown->opaque.reserve(static_cast<std::size_t>(picture.width) * picture.height);
        for (std::int32_t y = 0; y < picture.height; ++y)
            for (std::int32_t x = 0; x < picture.width; ++x)
                shown->opaque.push_back(OverBlack(picture.Row(y)[x]));
        shown->pixels = shown->opaque.data();
        shown->stride = picture.width;
    } else {
        shown->pixels = picture.pixels;
        shown->stride = static_cast<LONG>(picture.stride);
    }
    delete ShownOf(box);
    ::SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(shown.release()));
    ::InvalidateRect(box, nullptr, FALSE);
}

void Win32PictureBox::SetBackdrop(HWND box, std::optional<std::uint32_t> colour) {
    if (Shown* shown = ShownOf(box)) shown->backdrop = colour;
    ::InvalidateRect(box, nullptr, FALSE);
}

void Win32PictureBox::ClearPicture(HWND box) {
    delete ShownOf(box);
    ::SetWindowLongPtrW(box, GWLP_USERDATA, 0);
    ::InvalidateRect(box, nullptr, FALSE);
}

bool Win32PictureBox::HasPicture(HWND box) { return ShownOf(box) != nullptr; }

Win32PreviewWindow::Win32PreviewWindow(Language language) {
    const PreviewCaptions captions = PreviewCaptionsIn(language);
    CreateTopLevel(kExStyle, kStyle, kPreviewClientWidth, kPreviewClientHeight);
    imGrp_ = Win32PictureBox::Create(hwnd(), kImGrp);
    // Creation order is tab order.
    cbSetWP_ = AddControl(WC_BUTTONW, captions.setWP, BS_PUSHBUTTON | WS_TABSTOP, kCbSetWP);
    cbCancel_ = AddControl(WC_BUTTONW, captions.cancel, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL);
    cbRetry_ = AddControl(WC_BUTTONW, captions.retry, BS_PUSHBUTTON | WS_TABSTOP, kCbRetry);
    ::EnableWindow(cbSetWP_, FALSE);
    // Until the first layout, the controls stand where they belong at the opening size.
    places_[static_cast<int>(PreviewControl::imGrp)] = {105, 75, 4800, 3600};
    places_[static_cast<int>(PreviewControl::cbSetWP)] = {420, 3765, 945, 495};
    places_[static_cast<int>(PreviewControl::cbCancel)] = {3240, 3795, 945, 495};
    places_[static_cast<int>(PreviewControl::cbRetry)] = {1650, 3825, 945, 495};
    Layout();
}

void Win32PreviewWindow::Layout() {
    Place(imGrp_, places_[static_cast<int>(PreviewControl::imGrp)]);
    Place(cbSetWP_, places_[static_cast<int>(PreviewControl::cbSetWP)]);
    Place(cbCancel_, places_[static_cast<int>(PreviewControl::cbCancel)]);
    Place(cbRetry_, places_[static_cast<int>(PreviewControl::cbRetry)]);
}

void Win32PreviewWindow::ShowWindow() {
    if (!centred_) {
        centred_ = true;
        win32::CentreOnMonitor(hwnd());
    }
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetForegroundWindow(hwnd());
    ReportSize();
}

void Win32PreviewWindow::HideWindow() { ::ShowWindow(hwnd(), SW_HIDE); }

void Win32PreviewWindow::ResizeWindow(double widthTwips, double heightTwips) {
    ::SetWindowPos(hwnd(), nullptr, 0, 0, win32::TwipsToPixels(widthTwips, dpi()),
                   win32::TwipsToPixels(heightTwips, dpi()), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32PreviewWindow::PlaceControl(PreviewControl control, const TwipRect& rect) {
    places_[static_cast<int>(control)] = rect;
    switch (control) {
        case PreviewControl::imGrp:
            Place(imGrp_, rect);
            break;
        case PreviewControl::cbSetWP:
            Place(cbSetWP_, rect);
            break;
        case PreviewControl::cbRetry:
            Place(cbRetry_, rect);
            break;
        case PreviewControl::cbCancel:
            Place(cbCancel_, rect);
            break;
    }
}

void Win32PreviewWindow::ReportSize() {
    if (!presenter_) return;
    RECT outer;
    ::GetWindowRect(hwnd(), &outer);
    presenter_->Form_Resize(win32::PixelsToTwips(outer.right - outer.left, dpi()),
                            win32::PixelsToTwips(outer.bottom - outer.top, dpi()));
}

bool Win32PreviewWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED && ::IsWindowVisible(hwnd())) ReportSize();
            result = 0;
            return true;
        case WM_GETMINMAXINFO: {
            // The frame cannot be dragged below the smallest size the layout allows.
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize.x = win32::TwipsToPixels(kPreviewMinWidth, dpi());
            limits->ptMinTrackSize.y = win32::TwipsToPixels(kPreviewMinHeight, dpi());
            result = 0;
            return true;
        }
        case WM_COMMAND:
            if (presenter_ && HIWORD(wParam) == BN_CLICKED) {
                switch (LOWORD(wParam)) {
                    case kCbSetWP:
                        presenter_->cbSetWP_Click();
                        break;
                    case kCbRetry:
                        presenter_->cbRetry_Click();
                        break;
                    case IDCANCEL:  // the button, or Escape
                        presenter_->cbCancel_Click();
                        break;
                    default:
                        break;
                }
            }
            result = 0;
            return true;
        case WM_CLOSE:
            if (presenter_) presenter_->Form_Unload();
            result = 0;
            return true;
        default:
            return false;
    }
}

}  // namespace vexal
