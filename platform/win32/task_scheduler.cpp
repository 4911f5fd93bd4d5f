// Scheduled tasks through the Task Scheduler's COM interface.
#include "platform/win32/task_scheduler.h"

#include <vector>

#include "platform/win32/win32_api.h"
// clang-format off
#include <objbase.h>
#include <oleauto.h>
#include <taskschd.h>
#define SECURITY_WIN32
#include <security.h>
// clang-format on

#include "platform/win32/com_interface.h"
#include "platform/win32/utf16.h"
#include "text/case.h"

namespace vexal {
namespace {

using win32::Widen;

// The log-on trigger's own interface, which the cross compiler's headers leave out.
struct LogonTrigger : public ITrigger {
    virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};
constexpr GUID kLogonTriggerId = {
    0x72dade38, 0xfae4, 0x4b3e, {0xba, 0xf4, 0x5d, 0x00, 0x9a, 0xf0, 0x2b, 0x1c}};

using win32::Com;

class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { ::SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return b_; }

private:
    BSTR b_;
};

ScheduleResult Refused(HRESULT hr) {
    ScheduleResult r;
    r.failure = ScheduleFailure::SystemRefused;
    r.status = static_cast<std::uint32_t>(hr);
    return r;
}

// The Task Scheduler, connected as the running user.
HRESULT Connect(Com<ITaskService>& service) {
    const HRESULT hr = ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_ITaskService, reinterpret_cast<void**>(service.Out()));
    if (FAILED(hr)) return hr;
    VARIANT none{};
    ::VariantInit(&none);
    return service->Connect(none, none, none, none);
}

bool NotThere(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// Today at `minute` minutes past midnight, local time, as a trigger's start: the first run
// is the next one at that time of day.
std::wstring TodayAt(int minute) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t text[32];
    ::swprintf(text, 32, L"%04u-%02u-%02uT%02d:%02d:00", now.wYear, now.wMonth, now.wDay, minute / 60,
               minute % 60);
    return text;
}

// A trigger every day at `minute` past midnight; with `repeatMinutes`, repeated that often
// all day long.
HRESULT AddDailyTrigger(ITriggerCollection* triggers, int minute, int repeatMinutes) {
    Com<ITrigger> trigger;
    HRESULT hr = triggers->Create(TASK_TRIGGER_DAILY, trigger.Out());
    if (FAILED(hr)) return hr;
    Com<IDailyTrigger> daily;
    hr = trigger->QueryInterface(IID_IDailyTrigger, reinterpret_cast<void**>(daily.Out()));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = daily->put_DaysInterval(1))) return hr;
    if (repeatMinutes > 0) {
        // A scheduler without repetitions (Wine's says E_NOTIMPL) refuses the task, and
        // the editor says so, rather than running it once a day.
        Com<IRepetitionPattern> repetition;
        if (FAILED(hr = trigger->get_Repetition(repetition.Out()))) return hr;
        if (FAILED(hr = repetition->put_Interval(Bstr(L"PT" + std::to_wstring(repeatMinutes) + L"M"))))
            return hr;
        if (FAILED(hr = repetition->put_Duration(Bstr(L"P1D")))) return hr;
    }
    return daily->put_StartBoundary(Bstr(TodayAt(minute)));
}

// A task holds at most 48 triggers: every half hour is a daily trigger for each, every
// quarter hour one daily trigger repeated all day.
int RepeatMinutes(ScheduleKind kind) { return ScheduleMinutes(kind) < 30 ? ScheduleMinutes(kind) : 0; }

// How many daily triggers AddTriggers makes for a periodic `kind`.
int DailyTriggers(ScheduleKind kind) { return RepeatMinutes(kind) > 0 ? 1 : 1440 / ScheduleMinutes(kind); }

HRESULT AddTriggers(ITaskDefinition* task, ScheduleKind kind, const std::wstring& user) {
    Com<ITriggerCollection> triggers;
    HRESULT hr = task->get_Triggers(triggers.Out());
    if (FAILED(hr)) return hr;
    if (kind == ScheduleKind::Logon) {
        Com<ITrigger> trigger;
        if (FAILED(hr = triggers->Create(TASK_TRIGGER_LOGON, trigger.Out()))) return hr;
        // Only this user's log-on, not everybody's. A scheduler without the interface
        // still runs the task as this user only (the task's principal).
        Com<LogonTrigger> logon;
        if (SUCCEEDED(trigger->QueryInterface(kLogonTriggerId, reinterpret_cast<void**>(logon.Out()))))
            return logon->put_UserId(Bstr(user));
        return S_OK;
    }
    // Every half hour, hour, 3 or 6 hours is a daily trigger for each such time of day
    // rather than one repeated trigger: every scheduler that runs tasks daily runs these
    // (Wine's has no repetition), and a missed one is made up like a missed day.
    const int count = DailyTriggers(kind);
    for (int i = 0; i < count; ++i)
        if (FAILED(hr = AddDailyTrigger(triggers.get(), i * (1440 / count), RepeatMinutes(kind)))) return hr;
    return S_OK;
}

HRESULT Define(ITaskService* service, const ScheduleJob& job, const std::wstring& program,
               const std::wstring& user, ITaskDefinition** out) {
    HRESULT hr = service->NewTask(0, out);
    if (FAILED(hr)) return hr;
    ITaskDefinition* task = *out;
    Com<IRegistrationInfo> info;
    if (SUCCEEDED(task->get_RegistrationInfo(info.Out())))
        static_cast<void>(info->put_Description(Bstr(L"vexal: " + Widen(job.name))));
    Com<IPrincipal> principal;
    if (FAILED(hr = task->get_Principal(principal.Out()))) return hr;
    // Only while the user is logged on, with the user's own session: no password stored.
    // The registration says so as well, and that is what counts; some schedulers (Wine's)
    // take it only there, so the principal's own copy is no reason to fail.
    static_cast<void>(principal->put_LogonType(TASK_LOGON_INTERACTIVE_TOKEN));
    static_cast<void>(principal->put_UserId(Bstr(user)));
    Com<ITaskSettings> settings;
    if (FAILED(hr = task->get_Settings(settings.Out()))) return hr;
    // A change missed while the machine slept happens when it wakes; a laptop on battery
    // changes its wallpaper too; a run that hangs is stopped long before the next.
    static_cast<void>(settings->put_StartWhenAvailable(VARIANT_TRUE));
    static_cast<void>(settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE));
    static_cast<void>(settings->put_StopIfGoingOnBatteries(VARIANT_FALSE));
    static_cast<void>(settings->put_ExecutionTimeLimit(Bstr(L"PT30M")));
    static_cast<void>(settings->put_MultipleInstances(TASK_INSTANCES_IGNORE_NEW));
    if (FAILED(hr = AddTriggers(task, job.kind, user))) return hr;
    Com<IActionCollection> actions;
    if (FAILED(hr = task->get_Actions(actions.Out()))) return hr;
    Com<IAction> action;
    if (FAILED(hr = actions->Create(TASK_ACTION_EXEC, action.Out()))) return hr;
    Com<IExecAction> exec;
    if (FAILED(hr = action->QueryInterface(IID_IExecAction, reinterpret_cast<void**>(exec.Out())))) return hr;
    if (FAILED(hr = exec->put_Path(Bstr(program)))) return hr;
    // The program cuts its command line at blanks and knows no quotes; an identifier
    // holds no blank.
    if (FAILED(hr = exec->put_Arguments(Bstr(Widen(job.name) + L" -quiet")))) return hr;
    return exec->put_WorkingDirectory(Bstr(Widen(job.folder)));
}

// The string a getter gives, freed here; empty when it gives none.
template <typename Object>
std::wstring TextOf(Object* object, HRESULT (STDMETHODCALLTYPE Object::*get)(BSTR*)) {
    BSTR text = nullptr;
    if (FAILED((object->*get)(&text)) || !text) return {};
    std::wstring out(text, ::SysStringLen(text));
    ::SysFreeString(text);
    return out;
}

// Whether the triggers are those AddTriggers makes for `kind`. None at all, or none the
// scheduler can count, counts as those: one that keeps none (Wine's) has nothing else to say.
bool TriggersMatch(ITaskDefinition* task, ScheduleKind kind) {
    Com<ITriggerCollection> triggers;
    LONG count = 0;
    if (FAILED(task->get_Triggers(triggers.Out()))) return false;
    if (FAILED(triggers->get_Count(&count)) || count == 0) return true;
    LONG logon = 0, daily = 0;
    std::wstring interval;  // the first trigger's repetition, if any
    for (LONG i = 1; i <= count; ++i) {
        Com<ITrigger> trigger;
        TASK_TRIGGER_TYPE2 type{};
        if (FAILED(triggers->get_Item(i, trigger.Out())) || FAILED(trigger->get_Type(&type))) return false;
        if (type == TASK_TRIGGER_LOGON) ++logon;
        if (type == TASK_TRIGGER_DAILY) ++daily;
        Com<IRepetitionPattern> repetition;
        if (i == 1 && SUCCEEDED(trigger->get_Repetition(repetition.Out())) && repetition)
            interval = TextOf(repetition.get(), &IRepetitionPattern::get_Interval);
    }
    if (kind == ScheduleKind::Logon) return logon == 1 && count == 1;
    if (kind == ScheduleKind::Never) return false;
    const int repeat = RepeatMinutes(kind);
    const std::wstring wanted = repeat > 0 ? L"PT" + std::to_wstring(repeat) + L"M" : L"";
    return daily == DailyTriggers(kind) && count == daily && interval == wanted;
}

// Whether the action runs `program` in `folder`; no action at all counts, as above.
bool ActionMatches(ITaskDefinition* task, const std::wstring& program, const std::wstring& folder) {
    Com<IActionCollection> actions;
    LONG count = 0;
    if (FAILED(task->get_Actions(actions.Out()))) return false;
    if (FAILED(actions->get_Count(&count)) || count == 0) return true;
    Com<IAction> action;
    Com<IExecAction> exec;
    if (count != 1 || FAILED(actions->get_Item(1, action.Out())) ||
        FAILED(action->QueryInterface(IID_IExecAction, reinterpret_cast<void**>(exec.Out()))))
        return false;
    // An action without a program is one the scheduler did not keep (Wine's keeps <Exec/>).
    const std::wstring path = TextOf(exec.get(), &IExecAction::get_Path);
    if (path.empty()) return true;
    // Paths name the same file whatever their letter case.
    return ::CompareStringOrdinal(path.c_str(), -1, program.c_str(), -1, TRUE) == CSTR_EQUAL &&
           ::CompareStringOrdinal(TextOf(exec.get(), &IExecAction::get_WorkingDirectory).c_str(), -1,
                                  folder.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring TaskNameFor(std::string_view name, std::wstring_view user) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    const std::wstring lower = Widen(ToLower(name));
    std::wstring out;
    for (wchar_t c : lower) {
        if (c < 0x20 || std::wstring_view(L"\\/:*?\"<>|%").find(c) != std::wstring_view::npos) {
            out += L'%';
            out += kHex[(c >> 4) & 15];
            out += kHex[c & 15];
        } else {
            out += c;
        }
    }
    std::wstring bare(user.substr(user.find(L'\\') == std::wstring_view::npos ? 0 : user.find(L'\\') + 1));
    return out + L" (" + bare + L")";
}

std::wstring CurrentUser() {
    wchar_t name[512];
    ULONG size = 512;
    if (::GetUserNameExW(NameSamCompatible, name, &size)) return std::wstring(name, size);
    DWORD plain = 512;
    if (::GetUserNameW(name, &plain) && plain > 0) return std::wstring(name, plain - 1);
    return {};
}

std::wstring OwnProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::vector<std::string> DefinedTriggers(const ScheduleJob& job, const std::wstring& program) {
    const win32::ComScope com;
    Com<ITaskService> service;
    Com<ITaskDefinition> task;
    Com<ITriggerCollection> triggers;
    LONG count = 0;
    if (FAILED(Connect(service)) || FAILED(Define(service.get(), job, program, CurrentUser(), task.Out())) ||
        FAILED(task->get_Triggers(triggers.Out())) || FAILED(triggers->get_Count(&count)))
        return {};
    std::vector<std::string> out;
    for (LONG i = 1; i <= count; ++i) {
        Com<ITrigger> trigger;
        TASK_TRIGGER_TYPE2 type{};
        if (FAILED(triggers->get_Item(i, trigger.Out())) || FAILED(trigger->get_Type(&type))) return {};
        std::wstring text = type == TASK_TRIGGER_DAILY   ? L"daily "
                            : type == TASK_TRIGGER_LOGON ? L"logon "
                                                         : L"other ";
        const std::wstring start = TextOf(trigger.get(), &ITrigger::get_StartBoundary);
        // The time of day alone: the date is the day the task was defined.
        text += start.size() > 11 ? start.substr(11) : start;
        Com<IRepetitionPattern> repetition;
        if (SUCCEEDED(trigger->get_Repetition(repetition.Out())) && repetition) {
            const std::wstring interval = TextOf(repetition.get(), &IRepetitionPattern::get_Interval);
            if (!interval.empty())
                text += L" every " + interval + L" for " +
                        TextOf(repetition.get(), &IRepetitionPattern::get_Duration);
        }
        out.push_back(win32::Narrow(text));
    }
    return out;
}

ScheduleResult TaskScheduler::Apply(const ScheduleJob& job) {
    const win32::ComScope com;
    Com<ITaskService> service;
    HRESULT hr = Connect(service);
    if (FAILED(hr)) return Refused(hr);
    VARIANT none{};
    ::VariantInit(&none);
    const std::wstring user = CurrentUser();
    const std::wstring name = TaskNameFor(job.name, user);
    Com<ITaskFolder> folder;
    hr = service->GetFolder(Bstr(kTaskFolder), folder.Out());
    if (job.kind == ScheduleKind::Never) {
        if (NotThere(hr)) return {};
        if (FAILED(hr)) return Refused(hr);
        hr = folder->DeleteTask(Bstr(name), 0);
        return SUCCEEDED(hr) || NotThere(hr) ? ScheduleResult{} : Refused(hr);
    }
    if (NotThere(hr)) {
        Com<ITaskFolder> root;
        if (FAILED(hr = service->GetFolder(Bstr(L"\\"), root.Out()))) return Refused(hr);
        hr = root->CreateFolder(Bstr(kTaskFolder), none, folder.Out());
    }
    if (FAILED(hr)) return Refused(hr);
    Com<ITaskDefinition> task;
    if (FAILED(hr = Define(service.get(), job, program_, user, task.Out()))) return Refused(hr);
    Com<IRegisteredTask> registered;
    hr = folder->RegisterTaskDefinition(Bstr(name), task.get(), TASK_CREATE_OR_UPDATE, none, none,
                                        TASK_LOGON_INTERACTIVE_TOKEN, none, registered.Out());
    return SUCCEEDED(hr) ? ScheduleResult{} : Refused(hr);
}

bool TaskScheduler::IsRegistered(const ScheduleJob& job) {
    const win32::ComScope com;
    Com<ITaskService> service;
    // A scheduler that cannot be asked holds nothing as far as the editor can tell; the
    // next save then says why it cannot set the task either.
    if (FAILED(Connect(service))) return false;
    Com<ITaskFolder> folder;
    HRESULT hr = service->GetFolder(Bstr(kTaskFolder), folder.Out());
    if (NotThere(hr)) return job.kind == ScheduleKind::Never;
    if (FAILED(hr)) return false;
    Com<IRegisteredTask> task;
    hr = folder->GetTask(Bstr(TaskNameFor(job.name, CurrentUser())), task.Out());
    if (NotThere(hr)) return job.kind == ScheduleKind::Never;
    if (FAILED(hr) || job.kind == ScheduleKind::Never) return false;
    // A task the user disabled in the Task Scheduler does not run.
    VARIANT_BOOL enabled = VARIANT_TRUE;
    if (SUCCEEDED(task->get_Enabled(&enabled)) && enabled == VARIANT_FALSE) return false;
    Com<ITaskDefinition> definition;
    if (FAILED(task->get_Definition(definition.Out()))) return false;
    return TriggersMatch(definition.get(), job.kind) &&
           ActionMatches(definition.get(), program_, Widen(job.folder));
}

ScheduleResult RemoveAllTasks() {
    const win32::ComScope com;
    Com<ITaskService> service;
    HRESULT hr = Connect(service);
    if (FAILED(hr)) return Refused(hr);
    Com<ITaskFolder> folder;
    hr = service->GetFolder(Bstr(kTaskFolder), folder.Out());
    if (NotThere(hr)) return {};
    if (FAILED(hr)) return Refused(hr);
    Com<IRegisteredTaskCollection> tasks;
    LONG count = 0;
    if (FAILED(hr = folder->GetTasks(TASK_ENUM_HIDDEN, tasks.Out())) || FAILED(hr = tasks->get_Count(&count)))
        return Refused(hr);
    // The names first: deleting while walking the collection would move what is left.
    std::vector<std::wstring> names;
    for (LONG i = 1; i <= count; ++i) {
        // Windows takes the index as any integer; Wine's scheduler only as an unsigned one.
        VARIANT index{};
        ::VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        Com<IRegisteredTask> task;
        if (FAILED(tasks->get_Item(index, task.Out()))) {
            index.vt = VT_UI4;
            index.ulVal = static_cast<ULONG>(i);
            if (FAILED(tasks->get_Item(index, task.Out()))) continue;
        }
        names.push_back(TextOf(task.get(), &IRegisteredTask::get_Name));
    }
    ScheduleResult result;
    for (const std::wstring& name : names) {
        hr = folder->DeleteTask(Bstr(name), 0);
        if (FAILED(hr) && !NotThere(hr)) result = Refused(hr);
    }
    Com<ITaskFolder> root;
    if (result.Ok() && SUCCEEDED(service->GetFolder(Bstr(L"\\"), root.Out()))) {
        hr = root->DeleteFolder(Bstr(kTaskFolder), 0);
        if (FAILED(hr) && !NotThere(hr)) result = Refused(hr);
    }
    return result;
}

}  // namespace vexal
