// The fast PNG path against hand-made files: every row filter, data split across chunks,
// the kinds it leaves to Qt, and damaged or oversized files. Its pixels must be exactly
// what Qt's decoder makes of the same file.
#include "platform/linux/png_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <QImage>
#include <fstream>

#include "posix/temp_dir.h"

namespace vexal {
namespace {

std::string Be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    return Be32(static_cast<std::uint32_t>(data.size())) + body + Be32(static_cast<std::uint32_t>(crc));
}

struct PngShape {
    std::uint32_t width = 13, height = 9;
    int depth = 8, colourType = 2, interlace = 0;
    // Filter type of row y: filters[y % size]; values above 4 make a damaged file.
    std::vector<int> filters = {0, 1, 2, 3, 4};
    std::vector<std::string> before = {};  // extra chunks between IHDR and IDAT
    std::size_t idatPiece = 0;             // split the data into chunks of this size (0: one)
    bool emptyIdatFirst = false;
    std::size_t cutData = 0;  // drop this many bytes from the end of the compressed data
    bool corruptData = false;
    std::string after = Chunk("IEND", "");
};

// Random bytes for every row, stored with the given filters (the filter byte changes how
// a decoder reads them back, so each filter type is exercised on real arithmetic).
std::string MakePng(const PngShape& s) {
    const int channels = s.colourType == 6 ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(s.width) * channels * (s.depth / 8);
    std::string raw;
    std::uint32_t seed = 99;
    for (std::uint32_t y = 0; y < s.height; ++y) {
        raw.push_back(static_cast<char>(s.filters[y % s.filters.size()]));
        for (std::size_t i = 0; i < rowBytes; ++i) {
            seed = seed * 1664525u + 1013904223u;
            raw.push_back(static_cast<char>(seed >> 24));
        }
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string z(size, '\0');
    compress(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
             static_cast<uLong>(raw.size()));
    z.resize(s.cutData >= size ? 0 : size - s.cutData);
    if (s.corruptData) z[z.size() / 2] = static_cast<char>(z[z.size() / 2] ^ 0x55);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    png += Chunk("IHDR", Be32(s.width) + Be32(s.height) + static_cast<char>(s.depth) +
                             static_cast<char>(s.colourType) + std::string(2, '\0') +
                             static_cast<char>(s.interlace));
    for (const auto& c : s.before) png += c;
    if (s.emptyIdatFirst) png += Chunk("IDAT", "");
    const std::size_t piece = s.idatPiece ? s.idatPiece : z.size();
    for (std::size_t at = 0; at < z.size(); at += piece) png += Chunk("IDAT", z.substr(at, piece));
    return png + s.after;
}

class PngReaderTest : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes) {
        const std::string path = dir_ / ("p" + std::to_string(n_++) + ".png");
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    testing::TempDir dir_;
    int n_ = 0;
};

TEST_F(PngReaderTest, PixelsMatchQtForEveryFilterAndLayout) {
    const struct {
        const char* name;
        PngShape shape;
    } rows[] = {
        {"rgbAllFilters", {}},
        {"rgbaAllFilters", {.colourType = 6}},
        {"oneColumn", {.width = 1, .height = 12}},
        {"oneRowPaeth", {.width = 40, .height = 1, .filters = {4}}},
        {"manySmallChunks", {.width = 31, .height = 17, .idatPiece = 7, .emptyIdatFirst = true}},
        {"ancillaryChunksAndPalette",
         {.before = {Chunk("gAMA", Be32(45455)), Chunk("tEXt", std::string("Title\0x", 7)),
                     Chunk("PLTE", std::string(6, '\x10'))}}},
        {"garbageAfterTheEnd", {.after = Chunk("IEND", "") + "not a chunk at all"}},
    };
    for (const auto& r : rows) {
        const std::string path = Write(MakePng(r.shape));
        Picture p;
        DecodeResult result;
        ASSERT_EQ(ReadPng(path, p, result), PngReadResult::Decoded) << r.name;
        EXPECT_TRUE(result.Ok()) << r.name;
        QImage reference(QString::fromStdString(path), "PNG");
        ASSERT_FALSE(reference.isNull()) << r.name;
        reference.convertTo(r.shape.colourType == 6 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        ASSERT_EQ(p.width, reference.width()) << r.name;
        ASSERT_EQ(p.height, reference.height()) << r.name;
        EXPECT_EQ(p.hasAlpha, r.shape.colourType == 6) << r.name;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                ASSERT_EQ(p.Row(y)[x], reference.pixel(x, y)) << r.name << " at " << x << "," << y;
    }
}

TEST_F(PngReaderTest, EndOfFileAfterTheLastRowIsEnough) {
    // The pixels are complete; a missing end chunk does not make them unreadable.
    Picture p;
    DecodeResult result;
    EXPECT_EQ(ReadPng(Write(MakePng({.after = ""})), p, result), PngReadResult::Decoded);
    EXPECT_EQ(p.width, 13);
}

TEST_F(PngReaderTest, OtherKindsAreLeftToQt) {
    const struct {
        const char* name;
        PngShape shape;
    } rows[] = {
        {"sixteenBit", {.depth = 16}},
        {"grey", {.colourType = 0}},
        {"palette", {.colourType = 3}},
        {"interlaced", {.interlace = 1}},
        {"colourKey", {.before = {Chunk("tRNS", std::string(6, '\0'))}}},
        {"unknownCriticalChunk", {.before = {Chunk("ABCD", "x")}}},
    };
    for (const auto& r : rows) {
        Picture p;
        DecodeResult result;
        EXPECT_EQ(ReadPng(Write(MakePng(r.shape)), p, result), PngReadResult::NotHandled) << r.name;
        EXPECT_TRUE(p.Empty()) << r.name;
    }
    std::string badCrc = MakePng({});
    badCrc[29] = static_cast<char>(badCrc[29] ^ 1);
    const std::pair<const char*, std::string> files[] = {
        {"headerCrc", badCrc},
        {"jpeg", std::string("\xFF\xD8\xFF\xE0", 4)},
        {"empty", ""},
        {"zeroWidth", MakePng({.width = 0})},
    };
    for (const auto& [name, bytes] : files) {
        Picture p;
        DecodeResult result;
        EXPECT_EQ(ReadPng(Write(bytes), p, result), PngReadResult::NotHandled) << name;
    }
    Picture p;
    DecodeResult result;
    EXPECT_EQ(ReadPng(dir_ / "missing.png", p, result), PngReadResult::NotHandled);
}

TEST_F(PngReaderTest, DamagedAndOversizedFilesFail) {
    const struct {
        const char* name;
        PngShape shape;
        DecodeError error;
    } rows[] = {
        {"cutShort", {.width = 200, .height = 50, .cutData = 40}, DecodeError::Unreadable},
        {"cutShortInPieces",
         {.width = 200, .height = 50, .idatPiece = 100, .cutData = 300},
         DecodeError::Unreadable},
        {"noDataAtAll", {.idatPiece = 1, .cutData = 1000, .after = ""}, DecodeError::Unreadable},
        {"corrupt", {.width = 200, .height = 50, .corruptData = true}, DecodeError::Unreadable},
        {"unknownFilter", {.filters = {0, 1, 7}}, DecodeError::Unreadable},
        {"tooWide", {.width = 40000, .height = 1}, DecodeError::TooLarge},
        {"tooManyPixels", {.width = 9000, .height = 9000}, DecodeError::TooLarge},
    };
    for (const auto& r : rows) {
        std::string bytes;
        if (r.error != DecodeError::TooLarge) {
            bytes = MakePng(r.shape);
        } else {
            // Refused from the header alone: the data need not exist.
            const std::string ihdr =
                Be32(r.shape.width) + Be32(r.shape.height) + std::string("\x08\x02\x00\x00\x00", 5);
            bytes = std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IEND", "");
        }
        Picture p;
        DecodeResult result;
        EXPECT_EQ(ReadPng(Write(bytes), p, result), PngReadResult::Failed) << r.name;
        EXPECT_EQ(result.error, r.error) << r.name;
        EXPECT_TRUE(p.Empty()) << r.name;
        if (r.error == DecodeError::TooLarge) {
            EXPECT_EQ(result.width, r.shape.width) << r.name;
            EXPECT_EQ(result.height, r.shape.height) << r.name;
        }
    }
}

}  // namespace
}  // namespace vexal
