// Fuzz target: decoding an arbitrary file as a picture (Qt's readers behind the size
// limit), then writing it with the one BMP writer.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/linux/qt_image_decoder.h"
#include "platform/posix/posix_file_system.h"
#include "wallpaper/bmp_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = [] {
        char pattern[] = "/tmp/vexal-fuzz-XXXXXX";
        return std::string(::mkdtemp(pattern));
    }();
    const std::string in = dir + "/in.img";
    const std::string out = dir + "/out.bmp";
    vexal::PosixFileSystem files;
    files.WriteFile(in, std::string_view(reinterpret_cast<const char*>(data), size));
    vexal::QtImageDecoder decoder;
    vexal::Picture picture;
    const vexal::DecodeResult result = decoder.Decode(in, picture);
    if (result.Ok()) {
        if (picture.Empty()) std::abort();
        if (!vexal::WriteBmp(files, out, picture)) std::abort();
    }
    return 0;
}
