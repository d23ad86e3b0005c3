// "Audio settings...": the embedded synth's SoundFont, audio driver, sample rate and gain. The
// values apply from the synth's next opening; the main window reopens it when it is in use.
// UI thread only.
#pragma once

#include <QDialog>

#include "devices/gm_synth.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

namespace varnel {

class TAudioForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAudioForm(QWidget* parent = nullptr);

  void SetValues(const SynthSettings& settings);
  SynthSettings Values() const;

  QLineEdit* SoundFont = nullptr;
  QComboBox* Driver = nullptr;
  QComboBox* SampleRate = nullptr;
  QDoubleSpinBox* Gain = nullptr;

 private:
  void ShowFound();

  QLabel* found_ = nullptr;
};

// The audio systems FluidSynth may drive; the empty entry tries them in turn.
QStringList AudioDriverChoices();

}  // namespace varnel
