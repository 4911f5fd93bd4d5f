// The entry editor window frOpt with native controls: creates them, shows what the
// presenter sets, and reports what the user does to it.
#pragma once

#include <array>
#include <cstdint>

#include "host/editor_view.h"
#include "ui/editor_texts.h"
#include "ui/win32/win32_ui.h"

struct IDropTarget;

namespace vexal {

class EditorPresenter;

class Win32EditorWindow final : public win32::Window, public EditorView {
public:
    explicit Win32EditorWindow(Language language = Language::Japanese);
    ~Win32EditorWindow() override;
    // Routes the controls' user events to `presenter`; call once.
    void Bind(EditorPresenter& presenter) { presenter_ = &presenter; }

    // EditorView
    void SetCaption(const std::string& text) override { SetTitle(text); }
    void ShowWindow() override;
    void HideWindow() override;
    std::string Text(EditorControl box) const override;
    void SetText(EditorControl box, const std::string& text) override;
    bool IsChecked(EditorControl control, int index) const override;
    void SetChecked(EditorControl control, int index, bool checked) override;
    void SetEnabled(EditorControl control, int index, bool enabled) override;
    void SetColour(EditorControl control, std::uint32_t colour) override;
    void ClearList() override;
    void AddListItem(const std::string& text) override;
    std::string ListItemText(int index) const override;
    int SelectedListItem() const override;
    void SelectListItem(int index) override;
    int SpinPosition() const override { return spinPosition_; }
    void SetSpinPosition(int position) override { spinPosition_ = position; }

    // Control identifiers, also for tests that drive the window from outside.
    enum Id : int {
        kCbSelect = 100,
        kCbTouroku,
        kCbDelete,
        kTxUrl,
        kTxNo,
        kScNo,
        kTxFnAdd,
        kTxComment,
        kCbPreview,
        kCbSetWP,
        kCbEnd,
        kCkFilter0 = 120,  // to 126
        kCkExt0 = 130,     // to 134
        kOpWp0 = 140,      // to 144
        kOpNo0 = 150,      // to 152
        kFrame1 = 170,
        kFrame2,
        kFrame3,
        kFrame4,
        kFrame5,
        kLabel1,
        kLabel2,
        kTxMinWidth,
        kLbMinWidthLead,
        kLbMinWidthTail,
        kCkEachScreen,
        kCbSchedule = 190,
        kLbSchedule,
        kLbLastRun,
        kCbBrowseFile = 200,
        kCbBrowseFolder,
        kCkBackColour = 210,
        kCbBackColour,
        kLbBackSwatch,
        kLbSettingsFile,
    };

protected:
    void Layout() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // The captions, in the user's language.
    Language language_;
    const EditorTexts& texts_;
    HWND Control(EditorControl control, int index) const;
    // Places the boxes that sit in the blanks of an option button's caption.
    void PlaceInBlank(HWND button, const TwipRect& buttonRect, const std::string& lead, int blanks,
                      HWND first, HWND second);
    // Places the width's line: its captions and box one after the other in the row.
    void PlaceMinWidthRow(const TwipRect& row);
    void OnCommand(int id, int code);
    // Puts a chosen or dropped address into txUrl as if typed, so the presenter hears of it.
    void FillAddress(const std::wstring& address);
    // Places txUrl and, right of it, the two browse buttons, each as wide as its caption.
    void PlaceAddressRow();
    // Gives the last-run line the height its message needs at the line's width, and the
    // window the height the line then needs.
    void FitLastRun();
    // Has the boxes that sit in the option buttons' blanks draw themselves again.
    void RedrawBlanks();

    HWND cbSelect_, cbTouroku_, cbDelete_, Frame1_, Label1_, txUrl_, Frame2_, Frame3_, Frame4_, Frame5_;
    // Beside txUrl: a picture, page or list file, and a folder.
    HWND cbBrowseFile_, cbBrowseFolder_;
    std::array<HWND, 7> ckFilter_{};
    std::array<HWND, 5> ckExt_{};
    std::array<HWND, 5> opWp_{};
    HWND ckEachScreen_ = nullptr;
    // "背景色 [色…] ■": the swatch is a static painted in the colour picked.
    HWND ckBackColour_ = nullptr, cbBackColour_ = nullptr, lbBackSwatch_ = nullptr;
    HBRUSH swatchBrush_ = nullptr;
    // The status line under everything: the settings file's full path.
    HWND lbSettingsFile_ = nullptr;
    std::array<HWND, 3> opNo_{};
    // "幅 [txMinWidth] ピクセル未満の画像は使わない": the box between its two captions.
    HWND lbMinWidthLead_, txMinWidth_, lbMinWidthTail_;
    // "自動変更 [cbSchedule]" left of the run commands, the last scheduled run below them.
    HWND lbSchedule_, cbSchedule_, lbLastRun_;
    HWND txNo_, scNo_, txFnAdd_, Label2_, txComment_, cbPreview_, cbSetWP_, cbEnd_;
    HWND tooltips_ = nullptr;
    EditorPresenter* presenter_ = nullptr;
    int spinPosition_ = 0;
    // The list item selected when the list was opened (-1 while it is closed), and whether
    // the selection has changed since.
    int droppedAt_ = -1;
    bool changedWhileDropped_ = false;
    // Set while the program changes a text, so EN_CHANGE reports only typing.
    int settingText_ = 0;
    bool centred_ = false;
    // What takes the OLE drops on the window (a browser's links, the file manager's
    // files); null where OLE was not to be had.
    bool ole_ = false;
    IDropTarget* dropTarget_ = nullptr;
};

}  // namespace vexal
