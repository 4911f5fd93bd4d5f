// The progress window in Qt Widgets.
#include "ui/qt/progress_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <cmath>

#include "ui/qt/qt_text.h"
#include "ui/qt/twips.h"

namespace vexal {
namespace {

// The bar's own range: the transfer's range (a byte count that may exceed what an int
// holds) is mapped onto it.
constexpr int kBarSteps = 10000;

}  // namespace

QtProgressWindow::QtProgressWindow(Program& program, QWidget* parent) : QWidget(parent), program_(program) {
    setObjectName("frDisp");
    // A fixed dialog window with a close box, no minimise or maximise; tiling window
    // managers and compositors float dialogs.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(TwipsToPixels(this, kProgressClientWidth, kProgressClientHeight));

    lbMsg = new QLabel(this);
    lbMsg->setGeometry(TwipsToPixels(this, kProgressLbMsg));
    lbMsg->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lbMsg->setTextFormat(Qt::PlainText);

    PB = new QProgressBar(this);
    PB->setGeometry(TwipsToPixels(this, kProgressPB));
    PB->setRange(0, kBarSteps);
    PB->setValue(0);
    PB->setTextVisible(false);

    lbBytes = new QLabel(this);
    lbBytes->setGeometry(TwipsToPixels(this, kProgressLbBytes));
    lbBytes->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lbBytes->setTextFormat(Qt::PlainText);

    cbCancel = new QPushButton(QString::fromUtf8(CancelCaption(program.UserLanguage)), this);
    cbCancel->setGeometry(TwipsToPixels(this, kProgressCbCancel));
    cbCancel->setDefault(false);
    cbCancel->setAutoDefault(false);
    connect(cbCancel, &QPushButton::clicked, this, [this] {
        if (presenter_) presenter_->cbCancel_Click();
    });
    // The cancel button is the window's cancel button: Escape presses it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cbCancel, &QPushButton::click);
}

void QtProgressWindow::SetMessage(const std::string& text) {
    message_ = ToQString(text);
    ShowMessage();
}

void QtProgressWindow::ShowMessage() {
    // A long address does not fit the label; its middle gives way, and the whole text
    // stays available as the tool tip.
    const QString shown = lbMsg->fontMetrics().elidedText(message_, Qt::ElideMiddle, lbMsg->width());
    lbMsg->setText(shown);
    lbMsg->setToolTip(shown == message_ ? QString() : message_);
}

void QtProgressWindow::SetProgressRange(double min, double max) {
    min_ = min;
    max_ = max;
    ShowValue();
}

void QtProgressWindow::SetProgressValue(double value) {
    value_ = value;
    ShowValue();
}

void QtProgressWindow::SetBytesText(const std::string& text) { lbBytes->setText(ToQString(text)); }

void QtProgressWindow::ShowValue() {
    double fraction = max_ > min_ ? (value_ - min_) / (max_ - min_) : 0.0;
    if (!(fraction >= 0)) fraction = 0;  // also NaN
    if (fraction > 1) fraction = 1;
    PB->setValue(static_cast<int>(std::lround(fraction * kBarSteps)));
}

void QtProgressWindow::ShowWindow() {
    setWindowTitle(ToQString(program_.TitleText));
    if (!centred_) {
        centred_ = true;
        CentreOnScreen(this);
    }
    show();
    raise();
}

void QtProgressWindow::HideWindow() { hide(); }

void QtProgressWindow::closeEvent(QCloseEvent* event) {
    // Closing the window is cancelling: the retrieval that runs must learn of it.
    event->ignore();
    if (presenter_) presenter_->cbCancel_Click();
}

}  // namespace vexal
