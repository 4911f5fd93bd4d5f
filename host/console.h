// Standard output, where a run asked for its usage text or its version prints it.
#pragma once

#include <string>

namespace vexal {

class Console {
public:
    virtual ~Console() = default;
    // Writes `utf8` as it is; the text ends with its own line break.
    virtual void Print(const std::string& utf8) = 0;
};

}  // namespace vexal
