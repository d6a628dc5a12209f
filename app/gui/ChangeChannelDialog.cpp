#include "ChangeChannelDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace torvane {

ChangeChannelDialog::ChangeChannelDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("frmChangeChannel");
  setWindowTitle("TorvaneTX - Change Torvane Transmitter Channel");
  auto* label3 = new QLabel("Please select a frequency channel...", this);
  label3->setObjectName("Label3");
  auto* channel = new QComboBox(this);
  channel->setObjectName("cboChannel");
  channel->addItems({"Channel 1", "Channel 2"});
  auto* label1 = new QLabel(
      "Click OK to set the desired channel or cancel to exit without changes.", this);
  label1->setObjectName("Label1");
  label1->setWordWrap(true);
  auto* image = new QLabel(this);
  image->setObjectName("Image1");
  image->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(48, 48));
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("cmdOK");
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("cmdCancel");
  auto* grid = new QGridLayout(this);
  grid->addWidget(image, 0, 0, 3, 1);
  grid->addWidget(label3, 0, 1, 1, 2);
  grid->addWidget(channel, 1, 1, 1, 2);
  grid->addWidget(label1, 2, 1, 1, 2);
  grid->addWidget(ok, 3, 1);
  grid->addWidget(cancel, 3, 2);
  // The transmitter has no command for a channel: OK only closes.
  connect(ok, &QPushButton::clicked, this, [this, ok] {
    ok->setEnabled(false);
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace torvane
