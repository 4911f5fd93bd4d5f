// Saving over a settings file that changed since it was read: whose entries are kept.
#include "settings/settings_merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexal {
namespace {

// "name=url" a side, in order; element 0, the working copy, is "work".
SiteEntryList Side(const std::vector<std::string>& entries) {
    SiteEntryList list(1);
    list[0].Url = "work";
    for (const std::string& e : entries) {
        SiteEntry entry;
        entry.Name = e.substr(0, e.find('='));
        entry.Url = e.substr(e.find('=') + 1);
        list.push_back(entry);
    }
    return list;
}

std::vector<std::string> Names(const SiteEntryList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 1; i < list.size(); ++i) out.push_back(list[i].Name + "=" + list[i].Url);
    return out;
}

TEST(SettingsMergeTest, NothingWrittenElsewhereIsLost) {
    const struct {
        const char* name;
        std::vector<std::string> base, mine, theirs, merged;
    } rows[] = {
        {"unchangedThere", {"a=1"}, {"a=1", "c=3"}, {"a=1"}, {"a=1", "c=3"}},
        {"bothAdded", {"a=1"}, {"a=1", "c=3"}, {"a=1", "b=2"}, {"a=1", "b=2", "c=3"}},
        {"changedHereWins", {"a=1", "b=2"}, {"a=9", "b=2"}, {"a=1", "b=2", "x=0"}, {"a=9", "b=2", "x=0"}},
        {"changedThereKept", {"a=1"}, {"a=1"}, {"a=7"}, {"a=7"}},
        {"deletedHere", {"a=1", "b=2"}, {"b=2"}, {"a=1", "b=2"}, {"b=2"}},
        {"deletedHereChangedThere", {"a=1", "b=2"}, {"b=2"}, {"a=5", "b=2"}, {"a=5", "b=2"}},
        {"deletedThere", {"a=1", "b=2"}, {"a=1", "b=2"}, {"b=2"}, {"b=2"}},
        {"deletedThereChangedHere", {"a=1", "b=2"}, {"a=4", "b=2"}, {"b=2"}, {"b=2", "a=4"}},
        {"sameNameAddedOnBoth", {}, {"n=mine"}, {"n=theirs"}, {"n=mine"}},
        // The command line ignores letter case, so the editor does too.
        {"letterCaseIgnored", {"Photo=1"}, {"Photo=2"}, {"PHOTO=1"}, {"Photo=2"}},
        {"theirOrderFirst",
         {"a=1", "b=2"},
         {"b=2", "a=1", "m=0"},
         {"b=2", "t=0", "a=1"},
         {"b=2", "t=0", "a=1", "m=0"}},
    };
    for (const auto& r : rows) {
        const SiteEntryList merged = MergeEntries(Side(r.base), Side(r.mine), Side(r.theirs));
        EXPECT_EQ(Names(merged), r.merged) << r.name;
        EXPECT_EQ(merged[0].Url, "work") << r.name;
    }
}

}  // namespace
}  // namespace vexal
