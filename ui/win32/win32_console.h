// Where --help, --version and -list print on Windows. vexal.exe is a windows program: a console
// that starts it neither waits for it nor lends it its own output. So the text goes to
// standard output when that leads somewhere (redirected to a file or a pipe, or an
// inherited console, as the console companion hands on), and otherwise comes up in a box
// that keeps its columns, unless the run is unattended and no box may appear.
#pragma once

#include "host/console.h"
#include "ui/win32/win32_dialogs.h"

namespace vexal {

class Win32Console final : public Console {
public:
    // `boxes`: where the text shows when standard output leads nowhere; null: nowhere.
    explicit Win32Console(Win32Dialogs* boxes) : boxes_(boxes) {}
    void Print(const std::string& utf8) override;

private:
    Win32Dialogs* boxes_;
};

}  // namespace vexal
