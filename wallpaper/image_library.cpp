// Handles over decoded pictures, and the messages for pictures that cannot be used.
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

std::string PictureErrorText(const std::string& path, const DecodeResult& result) {
    if (result.error == DecodeError::TooLarge)
        return "画像ファイル " + path + " は大きすぎるため読み込めません（" + std::to_string(result.width) +
               "×" + std::to_string(result.height) + " 画素）。";
    return "画像ファイル " + path + " を画像として読み込めませんでした。";
}

}  // namespace vexal
