// The "Receiver" view: the station's image decoded as a receiver card reads it
// (index table, page blocks, colour bytes, checksums), one page drawn 20
// characters wide in its palette colours, as the spectators see it.
#ifndef TORVANE_APP_GUI_RECEIVERPREVIEW_H_
#define TORVANE_APP_GUI_RECEIVERPREVIEW_H_

#include <QWidget>

#include "ImageDecoder.h"

class QLabel;
class QSpinBox;

namespace torvane {

class Station;

class ReceiverPreview : public QWidget {
  Q_OBJECT

 public:
  explicit ReceiverPreview(Station& station, QWidget* parent = nullptr);

  // Decodes the image again and repaints.
  void Refresh();
  // Shows page (when the card holds it).
  void SelectPage(int page);
  const DecodedImage& Decoded() const { return decoded_; }
  // The page drawn; null when the card holds no such page.
  const DecodedPage* ShownPage() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Station& station_;
  DecodedImage decoded_;
  int page_ = 0;
  QSpinBox* spnPage_;
  QLabel* lblState_;
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_RECEIVERPREVIEW_H_
