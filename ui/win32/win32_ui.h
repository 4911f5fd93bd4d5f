// What every native window of the program shares: twips at the monitor's DPI, the
// Japanese interface font, the window class and the message routing to a C++ object.
#pragma once

#include <string>

#include "platform/win32/win32_api.h"
#include "ui/preview_layout.h"
// (after the Windows headers, which it needs)
#include <commctrl.h>

namespace vexal::win32 {

inline constexpr double kTwipsPerInch = 1440.0;

// The DPI of the monitor the window is on (per-monitor aware), or the system's.
UINT WindowDpi(HWND hwnd);

int TwipsToPixels(double twips, UINT dpi);
double PixelsToTwips(int pixels, UINT dpi);
// Both edges are converted, so controls that touch in twips touch in pixels.
RECT TwipsToPixels(const TwipRect& rect, UINT dpi);

// The outer size of a window whose client area is `clientWidth` × `clientHeight` pixels.
SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

// The interface font at `dpi`: Meiryo UI where it is installed, else another Japanese UI
// font, else the system's message font. The caller owns the font.
HFONT CreateUiFont(UINT dpi);

// A fixed-pitch Japanese font at `dpi`, in which a full-width character is exactly two
// ASCII ones wide, so text laid out in columns for a console keeps them. The caller owns
// the font.
HFONT CreateFixedPitchFont(UINT dpi);

// Puts a top-level window in the middle of the work area of its monitor.
void CentreOnMonitor(HWND hwnd);

// Sets the font of every child of `parent`.
void SetFontOfChildren(HWND parent, HFONT font);

// A top-level window whose messages go to a C++ object. The window is destroyed with it.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }
    UINT dpi() const { return dpi_; }
    HFONT font() const { return font_; }

protected:
    // Creates the window (hidden) with the given client size in twips, then calls Layout.
    bool CreateTopLevel(DWORD exStyle, DWORD style, double clientWidthTwips, double clientHeightTwips);
    // A child control with the interface font.
    HWND AddControl(const wchar_t* className, const std::string& text, DWORD style, int id,
                    DWORD exStyle = 0);
    void Place(HWND control, const TwipRect& rect) const;
    void SetTitle(const std::string& text);

    // Positions every control for the current DPI.
    virtual void Layout() = 0;
    // Messages the window handles itself; the rest go to DefWindowProcW.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnDpiChanged(UINT dpi, const RECT* suggested);

    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;
    HFONT font_ = nullptr;
};

// Adds a tool tip that shows `text` while the mouse rests on `control`.
void AddToolTip(HWND tooltips, HWND control, const std::string& text);
HWND CreateToolTips(HWND owner);
// Replaces the tip of a control added with AddToolTip.
void SetToolTip(HWND tooltips, HWND control, const std::string& text);

}  // namespace vexal::win32
