// Where --help and --version print on Windows. vexal.exe is a windows program: a console
// that starts it neither waits for it nor lends it its own output. So the text goes to
// standard output when that leads somewhere (redirected to a file or a pipe, or an
// inherited console), and otherwise comes up in a plain message box, unless the run is
// unattended and no box may appear.
#pragma once

#include "host/console.h"
#include "host/dialogs.h"

namespace vexal {

class Win32Console final : public Console {
public:
    // `boxes`: where the text shows when standard output leads nowhere; null: nowhere.
    explicit Win32Console(Dialogs* boxes) : boxes_(boxes) {}
    void Print(const std::string& utf8) override;

private:
    Dialogs* boxes_;
};

}  // namespace vexal
