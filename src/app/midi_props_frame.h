// TMIDIPropsFrame: the MIDI channel properties panel at the right of the editor. It edits the
// presets of the MIDI channel that the current song channel plays on (nine controllers and the
// bank), sends each change at once, copies and pastes presets between MIDI channels, and writes
// the "Filter cut" preset into filter-cut automation tracks. UI thread only.
#pragma once

#include <QFrame>
#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class QToolButton;

namespace varnel {

class MidiDevices;
class TVNSong;

class TMIDIPropsFrame : public QFrame {
  Q_OBJECT

 public:
  TMIDIPropsFrame(TVNSong& song, MidiDevices& devices, QWidget* parent = nullptr);

  QSize sizeHint() const override { return {280, 480}; }
  // As wide as the controls need, but only as high as the title and a little of the body.
  QSize minimumSizeHint() const override;

  // The song channel whose MIDI channel is shown: the "MIDI Channel" list follows and, under the
  // loading guard, the controls take that MIDI channel's presets and bank (sending nothing).
  void ShowChannel(int channel);
  int Channel() const { return channel_; }
  int MidiChannel() const;  // the MIDI channel of the shown song channel

  // The handlers every control runs; while `Loading` is set they store but send nothing.
  void ParamChange(int preset, int value);  // preset 0 is the program: stored only
  void BankMSBChanged(int value);
  void BankLSBChanged(int value);
  bool Loading = false;

  void ResetAll();
  void Copy();
  void Paste();
  bool HasCopy() const { return copied_; }
  void SendCurrentFilterCut();
  void SendAllFilterCuts();
  void ClearAllFilterCuts();
  // Writes value into row 0 of the song channel's first filter-cut track in the current pattern;
  // false for a negative value or when there is no such track.
  bool Set0CutOff(int channel, int value);
  // Runs what the three filter-cut buttons write to the cells, as one edit of the song's history.
  std::function<void(const std::function<void()>& write)> RecordCellEdit;

  // The scheme shows the track bars (default) or the sliders; both always show the same value.
  void SetSlidersVisible(bool sliders);
  bool SlidersVisible() const { return slidersVisible_; }

  // Controls by preset 1..9 and bank 0 (MSB) / 1 (LSB).
  QSlider* PresetTrackBar(int preset) const { return presets_[size_t(preset)].trackBar; }
  QSlider* PresetSlider(int preset) const { return presets_[size_t(preset)].slider; }
  QLabel* PresetValueLabel(int preset) const { return presets_[size_t(preset)].label; }
  QSlider* BankTrackBar(int bank) const { return banks_[size_t(bank)].trackBar; }
  QSlider* BankSlider(int bank) const { return banks_[size_t(bank)].slider; }
  QLabel* BankValueLabel(int bank) const { return banks_[size_t(bank)].label; }

  QLabel* Title;        // "MIDI Channel Properties"
  QScrollArea* Body;    // everything below the title
  QComboBox* MidiChannelList;
  QToolButton* CloseButton;
  QPushButton* ResetAllButton;
  QPushButton* CopyButton;
  QPushButton* PasteButton;
  QPushButton* SendCutButton;
  QPushButton* SendAllCutsButton;
  QPushButton* ClearCutsButton;

 signals:
  void cellChanged(int track, int row);  // a filter-cut cell was written
  void programChanged();                 // "Paste" gave the MIDI channel another program
  void closed();                         // the title bar's close button hid the panel

 private:
  struct Control {
    QSlider* trackBar = nullptr;
    QSlider* slider = nullptr;
    QLabel* label = nullptr;
  };
  Control MakeControl(QWidget* parent, const QString& caption, const std::function<void(int)>& handler);
  // Moves both controls without running the handler.
  static void Move(const Control& control, int value);
  // Moves the controls and runs the handler when the shown value changes, as a user move would.
  void MovePreset(int preset, int value);
  void MoveBank(int bank, int value);
  void Bank(int bank, int value);
  void SendProgram(int midiChannel);
  void WriteCells(const std::function<void()>& write);

  TVNSong& song_;
  MidiDevices& devices_;
  int channel_ = 0;
  bool slidersVisible_ = false;
  std::array<Control, 10> presets_{};  // index 0 unused: the program has no control here
  std::array<Control, 2> banks_{};
  // The preset clipboard: program, presets 1..9 and bank MSB, LSB, not-set as -1.
  std::array<int, 12> clipboard_{};
  bool copied_ = false;
};

}  // namespace varnel
