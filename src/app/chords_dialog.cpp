#include "app/chords_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "editing/chords.h"

namespace varnel {

TChordsForm::TChordsForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ChordsForm"));
  setWindowTitle(QStringLiteral("Chords settings"));
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox(QStringLiteral("  for C3 as example "), this);
  auto* boxes = new QVBoxLayout(group);
  for (int i = 0; i < 8; ++i) {
    const QString caption =
        i < ChordBoxCount ? QString::fromStdString(ChordBoxCaption(i)) : QStringLiteral("29 - C7");
    CheckBoxes[size_t(i)] = new QCheckBox(caption, group);
    CheckBoxes[size_t(i)]->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
    boxes->addWidget(CheckBoxes[size_t(i)]);
  }
  CheckBoxes[7]->hide();
  layout->addWidget(group);
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  OkButton->setDefault(true);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(OkButton);
  layout->addLayout(row);

  SetBoxes(static_cast<unsigned>(DefaultChordBoxes.to_ulong()));
  for (int i = 0; i < ChordBoxCount; ++i)
    connect(CheckBoxes[size_t(i)], &QCheckBox::toggled, this, [this] { emit boxesChanged(Boxes()); });
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
}

unsigned TChordsForm::Boxes() const {
  unsigned bits = 0;
  for (int i = 0; i < ChordBoxCount; ++i)
    if (CheckBoxes[size_t(i)]->isChecked()) bits |= 1u << i;
  return bits;
}

void TChordsForm::SetBoxes(unsigned boxes) {
  for (int i = 0; i < ChordBoxCount; ++i) CheckBoxes[size_t(i)]->setChecked(boxes & (1u << i));
}

}  // namespace varnel
