// The entry editor window frOpt in Qt Widgets: creates the controls, shows what the
// presenter sets, and reports clicks and typing to it.
#pragma once

#include <QWidget>
#include <array>

#include "host/editor_view.h"
#include "ui/editor_texts.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace vexal {

class EditorPresenter;

class QtEditorWindow final : public QWidget, public EditorView {
public:
    explicit QtEditorWindow(Language language = Language::Japanese, QWidget* parent = nullptr);

    // Connects the controls' user events to `presenter`; call once.
    void Bind(EditorPresenter& presenter);

    // EditorView
    void SetCaption(const std::string& text) override;
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
    int SpinPosition() const override;
    void SetSpinPosition(int position) override;

    // The controls, under their window names, for tests and screenshots.
    QComboBox* cbSelect = nullptr;
    QPushButton* cbTouroku = nullptr;
    QPushButton* cbDelete = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txUrl = nullptr;
    // Beside txUrl: choose a picture, page or list file, or a folder.
    QPushButton* cbBrowseFile = nullptr;
    QPushButton* cbBrowseFolder = nullptr;
    QGroupBox* Frame2 = nullptr;
    std::array<QCheckBox*, 5> ckExt{};
    QGroupBox* Frame3 = nullptr;
    std::array<QCheckBox*, 7> ckFilter{};
    QGroupBox* Frame5 = nullptr;
    std::array<QRadioButton*, 5> opWp{};
    QCheckBox* ckEachScreen = nullptr;
    // "背景色 [cbBackColour]": the button shows the colour as its icon.
    QCheckBox* ckBackColour = nullptr;
    QPushButton* cbBackColour = nullptr;
    QGroupBox* Frame4 = nullptr;
    std::array<QRadioButton*, 3> opNo{};
    QLineEdit* txNo = nullptr;
    QScrollBar* scNo = nullptr;
    QLineEdit* txFnAdd = nullptr;
    // "幅 [txMinWidth] ピクセル未満の画像は使わない"
    QLabel* lbMinWidthLead = nullptr;
    QLineEdit* txMinWidth = nullptr;
    QLabel* lbMinWidthTail = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* txComment = nullptr;
    // "自動変更 [cbSchedule]  lbLastRun"
    QLabel* lbSchedule = nullptr;
    QComboBox* cbSchedule = nullptr;
    QLabel* lbLastRun = nullptr;
    QPushButton* cbPreview = nullptr;
    QPushButton* cbSetWP = nullptr;
    QPushButton* cbEnd = nullptr;
    // The status line: the settings file's full path.
    QLabel* lbSettingsFile = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    // A file, a folder or a link dropped anywhere on the window fills txUrl.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The text boxes take dropped text as typed, but hand a dropped file or link to the window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The captions, in the user's language.
    const EditorTexts& texts_;
    // The steps of building the window, each making one part of it in reading order.
    QHBoxLayout* MakeListRow();
    void MakeEditingArea();
    void MakeFlagGroups();
    void MakeChoiceGroup();
    QHBoxLayout* MakeScheduleRow();
    QHBoxLayout* MakeCommandRow();
    void OrderTabs();

    // The browse buttons: the system's dialog, opened where the field points.
    void BrowseFile();
    void BrowseFolder();
    // Puts a chosen or dropped source into txUrl as the user's own edit (undoable), and
    // lets the presenter adjust the controls to its kind.
    void FillSource(const QString& source);

    QWidget* Control(EditorControl control, int index) const;
    QButtonGroup* wpGroup_ = nullptr;
    QButtonGroup* noGroup_ = nullptr;
    EditorPresenter* presenter_ = nullptr;
    bool centred_ = false;
};

}  // namespace vexal
