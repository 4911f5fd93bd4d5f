// What the editor's browse buttons and a drop onto the editor put into the address field
// (txUrl), written as the field expects a source: a local path as it stands, a folder with
// its trailing separator, a web address as given.
#pragma once

#include <QString>

class QMimeData;

namespace vexal {

// A chosen or dropped local path as a source: a folder (checked on disk) gets the trailing
// separator that tells the source classifier it is one; a file stays as it is.
QString LocalSource(const QString& path);

// The source a drag carries, or empty when it carries none the field can use: the first
// local file or folder, or http(s) address, of a URL list; else a text that is one such
// address (file:// included) or an absolute path that exists.
QString DroppedSource(const QMimeData& data);

// Where the browse dialogs open: the folder the field names (its own folder for a file)
// when it exists, else the home folder.
QString BrowseStartFolder(const QString& fieldText);

}  // namespace vexal
