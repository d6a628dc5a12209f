// The "Receiver" view: the image as the transmitter has acknowledged it, decoded
// as a receiver card reads it (index table, page blocks, colour bytes,
// checksums), one page drawn 20 characters wide in its palette colours: what the
// spectators see, not what the station is still sending.
#ifndef TORVANE_APP_GUI_RECEIVERPREVIEW_H_
#define TORVANE_APP_GUI_RECEIVERPREVIEW_H_

#include <QWidget>

#include <cstdint>

#include "AcknowledgedImage.h"
#include "ImageDecoder.h"

class QLabel;
class QSpinBox;

namespace torvane {

class ReceiverPreview : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kWaitingText = "waiting for the first pass";

  // card must outlive the view.
  explicit ReceiverPreview(const AcknowledgedImage& card, QWidget* parent = nullptr);

  // Decodes the card's image again and repaints, when packets were accepted since.
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
  const AcknowledgedImage& card_;
  uint64_t decodedRevision_ = UINT64_MAX;
  DecodedImage decoded_;
  int page_ = 0;
  QSpinBox* spnPage_;
  QLabel* lblState_;
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_RECEIVERPREVIEW_H_
