#include "AboutDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace torvane {

QString AboutDialog::VersionText(int major, int minor, int revision) {
  return QString("Torvane TX  ") + " v" + QString::number(major) + "." + QString::number(minor) +
         "." + QString::number(revision);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAbout");
  setWindowTitle("Torvane TX - About");
  auto* frame = new QGroupBox("TorvaneTX Software", this);
  frame->setObjectName("Frame1");
  auto* grid = new QGridLayout(frame);
  const auto label = [frame](const char* name, const QString& text) {
    auto* l = new QLabel(text, frame);
    l->setObjectName(name);
    return l;
  };
  grid->addWidget(label("Label2", "Software Type:"), 0, 0);
  grid->addWidget(label("lblSoftwareType", "Transmitter Software Package"), 0, 1);
  grid->addWidget(label("Label1", "Version:"), 1, 0);
  grid->addWidget(label("lblVersion", VersionText(TORVANE_VERSION_MAJOR, TORVANE_VERSION_MINOR,
                                                  TORVANE_VERSION_PATCH)),
                  1, 1);
  auto* logo = new QLabel(this);
  logo->setObjectName("picLogo");
  logo->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("cmdOK");
  auto* cancel = new QPushButton("&Cancel", this);
  cancel->setObjectName("cmdCancel");
  auto* layout = new QGridLayout(this);
  layout->addWidget(logo, 0, 0);
  layout->addWidget(frame, 0, 1, 1, 2);
  layout->addWidget(ok, 1, 1);
  layout->addWidget(cancel, 1, 2);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace torvane
