// TChannelBar: the content of the channel bar, which edits the current song channel: "Chn." and
// its number, "Vol." (a track bar and a slider, the colour scheme shows one) with its number,
// "d/a releases", "Trn." with its octave presets, "MIDI Chn." and "Prg." with "+" and "-".
// The bar shows values and reports what the user changed; the main window stores and sends.
// Each group is an item of its own on the tool bar, so a narrow window folds the last groups into
// the bar's extension menu. UI thread only.
#pragma once

#include <QObject>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QToolBar;
class QToolButton;

namespace varnel {

class NumberField;

class TChannelBar : public QObject {
  Q_OBJECT

 public:
  // Fills `bar`, which owns the controls.
  explicit TChannelBar(QToolBar* bar);

  // Display only, no signals. A MIDI channel or program outside the lists shows no selection.
  void ShowChannel(int channel, int midiChannel, int velocity, bool releases, int transpose);
  void ShowVelocity(int velocity);
  // UpdateCombo2Index: the program list selects `program`.
  void ShowProgram(int program);
  // "+" (1) and "-" (-1): the next or previous program when there is one, then `programChanged`,
  // also at the ends of the list.
  void StepProgram(int delta);
  // The scheme shows either the track bar or the slider of "Vol.".
  void SetSliderVisible(bool slider);

  QLabel* ChannelNumber;
  QSlider* VolumeTrackBar;
  QSlider* VolumeSlider;
  QLabel* VolumeLabel;
  QCheckBox* Releases;
  NumberField* Transpose;
  QComboBox* MidiChannel;
  QComboBox* Program;
  QToolButton* ProgramUp;
  QToolButton* ProgramDown;

 signals:
  void velocityChanged(int velocity);
  void releasesClicked(bool checked);
  void transposeChanged(int semitones);
  void midiChannelChanged(int midiChannel);
  void programChanged(int program);
};

}  // namespace varnel
