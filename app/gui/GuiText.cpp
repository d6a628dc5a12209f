#include "GuiText.h"

#include <QWidget>

namespace torvane {

const std::array<PaletteEntry, 16>& Palette() {
  static const std::array<PaletteEntry, 16> palette = {{
      {"Black", QColor(0, 0, 0)},
      {"Dark Grey", QColor(128, 128, 128)},
      {"Medium Grey", QColor(192, 192, 192)},
      {"White", QColor(255, 255, 255)},
      {"Red", QColor(255, 0, 0)},
      {"Dark Red", QColor(128, 0, 0)},
      {"Pink", QColor(255, 0, 255)},
      {"Purple", QColor(128, 0, 128)},
      {"Green", QColor(0, 255, 0)},
      {"Dark Green", QColor(0, 128, 0)},
      {"Cyan", QColor(0, 255, 255)},
      {"Brown", QColor(123, 123, 62)},
      {"Orange", QColor(255, 128, 0)},
      {"Dark Blue", QColor(0, 0, 128)},
      {"Yellow", QColor(255, 255, 0)},
      {"Olive", QColor(64, 128, 128)},
  }};
  return palette;
}

QColor PaletteColour(int index) {
  if (index < 0 || index >= static_cast<int>(Palette().size())) return QColor(255, 255, 255);
  return Palette()[static_cast<size_t>(index)].colour;
}

void PaintWithPalette(QWidget* widget, int foreIndex, int backIndex) {
  const auto valid = [](int i) { return i >= 0 && i < static_cast<int>(Palette().size()); };
  if (!valid(foreIndex) && !valid(backIndex)) return;
  QPalette palette = widget->palette();
  if (valid(foreIndex)) {
    palette.setColor(QPalette::Text, PaletteColour(foreIndex));
    palette.setColor(QPalette::ButtonText, PaletteColour(foreIndex));
  }
  if (valid(backIndex)) {
    palette.setColor(QPalette::Base, PaletteColour(backIndex));
    palette.setColor(QPalette::Button, PaletteColour(backIndex));
  }
  widget->setPalette(palette);
}

}  // namespace torvane
