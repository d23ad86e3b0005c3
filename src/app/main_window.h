// TMainForm: the main window. It owns the song, the MIDI devices, the playback engine and the
// editor frame; it shows the song in the properties bar, the tool bars and the status bar, runs
// the commands, shows where playback is, and confirms before unsaved changes are lost.
//
// Threads: UI thread, except CoalescedPoster::Notify, which the row clock and the MIDI input
// call through the handlers installed here.
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

#include "app/play_display.h"
#include "editor/editor_host.h"
#include "midi/midi_input.h"
#include "song/reporter.h"

class QLabel;
class QMenu;
class QSplitter;

namespace varnel {

class MainCommands;
class MidiBackend;
class MidiDevices;
class PlaybackEngine;
class RowClock;
class TLoadingForm;
class TPropertiesBar;
class TVNFrame;
class TVNSong;
class UserDialogs;

class TMainForm : public QMainWindow, public EditorHost, public Reporter {
  Q_OBJECT

 public:
  // The devices and the clock are the caller's and outlive the window; null dialogs: Qt's own.
  TMainForm(MidiBackend& backend, RowClock& clock, UserDialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~TMainForm() override;

  // ---- Program start ----
  // The first command-line argument: a song path, or "/install" for the demo song.
  void SetStartArgument(const QString& argument) { startArgument_ = argument; }
  // The first-show steps; later calls do nothing. Runs by itself when the window is first shown.
  void FormShow();
  // Where "Songs" is: next to the executable (build tree) or <prefix>/share/varnel/Songs.
  static QString SongsFolder();

  // ---- Entry points used across the program ----
  void ChangeStatus(const QString& text, int panel);
  bool WarningConfirmed(const QString& text);
  void PrepareEditor();
  void AfterLoad();
  void UpdateTitle();
  void UpdateSongAccess();
  void PlayPause() override;
  void StopPlayback() override;
  void UpdatePlayCounter() override;
  void UpdatePlayRow() override;
  void SetOctave(int shown);  // "Octave N" on panel 1; stored as N - 1
  // Zoom: the grid font size by delta (not below 2), both grids re-measured and redrawn.
  void ZoomFont(int delta);
  bool TransposeSimple() const;

  // ---- For tests and the other windows ----
  TVNSong& Song() { return *song_; }
  MidiDevices& Devices() { return *devices_; }
  PlaybackEngine& Player() { return *player_; }
  TVNFrame* Frame() const { return frame_; }
  TPropertiesBar* Properties() const { return props_; }
  TLoadingForm* LoadingWindow() const { return loading_; }
  MainCommands& Commands() const { return *commands_; }
  QAction* Action(const QString& key) const;
  QString StatusText(int panel) const;
  const CoalescedPoster& PlayPoster() const { return playPoster_; }
  int PlayUpdates() const { return playUpdates_; }  // play-position events handled
  int GridFontSize() const;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Reporter: what the song and the device layer tell the user.
  void Status(const std::string& text, int panel) override;
  void Message(const std::string& text) override;
  bool Question(const std::string& text) override;
  void BeginBusy(const std::string& caption) override;
  void EndBusy() override;

  // EditorHost.
  void UpdateChannelProps(int channel) override;
  void ChannelToggleRightClick(int channel) override;
  void StepPatternField(int delta) override;
  void SetPatternField(int value) override;
  void StepProgram(int delta) override;
  void ShowEditor(int grid) override;
  bool EditCustomTrack(const std::string& caption, bool showSecond, int& first, int& second) override;
  bool TemplateStep(int& step) override;
  void PianoKey(int note, bool down) override;

  // main_window.cpp
  void BuildLayout();
  void MeasureCells();
  void HandlePlayPosition();
  void HandleMidiInput();
  void ShowPlayButtons(bool playing);
  void ShowLength();
  bool CloseRequested();

  // main_window_properties.cpp: the change rules of the properties bar.
  void ConnectProperties();
  void BpmChanged(int value);
  void SpdChanged(int value);
  void AddChanged(int value);
  void PatternFieldChanged(int value);
  void LengthChanged(int value);
  void ResetPatternPresets();

  // main_window_commands.cpp
  void ConnectCommands();
  void On(const QString& key, void (TMainForm::*handler)());
  void SyncActions();
  void BuildDeviceMenus();
  void WithTimerStopped(const std::function<void()>& change);
  void PackSong(int step);
  void AddPatternClick();
  void RemovePatternClick();
  void RemoveBeforeClick();
  void RemoveAfterClick();
  void SetLoop(bool start);
  void ResetLoop();
  void CopyLoopsToGrids();
  void ImportXMClick();
  void ImportMidiClick();
  void ExportClick(bool wholeSong);
  void ToggleBars(bool show);
  void SetOnTop(bool on);
  void AboutClick();
  void ShowContextMenu(QWidget* grid, const QPoint& pos);

  // main_window_keys.cpp: keys the window takes before the focused control.
  bool WindowKey(int key, Qt::KeyboardModifiers modifiers);

  std::unique_ptr<UserDialogs> ownDialogs_;
  UserDialogs* dialogs_;
  std::unique_ptr<TVNSong> song_;
  std::unique_ptr<MidiDevices> devices_;
  std::unique_ptr<PlaybackEngine> player_;
  MidiInQueue midiIn_;
  CoalescedPoster playPoster_{this, PlayPositionEvent};
  CoalescedPoster midiPoster_{this, MidiInputEvent};

  MainCommands* commands_ = nullptr;
  TVNFrame* frame_ = nullptr;
  TPropertiesBar* props_ = nullptr;
  QToolBar* channelsBar_ = nullptr;
  QToolBar* channelBar_ = nullptr;
  QSplitter* client_ = nullptr;
  QLabel* panel0_ = nullptr;
  QLabel* panel1_ = nullptr;
  TLoadingForm* loading_ = nullptr;
  QMenu* popup_ = nullptr;

  QString startArgument_;
  int currentChannel_ = 0;
  bool started_ = false;
  bool closing_ = false;
  bool lengthGuard_ = false;
  int lastShownRow_ = -1;
  int lastShownOrder_ = -1;
  bool counterOnBeat_ = true;
  int playUpdates_ = 0;
};

}  // namespace varnel
