// Local sources through a scripted file system: text file lines, and the folder walk's
// order, filters, yields, cancel and cycle guard.
#include "gather/local_sources.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "gather/choice.h"
#include "host/random_source.h"
#include "settings/source_kind.h"
#include "support/fakes.h"
#include "support/logging_owner.h"
#include "text/codepage.h"

namespace vexal {
namespace {

const std::string S(1, kFolderSeparator);

// Folders as scripted listings in the order given; identities default to the path.
class TreeFileSystem final : public FileSystem {
public:
    std::map<std::string, std::vector<DirEntry>> folders;
    std::map<std::string, std::string> identities;
    std::map<std::string, std::string> files;
    std::vector<std::string> unreadable;
    std::vector<std::string> listed;
    bool textMayBeUtf8 = true;

    bool ReadFile(const std::string& path, std::string& bytesOut) override {
        for (const auto& u : unreadable)
            if (u == path) return false;
        auto it = files.find(path);
        if (it == files.end()) return false;
        bytesOut = it->second;
        return true;
    }
    bool ReplaceFile(const std::string&, std::string_view) override { return false; }
    bool WriteFile(const std::string&, std::string_view) override { return false; }
    bool IsNormalFile(const std::string& path) override { return files.count(path) != 0; }
    bool CopyFile(const std::string&, const std::string&) override { return false; }
    bool DeleteFile(const std::string&) override { return false; }
    bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) override {
        listed.push_back(folder);
        auto it = folders.find(folder);
        if (it == folders.end()) return false;
        out = it->second;
        return true;
    }
    bool FolderIdentity(const std::string& folder, std::string& idOut) override {
        if (!folders.count(folder)) return false;
        auto it = identities.find(folder);
        idOut = it == identities.end() ? folder : it->second;
        return true;
    }
    bool TextMayBeUtf8() const override { return textMayBeUtf8; }
};

DirEntry File(const char* name) { return DirEntry{name, false, false, false}; }
DirEntry Folder(const char* name) { return DirEntry{name, true, false, false}; }
DirEntry Hidden(DirEntry e) {
    e.hidden = true;
    return e;
}
DirEntry System(DirEntry e) {
    e.system = true;
    return e;
}

class CountingPump final : public EventPump {
public:
    Program* program = nullptr;
    int calls = 0;
    int cancelAt = 0;  // the call that presses the cancel button; 0 never
    void Pump(int) override {
        if (++calls == cancelAt) program->CancelRequested = true;
    }
};

struct Walk {
    testing::TestHost test;
    TreeFileSystem fs;
    CountingPump pump;
    Program program;
    std::vector<std::string> told;
    testing::LoggingOwner owner{told, program};
    Walk() {
        test.host.files = &fs;
        test.host.pump = &pump;
        pump.program = &program;
        program.TitleText = "vexal 1.00";
        program.CurrentEntry().Ext = {true, true, true, true};
    }
    FolderScan scan;
    std::vector<std::string> Run(const std::string& url, bool subfolders) {
        program.CurrentEntry().Url = url;
        program.CurrentEntry().Filter[5] = subfolders;
        scan = LoadFlist(program, test.Services(), owner);
        EXPECT_EQ(program.Candidates.at(0), "");
        return std::vector<std::string>(program.Candidates.begin() + 1, program.Candidates.end());
    }
};

TEST(LocalSourcesTest, TextFileLines) {
    const struct {
        const char* name;
        std::string bytes;
        std::string sourceText;
        bool textMayBeUtf8 = true;  // as the file system says
    } rows[] = {
        {"indentedNames", "  a.gif  \r\n   b.jpg\r\n", "a.gif\r\nb.jpg\r\n"},
        {"lastLineWithoutEnd", "a.gif\r\nb.jpg", "a.gif\r\nb.jpg\r\n"},
        // Regression: a list written with LF alone used to run together into one line.
        {"lineFeedOnlyEndsLines", "a.gif\nb.jpg\n", "a.gif\r\nb.jpg\r\n"},
        {"lineFeedOnlyEmptyLinesKept", " a\n\n b ", "a\r\n\r\nb\r\n"},
        {"loneLineFeedInCrLfFileStaysInLine", "a\nb\r\nc", "a\nb\r\nc\r\n"},
        {"loneCarriageReturnEndsLine", "a.gif\rb.jpg\r", "a.gif\r\nb.jpg\r\n"},
        {"emptyLinesKept", "a\r\n\r\n\r\nb", "a\r\n\r\n\r\nb\r\n"},
        {"blankLineBecomesEmpty", "    \r\n", "\r\n"},
        {"tabsAreNotTrimmed", "\t a.gif \t\r\n", "\t a.gif \t\r\n"},
        {"emptyFile", "", ""},
        {"crThenCrLf", "a\r\r\nb", "a\r\n\r\nb\r\n"},
        {"codePage932", "  \x89\xE6\x91\x9C.jpg\r\n", "画像.jpg\r\n"},
        {"halfWidthKatakana", "\xB6\xC5.gif", "ｶﾅ.gif\r\n"},
        // Regression: a UTF-8 list made on Linux read as mojibake.
        {"utf8WithByteOrderMark", "\xEF\xBB\xBF写真/画像.jpg\n", "写真/画像.jpg\r\n"},
        // Where files are code page 932 only (Windows), the same bytes are read as such.
        {"utf8WhereFilesAreCodePage932", "\xEF\xBB\xBF写真/画像.jpg\n",
         Cp932ToUtf8("\xEF\xBB\xBF写真/画像.jpg") + "\r\n", false},
    };
    for (const auto& row : rows) {
        Walk w;
        w.fs.files["list.txt"] = row.bytes;
        w.fs.textMayBeUtf8 = row.textMayBeUtf8;
        w.program.CurrentEntry().Url = "list.txt";
        w.program.SourceText = "old text";
        EXPECT_TRUE(Load_sDArr("list.txt", w.fs, w.program.SourceText).Ok()) << row.name;
        EXPECT_EQ(w.program.SourceText, row.sourceText) << row.name;
    }
}

TEST(LocalSourcesTest, TextFileFailures) {
    const struct {
        const char* name;
        bool exists;
        RetrievalFailure failure;
    } rows[] = {
        {"missing", false, RetrievalFailure::SourceMissing},
        {"unreadable", true, RetrievalFailure::SourceUnreadable},
    };
    for (const auto& row : rows) {
        Walk w;
        const std::string path = "C:/a b/list.txt";
        if (row.exists) {
            w.fs.files[path] = "a.gif\r\n";
            w.fs.unreadable.push_back(path);
        }
        w.program.CurrentEntry().Url = path;
        w.program.SourceText = "old text";
        const RetrievalResult result = Load_sDArr(path, w.fs, w.program.SourceText);
        EXPECT_EQ(w.program.SourceText, "") << row.name;
        EXPECT_EQ(result.failure, row.failure) << row.name;
        EXPECT_EQ(result.subject, path) << row.name;
    }
}

TEST(LocalSourcesTest, FolderFilesByExtensionInListingOrder) {
    Walk w;
    const std::string root = "pics" + S;
    w.fs.folders[root] = {
        File("photo.JPG"), File("notes.txt"), File("flower.gif"),         File("x.png"),
        File("gif"),       File(".gif"),      Hidden(File("secret.gif")), System(File("pipe.gif")),
        Folder("dir.gif")};
    w.program.CurrentEntry().Ext = {true, true, false, false};
    EXPECT_EQ(w.Run(root, false),
              (std::vector<std::string>{root + "photo.JPG", root + "flower.gif", root + ".gif"}));
    EXPECT_EQ(w.told, (std::vector<std::string>{"say ListingFolder", "body 0"}));
}

TEST(LocalSourcesTest, SubfoldersDepthFirst) {
    const std::string root = "r" + S;
    auto tree = [&](Walk& w) {
        w.fs.folders[root] = {Folder("b"), File("1.gif"), Folder("a"), Hidden(Folder("h")), File("2.gif")};
        w.fs.folders[root + "b" + S] = {File("b1.gif"), Folder("deep")};
        w.fs.folders[root + "b" + S + "deep" + S] = {File("d.gif")};
        w.fs.folders[root + "a" + S] = {File("a1.gif")};
        w.fs.folders[root + "h" + S] = {File("hidden.gif")};
    };
    Walk off;
    tree(off);
    EXPECT_EQ(off.Run(root, false), (std::vector<std::string>{root + "1.gif", root + "2.gif"}));
    EXPECT_EQ(off.fs.listed, std::vector<std::string>{root});

    Walk on;
    tree(on);
    EXPECT_EQ(on.Run(root, true),
              (std::vector<std::string>{root + "1.gif", root + "2.gif", root + "b" + S + "b1.gif",
                                        root + "b" + S + "deep" + S + "d.gif", root + "a" + S + "a1.gif"}));
}

TEST(LocalSourcesTest, YieldsAtEveryFolderAndFile) {
    Walk w;
    const std::string root = "r" + S;
    w.fs.folders[root] = {File("1.gif"), File("n.txt"), Folder("s"), Folder("empty")};
    w.fs.folders[root + "s" + S] = {File("2.gif")};
    w.fs.folders[root + "empty" + S] = {};
    w.Run(root, true);
    // Once for the label, once per folder (3), once per normal file (3).
    EXPECT_EQ(w.pump.calls, 7);
}

TEST(LocalSourcesTest, CancelKeepsWhatWasFound) {
    const std::string root = "r" + S;
    // Pump calls: 1 label, 2 root, 3 after 1.gif, 4 after 2.gif, 5 folder s, 6 after 3.gif,
    // 7 folder t, 8 after 4.gif. A cancel during the label's repaint is cleared by the walk.
    const struct {
        int cancelAt;
        std::vector<std::string> found;
    } rows[] = {
        {1, {root + "1.gif", root + "2.gif", root + "s" + S + "3.gif", root + "t" + S + "4.gif"}},  // cleared
        {2, {}},
        {3, {root + "1.gif"}},
        {4, {root + "1.gif", root + "2.gif"}},
        {5, {root + "1.gif", root + "2.gif"}},
        {6, {root + "1.gif", root + "2.gif", root + "s" + S + "3.gif"}},
    };
    for (const auto& row : rows) {
        Walk w;
        w.fs.folders[root] = {File("1.gif"), File("2.gif"), Folder("s"), Folder("t")};
        w.fs.folders[root + "s" + S] = {File("3.gif")};
        w.fs.folders[root + "t" + S] = {File("4.gif")};
        w.pump.cancelAt = row.cancelAt;
        w.program.CancelRequested = true;  // left over from an earlier walk
        EXPECT_EQ(w.Run(root, true), row.found) << "cancel at " << row.cancelAt;
        EXPECT_EQ(w.pump.calls, row.cancelAt == 1 ? 8 : row.cancelAt) << "cancel at " << row.cancelAt;
    }
}

// Regression: a folder that links back to its parent sent the walk round for ever.
TEST(LocalSourcesTest, FolderEnteredOnlyOnce) {
    Walk w;
    const std::string root = "r" + S;
    w.fs.folders[root] = {File("1.gif"), Folder("loop"), Folder("again")};
    w.fs.folders[root + "loop" + S] = {File("1.gif"), Folder("loop")};
    w.fs.identities[root + "loop" + S] = "root";
    w.fs.identities[root] = "root";
    w.fs.folders[root + "again" + S] = {File("2.gif")};
    w.fs.identities[root + "again" + S] = "again";
    EXPECT_EQ(w.Run(root, true), (std::vector<std::string>{root + "1.gif", root + "again" + S + "2.gif"}));
}

TEST(LocalSourcesTest, MissingFolderGivesPlaceholderOnly) {
    Walk w;
    w.program.Candidates = {"", "old.gif"};
    EXPECT_TRUE(w.Run("gone" + S, true).empty());
    EXPECT_EQ(w.scan.failure, FileFailure::Other) << "a listing that fails without a reason";
    ClockRandomSource random;
    std::string chosen;
    EXPECT_EQ(ChooseCandidate(w.program.Candidates, w.program.CurrentEntry(), random, chosen).failure,
              RetrievalFailure::NoMatch)
        << "an empty walk is reported by the choice";
}

TEST(LocalSourcesTest, WorksWithoutPumpOrProgressWindow) {
    Walk w;
    w.test.host.pump = nullptr;
    const std::string root = "r" + S;
    w.fs.folders[root] = {File("1.gif")};
    EXPECT_EQ(w.Run(root, true), std::vector<std::string>{root + "1.gif"});
}

// What a walk that found nothing usable is reported as: the folder itself, or the kinds
// of files it passed over, those no picture can be read from apart from picture kinds the
// entry did not tick, the most frequent first.
TEST(LocalSourcesTest, FolderWithoutMatchSaysWhatTheWalkPassedOver) {
    Walk w;
    const std::string root = "pics" + S;
    w.fs.folders[root] = {File("a.psd"),  File("b.PSD"),  File("c.xml"), File("d.webp"), File("e.jpeg"),
                          File("f.jpeg"), File("g.jpeg"), File("noext"), File("h.svg"),  File("i.HEIC")};
    w.program.CurrentEntry().Ext = {false, false, false, true};
    EXPECT_TRUE(w.Run(root, false).empty());
    const RetrievalResult passed = FolderWithoutMatch(w.scan, root);
    EXPECT_EQ(passed.failure, RetrievalFailure::NoMatch);
    EXPECT_EQ(passed.subject, root);
    using Kinds = std::vector<std::pair<std::string, std::int64_t>>;
    EXPECT_EQ(passed.unreadable, (Kinds{{"PSD", 2}, {"XML", 1}}));
    // The newer kinds are pictures the entry did not tick (they go with WebP's flag).
    EXPECT_EQ(passed.unchecked, (Kinds{{"JPEG", 3}, {"HEIC", 1}, {"SVG", 1}, {"WEBP", 1}}));

    for (const auto& [why, failure] : {std::pair{FileFailure::Missing, RetrievalFailure::FolderMissing},
                                       std::pair{FileFailure::Other, RetrievalFailure::FolderUnreadable}}) {
        FolderScan scan;
        scan.failure = why;
        scan.passedOver["SVG"] = 1;
        const RetrievalResult result = FolderWithoutMatch(scan, root);
        EXPECT_EQ(result.failure, failure);
        EXPECT_TRUE(result.unreadable.empty()) << "the folder's own failure comes first";
    }
}

}  // namespace
}  // namespace vexal
