// The preview window frPreview in Qt Widgets: the picture stretched over the window and
// a row of three buttons, placed where the presenter's layout puts them.
#pragma once

#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QWidget>

#include "ui/preview_presenter.h"

namespace vexal {

// An image control: shows its picture stretched to its own size, inside a thin border.
class QtPictureBox final : public QFrame {
public:
    explicit QtPictureBox(QWidget* parent = nullptr);
    void SetPicture(const Picture& picture);
    void ClearPicture();
    void SetBackdrop(std::optional<std::uint32_t> colour);
    bool HasPicture() const { return !image_.isNull(); }
    QSize PictureSize() const { return image_.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QImage scaled_;  // image_ at the size last painted, so repaints do not scale again
    std::optional<std::uint32_t> backdrop_;
};

// A push button whose caption breaks onto a second line when the button is too narrow
// for it, as the buttons of a small preview window are.
class QtWrappingButton final : public QPushButton {
public:
    QtWrappingButton(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class QtPreviewWindow final : public QWidget, public PreviewWindowView {
public:
    explicit QtPreviewWindow(Language language = Language::Japanese, QWidget* parent = nullptr);
    void Bind(PreviewPresenter& presenter);

    // PreviewWindowView
    void SetCaption(const std::string& text) override;
    void ShowWindow() override;
    void HideWindow() override;
    void ResizeWindow(double widthTwips, double heightTwips) override;
    void PlaceControl(PreviewControl control, const TwipRect& rect) override;
    void SetPicture(const Picture& picture) override;
    void ClearPicture() override;
    void SetSetWPEnabled(bool enabled) override;
    void SetBackdrop(std::optional<std::uint32_t> colour) override { imGrp->SetBackdrop(colour); }

    // The window's outer size in twips as the layout rules count it.
    double OuterWidthTwips() const;
    double OuterHeightTwips() const;

    QtPictureBox* imGrp = nullptr;
    QPushButton* cbSetWP = nullptr;
    QPushButton* cbCancel = nullptr;
    QPushButton* cbRetry = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    PreviewPresenter* presenter_ = nullptr;
    bool centred_ = false;
};

}  // namespace vexal
