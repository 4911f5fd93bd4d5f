// The console of a POSIX terminal or pipe: the bytes go to standard output unchanged.
#pragma once

#include <cstdio>

#include "host/console.h"

namespace vexal {

class StdoutConsole final : public Console {
public:
    void Print(const std::string& utf8) override {
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        std::fflush(stdout);
    }
};

}  // namespace vexal
