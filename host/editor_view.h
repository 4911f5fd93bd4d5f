// The entry editor window as its presenter sees it: named controls, their texts, checks,
// selections and enabled states, the entry list and the spin. Toolkit-neutral, so every
// front end binds the same presenter.
#pragma once

#include <cstdint>
#include <string>

namespace vexal {

// The editor's controls, named as the window names them. Indexed controls (check boxes,
// option buttons) take their index as a separate argument.
enum class EditorControl {
    cbTouroku,
    cbDelete,
    cbPreview,
    cbSetWP,
    cbEnd,
    Frame2,  // holds ckExt
    Frame3,  // holds ckFilter
    Frame4,  // holds opNo, txNo, scNo, txFnAdd, txMinWidth
    Frame5,  // holds opWp
    ckFilter,
    ckExt,
    opWp,
    opNo,
    txUrl,
    txComment,
    txNo,
    txFnAdd,
    scNo,
    txMinWidth,  // the narrowest picture used, in pixels; its captions follow its enabled state
    // The choice of when the system runs the entry by itself, one item per ScheduleKind:
    // IsChecked and SetChecked tell and pick the selected item, as for an option group.
    cbSchedule,
    lbLastRun,     // a read-only line: the entry's last scheduled run, or why the system does not
                   // hold its schedule (SetText only)
    ckEachScreen,  // a picture for each screen, in Frame5 below opWp
    // The colour around a centred or fitted picture: checked, the entry has one of its own
    // (ckBackColour); the button that picks it shows it (cbBackColour, SetColour).
    ckBackColour,
    cbBackColour,
    lbSettingsFile,  // a read-only line: the settings file's full path (SetText only)
};

// Every setter changes only what it names and never calls back into the presenter: where
// a change made by the program must run an event handler, the presenter runs it itself.
// That keeps nested events identical whatever the toolkit does on its own.
class EditorView {
public:
    virtual ~EditorView() = default;

    virtual void SetCaption(const std::string& text) = 0;
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;

    // Texts of txUrl, txComment, txNo, txFnAdd and txMinWidth. Line breaks in txComment are CR LF.
    virtual std::string Text(EditorControl box) const = 0;
    virtual void SetText(EditorControl box, const std::string& text) = 0;

    // ckFilter(i), ckExt(i), ckEachScreen: checked; opWp(i), opNo(i): selected. Selecting an option
    // button clears the others of its group; clearing one leaves the others alone.
    virtual bool IsChecked(EditorControl control, int index) const = 0;
    virtual void SetChecked(EditorControl control, int index, bool checked) = 0;

    // The colour (0x00RRGGBB) a control shows, as cbBackColour shows the one it picked.
    virtual void SetColour(EditorControl /*control*/, std::uint32_t /*colour*/) {}

    // `index` is ignored for controls that are not indexed.
    virtual void SetEnabled(EditorControl control, int index, bool enabled) = 0;

    // The drop-down list cbSelect. SelectedListItem gives -1 when nothing is selected.
    virtual void ClearList() = 0;
    virtual void AddListItem(const std::string& text) = 0;
    virtual std::string ListItemText(int index) const = 0;
    virtual int SelectedListItem() const = 0;
    virtual void SelectListItem(int index) = 0;

    // The spin scNo: a position of -1, 0 or +1; 0 is its rest position.
    virtual int SpinPosition() const = 0;
    virtual void SetSpinPosition(int position) = 0;
};

}  // namespace vexal
