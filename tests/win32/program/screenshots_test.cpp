// Pictures of the three windows for the documentation (the editor also in English), and
// the editor drawn whole after each choice. The pictures are made only when VEXAL_SCREENSHOTS
// names the folder to write them into (scripts/screenshots-windows sets it up, with a Wine
// desktop that draws the window frames).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/win32/win32_file_system.h"
#include "ui/win32/editor_window.h"
#include "ui/win32/preview_window.h"
#include "win32/program/http_server.h"
#include "win32/program/program_runner.h"
#include "win32/test_pictures.h"
#include "win32/win_temp_dir.h"

namespace vexal::testing {
namespace {

// The window, frame included, as the screen shows it: 24-bit rows, top to bottom.
struct Grab {
    int width = 0, height = 0;
    std::vector<BYTE> bits;
    bool operator==(const Grab& other) const {
        return width == other.width && height == other.height && bits == other.bits;
    }
};

Grab GrabWindow(HWND window) {
    RECT r;
    ::GetWindowRect(window, &r);
    Grab grab;
    grab.width = r.right - r.left;
    grab.height = r.bottom - r.top;
    if (grab.width <= 0 || grab.height <= 0) return {};
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = grab.width;
    info.bmiHeader.biHeight = -grab.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, grab.width, grab.height, screen, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    const UINT stride = (static_cast<UINT>(grab.width) * 3 + 3) & ~3u;
    if (bits) grab.bits.assign(static_cast<BYTE*>(bits), static_cast<BYTE*>(bits) + stride * grab.height);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return grab;
}

// The window once it has been drawn: the same picture on the screen three times running,
// and not one colour all over (a window that has not painted yet), for at most 20 s.
Grab DrawnWindow(HWND window) {
    Grab last;
    int same = 0;
    WaitUntil([&] {
        Grab now = GrabWindow(window);
        const bool blank = now.bits.empty() || std::all_of(now.bits.begin(), now.bits.end(),
                                                           [&](BYTE b) { return b == now.bits[0]; });
        same = !blank && now == last ? same + 1 : 0;
        last = std::move(now);
        return same >= 2;
    });
    return last;
}

// Writes the window, once it has been drawn, into a PNG file.
bool CaptureWindow(HWND window, const std::string& path) {
    Grab grab = DrawnWindow(window);
    if (grab.bits.empty()) return false;
    const UINT stride = (static_cast<UINT>(grab.width) * 3 + 3) & ~3u;
    bool ok = false;
    IWICImagingFactory* factory = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)))) {
        IWICBitmap* source = nullptr;
        IWICStream* stream = nullptr;
        IWICBitmapEncoder* encoder = nullptr;
        IWICBitmapFrameEncode* frame = nullptr;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        ok = SUCCEEDED(factory->CreateBitmapFromMemory(grab.width, grab.height, GUID_WICPixelFormat24bppBGR,
                                                       stride, stride * grab.height, grab.bits.data(),
                                                       &source)) &&
             SUCCEEDED(factory->CreateStream(&stream)) &&
             SUCCEEDED(stream->InitializeFromFilename(win32::Widen(path).c_str(), GENERIC_WRITE)) &&
             SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
             SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
             SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
             SUCCEEDED(frame->SetSize(grab.width, grab.height)) &&
             SUCCEEDED(frame->SetPixelFormat(&format)) && SUCCEEDED(frame->WriteSource(source, nullptr)) &&
             SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
        for (IUnknown* p : {static_cast<IUnknown*>(frame), static_cast<IUnknown*>(encoder),
                            static_cast<IUnknown*>(stream), static_cast<IUnknown*>(source)})
            if (p) p->Release();
        factory->Release();
    }
    return ok;
}

// A picture worth showing: colour bands shading into each other.
std::vector<std::uint32_t> Scenery(int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t r = static_cast<std::uint32_t>(40 + 180 * x / width);
            const std::uint32_t g = static_cast<std::uint32_t>(90 + 120 * y / height);
            const std::uint32_t b = static_cast<std::uint32_t>(200 - 150 * (x + y) / (width + height));
            pixels[static_cast<std::size_t>(y) * width + x] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    }
    return pixels;
}

TEST(Screenshots, TheThreeWindows) {
    const char* folder = std::getenv("VEXAL_SCREENSHOTS");
    if (!folder || !*folder) GTEST_SKIP() << "VEXAL_SCREENSHOTS names no folder";
    const std::string out = std::string(folder) + "\\";
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    // The pointer in a corner, so no tool tip covers the windows.
    ::SetCursorPos(0, 0);
    WinTempDir dir;
    Win32FileSystem files;
    HttpServer server;
    server.Hold("/gallery/index.html");

    EntryLines folderEntry;
    folderEntry.Name = "photos";
    folderEntry.Url = "C:\\Users\\Public\\Pictures\\";
    folderEntry.Comment = "休日の写真\\nサブフォルダも含める";
    folderEntry.Filter = "000001";
    folderEntry.Ext = "0110";
    folderEntry.WpState = "2";
    folderEntry.No = "2";
    EntryLines pageEntry;
    pageEntry.Name = "gallery";
    pageEntry.Url = server.Url("/gallery/index.html");
    pageEntry.Filter = "010000";
    pageEntry.Ext = "1110";
    pageEntry.No = "0";
    pageEntry.No_n = "3";
    // The folder entry has a background colour of its own.
    std::string settings = SettingsText({folderEntry, pageEntry}, "vexal.bmp");
    settings.insert(settings.find("Refstr = \r\n") + 11, "Background = #1E3A5F\r\n");
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", settings));
    ASSERT_TRUE(files.WriteFile(dir / "scenery.png", Png(480, 320, Scenery(480, 320))));

    // The editor with the folder entry chosen, captured as `name`; `endCaption` tells the
    // language it came up in.
    auto shootEditor = [&](const std::string& name, const std::string& endCaption) {
        RunningProgram program(dir.path(), "", false);
        HWND editor = program.WaitForWindow(L"VexalWindow", L"vexal 1.00", Win32EditorWindow::kCbSelect);
        ASSERT_NE(editor, nullptr);
        PostChoice(editor, Win32EditorWindow::kCbSelect, 1);
        ASSERT_TRUE(WaitUntil([&] {
            return WindowTextOf(::GetDlgItem(editor, Win32EditorWindow::kTxUrl)) == folderEntry.Url;
        }));
        EXPECT_EQ(WindowTextOf(::GetDlgItem(editor, Win32EditorWindow::kCbEnd)), endCaption);
        EXPECT_TRUE(CaptureWindow(editor, out + name));
        ::PostMessageW(editor, WM_CLOSE, 0, 0);
        program.Wait();
    };
    shootEditor("win32-editor.png", "終了");
    {
        // The same editor for a user whose display language is not Japanese.
        ScopedVariable english(L"VEXAL_LANG", L"en");
        shootEditor("win32-editor-en.png", "Exit");
    }
    {
        RunningProgram program(dir.path(), "gallery", false);
        HWND progress = program.WaitForWindow(L"VexalWindow", L"vexal 1.00", IDCANCEL);
        ASSERT_NE(progress, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return server.Paths().size() == 1; }));
        EXPECT_TRUE(CaptureWindow(progress, out + "win32-progress.png"));
        // The program is ended by the test: a cancel would only show its message.
    }
    {
        RunningProgram program(dir.path(), "-wp scenery.png -preview", false);
        HWND preview = program.WaitForWindow(L"VexalWindow", L"vexal 1.00", Win32PreviewWindow::kCbSetWP);
        ASSERT_NE(preview, nullptr);
        EXPECT_TRUE(CaptureWindow(preview, out + "win32-preview.png"));
        ::PostMessageW(preview, WM_CLOSE, 0, 0);
        program.Wait();
    }
    if (com) ::CoUninitialize();
}

// Regression: under Wine, edit boxes lost their borders and the spin its arrows after an
// entry was chosen, until the window was drawn again. What choosing leaves on the screen is
// what drawing the whole window afresh gives.
TEST(WindowPaintingTest, ChoosingAnEntryLeavesNoControlUnpainted) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no display (scripts/test-windows runs Xvfb)";
    ::SetCursorPos(0, 0);
    WinTempDir dir;
    EntryLines folderEntry;
    folderEntry.Name = "photos";
    folderEntry.Url = "C:\\Users\\Public\\Pictures\\";
    folderEntry.Ext = "0110";
    EntryLines pageEntry;
    pageEntry.Name = "gallery";
    pageEntry.Url = "http://example.invalid/gallery/index.html";
    pageEntry.Filter = "010000";
    pageEntry.Ext = "1110";
    EntryLines imageEntry;
    imageEntry.Name = "one";
    imageEntry.Url = "http://example.invalid/one.jpg";
    ASSERT_TRUE(
        WriteSettings(dir / "vexal.ini", SettingsText({folderEntry, pageEntry, imageEntry}, "vexal.bmp")));
    RunningProgram program(dir.path(), "", false);
    HWND editor = program.WaitForWindow(L"VexalWindow", L"vexal 1.00", Win32EditorWindow::kCbSelect);
    ASSERT_NE(editor, nullptr);
    // Each choice turns groups of controls on or off.
    for (const auto* entry : {&imageEntry, &pageEntry, &folderEntry, &imageEntry}) {
        PostChoice(editor, Win32EditorWindow::kCbSelect,
                   entry == &folderEntry ? 1
                   : entry == &pageEntry ? 2
                                         : 3);
        ASSERT_TRUE(WaitUntil(
            [&] { return WindowTextOf(::GetDlgItem(editor, Win32EditorWindow::kTxUrl)) == entry->Url; }));
        const Grab chosen = DrawnWindow(editor);
        ::RedrawWindow(editor, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const Grab redrawn = DrawnWindow(editor);
        ASSERT_FALSE(chosen.bits.empty());
        EXPECT_TRUE(chosen == redrawn) << entry->Name << ": some control was left unpainted";
    }
    ::PostMessageW(editor, WM_CLOSE, 0, 0);
    program.Wait();
}

}  // namespace
}  // namespace vexal::testing
