// Handles over decoded pictures, and the one conversion of a picture file into a bitmap.
#include "wallpaper/image_library.h"

#include "wallpaper/bmp_writer.h"

namespace vexal {

std::int32_t ImageLibrary::PNGtoDIB(const std::string& path) {
    Picture picture;
    lastDecode_ = decoder_.Decode(path, picture);
    if (!lastDecode_.Ok() || picture.Empty()) {
        if (lastDecode_.Ok()) lastDecode_.error = DecodeError::Unreadable;
        return 0;
    }
    const std::int32_t handle = nextHandle_++;
    pictures_.emplace(handle, std::move(picture));
    return handle;
}

std::int32_t ImageLibrary::DIBtoBMP(const std::string& path, std::int32_t handle) {
    auto it = pictures_.find(handle);
    if (it == pictures_.end()) return 0;
    return WriteBmp(files_, path, it->second) ? 1 : 0;
}

void ImageLibrary::DeleteDIB(std::int32_t handle) { pictures_.erase(handle); }

BmpFromFile ConvertToBmp(ImageDecoder& decoder, FileSystem& files, const std::string& source,
                         const std::string& destination) {
    BmpFromFile direct = decoder.DecodeToBmp(source, destination);
    if (direct.handled) return direct;
    BmpFromFile converted;
    converted.handled = true;
    ImageLibrary library(decoder, files);
    const std::int32_t handle = library.PNGtoDIB(source);
    converted.decoded = library.LastDecode();
    if (handle == 0) return converted;
    converted.written = library.DIBtoBMP(destination, handle) != 0;
    // The decoded picture is released at once: a photo's pixels are large, and the
    // desktop is about to read the bitmap back.
    library.DeleteDIB(handle);
    return converted;
}

}  // namespace vexal
