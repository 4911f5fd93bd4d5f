// Saving over a settings file that changed since it was read: whose entries and fields are
// kept, what is asked, and what the file holds afterwards.
#include "settings/settings_merge.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings_file.h"

namespace vexal {
namespace {

// "name=url" a side, in order; element 0, the working copy, is "work".
StoredSettings Side(const std::vector<std::string>& entries) {
    StoredSettings side;
    side.SiteEntries[0].Url = "work";
    for (const std::string& e : entries) {
        SiteEntry entry;
        entry.Name = e.substr(0, e.find('='));
        entry.Url = e.substr(e.find('=') + 1);
        side.SiteEntries.push_back(entry);
    }
    return side;
}

std::vector<std::string> Names(const SiteEntryList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 1; i < list.size(); ++i) out.push_back(list[i].Name + "=" + list[i].Url);
    return out;
}

TEST(SettingsMergeTest, NothingWrittenElsewhereIsLost) {
    using C = ConflictKind;
    const struct {
        const char* name;
        std::vector<std::string> base, mine, theirs, keepFile, keepMine;
        std::vector<ConflictKind> asked;
    } rows[] = {
        {"unchangedThere", {"a=1"}, {"a=1", "c=3"}, {"a=1"}, {"a=1", "c=3"}, {}, {}},
        {"bothAdded", {"a=1"}, {"a=1", "c=3"}, {"a=1", "b=2"}, {"a=1", "b=2", "c=3"}, {}, {}},
        {"changedHereWins",
         {"a=1", "b=2"},
         {"a=9", "b=2"},
         {"a=1", "b=2", "x=0"},
         {"a=9", "b=2", "x=0"},
         {},
         {}},
        {"changedThereKept", {"a=1"}, {"a=1"}, {"a=7"}, {"a=7"}, {}, {}},
        {"changedBothAlike", {"a=1"}, {"a=7"}, {"a=7"}, {"a=7"}, {}, {}},
        {"changedBothApart", {"a=1"}, {"a=8"}, {"a=7"}, {"a=7"}, {"a=8"}, {C::Field}},
        {"deletedHere", {"a=1", "b=2"}, {"b=2"}, {"a=1", "b=2"}, {"b=2"}, {}, {}},
        {"deletedHereChangedThere",
         {"a=1", "b=2"},
         {"b=2"},
         {"a=5", "b=2"},
         {"a=5", "b=2"},
         {"b=2"},
         {C::DeletedHere}},
        {"deletedThere", {"a=1", "b=2"}, {"a=1", "b=2"}, {"b=2"}, {"b=2"}, {}, {}},
        {"deletedThereChangedHere",
         {"a=1", "b=2"},
         {"a=4", "b=2"},
         {"b=2"},
         {"b=2"},
         {"b=2", "a=4"},
         {C::DeletedThere}},
        {"deletedOnBoth", {"a=1", "b=2"}, {"b=2"}, {"b=2"}, {"b=2"}, {}, {}},
        {"sameNameAddedOnBoth", {}, {"n=mine"}, {"n=theirs"}, {"n=theirs"}, {"n=mine"}, {C::AddedBoth}},
        {"sameEntryAddedOnBoth", {}, {"n=1"}, {"n=1"}, {"n=1"}, {}, {}},
        // The command line ignores letter case, so the editor does too; the name's case
        // changed there and the address here are both kept.
        {"letterCaseIgnored", {"Photo=1"}, {"Photo=2"}, {"PHOTO=1"}, {"PHOTO=2"}, {}, {}},
        // Two entries of one name are told apart by their order.
        {"sameNameTwice", {"d=1", "d=2"}, {"d=1", "d=3"}, {"d=9", "d=2"}, {"d=9", "d=3"}, {}, {}},
        {"theirOrderFirst",
         {"a=1", "b=2"},
         {"b=2", "a=1", "m=0"},
         {"b=2", "t=0", "a=1"},
         {"b=2", "t=0", "a=1", "m=0"},
         {},
         {}},
    };
    for (const auto& r : rows) {
        for (bool keepMine : {false, true}) {
            const MergedSettings merged = MergeSettings(Side(r.base), Side(r.mine), Side(r.theirs), keepMine);
            const auto& expected = keepMine && !r.keepMine.empty() ? r.keepMine : r.keepFile;
            EXPECT_EQ(Names(merged.settings.SiteEntries), expected) << r.name << " keepMine " << keepMine;
            EXPECT_EQ(merged.settings.SiteEntries[0].Url, "work") << r.name;
            std::vector<ConflictKind> asked;
            for (const MergeConflict& c : merged.conflicts) asked.push_back(c.kind);
            EXPECT_EQ(asked, r.asked) << r.name;
        }
    }
}

// The file as the editor read it: a comment line, an unknown setting and an unknown key in
// an entry, which every save must keep where they stand.
constexpr const char* kRead =
    "'vexal   ver.1.00\r\n"
    "' kept by hand\r\n"
    "\r\n"
    "NewMsg = (new)\r\n"
    "CacheFileName = wpcache\r\n"
    "WinFolderWPname = wallpaper.bmp\r\n"
    "TimeOut = 30\r\n"
    "Colour = blue\r\n"
    "-\r\n"
    "Name = a\r\n"
    "Url = http://a/\r\n"
    "Comment = c\r\n"
    "; note on a\r\n"
    "Filter = 010000\r\n"
    "Ext = 1111\r\n"
    "WpState = 2\r\n"
    "No = 0\r\n"
    "No_n = 1\r\n"
    "Refstr = \r\n"
    "Custom = 1\r\n"
    "-\r\n"
    "Name = b\r\n"
    "Url = C:\\b\\\r\n"
    "Comment = \r\n"
    "Filter = 000001\r\n"
    "Ext = 0100\r\n"
    "WpState = 0\r\n"
    "No = 2\r\n"
    "No_n = 1\r\n"
    "Refstr = \r\n";

using Edits = std::vector<std::pair<std::string, std::string>>;

// kRead with each text replaced by its new one, in order.
std::string Edited(const Edits& edits) {
    std::string text = kRead;
    for (const auto& [from, to] : edits) {
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    return text;
}

const std::string kBlockB =
    "-\r\nName = b\r\nUrl = C:\\b\\\r\nComment = \r\nFilter = 000001\r\nExt = 0100\r\n"
    "WpState = 0\r\nNo = 2\r\nNo_n = 1\r\nRefstr = \r\n";
const std::string kNewN =
    "-\r\nName = n\r\nUrl = mine\r\nComment = \r\nFilter = 000000\r\nExt = 0000\r\n"
    "WpState = 0\r\nNo = 0\r\nNo_n = 0\r\nRefstr = \r\n";

// Regression: the editor wrote its own four settings and whole entries over what was
// changed by hand while it was open, and dropped comment lines and unknown keys.
TEST(SettingsMergeTest, HandEditsMeanwhileAreKeptFieldByField) {
    const std::string aBlock = Edited({}).substr(Edited({}).find("-\r\nName = a"));
    const struct {
        const char* name;
        std::function<void(StoredSettings&)> edit;  // what the editor changed
        Edits byHand;                               // what was changed in the file meanwhile
        std::vector<MergeConflict> asked;
        Edits keepFile, keepMine;  // the file afterwards, as edits of kRead
    } rows[] = {
        {"settingsByHandUntouchedHere",
         [](StoredSettings&) {},
         {{"(new)", "(neu)"}, {"= wpcache", "= cache2"}, {"wallpaper.bmp", "wp.bmp"}, {"30", "90"}},
         {},
         {{"(new)", "(neu)"}, {"= wpcache", "= cache2"}, {"wallpaper.bmp", "wp.bmp"}, {"30", "90"}},
         {}},
        {"settingChangedOnBoth",
         [](StoredSettings& s) { s.TimeOut = 60; },
         {{"TimeOut = 30", "TimeOut = 90"}},
         {{ConflictKind::Field, "", "TimeOut"}},
         {{"TimeOut = 30", "TimeOut = 90"}},
         {{"TimeOut = 30", "TimeOut = 60"}}},
        {"urlByHandCommentHere",
         [](StoredSettings& s) { s.SiteEntries[1].Comment = "two\r\nlines"; },
         {{"http://a/", "http://a2/"}},
         {},
         {{"http://a/", "http://a2/"}, {"Comment = c\r\n", "Comment = two\\nlines\r\n"}},
         {}},
        {"sameFieldApart",
         [](StoredSettings& s) { s.SiteEntries[1].Url = "http://mine/"; },
         {{"http://a/", "http://hand/"}},
         {{ConflictKind::Field, "a", "Url"}},
         {{"http://a/", "http://hand/"}},
         {{"http://a/", "http://mine/"}}},
        {"sameNameAddedOnBoth",
         [](StoredSettings& s) {
             s.SiteEntries.emplace_back();
             s.SiteEntries.back().Name = "n";
             s.SiteEntries.back().Url = "mine";
         },
         {{"No = 2\r\nNo_n = 1\r\nRefstr = \r\n",
           "No = 2\r\nNo_n = 1\r\nRefstr = \r\n"
           "-\r\nName = n\r\nUrl = hand\r\n"}},
         {{ConflictKind::AddedBoth, "n", ""}},
         {{"No = 2\r\nNo_n = 1\r\nRefstr = \r\n",
           "No = 2\r\nNo_n = 1\r\nRefstr = \r\n-\r\nName = n\r\nUrl = hand\r\n"}},
         {{"No = 2\r\nNo_n = 1\r\nRefstr = \r\n",
           "No = 2\r\nNo_n = 1\r\nRefstr = \r\n-\r\nName = n\r\nUrl = mine\r\n"}}},
        {"deletedHereCommentByHand",
         [](StoredSettings& s) { s.SiteEntries.erase(s.SiteEntries.begin() + 1); },
         {{"Comment = c", "Comment = hand"}},
         {{ConflictKind::DeletedHere, "a", ""}},
         {{"Comment = c", "Comment = hand"}},
         {{aBlock.substr(0, aBlock.find("-\r\nName = b")), ""}}},
        {"deletedHereUntouchedThere",
         [](StoredSettings& s) { s.SiteEntries.erase(s.SiteEntries.begin() + 1); },
         {},
         {},
         {{aBlock.substr(0, aBlock.find("-\r\nName = b")), ""}},
         {}},
        {"deletedByHandChangedHere",
         [](StoredSettings& s) { s.SiteEntries[2].No_n = 4; },
         {{kBlockB, ""}},
         {{ConflictKind::DeletedThere, "b", ""}},
         {{kBlockB, ""}},
         {{"No = 2\r\nNo_n = 1", "No = 2\r\nNo_n = 4"}}},
        {"oneFieldChangedHere",
         [](StoredSettings& s) { s.SiteEntries[2].No_n = 3; },
         {},
         {},
         {{"No = 2\r\nNo_n = 1", "No = 2\r\nNo_n = 3"}},
         {}},
        {"extensionSetThenNewEntry",
         [](StoredSettings& s) {
             s.SiteEntries[1].Schedule = ScheduleKind::Daily;
             s.SiteEntries.emplace_back();
             s.SiteEntries.back().Name = "n";
             s.SiteEntries.back().Url = "mine";
         },
         {},
         {},
         {{"Custom = 1\r\n", "Custom = 1\r\nSchedule = daily\r\n"},
          {"No = 2\r\nNo_n = 1\r\nRefstr = \r\n", "No = 2\r\nNo_n = 1\r\nRefstr = \r\n" + kNewN}},
         {}},
    };
    for (const auto& r : rows) {
        Program base;
        ParseSettings(base, kRead);
        Program mine = base;
        r.edit(mine);
        const std::string theirBytes = Edited(r.byHand);
        Program theirs;
        ParseSettings(theirs, theirBytes);
        for (bool keepMine : {false, true}) {
            const MergedSettings merged = MergeSettings(base, mine, theirs, keepMine);
            EXPECT_EQ(merged.conflicts, r.asked) << r.name;
            std::string out;
            const std::string file =
                RewriteSettings(theirBytes, false, theirs, merged, out) ? out : theirBytes;
            const Edits& expected = keepMine && !r.keepMine.empty() ? r.keepMine : r.keepFile;
            EXPECT_EQ(file, Edited(expected)) << r.name << " keepMine " << keepMine;
            // What is written reads back as what was merged.
            Program back;
            ParseSettings(back, file);
            EXPECT_EQ(back.TimeOut, merged.settings.TimeOut) << r.name;
            EXPECT_EQ(Names(back.SiteEntries), Names(merged.settings.SiteEntries)) << r.name;
        }
    }
}

}  // namespace
}  // namespace vexal
