// Copies of pictures on the real file system: whole, replacing longer files, onto
// themselves, and failing where they must.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/posix/posix_file_system.h"
#include "posix/temp_dir.h"

namespace vexal {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FileCopyTest, CopiesReplaceAndKeep) {
    testing::TempDir dir;
    PosixFileSystem fs;
    std::string big(5 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
    std::ofstream(dir / "big.png", std::ios::binary) << big;
    std::ofstream(dir / "longer.bmp", std::ios::binary) << std::string(6 * 1024 * 1024, 'x');

    EXPECT_TRUE(fs.CopyFile(dir / "big.png", dir / "copy.png"));
    EXPECT_EQ(Slurp(dir / "copy.png"), big);
    EXPECT_TRUE(fs.CopyFile(dir / "big.png", dir / "longer.bmp"));
    EXPECT_EQ(Slurp(dir / "longer.bmp"), big) << "a longer old file keeps no tail";

    // Regression: truncating the destination first would have emptied a file copied
    // onto itself.
    EXPECT_TRUE(fs.CopyFile(dir / "big.png", dir.path() + "/./big.png"));
    EXPECT_EQ(Slurp(dir / "big.png"), big);

    std::ofstream(dir / "empty.gif", std::ios::binary);
    EXPECT_TRUE(fs.CopyFile(dir / "empty.gif", dir / "copy.png"));
    EXPECT_EQ(Slurp(dir / "copy.png"), "");

    EXPECT_FALSE(fs.CopyFile(dir / "missing.png", dir / "x.png"));
    EXPECT_FALSE(fs.CopyFile(dir.path(), dir / "x.png")) << "a folder is no file";
    EXPECT_FALSE(fs.CopyFile(dir / "big.png", dir / "no/such/folder.png"));
}

}  // namespace
}  // namespace vexal
