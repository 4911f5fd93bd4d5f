// The bitmap bytes every platform writes, and the handles of the image library calls.
#include "wallpaper/bmp_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/wallpaper_fakes.h"
#include "wallpaper/image_library.h"

namespace vexal {
namespace {

std::uint32_t U32At(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

// A file system whose appends fail after a number of successful ones, to see a bitmap
// write that breaks off half way reported as a failure.
class FailingAppends final : public FileSystem {
public:
    testing::MemoryFileSystem inner;
    int appendsLeft = 0;
    int appends = 0;
    bool ReadFile(const std::string& p, std::string& b) override { return inner.ReadFile(p, b); }
    bool ReplaceFile(const std::string& p, std::string_view b) override { return inner.ReplaceFile(p, b); }
    bool WriteFile(const std::string& p, std::string_view b) override { return inner.WriteFile(p, b); }
    bool AppendFile(const std::string& p, std::string_view b) override {
        ++appends;
        if (appendsLeft-- <= 0) return false;
        return inner.AppendFile(p, b);
    }
    bool IsNormalFile(const std::string& p) override { return inner.IsNormalFile(p); }
    bool CopyFile(const std::string& f, const std::string& t) override { return inner.CopyFile(f, t); }
    bool DeleteFile(const std::string& p) override { return inner.DeleteFile(p); }
    bool ListFolder(const std::string& f, std::vector<DirEntry>& o) override {
        return inner.ListFolder(f, o);
    }
    bool FolderIdentity(const std::string& f, std::string& o) override { return inner.FolderIdentity(f, o); }
};

TEST(BmpWriterTest, TwoByTwoPictureIsStoredBottomUpWithPaddedRows) {
    // Top row red, green; bottom row blue, white.
    const Picture p = Picture::FromPixels(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    testing::MemoryFileSystem files;
    ASSERT_TRUE(WriteBmp(files, "a.bmp", p));
    const std::string& f = files.files["a.bmp"];
    ASSERT_EQ(f.size(), 54u + 2 * 8);
    EXPECT_EQ(f.substr(0, 2), "BM");
    EXPECT_EQ(U32At(f, 2), 70u);   // file size
    EXPECT_EQ(U32At(f, 10), 54u);  // pixel data offset
    EXPECT_EQ(U32At(f, 14), 40u);  // info header size
    EXPECT_EQ(U32At(f, 18), 2u);
    EXPECT_EQ(U32At(f, 22), 2u);  // positive: bottom-up
    EXPECT_EQ(f.substr(26, 4), Bytes({1, 0, 24, 0}));
    EXPECT_EQ(U32At(f, 30), 0u);  // no compression
    EXPECT_EQ(U32At(f, 34), 16u);
    // Bottom row first: blue, white, two bytes of padding; then red, green, padding.
    EXPECT_EQ(f.substr(54), Bytes({0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0}));
}

TEST(BmpWriterTest, RowPaddingForEveryWidthModuloFour) {
    const struct {
        int width;
        std::uint64_t rowBytes;
    } rows[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {6000, 18000}, {6001, 18004}};
    for (auto r : rows) {
        EXPECT_EQ(BmpRowBytes(r.width), r.rowBytes) << r.width;
        std::string out;
        std::vector<std::uint32_t> px(static_cast<std::size_t>(r.width), 0xFF010203);
        AppendBmpRow(px.data(), r.width, false, out);
        ASSERT_EQ(out.size(), r.rowBytes) << r.width;
        EXPECT_EQ(out.substr(0, 3), Bytes({3, 2, 1}));
        for (std::size_t i = static_cast<std::size_t>(r.width) * 3; i < out.size(); ++i) EXPECT_EQ(out[i], 0);
    }
}

TEST(BmpWriterTest, TransparentPartsAreStoredOnBlack) {
    const struct {
        const char* name;
        std::uint32_t argb;
        std::string bgr;
    } rows[] = {
        {"opaque", 0xFF102030, Bytes({0x30, 0x20, 0x10})},
        {"clear", 0x00FFFFFF, Bytes({0, 0, 0})},
        {"half", 0x80FF8000, Bytes({0, 0x40, 0x80})},
    };
    for (const auto& r : rows) {
        std::string out;
        AppendBmpRow(&r.argb, 1, true, out);
        EXPECT_EQ(out.substr(0, 3), r.bgr) << r.name;
    }
    // A picture that declares no alpha keeps its colours whatever the top byte says.
    const std::uint32_t noAlpha = 0x00102030;
    std::string out;
    AppendBmpRow(&noAlpha, 1, false, out);
    EXPECT_EQ(out.substr(0, 3), Bytes({0x30, 0x20, 0x10}));
}

TEST(BmpWriterTest, LargePictureIsWrittenInPiecesWithRowsInOrder) {
    // 2000 × 1100 with rows of 6000 bytes: several pieces, the last one partial.
    const int w = 2000, h = 1100;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | (y << 8) | (x & 0xFF);
    FailingAppends files;
    files.appendsLeft = 1000;
    ASSERT_TRUE(WriteBmp(files, "big.bmp", Picture::FromPixels(w, h, px)));
    EXPECT_GE(files.appends, 1);
    const std::string& f = files.inner.files["big.bmp"];
    ASSERT_EQ(f.size(), 54u + 6000u * h);
    for (int y : {0, 1, 549, 1098, 1099}) {
        const std::size_t stored = 54 + static_cast<std::size_t>(h - 1 - y) * 6000;
        for (int x : {0, 1, 255, 1999}) {
            const std::uint32_t c = px[static_cast<std::size_t>(y) * w + x];
            EXPECT_EQ(f.substr(stored + static_cast<std::size_t>(x) * 3, 3),
                      Bytes({static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                             static_cast<int>((c >> 16) & 0xFF)}))
                << x << "," << y;
        }
    }
}

TEST(BmpWriterTest, FailuresAreReported) {
    FailingAppends files;
    files.appendsLeft = 0;
    std::vector<std::uint32_t> px(2000u * 1100u, 0xFF000000);
    EXPECT_FALSE(WriteBmp(files, "big.bmp", Picture::FromPixels(2000, 1100, px))) << "append refused";
    testing::MemoryFileSystem memory;
    memory.failWrites = true;
    EXPECT_FALSE(WriteBmp(memory, "a.bmp", Picture::FromPixels(1, 1, {0xFF000000}))) << "write refused";
    memory.failWrites = false;
    EXPECT_FALSE(WriteBmp(memory, "a.bmp", Picture{})) << "empty picture";
    EXPECT_EQ(memory.files.count("a.bmp"), 0u);
}

TEST(ImageLibraryTest, HandlesFollowTheLibraryConventions) {
    testing::MemoryFileSystem files;
    testing::FakeDecoder decoder(files);
    files.files["a.png"] = testing::PicFile(3, 1, 0xFF112233);
    files.files["junk.png"] = "<html>404</html>";
    files.files["bomb.png"] = "BIG 100000 100000";
    ImageLibrary lib(decoder, files);

    EXPECT_EQ(lib.PNGtoDIB("missing.png"), 0);
    EXPECT_EQ(lib.LastDecode().error, DecodeError::Unreadable);
    EXPECT_EQ(lib.PNGtoDIB("junk.png"), 0);
    EXPECT_EQ(lib.PNGtoDIB("bomb.png"), 0);
    EXPECT_EQ(lib.LastDecode().error, DecodeError::TooLarge);
    EXPECT_EQ(lib.LastDecode().width, 100000);

    const std::int32_t h = lib.PNGtoDIB("a.png");
    ASSERT_NE(h, 0);
    EXPECT_TRUE(lib.LastDecode().Ok());
    EXPECT_NE(lib.DIBtoBMP("a.bmp", h), 0);
    EXPECT_EQ(files.files["a.bmp"].size(), 54u + 12u);
    EXPECT_EQ(files.files["a.bmp"].substr(54, 3), Bytes({0x33, 0x22, 0x11}));

    files.failWrites = true;
    EXPECT_EQ(lib.DIBtoBMP("b.bmp", h), 0);
    files.failWrites = false;
    lib.DeleteDIB(h);
    EXPECT_EQ(lib.DIBtoBMP("c.bmp", h), 0) << "a released handle names no picture";
    EXPECT_EQ(lib.DIBtoBMP("c.bmp", 0), 0);
    lib.DeleteDIB(12345);  // unknown handles are ignored
}

}  // namespace
}  // namespace vexal
