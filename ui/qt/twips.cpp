// Twips and pixels.
#include "ui/qt/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace vexal {
namespace {

int ToPixels(double twips, int dpi) { return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch)); }
double ToTwips(int pixels, int dpi) { return dpi > 0 ? pixels * kTwipsPerInch / dpi : 0; }

}  // namespace

int TwipsToPixelsX(const QWidget* widget, double twips) { return ToPixels(twips, widget->logicalDpiX()); }
int TwipsToPixelsY(const QWidget* widget, double twips) { return ToPixels(twips, widget->logicalDpiY()); }
double PixelsToTwipsX(const QWidget* widget, int pixels) { return ToTwips(pixels, widget->logicalDpiX()); }
double PixelsToTwipsY(const QWidget* widget, int pixels) { return ToTwips(pixels, widget->logicalDpiY()); }

QRect TwipsToPixels(const QWidget* widget, const TwipRect& rect) {
    // Both edges are converted, not the size, so neighbours that touch in twips touch in
    // pixels too.
    const int left = TwipsToPixelsX(widget, rect.Left);
    const int top = TwipsToPixelsY(widget, rect.Top);
    const int right = TwipsToPixelsX(widget, static_cast<double>(rect.Left) + rect.Width);
    const int bottom = TwipsToPixelsY(widget, static_cast<double>(rect.Top) + rect.Height);
    return QRect(left, top, right - left, bottom - top);
}

QSize TwipsToPixels(const QWidget* widget, double width, double height) {
    return QSize(TwipsToPixelsX(widget, width), TwipsToPixelsY(widget, height));
}

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(available.center());
    window->move(frame.topLeft());
}

}  // namespace vexal
