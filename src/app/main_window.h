// TMainForm: the main window. It owns the song, the MIDI devices, the playback engine and the
// editor frame; it shows the song in the properties bar, the tool bars and the status bar, runs
// the commands, shows where playback is, and confirms before unsaved changes are lost.
//
// Threads: UI thread, except CoalescedPoster::Notify, which the row clock and the MIDI input
// call through the handlers installed here.
#pragma once

#include "devices/gm_synth.h"

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/play_display.h"
#include "app/web_links.h"
#include "editor/editor_host.h"
#include "midi/midi_input.h"
#include "song/reporter.h"

class QFont;
class QKeyEvent;
class QLabel;
class QMenu;
class QSplitter;
class QTimer;

namespace varnel {

class MainCommands;
class MidiBackend;
class MidiDevices;
class PlaybackEngine;
class RowClock;
class TAboutBox;
class TAddFrame;
class TChordsForm;
class TDeviceFeedback;
class TFillForm;
class TfrmSongInfo;
class THelpForm;
class TChannelBar;
class TChannelToggles;
class TCustomTitleBar;
class TLoadingForm;
class TMIDIPropsFrame;
class TOptionsForm;
class TPianoForm;
class Settings;
class SongDocument;
class TTrackForm;
class TPropertiesBar;
class TVNFrame;
class TVNSong;
class UserDialogs;
class Recovery;
enum class DialogAnswer;

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
  // Zoom: the grid font size in points by delta (not below 2), both grids re-measured and redrawn.
  void ZoomFont(int delta);
  bool TransposeSimple() const;

  // ---- File commands and recent files (main_window_files.cpp) ----
  // Asks to save a modified song: Yes (saved), No (discard it), or Cancel (also when the save
  // was cancelled or failed).
  DialogAnswer AskSaveDlg();
  void RecentInsert(const QString& path);
  // The recent files, most recent first (what the settings keep), and filling both lists from them.
  QStringList RecentFiles() const;
  void SetRecentFiles(const QStringList& paths);
  // Where the template songs are read from; empty: SongsFolder().
  void SetTemplatesFolder(const QString& folder) { templatesFolder_ = folder; }
  // The recovery copy: its folder (empty: none), how often it is written; both restart it.
  void SetRecoveryFolder(const QString& folder);
  void SetRecoveryInterval(int milliseconds);
  Recovery* RecoveryCopy() const { return recovery_; }

  // ---- Colour schemes and view (main_window_view.cpp) ----
  // Asks for the grid font and its colour; false when cancelled. Null: the program's own dialog.
  using FontChooser = std::function<bool(QFont& font, QColor& color)>;
  void SetFontChooser(FontChooser chooser) { fontChooser_ = std::move(chooser); }
  int Scheme() const { return scheme_; }  // 0 default, 1 "Blue", 2 "New Icons"
  void SwitchSchemeDefault(bool changeFont);
  void SwitchScheme(bool changeFont, int scheme);
  void ChangeThemePlus(int scheme);
  void UpdateFormMenu();  // the "Main Menu" option: the standard menu bar or the custom title bar
  TCustomTitleBar* TitleBar() const { return titleBar_; }
  void UpdateFontSize(int size);
  void UpdateFontRedraw();
  QColor BeatColor() const { return beatColor_; }
  QColor OffBeatColor() const { return offBeatColor_; }

  // ---- Song information, help and about (main_window_info.cpp) ----
  // The song information dialog filled from the song; on "OK" the changes go into the song,
  // which is then modified.
  void ShowSongInfo();
  TfrmSongInfo* SongInfoForm() const { return songInfo_; }
  THelpForm* HelpForm() const { return help_; }
  TAboutBox* AboutBox() const { return about_; }
  // How the Help menu's web pages are opened; by default the desktop's browser.
  void SetUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }

  // ---- Settings (main_window_settings.cpp) ----
  // Read once at the first show, written once at an orderly close.
  void GetSettings();
  void SaveSettings();
  TOptionsForm* OptionsForm() const { return options_; }

  // ---- Tracks and channels (main_window_tracks.cpp) ----
  TChannelToggles* Toggles() const { return toggles_; }
  TChannelBar* ChannelBarContent() const { return channelBarWidget_; }
  TMIDIPropsFrame* MidiProps() const { return midiProps_; }
  TTrackForm* TrackForm() const { return trackForm_; }
  int SoloChannel() const { return soloChannel_; }  // 0 none, else the soloed channel + 1
  int CurrentChannel() const { return currentChannel_; }
  // Where the Open dialog starts: the "Songs" folder on the first start, else empty (its own choice).
  QString OpenFolder() const { return openFolder_; }

  // ---- For tests and the other windows ----
  TVNSong& Song() { return *song_; }
  SongDocument& Document() { return *document_; }
  MidiDevices& Devices() { return *devices_; }
  PlaybackEngine& Player() { return *player_; }
  TVNFrame* Frame() const { return frame_; }
  TPropertiesBar* Properties() const { return props_; }
  TLoadingForm* LoadingWindow() const { return loading_; }
  TAddFrame* AddFrame() const { return addFrame_; }
  TChordsForm* ChordsForm() const { return chordsForm_; }
  TFillForm* FillForm() const { return fillForm_; }
  TPianoForm* Piano() const { return piano_; }
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
  // main_window_play.cpp: following an external MIDI clock, and the tempo shown while playing.
  void ApplyClockSource();  // the options' "Clock"
  void ShowSyncState();     // "EXT 120.0 BPM" or "EXT: no clock", and the transport the master moved
  void ShowPlayingTempo();  // the "BPM" box: the playing tempo while playing, else the song's
  void ShowLength();
  void ScheduleKeepOnScreen();
  void HidePianoIfTooTall();
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

  // main_window_devices.cpp: the device menus, the devices' panel and warnings, device settings.
  void ConnectDevices();
  void FillDeviceMenu(bool output);
  void SyncDeviceChecks();
  std::vector<std::string> OutputDeviceChoices();
  void ShowDeviceOptions();   // the "MIDI Out" page's device lists, before the dialog opens
  void ApplyDeviceOptions();  // after OK
  void RestoreDeviceSettings(const Settings& s);
  void SaveDeviceSettings(Settings& s) const;
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
  void ImportSong(const QString& filters, const QString& suffix, const std::function<bool()>& options,
                  const std::function<bool(TVNSong&, const QString&)>& import);
  void ExportClick(bool wholeSong);
  void ToggleBars(bool show);
  void SetOnTop(bool on);
  void AboutClick();
  void ShowContextMenu(QWidget* grid, const QPoint& pos);

  // main_window_files.cpp
  void ConnectFiles();
  void NewSongClick(bool keepInstruments);
  void OpenClick();
  void RecentClick(int tag);
  void RemoveRecent(const QString& path);
  void TemplateClick(int tag);
  bool SaveClick();  // false when the song was not saved (cancelled or failed)
  bool SaveAsClick();
  bool SaveNewVersionClick();
  bool SaveSong(const QString& path);
  void ShowLoadedSong();  // after a song replaced the old one: devices, views, a fresh history
  void StartRecovery();
  // An orderly close: the recovery copy goes, unless it keeps changes nobody was asked about.
  void EndRecovery(bool keep);

  // main_window_settings.cpp
  void ConnectSettings();
  void OptionsClick();
  void ApplyOptions();
  void AudioSettingsClick();
  void ApplySynthSettings();

  // main_window_shape.cpp: quantize, note lengths, expand and shrink; the long hints on panel 0.
  void ConnectShaping();
  void QuantizeClick(bool channel);
  void NotesLengthClick(bool channel, bool fromNext, int length);
  void ExpandClick(int factor);
  void ShrinkClick(int divisor);

  // main_window_edit.cpp: cut, copy, paste and transpose reach the editor's grid edit; undo and
  // redo step through the document's history and bring every view along.
  void ConnectEdit();
  void StepHistory(bool redo);
  void ShowValues();  // the properties bar, loops and channel settings from the song

  // main_window_tracks.cpp: channel toggles, track and channel commands, the current channel.
  void ConnectTracks();
  void TrackLabelMouseDown(int channel, Qt::MouseButton button);
  void UpdateTrackLabels();    // the toggle size from the option
  void UpdateToggles();        // PrepareEditor: one toggle per channel, coloured from the song
  void DrawChannelActivity();  // the play display's activity colours
  void OrderInsert(int row, int channel, int value);
  void AddToSequenceClick();
  int CursorTrack() const;
  void AddTrackClick(int type, int param);
  void AddCustomTrackClick(int type);
  void EditTrackPropertiesClick();
  void RemoveTrackClick();
  void AddChannelClick();
  void RemoveChannelClick();

  // main_window_templates.cpp: the template frame, the chords and the fill dialogs.
  void ConnectTemplates();
  void RedrawTemplate();  // after the editor views were rebuilt
  void FillClick();

  // main_window_piano.cpp: the piano window, its command, its settings and the row it shows.
  void ConnectPiano();
  void ShowRowOnPiano();
  void ApplyPianoOptions();
  void GetPianoSettings(Settings& s);
  void SavePianoSettings(Settings& s);

  // main_window_view.cpp: schemes, the custom title bar, zoom and font.
  void ConnectView();
  void SchemeClick(int scheme);
  void FontClick();
  void ApplyScheme(int scheme, bool changeFont);
  void RestoreFont(const std::optional<QString>& name, const std::optional<int>& size,
                   const std::optional<bool>& bold);
  void HideTitlebar();
  void ShowTitlebar();

  // main_window_info.cpp: song information, help window, web pages, about box.
  void ConnectInfo();
  void HelpClick();
  void OpenWebPage(const char* address);

  // main_window_keys.cpp: keys the window takes before the focused control.
  bool WindowKey(int key, Qt::KeyboardModifiers modifiers);
  bool ListKey(QWidget* widget, const QKeyEvent* key);
  void FocusEditor();  // the keys back to the editor's active grid
  void OpenFirstMenu();

  std::unique_ptr<UserDialogs> ownDialogs_;
  UserDialogs* dialogs_;
  std::unique_ptr<SongDocument> document_;
  TVNSong* song_;  // the document's
  MidiBackend& backend_;
  SynthSettings synth_;  // the embedded synth's settings ("Audio settings...")
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
  QLabel* devicesPanel_ = nullptr;  // the chosen devices and their states
  TDeviceFeedback* deviceFeedback_ = nullptr;
  TLoadingForm* loading_ = nullptr;
  TAddFrame* addFrame_ = nullptr;
  TChordsForm* chordsForm_ = nullptr;
  TFillForm* fillForm_ = nullptr;
  QMenu* popup_ = nullptr;
  TOptionsForm* options_ = nullptr;
  QString openFolder_;
  QMenu* recentPopup_ = nullptr;  // the Open button's drop-down: file names of the recent slots
  Recovery* recovery_ = nullptr;
  QString templatesFolder_;
  TChannelToggles* toggles_ = nullptr;
  TChannelBar* channelBarWidget_ = nullptr;
  TMIDIPropsFrame* midiProps_ = nullptr;
  TTrackForm* trackForm_ = nullptr;
  TPianoForm* piano_ = nullptr;
  int soloChannel_ = 0;
  TfrmSongInfo* songInfo_ = nullptr;
  THelpForm* help_ = nullptr;
  TAboutBox* about_ = nullptr;
  UrlOpener urlOpener_;
  bool songInfoPending_ = false;  // AfterLoad asked for the song information
  int scheme_ = 0;
  QColor beatColor_{0x00, 0x00, 0xFF};
  QColor offBeatColor_{0x00, 0x00, 0x00};
  FontChooser fontChooser_;
  TCustomTitleBar* titleBar_ = nullptr;
  QWidget* standardMenu_ = nullptr;  // the menu bar, while the custom title bar holds it
  QSize designIconSize_;

  QString startArgument_;
  int currentChannel_ = 0;
  bool started_ = false;
  bool closing_ = false;
  bool lengthGuard_ = false;
  bool steppingHistory_ = false;  // an undo or redo refreshes the views: they add nothing to the song
  bool togglesBroken_ = false;  // the channel toggles were given a line of their own for want of width
  bool keepOnScreenPending_ = false;
  bool fittedOnceShown_ = false;
  bool pianoHiddenToFit_ = false;  // for this session only: the settings keep the musician's choice
  int lastShownRow_ = -1;
  int lastShownOrder_ = -1;
  bool counterOnBeat_ = true;
  int playUpdates_ = 0;
  QLabel* syncPanel_ = nullptr;  // shown while following an external clock
  QTimer* syncPoll_ = nullptr;
  bool shownPlaying_ = false;
};

}  // namespace varnel
