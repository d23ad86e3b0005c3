#include "app/audio_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace varnel {

QStringList AudioDriverChoices() {
  return {QString(), QStringLiteral("pipewire"), QStringLiteral("pulseaudio"), QStringLiteral("jack"),
          QStringLiteral("alsa"), QStringLiteral("sdl2"), QStringLiteral("oss")};
}

TAudioForm::TAudioForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Audio settings"));
  auto* form = new QFormLayout(this);

  SoundFont = new QLineEdit(this);
  auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
  auto* row = new QHBoxLayout;
  row->addWidget(SoundFont, 1);
  row->addWidget(browse);
  form->addRow(QStringLiteral("SoundFont:"), row);
  found_ = new QLabel(this);
  found_->setWordWrap(true);
  form->addRow(QString(), found_);

  Driver = new QComboBox(this);
  for (const QString& name : AudioDriverChoices())
    Driver->addItem(name.isEmpty() ? QStringLiteral("Automatic (the first that works)") : name, name);
  form->addRow(QStringLiteral("Audio output:"), Driver);

  SampleRate = new QComboBox(this);
  for (int rate : {22050, 44100, 48000, 96000}) SampleRate->addItem(QString::number(rate), rate);
  form->addRow(QStringLiteral("Sample rate:"), SampleRate);

  Gain = new QDoubleSpinBox(this);
  Gain->setRange(0.0, 10.0);
  Gain->setSingleStep(0.05);
  Gain->setDecimals(2);
  form->addRow(QStringLiteral("Gain:"), Gain);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("SoundFont"), SoundFont->text(),
                                                      QStringLiteral("SoundFonts (*.sf2 *.sf3 *.dls);;All files (*)"));
    if (!file.isEmpty()) SoundFont->setText(file);
  });
  connect(SoundFont, &QLineEdit::textChanged, this, &TAudioForm::ShowFound);
  SetValues({});
}

void TAudioForm::SetValues(const SynthSettings& settings) {
  SoundFont->setText(QString::fromStdString(settings.soundFont));
  const int driver = Driver->findData(QString::fromStdString(settings.audioDriver));
  Driver->setCurrentIndex(driver < 0 ? 0 : driver);
  const int rate = SampleRate->findData(int(settings.sampleRate));
  SampleRate->setCurrentIndex(rate < 0 ? SampleRate->findData(44100) : rate);
  Gain->setValue(settings.gain);
  ShowFound();
}

SynthSettings TAudioForm::Values() const {
  SynthSettings settings;
  settings.soundFont = SoundFont->text().trimmed().toStdString();
  settings.audioDriver = Driver->currentData().toString().toStdString();
  settings.sampleRate = SampleRate->currentData().toInt();
  settings.gain = Gain->value();
  return settings;
}

// Which SoundFont the synth will load with the path as typed: the search goes on past a missing file.
void TAudioForm::ShowFound() {
  const std::string found = FindSoundFont(SoundFont->text().trimmed().toStdString());
  found_->setText(found.empty() ? QStringLiteral("No General MIDI SoundFont found: the synth stays silent.")
                                : QStringLiteral("In use: %1").arg(QString::fromStdString(found)));
}

}  // namespace varnel
