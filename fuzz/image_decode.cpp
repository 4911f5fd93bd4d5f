// Fuzz target: decoding an arbitrary file as a picture (Qt's readers behind the size
// limit), then writing it with the one BMP writer; and writing it straight into a bitmap
// while decoding, which must agree with the first about whether the file is a picture.
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
    const vexal::BmpFromFile direct = decoder.DecodeToBmp(in, dir + "/direct.bmp");
    if (direct.handled && direct.decoded.error != result.error) std::abort();
    if (direct.handled && direct.decoded.Ok() && !direct.written) std::abort();
    return 0;
}
