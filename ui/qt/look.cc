#include "ui/qt/look.h"

#include <QStringList>

namespace tallyrun::ui::qt {
namespace {

QFont Gothic(const QStringList& families, QFont::StyleHint hint) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(hint);
  font.setPointSize(9);
  font.setWeight(QFont::Normal);
  return font;
}

}  // namespace

// The IPA faces come first: they keep the Windows faces' metrics (one em from
// line to line), which the layouts' label heights were drawn for.
QFont GothicFont() {
  return Gothic({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"),
                 QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("VL Gothic"),
                 QStringLiteral("monospace")},
                QFont::Monospace);
}

QFont ProportionalGothicFont() {
  return Gothic({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                 QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                 QStringLiteral("sans-serif")},
                QFont::SansSerif);
}

QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
               TwipsToPixels(height));
}

QSize TwipsSize(int width, int height) {
  return QSize(TwipsToPixels(width), TwipsToPixels(height));
}

QString ShownLines(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

QString WithoutMnemonic(const QString& caption) {
  QString shown;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  return shown;
}

}  // namespace tallyrun::ui::qt
