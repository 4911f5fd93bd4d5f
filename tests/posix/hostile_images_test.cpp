// Pictures that are empty, cut short, or announce 60000 × 60000 pixels: through the
// decoder and the bitmap writer in this process, at many cut points of every format, and
// through the real program's "-wp" on a private X server, which must end with one message
// and leave the settings file and the installed bitmap as they were. The bitmap written
// while decoding must be byte for byte the one the decoded picture makes, whole or cut.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "platform/linux/command_runner.h"
#include "platform/linux/qt_image_decoder.h"
#include "platform/posix/posix_file_system.h"
#include "posix/program_runner.h"
#include "posix/temp_dir.h"
#include "posix/xvfb_server.h"
#include "wallpaper/bmp_writer.h"
#include "wallpaper/image_library.h"

namespace vexal {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A small photo stand-in: gradients with grain, so every format stores real data.
QImage Photo(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    std::uint32_t seed = 99;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = static_cast<int>(seed >> 28);
            img.setPixel(x, y,
                         qRgb((x * 255 / width + grain) & 0xFF, (y * 255 / height) & 0xFF, (x ^ y) & 0xFF));
        }
    return img;
}

struct Sample {
    std::string name;  // with the extension the program goes by
    std::string bytes;
};

// One whole picture of each format the program installs, made here; GIF and the
// interlaced PNG only where ImageMagick is installed.
std::vector<Sample> Samples(const testing::TempDir& dir) {
    const QImage photo = Photo(240, 160);
    std::vector<Sample> out;
    auto save = [&](const std::string& name, const char* format, bool progressive = false) {
        QImageWriter writer(QString::fromStdString(dir / name), format);
        writer.setQuality(90);
        if (progressive) writer.setProgressiveScanWrite(true);
        if (writer.write(photo)) out.push_back({name, Slurp(dir / name)});
    };
    save("photo.png", "PNG");
    save("photo.jpg", "JPEG");
    save("progressive.jpg", "JPEG", true);
    save("photo.bmp", "BMP");
    SpawnCommandRunner runner;
    if (runner.Run({"/usr/bin/convert", dir / "photo.png", dir / "photo.gif"}).status == 0)
        out.push_back({"photo.gif", Slurp(dir / "photo.gif")});
    // Run-length bitmaps: one whose header gives the runs' length, one that leaves it 0
    // (a bitmap cut anywhere in its runs was then taken as whole).
    if (runner.Run({"/usr/bin/convert", dir / "photo.gif", "-compress", "RLE", "BMP3:" + (dir / "rle.bmp")})
            .status == 0) {
        std::string rle = Slurp(dir / "rle.bmp");
        out.push_back({"rle.bmp", rle});
        rle.replace(34, 4, std::string(4, '\0'));
        Write(dir / "rle-unsized.bmp", rle);
        out.push_back({"rle-unsized.bmp", rle});
    }
    if (runner.Run({"/usr/bin/convert", dir / "photo.png", "-interlace", "PNG", dir / "interlaced.png"})
            .status == 0)
        out.push_back({"interlaced.png", Slurp(dir / "interlaced.png")});
    // WebP lossy and lossless, and an animation whose first frame covers only part of its
    // canvas, where the webp tools are installed.
    if (runner.Run({"/usr/bin/cwebp", "-quiet", "-q", "90", dir / "photo.png", "-o", dir / "photo.webp"})
            .status == 0)
        out.push_back({"photo.webp", Slurp(dir / "photo.webp")});
    if (runner.Run({"/usr/bin/cwebp", "-quiet", "-lossless", dir / "photo.png", "-o", dir / "lossless.webp"})
            .status == 0)
        out.push_back({"lossless.webp", Slurp(dir / "lossless.webp")});
    photo.copy(40, 30, 100, 80).save(QString::fromStdString(dir / "part.png"), "PNG");
    if (runner.Run({"/usr/bin/cwebp", "-quiet", dir / "part.png", "-o", dir / "part.webp"}).status == 0 &&
        runner.Run({"/usr/bin/webpmux", "-frame", dir / "part.webp", "+100+40+30", "-frame",
                    dir / "photo.webp", "+100", "-loop", "0", "-o", dir / "animation.webp"})
                .status == 0)
        out.push_back({"animation.webp", Slurp(dir / "animation.webp")});
    // The newer kinds, made by Debian's own encoders where they are installed, and a drawing.
    const std::pair<const char*, std::vector<std::string>> encoders[] = {
        {"photo.avif", {"/usr/bin/avifenc", "-s", "8", dir / "photo.png", dir / "photo.avif"}},
        {"photo.heic", {"/usr/bin/heif-enc", "-q", "80", dir / "photo.png", "-o", dir / "photo.heic"}},
        {"photo.jxl", {"/usr/bin/cjxl", "-q", "90", dir / "photo.png", dir / "photo.jxl"}},
    };
    for (const auto& [name, command] : encoders)
        if (runner.Run(command).status == 0) out.push_back({name, Slurp(dir / name)});
    const std::string drawing =
        "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"240\" "
        "height=\"160\"><rect "
        "width=\"240\" height=\"80\" fill=\"#3060a0\"/><circle cx=\"120\" cy=\"80\" r=\"40\" "
        "fill=\"#f0c020\"/></svg>\n";
    Write(dir / "photo.svg", drawing);
    out.push_back({"photo.svg", drawing});
    return out;
}

void PutBe16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v >> 8);
    s[at + 1] = static_cast<char>(v);
}
void PutLe16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}
void PutBe32(std::string& s, std::size_t at, std::uint32_t v) {
    PutBe16(s, at, v >> 16);
    PutBe16(s, at + 2, v);
}
void PutLe32(std::string& s, std::size_t at, std::uint32_t v) {
    PutLe16(s, at, v);
    PutLe16(s, at + 2, v >> 16);
}

// The sample with its header rewritten to announce width × height, the pixel data left
// as it was: a small file that claims a picture of many gigabytes.
std::string Claiming(const Sample& sample, std::uint32_t width, std::uint32_t height) {
    std::string s = sample.bytes;
    const std::string ext = sample.name.substr(sample.name.size() - 3);
    if (ext == "png") {
        PutBe32(s, 16, width);
        PutBe32(s, 20, height);
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(s.data() + 12), 17);
        PutBe32(s, 29, static_cast<std::uint32_t>(crc));
    } else if (ext == "bmp") {
        PutLe32(s, 18, width);
        PutLe32(s, 22, height);
    } else if (ext == "gif") {
        PutLe16(s, 6, width);
        PutLe16(s, 8, height);
        const std::size_t image = s.find('\x2c', 13);
        if (image != std::string::npos) {
            PutLe16(s, image + 5, width);
            PutLe16(s, image + 7, height);
        }
    } else if (ext == "ebp") {
        // The canvas of an extended file, which a simple one is first made into.
        if (s.compare(12, 4, "VP8X") != 0) {
            s.insert(12, std::string("VP8X\x0a\0\0\0", 8) + std::string(10, '\0'));
            PutLe32(s, 4, static_cast<std::uint32_t>(s.size() - 8));
        }
        for (int i = 0; i < 3; ++i) {
            s[24 + i] = static_cast<char>((width - 1) >> (8 * i));
            s[27 + i] = static_cast<char>((height - 1) >> (8 * i));
        }
    } else if (ext == "vif" || ext == "eic") {
        // The picture's spatial extent, which HEIF and AVIF readers take as its size.
        const std::size_t ispe = s.find("ispe");
        if (ispe != std::string::npos) {
            PutBe32(s, ispe + 8, width);
            PutBe32(s, ispe + 12, height);
        }
    } else if (ext == "jpg") {
        // The frame header of a baseline or a progressive picture.
        for (std::size_t i = 2; i + 8 < s.size(); ++i)
            if (s[i] == '\xff' && (s[i + 1] == '\xc0' || s[i + 1] == '\xc2')) {
                PutBe16(s, i + 5, height);
                PutBe16(s, i + 7, width);
                break;
            }
    }
    return s;
}

// Where to cut each sample: every byte of the first headers, then points across the file.
std::set<std::size_t> CutPoints(std::size_t size) {
    std::set<std::size_t> cuts;
    for (std::size_t n = 0; n < std::min<std::size_t>(size, 80); ++n) cuts.insert(n);
    for (std::size_t k = 1; k < 32; ++k) cuts.insert(size * k / 32);
    for (std::size_t back : {1, 2, 4, 8, 12, 16}) cuts.insert(size - back);
    return cuts;
}

// A decoded picture must have its announced shape, and the bitmap written from it the
// size a 24-bit bitmap of that shape has.
void ExpectUsableOrRefused(ImageLibrary& library, const std::string& path, const std::string& bmp,
                           const std::string& what) {
    const std::int32_t handle = library.PNGtoDIB(path);
    const DecodeResult& r = library.LastDecode();
    if (handle == 0) {
        EXPECT_FALSE(r.Ok()) << what;
        return;
    }
    ASSERT_TRUE(r.Ok()) << what;
    ASSERT_TRUE(PictureSizeAllowed(r.width, r.height)) << what;
    ASSERT_NE(library.DIBtoBMP(bmp, handle), 0) << what;
    const std::uint64_t row = (static_cast<std::uint64_t>(r.width) * 3 + 3) / 4 * 4;
    EXPECT_EQ(std::filesystem::file_size(bmp), 54 + row * static_cast<std::uint64_t>(r.height)) << what;
    library.DeleteDIB(handle);
}

// The bitmap written while decoding holds exactly what writing the decoded picture gives,
// and a picture that cannot be read, or a
// file that cannot be written, leaves the previous bitmap and no partial file behind.
void ExpectDirectBitmapLikeDecoded(QtImageDecoder& decoder, const std::string& path,
                                   const testing::TempDir& dir, const std::string& what) {
    const std::string direct = dir / "direct.bmp", decoded = dir / "decoded.bmp";
    Write(direct, "the previous bitmap");
    const BmpFromFile d = decoder.DecodeToBmp(path, direct);
    Picture p;
    const DecodeResult r = decoder.Decode(path, p);
    if (d.handled) {
        EXPECT_EQ(d.decoded.error, r.error) << what;
        if (r.Ok()) {
            EXPECT_EQ(d.decoded.width, r.width) << what;
            EXPECT_EQ(d.decoded.height, r.height) << what;
            PosixFileSystem files;
            ASSERT_TRUE(WriteBmp(files, decoded, p)) << what;
            ASSERT_TRUE(d.written) << what;
            EXPECT_TRUE(Slurp(direct) == Slurp(decoded)) << what << ": the bitmaps differ";
        }
    }
    if (!d.written) {
        EXPECT_EQ(Slurp(direct), "the previous bitmap") << what;
    }
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << what;
}

TEST(HostileImagesTest, EveryCutOfEveryFormatIsReadOrRefused) {
    testing::TempDir dir;
    QtImageDecoder decoder;
    PosixFileSystem files;
    ImageLibrary library(decoder, files);
    for (const Sample& sample : Samples(dir)) {
        for (const std::size_t cut : CutPoints(sample.bytes.size())) {
            const std::string path = dir / ("cut-" + sample.name);
            Write(path, sample.bytes.substr(0, cut));
            const std::string what = sample.name + " cut at " + std::to_string(cut) + " bytes";
            ExpectUsableOrRefused(library, path, dir / "out.bmp", what);
            ExpectDirectBitmapLikeDecoded(decoder, path, dir, what);
            // A cut JPEG was installed grey below the cut, a GIF or bitmap black. A GIF
            // needs only its first picture whole: the trailer byte after it may be gone; a
            // PNG only its pixel data, not the checksum and the end chunk after them; a
            // run-length bitmap every row's end, not the end-of-picture mark after them.
            // An SVG drawing is whole once its root element is closed.
            const bool pixelsWhole = (sample.name.ends_with(".gif") && cut + 1 == sample.bytes.size()) ||
                                     (sample.name.starts_with("rle") && cut + 2 >= sample.bytes.size()) ||
                                     (sample.name.ends_with(".png") && cut + 16 >= sample.bytes.size()) ||
                                     (sample.name.ends_with(".svg") && cut >= sample.bytes.rfind('>') + 1);
            Picture p;
            if (!pixelsWhole) {
                EXPECT_FALSE(decoder.Decode(path, p).Ok()) << what;
            }
        }
        // The whole file is read, at its own size.
        const std::string path = dir / sample.name;
        ExpectDirectBitmapLikeDecoded(decoder, path, dir, sample.name);
        Picture p;
        EXPECT_TRUE(decoder.Decode(path, p).Ok()) << sample.name;
        EXPECT_EQ(p.width, 240) << sample.name;
        EXPECT_EQ(p.height, 160) << sample.name;
    }
}

TEST(HostileImagesTest, DirectBitmapOfEveryKindOfPhoto) {
    testing::TempDir dir;
    QtImageDecoder decoder;
    SpawnCommandRunner runner;
    // Wide enough that the rows go to the file in several blocks, the last one short.
    const QImage wide = Photo(2000, 203);
    QImage alpha = wide.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < alpha.height(); ++y)
        for (int x = 0; x < alpha.width(); ++x)
            alpha.setPixel(x, y, (alpha.pixel(x, y) & 0xFFFFFF) | static_cast<QRgb>((x + y) & 0xFF) << 24);
    ASSERT_TRUE(wide.save(QString::fromStdString(dir / "wide.png"), "PNG"));
    ASSERT_TRUE(wide.save(QString::fromStdString(dir / "wide.jpg"), "JPEG", 90));
    ASSERT_TRUE(alpha.save(QString::fromStdString(dir / "alpha.png"), "PNG"));
    ASSERT_TRUE(Photo(37, 29)
                    .convertToFormat(QImage::Format_Grayscale8)
                    .save(QString::fromStdString(dir / "grey.jpg"), "JPEG", 80));
    ASSERT_TRUE(wide.save(QString::fromStdString(dir / "jpeg-inside.png"), "JPEG", 75));
    std::vector<std::string> names = {"wide.png", "wide.jpg", "alpha.png", "grey.jpg", "jpeg-inside.png"};
    // Made by ImageMagick where it is installed: other subsamplings, restart markers, an
    // RGB and a CMYK JPEG, and 16-bit PNG, which the general decoder reads; WebP lossy and
    // lossless, opaque and with transparency.
    const struct {
        const char* name;
        std::vector<std::string> options;
        const char* from = "wide.png";
    } converted[] = {
        {"444.jpg", {"-sampling-factor", "1x1", "-quality", "95"}},
        {"422.jpg", {"-sampling-factor", "2x1"}},
        {"restarts.jpg", {"-define", "jpeg:restart-interval=3"}},
        {"rgb.jpg", {"-colorspace", "sRGB", "-define", "jpeg:colorspace=2"}},
        {"cmyk.jpg", {"-colorspace", "CMYK"}},
        {"deep.png", {}},
        {"wide.webp", {"-quality", "90"}},
        {"lossless.webp", {"-define", "webp:lossless=true"}},
        {"alpha.webp", {"-quality", "90"}, "alpha.png"},
        {"alpha-lossless.webp", {"-define", "webp:lossless=true", "-define", "webp:exact=true"}, "alpha.png"},
    };
    for (const auto& c : converted) {
        std::vector<std::string> args = {"/usr/bin/convert", dir / c.from};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back((std::string(c.name) == "deep.png" ? "PNG48:" : "") + dir / c.name);
        if (runner.Run(args).status == 0) names.push_back(c.name);
    }
    // An animation whose first frame, the lossless photo (large enough to be decoded in
    // several steps), lies at an offset inside a larger canvas: rows above, beside and
    // below it are transparent.
    if (std::count(names.begin(), names.end(), "lossless.webp") &&
        runner.Run({"/usr/bin/webpmux", "-frame", dir / "lossless.webp", "+100+6+4", "-frame",
                    dir / "alpha.webp", "+100", "-o", dir / "animation.webp"})
                .status == 0)
        names.push_back("animation.webp");
    for (const std::string& name : names) ExpectDirectBitmapLikeDecoded(decoder, dir / name, dir, name);

    // The kinds written while decoding, and those left to the general path.
    const std::set<std::string> direct = {
        "wide.png",      "wide.jpg",   "alpha.png",           "grey.jpg",      "jpeg-inside.png",
        "444.jpg",       "422.jpg",    "restarts.jpg",        "rgb.jpg",       "wide.webp",
        "lossless.webp", "alpha.webp", "alpha-lossless.webp", "animation.webp"};
    for (const std::string& name : names)
        EXPECT_EQ(decoder.DecodeToBmp(dir / name, dir / "x.bmp").handled, direct.count(name) == 1) << name;
}

TEST(HostileImagesTest, DirectBitmapThatCannotBeWrittenKeepsThePreviousOne) {
    testing::TempDir dir;
    QtImageDecoder decoder;
    ASSERT_TRUE(Photo(2000, 203).save(QString::fromStdString(dir / "a.png"), "PNG"));
    ASSERT_TRUE(Photo(2000, 203).save(QString::fromStdString(dir / "a.jpg"), "JPEG"));
    for (const char* name : {"a.png", "a.jpg"}) {
        SCOPED_TRACE(name);
        // No folder to write into: left to the general path, which reports it.
        EXPECT_FALSE(decoder.DecodeToBmp(dir / name, dir / "missing/x.bmp").handled);
        // A folder where the bitmap goes is neither replaced nor swapped away.
        std::filesystem::create_directory(dir / "taken.bmp");
        Write(dir / "taken.bmp/inside", "kept");
        EXPECT_FALSE(decoder.DecodeToBmp(dir / name, dir / "taken.bmp").written);
        EXPECT_EQ(Slurp(dir / "taken.bmp/inside"), "kept");
        std::filesystem::remove_all(dir / "taken.bmp");
        // The file fills up half way (as a full disk would).
        Write(dir / "x.bmp", "the previous bitmap");
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 400000;
        const auto previous = ::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const BmpFromFile r = decoder.DecodeToBmp(dir / name, dir / "x.bmp");
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, previous);
        EXPECT_TRUE(r.handled);
        EXPECT_TRUE(r.decoded.Ok()) << "the picture itself was fine";
        EXPECT_FALSE(r.written);
        EXPECT_EQ(Slurp(dir / "x.bmp"), "the previous bitmap");
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos);
    }
}

// Some headers are refused by the format's own reader before the size can be judged:
// libjpeg takes no side above 65500, and Qt's GIF reader no screen above its own limit.
// Those pictures are unreadable rather than too large; either way nothing is allocated.
bool RefusedByItsOwnReader(const std::string& name, std::uint32_t width, std::uint32_t height) {
    const std::string ext = name.substr(name.size() - 3);
    if (ext == "jpg") return std::max(width, height) > 65500;
    if (ext == "gif") return static_cast<std::int64_t>(width) * height > kMaxPicturePixels;
    return false;
}

TEST(HostileImagesTest, ClaimsOfHugeSizesAreRefusedBeforeAnyPixelMemory) {
    testing::TempDir dir;
    QtImageDecoder decoder;
    PosixFileSystem files;
    ImageLibrary library(decoder, files);
    const struct {
        const char* name;
        std::uint32_t width, height;
    } sizes[] = {
        {"60000x60000", 60000, 60000}, {"60000x1", 60000, 1},         {"1x60000", 1, 60000},
        {"30000x30000", 30000, 30000}, {"65535x65535", 65535, 65535},
    };
    for (const Sample& sample : Samples(dir)) {
        // A drawing has no pixels of its own to claim (a huge one is drawn reduced: see
        // below), and a JPEG XL header's size is packed in bits the test does not rewrite.
        if (sample.name.ends_with(".svg") || sample.name.ends_with(".jxl")) continue;
        for (const auto& size : sizes) {
            const std::string what = sample.name + " claiming " + size.name;
            const std::string path = dir / ("claim-" + sample.name);
            Write(path, Claiming(sample, size.width, size.height));
            EXPECT_EQ(library.PNGtoDIB(path), 0) << what;
            const DecodeResult& r = library.LastDecode();
            EXPECT_FALSE(r.Ok()) << what;
            if (!RefusedByItsOwnReader(sample.name, size.width, size.height)) {
                EXPECT_EQ(r.error, DecodeError::TooLarge) << what;
            }
            if (r.error == DecodeError::TooLarge) {
                EXPECT_EQ(r.width, size.width) << what;
                EXPECT_EQ(r.height, size.height) << what;
            }
        }
    }
}

// A drawing declaring 60000 × 60000 is drawn within the bound, with its shape kept; drawn
// at a shown size past the bound it is refused before any pixel memory is taken.
TEST(HostileImagesTest, HugeDrawingIsDrawnWithinTheBound) {
    testing::TempDir dir;
    QtImageDecoder decoder;
    Write(dir / "huge.svg",
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"60000\" height=\"30000\"><rect width=\"60000\" "
          "height=\"30000\" fill=\"red\"/></svg>");
    Picture p;
    const DecodeResult r = decoder.Decode(dir / "huge.svg", p);
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(PictureSizeAllowed(p.width, p.height));
    EXPECT_NEAR(p.width, 2 * p.height, 2) << "its shape kept";
    EXPECT_GT(std::int64_t{p.width} * p.height, kMaxPicturePixels * 99 / 100) << "as large as allowed";
    const auto huge = [](std::int32_t, std::int32_t) { return ShownSize{40000, 40000}; };
    EXPECT_EQ(decoder.DecodeToShow(dir / "huge.svg", huge, p).error, DecodeError::TooLarge);
}

#ifdef VEXAL_BINARY

using RunResult = testing::ProgramRun;

// The real program, run in `dir` without windows, killed if it is still running after
// `limitMs`.
RunResult RunVexal(const std::string& dir, const std::string& display, const std::vector<std::string>& args,
                   int limitMs = 30000) {
    testing::ProgramOptions options;
    options.dir = dir;
    options.env = testing::UnattendedX11Env(dir, display);
    options.limitMs = limitMs;
    return testing::RunProgram(VEXAL_BINARY, args, options);
}

TEST(HostileImagesTest, RealProgramEndsWithOneMessageAndKeepsWhatItHad) {
    testing::XvfbServer xvfb;
    if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    testing::TempDir dir;
    const std::vector<Sample> samples = Samples(dir);
    Write(dir / "vexal.ini",
          "'vexal   ver.1.00\r\n\r\nNewMsg = (new)\r\nCacheFileName = wpcache\r\nWinFolderWPname = "
          "wallpaper.bmp\r\nTimeOut = 5\r\n-\r\nName = kept\r\nUrl = " +
              dir / "photo.png" +
              "\r\nComment = \r\nFilter = 000000\r\nExt = 1111\r\nWpState = 2\r\nNo = 0\r\nNo_n = "
              "1\r\nRefstr = "
              "\r\n");

    // A good picture first: what every hostile one must leave alone.
    const RunResult good = RunVexal(dir.path(), xvfb.display(), {"kept"});
    ASSERT_EQ(good.status, 0) << good.err;
    const std::string settings = Slurp(dir / "vexal.ini");
    const std::string bitmap = Slurp(dir / "data/vexal/wallpaper.bmp");
    ASSERT_FALSE(bitmap.empty());

    std::vector<Sample> hostile;
    for (const Sample& s : samples) {
        if (s.name == "progressive.jpg" || s.name == "interlaced.png") continue;
        hostile.push_back({"empty-" + s.name, ""});
        hostile.push_back({"half-" + s.name, s.bytes.substr(0, s.bytes.size() / 2)});
        // (A drawing and a JPEG XL header are not rewritten: see the claims above.)
        if (!s.name.ends_with(".svg") && !s.name.ends_with(".jxl"))
            hostile.push_back({"claim-" + s.name, Claiming(s, 60000, 60000)});
    }
    for (const Sample& h : hostile) {
        SCOPED_TRACE(h.name);
        Write(dir / h.name, h.bytes);
        const RunResult r = RunVexal(dir.path(), xvfb.display(), {"-wp", h.name});
        EXPECT_FALSE(r.timedOut);
        EXPECT_LT(r.peakKiB, 256 * 1024) << "KiB at the peak: no pixel memory for a claimed size";
        EXPECT_EQ(Slurp(dir / "vexal.ini"), settings) << "the settings file is untouched";
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            EXPECT_NE(e.path().filename().string().rfind("wpcache", 0), 0u) << "working file left behind";
        if (r.status == 0) {
            // A cut picture that its decoder still reads is installed; nothing else may be.
            EXPECT_EQ(h.name.rfind("half-", 0), 0u) << r.err;
            EXPECT_EQ(r.err, "");
            Write(dir / "data/vexal/wallpaper.bmp", bitmap);
            continue;
        }
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(Slurp(dir / "data/vexal/wallpaper.bmp"), bitmap) << "the installed bitmap is untouched";
        // One message, saying why (a PNG's file on its second line, after CR LF).
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n') - std::count(r.err.begin(), r.err.end(), '\r'),
                  1)
            << r.err;
        const bool tooLarge =
            r.err.find("大きすぎるため読み込めません（60000×60000 画素）") != std::string::npos;
        const bool unreadable = r.err.find("読み込めませんでした") != std::string::npos ||
                                r.err.find("pngファイルの読み出しに失敗しました") != std::string::npos;
        if (h.name.rfind("claim-", 0) != 0) {
            EXPECT_TRUE(unreadable) << r.err;
        } else if (RefusedByItsOwnReader(h.name, 60000, 60000)) {
            EXPECT_TRUE(tooLarge || unreadable) << r.err;
        } else {
            EXPECT_TRUE(tooLarge) << r.err;
        }
    }
}

#endif  // VEXAL_BINARY

}  // namespace
}  // namespace vexal
