// Silencing what the image libraries say about a damaged file while the program reads it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QtGlobal>
#include <cstdio>

namespace vexal {

// A damaged file is reported by the libraries themselves as well: Qt through its message
// handler, libpng and libjxl straight onto standard error. Either would put lines such as "libpng
// error" among the program's own message lines, which scheduled runs read; the outcome
// is what counts, so both are silenced while a file is read.
class LibrariesQuiet {
public:
    LibrariesQuiet()
        : previous_(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {
        std::fflush(stderr);
        savedStderr_ = ::dup(2);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, 2);
            ::close(null);
        }
    }
    ~LibrariesQuiet() {
        std::fflush(stderr);
        if (savedStderr_ >= 0) {
            ::dup2(savedStderr_, 2);
            ::close(savedStderr_);
        }
        qInstallMessageHandler(previous_);
    }
    LibrariesQuiet(const LibrariesQuiet&) = delete;
    LibrariesQuiet& operator=(const LibrariesQuiet&) = delete;

private:
    QtMessageHandler previous_;
    int savedStderr_ = -1;
};

}  // namespace vexal
