// Saving over a settings file that changed since it was read: another editor, or a text
// editor, may have added, changed or deleted entries or settings meanwhile, and none of
// that may be lost without a word.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "program/program.h"

namespace vexal {

// Where this editor and the file disagree, each side having changed it since it was read.
enum class ConflictKind : std::uint8_t {
    Field,         // a field (or one of the four settings) set to different values
    AddedBoth,     // an entry of the same name added on both sides, not the same
    DeletedHere,   // deleted here, changed in the file
    DeletedThere,  // deleted in the file, changed here
};

struct MergeConflict {
    ConflictKind kind = ConflictKind::Field;
    std::string entry;  // the entry's name; empty for one of the four settings
    std::string key;    // the key as the file writes it (Field only)
    bool operator==(const MergeConflict&) const = default;
};

struct MergedSettings {
    // What to write: the four settings and entries 1..N (element 0 is mine's).
    StoredSettings settings;
    // For each entry, the index of the file's entry it stands for; 0 for one new to it.
    std::vector<std::int32_t> theirIndex;
    std::vector<MergeConflict> conflicts;
};

// `base` is what this editor read, `mine` what it holds now and `theirs` what the file holds
// now. Field by field: one changed on one side only takes that side's value; changed on both
// to different values it is a conflict, settled by `keepMine`. Entries are matched by name,
// letter case ignored as the command line ignores it (the second entry of a name with the
// second). Theirs come in their order, then this editor's new ones in its order.
MergedSettings MergeSettings(const StoredSettings& base, const StoredSettings& mine,
                             const StoredSettings& theirs, bool keepMine);

// The file's new bytes: `theirBytes`' lines with what `merged` changed against `theirs`
// (their parse) written into them. Lines the program does not read (comments, unknown
// keys) and the order of all lines stay. False when the merge changes nothing the file
// holds, so there is nothing to write.
bool RewriteSettings(std::string_view theirBytes, bool acceptUtf8, const StoredSettings& theirs,
                     const MergedSettings& merged, std::string& bytesOut);

}  // namespace vexal
