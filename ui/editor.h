// The entry editor's logic: the list of registered entries, the binding between the
// controls and the SiteEntry records, enabling by source kind, the spin, and the five
// commands (register, delete, preview, set as wallpaper, end).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/editor_view.h"
#include "host/front_end.h"
#include "host/host.h"
#include "program/program.h"
#include "program/site_entry.h"
#include "ui/messages.h"
#include "ui/run_end.h"

namespace vexal {

class EditorPresenter {
public:
    // `frontEnd` runs a retrieval exactly as the command line would (RunRetrieval(true));
    // `end` ends the run when the editor closes.
    EditorPresenter(Program& program, Host& host, EditorView& view, FrontEnd& frontEnd, RunEnd& end);

    // Caption, then the list in the new-entry state.
    void Form_Load();
    // The close box: the program ends without writing the settings file, after asking
    // whether to save when entries were registered, changed or deleted since the last
    // save. False when the user chose to stay (the window must not close).
    [[nodiscard]] bool Form_Unload();

    void FillList();
    void ClearFields();
    void ShowEntry(const SiteEntry& entry);
    void StoreEntry(std::int32_t k);
    void EnableExtGroup(bool flag);
    void EnableChoiceGroup(bool flag);

    // Events: by the user through the binding, or by the presenter itself where the
    // program changes a control whose change must be handled at once.
    void cbSelect_Click();
    void txUrl_Change();
    void scNo_Change();

    void cbTouroku_Click();
    void cbDelete_Click();
    void cbPreview_Click();
    void cbSetWP_Click();
    void cbEnd_Click();
    // The colour button: the system's colour picker, starting at the form's colour; a
    // colour picked becomes the entry's own (ckBackColour checked).
    void cbBackColour_Click();

    std::int32_t CurIndex() const { return curIndex_; }
    bool Filling() const { return filling_; }

private:
    // Sets txUrl and, when its text changes, runs txUrl_Change as a change would.
    void SetUrlText(const std::string& text);
    void Retrieve(bool preview, Message emptyUrlMessage);
    // Writes the settings file; on failure shows why and returns false.
    bool Save();
    // True when the new-entry form holds anything but what ClearFields puts there.
    bool NewFormFilled() const;
    // Asks for an identifier until one is usable or the user gives up (empty).
    std::string AskIdentifier();
    // True when the new-entry form can give a picture as it stands, or the user wants it
    // registered all the same.
    bool ConfirmUsable();
    // Registers the new-entry form's fields under `name` and selects the new entry.
    void Register(const std::string& name);
    // After a save: hands the system's scheduler every schedule that differs from what
    // the file held before, and says which could not be set.
    void ApplySchedules(const SiteEntryList& before);
    // The line about the entry's last scheduled run; empty when it never ran so. For an
    // entry whose schedule the system does not hold, why not instead.
    std::string LastRunLine(const SiteEntry& entry) const;
    // The folder scheduled runs start in: the settings file's.
    std::string ScheduleFolder() const;

    Program& program_;
    Host& host_;
    EditorView& view_;
    FrontEnd& frontEnd_;
    RunEnd& end_;
    std::int32_t curIndex_ = 0;
    bool filling_ = false;
    // Puts the list back in step with the entries after a save merged in changes made
    // elsewhere, keeping the selected entry selected.
    void RefreshList(const std::vector<std::string>& namesBefore);

    // The settings as the file last held them (as loaded, or as last saved): the common
    // ancestor of a merge, and what tells whether closing would lose anything.
    StoredSettings read_;
    // Schedules, by the name in lower case, that the system does not hold as the file has
    // them: missing when the editor opened (Nothing), or refused since (the refusal). The
    // next save sets them again.
    std::map<std::string, ScheduleResult> unregistered_;
    // The colour cbBackColour shows: the entry's own, or the desktop's for an entry
    // without one; stored only while ckBackColour is checked.
    std::uint32_t backColour_ = 0;
    void ShowBackColour(std::uint32_t colour);
};

}  // namespace vexal
