// A private X server for one test: Xvfb on the first free display number (it picks and
// reports it itself), started with -noreset so a pixmap retained by a client that has
// exited survives, and stopped with the test.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace vexal::testing {

class XvfbServer {
public:
    explicit XvfbServer(const std::string& screen = "640x480x24") {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        const std::string geometry = screen;
        std::vector<const char*> argv = {"Xvfb", "-displayfd", fd.c_str(), "-noreset",       "-nolisten",
                                         "tcp",  "-screen",    "0",        geometry.c_str(), nullptr};
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execvp(argv[0], const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
        ::close(fds[1]);
        // The server writes its display number once it accepts connections.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (::poll(&p, 1, 60000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
        ::close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~XvfbServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", or empty when the server could not be started.
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Replaces the server's automatic monitor with monitors of these sizes side by side, left
// to right, named "M1", "M2", … (RandR 1.5 monitors, as a desktop with several screens
// reports them); false when xrandr refused.
inline bool SetMonitors(const std::string& display, const std::vector<std::pair<int, int>>& sizes) {
    int x = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const auto [w, h] = sizes[i];
        const std::string geometry = std::to_string(w) + "/" + std::to_string(w / 4) + "x" +
                                     std::to_string(h) + "/" + std::to_string(h / 4) + "+" +
                                     std::to_string(x) + "+0";
        // The first takes over the automatic monitor, which covers the whole screen.
        const std::string command = "xrandr -display " + display + " --setmonitor M" + std::to_string(i + 1) +
                                    " " + geometry + (i == 0 ? " screen" : " none") + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return false;
        x += w;
    }
    return true;
}

// The root window's pixels, 0x00RRGGBB, rows top to bottom.
struct RootPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline RootPixels ReadRoot(const std::string& display) {
    RootPixels out;
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return out;
    const int screen = DefaultScreen(d);
    out.width = DisplayWidth(d, screen);
    out.height = DisplayHeight(d, screen);
    XImage* image = XGetImage(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(out.width),
                              static_cast<unsigned>(out.height), AllPlanes, ZPixmap);
    if (image) {
        out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x)
                out.pixels[static_cast<std::size_t>(y) * out.width + x] =
                    static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
        XDestroyImage(image);
    }
    XCloseDisplay(d);
    return out;
}

}  // namespace vexal::testing
