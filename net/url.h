// Splitting a URL into its parts, and a server path into folder and file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexal {

struct UrlParts {
    std::string Scheme;
    std::string User;
    std::string Password;
    std::string Host;
    std::int32_t Port = 80;
    std::string Dir;
    std::string File;

    bool operator==(const UrlParts&) const = default;
};

UrlParts SplitUrl(std::string_view url);
std::string UrlDirPart(std::string_view path);
std::string UrlFilePart(std::string_view path);

// The exact bytes of the one request the system sends.
std::string RequestText(std::string_view path, std::string_view requestHeaders);

}  // namespace vexal
