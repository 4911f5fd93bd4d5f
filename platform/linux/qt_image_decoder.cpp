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
#include <cstdio>
#include <memory>

#include "platform/linux/png_reader.h"

namespace vexal {
namespace {

QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// A damaged file is reported by the libraries themselves as well: Qt through its message
// handler, libpng straight onto standard error. Either would put lines such as "libpng
// error" among the program's own message lines, which scheduled runs read; the outcome
// is what counts, so both are silenced while a file is read.
class Quiet {
public:
    Quiet() : previous_(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {
        std::fflush(stderr);
        savedStderr_ = ::dup(2);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, 2);
            ::close(null);
        }
    }
    ~Quiet() {
        std::fflush(stderr);
        if (savedStderr_ >= 0) {
            ::dup2(savedStderr_, 2);
            ::close(savedStderr_);
        }
        qInstallMessageHandler(previous_);
    }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    QtMessageHandler previous_;
    int savedStderr_ = -1;
};

// The reader's own allocation limit (in MiB) must not refuse what the pixel limit allows.
constexpr int kAllocationLimitMiB = static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 64;

DecodeResult CheckHeader(QImageReader& reader) {
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) return {DecodeError::Unreadable, 0, 0};
    const QSize size = reader.size();
    if (!size.isValid()) return {DecodeError::Unreadable, 0, 0};
    if (!PictureSizeAllowed(size.width(), size.height()))
        return {DecodeError::TooLarge, size.width(), size.height()};
    return {DecodeError::None, size.width(), size.height()};
}

}  // namespace

DecodeResult QtImageDecoder::Probe(const std::string& path) {
    Quiet quiet;
    QImageReader reader(FromPath(path));
    return CheckHeader(reader);
}

DecodeResult QtImageDecoder::Decode(const std::string& path, Picture& pictureOut) {
    // Photos saved as PNG take the faster path; every other picture goes to Qt.
    DecodeResult fast;
    if (ReadPng(path, pictureOut, fast) != PngReadResult::NotHandled) return fast;

    Quiet quiet;
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

}  // namespace vexal
