// Local sources on real folder trees and files: listing order, hidden entries, links that
// loop, large trees, cancel in mid-walk, and code page 932 text files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gather/local_sources.h"
#include "platform/posix/posix_file_system.h"
#include "posix/temp_dir.h"
#include "program/program.h"
#include "support/fakes.h"
#include "support/logging_owner.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

void Touch(const std::string& path, const std::string& bytes = "x") {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class CancellingPump final : public EventPump {
public:
    Program* program = nullptr;
    long calls = 0;
    long cancelAt = 0;
    void Pump(int) override {
        if (++calls == cancelAt) program->CancelRequested = true;
    }
};

struct RealWalk {
    testing::TempDir dir;
    PosixFileSystem files;
    CancellingPump pump;
    RetrievalServices services;
    Program program;
    std::vector<std::string> told;
    testing::LoggingOwner owner{told, program};
    FolderScan scan;
    RealWalk() {
        services.files = &files;
        services.pump = &pump;
        pump.program = &program;
        program.CurrentEntry().Ext = {true, true, true, true};
    }
    std::string Root() const { return dir.path() + "/"; }
    // Candidates without the root in front, for readable expectations.
    Strings Run(bool subfolders) {
        program.CurrentEntry().Url = Root();
        program.CurrentEntry().Filter[5] = subfolders;
        scan = LoadFlist(program, services, owner);
        Strings out;
        for (std::size_t i = 1; i < program.Candidates.size(); ++i) {
            const std::string& c = program.Candidates[i];
            out.push_back(c.compare(0, Root().size(), Root()) == 0 ? c.substr(Root().size()) : "!" + c);
        }
        return out;
    }
};

TEST(LocalSourcesPosixTest, ImageFilesOfFolderInStableOrder) {
    RealWalk w;
    for (const char* name : {"photo.JPG", "flower.gif", "notes.txt", "b.png", "A.bmp", "a_b.gif", "_x.gif",
                             "Zeta.gif", "gif", ".hidden.gif"})
        Touch(w.dir / name);
    w.program.CurrentEntry().Ext = {true, true, true, true};
    // Upper-cased ordinal order puts "_" after the letters and "." before them.
    EXPECT_EQ(w.Run(false),
              (Strings{"A.bmp", "a_b.gif", "b.png", "flower.gif", "photo.JPG", "Zeta.gif", "_x.gif"}));
    w.program.CurrentEntry().Ext = {true, true, false, false};
    EXPECT_EQ(w.Run(false), (Strings{"a_b.gif", "flower.gif", "photo.JPG", "Zeta.gif", "_x.gif"}));
    EXPECT_EQ(w.scan.failure, FileFailure::Nothing);
}

TEST(LocalSourcesPosixTest, SubfoldersOnAndOffHiddenSkipped) {
    RealWalk w;
    Touch(w.dir / "top.gif");
    Touch(w.dir / "b/b.gif");
    Touch(w.dir / "b/inner/i.gif");
    Touch(w.dir / "A/a.gif");
    Touch(w.dir / ".cache/c.gif");
    Touch(w.dir / "z.gif");
    EXPECT_EQ(w.Run(false), (Strings{"top.gif", "z.gif"}));
    EXPECT_EQ(w.Run(true), (Strings{"top.gif", "z.gif", "A/a.gif", "b/b.gif", "b/inner/i.gif"}));
}

TEST(LocalSourcesPosixTest, LinksFollowedDanglingAndSpecialSkipped) {
    RealWalk w;
    Touch(w.dir / "real.gif");
    Touch(w.dir / "other/o.gif");
    ASSERT_EQ(::symlink("real.gif", (w.dir / "link.gif").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere.gif", (w.dir / "dangling.gif").c_str()), 0);
    ASSERT_EQ(::mkfifo((w.dir / "pipe.gif").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("other", (w.dir / "via").c_str()), 0);
    // "other" and "via" are the same folder: it is walked once, under the name met first.
    EXPECT_EQ(w.Run(true), (Strings{"link.gif", "real.gif", "other/o.gif"}));
}

// Regression: a link back to an ancestor made the walk descend for ever.
TEST(LocalSourcesPosixTest, SymbolicLinkLoopEnds) {
    RealWalk w;
    Touch(w.dir / "a.gif");
    Touch(w.dir / "sub/s.gif");
    ASSERT_EQ(::symlink("..", (w.dir / "sub/up").c_str()), 0);
    ASSERT_EQ(::symlink(w.dir.path().c_str(), (w.dir / "sub/root").c_str()), 0);
    ASSERT_EQ(::symlink("../loop2", (w.dir / "loop1").c_str()), 0);
    ASSERT_EQ(::symlink("loop1", (w.dir / "loop2").c_str()), 0);  // a link cycle that names no folder
    EXPECT_EQ(w.Run(true), (Strings{"a.gif", "sub/s.gif"}));
}

TEST(LocalSourcesPosixTest, TenThousandFiles) {
    RealWalk w;
    Strings expected;
    for (int d = 0; d < 100; ++d) {
        char folder[16];
        std::snprintf(folder, sizeof folder, "d%03d", d);
        for (int f = 0; f < 100; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "%s/f%03d.jpg", folder, f);
            Touch(w.dir / name);
            expected.push_back(name);
        }
    }
    Touch(w.dir / "d050/readme.txt");
    EXPECT_EQ(w.Run(true), expected);
    // One yield for the label, one per folder, one per normal file.
    EXPECT_EQ(w.pump.calls, 1 + 101 + 10001);
}

TEST(LocalSourcesPosixTest, CancelInMidWalkKeepsFoundCandidates) {
    RealWalk w;
    for (int d = 0; d < 3; ++d)
        for (int f = 0; f < 10; ++f)
            Touch(w.dir / ("d" + std::to_string(d) + "/f" + std::to_string(f) + ".png"));
    // Yields: 1 label, 2 root, 3 folder d0, 4..13 after its files, 14 folder d1, 15 after d1/f0.
    w.pump.cancelAt = 15;
    const Strings found = w.Run(true);
    ASSERT_EQ(found.size(), 11u);
    EXPECT_EQ(found.front(), "d0/f0.png");
    EXPECT_EQ(found.back(), "d1/f0.png");
    EXPECT_EQ(w.pump.calls, 15);
    EXPECT_TRUE(w.program.CancelRequested);

    // The next walk clears the flag and runs in full.
    w.pump.cancelAt = 0;
    EXPECT_EQ(w.Run(true).size(), 30u);
}

TEST(LocalSourcesPosixTest, TextFileFromDisk) {
    RealWalk w;
    const std::string path = w.dir / "list.txt";
    Touch(path, "  http://h/\x89\xE6.jpg \r\n\r\nc:\\a b\\x.gif\n \r\n");
    w.program.CurrentEntry().Url = path;
    EXPECT_TRUE(Load_sDArr(path, w.files, w.program.SourceText).Ok());
    EXPECT_EQ(w.program.SourceText, "http://h/画.jpg\r\n\r\nc:\\a b\\x.gif\n\r\n");
}

TEST(LocalSourcesPosixTest, TextFileThatIsNoNormalFile) {
    RealWalk w;
    Touch(w.dir / ".hidden.txt");
    fs::create_directory(w.dir / "folder.txt");
    for (const std::string name : {"missing.txt", ".hidden.txt", "folder.txt"}) {
        const RetrievalResult result = Load_sDArr(w.dir / name, w.files, w.program.SourceText);
        EXPECT_EQ(result.failure, RetrievalFailure::SourceMissing) << name;
        EXPECT_EQ(result.subject, w.dir / name) << name;
    }
}

TEST(LocalSourcesPosixTest, UnreadableTextFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    RealWalk w;
    const std::string path = w.dir / "locked.txt";
    Touch(path, "a.gif\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    const RetrievalResult result = Load_sDArr(path, w.files, w.program.SourceText);
    EXPECT_EQ(result.failure, RetrievalFailure::SourceUnreadable);
    EXPECT_EQ(result.subject, path);
}

// Regression: a local list of gigabytes was read whole for half a minute, or until the
// memory ran out, and then said that no picture matched.
TEST(LocalSourcesPosixTest, TextFileBeyondTheBound) {
    RealWalk w;
    const std::string path = w.dir / "huge.txt";
    Touch(path, "a.gif\r\n");
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kLocalTextBound + 1)), 0);
    const RetrievalResult result = Load_sDArr(path, w.files, w.program.SourceText);
    EXPECT_EQ(result.failure, RetrievalFailure::SourceTooLarge);
    EXPECT_EQ(result.subject, path);
}

}  // namespace
}  // namespace vexal
