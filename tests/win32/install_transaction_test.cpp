// A change of wallpaper on the real Windows file system (hard links for the kept
// wallpapers, MoveFileEx for the replacements, WIC for the pictures) against a desktop that
// refuses: the wallpaper folder must be left byte for byte as it was.
#include <gtest/gtest.h>

#include <map>

#include "platform/win32/wic_image_decoder.h"
#include "platform/win32/win32_file_system.h"
#include "support/refused_changes.h"
#include "wallpaper/install.h"
#include "win32/test_pictures.h"
#include "win32/win_temp_dir.h"

namespace vexal {
namespace {

// The system's desktop as a double: it takes or refuses what it is given, on two screens,
// holding a picture for each or one spanned over both.
class TwoScreenDesktop final : public Desktop {
public:
    std::string folder;
    bool accept = true;
    bool perScreen = false;
    int calls = 0;
    DesktopResult WallpaperFolder(std::string& folderOut) override {
        folderOut = folder;
        return {};
    }
    std::vector<Screen> Screens() override { return {{{0, 0, 4, 2}, "L"}, {{4, 0, 4, 2}, "R"}}; }
    ScreenWallpapers SetScreenWallpapers(const std::vector<std::string>&,
                                         const std::vector<Screen>&) override {
        if (!perScreen) return {};
        return {true, Answer()};
    }
    DesktopResult SetWallpaper(const std::string&, const StyleValues&) override { return Answer(); }

private:
    DesktopResult Answer() {
        ++calls;
        DesktopResult result;
        if (!accept) {
            result.failure = DesktopFailure::SystemRefused;
            result.status = 5;
        }
        return result;
    }
};

class InstallTransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop.folder = wallpapers.path().substr(0, wallpapers.path().size() - 1);
        for (std::uint32_t i = 0; i < 4; ++i)
            ASSERT_TRUE(
                files.WriteFile(pictures / Name(i),
                                testing::Png(2, 2, std::vector<std::uint32_t>(4, 0xFF000000 | (i * 0x30)))));
    }
    static std::string Name(std::uint32_t i) { return "p" + std::to_string(i) + ".png"; }
    InstallResult Install(bool eachScreen, std::uint32_t first) {
        InstallRequest request;
        request.style = WallpaperStyle::Fill;
        request.wallpaperName = "wallpaper.bmp";
        request.pictures = {{pictures / Name(first), Name(first)}, {pictures / Name((first + 1) % 4), "b"}};
        if (eachScreen) request.screens = desktop.Screens();
        return InstallWallpaper(request, services);
    }
    std::map<std::string, std::string> Folder() {
        std::vector<DirEntry> entries;
        EXPECT_TRUE(files.ListFolder(wallpapers.path(), entries));
        std::map<std::string, std::string> out;
        for (const DirEntry& e : entries)
            EXPECT_TRUE(files.ReadFile(wallpapers / e.name, out[e.name])) << e.name;
        return out;
    }

    testing::WinTempDir wallpapers, pictures;
    Win32FileSystem files;
    WicImageDecoder decoder;
    TwoScreenDesktop desktop;
    WallpaperServices services{&files, &decoder, &desktop, nullptr};
};

TEST_F(InstallTransactionTest, RefusedChangeLeavesTheFolderAsItWas) {
    using Change = testing::RefusedChange;
    for (const auto& row : testing::kRefusedChanges) {
        SetUp();
        for (const auto& [name, bytes] : Folder()) files.DeleteFile(wallpapers / name);
        desktop.accept = true;
        desktop.perScreen = row.perScreen;
        // Four changes, so that the bound of kept wallpapers is reached and every kind of
        // wallpaper is there to be replaced or gone back to.
        ASSERT_TRUE(Install(false, 0).Ok()) << row.name;
        ASSERT_TRUE(Install(true, 1).Ok()) << row.name;
        ASSERT_TRUE(Install(true, 2).Ok()) << row.name;
        const bool step = row.change == Change::Back || row.change == Change::Forward;
        ASSERT_TRUE(Install(step && row.perScreen, 3).Ok()) << row.name;
        if (row.change == Change::Forward) {
            ASSERT_TRUE(GoBack("wallpaper.bmp", services).Ok()) << row.name;
        }
        const std::map<std::string, std::string> before = Folder();
        ASSERT_GE(before.size(), 5u) << row.name;
        desktop.accept = false;
        desktop.calls = 0;
        const InstallResult refused = row.change == Change::Back ? GoBack("wallpaper.bmp", services)
                                      : row.change == Change::Forward
                                          ? GoForward("wallpaper.bmp", services)
                                          : Install(row.change == Change::EachScreen, 0);
        EXPECT_EQ(refused.outcome, InstallOutcome::Refused) << row.name;
        EXPECT_EQ(refused.desktop.failure, DesktopFailure::SystemRefused) << row.name;
        EXPECT_EQ(desktop.calls, 1) << row.name;
        EXPECT_TRUE(Folder() == before) << row.name << ": every file as it was, and no other";
    }
}

}  // namespace
}  // namespace vexal
