#include "LinkHealthWindow.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "GuiText.h"
#include "HealthRows.h"

namespace torvane {
namespace {

QTableWidgetItem* Cell(QTableWidget* table, int row, int column) {
  QTableWidgetItem* item = table->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    table->setItem(row, column, item);
  }
  return item;
}

}  // namespace

LinkHealthWindow::LinkHealthWindow(std::shared_ptr<const StationSnapshots> snapshots,
                                   QWidget* parent)
    : QWidget(parent), snapshots_(std::move(snapshots)) {
  setObjectName("LinkHealthWindow");
  tblLinkHealth_ = new QTableWidget(0, 2, this);
  tblLinkHealth_->setObjectName("tblLinkHealth");
  tblLinkHealth_->setHorizontalHeaderLabels({"Figure", "Value"});
  tblLinkHealth_->verticalHeader()->hide();
  tblLinkHealth_->horizontalHeader()->setStretchLastSection(true);
  tblLinkHealth_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblLinkHealth_->setSelectionMode(QAbstractItemView::NoSelection);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(tblLinkHealth_);
  timer_ = new QTimer(this);
  timer_->setInterval(kRefreshMs);
  connect(timer_, &QTimer::timeout, this, &LinkHealthWindow::Refresh);
  resize(460, 420);
  Refresh();
}

void LinkHealthWindow::Refresh() {
  std::shared_ptr<const HealthSnapshot> health = snapshots_->Health();
  // The station publishes a new copy on every tick; the same copy reads the same.
  if (health == shown_) return;
  shown_ = std::move(health);
  const std::vector<HealthRow> rows = HealthRows(*shown_);
  tblLinkHealth_->setRowCount(static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    const HealthRow& row = rows[i];
    const int r = static_cast<int>(i);
    Cell(tblLinkHealth_, r, 0)->setText(ToQt(row.name));
    QTableWidgetItem* value = Cell(tblLinkHealth_, r, 1);
    value->setText(ToQt(row.value));
    switch (row.tone) {
      case HealthRow::Tone::kUp:
        value->setForeground(kUpColour);
        break;
      case HealthRow::Tone::kDown:
        value->setForeground(kDownColour);
        break;
      case HealthRow::Tone::kPlain:
        value->setData(Qt::ForegroundRole, {});
        break;
    }
  }
  tblLinkHealth_->resizeColumnToContents(0);
}

void LinkHealthWindow::showEvent(QShowEvent* event) {
  Refresh();
  timer_->start();
  QWidget::showEvent(event);
}

void LinkHealthWindow::hideEvent(QHideEvent* event) {
  timer_->stop();
  QWidget::hideEvent(event);
}

}  // namespace torvane
