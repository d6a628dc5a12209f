// The link health inside the operator window: the rows the web view's status
// page shows, from the station's published snapshot, read again every
// kRefreshMs while shown and at once when shown.
#ifndef TORVANE_APP_GUI_LINKHEALTHWINDOW_H_
#define TORVANE_APP_GUI_LINKHEALTHWINDOW_H_

#include <QColor>
#include <QWidget>
#include <memory>

#include "StationSnapshots.h"

class QTableWidget;
class QTimer;

namespace torvane {

class LinkHealthWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 500;
  static inline const QColor kUpColour{0, 128, 0};
  static inline const QColor kDownColour{192, 0, 0};

  // Keeps snapshots alive as long as the window lives.
  explicit LinkHealthWindow(std::shared_ptr<const StationSnapshots> snapshots,
                            QWidget* parent = nullptr);

  // Shows the latest published snapshot.
  void Refresh();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  std::shared_ptr<const StationSnapshots> snapshots_;
  std::shared_ptr<const HealthSnapshot> shown_;
  QTableWidget* tblLinkHealth_;
  QTimer* timer_;
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_LINKHEALTHWINDOW_H_
