// Doubles for the wallpaper services: a decoder that reads a tiny text form of a picture
// from the in-memory files, and a desktop that logs what it was asked, in order.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/desktop.h"
#include "host/image_decoder.h"
#include "settings/source_kind.h"
#include "support/fakes.h"

namespace vexal::testing {

// "PIC w h 0xAARRGGBB" decodes to a picture of one colour; "BIG w h" is a picture above
// the limits; a 24-bit bitmap reads as itself; anything else is not a picture.
inline std::string PicFile(int w, int h, std::uint32_t argb) {
    return "PIC " + std::to_string(w) + " " + std::to_string(h) + " " + std::to_string(argb);
}

// The bitmap's path in the fake desktop's folder, with the platform's separator.
inline std::string WallpaperPath(const std::string& folder = "/win", const std::string& name = "wall.bmp") {
    return folder + kFolderSeparator + name;
}

// A picture handed over as rows, failing as a damaged file would at row `failAt`; notes
// whether a row was asked for after a later one.
class FakeRows final : public PictureRows {
public:
    explicit FakeRows(Picture picture, std::int32_t failAt = -1)
        : picture_(std::move(picture)), failAt_(failAt) {
        width = picture_.width;
        height = picture_.height;
        hasAlpha = picture_.hasAlpha;
    }
    const std::uint32_t* Row(std::int32_t y) override {
        if (y < last_) outOfOrder = true;
        last_ = y;
        if (y == failAt_) result_.error = DecodeError::Unreadable;
        return result_.Ok() ? picture_.Row(y) : nullptr;
    }
    DecodeResult Result() const override { return result_; }
    bool outOfOrder = false;

private:
    Picture picture_;
    std::int32_t failAt_, last_ = -1;
    DecodeResult result_{DecodeError::None, picture_.width, picture_.height};
};

class FakeDecoder final : public ImageDecoder {
public:
    explicit FakeDecoder(MemoryFileSystem& files) : files_(files) {}
    int probes = 0;
    int decodes = 0;
    std::vector<std::string> decodedPaths;
    // Gives pictures as rows for a layout, as a photo decoder does; "DAMAGED w h colour"
    // then opens as rows that fail at the last one.
    bool rows = false;

    std::unique_ptr<PictureRows> RowsToShow(
        const std::string& path, const std::function<ShownSize(std::int32_t, std::int32_t)>&) override {
        std::string bytes;
        if (!rows || !files_.ReadFile(path, bytes)) return nullptr;
        const bool damaged = bytes.starts_with("DAMAGED ");
        if (damaged) bytes.replace(0, 7, "PIC");
        Picture picture;
        if (!Parse(bytes, picture, true).Ok()) return nullptr;
        const std::int32_t last = picture.height - 1;
        return std::make_unique<FakeRows>(std::move(picture), damaged ? last : -1);
    }

    DecodeResult Probe(const std::string& path) override {
        ++probes;
        Picture unused;
        return Read(path, unused, false);
    }
    DecodeResult Decode(const std::string& path, Picture& pictureOut) override {
        ++decodes;
        decodedPaths.push_back(path);
        return Read(path, pictureOut, true);
    }

private:
    DecodeResult Read(const std::string& path, Picture& out, bool pixels) {
        std::string bytes;
        if (!files_.ReadFile(path, bytes)) return {DecodeError::Unreadable, 0, 0};
        return Parse(bytes, out, pixels);
    }
    static DecodeResult Parse(const std::string& bytes, Picture& out, bool pixels) {
        if (bytes.size() >= 54 && bytes.compare(0, 2, "BM") == 0) return ReadBmp(bytes, out, pixels);
        std::istringstream in(bytes);
        std::string tag;
        long long w = 0, h = 0;
        std::uint32_t colour = 0;
        in >> tag >> w >> h;
        if (tag == "BIG") return {DecodeError::TooLarge, w, h};
        if (tag == "STOPPED") return {DecodeError::Stopped, 0, 0};
        if (tag != "PIC" || !(in >> colour)) return {DecodeError::Unreadable, 0, 0};
        if (pixels)
            out = Picture::FromPixels(static_cast<int>(w), static_cast<int>(h),
                                      std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), colour),
                                      (colour >> 24) != 0xFF);
        return {DecodeError::None, w, h};
    }
    // The bitmaps the program writes itself: 24-bit, bottom-up.
    static DecodeResult ReadBmp(const std::string& b, Picture& out, bool pixels) {
        auto u32 = [&b](std::size_t at) {
            std::uint32_t v = 0;
            for (int i = 3; i >= 0; --i)
                v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
            return v;
        };
        const int w = static_cast<int>(u32(18)), h = static_cast<int>(u32(22));
        const std::size_t row = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
        if (w <= 0 || h <= 0 || b.size() < 54 + row * static_cast<std::size_t>(h))
            return {DecodeError::Unreadable, 0, 0};
        if (pixels) {
            std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const std::size_t at =
                        54 + row * static_cast<std::size_t>(h - 1 - y) + static_cast<std::size_t>(x) * 3;
                    px[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                       static_cast<std::size_t>(x)] =
                        0xFF000000u | static_cast<unsigned char>(b[at + 2]) << 16 |
                        static_cast<unsigned char>(b[at + 1]) << 8 | static_cast<unsigned char>(b[at]);
                }
            out = Picture::FromPixels(w, h, std::move(px));
        }
        return {DecodeError::None, w, h};
    }
    MemoryFileSystem& files_;
};

class FakeDesktop final : public Desktop {
public:
    explicit FakeDesktop(MemoryFileSystem& files) : files_(files) {}
    std::string folder = "/win";
    bool haveFolder = true;
    bool accept = true;
    // Why it fails when it does; a failure without a reason of its own is a refusal.
    DesktopResult reason;
    // "set PATH", with " WallpaperStyle=W TileWallpaper=T" when a style came with it (and
    // " Background=DECIMAL" when a colour did), and
    // "screen NAME PATH" entries, in call order.
    std::vector<std::string> log;
    // The bytes the wallpaper file held when SetWallpaper was called.
    std::string bytesAtSet;
    std::vector<Screen> screens;  // none: the system cannot tell
    std::uint32_t background = 0;
    bool perScreen = false;  // holds a picture for each screen: logs "screen NAME PATH"

    std::vector<Screen> Screens() override { return screens; }
    std::uint32_t BackgroundColour() override { return background; }
    ScreenWallpapers SetScreenWallpapers(const std::vector<std::string>& paths,
                                         const std::vector<Screen>& on) override {
        if (!perScreen) return {};
        for (std::size_t i = 0; i < paths.size(); ++i) log.push_back("screen " + on[i].name + " " + paths[i]);
        return {true, accept ? DesktopResult{} : Failure()};
    }

    DesktopResult WallpaperFolder(std::string& folderOut) override {
        folderOut = folder;
        return haveFolder ? DesktopResult{} : Failure();
    }
    DesktopResult SetWallpaper(const std::string& path, const StyleValues& style) override {
        log.push_back(
            "set " + path +
            (style.Empty()
                 ? std::string()
                 : " WallpaperStyle=" + style.wallpaperStyle + " TileWallpaper=" + style.tileWallpaper) +
            (style.background ? " Background=" + std::to_string(*style.background) : std::string()));
        files_.ReadFile(path, bytesAtSet);
        return accept ? DesktopResult{} : Failure();
    }

private:
    DesktopResult Failure() const {
        DesktopResult why = reason;
        if (why.Ok()) why.failure = DesktopFailure::Refused;
        return why;
    }
    MemoryFileSystem& files_;
};

}  // namespace vexal::testing
