// WIC decoding. The first frame is converted to 32-bit BGRA, which in memory is exactly the
// core's 0xAARRGGBB. A GIF's first frame may cover only part of its logical screen; it is
// placed on a transparent canvas of the screen's size, as other GIF readers show it. A
// photo taken on its side is turned upright as its Exif orientation says, and a file cut
// short is refused before WIC fills the missing part.
#include "platform/win32/wic_image_decoder.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "gather/content_kind.h"
#include "platform/picture/exif_orientation.h"
#include "platform/picture/whole_picture.h"
#include "platform/webp/webp_picture.h"
#include "platform/win32/com_interface.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"
// (after the Windows headers, which it needs)
#include <wincodec.h>

namespace vexal {
namespace {

using win32::Com;

// The codec's own scaling while it decodes, which MinGW's headers leave out
// (IWICBitmapSourceTransform); the layout is the system's.
struct SourceTransform : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                                 WICPixelFormatGUID* format,
                                                 WICBitmapTransformOptions transform, UINT stride,
                                                 UINT bufferSize, BYTE* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform,
                                                           BOOL* supported) = 0;
};

constexpr GUID kSourceTransformId = {
    0x3B16811B, 0x6A43, 0x4EC9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};

bool KnownFormat(IWICBitmapDecoder* decoder, GUID& formatOut) {
    if (FAILED(decoder->GetContainerFormat(&formatOut))) return false;
    return IsEqualGUID(formatOut, GUID_ContainerFormatPng) ||
           IsEqualGUID(formatOut, GUID_ContainerFormatGif) ||
           IsEqualGUID(formatOut, GUID_ContainerFormatJpeg) ||
           IsEqualGUID(formatOut, GUID_ContainerFormatBmp);
}

// A small unsigned number from a metadata query, or `fallback` when it is not there.
UINT QueryNumber(IWICMetadataQueryReader* reader, const wchar_t* name, UINT fallback) {
    if (!reader) return fallback;
    PROPVARIANT value;
    ::PropVariantInit(&value);
    UINT result = fallback;
    if (SUCCEEDED(reader->GetMetadataByName(name, &value))) {
        if (value.vt == VT_UI2)
            result = value.uiVal;
        else if (value.vt == VT_UI1)
            result = value.bVal;
        else if (value.vt == VT_UI4)
            result = value.ulVal;
    }
    ::PropVariantClear(&value);
    return result;
}

struct Placement {
    UINT canvasWidth, canvasHeight;  // the picture's size
    UINT left, top;                  // where the first frame goes on it
    UINT frameWidth, frameHeight;
};

Placement PlaceFrame(IWICBitmapDecoder* decoder, IWICBitmapFrameDecode* frame, const GUID& format) {
    Placement p{};
    frame->GetSize(&p.frameWidth, &p.frameHeight);
    p.canvasWidth = p.frameWidth;
    p.canvasHeight = p.frameHeight;
    if (!IsEqualGUID(format, GUID_ContainerFormatGif)) return p;
    Com<IWICMetadataQueryReader> screen, image;
    decoder->GetMetadataQueryReader(screen.Out());
    frame->GetMetadataQueryReader(image.Out());
    const UINT width = QueryNumber(screen.get(), L"/logscrdesc/Width", 0);
    const UINT height = QueryNumber(screen.get(), L"/logscrdesc/Height", 0);
    const UINT left = QueryNumber(image.get(), L"/imgdesc/Left", 0);
    const UINT top = QueryNumber(image.get(), L"/imgdesc/Top", 0);
    // Only a frame that fits inside the screen is placed; a damaged header keeps the frame.
    if (width == 0 || height == 0 || left + p.frameWidth > width || top + p.frameHeight > height) return p;
    p.canvasWidth = width;
    p.canvasHeight = height;
    p.left = left;
    p.top = top;
    return p;
}

// The whole file, up to the length its container declares, when it is a WebP picture
// (told from its first bytes); false for every other file, which WIC reads.
bool ReadWebpFile(const std::string& path, std::string& bytesOut) {
    const HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    unsigned char head[12];
    DWORD got = 0;
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(file, &size) && ::ReadFile(file, head, sizeof head, &got, nullptr) &&
              got == sizeof head && LooksLikeWebp(head, sizeof head);
    if (ok) {
        const std::uint64_t length = std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart),
                                                             WebpDeclaredBytes(head, sizeof head));
        try {
            bytesOut.assign(reinterpret_cast<const char*>(head), sizeof head);
            bytesOut.resize(static_cast<std::size_t>(std::max<std::uint64_t>(length, sizeof head)));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        for (std::size_t at = sizeof head; ok && at < bytesOut.size(); at += got) {
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytesOut.size() - at, 1u << 24));
            ok = ::ReadFile(file, bytesOut.data() + at, want, &got, nullptr) && got > 0;
        }
    }
    ::CloseHandle(file);
    return ok;
}

// The newer kind the file's first bytes tell, whose codec Windows installs as an
// extension of its own (HEIF, AV1, JPEG XL) or does not have at all (SVG); None for
// every other file.
CodecKind NewerKindOf(const std::string& path) {
    const HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return CodecKind::None;
    char head[1024];
    DWORD got = 0;
    const bool read = ::ReadFile(file, head, sizeof head, &got, nullptr);
    ::CloseHandle(file);
    if (!read) return CodecKind::None;
    switch (ContentKindOf(std::string_view(head, got)).picture) {
        case PictureKind::Avif:
            return CodecKind::Avif;
        case PictureKind::Heif:
            return CodecKind::Heif;
        case PictureKind::Jxl:
            return CodecKind::JpegXl;
        case PictureKind::Svg:
            return CodecKind::Svg;
        default:
            return CodecKind::None;
    }
}

// The structure walk over the file at `path`, with a JPEG's Exif orientation; NotFollowed
// when it cannot be opened (WIC then says why).
PictureWalk WalkFile(const std::string& path, int& orientationOut) {
    const HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return PictureWalk::NotFollowed;
    LARGE_INTEGER size{};
    PictureWalk walk = PictureWalk::NotFollowed;
    if (::GetFileSizeEx(file, &size)) {
        walk = WalkPicture(
            [file](std::uint64_t offset, unsigned char* out, std::size_t want) -> std::int64_t {
                OVERLAPPED at{};
                at.Offset = static_cast<DWORD>(offset);
                at.OffsetHigh = static_cast<DWORD>(offset >> 32);
                DWORD got = 0;
                if (!::ReadFile(file, out, static_cast<DWORD>(want), &got, &at))
                    return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
                return got;
            },
            static_cast<std::uint64_t>(size.QuadPart), &orientationOut);
    }
    ::CloseHandle(file);
    return walk;
}

// How the camera was held, for a JPEG: the Orientation tag of its Exif block, as WIC's
// metadata reader gives it, or as the walk read it where WIC cannot answer the query
// (Wine's metadata reader does not).
int OrientationOf(IWICBitmapFrameDecode* frame, const GUID& format, int walked) {
    if (!IsEqualGUID(format, GUID_ContainerFormatJpeg)) return 1;
    Com<IWICMetadataQueryReader> metadata;
    if (FAILED(frame->GetMetadataQueryReader(metadata.Out()))) return walked;
    const UINT orientation = QueryNumber(metadata.get(), L"/app1/ifd/{ushort=274}", 0);
    if (orientation == 0) return walked;
    return orientation <= 8 ? static_cast<int>(orientation) : 1;
}

// Rows converted at a time, with a look at the stop between them.
constexpr UINT kBandRows = 64;

// A JPEG frame decoded reduced by the codec itself (to 1/8, 1/4 or 1/2, the smallest whose
// upright picture is no smaller than `want`), turned upright; nothing when the codec
// cannot scale it so or gives a pixel format not read here, and the frame then decodes
// whole. `orientation` is the frame's, 1 to 8.
std::optional<DecodeResult> DecodeReduced(IWICBitmapFrameDecode* frame, int orientation, UINT width,
                                          UINT height, ShownSize want, Picture& pictureOut) {
    Com<SourceTransform> transform;
    if (FAILED(frame->QueryInterface(kSourceTransformId, reinterpret_cast<void**>(transform.Out()))))
        return std::nullopt;
    // Turned a quarter, the stored width is the upright height.
    const bool across = orientation >= 5;
    const std::int64_t wantWidth = across ? want.height : want.width;
    const std::int64_t wantHeight = across ? want.width : want.height;
    UINT scaledWidth = width, scaledHeight = height;
    for (const UINT divisor : {8u, 4u, 2u}) {
        UINT w = (width + divisor - 1) / divisor, h = (height + divisor - 1) / divisor;
        if (w < wantWidth || h < wantHeight) continue;
        const UINT exactWidth = w, exactHeight = h;
        if (SUCCEEDED(transform->GetClosestSize(&w, &h)) && w == exactWidth && h == exactHeight) {
            scaledWidth = w;
            scaledHeight = h;
            break;
        }
    }
    if (scaledWidth == width) return std::nullopt;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    if (FAILED(transform->GetClosestPixelFormat(&format))) return std::nullopt;
    UINT pixelBytes = 0;
    if (IsEqualGUID(format, GUID_WICPixelFormat32bppBGR) || IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA))
        pixelBytes = 4;
    else if (IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        pixelBytes = 3;
    else if (IsEqualGUID(format, GUID_WICPixelFormat8bppGray))
        pixelBytes = 1;
    else
        return std::nullopt;
    const UINT stride = (scaledWidth * pixelBytes + 3) & ~3u;
    const Upright upright = UprightLayout(orientation, static_cast<std::int32_t>(scaledWidth),
                                          static_cast<std::int32_t>(scaledHeight));
    std::vector<BYTE> stored;
    std::vector<std::uint32_t> pixels;
    try {
        stored.resize(static_cast<std::size_t>(stride) * scaledHeight);
        pixels.resize(static_cast<std::size_t>(scaledWidth) * scaledHeight);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (FAILED(transform->CopyPixels(nullptr, scaledWidth, scaledHeight, &format, WICBitmapTransformRotate0,
                                     stride, static_cast<UINT>(stored.size()), stored.data())))
        return std::nullopt;
    for (UINT y = 0; y < scaledHeight; ++y) {
        const BYTE* from = stored.data() + static_cast<std::size_t>(y) * stride;
        std::uint32_t* to = pixels.data() + upright.origin + static_cast<std::ptrdiff_t>(y) * upright.stepY;
        for (UINT x = 0; x < scaledWidth; ++x, from += pixelBytes, to += upright.stepX)
            *to = pixelBytes == 1 ? 0xFF000000u | from[0] * 0x010101u
                                  : 0xFF000000u | static_cast<std::uint32_t>(from[2]) << 16 |
                                        static_cast<std::uint32_t>(from[1]) << 8 | from[0];
    }
    pictureOut = Picture::FromPixels(upright.width, upright.height, std::move(pixels));
    return DecodeResult{DecodeError::None, upright.width, upright.height};
}

}  // namespace

WicImageDecoder::WicImageDecoder() {
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    comInitialized_ = SUCCEEDED(hr);  // S_FALSE too: that call must be balanced as well
    IWICImagingFactory* factory = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))))
        factory_ = factory;
}

WicImageDecoder::~WicImageDecoder() {
    if (factory_) static_cast<IWICImagingFactory*>(factory_)->Release();
    if (comInitialized_) ::CoUninitialize();
}

DecodeResult WicImageDecoder::Probe(const std::string& path) { return Open(path, false, nullptr, nullptr); }

DecodeResult WicImageDecoder::Decode(const std::string& path, Picture& pictureOut) {
    return Open(path, true, &pictureOut, nullptr);
}

DecodeResult WicImageDecoder::DecodeToShow(const std::string& path,
                                           const std::function<ShownSize(std::int32_t, std::int32_t)>& shown,
                                           Picture& pictureOut) {
    return Open(path, true, &pictureOut, &shown);
}

DecodeResult WicImageDecoder::Open(const std::string& path, bool decode, Picture* pictureOut,
                                   const std::function<ShownSize(std::int32_t, std::int32_t)>* shown) {
    // WebP goes to libwebp: WIC has no WebP codec on a stock system, nor under Wine.
    std::string webp;
    if (ReadWebpFile(path, webp)) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(webp.data());
        bool needsMore = false;
        return decode ? DecodeWebp(bytes, webp.size(), *pictureOut, StopAsked())
                      : ProbeWebp(bytes, webp.size(), needsMore);
    }

    DecodeResult result;
    result.error = DecodeError::Unreadable;
    // The system draws no SVG through WIC; HEIF, AVIF and JPEG XL it reads only with the
    // extension that brings its codec. Without one the picture's kind is named, so the
    // user knows what to install instead of seeing a damaged picture.
    const CodecKind newer = NewerKindOf(path);
    const DecodeResult noCodec{DecodeError::NoCodec, 0, 0, newer};
    if (newer == CodecKind::Svg) return noCodec;
    auto* factory = static_cast<IWICImagingFactory*>(factory_);
    if (!factory) return result;

    Com<IWICBitmapDecoder> decoder;
    const HRESULT created = factory->CreateDecoderFromFilename(
        win32::Widen(path).c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, decoder.Out());
    // WIC matches a codec to the file by its signature: with the codec there, a damaged
    // file still finds it and fails later.
    if (FAILED(created)) return newer != CodecKind::None ? noCodec : result;
    GUID format{};
    // A newer kind is read by whichever codec the system installed for it.
    if (!KnownFormat(decoder.get(), format) && newer == CodecKind::None) return result;
    Com<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.Out()))) return result;

    int walkedOrientation = 1;
    const PictureWalk walk = WalkFile(path, walkedOrientation);
    const Placement place = PlaceFrame(decoder.get(), frame.get(), format);
    // Upright: what the bitmap, the preview and the width check all see.
    const int orientation = OrientationOf(frame.get(), format, walkedOrientation);
    const Upright upright = UprightLayout(orientation, static_cast<std::int32_t>(place.canvasWidth),
                                          static_cast<std::int32_t>(place.canvasHeight));
    result.width = upright.width;
    result.height = upright.height;
    if (!PictureSizeAllowed(result.width, result.height) || place.frameWidth == 0 || place.frameHeight == 0) {
        result.error =
            place.frameWidth == 0 || place.frameHeight == 0 ? DecodeError::Unreadable : DecodeError::TooLarge;
        return result;
    }
    // A file cut short is refused once its size is known (a bomb's header says more than
    // that its data are missing), before WIC fills the missing part.
    if (walk == PictureWalk::CutShort || walk == PictureWalk::TooManyScans) return result;
    if (!decode) {
        result.error = DecodeError::None;
        return result;
    }
    if (StopAsked() && StopAsked()()) {
        result.error = DecodeError::Stopped;
        return result;
    }
    if (shown && IsEqualGUID(format, GUID_ContainerFormatJpeg))
        if (std::optional<DecodeResult> reduced =
                DecodeReduced(frame.get(), orientation, place.frameWidth, place.frameHeight,
                              (*shown)(upright.width, upright.height), *pictureOut))
            return *reduced;

    Com<IWICBitmapSource> converted;
    if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), converted.Out())))
        return result;

    auto pixels = std::make_shared<std::vector<std::uint32_t>>();
    const std::size_t canvasPixels = static_cast<std::size_t>(place.canvasWidth) * place.canvasHeight;
    std::vector<std::uint32_t> framePixels;
    try {
        // Transparent black where a GIF frame leaves the screen uncovered.
        pixels->assign(canvasPixels, 0);
        if (place.frameWidth != place.canvasWidth || place.frameHeight != place.canvasHeight ||
            upright.origin != 0 || upright.stepX != 1)
            framePixels.resize(static_cast<std::size_t>(place.frameWidth) * place.frameHeight);
    } catch (const std::bad_alloc&) {
        return result;
    }
    const bool placed = !framePixels.empty();
    std::uint32_t* target = placed ? framePixels.data() : pixels->data();
    const UINT stride = place.frameWidth * 4;
    for (UINT top = 0; top < place.frameHeight; top += kBandRows) {
        if (StopAsked() && StopAsked()()) {
            result.error = DecodeError::Stopped;
            return result;
        }
        const UINT rows = std::min(kBandRows, place.frameHeight - top);
        const WICRect band{0, static_cast<INT>(top), static_cast<INT>(place.frameWidth),
                           static_cast<INT>(rows)};
        if (FAILED(converted->CopyPixels(
                &band, stride, stride * rows,
                reinterpret_cast<BYTE*>(target + static_cast<std::size_t>(top) * place.frameWidth))))
            return result;
    }
    if (placed && (upright.origin != 0 || upright.stepX != 1)) {
        // Only a JPEG has an orientation, and its frame is the whole picture.
        for (UINT y = 0; y < place.frameHeight; ++y) {
            const std::uint32_t* from = framePixels.data() + static_cast<std::size_t>(y) * place.frameWidth;
            std::uint32_t* to =
                pixels->data() + upright.origin + static_cast<std::ptrdiff_t>(y) * upright.stepY;
            for (UINT x = 0; x < place.frameWidth; ++x, to += upright.stepX) *to = from[x];
        }
    } else if (placed) {
        for (UINT y = 0; y < place.frameHeight; ++y) {
            const std::uint32_t* from = framePixels.data() + static_cast<std::size_t>(y) * place.frameWidth;
            std::uint32_t* to =
                pixels->data() + static_cast<std::size_t>(place.top + y) * place.canvasWidth + place.left;
            std::copy(from, from + place.frameWidth, to);
        }
    }

    bool hasAlpha = false;
    for (std::uint32_t px : *pixels) {
        if ((px >> 24) != 0xFF) {
            hasAlpha = true;
            break;
        }
    }
    Picture picture;
    picture.width = upright.width;
    picture.height = upright.height;
    picture.stride = picture.width;
    picture.pixels = pixels->data();
    picture.hasAlpha = hasAlpha;
    picture.storage = std::move(pixels);
    *pictureOut = std::move(picture);
    result.error = DecodeError::None;
    return result;
}

}  // namespace vexal
