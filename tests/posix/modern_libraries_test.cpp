// libheif and libjxl opened on first use: a system without them refuses their pictures by
// kind and leaves every other picture to the other decoders.
#include "platform/linux/modern_libraries.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

#include "platform/linux/modern_reader.h"
#include "posix/temp_dir.h"

namespace vexal {
namespace {

constexpr char kNotInstalled[] = "libvexal-not-installed.so.0";

// Tables loaded from names no system has, as on a system without the libraries.
const HeifFunctions* MissingHeif() {
    static const std::optional<HeifFunctions> heif = LoadHeif(kNotInstalled);
    return heif ? &*heif : nullptr;
}
const JxlFunctions* MissingJxl() {
    // libjxl is there, its threads library is not: neither is used.
    static const std::optional<JxlFunctions> jxl = LoadJxl(kJxlLibrary, kNotInstalled);
    return jxl ? &*jxl : nullptr;
}

TEST(ModernLibrariesTest, InstalledLibrariesLoadWhole) {
    EXPECT_TRUE(LoadHeif(kHeifLibrary).has_value());
    EXPECT_TRUE(LoadJxl(kJxlLibrary, kJxlThreadsLibrary).has_value());
    EXPECT_EQ(SystemHeif(), SystemHeif()) << "loaded once";
    EXPECT_NE(SystemJxl(), nullptr);
}

TEST(ModernLibrariesTest, MissingLibraryRefusesItsKindByName) {
    testing::TempDir dir;
    const struct {
        const char* name;
        std::string head;
        std::optional<CodecKind> refusedAs;  // nothing: left to the other decoders
    } rows[] = {
        {"avif",
         std::string("\0\0\0\x1C"
                     "ftypavif\0\0\0\0avifmif1miaf",
                     28),
         CodecKind::Avif},
        {"heic",
         std::string("\0\0\0\x18"
                     "ftypheic\0\0\0\0mif1heic",
                     24),
         CodecKind::Heif},
        {"jxlCodestream", std::string("\xFF\x0A\xFA\x1F", 4), CodecKind::JpegXl},
        {"jxlContainer", std::string("\0\0\0\x0CJXL \r\n\x87\n\0\0", 14), CodecKind::JpegXl},
        {"png", std::string("\x89PNG\r\n\x1A\n", 8), std::nullopt},
    };
    const ModernLibraries missing{MissingHeif, MissingJxl};
    ASSERT_EQ(missing.heif(), nullptr);
    ASSERT_EQ(missing.jxl(), nullptr);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir / row.name;
        std::ofstream(path, std::ios::binary) << row.head << std::string(64, '\0');
        Picture picture;
        for (const std::optional<DecodeResult>& result :
             {ProbeModern(path, missing), ReadModern(path, picture, {}, missing)}) {
            ASSERT_EQ(result.has_value(), row.refusedAs.has_value());
            if (!result) continue;
            EXPECT_EQ(result->error, DecodeError::NoLibrary);
            EXPECT_EQ(result->codec, *row.refusedAs);
        }
    }
}

}  // namespace
}  // namespace vexal
