// Holding a window's size until the compositor has shown it.
#include "ui/qt/floating_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

namespace vexal {
namespace {

// Gives the window its limits back after its first frame. The frame is committed to the
// compositor right after the paint, within the same turn of the event loop, so the limits
// change in a later commit: the compositor has placed the window by then.
class SizeRelease final : public QObject {
public:
    SizeRelease(QWidget* window, QSize minimum, QSize maximum)
        : QObject(window), window_(window), minimum_(minimum), maximum_(maximum) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint && !released_) {
            released_ = true;
            QTimer::singleShot(0, this, [this] {
                window_->removeEventFilter(this);
                window_->setMinimumSize(minimum_);
                window_->setMaximumSize(maximum_);
                // The new limits reach the compositor with the window's next frame.
                window_->update();
                done_ = true;
                deleteLater();
            });
        }
        return false;
    }

    // Until the limits are back, holding again must not take the held size for them.
    bool Pending() const { return !done_; }

private:
    QWidget* window_;
    QSize minimum_;
    QSize maximum_;
    bool released_ = false;
    bool done_ = false;
};

}  // namespace

void HoldSizeWhileAppearing(QWidget* window) {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) HoldSizeUntilPainted(window);
}

void HoldSizeUntilPainted(QWidget* window) {
    // A window already on the screen has been placed.
    if (window->isVisible()) return;
    // Held already and not yet let loose: the limits to give back are the ones saved then.
    for (QObject* child : window->children())
        if (auto* release = dynamic_cast<SizeRelease*>(child); release && release->Pending()) return;
    const QSize minimum = window->minimumSize();
    const QSize maximum = window->maximumSize();
    if (!window->testAttribute(Qt::WA_Resized)) window->adjustSize();
    window->setFixedSize(window->size());
    window->installEventFilter(new SizeRelease(window, minimum, maximum));
}

}  // namespace vexal
