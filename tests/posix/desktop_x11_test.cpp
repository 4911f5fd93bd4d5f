// The X11 root background on a private Xvfb: the three layouts as the screen shows
// them, the pixmap kept after the setter has gone, and the previous one freed.
#include <X11/Xatom.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/linux/linux_desktop.h"
#include "platform/linux/qt_image_decoder.h"
#include "platform/linux/root_layout.h"
#include "platform/linux/x11_root.h"
#include "platform/posix/posix_file_system.h"
#include "posix/temp_dir.h"
#include "posix/xvfb_server.h"
#include "wallpaper/bmp_writer.h"
#include "wallpaper/install.h"

namespace vexal {
namespace {

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// w × h, split into four quadrants: red top left, green top right, blue bottom left,
// white bottom right.
Picture Quadrants(int w, int h) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[static_cast<std::size_t>(y) * w + x] =
                0xFF000000u | (y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kWhite));
    return Picture::FromPixels(w, h, std::move(px));
}

TEST(RootLayoutTest, CentredTiledAndStretched) {
    const Picture p = Quadrants(4, 2);
    std::vector<std::uint32_t> out;
    auto at = [&out](int x, int y) { return out[static_cast<std::size_t>(y) * 10 + x]; };

    LayOutPicture(p, WallpaperLayout::Centred, 10, 6, out);
    EXPECT_EQ(at(2, 1), 0u) << "black around";
    EXPECT_EQ(at(3, 2), kRed);
    EXPECT_EQ(at(6, 3), kWhite);
    EXPECT_EQ(at(7, 3), 0u);

    LayOutPicture(p, WallpaperLayout::Tiled, 10, 6, out);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(at(x, y), p.Row(y % 2)[x % 4] & 0xFFFFFFu) << x << "," << y;

    LayOutPicture(p, WallpaperLayout::Stretched, 10, 6, out);
    EXPECT_EQ(at(0, 0), kRed);
    EXPECT_EQ(at(9, 0), kGreen);
    EXPECT_EQ(at(0, 5), kBlue);
    EXPECT_EQ(at(9, 5), kWhite);
}

TEST(RootLayoutTest, LargerThanTheScreenAndTransparent) {
    // A picture larger than the screen is cut on both sides around its centre.
    std::vector<std::uint32_t> px(7 * 3);
    for (int x = 0; x < 7; ++x)
        for (int y = 0; y < 3; ++y)
            px[static_cast<std::size_t>(y) * 7 + x] = 0xFF000000u | static_cast<std::uint32_t>(x);
    std::vector<std::uint32_t> out;
    LayOutPicture(Picture::FromPixels(7, 3, px), WallpaperLayout::Centred, 4, 1, out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{2, 3, 4, 5}));

    // Transparent parts show black; half transparent ones half their colour.
    const Picture clear = Picture::FromPixels(2, 1, {0x00FFFFFF, 0x80FF0000}, true);
    for (auto layout : {WallpaperLayout::Centred, WallpaperLayout::Tiled, WallpaperLayout::Stretched}) {
        LayOutPicture(clear, layout, 2, 1, out);
        EXPECT_EQ(out, (std::vector<std::uint32_t>{0, 0x800000})) << static_cast<int>(layout);
    }
}

class X11RootTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (xvfb_.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    }
    // The pixmap both properties name, or None.
    Pixmap Published() {
        Display* d = XOpenDisplay(xvfb_.display().c_str());
        Pixmap result = None;
        Pixmap ids[2] = {None, None};
        const char* names[2] = {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"};
        for (int i = 0; i < 2; ++i) {
            Atom type;
            int format;
            unsigned long n, after;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, names[i], False), 0, 1, False,
                                   XA_PIXMAP, &type, &format, &n, &after, &data) == Success &&
                data && n == 1)
                ids[i] = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(data));
            if (data) XFree(data);
        }
        if (ids[0] == ids[1]) result = ids[0];
        XCloseDisplay(d);
        return result;
    }
    // True while the server still knows the pixmap.
    bool Exists(Pixmap pixmap) {
        static bool failed;
        failed = false;
        auto previous = XSetErrorHandler([](Display*, XErrorEvent*) {
            failed = true;
            return 0;
        });
        Display* d = XOpenDisplay(xvfb_.display().c_str());
        Window root;
        int x, y;
        unsigned w, h, border, depth;
        const Status ok = XGetGeometry(d, pixmap, &root, &x, &y, &w, &h, &border, &depth);
        XSync(d, False);
        XCloseDisplay(d);
        XSetErrorHandler(previous);
        return ok && !failed;
    }
    testing::XvfbServer xvfb_;
};

TEST_F(X11RootTest, ScreenShowsEachLayout) {
    const Picture p = Quadrants(100, 60);
    ASSERT_TRUE(SetRootBackground(p, WallpaperLayout::Centred, xvfb_.display()));
    testing::RootPixels root = testing::ReadRoot(xvfb_.display());
    ASSERT_EQ(root.width, 640);
    ASSERT_EQ(root.height, 480);
    // The picture spans 270..369 × 210..269.
    EXPECT_EQ(root.At(269, 239), 0u);
    EXPECT_EQ(root.At(270, 210), kRed);
    EXPECT_EQ(root.At(369, 210), kGreen);
    EXPECT_EQ(root.At(270, 269), kBlue);
    EXPECT_EQ(root.At(369, 269), kWhite);
    EXPECT_EQ(root.At(370, 269), 0u);
    EXPECT_EQ(root.At(0, 0), 0u);

    ASSERT_TRUE(SetRootBackground(p, WallpaperLayout::Tiled, xvfb_.display()));
    root = testing::ReadRoot(xvfb_.display());
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 13)
            ASSERT_EQ(root.At(x, y), p.Row(y % 60)[x % 100] & 0xFFFFFFu) << x << "," << y;

    ASSERT_TRUE(SetRootBackground(p, WallpaperLayout::Stretched, xvfb_.display()));
    root = testing::ReadRoot(xvfb_.display());
    EXPECT_EQ(root.At(160, 120), kRed);
    EXPECT_EQ(root.At(480, 120), kGreen);
    EXPECT_EQ(root.At(160, 360), kBlue);
    EXPECT_EQ(root.At(480, 360), kWhite);
    EXPECT_EQ(root.At(0, 0), kRed);
    EXPECT_EQ(root.At(639, 479), kWhite);
}

TEST_F(X11RootTest, PixmapOutlivesTheSetterAndThePreviousOneIsFreed) {
    ASSERT_TRUE(SetRootBackground(Quadrants(8, 8), WallpaperLayout::Tiled, xvfb_.display()));
    const Pixmap first = Published();
    ASSERT_NE(first, static_cast<Pixmap>(None));
    EXPECT_TRUE(Exists(first)) << "retained after the connection closed";

    ASSERT_TRUE(SetRootBackground(Quadrants(8, 8), WallpaperLayout::Centred, xvfb_.display()));
    const Pixmap second = Published();
    ASSERT_NE(second, static_cast<Pixmap>(None));
    EXPECT_NE(second, first);
    EXPECT_TRUE(Exists(second));
    EXPECT_FALSE(Exists(first)) << "each change would otherwise leak a screenful of server memory";
}

TEST_F(X11RootTest, NoDisplayIsAFailure) {
    EXPECT_FALSE(SetRootBackground(Quadrants(2, 2), WallpaperLayout::Centred, ":9999"));
    EXPECT_FALSE(SetRootBackground(Picture{}, WallpaperLayout::Centred, xvfb_.display()));
}

class NoCommands final : public CommandRunner {
public:
    CommandResult Run(const std::vector<std::string>&) override { return {}; }
};

TEST_F(X11RootTest, DesktopUsesTheRecordedStyleAndReadsTheBitmap) {
    testing::TempDir data;
    QtImageDecoder decoder;
    NoCommands runner;
    auto env = [&](const std::string& name) -> std::string {
        if (name == "XDG_DATA_HOME") return data.path();
        if (name == "DISPLAY") return xvfb_.display();
        return {};
    };
    std::string folder;
    LinuxDesktop first(decoder, runner, env);
    ASSERT_TRUE(first.WallpaperFolder(folder));
    const std::string bitmap = folder + "/wall.bmp";
    PosixFileSystem files;
    ASSERT_TRUE(WriteBmp(files, bitmap, Quadrants(100, 60)));

    first.SetKeyValue(kDesktopKey, kWallpaperStyleName, "2");
    first.SetKeyValue(kDesktopKey, kTileWallpaperName, "0");
    ASSERT_TRUE(first.SetWallpaper(bitmap));
    EXPECT_EQ(testing::ReadRoot(xvfb_.display()).At(639, 479), kWhite) << "stretched";

    // A run that writes no style (an image given on the command line) keeps the last one.
    ASSERT_TRUE(LinuxDesktop(decoder, runner, env).SetWallpaper(bitmap));
    EXPECT_EQ(testing::ReadRoot(xvfb_.display()).At(639, 479), kWhite);

    // Without any record the picture is centred.
    std::remove((folder + "/wallpaper-style").c_str());
    ASSERT_TRUE(LinuxDesktop(decoder, runner, env).SetWallpaper(bitmap));
    EXPECT_EQ(testing::ReadRoot(xvfb_.display()).At(639, 479), 0u);
    EXPECT_EQ(testing::ReadRoot(xvfb_.display()).At(270, 210), kRed);

    // A bitmap that is not a picture leaves the screen as it was.
    std::ofstream(bitmap, std::ios::trunc) << "<html>";
    EXPECT_FALSE(LinuxDesktop(decoder, runner, env).SetWallpaper(bitmap));
    EXPECT_EQ(testing::ReadRoot(xvfb_.display()).At(270, 210), kRed);
}

}  // namespace
}  // namespace vexal
