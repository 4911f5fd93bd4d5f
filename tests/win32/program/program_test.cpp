// The real vexal.exe, unattended (messages on standard error), from the command line to
// the bitmap (in the Windows folder, or the user's own folder where the user may not write
// there) and the registry values: each picture format, the style by WpState, a page on a
// loopback server, a folder, UTF-8 files, the start in its own folder, and the failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_file_system.h"
#include "text/codepage.h"
#include "win32/program/http_server.h"
#include "win32/program/program_runner.h"
#include "win32/test_pictures.h"
#include "win32/win_temp_dir.h"

namespace vexal::testing {
namespace {

constexpr const char* kBitmapName = "vexal-test.bmp";

// A 3 × 2 picture of distinct opaque colours.
// In an expected picture: a pixel that is not compared.
constexpr std::uint32_t kAnyColour = 0;

const std::vector<std::uint32_t> kColours = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                             0xFF102030, 0xFFFFFFFF, 0xFF808000};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Values no run of the program writes, to see whether a run wrote them.
        SetDesktopValue(L"Wallpaper", "untouched");
        SetDesktopValue(L"WallpaperStyle", "7");
        SetDesktopValue(L"TileWallpaper", "7");
        ::DeleteFileW(win32::Widen(Installed()).c_str());
        ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText(entries, kBitmapName)));
    }
    void UseEntries(std::vector<EntryLines> list) {
        entries = std::move(list);
        ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText(entries, kBitmapName)));
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(files.WriteFile(dir / name, bytes));
        return dir / name;
    }
    static std::string Installed() { return WallpaperFolder() + "\\" + kBitmapName; }
    // The installed bitmap's pixels; empty when there is none.
    static std::vector<std::uint32_t> InstalledPixels(int& width, int& height) {
        std::vector<std::uint32_t> pixels;
        if (!ReadBmp24(ReadWholeFile(Installed()), width, height, pixels)) pixels.clear();
        return pixels;
    }
    std::vector<std::string> WorkingCopies() {
        std::vector<DirEntry> list;
        files.ListFolder(dir.path(), list);
        std::vector<std::string> names;
        for (const DirEntry& e : list)
            if (e.name.rfind("wpcache", 0) == 0) names.push_back(e.name);
        return names;
    }

    // Files a run was writing, left in the working folder or the bitmap's folder.
    std::vector<std::string> Temporaries() {
        std::vector<std::string> names;
        for (const std::string& folder : {dir.path(), WallpaperFolder()}) {
            std::vector<DirEntry> list;
            files.ListFolder(folder, list);
            for (const DirEntry& e : list)
                if (e.name.rfind(".vexal-tmp-", 0) == 0) names.push_back(e.name);
        }
        return names;
    }

    WinTempDir dir;
    Win32FileSystem files;
    std::vector<EntryLines> entries;
};

TEST_F(ProgramTest, DirectImageOfEachFormatBecomesTheWallpaperKeepingTheStyle) {
    std::vector<std::uint32_t> gifPixels(12, 0xFF000000);  // transparent parts on black
    gifPixels[5] = gifPixels[6] = 0xFF0000FF;
    std::vector<std::uint32_t> jpegPixels(16 * 16);
    for (int i = 0; i < 256; ++i) jpegPixels[i] = i < 128 ? 0xFFFF0000 : 0xFF0000FF;
    ASSERT_TRUE(WriteJpeg(dir / "photo.jpg", 16, 16, jpegPixels));
    // JPEG blurs the edge between the halves; only the rows away from it are compared.
    for (int i = 6 * 16; i < 10 * 16; ++i) jpegPixels[i] = kAnyColour;
    const struct {
        const char* name;
        std::string file;
        int width, height;
        std::vector<std::uint32_t> pixels;
        int tolerance;
        bool copied;
    } rows[] = {
        {"png", Write("pic.png", Png(3, 2, kColours)), 3, 2, kColours, 0, false},
        {"gif", Write("pic.gif", TwoPixelGif(4, 3, 1, 1)), 4, 3, gifPixels, 0, false},
        {"bmp", Write("pic.bmp", Bmp(3, 2, kColours)), 3, 2, kColours, 0, true},
        {"jpg", dir / "photo.jpg", 16, 16, jpegPixels, 40, false},
        // Upper-case extensions are the same formats.
        {"PNG", Write("PIC2.PNG", Png(3, 2, kColours)), 3, 2, kColours, 0, false},
        // WebP, decoded inside the program; transparent parts over black.
        {"webp",
         Write("pic.WebP", kTranslucentWebp),
         3,
         2,
         {0xFFFF0000, 0xFF000000, 0xFF081018, 0xFF0000FF, 0xFF404040, 0xFF00FF00},
         0,
         false},
    };
    for (const auto& row : rows) {
        SetUp();
        const Outcome run = RunUnattended(dir.path(), "-wp " + row.file);
        EXPECT_EQ(run.exitCode, 0u) << row.name << ": " << run.standardError;
        EXPECT_EQ(run.standardError, "") << row.name;
        int width = 0, height = 0;
        const std::vector<std::uint32_t> pixels = InstalledPixels(width, height);
        ASSERT_EQ(width, row.width) << row.name;
        ASSERT_EQ(height, row.height) << row.name;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            if (row.pixels[i] == kAnyColour) continue;
            EXPECT_TRUE(Near(pixels[i], row.pixels[i], row.tolerance)) << row.name << " pixel " << i;
        }
        // A bitmap is copied byte for byte.
        if (row.copied) {
            EXPECT_EQ(ReadWholeFile(Installed()), ReadWholeFile(row.file)) << row.name;
        }
        EXPECT_EQ(DesktopValue(L"Wallpaper"), Installed()) << row.name;
        // A picture named on the command line keeps the desktop's style.
        EXPECT_EQ(DesktopValue(L"WallpaperStyle"), "7") << row.name;
        EXPECT_EQ(DesktopValue(L"TileWallpaper"), "7") << row.name;
        EXPECT_TRUE(WorkingCopies().empty()) << row.name;
    }
}

#ifdef VEXAL_GNOME_WEBP
// The Linux side's files, as Wine shows them on drive Z:.
std::string OnDriveZ(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

// One of Debian's own WebP wallpapers becomes the Windows bitmap, its rows exactly those of
// libwebp's own tool.
TEST_F(ProgramTest, DebiansWebpWallpaperBecomesTheWindowsBitmap) {
    const Outcome run = RunUnattended(dir.path(), "-wp " + OnDriveZ(VEXAL_GNOME_WEBP));
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    EXPECT_EQ(run.standardError, "");
    const std::string ours = ReadWholeFile(Installed());
    const std::string theirs = ReadWholeFile(OnDriveZ(VEXAL_GNOME_REFERENCE));
    ASSERT_GT(ours.size(), 54u);
    ASSERT_GT(theirs.size(), 54u);
    const std::size_t theirRows =
        static_cast<unsigned char>(theirs[10]) | static_cast<unsigned char>(theirs[11]) << 8;
    EXPECT_TRUE(ours.substr(54) == theirs.substr(theirRows)) << "bitmap rows unlike libwebp's";
    EXPECT_EQ(ours.substr(18, 8), theirs.substr(18, 8)) << "the size";
}
#endif

TEST_F(ProgramTest, EntryWritesTheStyleOfItsWpStateBeforeTheWallpaper) {
    const std::string picture = Write("pic.png", Png(3, 2, kColours));
    const struct {
        const char* wpState;
        const char* style;
        const char* tile;
    } rows[] = {
        {"0", "0", "0"},   // centred
        {"1", "0", "1"},   // tiled
        {"2", "2", "0"},   // stretched
        {"3", "10", "0"},  // fill
        {"4", "6", "0"},   // fit
        {"5", "7", "7"},   // no style of its own: the desktop keeps the one it has
    };
    for (const auto& row : rows) {
        EntryLines e;
        e.Name = "Pic";
        e.Url = picture;
        e.Ext = "1111";
        e.WpState = row.wpState;
        UseEntries({e});
        SetUp();
        const Outcome run = RunUnattended(dir.path(), "pic");  // letter case ignored
        EXPECT_EQ(run.exitCode, 0u) << row.wpState << ": " << run.standardError;
        EXPECT_EQ(DesktopValue(L"WallpaperStyle"), row.style) << row.wpState;
        EXPECT_EQ(DesktopValue(L"TileWallpaper"), row.tile) << row.wpState;
        EXPECT_EQ(DesktopValue(L"Wallpaper"), Installed()) << row.wpState;
    }
}

TEST_F(ProgramTest, PageSourceOnALoopbackServer) {
    const std::vector<std::uint32_t> second = {0xFF123456, 0xFF654321, 0xFFABCDEF, 0xFF000000};
    HttpServer server;
    server.Serve("/pics/index.html",
                 "<html><body>\r\n<img src=\"a.png\">\r\n<IMG SRC=\"sub/b.png\">\r\n"
                 "<a href=\"notes.txt\">notes</a>\r\n</body></html>");
    server.Serve("/pics/a.png", Png(3, 2, kColours));
    server.Serve("/pics/sub/b.png", Png(2, 2, second));
    EntryLines e;
    e.Name = "site";
    e.Url = server.Url("/pics/index.html");
    e.Filter = "010000";
    e.Ext = "0010";
    e.WpState = "2";
    e.No = "0";
    e.No_n = "2";
    UseEntries({e});
    SetUp();

    const Outcome run = RunUnattended(dir.path(), "site");
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    EXPECT_EQ(run.standardError, "");
    EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/pics/index.html", "/pics/sub/b.png"}));
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    // The one request form, with the version the program read from its resource; the port
    // is not http's default, so the Host field names it.
    EXPECT_EQ(requests[1],
              "GET /pics/sub/b.png HTTP/1.1\r\nFrom: contact@vexal.example\r\nUser-Agent: vexal/1.00\r\n"
              "Host: 127.0.0.1:" +
                  std::to_string(server.port()) + "\r\n\r\n");
    int width = 0, height = 0;
    EXPECT_EQ(InstalledPixels(width, height), second);
    EXPECT_EQ(DesktopValue(L"WallpaperStyle"), "2");
    EXPECT_EQ(DesktopValue(L"TileWallpaper"), "0");
    EXPECT_EQ(DesktopValue(L"Wallpaper"), Installed());
    EXPECT_TRUE(WorkingCopies().empty());
}

TEST_F(ProgramTest, FolderSourceWithSubfolders) {
    const std::vector<std::uint32_t> deep = {0xFF0A0B0C, 0xFFC0B0A0};
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("pics").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("pics\\sub").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("pics\\hidden").c_str(), nullptr));
    Write("pics\\top.png", Png(3, 2, kColours));
    Write("pics\\notes.txt", "not a picture");
    Write("pics\\sub\\zebra.bmp", Bmp(2, 1, deep));
    Write("pics\\hidden\\zebra2.bmp", Bmp(2, 1, kColours));
    ASSERT_TRUE(::SetFileAttributesW(dir.wide("pics\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EntryLines e;
    e.Name = "folder";
    e.Url = dir / "pics\\";
    e.Filter = "000001";
    e.Ext = "1111";
    e.No = "1";
    e.Refstr = "ZEBRA";  // letter case ignored; found only in the subfolder
    UseEntries({e});
    SetUp();

    const Outcome run = RunUnattended(dir.path(), "folder");
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    int width = 0, height = 0;
    EXPECT_EQ(InstalledPixels(width, height), deep);
    EXPECT_EQ(DesktopValue(L"Wallpaper"), Installed());
}

// Runs over a folder of five pictures never repeat one of the last two; going back twice
// puts the two wallpapers before the last back, each with its own style values, and going
// forward undoes those steps; -list names both entries.
TEST_F(ProgramTest, RandomChoiceAvoidsRecentPicturesAndGoingBackRestoresThem) {
    // The history lives in the user's folder, which outlives one test: start without one.
    ::DeleteFileW(win32::Widen(UserFolder() + "\\history.txt").c_str());
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("five").c_str(), nullptr));
    for (std::size_t i = 0; i < 5; ++i)
        Write("five\\" + std::to_string(i) + ".bmp", Bmp(1, 1, {kColours[i]}));
    Write("tiles.bmp", Bmp(1, 1, {kColours[5]}));
    EntryLines random;
    random.Name = "random";
    random.Url = dir / "five\\";
    random.Ext = "0001";
    random.No = "2";
    EntryLines tiles;
    tiles.Name = "tiles";
    tiles.Url = dir / "tiles.bmp";
    tiles.WpState = "1";
    UseEntries({random, tiles});
    SetUp();

    std::vector<std::uint32_t> seen;
    for (int run = 0; run < 5; ++run) {
        const Outcome r = RunUnattended(dir.path(), "random");
        ASSERT_EQ(r.exitCode, 0u) << r.standardError;
        int width = 0, height = 0;
        const std::vector<std::uint32_t> pixels = InstalledPixels(width, height);
        ASSERT_EQ(pixels.size(), 1u);
        seen.push_back(pixels[0]);
        if (run >= 1) {
            EXPECT_NE(seen[run], seen[run - 1]);
        }
        if (run >= 2) {
            EXPECT_NE(seen[run], seen[run - 2]);
        }
    }

    ASSERT_EQ(RunUnattended(dir.path(), "tiles").exitCode, 0u);
    const struct {
        std::uint32_t colour;
        const char* wallpaperStyle;
        const char* tileWallpaper;
    } steps[] = {{seen[4], "0", "0"}, {seen[3], "0", "0"}};
    SetDesktopValue(L"WallpaperStyle", "7");
    for (const auto& step : steps) {
        const Outcome r = RunUnattended(dir.path(), "-back");
        ASSERT_EQ(r.exitCode, 0u) << r.standardError;
        int width = 0, height = 0;
        EXPECT_EQ(InstalledPixels(width, height), std::vector<std::uint32_t>{step.colour});
        EXPECT_EQ(DesktopValue(L"WallpaperStyle"), step.wallpaperStyle);
        EXPECT_EQ(DesktopValue(L"TileWallpaper"), step.tileWallpaper);
        EXPECT_EQ(DesktopValue(L"Wallpaper"), Installed());
    }
    const struct {
        std::uint32_t colour;
        const char* tileWallpaper;
    } forward[] = {{seen[4], "0"}, {kColours[5], "1"}};
    for (const auto& step : forward) {
        const Outcome r = RunUnattended(dir.path(), "-next");
        ASSERT_EQ(r.exitCode, 0u) << r.standardError;
        int width = 0, height = 0;
        EXPECT_EQ(InstalledPixels(width, height), std::vector<std::uint32_t>{step.colour});
        EXPECT_EQ(DesktopValue(L"TileWallpaper"), step.tileWallpaper);
    }
    // Nothing left to undo: the entry that installed last (tiles) runs again.
    EXPECT_EQ(RunUnattended(dir.path(), "-next").exitCode, 0u);
    EXPECT_EQ(RunUnattended(dir.path(), "-back").exitCode, 0u);
    int width = 0, height = 0;
    EXPECT_EQ(InstalledPixels(width, height), std::vector<std::uint32_t>{kColours[5]});

    // Where --help prints: standard output, when it leads somewhere.
    RunningProgram list(dir.path(), "-list", true, true);
    const Outcome listed = list.Wait();
    EXPECT_EQ(listed.exitCode, 0u);
    EXPECT_EQ(listed.standardError,
              "random\tfolder\tcentre\trandom\tnever\ntiles\tlocalimage\ttile\tnth:1\tnever\n");
}

TEST_F(ProgramTest, FailuresAreLinesOnStandardErrorAndChangeNothing) {
    HttpServer server;
    Write("page.html", "<html></html>");
    EntryLines e;
    e.Name = "sample";
    e.Url = dir / "missing-list.txt";
    UseEntries({e});
    int refusedPort;
    {
        HttpServer gone;
        refusedPort = gone.port();
    }
    const struct {
        const char* name;
        std::string arguments;
        std::string message;
    } rows[] = {
        {"image missing", "-wp " + dir / "missing.png",
         "vexal 1.00: 画像ファイル " + dir / "missing.png" + " が見つかりません。\n"},
        {"identifier not registered", "nosuch",
         "vexal 1.00: 指定された識別子 nosuch が見つかりません。\r\n設定ファイル " + dir / "vexal.ini" +
             " に登録されていません。\n"},
        {"wp without image", "-wp",
         "vexal 1.00: -wp オプションにはサブオプションとして URL/ファイル が必要です。\n"},
        {"invalid option", "/x", "vexal 1.00: 起動時オプション /x が無効です。\n"},
        {"not an image name", "-wp " + dir / "page.html",
         "vexal 1.00: 画像ファイルが指定されませんでした。\n"},
        {"server says 404", "-wp " + server.Url("/img/none.png"),
         "vexal 1.00: ファイル /img/none.png が見つかりませんでした。\n"},
        {"connection refused", "-wp http://127.0.0.1:" + std::to_string(refusedPort) + "/a.png",
         "vexal 1.00: 接続が強制的に拒絶されました。\r\n接続先 127.0.0.1:" + std::to_string(refusedPort) +
             " との通信に失敗しました。\n"},
        {"list file missing", "sample",
         "vexal 1.00: 元ファイル " + dir / "missing-list.txt" + " が見つかりせん。\n"},
        // The newer kinds without the system's codecs (as under Wine), told by content.
        {"heic without its extension",
         "-wp " + Write("IMG_0001.HEIC", std::string("\0\0\0\x18"
                                                     "ftypheic\0\0\0\0mif1heic",
                                                     24) +
                                             "meta"),
         "vexal 1.00: 画像ファイル " + dir / "IMG_0001.HEIC" +
             " は HEIF（HEIC）形式のため読み込めません。\r\nWindows に「HEIF 画像拡張機能」と「HEVC "
             "ビデオ拡張機能」を Microsoft Store から入れると読み込めます。\n"},
        {"avif without its extension",
         "-wp " + Write("a.avif", std::string("\0\0\0\x1C"
                                              "ftypavif\0\0\0\0avifmif1miaf",
                                              28) +
                                      "meta"),
         "vexal 1.00: 画像ファイル " + dir / "a.avif" +
             " は AVIF 形式のため読み込めません。\r\nWindows に「AV1 Video Extension」を Microsoft Store "
             "から入れると読み込めます。\n"},
        {"jxl without its extension", "-wp " + Write("a.jxl", std::string("\xFF\x0A\xFA\x1F\0\0\0\0", 8)),
         "vexal 1.00: 画像ファイル " + dir / "a.jxl" +
             " は JPEG XL 形式のため読み込めません。\r\nWindows に「JPEG XL 画像拡張機能」を Microsoft "
             "Store から入れると読み込めます。\n"},
        {"svg", "-wp " + Write("a.svg", "<?xml version=\"1.0\"?>\n<svg width=\"10\" height=\"10\"/>"),
         "vexal 1.00: 画像ファイル " + dir / "a.svg" +
             " は SVG 形式のため読み込めません。\r\nWindows 版の vexal は SVG を壁紙にできません。PNG "
             "などに変換してから使ってください。\n"},
    };
    for (const auto& row : rows) {
        const Outcome run = RunUnattended(dir.path(), row.arguments);
        EXPECT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 1u) << row.name;
        EXPECT_EQ(run.standardError, row.message) << row.name;
        EXPECT_EQ(DesktopValue(L"Wallpaper"), "untouched") << row.name;
        EXPECT_EQ(DesktopValue(L"WallpaperStyle"), "7") << row.name;
        EXPECT_FALSE(FileExists(Installed())) << row.name;
    }
}

// The user's proxy settings for as long as it lives: the connection's settings, which
// WinHTTP reads (Wine reads nothing else; the older ProxyEnable and ProxyServer values are
// not needed). Flags 1 direct, 2 a proxy, 4 a setup script; then the proxy list, the bypass
// list and the script's address, each after its length.
class UserProxy {
public:
    UserProxy(const std::string& server, const std::string& bypass, const std::string& script = "") {
        std::vector<BYTE> settings;
        const auto add32 = [&](std::uint32_t n) {
            for (int i = 0; i < 4; ++i) settings.push_back(static_cast<BYTE>(n >> (8 * i)));
        };
        add32(0x46);
        add32(1);
        add32(1 | (server.empty() ? 0 : 2) | (script.empty() ? 0 : 4));
        for (const std::string& text : {server, bypass, script}) {
            add32(static_cast<std::uint32_t>(text.size()));
            settings.insert(settings.end(), text.begin(), text.end());
        }
        settings.resize(settings.size() + 32);
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kConnections, L"DefaultConnectionSettings", REG_BINARY,
                          settings.data(), static_cast<DWORD>(settings.size()));
    }
    ~UserProxy() { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kConnections, L"DefaultConnectionSettings"); }
    UserProxy(const UserProxy&) = delete;
    UserProxy& operator=(const UserProxy&) = delete;

private:
    static constexpr const wchar_t* kConnections =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
};

// Regression: with the user's proxy set, the program looked the server's name up itself
// and reported it not found; the proxy got no request.
TEST_F(ProgramTest, TheUsersProxyIsAskedForThePicture) {
    HttpServer proxy;
    std::vector<std::uint32_t> pixels(16 * 16, 0xFF0000FF);
    ASSERT_TRUE(WriteJpeg(dir / "web.jpg", 16, 16, pixels));
    proxy.Serve("http://pictures.example/web.jpg", ReadWholeFile(dir / "web.jpg"));
    const std::string address = "127.0.0.1:" + std::to_string(proxy.port());
    HttpServer origin;
    origin.Serve("/near.jpg", ReadWholeFile(dir / "web.jpg"));
    UserProxy setting(address, "<local>;127.0.0.1");

    Outcome run = RunUnattended(dir.path(), "-wp http://pictures.example/web.jpg");
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].rfind("GET http://pictures.example/web.jpg HTTP/1.1\r\n", 0), 0u)
        << proxy.Requests()[0];
    EXPECT_EQ(DesktopValue(L"Wallpaper"), Installed());
    int width = 0, height = 0;
    EXPECT_EQ(InstalledPixels(width, height).size(), 16u * 16u);

    // A host in the bypass list is asked directly.
    run = RunUnattended(dir.path(), "-wp " + origin.Url("/near.jpg"));
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    EXPECT_EQ(origin.Paths(), std::vector<std::string>{"/near.jpg"});

    // https goes through CONNECT under Schannel; this proxy answers 404 and is named.
    run = RunUnattended(dir.path(), "-wp https://pictures.example/web.jpg");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.standardError.find(address), std::string::npos) << run.standardError;
    ASSERT_EQ(proxy.Requests().size(), 2u);
    EXPECT_EQ(proxy.Requests()[1],
              "CONNECT pictures.example:443 HTTP/1.1\r\nHost: pictures.example:443\r\n\r\n");

    // Where a setup script is set, its answer for each server decides: this proxy for
    // pictures.example, straight on for the rest.
    HttpServer scripts;
    scripts.Serve("/proxy.pac",
                  "function FindProxyForURL(url, host) {\n    return host == \"pictures.example\" ? "
                  "\"PROXY " +
                      address + "\" : \"DIRECT\";\n}\n");
    UserProxy scripted("", "", scripts.Url("/proxy.pac"));
    run = RunUnattended(dir.path(), "-wp http://pictures.example/web.jpg");
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    ASSERT_EQ(proxy.Requests().size(), 3u);
    EXPECT_EQ(proxy.Requests()[2].rfind("GET http://pictures.example/web.jpg HTTP/1.1\r\n", 0), 0u);
    run = RunUnattended(dir.path(), "-wp " + origin.Url("/near.jpg"));
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    EXPECT_EQ(origin.Paths().size(), 2u);
}

// A fresh screen buffer of this process's console, inheritable, for a child's output;
// INVALID_HANDLE_VALUE when none can be made.
HANDLE NewConsoleScreen() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto newScreen = [&] {
        return ::CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           &inherit, CONSOLE_TEXTMODE_BUFFER, nullptr);
    };
    HANDLE screen = newScreen();
    if (screen == INVALID_HANDLE_VALUE) {
        // Run with its output on a pipe, the test has no console that takes a screen buffer:
        // it makes one of its own. Its results still go to the pipe, which the C library
        // holds already.
        ::FreeConsole();
        if (::AllocConsole()) screen = newScreen();
    }
    return screen;
}

// The first line of a screen buffer, after it was cleared and a program wrote to it.
std::string FirstLineOf(HANDLE screen) {
    std::wstring shown(80, L' ');
    DWORD count = 0;
    ::ReadConsoleOutputCharacterW(screen, shown.data(), static_cast<DWORD>(shown.size()), COORD{0, 0},
                                  &count);
    shown.resize(count);
    return win32::Narrow(shown);
}

void ClearScreen(HANDLE screen) {
    DWORD count = 0;
    ::FillConsoleOutputCharacterW(screen, L' ', 80 * 5, COORD{0, 0}, &count);
    ::SetConsoleCursorPosition(screen, COORD{0, 0});
}

TEST_F(ProgramTest, MessagesOnAConsoleAreReadableInAnyCodePage) {
    // Regression: the lines went to a console as UTF-8 bytes, which a console reads in its
    // own code page, so the Japanese came out garbled. (Redirected, they stay UTF-8 bytes:
    // the test above reads them from a pipe.)
    HANDLE screen = NewConsoleScreen();
    ASSERT_NE(screen, INVALID_HANDLE_VALUE) << "no console could be made";
    const UINT previousCodePage = ::GetConsoleOutputCP();
    for (UINT codePage : {437u, 932u}) {
        ::SetConsoleOutputCP(codePage);
        ClearScreen(screen);
        RunningProgram program(dir.path(), "nosuch", true, false, screen);
        const Outcome run = program.Wait();
        EXPECT_EQ(run.exitCode, 1u) << codePage;
        EXPECT_NE(FirstLineOf(screen).find("vexal 1.00: 指定された識別子 nosuch が見つかりません。"),
                  std::string::npos)
            << codePage << ": " << FirstLineOf(screen);
    }
    ::SetConsoleOutputCP(previousCodePage);
    ::CloseHandle(screen);
}

// Regression: typed in a console, vexal.exe (a windows program) returned the prompt at
// once, its output came after it and %ERRORLEVEL% was 0 even after a refused option. The
// console companion, vexal.com, hands the arguments on as typed, waits, and ends with
// vexal.exe's status.
TEST_F(ProgramTest, ConsoleCompanionWaitsAndEndsWithTheStatus) {
    const struct {
        const char* arguments;
        bool unattended;
        DWORD status;
        const char* output;
    } rows[] = {
        {"--version", false, 0, "vexal 1.00\n"},
        {"/x", true, 1, "vexal 1.00: 起動時オプション /x が無効です。\n"},
        // Quotes are ordinary characters and every blank cuts: nothing was re-quoted.
        {"\"休日 の\"", true, 1, "vexal 1.00: 起動時オプション \"休日 が無効です。\n"},
    };
    for (const auto& row : rows) {
        RunningProgram companion(dir.path(), row.arguments, row.unattended, true, nullptr, 0, {},
                                 CompanionPath());
        ASSERT_TRUE(companion.started()) << win32::Narrow(CompanionPath());
        const Outcome run = companion.Wait();
        EXPECT_EQ(run.exitCode, row.status) << row.arguments;
        EXPECT_EQ(run.standardError, row.output) << row.arguments;
    }

    // On the console itself, the windows program's text goes there too: no box waits.
    HANDLE screen = NewConsoleScreen();
    ASSERT_NE(screen, INVALID_HANDLE_VALUE) << "no console could be made";
    ClearScreen(screen);
    RunningProgram onConsole(dir.path(), "--version", false, true, screen, 0, {}, CompanionPath());
    const Outcome run = onConsole.Wait();
    EXPECT_FALSE(run.timedOut) << "a box came up instead";
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(FirstLineOf(screen).rfind("vexal 1.00", 0), 0u) << FirstLineOf(screen);
    ::CloseHandle(screen);
}

// The same failure and the same help in the language VEXAL_LANG names, over the display
// language Windows reports.
TEST_F(ProgramTest, MessagesInTheChosenLanguage) {
    const struct {
        const wchar_t* lang;
        std::string failure;
        const char* usage;
    } rows[] = {
        {L"ja",
         "vexal 1.00: 指定された識別子 NOSUCHENTRY が見つかりません。\r\n設定ファイル " + dir / "vexal.ini" +
             " に登録されていません。\n",
         "使い方:\n"},
        {L"en",
         "vexal 1.00: The identifier NOSUCHENTRY was not found.\r\nIt is not registered in the settings "
         "file " +
             dir / "vexal.ini" + ".\n",
         "Usage:\n  vexal                     Opens the editor"},
    };
    for (const auto& row : rows) {
        ScopedVariable lang(L"VEXAL_LANG", row.lang);
        const Outcome run = RunUnattended(dir.path(), "NOSUCHENTRY");
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_EQ(run.standardError, row.failure);
        RunningProgram help(dir.path(), "--help", true, true);
        const Outcome usage = help.Wait();
        EXPECT_EQ(usage.exitCode, 0u);
        EXPECT_EQ(usage.standardError.rfind(row.usage, 0), 0u) << usage.standardError;
        // The settings file's paragraph is the one for Windows, in the same language.
        EXPECT_NE(
            usage.standardError.find(row.lang == std::wstring(L"en") ? "the Documents folder (where Windows"
                                                                     : "ドキュメント フォルダー"),
            std::string::npos)
            << usage.standardError;
    }
}

TEST_F(ProgramTest, HelpAndVersionGoToStandardOutputWhenItLeadsSomewhere) {
    for (bool unattended : {true, false}) {
        RunningProgram version(dir.path(), "--version", unattended, true);
        Outcome run = version.Wait();
        EXPECT_EQ(run.exitCode, 0u) << unattended;
        EXPECT_EQ(run.standardError, "vexal 1.00\n") << unattended;
        // What a Windows user tries first prints the same.
        for (const char* option : {"--HELP", "/?", "-h"}) {
            RunningProgram help(dir.path(), option, unattended, true);
            run = help.Wait();
            EXPECT_EQ(run.exitCode, 0u) << option << unattended;
            EXPECT_EQ(run.standardError.rfind("使い方:\n  vexal ", 0), 0u) << option << run.standardError;
        }
    }
    // Unattended, with standard output going nowhere: no box, nothing on standard error.
    const Outcome quiet = RunUnattended(dir.path(), "--help");
    EXPECT_FALSE(quiet.timedOut);
    EXPECT_EQ(quiet.exitCode, 0u);
    EXPECT_EQ(quiet.standardError, "");
}

TEST_F(ProgramTest, UnattendedRunsNeitherPreviewNorEdit) {
    Write("pic.png", Png(3, 2, kColours));
    // Nobody can answer a preview: the run ends as its cancel button would.
    Outcome run = RunUnattended(dir.path(), "-wp pic.png -preview");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(DesktopValue(L"Wallpaper"), "untouched");
    EXPECT_TRUE(WorkingCopies().empty());
    // Nor an editor: the run says so and fails, as on every platform, and the settings
    // file stays as it was.
    const std::string before = ReadWholeFile(dir / "vexal.ini");
    run = RunUnattended(dir.path(), "");
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(
        run.standardError,
        "vexal 1.00: 画面がないため、エントリの編集画面を開けません。識別子を指定して起動してください。\n");
    EXPECT_EQ(ReadWholeFile(dir / "vexal.ini"), before);
}

// Every run of one user takes its lock in the user's own folder, so runs share it
// whichever folder the bitmap goes to; the bitmap goes into the Windows folder only where
// this user may write there (a standard user of today's Windows may not).
TEST_F(ProgramTest, TheBitmapGoesWhereTheUserMayWriteAndTheLockIsTheUsers) {
    const std::string windowsLock = WindowsFolder() + "\\.vexal-lock";
    if (WindowsFolderWritable()) ::DeleteFileW(win32::Widen(windowsLock).c_str());
    const std::string other = (WindowsFolderWritable() ? UserFolder() : WindowsFolder()) + "\\" + kBitmapName;
    ::DeleteFileW(win32::Widen(other).c_str());
    const std::string picture = Write("pic.bmp", Bmp(3, 2, kColours));

    const Outcome run = RunUnattended(dir.path(), "-wp " + picture);
    EXPECT_EQ(run.exitCode, 0u) << run.standardError;
    EXPECT_EQ(ReadWholeFile(Installed()), ReadWholeFile(picture));
    EXPECT_EQ(DesktopValue(L"Wallpaper"), Installed());
    EXPECT_FALSE(FileExists(other)) << "the bitmap went to both folders";
    EXPECT_TRUE(FileExists(UserFolder() + "\\.vexal-lock"));
    EXPECT_FALSE(FileExists(windowsLock));
    EXPECT_EQ(Temporaries(), std::vector<std::string>{}) << "the check for a writable folder left its file";
}

// Notepad saves UTF-8 (with or without a byte-order mark): the settings file and a list
// are read as UTF-8 when they are well-formed UTF-8, as code page 932 otherwise. The entry's
// Japanese name, typed on the command line, arrives as UTF-16 and must match it either way.
TEST_F(ProgramTest, SettingsAndListsInUtf8OrCodePage932) {
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("壁紙").c_str(), nullptr));
    const std::string picture = Write("壁紙\\桜.bmp", Bmp(3, 2, kColours));
    EntryLines e;
    e.Name = "休日の写真";
    e.Url = dir / "一覧.txt";
    e.Filter = "000010";
    e.Ext = "0001";
    const std::string settings = SettingsText({e}, kBitmapName);
    const std::string list = "メモ\r\n" + picture + "\r\n";
    auto cp932 = [](const std::string& text) {
        std::string bytes;
        EXPECT_TRUE(Utf8ToCp932(text, bytes));
        return bytes;
    };
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        const char* name;
        std::string settingsBytes, listBytes;
    } rows[] = {
        {"code page 932", cp932(settings), cp932(list)},
        {"UTF-8", settings, list},
        {"UTF-8 with a byte-order mark", bom + settings, bom + list},
        {"UTF-8 settings, code page 932 list", settings, cp932(list)},
    };
    for (const auto& row : rows) {
        SetUp();
        ASSERT_TRUE(files.WriteFile(dir / "vexal.ini", row.settingsBytes));
        Write("一覧.txt", row.listBytes);
        const Outcome run = RunUnattended(dir.path(), "休日の写真");
        EXPECT_EQ(run.exitCode, 0u) << row.name << ": " << run.standardError;
        EXPECT_EQ(ReadWholeFile(Installed()), ReadWholeFile(picture)) << row.name;
    }
}

// The UTF-8 file that either program writes for entries code page 932 cannot hold (the
// core tests check that both write exactly it): the entries' pictures are looked for under
// the names they hold.
TEST_F(ProgramTest, Utf8SettingsFileIsRead) {
    const std::string fixture = ReadWholeFile(win32::Narrow(BuildMachinePath(VEXAL_UTF8_SETTINGS)));
    ASSERT_FALSE(fixture.empty()) << VEXAL_UTF8_SETTINGS;
    ASSERT_TRUE(files.WriteFile(dir / "vexal.ini", fixture));
    EXPECT_EQ(RunUnattended(dir.path(), "ETE").standardError,
              "vexal 1.00: 画像ファイル Tableau-été.bmp が見つかりません。\n");
    EXPECT_EQ(RunUnattended(dir.path(), "sakura").standardError,
              "vexal 1.00: 画像ファイル 桜.bmp が見つかりません。\n");
}

// One settings file from anywhere: the current folder's vexal.ini when there is one (a
// portable copy's beside its vexal.exe too), else the one in the user's Documents as the
// system names it, moved or not. With neither, a start in the program's own folder (the
// installer's shortcut, a double click, `start`; under any spelling, SameFolderTest holds
// them) works in Documents, any other start in its own folder.
// Regression: a new console starts in %USERPROFILE%, where `vexal NAME` did not find what
// the Start-menu editor had saved in Documents, and a portable copy started in its folder
// read Documents instead of the vexal.ini beside it.
TEST_F(ProgramTest, OneSettingsFileFromAnywhere) {
    const std::wstring programPath = ProgramPath();
    const std::string own = win32::Narrow(programPath.substr(0, programPath.find_last_of(L"\\")));
    const std::string documents = DocumentsFolder();
    ASSERT_FALSE(documents.empty());
    ::CreateDirectoryW(win32::Widen(documents).c_str(), nullptr);
    const std::string moved = dir / "OneDrive\\ドキュメント";
    ASSERT_TRUE(::CreateDirectoryW(win32::Widen(dir / "OneDrive").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(win32::Widen(moved).c_str(), nullptr));
    // A portable copy: the program and its settings unpacked together in a folder of the user's.
    const std::string portable = dir / "portable";
    ASSERT_TRUE(::CreateDirectoryW(win32::Widen(portable).c_str(), nullptr));
    const std::wstring portableProgram = win32::Widen(portable + "\\vexal.exe");
    ASSERT_TRUE(::CopyFileW(programPath.c_str(), portableProgram.c_str(), FALSE));
    // A new console's folder, which holds no settings file.
    const std::string profile = win32::Narrow(_wgetenv(L"USERPROFILE"));
    ASSERT_FALSE(profile.empty());
    ASSERT_FALSE(FileExists(profile + "\\vexal.ini"));
    ASSERT_FALSE(FileExists(own + "\\vexal.ini"));
    // Each place a settings file can be read from gives the entry another picture.
    EntryLines e;
    e.Name = "documents";
    e.Ext = "0001";
    const auto settingsFor = [&](const std::string& folder, std::uint32_t colour) {
        e.Url = Write("pic-" + std::to_string(colour) + ".bmp", Bmp(1, 1, {colour}));
        EXPECT_TRUE(WriteSettings(folder + "\\vexal.ini", SettingsText({e}, kBitmapName)));
        return ReadWholeFile(e.Url);
    };
    const std::string inDocuments = settingsFor(documents, 0xFFFF0000);
    const std::string inMoved = settingsFor(moved, 0xFF00FF00);
    const std::string inPortable = settingsFor(portable, 0xFF00FFFF);
    entries = {e};
    entries[0].Url = Write("pic-here.bmp", Bmp(1, 1, {0xFF0000FF}));
    const std::string inFolder = ReadWholeFile(entries[0].Url);

    const std::wstring shortcut = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\vexal.lnk";
    enum class Read { Documents, Folder, Portable };
    const struct {
        const char* name;
        std::string folder;
        std::wstring shortcut, program;
        Read read;
    } rows[] = {
        {"shortcut, own folder", own, shortcut, {}, Read::Documents},
        {"no shortcut, own folder", own + "\\", L"", {}, Read::Documents},
        {"shortcut, another folder", dir.path(), shortcut, {}, Read::Folder},
        {"no shortcut, another folder", dir.path(), L"", {}, Read::Folder},
        {"a new console's folder", profile, L"", {}, Read::Documents},
        {"portable copy in its folder", portable, L"", portableProgram, Read::Portable},
    };
    for (const bool move : {false, true}) {
        std::unique_ptr<MovedDocuments> movedDocuments;
        if (move) movedDocuments = std::make_unique<MovedDocuments>(moved);
        ASSERT_EQ(DocumentsFolder(), move ? moved : documents);
        for (const auto& row : rows) {
            const std::string name = std::string(row.name) + (move ? ", Documents moved" : "");
            SetUp();
            RunningProgram program(row.folder, "documents", true, false, nullptr, 0, row.shortcut,
                                   row.program);
            const Outcome run = program.Wait();
            EXPECT_EQ(run.exitCode, 0u) << name << ": " << run.standardError;
            EXPECT_EQ(ReadWholeFile(Installed()), row.read == Read::Folder     ? inFolder
                                                  : row.read == Read::Portable ? inPortable
                                                  : move                       ? inMoved
                                                                               : inDocuments)
                << name;
        }
    }

    // -wp's relative path counts from where it was typed, also when the run works in Documents.
    const std::string typed = ReadWholeFile(Write("r.bmp", Bmp(1, 1, {0xFF123456})));
    ASSERT_TRUE(
        ::CopyFileW(win32::Widen(dir / "r.bmp").c_str(), win32::Widen(profile + "\\r.bmp").c_str(), FALSE));
    ASSERT_TRUE(
        ::CopyFileW(win32::Widen(dir / "r.bmp").c_str(), win32::Widen(portable + "\\r.bmp").c_str(), FALSE));
    const std::pair<std::string, std::wstring> starts[] = {{profile, std::wstring()},
                                                           {portable, portableProgram}};
    for (const auto& [folder, program] : starts) {
        SetUp();
        RunningProgram run(folder, "-wp r.bmp", true, false, nullptr, 0, {}, program);
        const Outcome end = run.Wait();
        EXPECT_EQ(end.exitCode, 0u) << folder << ": " << end.standardError;
        EXPECT_EQ(ReadWholeFile(Installed()), typed) << folder;
    }
    ::DeleteFileW(win32::Widen(profile + "\\r.bmp").c_str());

    // A missing entry names both files looked in.
    ::DeleteFileW(win32::Widen(documents + "\\vexal.ini").c_str());
    EXPECT_EQ(RunUnattended(profile, "nosuch").standardError,
              "vexal 1.00: 指定された識別子 nosuch が見つかりません。\r\n設定ファイル " + profile +
                  "\\vexal.ini も " + documents + "\\vexal.ini もありません。\n");
}

// Regression: with Documents moved to a drive that is gone, a start in the program's own
// folder silently read and wrote the vexal.ini beside the program.
TEST_F(ProgramTest, UnreachableDocumentsIsNamedNeverReplacedByTheProgramsFolder) {
    const std::wstring programPath = ProgramPath();
    const std::string own = win32::Narrow(programPath.substr(0, programPath.find_last_of(L"\\")));
    ASSERT_EQ(::GetFileAttributesW(L"Q:\\"), INVALID_FILE_ATTRIBUTES) << "drive Q: is there";
    MovedDocuments gone("Q:\\Documents");
    // The program's folder's own file, which only a portable start there may read.
    ASSERT_FALSE(FileExists(own + "\\vexal.ini"));
    for (const std::string& folder : {own, own + "\\"}) {
        SetUp();
        const Outcome run = RunUnattended(folder, "sample");
        EXPECT_EQ(run.exitCode, 1u) << folder;
        EXPECT_EQ(run.standardError,
                  "vexal 1.00: 設定ファイルを置くフォルダー Q:\\Documents が見つかりません。\r\n"
                  "そのドライブやネットワークの場所につながっているか確かめてください。\n")
            << folder;
        EXPECT_EQ(DesktopValue(L"Wallpaper"), "untouched");
    }
    // Elsewhere the current folder's file stands, and a missing entry names both places.
    EXPECT_EQ(RunUnattended(dir.path(), "nosuch").standardError,
              "vexal 1.00: 指定された識別子 nosuch が見つかりません。\r\n設定ファイル " + dir.path() +
                  "vexal.ini に登録されていません。\n");
    ::DeleteFileW(dir.wide("vexal.ini").c_str());
    EXPECT_EQ(RunUnattended(dir.path(), "nosuch").standardError,
              "vexal 1.00: 指定された識別子 nosuch が見つかりません。\r\n設定ファイル " + dir.path() +
                  "vexal.ini も Q:\\Documents\\vexal.ini もありません。\n");
}

// Regression: ':' in the working copy's or the bitmap's name was taken, and Windows reads
// it as a drive ("C:evil.bmp", in the current folder of drive C) or as an alternate data
// stream of another file ("evil.bmp:ads"); so were device names, "?", a trailing dot
// ("trail.bmp." written as trail.bmp, set as trail.bmp.) and the program's own files.
// Refused before anything is written, as a folder separator is, with the settings file
// named in full.
TEST_F(ProgramTest, ColonInAFileNameOfTheSettingsIsRefused) {
    EntryLines e;
    e.Name = "pic";
    e.Url = Write("pic.bmp", Bmp(3, 2, kColours));
    e.Ext = "0001";
    const struct {
        std::string key, value;
        bool own = false;
    } rows[] = {
        {"WinFolderWPname", "C:evil.bmp"}, {"WinFolderWPname", "evil.bmp:ads"},
        {"CacheFileName", "C:evil"},       {"CacheFileName", "evil:ads"},
        {"WinFolderWPname", "trail.bmp."}, {"WinFolderWPname", "CON"},
        {"CacheFileName", "x?"},           {"WinFolderWPname", "History.TXT", true},
    };
    for (const auto& row : rows) {
        for (const std::string& arguments : {std::string("pic"), "-wp " + e.Url}) {
            const std::string name = row.key + " = " + row.value + ", " + arguments;
            SetUp();
            std::string text = SettingsText({e}, row.key == "WinFolderWPname" ? row.value : kBitmapName);
            if (row.key == "CacheFileName")
                text.replace(text.find("CacheFileName = wpcache"), 23, "CacheFileName = " + row.value);
            ASSERT_TRUE(WriteSettings(dir / "vexal.ini", text));
            const Outcome run = RunUnattended(dir.path(), arguments);
            EXPECT_EQ(run.exitCode, 1u) << name;
            EXPECT_EQ(run.standardError,
                      "vexal 1.00: 設定ファイル " + dir / "vexal.ini" + " の " + row.key + " = " + row.value +
                          " はファイル名として使えません。\r\n" +
                          (row.own ? row.value + " は vexal 自身が使うファイルの名前です。\n"
                                   : "空欄、.、.. や / \\ : * ? \" < > | を含む名前、末尾が . "
                                     "か空白の名前、CON・NUL・COM1 などの装置名は使えません。\n"))
                << name;
            EXPECT_EQ(DesktopValue(L"Wallpaper"), "untouched") << name;
            std::vector<DirEntry> left;
            files.ListFolder(dir.path(), left);
            EXPECT_EQ(left.size(), 2u) << name << ": only pic.bmp and vexal.ini";
            EXPECT_FALSE(FileExists("C:\\evil.bmp")) << name;
            EXPECT_FALSE(FileExists(WallpaperFolder() + "\\evil.bmp")) << name;
        }
    }
}

// A picture of `width` × `height` whose every row differs, so a bitmap mixed from two
// pictures, or cut short, never equals either.
std::vector<std::uint32_t> Rows(int width, int height, std::uint32_t tint) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * width + x] =
                0xFF000000u | (tint ^ ((static_cast<std::uint32_t>((x * 7 + y * 13) & 0xFF) << 8) |
                                       static_cast<std::uint32_t>(y & 0xFF)));
    return pixels;
}

// Runs started together, and runs ended at random moments by TerminateProcess: the
// installed bitmap is always one whole picture, and the next run clears what the ended
// ones were writing.
TEST_F(ProgramTest, OverlappingAndTerminatedRunsLeaveOneWholeBitmap) {
    EntryLines a, b;
    a.Name = "a";
    a.Url = Write("a.bmp", Bmp(1600, 1000, Rows(1600, 1000, 0xFF0000)));
    b.Name = "b";
    b.Url = Write("b.png", Png(1600, 1000, Rows(1600, 1000, 0x0000FF)));
    a.Ext = b.Ext = "1111";
    UseEntries({a, b});
    ASSERT_EQ(RunUnattended(dir.path(), "a").exitCode, 0u);
    const std::string bitmapA = ReadWholeFile(Installed());
    const ULONGLONG started = ::GetTickCount64();
    ASSERT_EQ(RunUnattended(dir.path(), "b").exitCode, 0u);
    const DWORD oneRunMs = static_cast<DWORD>(::GetTickCount64() - started);
    const std::string bitmapB = ReadWholeFile(Installed());
    ASSERT_EQ(bitmapA.size(), bitmapB.size());
    ASSERT_NE(bitmapA, bitmapB);
    auto unfinished = [&] {
        std::vector<std::string> names = WorkingCopies();
        for (std::string& name : Temporaries()) names.push_back(std::move(name));
        return names;
    };

    for (int round = 0; round < 10; ++round) {
        RunningProgram first(dir.path(), "a", true), second(dir.path(), "b", true);
        const Outcome one = first.Wait(), two = second.Wait();
        EXPECT_EQ(one.exitCode, 0u) << "round " << round << ": " << one.standardError;
        EXPECT_EQ(two.exitCode, 0u) << "round " << round << ": " << two.standardError;
        const std::string installed = ReadWholeFile(Installed());
        EXPECT_TRUE(installed == bitmapA || installed == bitmapB) << "round " << round << ": a torn bitmap";
        EXPECT_EQ(unfinished(), std::vector<std::string>{}) << "round " << round;
    }

    const unsigned seed = ::GetTickCount();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::srand(seed);
    for (int round = 0; round < 10; ++round) {
        {
            RunningProgram run(dir.path(), round % 2 ? "a" : "b", true);
            ::Sleep(static_cast<DWORD>(std::rand()) % (oneRunMs + 1));
        }  // terminated here when still running
        const std::string installed = ReadWholeFile(Installed());
        EXPECT_TRUE(installed == bitmapA || installed == bitmapB) << "round " << round << ": a torn bitmap";
    }
    EXPECT_EQ(RunUnattended(dir.path(), "a").exitCode, 0u);
    // A run ended after its working copy got its name keeps it, as any ended run does; what
    // it was still writing under a temporary name is cleared by the next run.
    EXPECT_EQ(Temporaries(), std::vector<std::string>{}) << "the next run removes what ended runs left";
}

// Ctrl+C in the console a task's command file runs in, and the end of the session
// (log-off, shut-down), in the middle of a download: status 1, no message, nothing left of
// what the run was writing, the wallpaper as it was.
TEST_F(ProgramTest, ConsoleCtrlCAndTheSessionsEndStopAnUnattendedRun) {
    const std::string picture = Bmp(1600, 1000, Rows(1600, 1000, 0x00FF00));
    HttpServer server;
    server.Hold("/big.bmp", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(picture.size()) +
                                "\r\n\r\n" + picture.substr(0, picture.size() / 2));
    // Without a display, Wine gives neither a console that takes keys nor windows.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no display (scripts/test-windows runs Xvfb)";
    ASSERT_TRUE(EnsureConsole());
    enum class Way { CtrlC, SessionEnd };
    for (Way way : {Way::CtrlC, Way::SessionEnd}) {
        const char* name = way == Way::CtrlC ? "Ctrl+C" : "session end";
        SetUp();
        const std::size_t asked = server.Paths().size();
        RunningProgram run(dir.path(), "-wp " + server.Url("/big.bmp"), true);
        ASSERT_TRUE(WaitUntil([&] { return server.Paths().size() > asked; })) << name;
        // Half the picture is on its way into a file of the run's own.
        const std::string receiving =
            dir / (".vexal-tmp-" + std::to_string(run.processId()) + "-wpcache.bmp");
        ASSERT_TRUE(WaitUntil([&] { return FileSize(receiving) >= picture.size() / 4; }, 60000)) << name;
        if (way == Way::CtrlC) {
            EXPECT_TRUE(PressCtrlC());
        } else {
            EXPECT_GE(EndSession(run.processId()), 1) << "a hidden window hears of it, and never refuses";
        }
        const Outcome end = run.Wait(20000);
        EXPECT_FALSE(end.timedOut) << name;
        EXPECT_EQ(end.exitCode, 1u) << name;
        EXPECT_EQ(end.standardError, "") << name;
        EXPECT_EQ(DesktopValue(L"Wallpaper"), "untouched") << name;
        EXPECT_FALSE(FileExists(Installed())) << name;
        EXPECT_EQ(WorkingCopies(), std::vector<std::string>{}) << name;
        EXPECT_EQ(Temporaries(), std::vector<std::string>{}) << name;
    }
}

// A full disk and a read-only place where the working copy goes: the line that names the
// file goes on with why, status 1, the wallpaper as it was, nothing half written left.
// small-disks.sh makes the places on the Linux side (as root), which Wine reaches through
// drive Z:; without them the test is skipped.
TEST_F(ProgramTest, FullDiskAndReadOnlyPlaceSayWhy) {
    const char* small = std::getenv("VEXAL_TEST_SMALL_DISK");
    const char* writable = std::getenv("VEXAL_TEST_WRITABLE");
    const char* readOnly = std::getenv("VEXAL_TEST_READ_ONLY");
    const char* served = std::getenv("VEXAL_TEST_SERVED");
    const char* servedUrl = std::getenv("VEXAL_TEST_SERVED_URL");
    if (!small || !writable || !readOnly) GTEST_SKIP() << "the places are made by small-disks.sh, as root";
    ASSERT_TRUE(served && servedUrl) << "small-disks.sh serves the pictures to download";
    const auto onZ = [](const char* linuxPath) { return win32::Narrow(BuildMachinePath(linuxPath)) + "\\"; };
    // Over 4 MB: more than the small disk holds.
    const std::string picture = Write("big.bmp", Bmp(1600, 1000, Rows(1600, 1000, 0x00FF00)));
    ASSERT_TRUE(
        ::CopyFileW(win32::Widen(picture).c_str(), (BuildMachinePath(served) + L"\\big.bmp").c_str(), FALSE));
    EntryLines copied, fetched;
    copied.Name = "copied";
    copied.Url = picture;
    fetched.Name = "fetched";
    fetched.Url = std::string(servedUrl) + "big.bmp";
    copied.Ext = fetched.Ext = "1111";
    const std::string copyLine =
        "vexal 1.00: 画像ファイル " + picture + " を wpcache.bmp にコピーできませんでした。";
    const std::string saveLine = "vexal 1.00: 画像ファイル wpcache.bmp を保存できませんでした。";
    // A disk with less than a small picture's floor free takes no download at all, before
    // any byte is written.
    const std::string floorLine =
        "vexal 1.00: 画像ファイル " + fetched.Url +
        " を保存するとディスクの空き容量が 64 MiB を下回るため取得を中止しました。\n";
    // Wine answers a file system mounted read-only with access denied, as it answers a
    // permission the user lacks; Windows says that a medium is write-protected.
    const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    const std::string full = "ディスクの空きが足りません。\n",
                      locked = wine ? "書き込みが許可されていません。\n" : "読み取り専用の場所です。\n";
    const struct {
        const char* name;
        std::string settingsFolder;  // where the test writes the settings file
        std::string runFolder;       // the same folder, as the run sees it
        const char* entry;
        std::string message;
    } rows[] = {
        {"copyOnFullDisk", onZ(small), onZ(small), "copied", copyLine + full},
        {"downloadOnFullDisk", onZ(small), onZ(small), "fetched", floorLine},
        {"copyIntoReadOnly", onZ(writable), onZ(readOnly), "copied", copyLine + locked},
        {"downloadIntoReadOnly", onZ(writable), onZ(readOnly), "fetched", saveLine + locked},
    };
    for (const auto& row : rows) {
        SetUp();
        ASSERT_TRUE(
            WriteSettings(row.settingsFolder + "vexal.ini", SettingsText({copied, fetched}, kBitmapName)));
        const Outcome run = RunUnattended(row.runFolder, row.entry);
        EXPECT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 1u) << row.name;
        EXPECT_EQ(run.standardError, row.message) << row.name;
        EXPECT_EQ(DesktopValue(L"Wallpaper"), "untouched") << row.name;
        EXPECT_FALSE(FileExists(Installed())) << row.name;
        std::vector<DirEntry> left;
        files.ListFolder(row.settingsFolder, left);
        std::vector<std::string> names;
        for (const DirEntry& e : left) names.push_back(e.name);
        EXPECT_EQ(names, std::vector<std::string>{"vexal.ini"}) << row.name;
        ::DeleteFileW(win32::Widen(row.settingsFolder + "vexal.ini").c_str());
    }
}

}  // namespace
}  // namespace vexal::testing
