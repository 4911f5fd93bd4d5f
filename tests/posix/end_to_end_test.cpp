// The real vexal program, run without a display on a private Xvfb, for every kind of
// source: it must leave the chosen picture as the bitmap in the data folder and on the
// X11 root window in the entry's style, print only the expected message lines, and end
// with the right status.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "gather/html_tags.h"
#include "gather/links.h"
#include "net/response.h"
#include "platform/linux/command_runner.h"
#include "posix/loopback_server.h"
#include "posix/program_runner.h"
#include "posix/temp_dir.h"
#include "posix/xvfb_server.h"
#include "support/real_pages.h"
#include "ui/preview_layout.h"

#ifdef VEXAL_BINARY
namespace vexal {
namespace {

// Each test picture is 100 × 60 in four quadrants of one colour each, distinct per
// picture, so the screen tells which picture it shows and how it is laid out.
struct Colours {
    std::uint32_t topLeft, topRight, bottomLeft, bottomRight;
};
const Colours kPng = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
const Colours kBmp = {0xFFFF00, 0x00FFFF, 0xFF00FF, 0x808080};
const Colours kGif = {0x800000, 0x008000, 0x000080, 0xC0C0C0};
const Colours kJpg = {0xFF8000, 0x0080FF, 0x80FF00, 0x000000};
constexpr int kW = 100, kH = 60;

QImage Quadrants(const Colours& c) {
    QImage img(kW, kH, QImage::Format_RGB32);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            img.setPixel(x, y,
                         0xFF000000u | (y < kH / 2 ? (x < kW / 2 ? c.topLeft : c.topRight)
                                                   : (x < kW / 2 ? c.bottomLeft : c.bottomRight)));
    return img;
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

enum class Style { Centred, Tiled, Stretched };

using RunResult = testing::ProgramRun;

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (xvfb_.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
        std::filesystem::create_directories(work_ / "pics/sub/deeper");
        std::filesystem::create_directories(work_ / "pics/.hidden");
        Save(kPng, "pics/a.png", "PNG");
        Save(kBmp, "pics/B.bmp", "BMP");
        Save(kGif, "pics/sub/c.gif", "GIF");
        Save(kJpg, "pics/sub/deeper/d.jpg", "JPEG");
        Save(kPng, "pics/.hidden/e.png", "PNG");
        Save(kPng, "pics/.f.png", "PNG");
        std::ofstream(work_ / "pics/notes.txt") << "not a picture";
        // A folder whose only picture is hidden.
        std::filesystem::create_directories(work_ / "hidden");
        Save(kPng, "hidden/.g.png", "PNG");
        std::ofstream(work_ / "hidden/readme.txt") << "not a picture";
        // Files of kinds vexal does not read, and one it reads but the entry may not take.
        std::filesystem::create_directories(work_ / "kinds");
        for (const char* name : {"a.psd", "b.PSD", "show.xml", "d.webp", "noextension", ".hidden.psd"})
            std::ofstream(work_ / "kinds/" + name) << "x";
    }

    // Writes one test picture; GIF through ImageMagick, as Qt reads GIF but cannot write it.
    void Save(const Colours& c, const std::string& name, const char* format) {
        const std::string path = work_ / name;
        if (std::string(format) == "GIF") {
            const std::string png = path + ".tmp.png";
            ASSERT_TRUE(Quadrants(c).save(QString::fromStdString(png), "PNG"));
            SpawnCommandRunner runner;
            ASSERT_EQ(runner.Run({"/usr/bin/convert", png, path}).status, 0)
                << "ImageMagick is needed for GIF";
            std::filesystem::remove(png);
        } else {
            ASSERT_TRUE(Quadrants(c).save(QString::fromStdString(path), format, 100));
        }
    }

    struct Entry {
        Entry(std::string name, std::string url, std::string filter = "000000", std::string ext = "1111",
              int wpState = 0, int no = 0, int noN = 1, std::string refstr = "", int minWidth = 0)
            : name(std::move(name)),
              url(std::move(url)),
              filter(std::move(filter)),
              ext(std::move(ext)),
              wpState(wpState),
              no(no),
              noN(noN),
              refstr(std::move(refstr)),
              minWidth(minWidth) {}
        std::string name, url, filter, ext;
        int wpState, no, noN;
        std::string refstr;
        int minWidth;
    };
    static constexpr const char* kSettingsHead =
        "'vexal   ver.1.00\r\n\r\nNewMsg = (new)\r\nCacheFileName = wpcache\r\n"
        "WinFolderWPname = wallpaper.bmp\r\nTimeOut = 5\r\n";
    // `head` is everything before the first entry's "-" line.
    void Settings(const std::vector<Entry>& entries, const std::string& head = kSettingsHead) {
        std::ofstream ini(work_ / "vexal.ini", std::ios::binary);
        ini << head << "-\r\n";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            if (i) ini << "-\r\n";
            ini << "Name = " << e.name << "\r\nUrl = " << e.url << "\r\nComment = \r\nFilter = " << e.filter
                << "\r\nExt = " << e.ext << "\r\nWpState = " << e.wpState << "\r\nNo = " << e.no
                << "\r\nNo_n = " << e.noN << "\r\nRefstr = " << e.refstr << "\r\n";
            if (e.minWidth != 0) ini << "MinWidth = " << e.minWidth << "\r\n";
        }
    }

    // Runs vexal in the work folder with `args`, no display for windows (but the Xvfb for
    // the root), and collects standard error. A run that shows a window nobody answers is
    // killed at the runner's time limit instead of holding the suite.
    RunResult Vexal(const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& extraEnv = {}) {
        testing::ProgramOptions options;
        options.dir = work_.path();
        options.env = testing::UnattendedX11Env(work_.path(), xvfb_.display());
        for (const auto& [name, value] : extraEnv) options.env[name] = value;
        return testing::RunProgram(VEXAL_BINARY, args, options);
    }

    // The run succeeded, left no working file, and both the bitmap in the data folder and
    // the screen show `c` in `style`.
    void ExpectInstalled(const RunResult& r, const Colours& c, Style style, int tolerance = 0) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(NoWorkingFile());

        const QImage bitmap(QString::fromStdString(work_ / "data/vexal/wallpaper.bmp"), "BMP");
        ASSERT_EQ(bitmap.width(), kW);
        ASSERT_EQ(bitmap.height(), kH);
        EXPECT_EQ(bitmap.depth(), 32) << "Qt reads a 24-bit file as RGB32";
        const std::pair<QPoint, std::uint32_t> corners[] = {{{20, 10}, c.topLeft},
                                                            {{80, 10}, c.topRight},
                                                            {{20, 50}, c.bottomLeft},
                                                            {{80, 50}, c.bottomRight}};
        for (const auto& [at, colour] : corners)
            EXPECT_TRUE(Near(bitmap.pixel(at) & 0xFFFFFF, colour, tolerance))
                << "bitmap at " << at.x() << "," << at.y() << std::hex << ": "
                << (bitmap.pixel(at) & 0xFFFFFF);

        const testing::RootPixels root = testing::ReadRoot(xvfb_.display());
        ASSERT_EQ(root.width, 640);
        // Screen points and the colour each must show.
        std::vector<std::tuple<int, int, std::uint32_t>> expect;
        switch (style) {
            case Style::Centred:  // the picture spans 270..369 × 210..269 on black
                expect = {{290, 220, c.topLeft},
                          {350, 220, c.topRight},
                          {290, 260, c.bottomLeft},
                          {350, 260, c.bottomRight},
                          {10, 10, 0},
                          {260, 240, 0},
                          {380, 240, 0},
                          {320, 200, 0},
                          {630, 470, 0}};
                break;
            case Style::Tiled:  // tiles from the top left corner
                expect = {{20, 10, c.topLeft},       {80, 10, c.topRight}, {20, 50, c.bottomLeft},
                          {80, 50, c.bottomRight},   {120, 70, c.topLeft}, {620, 470, c.bottomLeft},
                          {580, 470, c.bottomRight}, {320, 250, c.topLeft}};
                break;
            case Style::Stretched:
                expect = {{100, 100, c.topLeft},     {540, 100, c.topRight}, {100, 380, c.bottomLeft},
                          {540, 380, c.bottomRight}, {0, 0, c.topLeft},      {639, 479, c.bottomRight}};
                break;
        }
        for (const auto& [x, y, colour] : expect)
            EXPECT_TRUE(Near(root.At(x, y), colour, tolerance))
                << "screen at " << x << "," << y << std::hex << ": " << root.At(x, y) << " wanted " << colour;
    }

    bool NoWorkingFile() {
        for (const auto& e : std::filesystem::directory_iterator(work_.path()))
            if (e.path().filename().string().rfind("wpcache", 0) == 0) return false;
        return true;
    }

    bool ScreenIsBlank() {
        const testing::RootPixels root = testing::ReadRoot(xvfb_.display());
        const std::uint32_t first = root.At(0, 0);
        for (std::uint32_t p : root.pixels)
            if (p != first) return false;
        return !std::filesystem::exists(work_ / "data/vexal/wallpaper.bmp");
    }

    static std::string Line(const std::string& text) { return "vexal 1.00: " + text + "\n"; }

    testing::XvfbServer xvfb_;
    testing::TempDir work_;
};

TEST_F(EndToEndTest, DirectImageOfEachFormat) {
    const struct {
        const char* name;
        const char* file;
        Colours colours;
        int tolerance;
    } rows[] = {
        {"png", "pics/a.png", kPng, 0},
        {"bmp", "pics/B.bmp", kBmp, 0},
        {"gif", "pics/sub/c.gif", kGif, 0},
        {"jpg", "pics/sub/deeper/d.jpg", kJpg, 24},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Settings({});
        // Without a recorded style the picture is centred; the path may be relative.
        ExpectInstalled(Vexal({"-wp", r.file}), r.colours, Style::Centred, r.tolerance);
        ExpectInstalled(Vexal({"-WP", work_ / r.file}), r.colours, Style::Centred, r.tolerance);
    }
}

// The quadrants as an SVG drawing of 100 × 60, with a prologue as drawing programs write.
std::string QuadrantsSvg(const Colours& c) {
    auto rect = [](int x, int y, std::uint32_t colour) {
        char fill[8];
        std::snprintf(fill, sizeof fill, "%06X", colour);
        return "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) +
               "\" width=\"50\" height=\"30\" fill=\"#" + fill + "\"/>";
    };
    // Regression: text in a drawing ended a run without windows (Qt's fonts need an
    // application). It stands in the middle, where no check looks.
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- made by the test -->\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"60\" viewBox=\"0 0 100 60\">" +
           rect(0, 0, c.topLeft) + rect(50, 0, c.topRight) + rect(0, 30, c.bottomLeft) +
           rect(50, 30, c.bottomRight) + "<text x=\"44\" y=\"32\" font-size=\"5\">壁紙</text></svg>\n";
}

// AVIF, HEIC and JPEG XL made by Debian's own encoders, and an SVG, each installed in
// each style from an entry naming it; the AVIF stored on its side with a rotation in its
// container comes upright.
TEST_F(EndToEndTest, NewerKindsInEachStyle) {
    for (const char* tool : {"/usr/bin/avifenc", "/usr/bin/heif-enc", "/usr/bin/cjxl"})
        if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " is not installed";
    const Colours kNew = {0xC00000, 0x00C000, 0x0000C0, 0xE0E0E0};
    std::filesystem::create_directories(work_ / "newer");
    Save(kNew, "newer/source.png", "PNG");
    const QImage onItsSide = Quadrants(kNew).transformed(QTransform().rotate(90));
    ASSERT_TRUE(onItsSide.save(QString::fromStdString(work_ / "newer/side.png"), "PNG"));
    SpawnCommandRunner runner;
    const std::string src = work_ / "newer/source.png";
    const std::vector<std::vector<std::string>> encode = {
        {"/usr/bin/avifenc", "-l", "-s", "8", src, work_ / "newer/q.avif"},
        {"/usr/bin/avifenc", "-l", "-s", "8", "--irot", "1", work_ / "newer/side.png",
         work_ / "newer/turned.avif"},
        {"/usr/bin/heif-enc", "-q", "95", src, "-o", work_ / "newer/q.HEIC"},
        {"/usr/bin/cjxl", "-d", "0", src, work_ / "newer/q.jxl"},
    };
    for (const auto& command : encode) ASSERT_EQ(runner.Run(command).status, 0) << command.front();
    std::ofstream(work_ / "newer/q.svg", std::ios::binary) << QuadrantsSvg(kNew);
    std::filesystem::remove(work_ / "newer/source.png");
    std::filesystem::remove(work_ / "newer/side.png");

    const struct {
        const char* file;
        int tolerance;
    } files[] = {{"q.avif", 8}, {"turned.avif", 8}, {"q.HEIC", 40}, {"q.jxl", 0}, {"q.svg", 2}};
    const Style styles[] = {Style::Centred, Style::Tiled, Style::Stretched};
    for (const auto& f : files) {
        for (const Style style : styles) {
            SCOPED_TRACE(std::string(f.file) + " in style " + std::to_string(static_cast<int>(style)));
            Settings({{"one", work_ / ("newer/" + std::string(f.file)), "000000", "00001",
                       static_cast<int>(style)}});
            const RunResult r = Vexal({"one"});
            if (std::string(f.file) == "q.svg" && style == Style::Stretched) {
                // Drawn at the screen's size, not stretched from 100 × 60.
                ASSERT_EQ(r.status, 0) << r.err;
                const QImage bitmap(QString::fromStdString(work_ / "data/vexal/wallpaper.bmp"), "BMP");
                EXPECT_EQ(bitmap.size(), QSize(640, 480));
                const testing::RootPixels root = testing::ReadRoot(xvfb_.display());
                for (const auto& [x, y, colour] : {std::tuple{100, 100, kNew.topLeft},
                                                   {540, 100, kNew.topRight},
                                                   {100, 380, kNew.bottomLeft},
                                                   {639, 479, kNew.bottomRight}})
                    EXPECT_TRUE(Near(root.At(x, y), colour, f.tolerance)) << x << "," << y;
                continue;
            }
            ExpectInstalled(r, kNew, style, f.tolerance);
        }
    }
    // Fitted to the screen, the drawing is drawn at the fitted size: 640 × 384.
    Settings({{"fit", work_ / "newer/q.svg", "000000", "00001", 4}});
    ASSERT_EQ(Vexal({"fit"}).status, 0);
    EXPECT_EQ(QImage(QString::fromStdString(work_ / "data/vexal/wallpaper.bmp"), "BMP").size(),
              QSize(640, 384));
}

// A folder of the newer kinds: each is a candidate under WebP's flag, found by name, and
// without the flag the folder names them as kinds the entry did not tick. A run loads a
// kind's library only for a picture of that kind.
TEST_F(EndToEndTest, FolderOfNewerKinds) {
    for (const char* tool : {"/usr/bin/avifenc", "/usr/bin/heif-enc", "/usr/bin/cjxl"})
        if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " is not installed";
    std::filesystem::create_directories(work_ / "mixed");
    Save(kPng, "mixed/p.png", "PNG");
    const std::string png = work_ / "mixed/p.png";
    const Colours kinds[] = {kBmp, kGif, kJpg};
    Save(kinds[0], "mixed/a.png", "PNG");
    Save(kinds[1], "mixed/h.png", "PNG");
    Save(kinds[2], "mixed/j.png", "PNG");
    SpawnCommandRunner runner;
    ASSERT_EQ(runner.Run({"/usr/bin/avifenc", "-l", work_ / "mixed/a.png", work_ / "mixed/a.avif"}).status,
              0);
    ASSERT_EQ(
        runner.Run({"/usr/bin/heif-enc", "-q", "95", work_ / "mixed/h.png", "-o", work_ / "mixed/h.heic"})
            .status,
        0);
    ASSERT_EQ(runner.Run({"/usr/bin/cjxl", "-d", "0", work_ / "mixed/j.png", work_ / "mixed/j.jxl"}).status,
              0);
    for (const char* name : {"mixed/a.png", "mixed/h.png", "mixed/j.png"})
        std::filesystem::remove(work_ / name);
    std::ofstream(work_ / "mixed/s.svg", std::ios::binary) << QuadrantsSvg(kPng);
    const std::string folder = work_ / "mixed/";
    Settings({{"avif", folder, "000000", "00001", 0, 1, 1, ".avif"},
              {"heic", folder, "000000", "00001", 0, 1, 1, ".heic"},
              {"jxl", folder, "000000", "00001", 0, 1, 1, ".jxl"},
              {"svg", folder, "000000", "00001", 0, 1, 1, ".svg"},
              {"png", folder, "000000", "00101", 0, 1, 1, ".png"},
              {"withoutWebp", folder, "000000", "0001", 0}});
    // libheif and libjxl are loaded by their own pictures only, as the dynamic linker's
    // log of each run tells.
    const struct {
        const char* entry;
        Colours colours;
        int tolerance;
        bool heif, jxl;
    } runs[] = {{"avif", kinds[0], 8, true, false},
                {"heic", kinds[1], 40, true, false},
                {"jxl", kinds[2], 0, false, true},
                {"svg", kPng, 2, false, false},
                {"png", kPng, 0, false, false}};
    std::filesystem::create_directories(work_ / "ld");
    for (const auto& run : runs) {
        SCOPED_TRACE(run.entry);
        const std::string log = work_ / ("ld/" + std::string(run.entry));
        ExpectInstalled(Vexal({run.entry}, {{"LD_DEBUG", "files"}, {"LD_DEBUG_OUTPUT", log}}), run.colours,
                        Style::Centred, run.tolerance);
        std::string loaded;
        for (const auto& file : std::filesystem::directory_iterator(work_ / "ld"))
            if (file.path().string().starts_with(log + ".")) {
                std::ifstream in(file.path());
                loaded.append(std::istreambuf_iterator<char>(in), {});
            }
        EXPECT_NE(loaded.find("file=libQt6Core.so.6 "), std::string::npos) << "the log was written";
        EXPECT_EQ(loaded.find("file=libheif.so.1 ") != std::string::npos, run.heif);
        EXPECT_EQ(loaded.find("file=libjxl.so.0.7 ") != std::string::npos, run.jxl);
    }
    const RunResult none = Vexal({"withoutWebp"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err,
              Line("条件に合致する画像ファイルがありません。\r\nAVIF 1 個、HEIC 1 個、JXL 1 個、PNG 1 "
                   "個、SVG 1 個は抽出形式で選ばれていません。"));
}

// Runs over a folder of five pictures never repeat one of the last two, whatever a damaged
// history said before; going back shows the wallpapers before, each in its own style, as
// far as the kept bitmaps reach, and going forward undoes those steps; with no step back
// to undo, going forward runs the last entry again.
TEST_F(EndToEndTest, RandomChoiceAvoidsRecentPicturesAndGoingBackRestoresThem) {
    const Colours five[] = {kPng, kBmp, kGif, kJpg, {0x404040, 0xA0A0A0, 0x00A000, 0xA000A0}};
    std::filesystem::create_directories(work_ / "five");
    for (int i = 0; i < 5; ++i) Save(five[i], "five/" + std::to_string(i) + ".bmp", "BMP");
    Settings({{"random", work_ / "five/", "000000", "0001", 0, 2, 1},
              {"tiles", work_ / "pics/a.png", "000000", "1111", 1},
              {"stretched", work_ / "pics/B.bmp", "000000", "1111", 2}});
    std::filesystem::create_directories(work_ / "data/vexal");
    std::ofstream(work_ / "data/vexal/history.txt", std::ios::binary)
        << "vexal-history 1\npick\trandom\nback\t/etc/passwd\t0\t0\n\xff\xfe\x01";

    // Which of the five the data folder's bitmap is, by its top left corner.
    const auto installed = [&] {
        const QImage bitmap(QString::fromStdString(work_ / "data/vexal/wallpaper.bmp"), "BMP");
        for (int i = 0; i < 5; ++i)
            if (!bitmap.isNull() && (bitmap.pixel(20, 10) & 0xFFFFFF) == five[i].topLeft) return i;
        return -1;
    };
    const RunResult none = Vexal({"-next"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "vexal: 進める次の壁紙も、もう一度実行する項目もありません。\n");
    std::vector<int> order;
    for (int run = 0; run < 6; ++run) {
        const RunResult r = Vexal({"random"});
        ASSERT_EQ(r.status, 0) << r.err;
        order.push_back(installed());
        ASSERT_GE(order.back(), 0);
        if (run >= 1) {
            EXPECT_NE(order[run], order[run - 1]);
        }
        if (run >= 2) {
            EXPECT_NE(order[run], order[run - 2]);
        }
    }

    ExpectInstalled(Vexal({"tiles"}), kPng, Style::Tiled);
    ExpectInstalled(Vexal({"stretched"}), kBmp, Style::Stretched);
    ExpectInstalled(Vexal({"-back"}), kPng, Style::Tiled);
    ExpectInstalled(Vexal({"-BACK"}), five[order[5]], Style::Centred);
    ExpectInstalled(Vexal({"-back"}), five[order[4]], Style::Centred);
    const RunResult nothing = Vexal({"-back"});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.err, "vexal: 戻せる前の壁紙がありません。\n");
    EXPECT_EQ(installed(), order[4]) << "the wallpaper stays";

    ExpectInstalled(Vexal({"-next"}), five[order[5]], Style::Centred);
    ExpectInstalled(Vexal({"-NEXT"}), kPng, Style::Tiled);
    ExpectInstalled(Vexal({"-back"}), five[order[5]], Style::Centred);
    ExpectInstalled(Vexal({"/next"}), kPng, Style::Tiled);
    ExpectInstalled(Vexal({"-next"}), kBmp, Style::Stretched);
    // Nothing left to go forward to: the entry that installed last runs again, and a
    // random one gives another picture than its last two.
    ASSERT_EQ(Vexal({"random"}).status, 0);
    const int last = installed();
    const RunResult again = Vexal({"-next"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(installed(), last);
    EXPECT_NE(installed(), order[5]);
    ExpectInstalled(Vexal({"-back"}), five[last], Style::Centred);
}

TEST_F(EndToEndTest, DirectImageKeepsTheStyleLastSet) {
    Settings({{"tiles", work_ / "pics/a.png", "000000", "1111", 1}});
    ExpectInstalled(Vexal({"tiles"}), kPng, Style::Tiled);
    ExpectInstalled(Vexal({"-wp", "pics/B.bmp"}), kBmp, Style::Tiled);
}

// Regression: an entry named in Japanese could not be run ("起動時オプション 休日の写真 が無効です。").
TEST_F(EndToEndTest, EntryNamedInJapanese) {
    // The name as a settings file holds it, in code page 932.
    Settings({{"\x8b\x78\x93\xfa\x82\xcc\x8e\xca\x90\x5e", work_ / "pics/a.png", "000000", "1111", 2}});
    ExpectInstalled(Vexal({"休日の写真"}), kPng, Style::Stretched);
}

TEST_F(EndToEndTest, FolderWithSubfoldersInEachChoiceMode) {
    const std::string pics = work_ / "pics/";
    Settings({
        // Listing order: a.png, B.bmp (case ignored), then sub/c.gif, then sub/deeper/d.jpg.
        {"third", pics, "000001", "1111", 1, 0, 3},
        {"second", pics, "000001", "1111", 2, 0, 2},
        {"deeper", pics, "000001", "1111", 2, 1, 1, "DEEPER"},
        {"random", pics, "000001", "0100", 0, 2, 1},
        {"flat", pics, "000000", "1111", 0, 0, 3},
        {"noMatch", pics, "000001", "1111", 0, 1, 1, "zzz"},
        {"hiddenOnly", work_ / "hidden/", "000001", "1111", 0, 0, 1},
        {"otherKinds", work_ / "kinds/", "000000", "1111", 0, 0, 1},
        {"missingFolder", work_ / "nothere/", "000001", "1111", 0, 0, 1},
        {"unexpandedHome", "~/Pictures/", "000000", "1111", 0, 0, 1},
    });
    ExpectInstalled(Vexal({"third"}), kGif, Style::Tiled);
    ExpectInstalled(Vexal({"SECOND"}), kBmp, Style::Stretched);
    ExpectInstalled(Vexal({"deeper"}), kJpg, Style::Stretched, 24);
    // Only one picture is a JPEG, so the random draw must take it.
    ExpectInstalled(Vexal({"random"}), kJpg, Style::Centred, 24);

    const struct {
        const char* name;
        std::string err;
    } failures[] = {
        {"flat", Line("条件に合致する画像ファイルがありません。\r\n3番目の画像が指定されましたが、2個の画像フ"
                      "ァイルしか抽出出来ませんでした。")},
        {"noMatch", Line("条件に合致する画像ファイルがありません。\r\n文字列\"zzz\"を含む画像ファイルが見つか"
                         "りませんでした。")},
        {"hiddenOnly", Line("条件に合致する画像ファイルがありません。\r\nTXT 1 個は読めない形式です。")},
        {"otherKinds",
         Line("条件に合致する画像ファイルがありません。\r\nPSD 2 個、XML 1 個は読めない形式です。"
              "WEBP 1 個は抽出形式で選ばれていません。")},
        {"missingFolder", Line("条件に合致する画像ファイルがありません。\r\nフォルダ " + work_ / "nothere/" +
                               " がありません。")},
        {"unexpandedHome",
         Line("条件に合致する画像ファイルがありません。\r\nフォルダ ~/Pictures/ がありません。")},
    };
    for (const auto& f : failures) {
        const RunResult r = Vexal({f.name});
        EXPECT_EQ(r.status, 1) << f.name;
        EXPECT_EQ(r.err, f.err) << f.name;
    }
}

// Regression: Qt hands the environment's locale to the C library, so with its windows
// up under a comma-decimal locale "No_n = 1.5" read as 1 and took the first picture.
TEST_F(EndToEndTest, NumbersReadTheSameUnderACommaDecimalLocaleWithTheWindows) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const bool available = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    std::setlocale(LC_ALL, previous.c_str());
    if (!available) GTEST_SKIP() << "the de_DE.UTF-8 locale is missing (scripts/setup makes it)";
    Settings({{"second", work_ / "pics/", "000000", "1111", 2, 0, 1}});
    {
        std::ifstream in(work_ / "vexal.ini", std::ios::binary);
        std::string ini((std::istreambuf_iterator<char>(in)), {});
        ini.replace(ini.find("No_n = 1\r\n"), 10, "No_n = 1.5\r\n");
        std::ofstream(work_ / "vexal.ini", std::ios::binary) << ini;
    }
    const std::string runtime = work_ / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ExpectInstalled(Vexal({"second"}, {{"VEXAL_NONINTERACTIVE", "0"},
                                       {"LC_ALL", "de_DE.UTF-8"},
                                       {"QT_QPA_PLATFORM", "xcb"},
                                       {"XDG_RUNTIME_DIR", runtime}}),
                    kBmp, Style::Stretched);
}

TEST_F(EndToEndTest, LocalTextFileAndLocalPage) {
    std::ofstream(work_ / "list.txt", std::ios::binary) << "   " << work_ / "pics/a.png"
                                                        << "  \r\npics/sub/c.gif\r\n"
                                                        << work_ / "pics/notes.txt"
                                                        << "\r\n";
    std::ofstream(work_ / "page.html", std::ios::binary)
        << "<html><body background=\"pics/B.bmp\">\r\n<img src=\"" << work_ / "pics/sub/deeper/d.jpg"
        << "\"><a href=\"pics/a.png\">a</a></body></html>\r\n";
    Settings({
        {"list", work_ / "list.txt", "000010", "1111", 1, 0, 2},
        {"page", work_ / "page.html", "111000", "1111", 2, 0, 2},
        {"pageFirst", work_ / "page.html", "111000", "1111", 0, 0, 1},
        {"missingList", work_ / "none.txt", "000010", "1111", 0, 0, 1},
    });
    // Relative lines of a text file are paths from the current folder.
    ExpectInstalled(Vexal({"list"}), kGif, Style::Tiled);
    ExpectInstalled(Vexal({"page"}), kJpg, Style::Stretched, 24);
    ExpectInstalled(Vexal({"pageFirst"}), kBmp, Style::Centred);
    const RunResult r = Vexal({"missingList"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Line("元ファイル " + work_ / "none.txt" + " が見つかりせん。"));
}

using Files = std::map<std::string, std::string>;

// Serves `files` by request path; anything else is a 404. The map may still be filled
// after the server started (with links naming its port), as long as no request came. A
// name without an extension is called a page ("Content-Type: text/html"), as picture
// services sometimes call their pictures.
std::unique_ptr<testing::LoopbackServer> Serve(std::shared_ptr<Files> files) {
    return std::make_unique<testing::LoopbackServer>([files](testing::ServerConnection& c, int) {
        const std::string request = c.ReadRequest();
        const std::size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        auto it = files->find(path);
        if (it == files->end()) {
            c.Send("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        } else {
            const bool bare = path.find('.', path.rfind('/')) == std::string::npos;
            c.Send("HTTP/1.1 200 OK\r\n" + std::string(bare ? "Content-Type: text/html\r\n" : "") +
                   "Content-Length: " + std::to_string(it->second.size()) + "\r\n\r\n" + it->second);
        }
        c.WaitForClose();
    });
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(EndToEndTest, WebPageAndWebImageOnALoopbackServer) {
    auto files = std::make_shared<Files>(Files{
        {"/site/img/pic.png", Slurp(work_ / "pics/a.png")},
        {"/abs/pic.jpg", Slurp(work_ / "pics/sub/deeper/d.jpg")},
        {"/root.gif", Slurp(work_ / "pics/sub/c.gif")},
        {"/direct.bmp", Slurp(work_ / "pics/B.bmp")},
        {"/error.png", "<html>Internal error</html>"},
    });
    auto server = Serve(files);
    // Links relative to the page's folder, absolute with the server named, from the
    // server's root, to a missing file, and to an error page under a picture's name.
    (*files)["/site/index.html"] = "<html><body>\r\n<img src=\"img/pic.png\">\r\n<img src=\"" +
                                   server->Url("/abs/pic.jpg") +
                                   "\">\r\n<img src=\"/root.gif\">\r\n<img src=\"gone.jpg\">\r\n"
                                   "<img src=\"/error.png\"></body></html>\r\n";
    const std::string page = server->Url("/site/index.html");
    Settings({
        {"relative", page, "010000", "1111", 0, 0, 1},
        {"absolute", page, "010000", "1111", 2, 0, 2},
        {"fromRoot", page, "010000", "1111", 1, 0, 3},
        {"gone", page, "010000", "1111", 0, 0, 4},
        {"errorPage", page, "010000", "1111", 0, 0, 5},
        {"image", server->Url("/direct.bmp"), "000000", "1111", 1, 0, 1},
    });
    ExpectInstalled(Vexal({"relative"}), kPng, Style::Centred);
    ExpectInstalled(Vexal({"absolute"}), kJpg, Style::Stretched, 24);
    ExpectInstalled(Vexal({"fromRoot"}), kGif, Style::Tiled);
    ExpectInstalled(Vexal({"image"}), kBmp, Style::Tiled);
    ExpectInstalled(Vexal({"-wp", server->Url("/site/img/pic.png")}), kPng, Style::Tiled);

    const std::vector<std::string> requests = server->requests();
    auto requested = [&requests](const std::string& line) {
        for (const auto& r : requests)
            if (r.rfind(line, 0) == 0) return true;
        return false;
    };
    EXPECT_TRUE(requested("GET /site/img/pic.png HTTP/1.1\r\n")) << "relative link on the page's folder";
    EXPECT_TRUE(requested("GET /abs/pic.jpg HTTP/1.1\r\n"));
    EXPECT_TRUE(requested("GET /root.gif HTTP/1.1\r\n"));

    const RunResult gone = Vexal({"gone"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_NE(gone.err.find("/site/gone.jpg"), std::string::npos) << gone.err;

    // An error page served under a picture's name is no picture: nothing is installed.
    std::filesystem::remove(work_ / "data/vexal/wallpaper.bmp");
    const RunResult error = Vexal({"errorPage"});
    EXPECT_EQ(error.status, 1);
    EXPECT_EQ(
        error.err,
        Line("pngファイルの読み出しに失敗しました\r\n画像ファイル /error.png を読み込めませんでした。"));
    EXPECT_FALSE(std::filesystem::exists(work_ / "data/vexal/wallpaper.bmp"));
    EXPECT_TRUE(NoWorkingFile());
}

// A picture 700 pixels wide, of one colour and of a shape a screen takes: what an entry
// with MinWidth = 640 may take.
constexpr int kWideWidth = 700, kWideHeight = 400;
constexpr std::uint32_t kWideColour = 0x40A0E0;

std::string WidePng(int width = kWideWidth, std::uint32_t colour = kWideColour) {
    QImage img(width, kWideHeight, QImage::Format_RGB32);
    img.fill(0xFF000000u | colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The page's own picture, photo pages and passing over what cannot be used: each entry
// takes its first candidate (or a random one) with MinWidth = 640 where it says so, and
// must install the one wide picture, or fail with the last candidate's message.
TEST_F(EndToEndTest, MainPictureOfAPageAndPassingOverWhatCannotBeUsed) {
    const std::string wide = WidePng(), small = Slurp(work_ / "pics/a.png");
    auto files = std::make_shared<Files>(Files{
        {"/wide.png", wide},
        {"/media/wide", wide},
        {"/small.png", small},
        {"/fake.jpg", "<!DOCTYPE html><html><p>no picture here</p></html>"},
        {"/wiki/File:Wide.jpg",
         "<html><head><link rel=\"icon\" href=\"/small.png\">\r\n<meta content=\"/media/wide\"\r\n"
         "  property=\"og:image\"></head><body><img src=\"/small.png\"></body></html>"},
        {"/self.jpg", "<html><meta property=og:image content=\"/self.jpg#top\"><img src=/small.png></html>"},
        {"/script.html", "<html><script>document.write('<img src=' + pick() + '>')</script></html>"},
        // A photo page told by what the server calls it: its first bytes are no markup.
        {"/potd", "Photo of the day\r\n<meta property=og:image content=/wide.png>"},
        {"/potd.html", "<meta property=\"og:image\" content=\"/potd\"><img src=\"/small.png\">"},
        // A listing's item: its rendition is wide enough, but its own page names the full
        // picture, after a narrow social cover.
        {"/thumbs/sunset_660x380.png", WidePng(660, 0x808080)},
        {"/item/1", "<html><meta property=og:image content=/small.png><img src=/media/wide>"},
        {"/listing.html", "<html><a href=\"/item/1\"><img src=\"/thumbs/sunset_660x380.png\"></a></html>"},
    });
    std::string narrowPage = "<html>";
    for (int i = 0; i < 20; ++i) {
        (*files)["/narrow/" + std::to_string(i) + ".png"] = small;
        narrowPage += "<img src=\"/narrow/" + std::to_string(i) + ".png\">";
    }
    (*files)["/twenty.html"] = narrowPage + "<img src=\"/wide.png\"></html>";
    (*files)["/twentyOne.html"] = narrowPage + "<img src=\"/small.png\"><img src=\"/wide.png\"></html>";
    auto server = Serve(files);
    (*files)["/article.html"] =
        "<html><head><link rel=\"apple-touch-icon\" href=\"/small.png\">\r\n"
        "<meta name=\"twitter:card\" content=\"summary_large_image\">\r\n"
        "<META CONTENT='" +
        server->Url("/media/wide") +
        "' PROPERTY='og:image'>\r\n</head>\r\n"
        "<body><img src=\"/small.png\" alt=\"logo\"> see " +
        server->Url("/small.png") + "</body></html>";
    (*files)["/mixed.html"] =
        "<html><img src=\"/gone.jpg\"><img src=\"/small.png\"><img src=\"/fake.jpg\">"
        "<a href=\"/self.jpg\">x</a><img src=\"/wide.png\"></html>";
    (*files)["/gallery.html"] = "<html><a href=\"/wiki/File:Wide.jpg\"><img src=\"/small.png\"></a></html>";
    (*files)["/random.html"] =
        "<html><img src=\"/small.png\"><img src=\"/narrow/1.png\"><img src=\"/wide.png\">"
        "<img src=\"/narrow/2.png\"><img src=\"/gone.png\"><img src=\"/fake.jpg\"></html>";
    const std::string page = server->Url("/");
    // A folder of one picture in several sizes, as desktops ship their wallpapers.
    std::filesystem::create_directories(work_ / "sizes");
    for (const char* name : {"640x60.png", "a.png", "b.png", "c.png", "d.png"})
        std::ofstream(work_ / (std::string("sizes/") + name), std::ios::binary) << small;
    std::ofstream(work_ / "sizes/wide.png", std::ios::binary) << wide;
    std::ofstream(work_ / "sizes/broken.png", std::ios::binary) << "not a picture";

    Settings({
        {"article", page + "article.html", "0111001", "1111", 0, 0, 1, "", 640},
        {"articleFlagOnly", page + "article.html", "0111001", "1111", 0, 0, 1},
        {"mixed", page + "mixed.html", "0110000", "1111", 0, 0, 1, "", 640},
        {"mixedWithoutMinWidth", page + "mixed.html", "0110000", "1111", 0, 0, 1},
        {"gallery", page + "gallery.html", "0010000", "1111", 0, 0, 1, "", 640},
        {"twenty", page + "twenty.html", "0100000", "1111", 0, 0, 1, "", 640},
        {"twentyOne", page + "twentyOne.html", "0100000", "1111", 0, 0, 1, "", 640},
        {"containing", page + "random.html", "0100000", "1111", 0, 1, 1, ".PNG", 640},
        {"random", page + "random.html", "0100000", "1111", 0, 2, 1, "", 640},
        {"folder", work_ / "sizes/", "000000", "1111", 0, 2, 1, "", 640},
        {"potd", page + "potd.html", "0100001", "1111", 0, 0, 1},
        {"listing", page + "listing.html", "0111001", "1111", 0, 0, 1, "", 640},
        {"script", page + "script.html", "0111001", "1111", 0, 0, 1},
        {"scriptOldEntry", page + "script.html", "0111000", "1111", 0, 0, 1},
    });
    auto expectWide = [&](const std::string& name) {
        SCOPED_TRACE(name);
        std::filesystem::remove(work_ / "data/vexal/wallpaper.bmp");
        const RunResult r = Vexal({name});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(NoWorkingFile());
        const QImage bitmap(QString::fromStdString(work_ / "data/vexal/wallpaper.bmp"), "BMP");
        EXPECT_EQ(bitmap.width(), kWideWidth);
        if (bitmap.width() == kWideWidth) {
            EXPECT_EQ(bitmap.pixel(350, 30) & 0xFFFFFF, kWideColour);
        }
    };
    // The page's own picture comes first: no narrow picture is even asked for, and its
    // name without an extension is a PNG by its first bytes.
    expectWide("article");
    expectWide("articleFlagOnly");
    // A 404, a narrow picture, a page under a picture's name and a photo page that names
    // itself are each passed over.
    expectWide("mixed");
    // A photo page's own picture, the page told by its first bytes or by its type.
    expectWide("gallery");
    expectWide("potd");
    expectWide("listing");
    // "Contains" goes on to the next name that contains the text.
    expectWide("containing");
    for (int round = 0; round < 8; ++round) expectWide("random");
    for (int round = 0; round < 8; ++round) expectWide("folder");

    const std::string narrow20 = server->Url("/narrow/19.png");
    const struct {
        const char* name;
        std::string err;
    } failures[] = {
        {"mixedWithoutMinWidth", Line("ファイル /gone.jpg が見つかりませんでした。")},
        // Twenty narrow pictures are all that is tried; the twenty-first would be wide.
        {"twenty",
         Line("画像ファイル " + narrow20 + " は幅 100 ピクセルで、640 ピクセル未満のため使えません。")},
        {"twentyOne",
         Line("画像ファイル " + narrow20 + " は幅 100 ピクセルで、640 ピクセル未満のため使えません。")},
        {"script",
         Line("条件に合致する画像ファイルがありません。\r\nこのページは画像をスクリプトで表示している可能"
              "性があります。vexalはスクリプトを実行しません。")},
        {"scriptOldEntry", Line("条件に合致する画像ファイルがありません。")},
    };
    for (const auto& f : failures) {
        const RunResult r = Vexal({f.name});
        EXPECT_EQ(r.status, 1) << f.name;
        EXPECT_EQ(r.err, f.err) << f.name;
        EXPECT_TRUE(NoWorkingFile()) << f.name;
    }

    const std::vector<std::string> requests = server->requests();
    auto count = [&requests](const std::string& line) {
        return std::count_if(requests.begin(), requests.end(),
                             [&](const std::string& r) { return r.rfind(line, 0) == 0; });
    };
    // The article's narrow pictures were never asked for, and the photo page's own
    // picture only through the page.
    EXPECT_EQ(count("GET /wiki/File:Wide.jpg HTTP/1.1\r\n"), 1);
    EXPECT_EQ(count("GET /narrow/19.png HTTP/1.1\r\n"), 2);
    EXPECT_EQ(count("GET /self.jpg HTTP/1.1\r\n"), 1) << "a self-linking photo page is read once";
}

// The path a page's link asks the loopback server for once the page's hosts are moved
// there: "https://h/p" and "//h/p" become "/h/p"; a path from the root stays.
std::string LoopbackPath(const std::string& link) {
    std::size_t from = 0;
    if (link.rfind("https://", 0) == 0)
        from = 8;
    else if (link.rfind("//", 0) == 0)
        from = 2;
    return from == 0 ? link : "/" + link.substr(from);
}

// Done when: on real pages of many kinds, one entry with img, a href, bare addresses and
// the page's own picture, first candidate and MinWidth = 640, installs the page's main
// picture. Every host the page names is moved onto the loopback server, the main picture
// is the one wide picture there, and every other picture the page names is narrow.
TEST_F(EndToEndTest, RealPagesInstallTheirMainPicture) {
    const std::string wide = WidePng(), small = Slurp(work_ / "pics/a.png");
    auto files = std::make_shared<Files>();
    auto server = Serve(files);
    const std::string base = server->Url("/");                      // "http://127.0.0.1:PORT/"
    const std::string authority = base.substr(5, base.size() - 6);  // "//127.0.0.1:PORT"
    std::vector<Entry> entries;
    const auto& pages = testing::RealPages();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const testing::RealPage& page = pages[i];
        // The hosts the page names, its own first.
        std::vector<std::string> hosts;
        auto addHost = [&hosts](const std::string& link) {
            const std::size_t start = link.rfind("https://", 0) == 0 ? 8 : link.rfind("//", 0) == 0 ? 2 : 0;
            if (start == 0) return;
            const std::string host = link.substr(start, link.find('/', start) - start);
            if (std::find(hosts.begin(), hosts.end(), host) == hosts.end()) hosts.push_back(host);
        };
        addHost(page.url);
        addHost(page.main);
        for (const std::string& c : page.rest) addHost(c);
        std::string html = page.html;
        auto replaceAll = [&html](const std::string& from, const std::string& to) {
            for (std::size_t at = html.find(from); at != std::string::npos;
                 at = html.find(from, at + to.size()))
                html.replace(at, from.size(), to);
        };
        for (const std::string& h : hosts) {
            replaceAll("https://" + h + "/", base + h + "/");
            replaceAll("\"//" + h + "/", "\"" + authority + "/" + h + "/");
        }
        (*files)[LoopbackPath(page.url)] = html;
        for (const std::string& c : page.rest)
            if (c != "=") (*files)[LoopbackPath(c)] = small;
        (*files)[LoopbackPath(page.main)] = wide;
        entries.push_back({"page" + std::to_string(i), server->Url(LoopbackPath(page.url)), "0111001", "1111",
                           0, 0, 1, "", 640});
    }
    Settings(entries);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(pages[i].kind);
        std::filesystem::remove(work_ / "data/vexal/wallpaper.bmp");
        const RunResult r = Vexal({"page" + std::to_string(i)});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(NoWorkingFile());
        const QImage bitmap(QString::fromStdString(work_ / "data/vexal/wallpaper.bmp"), "BMP");
        EXPECT_EQ(bitmap.width(), kWideWidth);
        const std::vector<std::string> requests = server->requests();
        const std::string line = "GET " + LoopbackPath(pages[i].main) + " HTTP/1.1\r\n";
        EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [&](const std::string& q) {
            return q.rfind(line, 0) == 0;
        })) << line;
    }
}

// The pages and feeds saved under tests/data/pages, as their manifest lists them.
struct CollectedPage {
    std::string file, kind, url, contentType, wanted;  // wanted "none": nothing there to want
    // Addresses the page names that a person would not want although they are wide: a
    // site's cover, its default share picture, its icon or logo, blank-separated.
    std::vector<std::string> decoys;
};

std::vector<CollectedPage> CollectedPages() {
    std::ifstream manifest(std::string(VEXAL_PAGES_DIR) + "/MANIFEST.tsv");
    std::vector<CollectedPage> pages;
    std::string line;
    std::getline(manifest, line);  // the column names
    while (std::getline(manifest, line)) {
        std::vector<std::string> cells;
        for (std::size_t start = 0;;) {
            const std::size_t tab = line.find('\t', start);
            cells.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (cells.size() < 5) continue;
        pages.push_back({cells[0], cells[1], cells[2], cells[3], cells[4], {}});
        if (cells.size() >= 8) {
            std::istringstream decoys(cells[7]);
            for (std::string decoy; decoys >> decoy;) pages.back().decoys.push_back(decoy);
        }
    }
    return pages;
}

// Moves every host a text names onto the loopback server at `base` ("http://127.0.0.1:P/"),
// under a folder of its name: "https://h/p", "http://h/p" and "//h/p" become
// "http://127.0.0.1:P/h/p", and JSON's "https:\/\/h\/p" the same with its escapes.
std::string OntoLoopback(const std::string& text, const std::string& base) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    const std::string escapedBase = [&] {
        std::string e;
        for (char c : base) e += c == '/' ? std::string("\\/") : std::string(1, c);
        return e;
    }();
    auto hostChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const bool escaped = text.compare(i, 4, "\\/\\/") == 0;
        if (text.compare(i, 2, "//") != 0 && !escaped) {
            out += text[i++];
            continue;
        }
        const std::size_t hostFrom = i + (escaped ? 4 : 2);
        std::size_t j = hostFrom;
        while (j < text.size() && hostChar(text[j])) ++j;
        const std::string host = text.substr(hostFrom, j - hostFrom);
        const bool slash = escaped ? text.compare(j, 2, "\\/") == 0 : j < text.size() && text[j] == '/';
        if (host.find('.') == std::string::npos || !slash) {
            out += text[i++];
            continue;
        }
        // Drop the scheme already copied: the loopback address brings its own.
        for (const char* scheme : {"https:", "http:"})
            if (out.size() >= std::strlen(scheme) &&
                out.compare(out.size() - std::strlen(scheme), std::string::npos, scheme) == 0)
                out.resize(out.size() - std::strlen(scheme));
        out += (escaped ? escapedBase : base) + host;
        i = j;
    }
    return out;
}

// "/host/path" for "http://host/path" or "https://host/path"; "" for anything else, or
// for a site's root.
std::string HostAndPath(const std::string& url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string::npos || url.find('/', scheme + 3) == std::string::npos) return "";
    const std::string hostAndPath = url.substr(scheme + 2);
    return hostAndPath.back() == '/' ? "" : hostAndPath;
}

// Done when: on real pages and feeds of many kinds, none of them among the program's own
// earlier test pages, the main-picture entry of the README installs the picture a person
// would want from each: every host the page names is moved onto the loopback server, the
// wanted picture is the one wide picture there of its width, the page's decoys are wide
// at another, and everything else it asks for is narrow. VEXAL_COMPARE_BINARY names another build to run the
// same entries with, for the table of before and after.
TEST_F(EndToEndTest, CollectedPagesAndFeedsInstallTheWantedPicture) {
    const std::string wide = WidePng(), small = Slurp(work_ / "pics/a.png");
    const std::string decoyPicture = WidePng(kWideWidth + 100, 0x808080);
    const std::vector<CollectedPage> pages = CollectedPages();
    ASSERT_GE(pages.size(), 21u);
    // Request path -> (Content-Type, body); any other path is a narrow picture.
    auto served = std::make_shared<std::map<std::string, std::pair<std::string, std::string>>>();
    auto server =
        std::make_unique<testing::LoopbackServer>([served, small](testing::ServerConnection& c, int) {
            const std::string request = c.ReadRequest();
            const std::size_t start = request.find(' ') + 1;
            const std::string path = request.substr(start, request.find(' ', start) - start);
            auto it = served->find(path);
            const std::pair<std::string, std::string> picture{"image/png", small};
            const auto& [type, body] = it == served->end() ? picture : it->second;
            c.Send("HTTP/1.1 200 OK\r\nContent-Type: " + type +
                   "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
            c.WaitForClose();
        });
    const std::string base = server->Url("/");
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const CollectedPage& page = pages[i];
        // Served under its file's name: some were saved without their own address.
        const std::string path = "/pages/" + page.file;
        (*served)[path] = {page.contentType,
                           OntoLoopback(Slurp(std::string(VEXAL_PAGES_DIR) + "/" + page.file), base)};
        // A listing's item page is served where the listing's links lead: under its host,
        // and from the root, where a root-relative link on a page served here points.
        const std::string url = page.url.substr(0, page.url.find(' '));
        if (std::string own = HostAndPath(url); own.size() > 1) {
            served->emplace(own, (*served)[path]);
            served->emplace(own.substr(own.find('/', 1)), (*served)[path]);
        }
        // A decoy is served wide, at a width of its own: taking it shows.
        for (const std::string& decoy : page.decoys)
            (*served)[OntoLoopback(decoy, base).substr(base.size() - 1)] = {"image/png", decoyPicture};
        if (page.wanted != "none") {
            (*served)[OntoLoopback(page.wanted, base).substr(base.size() - 1)] = {"image/png", wide};
            const std::string own = HostAndPath(page.wanted);
            served->emplace(own.substr(own.find('/', 1)),
                            std::pair<std::string, std::string>{"image/png", wide});
        }
        entries.push_back(
            {"page" + std::to_string(i), base + path.substr(1), "0111001", "11111", 2, 0, 1, "", 640});
    }
    Settings(entries);
    const char* compare = std::getenv("VEXAL_COMPARE_BINARY");
    auto installedWide = [&](const RunResult& r, const CollectedPage& page) {
        const QImage bitmap(QString::fromStdString(work_ / "data/vexal/wallpaper.bmp"), "BMP");
        if (page.wanted == "none") return r.status != 0;
        return r.status == 0 && bitmap.width() == kWideWidth;
    };
    int wanted = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(pages[i].file);
        std::string before = "-";
        if (compare) {
            std::filesystem::remove(work_ / "data/vexal/wallpaper.bmp");
            testing::ProgramOptions options;
            options.dir = work_.path();
            options.env = testing::UnattendedX11Env(work_.path(), xvfb_.display());
            before =
                installedWide(testing::RunProgram(compare, {"page" + std::to_string(i)}, options), pages[i])
                    ? "yes"
                    : "no";
        }
        std::filesystem::remove(work_ / "data/vexal/wallpaper.bmp");
        const RunResult r = Vexal({"page" + std::to_string(i)});
        const bool ok = installedWide(r, pages[i]);
        wanted += ok;
        EXPECT_TRUE(NoWorkingFile());
        std::printf("| %s | %s | %s | %s |\n", pages[i].kind.c_str(), pages[i].file.c_str(), before.c_str(),
                    ok              ? "yes"
                    : r.status == 0 ? "no: another picture installed"
                                    : ("no: " + r.err.substr(0, r.err.find('\n'))).c_str());
    }
    EXPECT_GE(wanted * 10, static_cast<int>(pages.size()) * 9) << wanted << " of " << pages.size();
}

// Random choice must never install an icon or a logo: on every collected page and feed,
// no candidate of the main-picture entry is an address the page names in an icon link, a
// tile or a logo tag.
TEST(CollectedPagesTest, NoCandidateIsAnIconOrLogo) {
    SiteEntry entry;
    entry.Filter = {false, true, true, true, false, false, true};
    entry.Ext = {true, true, true, true, true};
    entry.MinWidth = 640;
    for (const CollectedPage& page : CollectedPages()) {
        SCOPED_TRACE(page.file);
        const std::string text = Slurp(std::string(VEXAL_PAGES_DIR) + "/" + page.file);
        std::vector<std::string> marks;
        std::vector<HtmlAttribute> attributes;
        for (std::size_t lt = text.find('<'); lt != std::string::npos; lt = text.find('<', lt + 1)) {
            const bool link = HtmlTagAt(text, lt, "link");
            if (!link && !HtmlTagAt(text, lt, "meta")) continue;
            ReadHtmlAttributes(text, lt + 5, attributes);
            const HtmlAttribute* what = FindHtmlAttribute(attributes, link ? "rel" : "name");
            if (!what) what = FindHtmlAttribute(attributes, "property");
            const HtmlAttribute* where = FindHtmlAttribute(attributes, link ? "href" : "content");
            const std::string kind = what ? std::string(what->value) : "";
            if (where && !where->value.empty() &&
                (kind.find("icon") != std::string::npos || kind.find("TileImage") != std::string::npos ||
                 kind.find("logo") != std::string::npos))
                marks.emplace_back(where->value);
        }
        std::string source;
        DecodedResponseToSourceText(text, page.contentType, source);
        const std::vector<std::string> found =
            ExtractLinks(source, entry, SourceKind::WebPage, nullptr, {page.contentType});
        for (const std::string& mark : marks)
            EXPECT_EQ(std::count(found.begin(), found.end(), mark), 0) << mark;
    }
}

// Regression: on a Japanese page <img src="画像/桜.jpg"> was asked for as "GET /.jpg", since
// the page's bytes outside printable ASCII were dropped. With the page's own picture rule
// the page is read by its charset; the path goes out percent-encoded from UTF-8 and the
// query in the page's own encoding; "contains" sees the names as the page writes them.
TEST_F(EndToEndTest, JapanesePageNamesWithThePagesOwnPictureRule) {
    const std::string png = Slurp(work_ / "pics/a.png"), bmp = Slurp(work_ / "pics/B.bmp");
    auto files = std::make_shared<Files>(Files{
        {"/%E7%94%BB%E5%83%8F/%E6%A1%9C.png", png},
        {"/photo?name=%8D%F7", bmp},
        {"/%E6%A2%85.bmp", bmp},
        // Shift_JIS, declared nowhere: told by its bytes.
        {"/sjis.html", "<html><img src=\"\x89\xe6\x91\x9c/\x8d\xf7.png\"></html>"},
        {"/query.html",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
         "<meta property=\"og:image\" content=\"/photo?name=\x8d\xf7\">"},
        {"/utf8.html", "<meta charset=\"utf-8\"><img src=\"%E6%A2%85.bmp\"><img src=\"/画像/桜.png\">"},
    });
    auto server = Serve(files);
    Settings({
        {"sjis", server->Url("/sjis.html"), "0100001", "1111", 0, 0, 1},
        {"query", server->Url("/query.html"), "0000001", "1111", 0, 0, 1},
        {"containsEscaped", server->Url("/utf8.html"), "0100001", "1111", 0, 1, 1, "梅"},
        {"containsWritten", server->Url("/utf8.html"), "0100001", "1111", 0, 1, 1, "桜"},
        {"sjisWithoutTheRule", server->Url("/sjis.html"), "0100000", "1111", 0, 0, 1},
    });
    ExpectInstalled(Vexal({"sjis"}), kPng, Style::Centred);
    ExpectInstalled(Vexal({"query"}), kBmp, Style::Centred);
    ExpectInstalled(Vexal({"containsEscaped"}), kBmp, Style::Centred);
    ExpectInstalled(Vexal({"containsWritten"}), kPng, Style::Centred);
    // Without the rule the page is read as before.
    const RunResult old = Vexal({"sjisWithoutTheRule"});
    EXPECT_EQ(old.status, 1);
    EXPECT_EQ(old.err, Line("ファイル /.png が見つかりませんでした。"));
}

// Debian's own GNOME wallpapers are all WebP and SVG: with only the WebP flag, an entry on
// that folder takes its first WebP picture, and the bitmap and the screen show exactly what
// libwebp's own tool decodes; each of its SVG drawings installs too.
TEST_F(EndToEndTest, WebpFolderOfTheDesktopsOwnWallpapers) {
    const std::string folder = "/usr/share/backgrounds/gnome/", first = folder + "adwaita-d.webp";
    if (!std::filesystem::exists(first) || !std::filesystem::exists("/usr/bin/dwebp"))
        GTEST_SKIP() << "gnome-backgrounds or dwebp is not installed";
    Settings(
        {{"gnome", folder, "000000", "00001", 0, 0, 1}, {"gnomeWithoutWebp", folder, "000000", "1111", 0}});
    const RunResult r = Vexal({"gnome"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(NoWorkingFile());

    SpawnCommandRunner runner;
    ASSERT_EQ(runner.Run({"/usr/bin/dwebp", "-quiet", first, "-bmp", "-o", work_ / "ref.bmp"}).status, 0);
    const std::string ours = Slurp(work_ / "data/vexal/wallpaper.bmp"), theirs = Slurp(work_ / "ref.bmp");
    ASSERT_GT(ours.size(), 54u);
    ASSERT_GT(theirs.size(), 54u);
    const std::size_t theirRows =
        static_cast<unsigned char>(theirs[10]) | static_cast<unsigned char>(theirs[11]) << 8;
    EXPECT_TRUE(ours.substr(54) == theirs.substr(theirRows)) << "bitmap rows unlike libwebp's";

    // Centred: the middle of the 4096 × 4096 picture on the 640 × 480 screen.
    const QImage picture(QString::fromStdString(work_ / "ref.bmp"), "BMP");
    ASSERT_EQ(picture.width(), 4096);
    const testing::RootPixels root = testing::ReadRoot(xvfb_.display());
    ASSERT_EQ(root.width, 640);
    const int left = (4096 - 640) / 2, top = (4096 - 480) / 2;
    std::int64_t differing = 0;
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 7)
            differing += root.At(x, y) != (picture.pixel(x + left, y + top) & 0xFFFFFF);
    EXPECT_EQ(differing, 0) << "screen pixels unlike the picture's middle";

    // Without the flag the folder holds no picture at all.
    const RunResult none = Vexal({"gnomeWithoutWebp"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err.rfind("vexal 1.00: 条件に合致する画像ファイルがありません。\r\n", 0), 0u) << none.err;
    EXPECT_NE(none.err.find(" 個は抽出形式で選ばれていません。"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("WEBP "), std::string::npos) << none.err;

    // Every drawing of the folder, filling the screen.
    std::vector<std::string> drawings;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".svg") drawings.push_back(e.path().filename().string());
    for (const std::string& name : drawings) {
        Settings({{"drawing", folder, "000000", "00001", 3, 1, 1, name}});
        const RunResult drawn = Vexal({"drawing"});
        EXPECT_EQ(drawn.status, 0) << name << ": " << drawn.err;
        const QImage bitmap(QString::fromStdString(work_ / "data/vexal/wallpaper.bmp"), "BMP");
        EXPECT_EQ(bitmap.size(), QSize(640, 640)) << name;
        // Regression: a blended layer was painted opaque over the blobs drawings, which
        // installed as one flat colour.
        std::set<QRgb> colours;
        for (int y = 0; y < bitmap.height(); y += 40)
            for (int x = 0; x < bitmap.width(); x += 40) colours.insert(bitmap.pixel(x, y));
        EXPECT_GT(colours.size(), 2u) << name;
    }
}

TEST_F(EndToEndTest, FailuresEndWithStatusOneAndLeaveTheScreen) {
    Settings({{"folder", work_ / "pics/", "000001", "1111", 0, 0, 1}});
    std::ofstream(work_ / "fake.jpg") << "<html>not a picture</html>";
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string err;
    } rows[] = {
        {"missing", {"-wp", "pics/none.png"}, Line("画像ファイル pics/none.png が見つかりません。")},
        {"noImage", {"-wp", "pics/notes.txt"}, Line("画像ファイルが指定されませんでした。")},
        {"notAPicture",
         {"-wp", "fake.jpg"},
         Line("画像ファイル fake.jpg を画像として読み込めませんでした。")},
        // Regression: a preview nobody can see ended with status 1 and no word.
        {"preview",
         {"folder", "-preview"},
         "vexal 1.00: 画面がないため、プレビューを表示できません。\r\n"
         "-preview を付けずに起動すると、確認せずに壁紙を変更します。\n"},
        // Regression: a run without a display learnt only that the change failed.
        {"noDisplay",
         {"-wp", "pics/a.png"},
         "vexal: 壁紙の変更に失敗しました。\r\n壁紙を表示する画面が見つかりません（DISPLAY "
         "がなく、対応するデスク"
         "トップもありません）。\n"},
    };
    for (const auto& r : rows) {
        std::map<std::string, std::string> env;
        if (std::string(r.name) == "noDisplay") env = {{"DISPLAY", ""}, {"VEXAL_DESKTOP", ""}};
        const RunResult run = Vexal(r.args, env);
        EXPECT_EQ(run.status, 1) << r.name;
        EXPECT_EQ(run.err, r.err) << r.name;
        // Regression: where only the system refused, the new bitmap stayed in the data
        // folder although the screen never showed it.
        EXPECT_TRUE(ScreenIsBlank()) << r.name;
        EXPECT_TRUE(NoWorkingFile()) << r.name;
    }
}

// Regression: the data folder's records were written through symbolic links, so a
// history.txt linked to a file elsewhere had that file replaced. After a scheduled run the
// files the links point to are as they were, and the records are files of their own.
TEST_F(EndToEndTest, RecordsAreNeverWrittenThroughLinks) {
    Settings({{"tiles", work_ / "pics/a.png", "000000", "1111", 1}});
    const std::filesystem::path data = work_ / "data/vexal", outside = work_ / "outside";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(outside);
    const char* const linked[] = {"history.txt", "last-run-tiles", "wallpaper-style"};
    for (const char* name : linked) {
        std::ofstream(outside / name, std::ios::binary) << "the user's own";
        std::filesystem::create_symlink(outside / name, data / name);
    }
    ExpectInstalled(Vexal({"tiles", "-quiet"}), kPng, Style::Tiled);
    for (const char* name : linked) {
        std::ifstream in(outside / name, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the user's own") << name;
    }
    for (const char* name : {"history.txt", "last-run-tiles"}) {
        EXPECT_FALSE(std::filesystem::is_symlink(data / name)) << name;
        EXPECT_TRUE(std::filesystem::is_regular_file(data / name)) << name;
    }
    // Regression: the records were read without a bound, so a link to an endless device
    // held the run until the memory ran out. They are read as no records and replaced.
    for (const char* name : {"history.txt", "last-run-tiles"}) {
        std::filesystem::remove(data / name);
        std::filesystem::create_symlink("/dev/zero", data / name);
    }
    ExpectInstalled(Vexal({"tiles", "-quiet"}), kPng, Style::Tiled);
    for (const char* name : {"history.txt", "last-run-tiles"})
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(data / name))) << name;
}

// Regression: a run whose desktop refused the picture still took the data folder's
// wallpaper, history and oldest kept wallpaper, so a timer started without the session's
// display cost the user their kept wallpapers. Three such runs after four good ones leave
// every file of the data folder as it was, and going back still finds the good ones.
TEST_F(EndToEndTest, FailingDesktopChangesNothing) {
    Settings({{"stretch", work_ / "pics/sub/c.gif", "000000", "1111", 2}});
    for (const char* picture : {"pics/a.png", "pics/B.bmp", "pics/sub/c.gif", "pics/sub/deeper/d.jpg"})
        ASSERT_EQ(Vexal({"-wp", picture}).status, 0) << picture;
    const auto folder = [&] {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(work_ / "data/vexal")) {
            std::ifstream in(e.path(), std::ios::binary);
            files[e.path().filename()] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return files;
    };
    const std::map<std::string, std::string> before = folder();
    ASSERT_EQ(before.count("vexal-back-3.bmp") + before.count("vexal-back-1.bmp"), 2u);

    // A display nobody serves: the lowest number with neither a socket nor a lock.
    int unserved = 90;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(unserved)) ||
           std::filesystem::exists("/tmp/.X" + std::to_string(unserved) + "-lock"))
        ++unserved;
    const std::map<std::string, std::string> noServer = {{"DISPLAY", ":" + std::to_string(unserved)}};
    // GNOME with neither a session bus nor a display to start one from, where it is installed.
    SpawnCommandRunner runner;
    const bool gnome = runner.Run({"gsettings", "list-keys", "org.gnome.desktop.background"}).status == 0;
    const std::map<std::string, std::string> noBus = {{"VEXAL_DESKTOP", "gnome"}, {"DISPLAY", ""}};
    const struct {
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
    } failing[] = {
        {{"-wp", "pics/a.png"}, noServer},
        {{"stretch"}, gnome ? noBus : noServer},
        {{"-back"}, noServer},
    };
    for (const auto& run : failing) {
        const RunResult r = Vexal(run.args, run.env);
        EXPECT_EQ(r.status, 1) << run.args[0] << ": " << r.err;
        EXPECT_EQ(r.err.rfind("vexal: 壁紙の変更に失敗しました。\r\n", 0), 0u) << r.err;
        EXPECT_TRUE(folder() == before) << run.args[0] << ": the data folder as it was";
        EXPECT_TRUE(NoWorkingFile()) << run.args[0];
    }
    ExpectInstalled(Vexal({"-back"}), kGif, Style::Centred);
    ExpectInstalled(Vexal({"-back"}), kBmp, Style::Centred);
    ExpectInstalled(Vexal({"-back"}), kPng, Style::Centred);
    EXPECT_EQ(Vexal({"-back"}).status, 1) << "three kept, three gone back to";
}

// Broke: a server that never ended a picture's body filled the disk, 23 GB in 20 s. The
// real program works in a folder on a file system of its own with 16 MiB above the floor
// free (mounted in a user namespace, which needs no root), against an endless body and
// against a length beyond any picture: each run stops with its message, leaves nothing
// there, and the wallpaper stays.
TEST_F(EndToEndTest, PictureBodiesStopAtTheirBound) {
    if (std::system("unshare --user --map-root-user --mount true 2>/dev/null") != 0)
        GTEST_SKIP() << "no user namespace to mount a small file system in";
    testing::LoopbackServer server([](testing::ServerConnection& c, int) {
        const bool announced = c.ReadRequest().rfind("GET /announced.jpg ", 0) == 0;
        c.Send(announced ? "HTTP/1.1 200 OK\r\nContent-Length: 1073741825\r\n\r\n"
                         : "HTTP/1.0 200 OK\r\n\r\n");
        const std::string block(1 << 16, 'x');
        while (c.Send(block)) {
        }
    });
    std::filesystem::create_directories(work_ / "small");
    std::filesystem::create_directories(work_ / "data/vexal");
    std::ofstream(work_ / "data/vexal/wallpaper.bmp") << "the previous wallpaper";
    const std::pair<const char*, const char*> rows[] = {
        {"/endless.jpg", "を保存するとディスクの空き容量が 1 GiB を下回るため取得を中止しました。"},
        {"/announced.jpg", "は大きすぎるため取得を中止しました（上限 1 GiB）。"},
    };
    for (const auto& [path, words] : rows) {
        testing::ProgramOptions options;
        options.dir = work_.path();
        options.env = {
            {"VEXAL_NONINTERACTIVE", "1"}, {"HOME", work_.path()}, {"XDG_DATA_HOME", work_ / "data"}};
        // What the run leaves on the small file system is listed before the file system goes.
        const RunResult r = testing::RunProgram("/usr/bin/unshare",
                                                {"--user", "--map-root-user", "--mount", "/bin/sh", "-c",
                                                 "mount -t tmpfs -o size=1040m tmpfs small && cd small && "
                                                 "\"$0\" -wp \"$1\"; s=$?; ls -A; exit $s",
                                                 VEXAL_BINARY, server.Url(path)},
                                                options);
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.err, Line("画像ファイル " + server.Url(path) + " " + words)) << path;
        EXPECT_EQ(r.out, "") << path;
        EXPECT_EQ(Slurp(work_ / "data/vexal/wallpaper.bmp"), "the previous wallpaper") << path;
    }
}

// Regression: a file without WinFolderWPname traded the data folder, lock and all, for the
// picture, and every later run failed until the user found the file it had become.
TEST_F(EndToEndTest, SettingsThatNameNoFileNeverMoveAFolder) {
    const std::filesystem::path data = work_ / "data/vexal";
    const Entry entry("pic", work_ / "pics/B.bmp");
    const std::string head = "'vexal   ver.1.00\r\n\r\nNewMsg = (new)\r\nTimeOut = 5\r\n";
    // The folder and its lock exist, as after any earlier run.
    Settings({entry});
    ExpectInstalled(Vexal({"pic"}), kBmp, Style::Centred);
    ASSERT_TRUE(std::filesystem::is_directory(data));
    const auto before = std::filesystem::directory_iterator(data);
    std::vector<std::string> held;
    for (const auto& e : before) held.push_back(e.path().filename());
    std::filesystem::create_directories(work_ / "sub");

    for (const char* key : {"WinFolderWPname", "CacheFileName"}) {
        for (const char* value : {"", ".", "..", "sub/x.bmp", "sub\\x.bmp", "/", "../data"}) {
            for (const std::vector<std::string>& args :
                 {std::vector<std::string>{"pic"}, std::vector<std::string>{"-wp", "pics/a.png"}}) {
                SCOPED_TRACE(std::string(key) + " = " + value + ", " + args[0]);
                Settings({entry}, head + key + " = " + value + "\r\n");
                const RunResult run = Vexal(args);
                EXPECT_EQ(run.status, 1);
                EXPECT_EQ(run.err, Line(std::string("設定ファイル vexal.ini の ") + key + " = " + value +
                                        " はファイル名として使えません。\r\n空欄、.、.. や / \\ "
                                        "を含む名前は使えません。"));
                EXPECT_TRUE(std::filesystem::is_directory(data));
                EXPECT_TRUE(std::filesystem::is_directory(work_ / "sub"));
                EXPECT_TRUE(std::filesystem::is_directory(work_ / "pics"));
                for (const std::string& name : held)
                    EXPECT_TRUE(std::filesystem::exists(data / name)) << name;
                EXPECT_TRUE(NoWorkingFile());
                EXPECT_FALSE(std::filesystem::exists(work_ / ".bmp"));
                EXPECT_FALSE(std::filesystem::exists(work_ / ".png"));
            }
        }
    }
    // A plain name that happens to be a folder's: the folder stays, the run fails.
    std::filesystem::create_directories(data / "held");
    std::ofstream(data / "held/inside") << "kept";
    Settings({entry}, head + "WinFolderWPname = held\r\n");
    EXPECT_EQ(Vexal({"pic"}).status, 1);
    EXPECT_TRUE(std::filesystem::exists(data / "held/inside"));
    EXPECT_TRUE(NoWorkingFile());
    // Without either key (the hand-written file of the report), the defaults serve.
    Settings({entry}, head);
    ExpectInstalled(Vexal({"pic"}), kBmp, Style::Centred);
    ExpectInstalled(Vexal({"-wp", "pics/a.png"}), kPng, Style::Centred);
}

TEST_F(EndToEndTest, GnomeKeepsTheSettingInItsOwnStore) {
    SpawnCommandRunner runner;
    if (runner.Run({"gsettings", "list-keys", "org.gnome.desktop.background"}).status != 0)
        GTEST_SKIP() << "gsettings or the GNOME schemas are not installed";
    Settings({{"stretch", work_ / "pics/a.png", "000000", "1111", 2}});
    const std::map<std::string, std::string> env = {
        {"VEXAL_DESKTOP", "gnome"}, {"GSETTINGS_BACKEND", "keyfile"}, {"XDG_CONFIG_HOME", work_ / "config"}};
    const RunResult r = Vexal({"stretch"}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    const std::string keyfile = Slurp(work_ / "config/glib-2.0/settings/keyfile");
    EXPECT_NE(keyfile.find("picture-options='stretched'"), std::string::npos) << keyfile;
    const std::string marker = "picture-uri='file://";
    const std::size_t at = keyfile.find(marker);
    ASSERT_NE(at, std::string::npos) << keyfile;
    const std::string shown =
        keyfile.substr(at + marker.size(), keyfile.find('\'', at + marker.size()) - at - marker.size());
    EXPECT_EQ(std::filesystem::path(shown).parent_path(), std::filesystem::path(work_ / "data/vexal"));
    EXPECT_EQ(Slurp(shown), Slurp(work_ / "data/vexal/wallpaper.bmp")) << "the desktop sees the new bitmap";
    EXPECT_TRUE(NoWorkingFile());
}

// Broke: without a session bus (a run from cron) gsettings warns, exits 0 and changes
// nothing, and the run reported success.
TEST_F(EndToEndTest, GnomeWithoutItsSessionBusIsAFailure) {
    SpawnCommandRunner runner;
    if (runner.Run({"gsettings", "list-keys", "org.gnome.desktop.background"}).status != 0)
        GTEST_SKIP() << "gsettings or the GNOME schemas are not installed";
    Settings({{"stretch", work_ / "pics/a.png", "000000", "1111", 2}});
    // dconf, the usual store, with neither a bus nor a display to start one from.
    const RunResult r = Vexal({"stretch"}, {{"VEXAL_DESKTOP", "gnome"}, {"DISPLAY", ""}});
    EXPECT_EQ(r.status, 1);
    // The second line says what gsettings warned, or, when dconf did not get to warn before
    // gsettings ended, that the value read back was not the one set.
    const std::string head = "vexal: 壁紙の変更に失敗しました。\r\n";
    const bool warned = r.err.rfind(head + "デスクトップのツール gsettings の警告：", 0) == 0;
    const bool readBack =
        r.err == head + "デスクトップのツール gsettings で変えた値が設定に残っていませんでした。\n";
    EXPECT_TRUE(warned || readBack) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    EXPECT_TRUE(NoWorkingFile());
}

// Where a row of the screen shows a red run beside a green run and nothing else of
// either: 1 red on the left, -1 green on the left, 0 no such row.
int RedBesideGreen(const testing::RootPixels& root, int top, int bottom) {
    for (int y = top; y < bottom; ++y) {
        int reds = 0, greens = 0, lastRed = -1, firstRed = root.width, lastGreen = -1,
            firstGreen = root.width;
        for (int x = 0; x < root.width; ++x) {
            const std::uint32_t p = root.At(x, y);
            if (Near(p, 0xFF0000, 40)) {
                ++reds;
                firstRed = std::min(firstRed, x);
                lastRed = x;
            } else if (Near(p, 0x00FF00, 40)) {
                ++greens;
                firstGreen = std::min(firstGreen, x);
                lastGreen = x;
            }
        }
        if (reds < 20 || greens < 20 || std::abs(reds - greens) > 2) continue;
        if (lastRed < firstGreen) return 1;
        if (lastGreen < firstRed) return -1;
    }
    return 0;
}

// An entry with a picture for each screen, on two monitors, with the preview: the window
// shows the two pictures side by side; its cancel leaves the screen and the data folder
// as they were, and 壁紙に設定する puts each picture on its own monitor.
TEST(EndToEndPreviewTest, TwoMonitorsShowBothPicturesAndInstallBoth) {
    testing::XvfbServer xvfb("960x400x24");
    if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    ASSERT_TRUE(testing::SetMonitors(xvfb.display(), {{480, 400}, {480, 400}}));
    testing::TempDir work;
    std::filesystem::create_directories(work / "two");
    for (const auto& [name, colour] : {std::pair{"a.png", Qt::red}, std::pair{"b.png", Qt::green}}) {
        QImage plain(120, 100, QImage::Format_RGB32);
        plain.fill(colour);
        ASSERT_TRUE(plain.save(QString::fromStdString(work / (std::string("two/") + name))));
    }
    std::ofstream(work / "vexal.ini", std::ios::binary)
        << "'vexal   ver.1.00\r\n\r\nCacheFileName = wpcache\r\nWinFolderWPname = wallpaper.bmp\r\n-\r\n"
        << "Name = two\r\nUrl = " << work.path() << "/two/\r\nExt = 1111\r\nWpState = 3\r\nNo = 0\r\n"
        << "No_n = 1\r\nEachScreen = 1\r\n";
    testing::ProgramOptions options;
    options.dir = work.path();
    options.env = testing::UnattendedX11Env(work.path(), xvfb.display());
    options.env["VEXAL_NONINTERACTIVE"] = "";
    options.env["QT_QPA_PLATFORM"] = "xcb";
    SpawnCommandRunner runner;
    const std::string display = xvfb.display();
    // The preview once it shows both pictures, and a click on one of its buttons.
    auto previewShown = [&] {
        int side = 0;
        EXPECT_TRUE(testing::WaitUntil([&] {
            return (side = RedBesideGreen(testing::ReadRoot(display), 0, 400));
        })) << "the preview never showed the two pictures side by side";
        return side;
    };
    auto click = [&](bool setWallpaper) {
        const std::string window =
            runner
                .Run({"env", "DISPLAY=" + display, "xdotool", "search", "--onlyvisible", "--class", "vexal"})
                .output;
        const std::string id = window.substr(0, window.find('\n'));
        Display* d = XOpenDisplay(display.c_str());
        XWindowAttributes a{};
        XGetWindowAttributes(d, static_cast<Window>(std::stoul(id)), &a);
        XCloseDisplay(d);
        // The window's layout, as the program works it out in twips at 96 dots an inch,
        // its outer size counting the frame of a small tool window.
        const PreviewLayout layout = LayoutPreview(a.width * 15.0 + 120, a.height * 15.0 + 405);
        const TwipRect r = setWallpaper ? layout.cbSetWP : layout.cbCancel;
        runner.Run({"env", "DISPLAY=" + display, "xdotool", "mousemove", "--window", id,
                    std::to_string((r.Left + r.Width / 2) / 15), std::to_string((r.Top + r.Height / 2) / 15),
                    "click", "1"});
    };
    auto workingFiles = [&] {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(work.path()))
            n += e.path().filename().string().rfind("wpcache", 0) == 0;
        return n;
    };
    const testing::RootPixels before = testing::ReadRoot(display);

    {
        testing::StartedProgram previewing(VEXAL_BINARY, {"two", "-preview"}, options);
        ASSERT_NE(previewShown(), 0);
        EXPECT_EQ(workingFiles(), 2) << "a working file for each screen while the preview shows them";
        click(false);
        const RunResult cancelled = previewing.Finish();
        EXPECT_EQ(cancelled.status, 1) << cancelled.err;
    }
    EXPECT_EQ(testing::ReadRoot(display).pixels, before.pixels) << "cancelled: the screen as it was";
    EXPECT_FALSE(std::filesystem::exists(work / "data/vexal/wallpaper.bmp"));
    EXPECT_EQ(workingFiles(), 0);

    testing::StartedProgram previewing(VEXAL_BINARY, {"two", "-preview"}, options);
    const int side = previewShown();
    ASSERT_NE(side, 0);
    click(true);
    const RunResult installed = previewing.Finish();
    EXPECT_EQ(installed.status, 0) << installed.err;
    const testing::RootPixels root = testing::ReadRoot(display);
    const std::uint32_t left = side > 0 ? 0xFF0000 : 0x00FF00, right = side > 0 ? 0x00FF00 : 0xFF0000;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{240, 200}, std::pair{479, 399}}) {
        EXPECT_TRUE(Near(root.At(x, y), left, 8)) << x << "," << y << std::hex << ": " << root.At(x, y);
        EXPECT_TRUE(Near(root.At(x + 480, y), right, 8))
            << x + 480 << "," << y << std::hex << ": " << root.At(x + 480, y);
    }
    EXPECT_EQ(workingFiles(), 0);
}

}  // namespace
}  // namespace vexal
#endif
