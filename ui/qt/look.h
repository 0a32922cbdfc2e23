// What every window shares: the Japanese Gothic faces and layout positions
// given in twips (1/1440 inch, 15 to a pixel; Qt scales pixels on high DPI).
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

namespace tallyrun::ui::qt {

// Fixed-pitch, for the windows themselves.
QFont GothicFont();
// Proportional, for some buttons and the credits.
QFont ProportionalGothicFont();

constexpr int TwipsToPixels(int twips) { return (twips + 7) / 15; }
QRect TwipsRect(int left, int top, int width, int height);
QSize TwipsSize(int width, int height);

// Captions and prompts break lines with a bare carriage return (or CR LF);
// Qt's labels break only on a line feed.
QString ShownLines(const QString& text);
// A caption as drawn and heard: "&" marks the letter that reaches the
// control with Alt, "&&" stands for "&".
QString WithoutMnemonic(const QString& caption);

}  // namespace tallyrun::ui::qt
