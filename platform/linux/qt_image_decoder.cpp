// Decoding with QImageReader. The size is read from the header and checked before any
// pixel is decoded, and the decoded QImage is handed over as the picture's storage
// without a copy.
#include "platform/linux/qt_image_decoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/linux/jpeg_reader.h"
#include "platform/linux/libraries_quiet.h"
#include "platform/linux/modern_reader.h"
#include "platform/linux/picture_walk_file.h"
#include "platform/linux/png_reader.h"
#include "platform/linux/webp_reader.h"

namespace vexal {
namespace {

QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// The reader's own allocation limit (in MiB) must not refuse what the pixel limit allows.
constexpr int kAllocationLimitMiB = static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 64;

DecodeResult CheckHeader(QImageReader& reader) {
    // Photos the JPEG reader leaves here (CMYK) are turned upright as it turns the others.
    reader.setAutoTransform(true);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) return {DecodeError::Unreadable, 0, 0};
    QSize size = reader.size();
    // A bitmap stored top row first announces a negative height, which Qt passes on
    // as it stands although it decodes the picture upright.
    if (size.height() < 0 && reader.format() == "bmp") size.setHeight(-size.height());
    if (!size.isValid()) return {DecodeError::Unreadable, 0, 0};
    if (!PictureSizeAllowed(size.width(), size.height()))
        return {DecodeError::TooLarge, size.width(), size.height()};
    return {DecodeError::None, size.width(), size.height()};
}

// The headers of the two formats the program itself writes and reads most, read without
// Qt: the first use of Qt's image plugins costs more than the whole check. False when
// the file is neither (or too short to tell), so Qt decides. A bitmap whose pixel data
// are shorter than its header says is refused here: Qt would fill the missing rows, and
// a bitmap copied as it stands would not open elsewhere.
bool ProbeNatively(const std::string& path, DecodeResult& result) {
    unsigned char h[64] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::read(fd, h, sizeof h);
    const bool whole = n < 2 || h[0] != 'B' || h[1] != 'M' || WalkPictureFile(fd) != PictureWalk::CutShort;
    ::close(fd);
    auto be32 = [&h](int at) {
        return static_cast<std::uint32_t>(h[at]) << 24 | static_cast<std::uint32_t>(h[at + 1]) << 16 |
               static_cast<std::uint32_t>(h[at + 2]) << 8 | h[at + 3];
    };
    auto le32 = [&h](int at) {
        return static_cast<std::uint32_t>(h[at]) | static_cast<std::uint32_t>(h[at + 1]) << 8 |
               static_cast<std::uint32_t>(h[at + 2]) << 16 | static_cast<std::uint32_t>(h[at + 3]) << 24;
    };
    std::int64_t width = 0, height = 0;
    static const unsigned char kPng[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                           0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    if (n >= 24 && std::memcmp(h, kPng, sizeof kPng) == 0) {
        width = be32(16);
        height = be32(20);
    } else if (n >= 34 && h[0] == 'B' && h[1] == 'M' && le32(14) >= 40) {
        const std::int32_t bits = h[28] | h[29] << 8;
        const std::uint32_t compression = le32(30);
        if (bits != 24 && bits != 32 && bits != 8 && bits != 4 && bits != 1 && bits != 16) return false;
        if (compression > 3) return false;
        width = static_cast<std::int32_t>(le32(18));
        height = static_cast<std::int32_t>(le32(22));
        if (height < 0) height = -height;
        if (width <= 0 || height <= 0) return false;
        if (!PictureSizeAllowed(width, height)) {
            result = {DecodeError::TooLarge, width, height};
            return true;
        }
        result = {whole ? DecodeError::None : DecodeError::Unreadable, width, height};
        return true;
    } else {
        return false;
    }
    if (width <= 0 || height <= 0) return false;
    result = {PictureSizeAllowed(width, height) ? DecodeError::None : DecodeError::TooLarge, width, height};
    return true;
}

}  // namespace

DecodeResult QtImageDecoder::Probe(const std::string& path) {
    DecodeResult native;
    if (ProbeNatively(path, native)) return native;
    if (const std::optional<DecodeResult> webp = ProbeWebpFile(path)) return *webp;
    if (const std::optional<DecodeResult> jpeg = ProbeJpeg(path)) return *jpeg;
    if (const std::optional<DecodeResult> modern = ProbeModern(path)) return *modern;
    if (const std::optional<DecodeResult> svg = ProbeSvg(path)) return *svg;
    LibrariesQuiet quiet;
    QImageReader reader(FromPath(path));
    return CheckHeader(reader);
}

DecodeResult QtImageDecoder::Decode(const std::string& path, Picture& pictureOut) {
    // Photos saved as PNG take the faster path, WebP pictures libwebp, JPEG photos
    // libjpeg; every other picture goes to Qt.
    DecodeResult fast;
    if (ReadPng(path, pictureOut, fast, StopAsked()) != PngReadResult::NotHandled) return fast;
    if (const std::optional<DecodeResult> webp = ReadWebp(path, pictureOut, StopAsked())) return *webp;
    if (const std::optional<DecodeResult> jpeg = ReadJpeg(path, pictureOut, StopAsked())) return *jpeg;
    if (const std::optional<DecodeResult> modern = ReadModern(path, pictureOut, StopAsked())) return *modern;
    if (const std::optional<DecodeResult> svg = ReadSvg(path, pictureOut, nullptr)) return *svg;
    DecodeResult header;
    if (ProbeNatively(path, header) && !header.Ok()) return header;
    // A GIF whose first picture is cut short would show black where its data end.
    if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        const PictureWalk walk = WalkPictureFile(fd);
        ::close(fd);
        if (walk == PictureWalk::CutShort) return {DecodeError::Unreadable, 0, 0};
    }

    LibrariesQuiet quiet;
    QImageReader::setAllocationLimit(kAllocationLimitMiB);
    QImageReader reader(FromPath(path));
    DecodeResult result = CheckHeader(reader);
    if (!result.Ok()) return result;

    auto image = std::make_shared<QImage>();
    if (!reader.read(image.get()) || image->isNull())
        return {DecodeError::Unreadable, result.width, result.height};
    // The header may understate the size; the decoded picture is what counts.
    if (!PictureSizeAllowed(image->width(), image->height()))
        return {DecodeError::TooLarge, image->width(), image->height()};

    const bool alpha = image->hasAlphaChannel();
    const QImage::Format wanted = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image->format() != wanted) {
        image->convertTo(wanted);
        if (image->isNull() || image->format() != wanted)
            return {DecodeError::Unreadable, result.width, result.height};
    }

    // Both formats store each pixel as one native 32-bit value 0xAARRGGBB (RGB32 with
    // the top byte 0xFF).
    Picture p;
    p.width = image->width();
    p.height = image->height();
    p.stride = image->bytesPerLine() / 4;
    p.pixels = reinterpret_cast<const std::uint32_t*>(image->constBits());
    p.hasAlpha = alpha;
    p.storage = std::move(image);
    pictureOut = std::move(p);
    return {DecodeError::None, pictureOut.width, pictureOut.height};
}

DecodeResult QtImageDecoder::DecodeToShow(const std::string& path,
                                          const std::function<ShownSize(std::int32_t, std::int32_t)>& shown,
                                          Picture& pictureOut) {
    if (const std::optional<DecodeResult> jpeg = ReadJpeg(path, pictureOut, StopAsked(), &shown))
        return *jpeg;
    if (const std::optional<DecodeResult> svg = ReadSvg(path, pictureOut, &shown)) return *svg;
    return Decode(path, pictureOut);
}

std::unique_ptr<PictureRows> QtImageDecoder::RowsToShow(
    const std::string& path, const std::function<ShownSize(std::int32_t, std::int32_t)>& shown) {
    return JpegRowsToShow(path, StopAsked(), shown);
}

BmpFromFile QtImageDecoder::DecodeToBmp(const std::string& path, const std::string& destination) {
    if (BmpFromFile png = PngToBmp(path, destination, StopAsked()); png.handled) return png;
    if (BmpFromFile webp = WebpToBmp(path, destination, StopAsked()); webp.handled) return webp;
    return JpegToBmp(path, destination, StopAsked());
}

}  // namespace vexal
