// The Windows program: native windows, or, when VEXAL_NONINTERACTIVE=1 asks for an
// unattended run (a scheduled task), message lines on standard error and no window.
#include <cstdlib>
#include <string>

#include "app/startup.h"
#include "host/process.h"
#include "net/proxy_tunnel.h"
#include "net/tls_socket.h"
#include "platform/win32/language_facts.h"
#include "platform/win32/schannel_engine.h"
#include "platform/win32/standard_error.h"
#include "platform/win32/startup_info.h"
#include "platform/win32/task_scheduler.h"
#include "platform/win32/wic_image_decoder.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_event_pump.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_run_guard.h"
#include "platform/win32/win32_socket.h"
#include "platform/win32/win32_timer.h"
#include "platform/win32/winhttp_proxies.h"
#include "ui/stderr_dialogs.h"
#include "ui/unattended_front_end.h"
#include "ui/win32/front_end.h"
#include "ui/win32/win32_console.h"
#include "ui/win32/win32_dialogs.h"
#include "ui/win32/win32_editor_claim.h"
#include "ui/win32/win32_ui.h"

namespace {

bool Unattended() {
    const wchar_t* flag = _wgetenv(L"VEXAL_NONINTERACTIVE");
    return flag && std::wstring(flag) == L"1";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The installer's removal, as the system: no window, no settings file, only the tasks.
    if (vexal::win32::ArgumentText() == vexal::kRemoveTasksArgument)
        return vexal::RemoveAllTasks().Ok() ? vexal::kExitSuccess : vexal::kExitFailure;
    // First of all, so that no console event finds the default handler, which would end
    // the run with a status of its own.
    vexal::Win32RunGuard::CatchConsoleEvents();
    // A scheduled run (-quiet) shows no window and no box that waits for a click.
    const bool unattended = Unattended() || vexal::AsksForQuietRun(vexal::win32::ArgumentText());
    if (!unattended) {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                           ICC_UPDOWN_CLASS | ICC_TAB_CLASSES |
                                                           ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    // The version resource carries the version; the build's numbers stand in only for a
    // program that lost its resources.
    int major = VEXAL_VERSION_MAJOR, minor = VEXAL_VERSION_MINOR;
    vexal::win32::ReadProgramVersion(major, minor);

    vexal::Program program;
    // Before anything is shown: every text from here on is in the user's language.
    program.UserLanguage = vexal::ChooseLanguage(vexal::win32::UserLanguageFacts());
    // Before anything reads or writes a file: the run works in its settings file's folder.
    vexal::SettleSettingsPlace(program, vexal::win32::FindSettingsFacts(vexal::kSettingsFileName),
                               vexal::win32::EnterFolder);
    vexal::ExitProcess process;
    vexal::Win32FileSystem files;
    vexal::Win32EventPump pump;
    vexal::Win32Socket socket(pump);
    // https runs over a socket of its own, with Schannel on top; that socket reaches its
    // server through a proxy's tunnel where the user's proxy settings name one. The settings
    // are the user's Internet settings, as other programs of this user read them.
    vexal::Win32Socket tlsTransport(pump);
    vexal::WinHttpProxies proxies;
    vexal::ProxyTunnel tunnel(tlsTransport, proxies.Fixed(), &proxies);
    vexal::TlsSocket secureSocket(tunnel, vexal::MakeSchannelEngine());
    vexal::Win32Timer timer(pump);
    vexal::Win32Timer watch(pump);
    vexal::WicImageDecoder images;
    vexal::Win32Desktop desktop;
    // Messages go out as written: a message that holds CR LF must not gain a CR, and a
    // console shows the Japanese in any code page.
    vexal::StderrDialogs stderrDialogs(
        [](const std::string& line) { vexal::win32::WriteStandardError(line); });
    vexal::Win32Dialogs windowDialogs(program.UserLanguage);

    vexal::Host host;
    host.dialogs = unattended ? static_cast<vexal::Dialogs*>(&stderrDialogs) : &windowDialogs;
    host.process = &process;
    host.files = &files;
    host.pump = &pump;
    host.socket = &socket;
    host.secureSocket = &secureSocket;
    host.tunnel = &tunnel;
    host.timer = &timer;
    host.watch = &watch;
    host.images = &images;
    host.desktop = &desktop;
    vexal::TaskScheduler scheduler(vexal::OwnProgramPath());
    host.scheduler = &scheduler;
    // Other runs are kept apart by the lock; Ctrl+C or the console closing ends the run at
    // the next turn of the event pump, the session ending at once, removing what it was
    // writing. An unattended run belongs to the console that started it (a task's command
    // file), a windowed one to no console, unless the console companion started it for a
    // command typed there; an editor leaves that console when it opens.
    vexal::Win32RunGuard guard;
    host.guard = &guard;
    // A decode running when the stop comes ends between two bands of rows.
    images.StopWhen([&guard] { return guard.StopRequested(); });
    vexal::RunController controller(program, host);
    const auto endRun = [&controller] { controller.Interrupted(); };
    if (void* stop = vexal::Win32RunGuard::CatchConsoleEvents()) pump.Watch(stop, endRun);
    vexal::Win32RunGuard::CatchSessionEnd(endRun);
    if (unattended)
        vexal::Win32RunGuard::JoinParentConsole();
    else
        vexal::Win32RunGuard::JoinConsoleOfStandardHandles();
    vexal::Win32Console console(unattended ? nullptr : &windowDialogs);
    host.console = &console;

    if (unattended) {
        // Nobody watches: no windows, the retrieval installs at once, and a requested
        // preview ends the run as its cancel button would.
        vexal::UnattendedFrontEnd frontEnd(program, host, controller);
        vexal::Main(controller, frontEnd, vexal::win32::ArgumentText(), major, minor);
        // Every run ends through Process; reaching here means nothing did.
        return vexal::kExitFailure;
    }
    // One editor per settings file; retrievals and -wp never claim it.
    vexal::Win32EditorClaim editors;
    host.editors = &editors;
    vexal::Win32FrontEnd frontEnd(program, host, pump, controller);
    vexal::Main(controller, frontEnd, vexal::win32::ArgumentText(), major, minor);
    // The windows carry the run on; it ends through Process::End.
    pump.Run();
}
