// Saving over a settings file that changed since it was read: another editor, or a text
// editor, may have added, changed or deleted entries meanwhile, and none of that may be
// lost without a word.
#pragma once

#include "program/site_entry.h"

namespace vexal {

// The entries to write when `base` is what this editor read, `mine` what it holds now and
// `theirs` what the file holds now (element 0 of each is the working copy; the result's
// is mine's). Entries are matched by name, letter case ignored as the command line
// ignores it. Theirs come in their order: one this editor changed is taken from mine, one
// it deleted goes unless it was changed there too; then this editor's new entries in its
// order, and those deleted there but changed here. An entry that both added under one name
// is taken from mine.
SiteEntryList MergeEntries(const SiteEntryList& base, const SiteEntryList& mine, const SiteEntryList& theirs);

}  // namespace vexal
