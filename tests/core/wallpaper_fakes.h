// Doubles for the wallpaper services: a decoder that reads a tiny text form of a picture
// from the in-memory files, and a desktop that logs what it was asked, in order.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/fakes.h"
#include "wallpaper/desktop.h"
#include "wallpaper/image_decoder.h"

namespace vexal::testing {

// "PIC w h 0xAARRGGBB" decodes to a picture of one colour; "BIG w h" is a picture above
// the limits; anything else is not a picture.
inline std::string PicFile(int w, int h, std::uint32_t argb) {
    return "PIC " + std::to_string(w) + " " + std::to_string(h) + " " + std::to_string(argb);
}

class FakeDecoder final : public ImageDecoder {
public:
    explicit FakeDecoder(MemoryFileSystem& files) : files_(files) {}
    int probes = 0;
    int decodes = 0;
    std::vector<std::string> decodedPaths;

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
        std::istringstream in(bytes);
        std::string tag;
        long long w = 0, h = 0;
        std::uint32_t colour = 0;
        in >> tag >> w >> h;
        if (tag == "BIG") return {DecodeError::TooLarge, w, h};
        if (tag != "PIC" || !(in >> colour)) return {DecodeError::Unreadable, 0, 0};
        if (pixels)
            out = Picture::FromPixels(static_cast<int>(w), static_cast<int>(h),
                                      std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), colour),
                                      (colour >> 24) != 0xFF);
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
    // "key NAME=VALUE" and "set PATH" entries, in call order.
    std::vector<std::string> log;
    // The bytes the wallpaper file held when SetWallpaper was called.
    std::string bytesAtSet;

    bool WallpaperFolder(std::string& folderOut) override {
        folderOut = folder;
        return haveFolder;
    }
    void SetKeyValue(const std::string& key, const std::string& name, const std::string& value) override {
        log.push_back("key " + key + "\\" + name + "=" + value);
    }
    bool SetWallpaper(const std::string& path) override {
        log.push_back("set " + path);
        files_.ReadFile(path, bytesAtSet);
        return accept;
    }

private:
    MemoryFileSystem& files_;
};

}  // namespace vexal::testing
