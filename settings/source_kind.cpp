// The source classifier: web or local, image or not, folder by its trailing separator.
#include "settings/source_kind.h"

#include "program/site_entry.h"
#include "text/case.h"

namespace vexal {

bool HasImageExtension(std::string_view text) {
    std::string_view tail = text.size() > 4 ? text.substr(text.size() - 4) : text;
    if (tail.size() != 4 || tail[0] != '.') return false;
    for (const char* ext : ImageExts)
        if (EndsWithNoCase(tail, ext)) return true;
    return false;
}

SourceKind ClassifySource(std::string_view text, char folderSeparator) {
    const bool image = HasImageExtension(text);
    const bool web = StartsWithNoCase(text, "http://");
    if (web) return image ? SourceKind::WebImage : SourceKind::WebPage;
    if (image) return SourceKind::LocalImage;
    if (!text.empty() && text.back() == folderSeparator) return SourceKind::LocalFolder;
    return SourceKind::LocalFile;
}

}  // namespace vexal
