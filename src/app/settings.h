// The program's stored settings: window placement, recent files, tool bar bands and options, kept
// in QSettings("Orvalis", "Varnel") (the registry on Windows, an INI file elsewhere). Every value
// name is a constant here, typed by what it holds; the main window reads them once at start-up and
// writes them once at an orderly exit. UI thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class QSettings;

namespace varnel {

// One stored value: its group, its name and, through T, how it is read and written.
template <typename T>
struct SettingName {
  const char* group;
  const char* name;
};

class Settings {
 public:
  using Flag = SettingName<bool>;  // written as 0 or 1; any integer other than 0 reads as set
  using Integer = SettingName<int>;
  using Text = SettingName<QString>;

  static constexpr const char* MainGroup = "Main";
  static constexpr const char* RecentGroup = "Recent";
  static constexpr const char* ToolbarsGroup = "Toolbars";
  static constexpr const char* OptionsGroup = "Options";

  // "Main": window placement.
  static constexpr Integer Top{MainGroup, "Top"};
  static constexpr Integer Left{MainGroup, "Left"};
  static constexpr Integer Width{MainGroup, "Width"};
  static constexpr Integer Height{MainGroup, "Height"};
  static constexpr Flag Maximized{MainGroup, "Maximized"};

  // "Options": devices and MIDI In.
  static constexpr Text Device{OptionsGroup, "Device"};
  static constexpr Text InDevice{OptionsGroup, "InDevice"};
  // The devices of MIDI channels 17-32 and 33-48 by name; empty for none.
  static constexpr Text Device2{OptionsGroup, "Device2"};
  static constexpr Text Device3{OptionsGroup, "Device3"};
  static constexpr Flag InIgnoreVol{OptionsGroup, "InIgnoreVol"};
  static constexpr Flag InUseMinVol{OptionsGroup, "InUseMinVol"};
  static constexpr Integer InMinVolValue{OptionsGroup, "InMinVolValue"};
  static constexpr Integer ClockSource{OptionsGroup, "ClockSource"};  // 0 internal, 1 external MIDI clock
  // Menu check marks.
  static constexpr Flag FollowNote{OptionsGroup, "FollowNote"};
  static constexpr Flag FollowSong{OptionsGroup, "FollowSong"};
  static constexpr Flag AutoShowPiano{OptionsGroup, "AutoShowPiano"};
  static constexpr Flag EditEnabled{OptionsGroup, "EditEnabled"};
  static constexpr Flag DisableWarnings{OptionsGroup, "DisableWarnings"};
  static constexpr Flag TransposeSimple{OptionsGroup, "TransposeSimple"};
  static constexpr Flag MetronomeEnabled{OptionsGroup, "MetronomeEnabled"};
  // The options dialog (list indexes are stored as the index, not the text).
  static constexpr Integer UseHex{OptionsGroup, "UseHex"};
  static constexpr Flag ShowHints{OptionsGroup, "ShowHints"};
  static constexpr Integer SpaceKeyAction{OptionsGroup, "SpaceKeyAction"};
  static constexpr Integer CenteringEditor{OptionsGroup, "CenteringEditor"};
  static constexpr Flag DockedPiano{OptionsGroup, "DockedPiano"};
  static constexpr Integer TrackToogleSize{OptionsGroup, "TrackToogleSize"};
  static constexpr Integer DefaultPatternsLength{OptionsGroup, "DefaultPatternsLength"};
  static constexpr Integer MainMenu{OptionsGroup, "MainMenu"};
  // The piano window.
  static constexpr Integer PianoFormLeft{OptionsGroup, "PianoFormLeft"};
  static constexpr Integer PianoFormTop{OptionsGroup, "PianoFormTop"};
  static constexpr Integer PianoFormWidth{OptionsGroup, "PianoFormWidth"};
  static constexpr Integer PianoFormHeight{OptionsGroup, "PianoFormHeight"};
  static constexpr Integer PianoSize{OptionsGroup, "PianoSize"};
  static constexpr Flag PianoVisible{OptionsGroup, "PianoVisible"};
  static constexpr Integer PianoTop{OptionsGroup, "PianoTop"};
  static constexpr Integer PianoLeft{OptionsGroup, "PianoLeft"};
  // Panels, scheme, grid font, key.
  static constexpr Flag AddSpecialVisible{OptionsGroup, "AddSpecialVisible"};
  static constexpr Flag MCPropsVisible{OptionsGroup, "MCPropsVisible"};
  static constexpr Flag EditToolbar{OptionsGroup, "EditToolbar"};
  static constexpr Integer DefaultScheme{OptionsGroup, "DefaultScheme"};
  static constexpr Text FontName{OptionsGroup, "FontName"};
  static constexpr Integer FontSize{OptionsGroup, "FontSize"};
  static constexpr Flag FontBold{OptionsGroup, "FontBold"};
  static constexpr Integer Key1{OptionsGroup, "Key1"};
  static constexpr Integer Key2{OptionsGroup, "Key2"};
  // The embedded synth ("Audio settings..."); the gain in hundredths.
  static constexpr Text SoundFont{OptionsGroup, "SoundFont"};
  static constexpr Text AudioDriver{OptionsGroup, "AudioDriver"};
  static constexpr Integer SampleRate{OptionsGroup, "SampleRate"};
  static constexpr Integer SynthGain{OptionsGroup, "SynthGain"};

  // "Recent": slots "00".."09", slot 0 the most recent; an empty string is a free slot.
  static constexpr int RecentSlots = 10;

  // "Toolbars": per band i of the top bands, i + "Control", "Visible", "Break", "Width".
  struct Band {
    QString control;  // "ToolBar1", "Panel1", "Panel2", "Panel3" or "ToolBar3"
    bool visible = true;
    bool lineBreak = false;  // the band starts a new line
    int width = 0;
  };

  // Opens QSettings("Orvalis", "Varnel"); the values are written out when the object goes.
  Settings();
  ~Settings();
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  // Where the settings live for this process (tests): an INI file below `folder`.
  static void UseFolder(const QString& folder);
  // The "/reset" switch: removes "Toolbars", "Recent", "Options" and the window values other than
  // "Height". The next start runs with defaults and counts as a first start.
  static void Reset();

  bool Has(const char* group, const char* name) const;
  template <typename T>
  bool Has(SettingName<T> value) const {
    return Has(value.group, value.name);
  }
  // Absent, or not readable as the value's type: nothing (the control keeps its default).
  std::optional<bool> Read(Flag value) const;
  std::optional<int> Read(Integer value) const;
  std::optional<QString> Read(Text value) const;
  template <typename T>
  T Read(SettingName<T> value, T fallback) const {
    return Read(value).value_or(fallback);
  }

  void Write(Flag value, bool on);
  void Write(Integer value, int number);
  void Write(Text value, const QString& text);

  // The stored recent files in slot order, without free slots and without files that no longer
  // exist (the kept ones close up).
  QStringList RecentFiles() const;
  // Slots 0..9 from the first ten paths; the rest become free.
  void SetRecentFiles(const QStringList& paths);
  void SetToolbars(const std::vector<Band>& bands);

  // "Options/OutputDevices": the options of each output device by its name, an array of entries
  // "Name", "MidiClock" (0/1) and "LatencyOffset" (milliseconds, -1000..1000). Entries without a
  // name or with unreadable values are skipped; offsets out of range are clamped.
  struct OutputDevice {
    QString name;
    bool midiClock = false;
    double latencyOffsetMs = 0;
  };
  std::vector<OutputDevice> OutputDevices() const;
  void SetOutputDevices(const std::vector<OutputDevice>& devices);

  // The underlying store, for tests and tools.
  QSettings& Store() { return *store_; }

 private:
  std::unique_ptr<QSettings> store_;
};

}  // namespace varnel
