// One line per box. Line breaks inside a message (the choice messages hold CR LF) are
// kept as written, so a reader sees the text exactly as the box would show it.
#include "ui/stderr_dialogs.h"

namespace vexal {

void StderrDialogs::Write(const std::string& title, const std::string& text) {
    std::string line = title + ": " + text + "\n";
    if (write_) {
        write_(line);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

}  // namespace vexal
