#include "ReceiverPreview.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSpinBox>
#include <QVBoxLayout>

#include "GuiText.h"

namespace torvane {
namespace {

constexpr int kTopMargin = 34;
constexpr int kColumns = 20;

QColor Fore(int colourByte) { return PaletteColour(colourByte & 0x0F); }
QColor Back(int colourByte) { return PaletteColour((colourByte >> 4) & 0x0F); }

}  // namespace

ReceiverPreview::ReceiverPreview(const AcknowledgedImage& card, QWidget* parent)
    : QWidget(parent), card_(card) {
  setObjectName("ReceiverPreview");
  spnPage_ = new QSpinBox(this);
  spnPage_->setObjectName("spnReceiverPage");
  spnPage_->setRange(0, 126);
  spnPage_->setPrefix("Page ");
  lblState_ = new QLabel(this);
  lblState_->setObjectName("lblReceiverState");
  auto* top = new QHBoxLayout;
  top->addWidget(spnPage_);
  top->addWidget(lblState_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(top);
  layout->addStretch(1);
  connect(spnPage_, &QSpinBox::valueChanged, this, [this](int page) {
    page_ = page;
    update();
  });
  Refresh();
}

QSize ReceiverPreview::sizeHint() const {
  const QFontMetrics metrics(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return {metrics.horizontalAdvance(QString(kColumns + 2, 'W')) + 8,
          kTopMargin + metrics.height() * 16};
}

void ReceiverPreview::Refresh() {
  if (card_.Revision() == decodedRevision_) return;
  decodedRevision_ = card_.Revision();
  const MapImageBytes& image = card_.Bytes();
  decoded_ = DecodeImage(std::span<const uint8_t>(image.data(), image.size()));
  if (card_.Revision() == 0) {
    // A card that has taken nothing is not a card with bad rows.
    lblState_->setText(kWaitingText);
    update();
    return;
  }
  QString state = QString("%1 pages").arg(decoded_.pages.size());
  if (!decoded_.Valid()) {
    state += QString(", %1 bad checksums").arg(decoded_.badChecksums.size());
  }
  if (decoded_.tickerRunning) state += ", ticker";
  lblState_->setText(state);
  update();
}

void ReceiverPreview::SelectPage(int page) { spnPage_->setValue(page); }

const DecodedPage* ReceiverPreview::ShownPage() const {
  for (const DecodedPage& page : decoded_.pages) {
    if (page.number == page_) return &page;
  }
  return nullptr;
}

void ReceiverPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(30, 30, 30));
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const int cell = metrics.horizontalAdvance('W');
  const int height = metrics.height();
  const int left = 4;
  int top = kTopMargin;
  const DecodedPage* page = ShownPage();
  if (page == nullptr) {
    painter.setPen(Qt::white);
    painter.drawText(left, top + metrics.ascent(), "No such page on the card");
    return;
  }
  const auto row = [&](const std::string& text, int colourByte, int width) {
    painter.fillRect(left, top, cell * width, height, Back(colourByte));
    painter.setPen(Fore(colourByte));
    painter.drawText(left, top + metrics.ascent(), ToQt(text));
    top += height;
  };
  row(page->title, page->titleColour, kColumns);
  for (const DecodedLine& line : page->lines) {
    if (top > this->height()) break;
    row(line.text, page->pageColour, kColumns);
  }
  if (decoded_.tickerRunning && !decoded_.ticker.empty()) {
    top = std::max(top, this->height() - height - 2);
    row(decoded_.ticker.substr(0, kColumns), decoded_.tickerColour, kColumns);
  }
}

}  // namespace torvane
