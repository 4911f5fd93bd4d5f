// Folder trees built to trap a walk: 50 levels deep with links back to every ancestor,
// to the root, to themselves and to one another; paths longer than the system allows; and
// the real program choosing from such a tree. Every walk must end, find each picture once,
// and leave the settings file as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <map>

#include "gather/local_sources.h"
#include "platform/linux/command_runner.h"
#include "platform/posix/posix_file_system.h"
#include "posix/program_runner.h"
#include "posix/temp_dir.h"
#include "posix/xvfb_server.h"
#include "support/fakes.h"
#include "support/logging_owner.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

constexpr int kLevels = 50;

class CountingPump final : public EventPump {
public:
    long calls = 0;
    void Pump(int) override { ++calls; }
};

void TouchAt(int folder, const std::string& name) {
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
}

// Folder names of each level; `width` pads them to make long paths.
std::string LevelName(int level, std::size_t width) {
    std::string name = "level" + std::to_string(level);
    if (name.size() < width) name += std::string(width - name.size(), 'n');
    return name;
}

// root/L0/L1/.../L49, each level holding one picture named after it, one file that is no
// picture, and links that lead back: to the parent, to the root, to itself, to the level
// two above by an absolute path, and a pair of links that name each other. Made relative
// to each parent folder, so the tree may grow past the longest path the system resolves.
std::vector<std::string> BuildTrap(const std::string& root, std::size_t width) {
    std::vector<std::string> folders;
    std::string folder = root;
    int parent = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < kLevels && parent >= 0; ++level) {
        const std::string name = LevelName(level, width);
        folder += "/" + name;
        if (::mkdirat(parent, name.c_str(), 0755) != 0) break;
        const int here = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(parent);
        parent = here;
        if (here < 0) break;
        folders.push_back(folder);
        TouchAt(here, "pic" + std::to_string(level) + ".jpg");
        TouchAt(here, "notes.txt");
        [[maybe_unused]] int ignored =
            ::symlinkat("..", here, "up") + ::symlinkat(root.c_str(), here, "top") +
            ::symlinkat(".", here, "self") + ::symlinkat("cycleB", here, "cycleA") +
            ::symlinkat("cycleA", here, "cycleB");
        if (folders.size() > 2) ignored += ::symlinkat(folders[folders.size() - 3].c_str(), here, "back");
    }
    if (parent >= 0) ::close(parent);
    return folders;
}

// Removes a tree whose paths may be too long for path-based removal.
void RemoveTree(const std::string& root) {
    SpawnCommandRunner runner;
    runner.Run({"rm", "-rf", "--", root});
}

struct Walk {
    PosixFileSystem files;
    CountingPump pump;
    RetrievalServices services;
    Program program;
    std::vector<std::string> told;
    testing::LoggingOwner owner{told, program};
    FolderScan scan;
    Walk() {
        services.files = &files;
        services.pump = &pump;
        program.CurrentEntry().Ext = {true, true, true, true};
        program.CurrentEntry().Filter[5] = true;
    }
    // The picture names found, in walk order.
    std::vector<std::string> Run(const std::string& folder) {
        program.CurrentEntry().Url = folder;
        scan = LoadFlist(program, services, owner);
        std::vector<std::string> names;
        for (std::size_t i = 1; i < program.Candidates.size(); ++i)
            names.push_back(fs::path(program.Candidates[i]).filename().string());
        return names;
    }
};

std::vector<std::string> Pictures(std::size_t count) {
    std::vector<std::string> names;
    for (std::size_t level = 0; level < count; ++level)
        names.push_back("pic" + std::to_string(level) + ".jpg");
    return names;
}

TEST(HostileFoldersTest, FiftyLevelsOfLoopsAreWalkedOnceEach) {
    testing::TempDir dir;
    ASSERT_EQ(BuildTrap(dir.path(), 8).size(), static_cast<std::size_t>(kLevels));
    Walk walk;
    const std::vector<std::string> found = walk.Run(dir.path() + "/");
    // Each level's picture once, shallowest first: the links lead only where the walk has
    // been, so none of them adds a folder or a picture.
    EXPECT_EQ(found, Pictures(kLevels));
    EXPECT_EQ(walk.scan.failure, FileFailure::Nothing);
    EXPECT_LT(walk.pump.calls, 2000) << "the walk entered folders it had seen";
}

TEST(HostileFoldersTest, EntryThatIsALoopOrDeeperThanTheSystemAllows) {
    testing::TempDir dir;
    // Levels of 120-character names: the deepest paths pass PATH_MAX, where the system
    // stops resolving them. What can be reached is found, in order; the rest is left.
    const std::string root = dir / "long";
    fs::create_directory(root);
    const std::vector<std::string> folders = BuildTrap(root, 120);
    ASSERT_EQ(folders.size(), static_cast<std::size_t>(kLevels));
    ASSERT_GT(folders.back().size(), static_cast<std::size_t>(PATH_MAX));
    Walk walk;
    const std::vector<std::string> found = walk.Run(root + "/");
    std::size_t reachable = 0;
    while (reachable < folders.size() && folders[reachable].size() + 16 < PATH_MAX) ++reachable;
    EXPECT_GE(found.size(), reachable);
    EXPECT_EQ(found, Pictures(found.size()));
    EXPECT_EQ(walk.scan.failure, FileFailure::Nothing);
    RemoveTree(root);

    // An entry that names a link cycle, or a link to itself, is a folder with nothing in it.
    ASSERT_EQ(::symlink("loopB", (dir / "loopA").c_str()), 0);
    ASSERT_EQ(::symlink("loopA", (dir / "loopB").c_str()), 0);
    ASSERT_EQ(::symlink("me", (dir / "me").c_str()), 0);
    for (const char* name : {"loopA/", "me/"}) {
        Walk w;
        EXPECT_EQ(w.Run(dir / name), std::vector<std::string>{}) << name;
    }
}

#ifdef VEXAL_BINARY

using RunResult = testing::ProgramRun;

RunResult RunVexal(const std::string& dir, const std::string& display, const std::string& entry) {
    testing::ProgramOptions options;
    options.dir = dir;
    options.env = testing::UnattendedX11Env(dir, display);
    return testing::RunProgram(VEXAL_BINARY, {entry}, options);
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(HostileFoldersTest, RealProgramChoosesFromTheTrapAndKeepsItsSettings) {
    testing::XvfbServer xvfb;
    if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    testing::TempDir dir;
    const std::string root = dir / "tree";
    fs::create_directory(root);
    const std::vector<std::string> folders = BuildTrap(root, 8);
    ASSERT_EQ(folders.size(), static_cast<std::size_t>(kLevels));
    // The deepest picture is a real one, so choosing it installs it.
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(0xFF3366CCu);
    // Saved as a bitmap under its .jpg name (pictures are told by content): loading Qt's JPEG
    // plugin into this process leaves a thread-local block that crashes the leak checker of
    // the sanitizer build at exit.
    ASSERT_TRUE(img.save(QString::fromStdString(folders.back() + "/pic49.jpg"), "BMP"));

    std::ofstream(dir / "vexal.ini", std::ios::binary)
        << "'vexal   ver.1.00\r\n\r\nNewMsg = (new)\r\nCacheFileName = wpcache\r\nWinFolderWPname = "
           "wallpaper.bmp\r\nTimeOut = 5\r\n-\r\nName = deepest\r\nUrl = "
        << root
        << "/\r\nComment = \r\nFilter = 000001\r\nExt = 1111\r\nWpState = 0\r\nNo = 0\r\nNo_n = 50\r\nRefstr "
           "= "
           "\r\n-\r\nName = beyond\r\nUrl = "
        << root
        << "/\r\nComment = \r\nFilter = 000001\r\nExt = 1111\r\nWpState = 0\r\nNo = 0\r\nNo_n = 51\r\nRefstr "
           "= \r\n";

    const RunResult deepest = RunVexal(dir.path(), xvfb.display(), "deepest");
    EXPECT_FALSE(deepest.timedOut);
    EXPECT_EQ(deepest.status, 0) << deepest.err;
    EXPECT_EQ(deepest.err, "");
    EXPECT_TRUE(fs::exists(dir / "data/vexal/wallpaper.bmp"));
    const std::string settings = Slurp(dir / "vexal.ini");

    const RunResult beyond = RunVexal(dir.path(), xvfb.display(), "beyond");
    EXPECT_FALSE(beyond.timedOut);
    EXPECT_EQ(beyond.status, 1);
    EXPECT_NE(beyond.err.find("51番目の画像が指定されましたが、50個の画像ファイルしか抽出出来ませんでした。"),
              std::string::npos)
        << beyond.err;
    EXPECT_EQ(Slurp(dir / "vexal.ini"), settings);
}

#endif  // VEXAL_BINARY

}  // namespace
}  // namespace vexal
