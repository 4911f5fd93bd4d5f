// The entry editor's logic. The binding only forwards clicks and typing; every rule about
// what the controls show and what reaches SiteEntries and the settings file is here.
#include "ui/editor.h"

#include <algorithm>
#include <map>

#include "host/desktop.h"
#include "host/dialogs.h"
#include "host/process.h"
#include "host/scheduler.h"
#include "settings/settings_file.h"
#include "settings/settings_merge.h"
#include "settings/source_kind.h"
#include "text/case.h"
#include "text/number.h"
#include "ui/failure_texts.h"
#include "ui/messages.h"
#include "ui/scheduled_run.h"

namespace vexal {
namespace {

constexpr int kFilterCount = 7;
constexpr int kSubfolders = 5;  // the one rule for folders; the others are for pages and files
constexpr int kExtCount = 5;
constexpr int kStyleCount = 5;     // centred, tiled, stretched, fill, fit
constexpr int kChoiceCount = 3;    // the N-th, containing, at random
constexpr int kScheduleCount = 8;  // none, every 15 and 30 minutes, 1, 3 and 6 hours, daily, at log-on
constexpr double kSpinMin = 0;
constexpr double kSpinMax = 9999;

void Error(const Program& program, Host& host, Message kind,
           std::initializer_list<std::string_view> subjects = {}) {
    ShowError(program, *host.dialogs, MessageText(program.UserLanguage, kind, subjects));
}

// Each name's schedule, by the name as the command line finds it: letter case ignored,
// the first entry of a name the one that runs.
std::map<std::string, const SiteEntry*> SchedulesByName(const SiteEntryList& entries) {
    std::map<std::string, const SiteEntry*> out;
    for (std::size_t k = 1; k < entries.size(); ++k) out.emplace(ToLower(entries[k].Name), &entries[k]);
    return out;
}

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.rfind(kFolderSeparator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The system's error numbers are looked up in hexadecimal (0x80070005).
std::string HexStatus(std::int64_t status) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string hex = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) hex.push_back(kHex[(status >> shift) & 15]);
    return hex;
}

// The line under the schedule for an entry whose schedule the system does not hold.
std::string ScheduleStateText(Language language, const ScheduleResult& refusal) {
    switch (refusal.failure) {
        case ScheduleFailure::Nothing:
            break;
        case ScheduleFailure::NoServiceManager:
            return MessageText(language, Message::ScheduleLineNeedsServiceManager);
        case ScheduleFailure::NotWritten:
            return MessageText(language, Message::ScheduleLineNotWritten, {refusal.subject});
        case ScheduleFailure::ToolFailed:
            return MessageText(language, Message::ScheduleLineToolFailed,
                               {refusal.tool, std::to_string(refusal.status)});
        case ScheduleFailure::SystemRefused:
            return MessageText(language, Message::ScheduleLineRefused, {HexStatus(refusal.status)});
    }
    return MessageText(language, Message::ScheduleLineMissing);
}

void ReportScheduleFailure(const Program& program, Host& host, const std::string& name,
                           const ScheduleResult& result) {
    switch (result.failure) {
        case ScheduleFailure::Nothing:
            return;
        case ScheduleFailure::NoServiceManager:
            return Error(program, host, Message::ScheduleNeedsServiceManager, {name});
        case ScheduleFailure::NotWritten:
            return Error(program, host, Message::ScheduleNotWritten, {name, result.subject});
        case ScheduleFailure::ToolFailed:
            return Error(program, host, Message::ScheduleToolFailed,
                         {name, result.tool, std::to_string(result.status), result.said});
        case ScheduleFailure::SystemRefused:
            return Error(program, host, Message::ScheduleRefused, {name, HexStatus(result.status)});
    }
}

// The desktop's own colour around a picture, which an entry without one of its own keeps.
std::uint32_t DesktopColour(Host& host) {
    return host.desktop ? host.desktop->BackgroundColour() & 0xFFFFFFu : 0;
}

}  // namespace

EditorPresenter::EditorPresenter(Program& program, Host& host, EditorView& view, FrontEnd& frontEnd,
                                 RunEnd& end)
    : program_(program), host_(host), view_(view), frontEnd_(frontEnd), end_(end) {}

void EditorPresenter::Form_Load() {
    view_.SetCaption(program_.TitleText);
    // Which file is being edited: several settings files may live in several folders.
    view_.SetText(EditorControl::lbSettingsFile, host_.files->FullPath(program_.SettingsFileName));
    read_ = program_;
    // The schedules shown must be the ones the system holds: a file edited by hand, or a
    // registration refused or taken away, is said so, and the next save sets it again.
    if (host_.scheduler) {
        const std::string folder = ScheduleFolder();
        for (const auto& [key, entry] : SchedulesByName(program_.SiteEntries))
            if (entry->Schedule != ScheduleKind::Never &&
                !host_.scheduler->IsRegistered({entry->Name, entry->Schedule, folder}))
                unregistered_[key] = {};
    }
    FillList();
}

std::string EditorPresenter::ScheduleFolder() const {
    // The run starts where this settings file is, wherever the editor was started from.
    return FolderOf(host_.files->FullPath(program_.SettingsFileName));
}

bool EditorPresenter::Form_Unload() {
    if (curIndex_ != 0) StoreEntry(curIndex_);
    // Element 0 is the working copy, which is never saved.
    const bool changed = !std::equal(program_.SiteEntries.begin() + 1, program_.SiteEntries.end(),
                                     read_.SiteEntries.begin() + 1, read_.SiteEntries.end());
    if (changed) {
        switch (host_.dialogs->AskYesNoCancel(
            kPlainTitle, MessageText(program_.UserLanguage, Message::SaveChangesQuestion))) {
            case Answer::Yes:
                if (!Save()) return false;
                break;
            case Answer::No:
                break;
            case Answer::Cancel:
                return false;
        }
    }
    end_.Finish(kExitSuccess);
    return true;
}

void EditorPresenter::FillList() {
    filling_ = true;
    view_.ClearList();
    view_.AddListItem(program_.NewMsg);
    for (std::int32_t k = 1; k <= program_.EntryCount(); ++k) view_.AddListItem(program_.SiteEntries[k].Name);
    filling_ = false;
    curIndex_ = 0;
    view_.SelectListItem(0);
    cbSelect_Click();
    txUrl_Change();
}

void EditorPresenter::cbSelect_Click() {
    if (filling_) return;
    if (curIndex_ != 0) StoreEntry(curIndex_);
    const int selected = view_.SelectedListItem();
    // A list without a selection (never the case after FillList) counts as the new-entry item.
    curIndex_ = (selected > 0 && selected <= program_.EntryCount()) ? selected : 0;
    if (curIndex_ != 0) {
        view_.SetEnabled(EditorControl::cbDelete, 0, true);
        view_.SetEnabled(EditorControl::cbTouroku, 0, false);
        ShowEntry(program_.SiteEntries[curIndex_]);
    } else {
        view_.SetEnabled(EditorControl::cbDelete, 0, false);
        view_.SetEnabled(EditorControl::cbTouroku, 0, true);
        ClearFields();
    }
}

void EditorPresenter::SetUrlText(const std::string& text) {
    const bool changed = view_.Text(EditorControl::txUrl) != text;
    view_.SetText(EditorControl::txUrl, text);
    if (changed) txUrl_Change();
}

void EditorPresenter::StoreEntry(std::int32_t k) {
    if (k < 0 || k > program_.EntryCount()) return;
    SiteEntry& e = program_.SiteEntries[k];
    e.Url = view_.Text(EditorControl::txUrl);
    e.Comment = view_.Text(EditorControl::txComment);
    e.Refstr = view_.Text(EditorControl::txFnAdd);
    e.No_n = ReadInt32(view_.Text(EditorControl::txNo));
    e.MinWidth = ReadInt32(view_.Text(EditorControl::txMinWidth));
    for (int i = 0; i < kStyleCount; ++i) {
        if (view_.IsChecked(EditorControl::opWp, i)) {
            e.WpState = static_cast<WallpaperStyle>(i);
            break;
        }
    }
    for (int i = 0; i < kChoiceCount; ++i) {
        if (view_.IsChecked(EditorControl::opNo, i)) {
            e.No = static_cast<ChoiceMode>(i);
            break;
        }
    }
    for (int i = 0; i < kScheduleCount; ++i) {
        if (view_.IsChecked(EditorControl::cbSchedule, i)) {
            e.Schedule = static_cast<ScheduleKind>(i);
            break;
        }
    }
    for (int i = 0; i < kFilterCount; ++i) e.Filter[i] = view_.IsChecked(EditorControl::ckFilter, i);
    for (int i = 0; i < kExtCount; ++i) e.Ext[i] = view_.IsChecked(EditorControl::ckExt, i);
    e.EachScreen = view_.IsChecked(EditorControl::ckEachScreen, 0);
    e.Background =
        view_.IsChecked(EditorControl::ckBackColour, 0) ? std::optional(backColour_) : std::nullopt;
}

void EditorPresenter::ShowEntry(const SiteEntry& e) {
    filling_ = true;
    SetUrlText(e.Url);
    view_.SetText(EditorControl::txComment, e.Comment);
    view_.SetText(EditorControl::txFnAdd, e.Refstr);
    view_.SetText(EditorControl::txNo, std::to_string(e.No_n));
    view_.SetText(EditorControl::txMinWidth, std::to_string(e.MinWidth));
    // A value without a button (a hand-edited file) names no button: the group is shown
    // with none selected, and StoreEntry then keeps the stored value.
    for (int i = 0; i < kStyleCount; ++i) view_.SetChecked(EditorControl::opWp, i, false);
    for (int i = 0; i < kChoiceCount; ++i) view_.SetChecked(EditorControl::opNo, i, false);
    const int style = static_cast<int>(e.WpState);
    const int mode = static_cast<int>(e.No);
    if (style < kStyleCount) view_.SetChecked(EditorControl::opWp, style, true);
    if (mode < kChoiceCount) view_.SetChecked(EditorControl::opNo, mode, true);
    for (int i = 0; i < kFilterCount; ++i) view_.SetChecked(EditorControl::ckFilter, i, e.Filter[i]);
    for (int i = 0; i < kExtCount; ++i) view_.SetChecked(EditorControl::ckExt, i, e.Ext[i]);
    view_.SetChecked(EditorControl::cbSchedule, static_cast<int>(e.Schedule), true);
    view_.SetText(EditorControl::lbLastRun, LastRunLine(e));
    view_.SetChecked(EditorControl::ckEachScreen, 0, e.EachScreen);
    view_.SetChecked(EditorControl::ckBackColour, 0, e.Background.has_value());
    ShowBackColour(e.Background ? *e.Background : DesktopColour(host_));
    filling_ = false;
}

std::string EditorPresenter::LastRunLine(const SiteEntry& entry) const {
    const auto missing = unregistered_.find(ToLower(entry.Name));
    if (missing != unregistered_.end() && entry.Schedule != ScheduleKind::Never)
        return ScheduleStateText(program_.UserLanguage, missing->second);
    std::string folder;
    LastRun run;
    if (!host_.desktop || !host_.desktop->LockFolder(folder).Ok() ||
        !ReadLastRun(*host_.files, folder, entry.Name, run))
        return {};
    return LastRunText(program_.UserLanguage, run);
}

void EditorPresenter::ClearFields() {
    SetUrlText("");
    view_.SetText(EditorControl::txComment, "");
    view_.SetText(EditorControl::txFnAdd, "");
    view_.SetText(EditorControl::txNo, "1");
    view_.SetText(EditorControl::txMinWidth, "0");
    view_.SetChecked(EditorControl::opWp, 0, true);
    view_.SetChecked(EditorControl::opNo, 0, true);
    for (int i = 0; i < kFilterCount; ++i) view_.SetChecked(EditorControl::ckFilter, i, false);
    for (int i = 0; i < kExtCount; ++i) view_.SetChecked(EditorControl::ckExt, i, false);
    view_.SetChecked(EditorControl::cbSchedule, 0, true);
    view_.SetText(EditorControl::lbLastRun, "");
    view_.SetChecked(EditorControl::ckEachScreen, 0, false);
    view_.SetChecked(EditorControl::ckBackColour, 0, false);
    ShowBackColour(DesktopColour(host_));
}

void EditorPresenter::ShowBackColour(std::uint32_t colour) {
    backColour_ = colour;
    view_.SetColour(EditorControl::cbBackColour, colour);
}

void EditorPresenter::cbBackColour_Click() {
    const std::optional<std::uint32_t> picked = host_.dialogs->AskColour(kPlainTitle, backColour_);
    if (!picked) return;
    ShowBackColour(*picked);
    view_.SetChecked(EditorControl::ckBackColour, 0, true);
}

void EditorPresenter::txUrl_Change() {
    const SourceKind kind = ClassifySource(view_.Text(EditorControl::txUrl));
    bool frame3 = false;
    bool filters = false;
    bool subfolders = false;
    bool groups = false;
    switch (kind) {
        case SourceKind::WebPage:
        case SourceKind::LocalFile:
            frame3 = filters = groups = true;
            break;
        case SourceKind::LocalFolder:
            frame3 = subfolders = groups = true;
            break;
        case SourceKind::WebImage:
        case SourceKind::LocalImage:
            break;
    }
    view_.SetEnabled(EditorControl::Frame3, 0, frame3);
    for (int i = 0; i < kFilterCount; ++i)
        view_.SetEnabled(EditorControl::ckFilter, i, i == kSubfolders ? subfolders : filters);
    EnableExtGroup(groups);
    EnableChoiceGroup(groups);
}

void EditorPresenter::EnableExtGroup(bool flag) {
    view_.SetEnabled(EditorControl::Frame2, 0, flag);
    for (int i = 0; i < kExtCount; ++i) view_.SetEnabled(EditorControl::ckExt, i, flag);
}

void EditorPresenter::EnableChoiceGroup(bool flag) {
    view_.SetEnabled(EditorControl::Frame4, 0, flag);
    view_.SetEnabled(EditorControl::txNo, 0, flag);
    view_.SetEnabled(EditorControl::txFnAdd, 0, flag);
    view_.SetEnabled(EditorControl::scNo, 0, flag);
    view_.SetEnabled(EditorControl::txMinWidth, 0, flag);
    for (int i = 0; i < kChoiceCount; ++i) view_.SetEnabled(EditorControl::opNo, i, flag);
}

void EditorPresenter::scNo_Change() {
    const int v = view_.SpinPosition();
    if (v == 0) return;
    double n = RoundHalfEven(ReadNumber(view_.Text(EditorControl::txNo)) + v);
    if (!(n >= kSpinMin)) n = kSpinMin;  // also catches NaN
    if (n > kSpinMax) n = kSpinMax;
    view_.SetText(EditorControl::txNo, std::to_string(static_cast<std::int32_t>(n)));
    view_.SetSpinPosition(0);
    scNo_Change();
}

std::string EditorPresenter::AskIdentifier() {
    while (true) {
        std::string s = host_.dialogs->AskText(kPlainTitle,
                                               MessageText(program_.UserLanguage, Message::IdentifierPrompt));
        if (s.empty()) return s;
        if (s.find(' ') != std::string::npos) {
            Error(program_, host_, Message::IdentifierHasBlank);
            continue;
        }
        if (!IsIdentifierStart(s[0])) {
            Error(program_, host_, Message::IdentifierNotLetter);
            continue;
        }
        // The command line ignores letter case and takes the first entry of a name, so a
        // second one that differs only in case could never be run from it.
        const std::string lower = ToLower(s);
        const SiteEntry* same = nullptr;
        for (std::int32_t k = 1; k <= program_.EntryCount() && !same; ++k)
            if (ToLower(program_.SiteEntries[k].Name) == lower) same = &program_.SiteEntries[k];
        if (same && !host_.dialogs->AskYesNo(
                        kPlainTitle, MessageText(program_.UserLanguage, Message::IdentifierDiffersInCaseOnly,
                                                 {s, same->Name})))
            continue;
        return s;
    }
}

void EditorPresenter::Register(const std::string& name) {
    program_.SiteEntries.emplace_back();
    const std::int32_t n = program_.EntryCount();
    StoreEntry(n);
    program_.SiteEntries[n].Name = name;
    view_.AddListItem(name);
    // The new entry is shown as registered: selected, with its own buttons.
    view_.SelectListItem(n);
    cbSelect_Click();
}

bool EditorPresenter::ConfirmUsable() {
    // Such an entry would only fail when it runs, perhaps from a timer long after the
    // editor was closed, with nobody to tell what was left unticked.
    const std::string url = view_.Text(EditorControl::txUrl);
    if (url.empty()) return true;  // its own message comes when it is used
    const SourceKind kind = ClassifySource(url);
    const bool lists = kind == SourceKind::WebPage || kind == SourceKind::LocalFile;
    if (!lists && kind != SourceKind::LocalFolder) return true;
    bool anyKind = false, anyRule = false;
    for (int i = 0; i < kExtCount; ++i) anyKind = anyKind || view_.IsChecked(EditorControl::ckExt, i);
    for (int i = 0; i < kFilterCount; ++i)
        anyRule = anyRule || (i != kSubfolders && view_.IsChecked(EditorControl::ckFilter, i));
    Message question;
    if (!anyKind) {
        question = Message::NoPictureKindQuestion;
    } else if (lists && !anyRule) {
        question = Message::NoLinkRuleQuestion;
    } else {
        return true;
    }
    return host_.dialogs->AskYesNo(kPlainTitle, MessageText(program_.UserLanguage, question));
}

void EditorPresenter::cbTouroku_Click() {
    if (!ConfirmUsable()) return;
    const std::string s = AskIdentifier();
    if (!s.empty()) Register(s);
}

bool EditorPresenter::NewFormFilled() const {
    if (!view_.Text(EditorControl::txUrl).empty() || !view_.Text(EditorControl::txComment).empty() ||
        !view_.Text(EditorControl::txFnAdd).empty() || view_.Text(EditorControl::txNo) != "1" ||
        view_.Text(EditorControl::txMinWidth) != "0" || !view_.IsChecked(EditorControl::opWp, 0) ||
        !view_.IsChecked(EditorControl::opNo, 0) || !view_.IsChecked(EditorControl::cbSchedule, 0) ||
        view_.IsChecked(EditorControl::ckEachScreen, 0) || view_.IsChecked(EditorControl::ckBackColour, 0))
        return true;
    for (int i = 0; i < kFilterCount; ++i)
        if (view_.IsChecked(EditorControl::ckFilter, i)) return true;
    for (int i = 0; i < kExtCount; ++i)
        if (view_.IsChecked(EditorControl::ckExt, i)) return true;
    return false;
}

void EditorPresenter::cbDelete_Click() {
    if (curIndex_ < 1 || curIndex_ > program_.EntryCount()) return;
    const std::string text =
        MessageText(program_.UserLanguage, Message::DeleteEntryQuestion, {view_.ListItemText(curIndex_)});
    if (!host_.dialogs->AskYesNoDefaultNo(kPlainTitle, text)) return;
    program_.SiteEntries.erase(program_.SiteEntries.begin() + curIndex_);
    FillList();
}

bool EditorPresenter::Save() {
    const std::string file = SettingsFileForMessages(program_, *host_.files);
    // Another editor, or a text editor, may have written the file since it was read here:
    // what it wrote is merged in field by field, not written over.
    Program disk;
    disk.SettingsFileName = program_.SettingsFileName;
    std::string bytes;
    const SettingsLoad load = LoadSettings(disk, *host_.files, &bytes);
    std::vector<std::string> namesBefore;
    for (std::int32_t k = 1; k <= program_.EntryCount(); ++k)
        namesBefore.push_back(program_.SiteEntries[k].Name);
    bool written = true;
    switch (load.kind) {
        case SettingsReadKind::Unreadable:
            // Writing now would replace whatever the file holds with this editor's entries.
            Error(program_, host_, Message::SettingsNotSavedUnreadable,
                  {file, SettingsReadText(program_.UserLanguage, load)});
            return false;
        case SettingsReadKind::Missing:
            // Nothing to merge with (a first run, or the file was removed meanwhile): the
            // entries are written whole, as the file is always written fresh.
            written = SaveSettings(program_, *host_.files) == SaveResult::Saved;
            break;
        case SettingsReadKind::Read: {
            MergedSettings merged = MergeSettings(read_, program_, disk, false);
            // Never settled silently: the user says which side's values stand.
            if (!merged.conflicts.empty() &&
                host_.dialogs->AskYesNo(
                    kPlainTitle, MessageText(program_.UserLanguage, Message::MergeConflictQuestion,
                                             {file, ConflictLines(program_.UserLanguage, merged.conflicts)})))
                merged = MergeSettings(read_, program_, disk, true);
            static_cast<StoredSettings&>(program_) = merged.settings;  // element 0 stays this editor's
            RefreshList(namesBefore);
            // Nothing changed: the file stays exactly as it is, not even rewritten.
            std::string out;
            if (RewriteSettings(bytes, host_.files->TextMayBeUtf8(), disk, merged, out))
                written = host_.files->ReplaceFile(program_.SettingsFileName, out);
            break;
        }
    }
    if (!written) {
        Error(program_, host_, Message::SettingsNotWritten,
              {file, FileFailureText(program_.UserLanguage, host_.files->LastFailure())});
        return false;
    }
    const SiteEntryList before = std::move(read_.SiteEntries);
    read_ = program_;
    ApplySchedules(before);
    return true;
}

void EditorPresenter::RefreshList(const std::vector<std::string>& namesBefore) {
    std::vector<std::string> names;
    for (std::int32_t k = 1; k <= program_.EntryCount(); ++k) names.push_back(program_.SiteEntries[k].Name);
    if (names == namesBefore) {
        // The shown entry may have taken a field from the file; the next store must not
        // put the old value back.
        if (curIndex_ > 0) ShowEntry(program_.SiteEntries[curIndex_]);
        return;
    }
    const std::string selected = curIndex_ > 0 ? namesBefore[static_cast<std::size_t>(curIndex_ - 1)] : "";
    FillList();
    for (std::int32_t k = 1; k <= program_.EntryCount() && !selected.empty(); ++k) {
        if (program_.SiteEntries[k].Name != selected) continue;
        view_.SelectListItem(k);
        cbSelect_Click();
        break;
    }
}

void EditorPresenter::ApplySchedules(const SiteEntryList& before) {
    if (!host_.scheduler) return;
    const auto old = SchedulesByName(before);
    const auto now = SchedulesByName(program_.SiteEntries);
    const std::string folder = ScheduleFolder();
    auto apply = [&](const std::string& key, const std::string& name, ScheduleKind kind) {
        const ScheduleResult result = host_.scheduler->Apply({name, kind, folder});
        // A refused schedule stays one to set again, whatever the next save changes.
        if (result.Ok() || kind == ScheduleKind::Never)
            unregistered_.erase(key);
        else
            unregistered_[key] = result;
        ReportScheduleFailure(program_, host_, name, result);
    };
    for (const auto& [key, entry] : now) {
        const auto was = old.find(key);
        const ScheduleKind before = was == old.end() ? ScheduleKind::Never : was->second->Schedule;
        if (entry->Schedule != before || unregistered_.count(key)) apply(key, entry->Name, entry->Schedule);
    }
    // Deleted entries take their schedules with them.
    for (const auto& [key, entry] : old)
        if (!now.count(key) && entry->Schedule != ScheduleKind::Never)
            apply(key, entry->Name, ScheduleKind::Never);
    // The line under the schedule says what the system holds now.
    if (curIndex_ > 0 && curIndex_ <= program_.EntryCount())
        view_.SetText(EditorControl::lbLastRun, LastRunLine(program_.SiteEntries[curIndex_]));
}

void EditorPresenter::Retrieve(bool preview, Message emptyUrlMessage) {
    if (curIndex_ != 0) StoreEntry(curIndex_);
    if (!Save()) return;
    StoreEntry(0);
    if (program_.CurrentEntry().Url.empty()) {
        Error(program_, host_, emptyUrlMessage);
        return;
    }
    program_.ShowPreview = preview;
    view_.HideWindow();
    frontEnd_.RunRetrieval(true);
}

void EditorPresenter::cbPreview_Click() { Retrieve(true, Message::PreviewUrlEmpty); }

void EditorPresenter::cbSetWP_Click() { Retrieve(false, Message::SetWallpaperUrlEmpty); }

void EditorPresenter::cbEnd_Click() {
    if (curIndex_ != 0) StoreEntry(curIndex_);
    // Typing into the new-entry form and ending used to drop it without a word.
    if (curIndex_ == 0 && NewFormFilled()) {
        switch (host_.dialogs->AskYesNoCancel(
            kPlainTitle, MessageText(program_.UserLanguage, Message::UnregisteredEntryQuestion))) {
            case Answer::Yes: {
                if (!ConfirmUsable()) return;
                const std::string name = AskIdentifier();
                if (name.empty()) return;
                Register(name);
                break;
            }
            case Answer::No:
                break;
            case Answer::Cancel:
                return;
        }
    }
    if (!Save()) return;
    end_.Finish(kExitSuccess);
}

}  // namespace vexal
