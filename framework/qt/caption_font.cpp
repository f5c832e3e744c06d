#include "framework/qt/caption_font.h"

#include <QFontDatabase>

namespace fw::qt {

QFont CaptionFont(const TextStyle& lettering) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  if (lettering.font != "System") font.setFamily(QString::fromStdString(lettering.font));
  // The original platform drew one point as one pixel.
  if (lettering.size > 0) font.setPixelSize(lettering.size);
  font.setBold(lettering.bold);
  font.setItalic(lettering.italic);
  font.setUnderline(lettering.underline);
  return font;
}

}  // namespace fw::qt
