// The preview window in Qt Widgets.
#include "ui/qt/preview_window.h"

#include <QCloseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <memory>

#include "ui/qt/floating_window.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/twips.h"

namespace vexal {
namespace {

// The layout rules count the window's outer size, frame included. Qt cannot know the
// frame a window manager draws (and under Wayland or offscreen there is none to ask
// about), so the outer size is the client area plus the frame of a small tool window, the
// frame the rules were made for. The window then looks the same everywhere.
constexpr double kFrameWidthTwips = 120;
constexpr double kFrameHeightTwips = 405;

}  // namespace

QtPictureBox::QtPictureBox(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

void QtPictureBox::SetPicture(const Picture& picture) {
    if (picture.Empty()) {
        ClearPicture();
        return;
    }
    // Wraps the decoder's pixels without copying them; the QImage keeps them alive.
    auto* keep = new Picture(picture);
    image_ = QImage(
        reinterpret_cast<const uchar*>(keep->pixels), keep->width, keep->height,
        static_cast<qsizetype>(keep->stride * 4),
        keep->hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32,
        [](void* p) { delete static_cast<Picture*>(p); }, keep);
    scaled_ = QImage();
    update();
}

void QtPictureBox::ClearPicture() {
    image_ = QImage();
    scaled_ = QImage();
    backdrop_.reset();
    update();
}

void QtPictureBox::SetBackdrop(std::optional<std::uint32_t> colour) {
    backdrop_ = colour;
    update();
}

void QtPictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (image_.isNull()) return;
    const QRect target = contentsRect();
    if (target.isEmpty()) return;
    // The picture keeps its shape: as large as the area allows, centred, and the window's
    // own background around it. Worked out in device pixels, so it stays sharp when scaled.
    const qreal ratio = devicePixelRatio();
    const QSize device = target.size() * ratio;
    const PixelRect fitted = FitInside(image_.width(), image_.height(), device.width(), device.height());
    if (scaled_.size() != QSize(fitted.width, fitted.height))
        scaled_ = image_.scaled(fitted.width, fitted.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled_.setDevicePixelRatio(ratio);
    QPainter painter(this);
    if (backdrop_) painter.fillRect(target, QColor::fromRgb(*backdrop_ & 0xFFFFFFu));
    painter.drawImage(QPointF(target.topLeft()) + QPointF(fitted.x / ratio, fitted.y / ratio), scaled_);
}

QtWrappingButton::QtWrappingButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void QtWrappingButton::paintEvent(QPaintEvent* event) {
    // Only the frame's pixel on each side is kept clear: a caption that fits in one line
    // is drawn as the style draws it.
    const QRect textArea = rect().adjusted(1, 0, -1, 0);
    if (fontMetrics().horizontalAdvance(text()) <= textArea.width()) {
        QPushButton::paintEvent(event);
        return;
    }
    // The bevel without a caption, then the caption broken into lines.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.drawItemText(textArea, Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(), text(),
                         QPalette::ButtonText);
}

QtPreviewWindow::QtPreviewWindow(Language language, QWidget* parent) : QWidget(parent) {
    const PreviewCaptions captions = PreviewCaptionsIn(language);
    setObjectName("frPreview");
    // A sizable dialog window with a close box only: tiling window managers and
    // compositors float dialogs instead of stretching them over the screen.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    imGrp = new QtPictureBox(this);
    cbSetWP = new QtWrappingButton(QString::fromUtf8(captions.setWP), this);
    cbCancel = new QtWrappingButton(QString::fromUtf8(captions.cancel), this);
    cbRetry = new QtWrappingButton(QString::fromUtf8(captions.retry), this);
    for (QPushButton* b : {cbSetWP, cbCancel, cbRetry}) b->setAutoDefault(false);
    cbSetWP->setEnabled(false);
    setTabOrder(cbSetWP, cbCancel);
    setTabOrder(cbCancel, cbRetry);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cbCancel, &QPushButton::click);

    // Until the first layout runs, the controls stand where they belong at the opening size.
    imGrp->setGeometry(TwipsToPixels(this, TwipRect{105, 75, 4800, 3600}));
    cbSetWP->setGeometry(TwipsToPixels(this, TwipRect{420, 3765, 945, 495}));
    cbCancel->setGeometry(TwipsToPixels(this, TwipRect{3240, 3795, 945, 495}));
    cbRetry->setGeometry(TwipsToPixels(this, TwipRect{1650, 3825, 945, 495}));
    resize(TwipsToPixels(this, kPreviewClientWidth, kPreviewClientHeight));
    setMinimumSize(
        TwipsToPixels(this, kPreviewMinWidth - kFrameWidthTwips, kPreviewMinHeight - kFrameHeightTwips));
}

void QtPreviewWindow::Bind(PreviewPresenter& presenter) {
    presenter_ = &presenter;
    connect(cbSetWP, &QPushButton::clicked, this, [this] { presenter_->cbSetWP_Click(); });
    connect(cbRetry, &QPushButton::clicked, this, [this] { presenter_->cbRetry_Click(); });
    connect(cbCancel, &QPushButton::clicked, this, [this] { presenter_->cbCancel_Click(); });
}

double QtPreviewWindow::OuterWidthTwips() const { return PixelsToTwipsX(this, width()) + kFrameWidthTwips; }
double QtPreviewWindow::OuterHeightTwips() const {
    return PixelsToTwipsY(this, height()) + kFrameHeightTwips;
}

void QtPreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (presenter_) presenter_->Form_Resize(OuterWidthTwips(), OuterHeightTwips());
}

void QtPreviewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (presenter_) presenter_->Form_Resize(OuterWidthTwips(), OuterHeightTwips());
}

void QtPreviewWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (presenter_) presenter_->Form_Unload();
}

void QtPreviewWindow::SetCaption(const std::string& text) { setWindowTitle(ToQString(text)); }

void QtPreviewWindow::ShowWindow() {
    if (!centred_) {
        centred_ = true;
        CentreOnScreen(this);
    }
    // No other window of the program is left on the screen to be its parent, and it is
    // sizable: on sway it would be tiled over the whole output.
    HoldSizeWhileAppearing(this);
    show();
    raise();
    activateWindow();
}

void QtPreviewWindow::HideWindow() { hide(); }

void QtPreviewWindow::ResizeWindow(double widthTwips, double heightTwips) {
    resize(TwipsToPixels(this, widthTwips - kFrameWidthTwips, heightTwips - kFrameHeightTwips));
}

void QtPreviewWindow::PlaceControl(PreviewControl control, const TwipRect& rect) {
    QWidget* widget = nullptr;
    switch (control) {
        case PreviewControl::imGrp:
            widget = imGrp;
            break;
        case PreviewControl::cbSetWP:
            widget = cbSetWP;
            break;
        case PreviewControl::cbRetry:
            widget = cbRetry;
            break;
        case PreviewControl::cbCancel:
            widget = cbCancel;
            break;
    }
    if (widget) widget->setGeometry(TwipsToPixels(this, rect));
}

void QtPreviewWindow::SetPicture(const Picture& picture) { imGrp->SetPicture(picture); }

void QtPreviewWindow::ClearPicture() { imGrp->ClearPicture(); }

void QtPreviewWindow::SetSetWPEnabled(bool enabled) { cbSetWP->setEnabled(enabled); }

}  // namespace vexal
