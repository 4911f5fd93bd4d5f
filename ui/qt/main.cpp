// The Linux program: Qt Widgets when a display is there, message lines on standard
// error when it is not (or VEXAL_NONINTERACTIVE=1 asks for it).
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/startup.h"
#include "host/process.h"
#include "net/proxy_tunnel.h"
#include "platform/linux/command_runner.h"
#include "platform/linux/linux_desktop.h"
#include "platform/linux/openssl_engine.h"
#include "platform/linux/qt_image_decoder.h"
#include "platform/linux/systemd_scheduler.h"
#include "platform/posix/language_facts.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_reactor.h"
#include "platform/posix/posix_run_guard.h"
#include "platform/posix/posix_socket.h"
#include "platform/posix/posix_timer.h"
#include "platform/posix/settings_facts.h"
#include "ui/qt/front_end.h"
#include "ui/qt/japanese_ui.h"
#include "ui/qt/qt_dialogs.h"
#include "ui/qt/qt_editor_claim.h"
#include "ui/qt/qt_event_pump.h"
#include "ui/stderr_dialogs.h"
#include "ui/stdout_console.h"
#include "ui/unattended_front_end.h"

namespace {

bool NonInteractive() {
    const char* flag = std::getenv("VEXAL_NONINTERACTIVE");
    if (flag && std::string(flag) == "1") return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return !(x11 && *x11) && !(wayland && *wayland);
}

QtMessageHandler qtMessages = nullptr;

// Qt warns on standard error when the session names no runtime folder (su, cron, a bare X
// server) and then makes one of its own, which is all vexal needs; the line would only
// stand among the program's own messages, which scripts read.
void DropRuntimeFolderWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (qtMessages) qtMessages(type, context, text);
}

// Qt's accessibility bridge asks the session bus where the accessibility bus is. On a
// plain X11 session there is no session bus, and asking makes D-Bus start one for the
// display (dbus-launch --autolaunch), which then outlives the editor for the rest of the X
// session. Without a session bus no screen reader could be reached anyway, so the bridge
// is pointed at no bus instead.
void KeepFromStartingABus() {
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* accessibility = std::getenv("AT_SPI_BUS_ADDRESS");
    if ((bus && *bus) || (accessibility && *accessibility)) return;
    // The bus a systemd user session keeps without naming it.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && ::access((std::string(runtime) + "/bus").c_str(), F_OK) == 0) return;
    ::setenv("AT_SPI_BUS_ADDRESS", "unix:path=/dev/null", 1);
}

}  // namespace

int main(int argc, char** argv) {
    // First of all: a stop that comes while Qt or the settings load only sets the flag, and
    // the run ends as it would later, with status 1 and nothing left behind, instead of
    // dying of the signal.
    vexal::PosixRunGuard::CatchStopSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    // A scheduled run (-quiet) shows no window even where a display is at hand.
    const bool interactive = !NonInteractive() && !vexal::AsksForQuietRun(vexal::JoinArguments(args));
    qtMessages = qInstallMessageHandler(DropRuntimeFolderWarning);
    std::unique_ptr<QApplication> app;
    if (interactive) {
        KeepFromStartingABus();
        app = std::make_unique<QApplication>(argc, argv);
    }

    vexal::Program program;
    // Before anything is shown: every text from here on is in the user's language.
    program.UserLanguage = vexal::ChooseLanguage(vexal::PosixLanguageFacts());
    // Before anything reads or writes a file: the run works in its settings file's folder.
    vexal::SettleSettingsPlace(program, vexal::FindSettingsFacts(vexal::kSettingsFileName),
                               vexal::EnterFolder);
    vexal::ExitProcess process;
    vexal::PosixFileSystem files;
    vexal::StderrDialogs stderrDialogs;
    vexal::QtDialogs qtDialogs(program.UserLanguage);
    vexal::Host host;
    host.dialogs = interactive ? static_cast<vexal::Dialogs*>(&qtDialogs) : &stderrDialogs;
    host.process = &process;
    host.files = &files;
    vexal::StdoutConsole console;
    host.console = &console;

    // What a retrieval needs: the sockets (plain, and TLS over a socket of its own, which
    // reaches its server through a proxy's tunnel when one is set) and the timer on one
    // poll() reactor, the picture decoder and the desktop. The proxies are the
    // environment's, as other programs on this system read them.
    vexal::PosixReactor reactor;
    vexal::PosixSocket socket(reactor);
    vexal::PosixSocket tlsTransport(reactor);
    vexal::ProxyTunnel tunnel(tlsTransport, vexal::ProxySettingsFromEnvironment([](const char* name) {
                                  const char* value = std::getenv(name);
                                  return std::string(value ? value : "");
                              }));
    vexal::TlsSocket secureSocket(tunnel, vexal::MakeOpenSslEngine());
    vexal::PosixTimer timer(reactor);
    vexal::PosixTimer watch(reactor);
    vexal::QtImageDecoder decoder;
    vexal::SpawnCommandRunner runner;
    vexal::LinuxDesktop desktop(decoder, runner);
    host.socket = &socket;
    host.secureSocket = &secureSocket;
    host.tunnel = &tunnel;
    host.timer = &timer;
    host.watch = &watch;
    host.images = &decoder;
    host.desktop = &desktop;
    // The editor sets the entries' schedules; without a configuration folder there is
    // nowhere to keep them.
    const std::string configHome = vexal::UserConfigHome();
    vexal::SystemdScheduler scheduler(runner, configHome, vexal::OwnProgramPath());
    if (!configHome.empty()) host.scheduler = &scheduler;
    // Other runs are kept apart by the lock; a stop signal ends the run at the next turn of
    // the event loop, removing what it was writing.
    vexal::PosixRunGuard guard;
    host.guard = &guard;
    // A decode running when the stop signal comes ends between two bands of rows.
    decoder.StopWhen([&guard] { return guard.StopRequested(); });
    vexal::RunController controller(program, host);
    auto stop = [&controller] { controller.Interrupted(); };

    if (interactive) {
        // The program ends only through Process: hiding the editor for a retrieval, or
        // closing a tool window, must not end the event loop.
        QApplication::setQuitOnLastWindowClosed(false);
        // Ties the windows to the installed menu entry and its icon.
        QGuiApplication::setDesktopFileName("vexal");
        QApplication::setWindowIcon(QIcon::fromTheme("vexal"));
        vexal::PreferJapaneseFont();
        if (program.UserLanguage == vexal::Language::Japanese) vexal::LoadJapaneseQtTexts();
        vexal::QtEventPump pump(&reactor);
        host.pump = &pump;
        // Qt's loop, not the reactor, waits while a window is open.
        std::unique_ptr<QSocketNotifier> stopNotifier;
        if (const int stopFd = vexal::PosixRunGuard::CatchStopSignals(); stopFd >= 0) {
            stopNotifier = std::make_unique<QSocketNotifier>(stopFd, QSocketNotifier::Read);
            QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, [&stop] {
                vexal::PosixRunGuard::DrainStopPipe();
                stop();
            });
        }
        // One editor per settings file; retrievals and -wp never claim it.
        vexal::QtEditorClaim editors;
        host.editors = &editors;
        vexal::QtFrontEnd windows(program, host, controller);
        vexal::Main(controller, windows, vexal::JoinArguments(args), VEXAL_VERSION_MAJOR,
                    VEXAL_VERSION_MINOR);
        return app->exec();
    }

    // Nobody watches: no windows, the retrieval installs at once, and a requested preview
    // ends the run as its cancel button would.
    host.pump = &reactor;
    vexal::StopSignalSource stopSource(reactor, stop);
    vexal::UnattendedFrontEnd frontEnd(program, host, controller);
    vexal::Main(controller, frontEnd, vexal::JoinArguments(args), VEXAL_VERSION_MAJOR, VEXAL_VERSION_MINOR);
    // Every run ends through Process; reaching here means nothing did.
    return vexal::kExitFailure;
}
