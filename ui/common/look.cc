#include "ui/common/look.h"

#include <QStringList>

namespace tallyrun::ui {
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

QFont GothicFont() {
  return Gothic({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("Noto Sans Mono CJK JP"),
                 QStringLiteral("IPAGothic"), QStringLiteral("VL Gothic"),
                 QStringLiteral("monospace")},
                QFont::Monospace);
}

QFont ProportionalGothicFont() {
  return Gothic({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP"),
                 QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic"),
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

}  // namespace tallyrun::ui
