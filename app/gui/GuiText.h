// Text crosses between the system's single-byte code page and Qt only here.
#ifndef TORVANE_APP_GUI_GUITEXT_H_
#define TORVANE_APP_GUI_GUITEXT_H_

#include <QColor>
#include <QString>
#include <array>
#include <string>
#include <string_view>

#include "AnsiText.h"

class QWidget;

namespace torvane {

inline QString ToQt(std::string_view ansi) { return QString::fromStdString(AnsiToUtf8(ansi)); }
inline std::string FromQt(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

struct PaletteEntry {
  const char* name;
  QColor colour;
};

// The receivers' 16 colours in index order, as the colour choosers list them.
const std::array<PaletteEntry, 16>& Palette();
// The colour of index; white for anything outside 0..15.
QColor PaletteColour(int index);
// Gives widget the palette's colours as its text (fore) and box (back) colours.
// Each index is taken on its own: one outside 0..15 leaves that colour as it was.
void PaintWithPalette(QWidget* widget, int foreIndex, int backIndex);

}  // namespace torvane

#endif  // TORVANE_APP_GUI_GUITEXT_H_
