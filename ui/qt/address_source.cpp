// Reading a chosen path, a drag's URLs or text, and the field's own text as the editor's
// address: what the browse dialogs and a drop hand to txUrl.
#include "ui/qt/address_source.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "settings/source_kind.h"
#include "ui/qt/qt_text.h"

namespace vexal {
namespace {

bool IsWebUrl(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == "http" || scheme == "https");
}

// One URL as a source; empty for any other scheme.
QString UrlSource(const QUrl& url) {
    if (url.isLocalFile()) {
        const QString path = url.toLocalFile();
        return path.isEmpty() ? QString() : LocalSource(path);
    }
    // As the sender wrote it: the request path is sent with its escapes as they stand.
    if (IsWebUrl(url)) return url.toString(QUrl::FullyEncoded);
    return {};
}

}  // namespace

QString LocalSource(const QString& path) {
    const QChar separator = QLatin1Char(kFolderSeparator);
    if (path.endsWith(separator) || !QFileInfo(path).isDir()) return path;
    return path + separator;
}

QString DroppedSource(const QMimeData& data) {
    if (data.hasUrls()) {
        for (const QUrl& url : data.urls()) {
            const QString source = UrlSource(url);
            if (!source.isEmpty()) return source;
        }
        return {};
    }
    if (!data.hasText()) return {};
    // One address or path, nothing around it but blanks; a text with more in it is meant
    // for a text box, not for the address.
    const QString text = data.text().trimmed();
    if (text.isEmpty() || text.contains(QLatin1Char('\n'))) return {};
    if (IsWebAddress(ToUtf8(text))) {
        const QUrl url(text, QUrl::StrictMode);
        const bool blank = std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
        return IsWebUrl(url) && !blank ? text : QString();
    }
    if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return UrlSource(QUrl(text, QUrl::StrictMode));
    if (QDir::isAbsolutePath(text) && QFileInfo::exists(text)) return LocalSource(text);
    return {};
}

QString BrowseStartFolder(const QString& fieldText) {
    if (!fieldText.isEmpty() && !IsWebAddress(ToUtf8(fieldText))) {
        const QFileInfo info(fieldText);
        const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
        if (QFileInfo(folder).isDir()) return QDir::cleanPath(folder);
    }
    return QDir::homePath();
}

}  // namespace vexal
