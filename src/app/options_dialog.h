// TOptionsForm: the options dialog ("Options"), a tool window with OK and Cancel and four pages:
// "General", "Piano window", "MIDI Import" and "MIDI In". The options live in its controls; the
// main window reads them after OK and stores them with the settings. UI thread only.
#pragma once

#include <QDialog>
#include <QVariant>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "exchange/midi_import.h"
#include "midi/midi_devices.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace varnel {

class NumberField;
struct EditorOptions;

class TOptionsForm : public QDialog {
  Q_OBJECT

 public:
  enum Page { GeneralPage = 0, PianoPage = 1, ImportPage = 2, MidiInPage = 3, MidiOutPage = 4 };

  explicit TOptionsForm(QWidget* parent = nullptr);

  // Modal on `page`, with OK the default button every time. Cancel (or closing the window) puts
  // every control back as it was before. OK is refused, with a message, while an option is out of
  // its range.
  int Run(Page page);
  // How a refusal of OK is said; a warning box by default.
  void SetMessageBox(std::function<void(QWidget* parent, const QString& text)> show);
  void ShowPage(Page page);
  int CurrentPage() const;

  // "General"
  QComboBox* RowNumbers;             // "Row Numbers: " 0..4
  QComboBox* SpaceKeyAction;         // 0 "Stop", 1 "Pause"
  QComboBox* Centering;              // "Trying to centering editor": 0 "Always", 1 "When playing", 2 "Never"
  QComboBox* MainMenu;               // 0 "Windows standard", 1 "Custom"
  QComboBox* TrackToggleSize;        // "24" .. "64"
  QComboBox* DefaultPatternsLength;  // free text with presets
  // "Piano window"
  QCheckBox* ShowHints;
  QCheckBox* DockedPiano;
  // "MIDI Import": free texts with presets, and a fixed list.
  QComboBox* StartRow;
  QComboBox* PatternsLength;
  QComboBox* SpdValue;
  QComboBox* ImportMethod;
  // "MIDI In"
  QRadioButton* UseAsIs;
  QRadioButton* IgnoreVelocities;
  QRadioButton* UseMinimumVelocity;
  NumberField* MinimumVelocity;  // "Value" 0..127
  QComboBox* ClockSource;        // "Clock": 0 "Internal", 1 "External (MIDI clock on the input device)"
  // "MIDI Out": the devices of MIDI channels 17-32 and 33-48 ("None", or an output device).
  QComboBox* OutDevice2;
  QComboBox* OutDevice3;
  // The options of each output device, shown for the device chosen in the list.
  QComboBox* OutDevice;
  QCheckBox* SendMidiClock;            // "Send MIDI clock"
  QDoubleSpinBox* LatencyOffset;       // "Latency offset (ms)" -1000..1000

  // The devices the "MIDI Out" list offers (the output menu's captions); stored options of
  // devices not in the list are kept.
  void SetOutputDeviceNames(const std::vector<std::string>& names);
  // The lists of the second and third output: "None", the devices, and the one chosen even when it
  // is not there now.
  void SetBlockDevices(const std::vector<std::string>& names, const std::string& second, const std::string& third);
  // The device chosen for block 1 (channels 17-32) or 2 (33-48); empty for "None".
  std::string BlockDevice(int block) const;
  // Every device's options that differ from the defaults, by device name.
  std::map<std::string, OutputOptions> OutputDevices() const;
  void SetOutputDevices(const std::map<std::string, OutputOptions>& devices);

  // The "Default patterns length" text as the program uses it: a number clamped to 32..256; text
  // that is not a number counts as 32.
  int DefaultPatternLength() const;
  // The "MIDI Import" page; a text that is not a number gives that option's default.
  MidiImportOptions ImportOptions() const;
  // Why the "MIDI Import" page cannot be taken (a text that is no number in its option's range),
  // and the field that holds it; empty when every field can.
  QString ImportOptionsFault(QComboBox** field = nullptr) const;
  // The MIDI In page as flags: at most one of the two is set.
  void SetMidiIn(bool ignoreVelocities, bool useMinimum);
  // Copies the options the editor reads: row numbers, space key, centring, MIDI In velocities.
  void CopyTo(EditorOptions& options) const;

 signals:
  // "Row Numbers: " changed (by the user or by Cancel): the grids are redrawn at once.
  void rowNumbersChanged(int index);

 public slots:
  void accept() override;
  void reject() override;

 private:
  QWidget* BuildGeneral();
  QWidget* BuildPiano();
  QWidget* BuildImport();
  QWidget* BuildMidiIn();
  QWidget* BuildMidiOut();
  std::vector<QVariant> Snapshot() const;
  void Restore(const std::vector<QVariant>& states);
  void StoreShownDevice();  // the "MIDI Out" controls into outputs_
  void ShowDevice();        // outputs_ into the controls, for the device in the list

  QTabWidget* pages_;
  QPushButton* ok_;
  QPushButton* cancel_;
  std::function<void(QWidget*, const QString&)> messageBox_;
  std::vector<QVariant> before_;  // the controls' states when Run began
  std::map<std::string, OutputOptions> outputs_, outputsBefore_;
  int blocksBefore_[2] = {0, 0};  // the lists' indexes when Run began
  bool showingDevice_ = false;  // ShowDevice is filling the controls
};

}  // namespace varnel
