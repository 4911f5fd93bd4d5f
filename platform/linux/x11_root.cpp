// Root background on X11 with Xlib. The pixmap must outlive this process: the connection
// is closed in RetainPermanent mode, the pixmap is published as _XROOTPMAP_ID and
// ESETROOT_PMAP_ID, and then the pixmap a previous setter retained that way is freed with
// XKillClient, or every change would leak a screenful of server memory.
#include "platform/linux/x11_root.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <cstdint>
#include <vector>

namespace vexal {
namespace {

// Xlib's default error handler ends the process; errors are counted instead, so a
// refusing server turns into a failed installation with its message.
int g_errors = 0;
int CountError(Display*, XErrorEvent*) {
    ++g_errors;
    return 0;
}

class ErrorTrap {
public:
    ErrorTrap() : previous_(XSetErrorHandler(CountError)) { g_errors = 0; }
    ~ErrorTrap() { XSetErrorHandler(previous_); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

private:
    int (*previous_)(Display*, XErrorEvent*);
};

bool ReadPixmapProperty(Display* d, Window root, Atom property, Pixmap& out) {
    if (property == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, root, property, 0, 1, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) != Success)
        return false;
    const bool ok = data && type == XA_PIXMAP && format == 32 && count == 1;
    // Format 32 properties arrive as an array of long, whatever the size of long.
    if (ok) out = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return ok;
}

int Shift(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

int Bits(unsigned long mask) {
    int n = 0;
    for (; mask; mask >>= 1) n += static_cast<int>(mask & 1);
    return n;
}

// One channel of 8 bits scaled to the visual's width and moved into place.
unsigned long Channel(std::uint32_t value8, unsigned long mask) {
    const int bits = Bits(mask);
    const unsigned long v = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
    return (v << Shift(mask)) & mask;
}

bool HostIsLittleEndian() {
    const std::uint32_t probe = 1;
    return *reinterpret_cast<const unsigned char*>(&probe) == 1;
}

// Points `image` at the screen's pixels: the common 24- and 32-bit visuals take them as
// they are (Xlib swaps the bytes on the way if the server's order differs from ours);
// any other visual gets them converted, pixel by pixel, into `converted`.
void FillImage(XImage* image, std::vector<std::uint32_t>& pixels, int width, int height,
               std::vector<char>& converted) {
    if (image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
        image->blue_mask == 0xFF && image->bytes_per_line == width * 4) {
        image->data = reinterpret_cast<char*>(pixels.data());
        image->byte_order = HostIsLittleEndian() ? LSBFirst : MSBFirst;
        return;
    }
    converted.resize(static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height));
    image->data = converted.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = pixels[static_cast<std::size_t>(y) * width + x];
            XPutPixel(image, x, y,
                      Channel((c >> 16) & 0xFF, image->red_mask) |
                          Channel((c >> 8) & 0xFF, image->green_mask) | Channel(c & 0xFF, image->blue_mask));
        }
}

// Copies the screen's pixels into a new pixmap on the server; None when Xlib cannot
// even make the image. The server's own errors show in the error count after a sync.
Pixmap MakePixmap(Display* d, int screen, std::vector<std::uint32_t>& pixels) {
    const Window root = RootWindow(d, screen);
    const int width = DisplayWidth(d, screen), height = DisplayHeight(d, screen);
    const int depth = DefaultDepth(d, screen);
    XImage* image = XCreateImage(d, DefaultVisual(d, screen), static_cast<unsigned>(depth), ZPixmap, 0,
                                 nullptr, static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return None;
    std::vector<char> converted;
    FillImage(image, pixels, width, height, converted);
    const Pixmap pixmap = XCreatePixmap(d, root, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                        static_cast<unsigned>(depth));
    GC gc = XCreateGC(d, pixmap, 0, nullptr);
    XPutImage(d, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFreeGC(d, gc);
    image->data = nullptr;  // the buffer belongs to a vector
    XDestroyImage(image);
    return pixmap;
}

// The pixmap a previous setter retained, when both properties name it: that is the sign
// that it was retained for the background alone and is the next setter's to free.
Pixmap RetainedPixmap(Display* d, Window root) {
    Pixmap rootPixmap = None, esetrootPixmap = None;
    if (ReadPixmapProperty(d, root, XInternAtom(d, "_XROOTPMAP_ID", True), rootPixmap) &&
        ReadPixmapProperty(d, root, XInternAtom(d, "ESETROOT_PMAP_ID", True), esetrootPixmap) &&
        rootPixmap == esetrootPixmap)
        return rootPixmap;
    return None;
}

// Whether two resources belong to one client. A resource's client is in the bits above
// its resource part, which is at least 18 bits wide however many clients the server
// takes; one connection of ours never numbers that many resources.
bool SameClient(XID a, XID b) { return (a >> 18) == (b >> 18); }

// Makes `pixmap` the root's background and names it in both properties, where other
// programs look for the background and the next setter finds what to free.
void PublishPixmap(Display* d, Window root, Pixmap pixmap) {
    const Atom rootAtom = XInternAtom(d, "_XROOTPMAP_ID", False);
    const Atom esetrootAtom = XInternAtom(d, "ESETROOT_PMAP_ID", False);
    XChangeProperty(d, root, rootAtom, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XChangeProperty(d, root, esetrootAtom, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XSetWindowBackgroundPixmap(d, root, pixmap);
    XClearWindow(d, root);
}

}  // namespace

bool SetRootBackground(const Picture& picture, WallpaperLayout layout, const std::string& display) {
    if (picture.Empty()) return false;
    return SetRootBackground(
        [&](std::int32_t width, std::int32_t height, std::vector<std::uint32_t>& out) {
            LayOutPicture(picture, layout, width, height, out);
            return true;
        },
        display);
}

namespace {

bool IsDesktopWindow(Display* d, Window w, Atom type, Atom desktop) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, type, 0, 16, False, XA_ATOM, &actual, &format, &count, &after, &data) !=
        Success)
        return false;
    bool found = false;
    if (data && actual == XA_ATOM && format == 32) {
        // Format 32 properties arrive as an array of long, whatever the size of long.
        const auto* atoms = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i < count && !found; ++i) found = atoms[i] == desktop;
    }
    if (data) XFree(data);
    return found;
}

std::string ClassName(Display* d, Window w) {
    XClassHint hint{};
    if (!XGetClassHint(d, w, &hint)) return {};
    std::string name =
        hint.res_class && *hint.res_class ? hint.res_class : (hint.res_name ? hint.res_name : "");
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return name;
}

// The windows listed in the root's property `name` (a window manager's client list).
std::vector<Window> WindowList(Display* d, Window root, const char* name) {
    std::vector<Window> windows;
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, root, XInternAtom(d, name, False), 0, 65536, False, XA_WINDOW, &actual, &format,
                           &count, &after, &data) == Success &&
        data && actual == XA_WINDOW && format == 32) {
        const auto* ids = reinterpret_cast<const unsigned long*>(data);
        windows.assign(ids, ids + count);
    }
    if (data) XFree(data);
    return windows;
}

long WindowPid(Display* d, Window w, Atom pidAtom) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(d, w, pidAtom, 0, 1, False, XA_CARDINAL, &actual, &format, &count, &after,
                           &data) == Success &&
        data && actual == XA_CARDINAL && format == 32 && count == 1)
        pid = static_cast<long>(*reinterpret_cast<const unsigned long*>(data));
    if (data) XFree(data);
    return pid;
}

}  // namespace

std::optional<bool> ProcessHasOtherWindows(int pid, const std::string& display) {
    Display* d = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!d) return std::nullopt;
    ErrorTrap trap;
    const Window root = DefaultRootWindow(d);
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    const Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
    const Atom desktop = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
    std::vector<Window> windows = WindowList(d, root, "_NET_CLIENT_LIST");
    const std::size_t managed = windows.size();
    Window rootOut = None, parent = None, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(d, root, &rootOut, &parent, &children, &count)) {
        windows.insert(windows.end(), children, children + count);
        if (children) XFree(children);
    }
    bool found = false;
    for (std::size_t i = 0; i < windows.size() && !found; ++i) {
        if (WindowPid(d, windows[i], pidAtom) != pid || IsDesktopWindow(d, windows[i], type, desktop))
            continue;
        XWindowAttributes a{};
        // Toolkits keep unmapped windows of their own on the root.
        found = i < managed || (XGetWindowAttributes(d, windows[i], &a) && a.map_state == IsViewable);
    }
    XCloseDisplay(d);
    return found;
}

std::optional<std::string> DesktopWindowOverRoot(const std::string& display) {
    Display* d = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!d) return std::nullopt;
    ErrorTrap trap;
    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    const int width = DisplayWidth(d, screen), height = DisplayHeight(d, screen);
    const Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
    const Atom desktop = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
    std::optional<std::string> found;
    Window rootOut = None, parent = None, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(d, root, &rootOut, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i) {
            XWindowAttributes a{};
            // A window gone since the listing is an error the trap counts, and is skipped.
            if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable) continue;
            if (a.x > 0 || a.y > 0 || a.x + a.width < width || a.y + a.height < height) continue;
            // A window manager may have put the desktop's window into a frame of its own.
            std::vector<Window> candidates = {children[i]};
            Window r2 = None, p2 = None, *inner = nullptr;
            unsigned int innerCount = 0;
            if (XQueryTree(d, children[i], &r2, &p2, &inner, &innerCount)) {
                candidates.insert(candidates.end(), inner, inner + innerCount);
                if (inner) XFree(inner);
            }
            for (Window w : candidates)
                if (IsDesktopWindow(d, w, type, desktop)) {
                    found = ClassName(d, w);
                    break;
                }
        }
        if (children) XFree(children);
    }
    XCloseDisplay(d);
    return found;
}

bool SetRootBackground(const RootDrawing& draw, const std::string& display) {
    Display* d = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!d) return false;
    ErrorTrap trap;

    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    const int width = DisplayWidth(d, screen), height = DisplayHeight(d, screen);
    const int visualClass = DefaultVisual(d, screen)->c_class;
    std::vector<std::uint32_t> pixels;
    Pixmap pixmap = None;
    if ((visualClass == TrueColor || visualClass == DirectColor) && draw(width, height, pixels) &&
        pixels.size() == static_cast<std::size_t>(width) * height)
        pixmap = MakePixmap(d, screen, pixels);
    if (pixmap == None) {
        XCloseDisplay(d);
        return false;
    }
    XSync(d, False);
    if (g_errors) {
        XFreePixmap(d, pixmap);
        XCloseDisplay(d);
        return false;
    }

    // Retained before anyone is told of it, and the old pixmap freed only once the new one
    // is published: a run killed at any moment then leaves the properties naming a pixmap
    // that lives. A name left pointing at a freed pixmap would have the next setter kill
    // whichever client the server gave that number since, itself included.
    XSetCloseDownMode(d, RetainPermanent);
    const Pixmap old = RetainedPixmap(d, root);
    PublishPixmap(d, root, pixmap);
    XSync(d, False);
    const bool ok = g_errors == 0;
    if (ok && old != None && !SameClient(old, pixmap)) {
        XKillClient(d, old);
        XSync(d, False);
    }
    XCloseDisplay(d);
    return ok;
}

namespace {

// The active monitors, and with `connectorsOut` the name of each one's first output.
std::vector<Screen> ReadMonitors(const std::string& display, std::vector<std::string>* connectorsOut) {
    std::vector<Screen> screens;
    Display* d = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!d) return screens;
    ErrorTrap trap;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    // Monitors came with RandR 1.5; an older server has no way to say.
    if (XRRQueryExtension(d, &eventBase, &errorBase) && XRRQueryVersion(d, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        XRRScreenResources* resources =
            connectorsOut ? XRRGetScreenResourcesCurrent(d, DefaultRootWindow(d)) : nullptr;
        int count = 0;
        XRRMonitorInfo* monitors = XRRGetMonitors(d, DefaultRootWindow(d), True, &count);
        for (int i = 0; monitors && i < count; ++i) {
            const XRRMonitorInfo& m = monitors[i];
            if (m.width <= 0 || m.height <= 0) continue;
            std::string name;
            if (char* atom = m.name != None ? XGetAtomName(d, m.name) : nullptr) {
                name = atom;
                XFree(atom);
            }
            screens.push_back({{m.x, m.y, m.width, m.height}, name});
            if (!connectorsOut) continue;
            std::string connector;
            // A monitor made on no output names output 0, which the server refuses to describe.
            XRROutputInfo* output = resources && m.noutput > 0 && m.outputs[0] != None
                                        ? XRRGetOutputInfo(d, resources, m.outputs[0])
                                        : nullptr;
            if (output) {
                connector.assign(output->name, static_cast<std::size_t>(output->nameLen));
                XRRFreeOutputInfo(output);
            }
            connectorsOut->push_back(std::move(connector));
        }
        if (monitors) XRRFreeMonitors(monitors);
        if (resources) XRRFreeScreenResources(resources);
    }
    XCloseDisplay(d);
    return screens;
}

}  // namespace

std::vector<Screen> X11Monitors(const std::string& display) { return ReadMonitors(display, nullptr); }

std::vector<std::string> X11MonitorConnectors(const std::string& display) {
    std::vector<std::string> connectors;
    ReadMonitors(display, &connectors);
    return connectors;
}

std::optional<bool> RootHasBackgroundPixmap(const std::string& display) {
    Display* d = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!d) return std::nullopt;
    ErrorTrap trap;
    Pixmap pixmap = None;
    const Atom atom = XInternAtom(d, "_XROOTPMAP_ID", True);
    const bool found =
        atom != None && ReadPixmapProperty(d, DefaultRootWindow(d), atom, pixmap) && pixmap != None;
    XCloseDisplay(d);
    return found;
}

}  // namespace vexal
