// Text crossing between the core (UTF-8 std::string) and Qt (QString).
#pragma once

#include <QString>
#include <string>

namespace vexal {

inline QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace vexal
