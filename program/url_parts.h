// A URL cut into its parts, as the retrieval state keeps the server it talks to.
#pragma once

#include <cstdint>
#include <string>

namespace vexal {

struct UrlParts {
    std::string Scheme;
    std::string User;
    std::string Password;
    std::string Host;
    std::int32_t Port = 80;  // 443 for "https"
    std::string Dir;         // from the path's first "/" through its last "/"
    std::string File;        // after the path's last "/"

    bool operator==(const UrlParts&) const = default;
};

}  // namespace vexal
