// The progress window frDisp in Qt Widgets: the status label, the progress bar, the line
// of bytes under it and the cancel button, laid out in twips like the other front ends.
#pragma once

#include <QWidget>

#include "host/progress_view.h"
#include "program/program.h"
#include "ui/progress_presenter.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vexal {

class QtProgressWindow final : public QWidget, public ProgressView {
public:
    explicit QtProgressWindow(Program& program, QWidget* parent = nullptr);

    // Routes the cancel button, Escape and the close box to `presenter`; call once.
    void Bind(ProgressPresenter& presenter) { presenter_ = &presenter; }

    // ProgressView
    void SetMessage(const std::string& text) override;
    void SetProgressRange(double min, double max) override;
    void SetProgressValue(double value) override;
    void SetBytesText(const std::string& text) override;
    void ShowWindow() override;
    void HideWindow() override;

    QLabel* lbMsg = nullptr;
    QProgressBar* PB = nullptr;
    QLabel* lbBytes = nullptr;
    QPushButton* cbCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowMessage();
    void ShowValue();

    Program& program_;
    ProgressPresenter* presenter_ = nullptr;
    QString message_;
    double min_ = 0;
    double max_ = 100;
    double value_ = 0;
    bool centred_ = false;
};

}  // namespace vexal
