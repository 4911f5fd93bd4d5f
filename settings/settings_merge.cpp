// Merging the settings of a file that changed under the editor, field by field, and writing
// the result into the file's own lines.
#include "settings/settings_merge.h"

#include <map>
#include <utility>

#include "settings/settings_file.h"
#include "text/case.h"

namespace vexal {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// The entries 1..N of a list by their folded name and which of that name they are, so that
// two entries of one name are told apart by their order.
using EntryKey = std::pair<std::string, int>;

std::map<EntryKey, std::int32_t> ByKey(const SiteEntryList& list, std::vector<EntryKey>* keysOut = nullptr) {
    std::map<EntryKey, std::int32_t> map;
    std::map<std::string, int> seen;
    for (std::size_t i = 1; i < list.size(); ++i) {
        std::string name = ToLower(list[i].Name);
        const int nth = seen[name]++;
        EntryKey key{std::move(name), nth};
        if (keysOut) keysOut->push_back(key);
        map.emplace(std::move(key), static_cast<std::int32_t>(i));
    }
    return map;
}

const SiteEntry* Find(const SiteEntryList& list, const std::map<EntryKey, std::int32_t>& map,
                      const EntryKey& key) {
    const auto it = map.find(key);
    return it == map.end() ? nullptr : &list[static_cast<std::size_t>(it->second)];
}

}  // namespace

MergedSettings MergeSettings(const StoredSettings& base, const StoredSettings& mine,
                             const StoredSettings& theirs, bool keepMine) {
    MergedSettings out;
    out.settings = mine;
    out.settings.SiteEntries.resize(1);
    out.theirIndex.assign(1, 0);
    StoredSettings& merged = out.settings;

    for (GlobalField g : kGlobalFields) {
        if (SameGlobalField(mine, base, g)) {
            CopyGlobalField(merged, theirs, g);
        } else if (!SameGlobalField(theirs, base, g) && !SameGlobalField(mine, theirs, g)) {
            out.conflicts.push_back({ConflictKind::Field, "", GlobalFieldKey(g)});
            if (!keepMine) CopyGlobalField(merged, theirs, g);
        }
    }

    std::vector<EntryKey> theirKeys, myKeys;
    const auto baseBy = ByKey(base.SiteEntries);
    const auto mineBy = ByKey(mine.SiteEntries, &myKeys);
    const auto theirsBy = ByKey(theirs.SiteEntries, &theirKeys);
    auto take = [&out](const SiteEntry& entry, std::int32_t theirIndex) {
        out.settings.SiteEntries.push_back(entry);
        out.theirIndex.push_back(theirIndex);
    };

    for (std::size_t k = 1; k < theirs.SiteEntries.size(); ++k) {
        const SiteEntry& their = theirs.SiteEntries[k];
        const auto index = static_cast<std::int32_t>(k);
        const SiteEntry* was = Find(base.SiteEntries, baseBy, theirKeys[k - 1]);
        const SiteEntry* my = Find(mine.SiteEntries, mineBy, theirKeys[k - 1]);
        if (my && was) {
            SiteEntry entry = their;
            for (EntryField f : kEntryFields) {
                if (SameEntryField(*my, *was, f) || SameEntryField(*my, their, f)) continue;
                if (SameEntryField(their, *was, f)) {
                    CopyEntryField(entry, *my, f);
                } else {
                    out.conflicts.push_back({ConflictKind::Field, my->Name, EntryFieldKey(f)});
                    if (keepMine) CopyEntryField(entry, *my, f);
                }
            }
            take(entry, index);
        } else if (my) {
            if (!(*my == their)) out.conflicts.push_back({ConflictKind::AddedBoth, my->Name, ""});
            take(keepMine ? *my : their, index);
        } else if (was) {
            if (their == *was) continue;  // deleted here, untouched there: gone
            out.conflicts.push_back({ConflictKind::DeletedHere, their.Name, ""});
            if (!keepMine) take(their, index);
        } else {
            take(their, index);  // added there
        }
    }
    for (std::size_t j = 1; j < mine.SiteEntries.size(); ++j) {
        const SiteEntry& my = mine.SiteEntries[j];
        if (theirsBy.count(myKeys[j - 1])) continue;
        const SiteEntry* was = Find(base.SiteEntries, baseBy, myKeys[j - 1]);
        if (!was) {
            take(my, 0);  // new here
        } else if (!(my == *was)) {
            out.conflicts.push_back({ConflictKind::DeletedThere, my.Name, ""});
            if (keepMine) take(my, 0);
        }
    }
    return out;
}

bool RewriteSettings(std::string_view theirBytes, bool acceptUtf8, const StoredSettings& theirs,
                     const MergedSettings& merged, std::string& bytesOut) {
    std::vector<std::string> lines = SettingsLines(theirBytes, acceptUtf8);
    const std::size_t n = lines.size();
    // For each line: the entry it belongs to (0 before the first "-") and its key, lower-cased.
    std::vector<std::int32_t> entryOf(n, 0);
    std::vector<std::string> keyOf(n);
    std::vector<std::size_t> separatorOf(1, n);  // entry k's "-" line
    std::size_t firstSeparator = n;
    std::int32_t counter = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::string_view value;
        const SettingsLineKind kind = ClassifySettingsLine(lines[i], keyOf[i], value);
        if (kind == SettingsLineKind::Separator) {
            ++counter;
            separatorOf.push_back(i);
            if (firstSeparator == n) firstSeparator = i;
        }
        if (kind != SettingsLineKind::Key) keyOf[i].clear();
        entryOf[i] = counter;
    }
    std::vector<bool> removed(n, false);
    std::vector<std::vector<std::string>> inserted(n + 1);  // lines that go before line i
    bool changed = false;
    auto isGlobalKey = [](const std::string& key) {
        for (GlobalField g : kGlobalFields)
            if (key == ToLower(GlobalFieldKey(g))) return true;
        return false;
    };

    // A setting's last line is the one that counts, wherever it stands; a new one goes
    // where the program writes the settings, before the entries.
    for (GlobalField g : kGlobalFields) {
        if (SameGlobalField(merged.settings, theirs, g)) continue;
        changed = true;
        const std::string key = ToLower(GlobalFieldKey(g));
        std::size_t last = n;
        for (std::size_t i = 0; i < n; ++i)
            if (keyOf[i] == key) last = i;
        if (last != n)
            lines[last] = GlobalFieldLine(merged.settings, g);
        else
            inserted[firstSeparator].push_back(GlobalFieldLine(merged.settings, g));
    }

    std::vector<std::int32_t> mergedOf(theirs.SiteEntries.size(), 0);
    for (std::size_t j = 1; j < merged.theirIndex.size(); ++j)
        if (merged.theirIndex[j] > 0)
            mergedOf[static_cast<std::size_t>(merged.theirIndex[j])] = static_cast<std::int32_t>(j);
    for (std::int32_t k = 1; k <= counter && static_cast<std::size_t>(k) < theirs.SiteEntries.size(); ++k) {
        const SiteEntry& their = theirs.SiteEntries[static_cast<std::size_t>(k)];
        const std::int32_t j = mergedOf[static_cast<std::size_t>(k)];
        if (j == 0) {
            // Deleted: its lines go, but not a setting that happens to stand among them.
            changed = true;
            for (std::size_t i = 0; i < n; ++i)
                if (entryOf[i] == k && !isGlobalKey(keyOf[i])) removed[i] = true;
            continue;
        }
        const SiteEntry& entry = merged.settings.SiteEntries[static_cast<std::size_t>(j)];
        std::size_t lastKeyed = separatorOf[static_cast<std::size_t>(k)];
        for (std::size_t i = 0; i < n; ++i)
            if (entryOf[i] == k && !keyOf[i].empty()) lastKeyed = i;
        for (EntryField f : kEntryFields) {
            if (SameEntryField(entry, their, f)) continue;
            changed = true;
            const std::string key = ToLower(EntryFieldKey(f));
            std::size_t last = n;
            for (std::size_t i = 0; i < n; ++i) {
                if (entryOf[i] != k || keyOf[i] != key) continue;
                last = i;
                // An extension set back to its default is written as a file without it.
                if (!EntryFieldWritten(entry, f)) removed[i] = true;
            }
            if (!EntryFieldWritten(entry, f)) continue;
            if (last != n)
                lines[last] = EntryFieldLine(entry, f);
            else
                inserted[lastKeyed + 1].push_back(EntryFieldLine(entry, f));
        }
    }
    for (std::size_t j = 1; j < merged.theirIndex.size(); ++j) {
        if (merged.theirIndex[j] != 0) continue;
        changed = true;
        const SiteEntry& entry = merged.settings.SiteEntries[j];
        inserted[n].push_back("-");
        for (EntryField f : kEntryFields)
            if (EntryFieldWritten(entry, f)) inserted[n].push_back(EntryFieldLine(entry, f));
    }
    if (!changed) return false;

    std::string text;
    for (std::size_t i = 0; i <= n; ++i) {
        for (const std::string& line : inserted[i]) {
            text += line;
            text += kCrLf;
        }
        if (i == n || removed[i]) continue;
        text += lines[i];
        text += kCrLf;
    }
    EncodeSettingsText(text, bytesOut);
    return true;
}

}  // namespace vexal
