// HEIF, AVIF and JPEG XL decoded with their libraries into the program's pixels, and SVG
// drawn with Qt's SVG module. None of these libraries decodes in bands the program could
// write as they come, so each picture is held once, in the Picture handed on.
#include "platform/linux/modern_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "gather/content_kind.h"
#include "platform/linux/libraries_quiet.h"
#include "platform/linux/modern_libraries.h"

namespace vexal {
namespace {

constexpr DecodeResult kUnreadable{DecodeError::Unreadable, 0, 0};

// The first bytes of a file, enough for every signature and an SVG's prologue.
std::string Head(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string head(1024, '\0');
    ssize_t n;
    do n = ::pread(fd, head.data(), head.size(), 0);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    head.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return head;
}

// A picture of these kinds whose library is not installed: refused, naming the kind.
DecodeResult NoLibrary(PictureKind kind) {
    return {DecodeError::NoLibrary, 0, 0,
            kind == PictureKind::Avif   ? CodecKind::Avif
            : kind == PictureKind::Heif ? CodecKind::Heif
                                        : CodecKind::JpegXl};
}

bool LooksLikeSvg(std::string_view head) { return ContentKindOf(head).picture == PictureKind::Svg; }

// Rows of bytes R, G, B, A turned where they lie into the pixels 0xAARRGGBB (in memory B,
// G, R, A): the decoded picture is never held twice. An opaque picture's alpha bytes are
// made opaque whatever the library left there. True when a pixel is not opaque.
bool ToPixelsInPlace(std::uint8_t* rows, std::int32_t width, std::int32_t height, std::ptrdiff_t stride,
                     bool opaque) {
    bool alpha = false;
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* p = rows + y * stride;
        for (std::int32_t x = 0; x < width; ++x, p += 4) {
            std::swap(p[0], p[2]);
            if (opaque) p[3] = 0xFF;
            alpha = alpha || p[3] != 0xFF;
        }
    }
    return alpha;
}

// ---- HEIF and AVIF ----

struct HeifDeleter {
    const HeifFunctions* heif = nullptr;
    void operator()(heif_context* c) const { heif->context_free(c); }
    void operator()(heif_image_handle* h) const { heif->image_handle_release(h); }
    void operator()(heif_image* i) const { heif->image_release(i); }
    void operator()(heif_decoding_options* o) const { heif->decoding_options_free(o); }
};
template <class T>
using HeifPtr = std::unique_ptr<T, HeifDeleter>;

// The primary picture's handle and its upright size, checked against the bound.
DecodeResult OpenHeif(const HeifFunctions& heif, const std::string& path, HeifPtr<heif_context>& context,
                      HeifPtr<heif_image_handle>& handle) {
    context = HeifPtr<heif_context>(heif.context_alloc(), {&heif});
    if (!context) return kUnreadable;
    // libheif's own limit (32768 a side) would make a picture claiming more an unreadable
    // one; the program's bound below refuses it before decoding, as too large.
    heif.context_set_maximum_image_size_limit(context.get(), 65536);
    if (heif.context_read_from_file(context.get(), path.c_str(), nullptr).code != heif_error_Ok)
        return kUnreadable;
    heif_image_handle* primary = nullptr;
    if (heif.context_get_primary_image_handle(context.get(), &primary).code != heif_error_Ok || !primary)
        return kUnreadable;
    handle = HeifPtr<heif_image_handle>(primary, {&heif});
    // The size after the container's rotation, which is how the picture is shown.
    const std::int64_t width = heif.image_handle_get_width(primary);
    const std::int64_t height = heif.image_handle_get_height(primary);
    if (width <= 0 || height <= 0) return kUnreadable;
    if (!PictureSizeAllowed(width, height)) return {DecodeError::TooLarge, width, height};
    return {DecodeError::None, width, height};
}

DecodeResult ReadHeif(const HeifFunctions& heif, const std::string& path, Picture& pictureOut,
                      const std::function<bool()>& stop) {
    HeifPtr<heif_context> context;
    HeifPtr<heif_image_handle> handle;
    const DecodeResult head = OpenHeif(heif, path, context, handle);
    if (!head.Ok()) return head;
    if (stop && stop()) return {DecodeError::Stopped, head.width, head.height};
    const bool alpha = heif.image_handle_has_alpha_channel(handle.get()) != 0;
    HeifPtr<heif_decoding_options> options(heif.decoding_options_alloc(), {&heif});
    if (!options) return kUnreadable;
    // Rotation and mirroring are applied (the default); a picture of more than 8 bits a
    // channel comes as 8, which is all a bitmap holds.
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    const heif_error error = heif.decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                                               heif_chroma_interleaved_RGBA, options.get());
    HeifPtr<heif_image> image(decoded, {&heif});
    if (error.code != heif_error_Ok || !image) return {DecodeError::Unreadable, head.width, head.height};
    if (stop && stop()) return {DecodeError::Stopped, head.width, head.height};
    const std::int32_t width = heif.image_get_width(image.get(), heif_channel_interleaved);
    const std::int32_t height = heif.image_get_height(image.get(), heif_channel_interleaved);
    if (!PictureSizeAllowed(width, height)) return {DecodeError::TooLarge, width, height};
    int stride = 0;
    std::uint8_t* rows = heif.image_get_plane(image.get(), heif_channel_interleaved, &stride);
    if (!rows || stride < width * 4 || stride % 4 != 0)
        return {DecodeError::Unreadable, head.width, head.height};
    // The library's own buffer becomes the picture's.
    Picture p;
    p.width = width;
    p.height = height;
    p.stride = stride / 4;
    p.hasAlpha = ToPixelsInPlace(rows, width, height, stride, !alpha);
    p.pixels = reinterpret_cast<const std::uint32_t*>(rows);
    p.storage = std::shared_ptr<heif_image>(image.release(), HeifDeleter{&heif});
    pictureOut = std::move(p);
    return {DecodeError::None, width, height};
}

// libheif's judgement of a file that looks like HEIF or AVIF by its first bytes.
bool HeifTakes(const HeifFunctions& heif, std::string_view head) {
    const heif_filetype_result type = heif.check_filetype(reinterpret_cast<const std::uint8_t*>(head.data()),
                                                          static_cast<int>(head.size()));
    return type == heif_filetype_yes_supported || type == heif_filetype_yes_unsupported;
}

// ---- JPEG XL ----

// The file mapped into memory: libjxl reads from one buffer, and only the parts it
// reads are ever brought in.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            void* memory =
                ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (memory != MAP_FAILED) {
                data_ = static_cast<const std::uint8_t*>(memory);
                size_ = static_cast<std::size_t>(st.st_size);
            }
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// Decodes the first frame (or, with `pictureOut` null, reads the header only).
DecodeResult ReadJxl(const JxlFunctions& jxl, const std::string& path, Picture* pictureOut,
                     const std::function<bool()>& stop) {
    const MappedFile file(path);
    if (!file.Data()) return kUnreadable;
    std::unique_ptr<JxlDecoder, void (*)(JxlDecoder*)> decoder(jxl.DecoderCreate(nullptr),
                                                               jxl.DecoderDestroy);
    if (!decoder) return kUnreadable;
    std::unique_ptr<void, void (*)(void*)> runner(nullptr, jxl.ThreadParallelRunnerDestroy);
    if (pictureOut) {
        runner.reset(jxl.ThreadParallelRunnerCreate(
            nullptr, std::max<std::size_t>(1, std::min<unsigned>(std::thread::hardware_concurrency(), 8))));
        if (runner && jxl.DecoderSetParallelRunner(decoder.get(), jxl.ThreadParallelRunner, runner.get()) !=
                          JXL_DEC_SUCCESS)
            return kUnreadable;
    }
    const int events = JXL_DEC_BASIC_INFO | (pictureOut ? JXL_DEC_FULL_IMAGE : 0);
    if (jxl.DecoderSubscribeEvents(decoder.get(), events) != JXL_DEC_SUCCESS) return kUnreadable;
    // The decoder turns the picture upright as its header says (its default).
    if (jxl.DecoderSetInput(decoder.get(), file.Data(), file.Size()) != JXL_DEC_SUCCESS) return kUnreadable;
    jxl.DecoderCloseInput(decoder.get());

    DecodeResult result = kUnreadable;
    std::int32_t width = 0, height = 0;
    bool alpha = false;
    std::vector<std::uint32_t> rgba;
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    for (;;) {
        switch (jxl.DecoderProcessInput(decoder.get())) {
            case JXL_DEC_BASIC_INFO: {
                JxlBasicInfo info;
                if (jxl.DecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) return kUnreadable;
                // The header's size is before the turn; orientations 5 to 8 swap the sides.
                const bool turned = info.orientation >= JXL_ORIENT_TRANSPOSE;
                const std::int64_t w = turned ? info.ysize : info.xsize;
                const std::int64_t h = turned ? info.xsize : info.ysize;
                if (!PictureSizeAllowed(w, h)) return {DecodeError::TooLarge, w, h};
                width = static_cast<std::int32_t>(w);
                height = static_cast<std::int32_t>(h);
                alpha = info.alpha_bits != 0;
                result = {DecodeError::None, w, h};
                if (!pictureOut) return result;
                break;
            }
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
                std::size_t bytes = 0;
                if (jxl.DecoderImageOutBufferSize(decoder.get(), &format, &bytes) != JXL_DEC_SUCCESS ||
                    bytes != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
                    return {DecodeError::Unreadable, width, height};
                if (stop && stop()) return {DecodeError::Stopped, width, height};
                try {
                    rgba.resize(bytes / 4);
                } catch (const std::bad_alloc&) {
                    return {DecodeError::TooLarge, width, height};
                }
                if (jxl.DecoderSetImageOutBuffer(decoder.get(), &format, rgba.data(), bytes) !=
                    JXL_DEC_SUCCESS)
                    return {DecodeError::Unreadable, width, height};
                break;
            }
            case JXL_DEC_FULL_IMAGE:
                // The first frame of an animation is the picture.
                if (rgba.empty()) return {DecodeError::Unreadable, width, height};
                if (stop && stop()) return {DecodeError::Stopped, width, height};
                {
                    const bool translucent =
                        ToPixelsInPlace(reinterpret_cast<std::uint8_t*>(rgba.data()), width, height,
                                        std::ptrdiff_t{width} * 4, !alpha);
                    *pictureOut = Picture::FromPixels(width, height, std::move(rgba), translucent);
                }
                return result;
            case JXL_DEC_SUCCESS:
                // Ended without the picture the events asked for.
                return {DecodeError::Unreadable, width, height};
            case JXL_DEC_NEED_MORE_INPUT:  // the whole file was given: it is cut short
            case JXL_DEC_ERROR:
            default:
                return {DecodeError::Unreadable, width, height};
        }
    }
}

// ---- SVG ----

// The drawing's own size, reduced with its shape kept when it declares more than the
// bound allows: a vector drawing has no pixels of its own to refuse.
bool DeclaredSize(const QSvgRenderer& renderer, std::int32_t& width, std::int32_t& height) {
    const QSize size = renderer.defaultSize();
    if (size.width() <= 0 || size.height() <= 0) return false;
    double w = size.width(), h = size.height();
    const double scale = std::min({1.0, double(kMaxPictureSide) / w, double(kMaxPictureSide) / h,
                                   std::sqrt(double(kMaxPicturePixels) / (w * h))});
    width = std::max(1, static_cast<int>(std::floor(w * scale)));
    height = std::max(1, static_cast<int>(std::floor(h * scale)));
    return true;
}

// Text in a drawing needs Qt's font database, which only a QGuiApplication opens, and
// without one Qt ends the process. A run without windows (a scheduled run) has none: one
// is made on Qt's offscreen platform, which shows nothing, and kept for the rest of the
// run. False when the process holds an application of another kind.
bool FontsAvailable() {
    if (QCoreApplication::instance()) return qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    static int argc = 3;
    static char name[] = "vexal", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static QGuiApplication* const application = new QGuiApplication(argc, argv);
    return application != nullptr;
}

// Qt draws no blend modes: a layer meant to tint the drawing beneath it ("overlay",
// "multiply") is painted opaque over it instead, and GNOME's own blobs wallpapers then
// come out as one flat colour. Such layers are left out, which keeps the drawing under
// them as it stands, nearer what was meant than a flat colour. Only the style form is
// rewritten (what drawing programs write): a later declaration wins over an earlier one.
QByteArray WithoutBlendedLayers(QByteArray svg) {
    static const QByteArray kProperty = "mix-blend-mode";
    for (qsizetype at = svg.indexOf(kProperty); at >= 0; at = svg.indexOf(kProperty, at + 1)) {
        qsizetype colon = at + kProperty.size();
        while (colon < svg.size() && (svg[colon] == ' ' || svg[colon] == '\t')) ++colon;
        if (colon >= svg.size() || svg[colon] != ':') continue;
        qsizetype end = colon + 1;
        while (end < svg.size() && svg[end] != ';' && svg[end] != '"' && svg[end] != '\'' && svg[end] != '}')
            ++end;
        if (svg.mid(colon + 1, end - colon - 1).trimmed() == "normal") continue;
        svg.replace(at, end - at, "display:none");
    }
    return svg;
}

bool LoadSvg(const std::string& path, QSvgRenderer& renderer) {
    if (!LooksLikeSvg(Head(path))) return false;
    LibrariesQuiet quiet;
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!FontsAvailable() || !file.open(QIODevice::ReadOnly)) return false;
    return renderer.load(WithoutBlendedLayers(file.readAll())) && renderer.isValid();
}

// The file's kind by its first bytes, as the program judges a fetched file (libheif has
// the last word on HEIF and AVIF); its library is loaded only then. With `pictureOut`
// null, the header is read only.
std::optional<DecodeResult> DecodeModern(const std::string& path, Picture* pictureOut,
                                         const std::function<bool()>& stop,
                                         const ModernLibraries& libraries) {
    const std::string head = Head(path);
    const PictureKind kind = ContentKindOf(head).picture;
    if (kind != PictureKind::Avif && kind != PictureKind::Heif && kind != PictureKind::Jxl)
        return std::nullopt;
    LibrariesQuiet quiet;
    if (kind == PictureKind::Jxl) {
        const JxlFunctions* jxl = libraries.jxl();
        if (!jxl) return NoLibrary(kind);
        return ReadJxl(*jxl, path, pictureOut, stop);
    }
    const HeifFunctions* heif = libraries.heif();
    if (!heif) return NoLibrary(kind);
    if (!HeifTakes(*heif, head)) return std::nullopt;
    if (pictureOut) return ReadHeif(*heif, path, *pictureOut, stop);
    HeifPtr<heif_context> context;
    HeifPtr<heif_image_handle> handle;
    return OpenHeif(*heif, path, context, handle);
}

}  // namespace

std::optional<DecodeResult> ProbeModern(const std::string& path, const ModernLibraries& libraries) {
    return DecodeModern(path, nullptr, {}, libraries);
}

std::optional<DecodeResult> ReadModern(const std::string& path, Picture& pictureOut,
                                       const std::function<bool()>& stop, const ModernLibraries& libraries) {
    return DecodeModern(path, &pictureOut, stop, libraries);
}

std::optional<DecodeResult> ProbeSvg(const std::string& path) {
    if (!LooksLikeSvg(Head(path))) return std::nullopt;
    QSvgRenderer renderer;
    std::int32_t width = 0, height = 0;
    if (!LoadSvg(path, renderer) || !DeclaredSize(renderer, width, height)) return kUnreadable;
    return DecodeResult{DecodeError::None, width, height};
}

std::optional<DecodeResult> ReadSvg(const std::string& path, Picture& pictureOut,
                                    const std::function<ShownSize(std::int32_t, std::int32_t)>* shown) {
    if (!LooksLikeSvg(Head(path))) return std::nullopt;
    QSvgRenderer renderer;
    std::int32_t width = 0, height = 0;
    if (!LoadSvg(path, renderer) || !DeclaredSize(renderer, width, height)) return kUnreadable;
    if (shown && *shown) {
        const ShownSize size = (*shown)(width, height);
        width = size.width;
        height = size.height;
    }
    if (!PictureSizeAllowed(width, height)) return DecodeResult{DecodeError::TooLarge, width, height};
    auto image = std::make_shared<QImage>(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image->isNull()) return DecodeResult{DecodeError::TooLarge, width, height};
    image->fill(Qt::transparent);
    {
        LibrariesQuiet quiet;
        QPainter painter(image.get());
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, width, height));
    }
    image->convertTo(QImage::Format_ARGB32);
    if (image->isNull()) return kUnreadable;
    bool alpha = false;
    for (std::int32_t y = 0; y < height && !alpha; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image->constScanLine(y));
        alpha = std::any_of(row, row + width, [](std::uint32_t p) { return p >> 24 != 0xFF; });
    }
    Picture p;
    p.width = width;
    p.height = height;
    p.stride = image->bytesPerLine() / 4;
    p.pixels = reinterpret_cast<const std::uint32_t*>(image->constBits());
    p.hasAlpha = alpha;
    p.storage = std::move(image);
    pictureOut = std::move(p);
    return DecodeResult{DecodeError::None, width, height};
}

}  // namespace vexal
