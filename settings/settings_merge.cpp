// Merging the entries of a settings file that changed under the editor.
#include "settings/settings_merge.h"

#include <string>
#include <unordered_map>

#include "text/case.h"

namespace vexal {
namespace {

// The entries 1..N of a list by their folded name; the first of a name counts.
std::unordered_map<std::string, const SiteEntry*> ByName(const SiteEntryList& list) {
    std::unordered_map<std::string, const SiteEntry*> map;
    for (std::size_t i = 1; i < list.size(); ++i) map.emplace(ToLower(list[i].Name), &list[i]);
    return map;
}

const SiteEntry* Find(const std::unordered_map<std::string, const SiteEntry*>& map, const std::string& name) {
    const auto it = map.find(ToLower(name));
    return it == map.end() ? nullptr : it->second;
}

}  // namespace

SiteEntryList MergeEntries(const SiteEntryList& base, const SiteEntryList& mine,
                           const SiteEntryList& theirs) {
    const auto baseByName = ByName(base), mineByName = ByName(mine), theirsByName = ByName(theirs);
    SiteEntryList merged;
    merged.push_back(mine.empty() ? SiteEntry{} : mine[0]);
    std::unordered_map<std::string, bool> taken;  // names already given this editor's entry
    for (std::size_t i = 1; i < theirs.size(); ++i) {
        const SiteEntry& their = theirs[i];
        const SiteEntry* was = Find(baseByName, their.Name);
        const SiteEntry* my = Find(mineByName, their.Name);
        if (my && !taken.emplace(ToLower(their.Name), true).second) my = nullptr, was = nullptr;
        if (my) {
            // Changed here (or added on both sides): this editor's; else theirs.
            merged.push_back(!was || !(*my == *was) ? *my : their);
        } else if (!was || !(their == *was)) {
            // Added there, or deleted here but changed there: kept.
            merged.push_back(their);
        }
    }
    for (std::size_t i = 1; i < mine.size(); ++i) {
        const SiteEntry& my = mine[i];
        if (Find(theirsByName, my.Name)) continue;
        const SiteEntry* was = Find(baseByName, my.Name);
        // New here, or deleted there but changed here: kept; deleted there and untouched
        // here: gone.
        if (!was || !(my == *was)) merged.push_back(my);
    }
    return merged;
}

}  // namespace vexal
