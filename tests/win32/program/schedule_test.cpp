// An entry's schedule on Windows: the task registered through the Task Scheduler's COM
// interface, read back from it, its action run as the scheduler runs it, and deleted.
#include <gtest/gtest.h>

#include <cstdlib>

// clang-format off
#include "platform/win32/win32_api.h"
#include <oleauto.h>
#include <taskschd.h>
// clang-format on

#include "platform/win32/task_scheduler.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_file_system.h"
#include "ui/win32/editor_window.h"
#include "win32/program/program_runner.h"
#include "win32/test_pictures.h"
#include "win32/win_temp_dir.h"

namespace vexal::testing {
namespace {

// A registered task as the Task Scheduler gives it back: its definition's XML (UTF-8),
// empty when there is no such task.
std::string ReadTask(const std::wstring& name) {
    std::string xml;
    ITaskService* service = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                  reinterpret_cast<void**>(&service))))
        return xml;
    VARIANT none{};
    ITaskFolder* folder = nullptr;
    IRegisteredTask* task = nullptr;
    BSTR folderName = ::SysAllocString(kTaskFolder), taskName = ::SysAllocString(name.c_str()),
         text = nullptr;
    if (SUCCEEDED(service->Connect(none, none, none, none)) &&
        SUCCEEDED(service->GetFolder(folderName, &folder)) && SUCCEEDED(folder->GetTask(taskName, &task)) &&
        SUCCEEDED(task->get_Xml(&text)) && text)
        xml = win32::Narrow(text);
    for (BSTR b : {folderName, taskName, text}) ::SysFreeString(b);
    if (task) task->Release();
    if (folder) folder->Release();
    service->Release();
    return xml;
}

// The text of the first <tag> in `xml`.
std::string Element(const std::string& xml, const std::string& tag) {
    const std::size_t start = xml.find("<" + tag + ">");
    if (start == std::string::npos) return {};
    const std::size_t from = start + tag.size() + 2;
    return xml.substr(from, xml.find("</" + tag + ">", from) - from);
}

std::size_t Count(const std::string& xml, const std::string& tag) {
    std::size_t n = 0;
    for (std::size_t at = xml.find("<" + tag + ">"); at != std::string::npos;
         at = xml.find("<" + tag + ">", at + 1))
        ++n;
    return n;
}

// Starts the task's action as the scheduler does: its program with its arguments in its
// folder, no console, and none of the variables a test run sets.
DWORD RunAction(const std::wstring& path, const std::wstring& arguments, const std::wstring& folder) {
    std::wstring line = L"\"" + path + L"\" " + arguments;
    ::SetEnvironmentVariableW(L"VEXAL_NONINTERACTIVE", nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                          folder.c_str(), &startup, &process))
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    if (::WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

TEST(TaskSchedulerTest, TaskIsRegisteredReadBackRunAndDeleted) {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    WinTempDir dir;
    Win32FileSystem files;
    ASSERT_TRUE(
        files.WriteFile(dir / "pic.png",
                        Png(3, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF102030, 0xFFFFFFFF, 0xFF808000})));
    EntryLines e;
    e.Name = "Pic-1";
    e.Url = dir / "pic.png";
    e.Ext = "1111";
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini", SettingsText({e}, "vexal-test.bmp")));
    const std::string lastRun = UserFolder() + "\\last-run-pic-1";
    ::DeleteFileW(win32::Widen(lastRun).c_str());

    TaskScheduler scheduler(ProgramPath());
    const std::wstring name = TaskNameFor("Pic-1", CurrentUser());
    EXPECT_FALSE(scheduler.IsRegistered({"Pic-1", ScheduleKind::Hourly, dir.path()}));
    EXPECT_TRUE(scheduler.IsRegistered({"Pic-1", ScheduleKind::Never, dir.path()}));
    const ScheduleResult set = scheduler.Apply({"Pic-1", ScheduleKind::Hourly, dir.path()});
    ASSERT_TRUE(set.Ok()) << std::hex << set.status;
    EXPECT_TRUE(scheduler.IsRegistered({"pic-1", ScheduleKind::Hourly, dir.path()}));
    EXPECT_FALSE(scheduler.IsRegistered({"Pic-1", ScheduleKind::Never, dir.path()}));
    const std::string hourly = ReadTask(name);
    EXPECT_EQ(Element(hourly, "Description"), "vexal: Pic-1") << hourly;
    EXPECT_EQ(Element(hourly, "StartWhenAvailable"), "true");
    EXPECT_EQ(Element(hourly, "MultipleInstancesPolicy"), "IgnoreNew");
    // Wine's scheduler keeps neither the triggers nor the action it was given (its task
    // reads back with <Triggers/> and an empty <Exec/>); where they are kept, they must be
    // the ones set.
    if (Count(hourly, "CalendarTrigger") != 0) {
        EXPECT_EQ(Count(hourly, "CalendarTrigger"), 24u) << hourly;
        EXPECT_NE(hourly.find("T23:00:00</StartBoundary>"), std::string::npos);
        EXPECT_EQ(Element(hourly, "LogonType"), "InteractiveToken");
        EXPECT_EQ(Element(hourly, "Arguments"), "Pic-1 -quiet");
        EXPECT_EQ(Element(hourly, "WorkingDirectory"), dir.path());
    }

    // The scheduler's run of the action: no window, the entry of that folder's settings
    // file installed, and its outcome left for the editor.
    EXPECT_EQ(RunAction(ProgramPath(), L"Pic-1 -quiet", win32::Widen(dir.path())), 0u);
    EXPECT_EQ(DesktopValue(L"Wallpaper"), WallpaperFolder() + "\\vexal-test.bmp");
    EXPECT_NE(ReadWholeFile(lastRun).find("\n0\n"), std::string::npos) << ReadWholeFile(lastRun);

    // Another kind replaces the task; Never deletes it, and deleting it again is no failure.
    ASSERT_TRUE(scheduler.Apply({"pic-1", ScheduleKind::Daily, dir.path()}).Ok());
    EXPECT_NE(ReadTask(name), "");
    EXPECT_TRUE(scheduler.Apply({"PIC-1", ScheduleKind::Never, dir.path()}).Ok());
    EXPECT_EQ(ReadTask(name), "");
    EXPECT_FALSE(scheduler.IsRegistered({"Pic-1", ScheduleKind::Daily, dir.path()}));
    EXPECT_TRUE(scheduler.Apply({"Pic-1", ScheduleKind::Never, dir.path()}).Ok());
    ::CoUninitialize();
}

// Every periodic kind's triggers, read back from the definition before it is registered
// (a registered task keeps none under Wine): a daily trigger at each such time of day, or
// one repeated all day for the quarter hours; then registered. A scheduler without
// repetitions (Wine's) refuses the quarter hours, and nothing is registered.
TEST(TaskSchedulerTest, EveryIntervalIsDefinedAndRegistered) {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    WinTempDir dir;
    const struct {
        ScheduleKind kind;
        std::size_t count;
        const char* first;
        const char* last;
    } rows[] = {
        {ScheduleKind::Every15Minutes, 1, "daily 00:00:00 every PT15M for P1D",
         "daily 00:00:00 every PT15M for P1D"},
        {ScheduleKind::Every30Minutes, 48, "daily 00:00:00", "daily 23:30:00"},
        {ScheduleKind::Hourly, 24, "daily 00:00:00", "daily 23:00:00"},
        {ScheduleKind::Every3Hours, 8, "daily 00:00:00", "daily 21:00:00"},
        {ScheduleKind::Every6Hours, 4, "daily 00:00:00", "daily 18:00:00"},
        {ScheduleKind::Daily, 1, "daily 00:00:00", "daily 00:00:00"},
    };
    TaskScheduler scheduler(ProgramPath());
    for (const auto& row : rows) {
        SCOPED_TRACE(ScheduleMinutes(row.kind));
        const ScheduleJob job{"Every", row.kind, dir.path()};
        const std::vector<std::string> triggers = DefinedTriggers(job, ProgramPath());
        const ScheduleResult set = scheduler.Apply(job);
        if (row.kind == ScheduleKind::Every15Minutes && set.status == static_cast<std::uint32_t>(E_NOTIMPL)) {
            EXPECT_FALSE(scheduler.IsRegistered(job));
            continue;
        }
        // Wine's scheduler cannot count a definition's triggers either: nothing to compare.
        if (!triggers.empty()) {
            ASSERT_EQ(triggers.size(), row.count);
            EXPECT_EQ(triggers.front(), row.first);
            EXPECT_EQ(triggers.back(), row.last);
        }
        EXPECT_TRUE(set.Ok()) << std::hex << set.status;
        EXPECT_TRUE(scheduler.IsRegistered(job));
    }
    EXPECT_TRUE(scheduler.Apply({"Every", ScheduleKind::Never, dir.path()}).Ok());
    ::CoUninitialize();
}

// Regression: removing the program left its tasks, which then started a program that was
// gone. The installer's removal runs the program with this argument: every task of the
// program goes, and with none left it still succeeds.
TEST(TaskSchedulerTest, RemovalArgumentTakesAwayEveryTask) {
    if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "Wine's scheduler cannot count a folder's tasks (a stub), so none can be found";
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    WinTempDir dir;
    TaskScheduler scheduler(ProgramPath());
    ASSERT_TRUE(scheduler.Apply({"one", ScheduleKind::Daily, dir.path()}).Ok());
    ASSERT_TRUE(scheduler.Apply({"two", ScheduleKind::Hourly, dir.path()}).Ok());
    const std::wstring argument = win32::Widen(kRemoveTasksArgument);
    EXPECT_EQ(RunAction(ProgramPath(), argument, win32::Widen(dir.path())), 0u);
    EXPECT_EQ(ReadTask(TaskNameFor("one", CurrentUser())), "");
    EXPECT_EQ(ReadTask(TaskNameFor("two", CurrentUser())), "");
    EXPECT_EQ(RunAction(ProgramPath(), argument, win32::Widen(dir.path())), 0u);
    ::CoUninitialize();
}

// The editor under a display: the last scheduled run shown for the selected entry, the
// choice saved with the entry and the task registered when the editor ends.
TEST(TaskSchedulerTest, EditorShowsTheLastRunAndSetsTheTaskOnSave) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no display (scripts/test-windows runs Xvfb)";
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    using Editor = Win32EditorWindow;
    WinTempDir dir;
    EntryLines e;
    e.Name = "Shown";
    e.Url = dir / "none.png";
    // A schedule written by hand, which no task stands for.
    EntryLines byHand = e;
    byHand.Name = "ByHand";
    ASSERT_TRUE(TaskScheduler(ProgramPath()).Apply({"ByHand", ScheduleKind::Never, dir.path()}).Ok());
    ASSERT_TRUE(WriteSettings(dir / "vexal.ini",
                              SettingsText({e, byHand}, "vexal-test.bmp") + "Schedule = daily\r\n"));
    Win32FileSystem files;
    ::CreateDirectoryW(win32::Widen(UserFolder()).c_str(), nullptr);
    ASSERT_TRUE(files.WriteFile(UserFolder() + "\\last-run-shown", "2026-12-08 10:00:00\n1\n理由\n"));

    RunningProgram program(dir.path(), "", false);
    HWND editor = program.WaitForWindow(L"VexalWindow", L"vexal 1.00", Editor::kCbSelect);
    ASSERT_NE(editor, nullptr);
    PostChoice(editor, Editor::kCbSelect, 2);
    EXPECT_TRUE(WaitUntil([&] {
        return WindowTextOf(::GetDlgItem(editor, Editor::kLbLastRun)) ==
               "未登録: システムに登録されていません。保存すると登録します。";
    })) << WindowTextOf(::GetDlgItem(editor, Editor::kLbLastRun));
    PostChoice(editor, Editor::kCbSelect, 1);
    EXPECT_TRUE(WaitUntil([&] {
        return WindowTextOf(::GetDlgItem(editor, Editor::kLbLastRun)) ==
               "前回の自動変更: 2026-12-08 10:00:00 失敗 理由";
    })) << WindowTextOf(::GetDlgItem(editor, Editor::kLbLastRun));
    ::SendMessageW(::GetDlgItem(editor, Editor::kCbSchedule), CB_SETCURSEL, 3, 0);
    PostClick(editor, Editor::kCbEnd);
    EXPECT_EQ(program.Wait().exitCode, 0u);

    EXPECT_NE(ReadSettings(dir / "vexal.ini").find("\r\nSchedule = hourly\r\n"), std::string::npos);
    const std::string task = ReadTask(TaskNameFor("Shown", CurrentUser()));
    EXPECT_EQ(Element(task, "Description"), "vexal: Shown") << task;
    // The schedule written by hand is set on the save too.
    EXPECT_TRUE(
        TaskScheduler(ProgramPath()).IsRegistered({"ByHand", ScheduleKind::Daily, dir.path() + "\\"}));
    EXPECT_TRUE(TaskScheduler(ProgramPath()).Apply({"Shown", ScheduleKind::Never, dir.path()}).Ok());
    EXPECT_TRUE(TaskScheduler(ProgramPath()).Apply({"ByHand", ScheduleKind::Never, dir.path()}).Ok());
    ::DeleteFileW(win32::Widen(UserFolder() + "\\last-run-shown").c_str());
    ::CoUninitialize();
}

TEST(TaskSchedulerTest, TaskNamesHoldAnyEntryName) {
    EXPECT_EQ(TaskNameFor("Photos", L"PC\\me"), L"photos (me)");
    EXPECT_EQ(TaskNameFor("a/b\\c:d*e?f\"g<h>i|j%", L"me"), L"a%2Fb%5Cc%3Ad%2Ae%3Ff%22g%3Ch%3Ei%7Cj%25 (me)");
    EXPECT_EQ(TaskNameFor("桜", L"me"), L"桜 (me)");
}

}  // namespace
}  // namespace vexal::testing
