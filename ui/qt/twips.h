// Twips (1/1440 inch), the unit the windows' layouts are given in, against the pixels of
// the screen a widget is on, at that screen's logical DPI.
#pragma once

#include <QRect>
#include <QSize>

#include "ui/preview_layout.h"

class QWidget;

namespace vexal {

inline constexpr double kTwipsPerInch = 1440.0;

int TwipsToPixelsX(const QWidget* widget, double twips);
int TwipsToPixelsY(const QWidget* widget, double twips);
double PixelsToTwipsX(const QWidget* widget, int pixels);
double PixelsToTwipsY(const QWidget* widget, int pixels);
QRect TwipsToPixels(const QWidget* widget, const TwipRect& rect);
QSize TwipsToPixels(const QWidget* widget, double width, double height);

// Puts a top-level window in the middle of the screen it is on.
void CentreOnScreen(QWidget* window);

}  // namespace vexal
