#include "app/fill_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/user_dialogs.h"

namespace varnel {

TFillForm::TFillForm(UserDialogs& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("FillForm"));
  setWindowTitle(QStringLiteral("Fill"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  From = new QSpinBox(this);
  To = new QSpinBox(this);
  for (QSpinBox* box : {From, To}) box->setRange(0, FillSettings::MaxValue);
  From->setValue(0);
  To->setValue(127);
  form->addRow(QStringLiteral("From"), From);
  form->addRow(QStringLiteral("To"), To);
  PingPong = new QCheckBox(QStringLiteral("Ping-pong"), this);
  form->addRow(PingPong);
  Count = new QComboBox(this);
  Count->setEditable(true);
  Count->addItems({"1", "2", "4", "8", "16", "32"});
  Count->setCurrentIndex(0);
  form->addRow(QStringLiteral("Count"), Count);
  Method = new QComboBox(this);
  Method->addItems({"Linear", "Sin", "1-Sin"});
  form->addRow(QStringLiteral("Method"), Method);
  layout->addLayout(form);
  NotOverwrite = new QCheckBox(QStringLiteral("Not overwrite existing"), this);
  layout->addWidget(NotOverwrite);
  layout->addWidget(new QLabel(QStringLiteral("(from 0 to 100 percent from current value)"), this));
  UseRandom = new QCheckBox(QStringLiteral("Use random values"), this);
  layout->addWidget(UseRandom);

  OkButton = new QPushButton(QStringLiteral("OK"), this);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  OkButton->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  connect(OkButton, &QPushButton::clicked, this, &TFillForm::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFillForm::ReadSettings(FillSettings& settings, QString& problem) const {
  const std::optional<int> count = ParseFillCount(Count->currentText().toStdString());
  if (!count) {
    problem = QString::fromLatin1(CountNotNumberMessage);
    return false;
  }
  settings.from = From->value();
  settings.to = To->value();
  settings.pingPong = PingPong->isChecked();
  settings.count = *count;
  settings.method = static_cast<FillMethod>(std::clamp(Method->currentIndex(), 0, 2));
  settings.notOverwrite = NotOverwrite->isChecked();
  settings.random = UseRandom->isChecked();
  problem = QString::fromStdString(CheckFillSettings(settings));
  return problem.isEmpty();
}

void TFillForm::accept() {
  FillSettings settings;
  QString problem;
  if (!ReadSettings(settings, problem)) {
    dialogs_.Message(this, problem);
    return;
  }
  if (OnFill) OnFill(settings);
  QDialog::accept();
}

}  // namespace varnel
