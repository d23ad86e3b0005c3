// The commands of the menus and tool bars that this build carries out.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QToolBar>

#include "app/main_window.h"
#include "app/options_dialog.h"
#include "app/main_window_menus.h"
#include "app/properties_bar.h"
#include "app/user_dialogs.h"
#include "document/song_document.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "exchange/midi_export.h"
#include "exchange/midi_import.h"
#include "exchange/xm_import.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "song/song.h"

namespace varnel {

namespace {

const QString MidiFilters = QStringLiteral("All files (*);;Standart MIDI files (*.mid)");
const QString MidiImportFilters = QStringLiteral("All files (*);;Standard MIDI files (*.mid *.midi *.kar)");
const QString ModuleFilters = QStringLiteral("All files (*);;FastTracker 2 Modules (*.xm)");

// The song's file name without its extension; a dot in a folder name is no extension.
QString WithoutExtension(const QString& path) {
  const int slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
  const int dot = path.lastIndexOf(QLatin1Char('.'));
  return dot > slash ? path.left(dot) : path;
}

}  // namespace

void TMainForm::On(const QString& key, void (TMainForm::*handler)()) {
  connect(Action(key), &QAction::triggered, this, handler);
}

void TMainForm::ConnectCommands() {
  MainCommands& c = *commands_;
  On("ImportXM", &TMainForm::ImportXMClick);
  On("ImportMidi", &TMainForm::ImportMidiClick);
  connect(c["ExportPattern"], &QAction::triggered, this, [this] { ExportClick(false); });
  connect(c["ExportSong"], &QAction::triggered, this, [this] { ExportClick(true); });
  connect(c["Exit"], &QAction::triggered, this, &QWidget::close);

  const std::pair<const char*, QToolBar*> bars[] = {{"BarCommon", c.CommonBar},   {"BarProperties", props_},
                                                    {"BarChannels", channelsBar_}, {"BarChannel", channelBar_},
                                                    {"BarEdit", c.EditBar}};
  for (const auto& [key, bar] : bars) connect(c[key], &QAction::toggled, bar, &QWidget::setVisible);
  connect(c["BarsShowAll"], &QAction::triggered, this, [this] { ToggleBars(true); });
  connect(c["BarsHideAll"], &QAction::triggered, this, [this] { ToggleBars(false); });

  connect(c["PatternEditor"], &QAction::triggered, this, [this] { ShowEditor(1); });
  connect(c["SequenceEditor"], &QAction::triggered, this, [this] { ShowEditor(2); });
  connect(c["SplitView"], &QAction::triggered, this, [this] { frame_->SetSplitView(); });
  connect(c["ZoomIn"], &QAction::triggered, this, [this] { ZoomFont(1); });
  connect(c["ZoomOut"], &QAction::triggered, this, [this] { ZoomFont(-1); });
  connect(c["OnTopOn"], &QAction::triggered, this, [this] { SetOnTop(true); });
  connect(c["OnTopOff"], &QAction::triggered, this, [this] { SetOnTop(false); });

  connect(c["EditEnabled"], &QAction::triggered, this, [this](bool on) {
    song_->EditEnabled = on;
    ChangeStatus(on ? QStringLiteral("Edit enabled") : QStringLiteral("Edit disabled"), 0);
  });
  for (int n = 0; n <= 9; ++n)
    connect(c[QStringLiteral("Octave%1").arg(n)], &QAction::triggered, this, [this, n] { SetOctave(n); });
  for (int step = 0; step <= 5; ++step)
    connect(c[QStringLiteral("Pack%1").arg(step)], &QAction::triggered, this, [this, step] { PackSong(step); });

  On("AddPattern", &TMainForm::AddPatternClick);
  On("RemovePattern", &TMainForm::RemovePatternClick);
  On("RemoveBefore", &TMainForm::RemoveBeforeClick);
  On("RemoveAfter", &TMainForm::RemoveAfterClick);
  connect(c["LoopStart"], &QAction::triggered, this, [this] { SetLoop(true); });
  connect(c["LoopEnd"], &QAction::triggered, this, [this] { SetLoop(false); });
  On("LoopReset", &TMainForm::ResetLoop);

  connect(c["OutDeviceMapper"], &QAction::triggered, this,
          [this] { devices_->SelectOutDevice(-1, "MIDI Mapper"); SyncActions(); });
  connect(c["InDeviceNone"], &QAction::triggered, this, [this] { devices_->SelectInDevice(-1, "None"); SyncActions(); });
  connect(c["ClearChannels"], &QAction::triggered, this, [this] { devices_->AllNotesOff(-1); });
  connect(c["Metronome"], &QAction::toggled, this, [this](bool on) { song_->Metronome = on; });
  connect(c["FollowNote"], &QAction::toggled, this, [this](bool on) { frame_->Options().followNote = on; });
  connect(c["FollowSong"], &QAction::triggered, this, [this] { UpdateSongAccess(); });
  On("About", &TMainForm::AboutClick);

  On("PlayPause", &TMainForm::PlayPause);
  On("Stop", &TMainForm::StopPlayback);
  connect(c["PatternMode"], &QAction::triggered, this, [this] {
    song_->SongMode = !song_->SongMode;
    Action("PatternMode")->setChecked(!song_->SongMode);
    UpdateSongAccess();
  });
  connect(c["ChordsUpper"], &QAction::toggled, this, [this](bool on) { frame_->Options().chordsUpperKeys = on; });
  connect(c["ChordsLower"], &QAction::toggled, this, [this](bool on) { frame_->Options().chordsLowerKeys = on; });
  connect(c["KeyboardMode"], &QAction::toggled, this, [this](bool on) { frame_->Options().keyboardMode = on ? 1 : 0; });
}

// The one place where check marks follow the song, the options and the devices.
void TMainForm::SyncActions() {
  Action("EditEnabled")->setChecked(song_->EditEnabled);
  Action("Metronome")->setChecked(song_->Metronome);
  Action("PatternMode")->setChecked(!song_->SongMode);
  Action("FollowNote")->setChecked(frame_->Options().followNote);
  Action("ChordsUpper")->setChecked(frame_->Options().chordsUpperKeys);
  Action("ChordsLower")->setChecked(frame_->Options().chordsLowerKeys);
  Action("KeyboardMode")->setChecked(frame_->Options().keyboardMode == 1);
  const int shown = std::min(song_->Octave + 1, 9);
  if (shown != 1 || !Action("Octave0")->isChecked()) Action(QStringLiteral("Octave%1").arg(shown))->setChecked(true);
  SyncDeviceChecks();
}

void TMainForm::WithTimerStopped(const std::function<void()>& change) {
  const bool running = player_->Playing();
  if (running) player_->StopPlayTimer();
  change();
  if (running) player_->StartPlayTimer();
}

void TMainForm::PackSong(int step) {
  WithTimerStopped([&] {
    {
      EditStep edit(*document_, "pack", StepScope::Shape());
      song_->Pack(step);
    }
    PrepareEditor();
  });
}

void TMainForm::AddPatternClick() {
  WithTimerStopped([&] {
    {
      EditStep step(*document_, "add pattern", StepScope::Shape());
      song_->InsertPattern(song_->CurrentPattern, song_->DefaultPatternLength());
    }
    PrepareEditor();
  });
}

void TMainForm::RemovePatternClick() {
  if (!WarningConfirmed(QStringLiteral("Sure to remove current pattern?"))) return;
  if (song_->PatternsCount() < 2) {
    dialogs_->Message(this, QStringLiteral("Cannot remove the last pattern of the song"));
    return;
  }
  WithTimerStopped([&] {
    {
      EditStep step(*document_, "remove pattern", StepScope::Shape());
      const int pattern = song_->CurrentPattern;
      song_->DeletePattern(pattern);
      if (pattern > 0) song_->SelectPattern(pattern - 1);
    }
    PrepareEditor();
  });
}

void TMainForm::RemoveBeforeClick() {
  const int current = song_->CurrentPattern;
  if (current == 0) {
    dialogs_->Message(this, QStringLiteral("Nothing to remove"));
    return;
  }
  if (!WarningConfirmed(QStringLiteral("Are you sure to remove all patterns before this one?"))) return;
  WithTimerStopped([&] {
    {
      EditStep step(*document_, "remove patterns", StepScope::Shape());
      for (int i = 0; i < current; ++i) {
        if (song_->PatternsCount() < 2) continue;
        song_->DeletePattern(0);
        if (song_->CurrentPattern > 0) song_->SelectPattern(song_->CurrentPattern - 1);
      }
    }
    PrepareEditor();
  });
}

void TMainForm::RemoveAfterClick() {
  const int current = song_->CurrentPattern;
  if (current >= song_->PatternsCount() - 1) {
    dialogs_->Message(this, QStringLiteral("Nothing to remove"));
    return;
  }
  if (!WarningConfirmed(QStringLiteral("Are you sure to remove all patterns after this one?"))) return;
  WithTimerStopped([&] {
    {
      EditStep step(*document_, "remove patterns", StepScope::Shape());
      for (int i = song_->PatternsCount() - 1 - current; i > 0; --i) song_->DeletePattern(current + 1);
    }
    PrepareEditor();
  });
}

void TMainForm::CopyLoopsToGrids() {
  // Only the row-number cells carry the mark (left and right 0); one end alone marks one row.
  const auto rect = [](int start, int end) {
    if (start < 0 && end < 0) return TGridRect{};
    return TGridRect{0, start < 0 ? end : start, 0, end < 0 ? start : end};
  };
  frame_->Grid1()->SetLoopRect(rect(song_->PatternLoopStart, song_->PatternLoopEnd));
  frame_->Grid2()->SetLoopRect(rect(song_->OrderLoopStart, song_->OrderLoopEnd));
}

void TMainForm::SetLoop(bool start) {
  const bool orders = frame_->ActiveGrid() == 2;
  const int row = (orders ? frame_->Grid2() : frame_->Grid1())->Row();
  {
    EditStep step(*document_, "loop", StepScope::Values());
    if (orders) (start ? song_->OrderLoopStart : song_->OrderLoopEnd) = row;
    else (start ? song_->PatternLoopStart : song_->PatternLoopEnd) = row;
  }
  CopyLoopsToGrids();
  if (orders) frame_->RedrawOrders(0, 0);
  else frame_->RedrawPattern(0, 0, true);
}

void TMainForm::ResetLoop() {
  {
    EditStep step(*document_, "loop", StepScope::Values());
    song_->PatternLoopStart = -1;
    song_->PatternLoopEnd = -1;
    song_->OrderLoopStart = -1;
    song_->OrderLoopEnd = -1;
  }
  CopyLoopsToGrids();
  frame_->RedrawPattern(0, 0, true);
  frame_->RedrawOrders(0, 0);
}

void TMainForm::ImportXMClick() {
  ImportSong(ModuleFilters, QStringLiteral("xm"), {},
             [](TVNSong& song, const QString& file) { return ImportXM(song, file.toStdString()); });
}

void TMainForm::ImportMidiClick() {
  ImportSong(
      MidiImportFilters, QStringLiteral("mid"),
      // The options dialog's "MIDI Import" page comes first; cancelling it leaves the song alone.
      [this] { return dialogs_->Confirm([this] { return options_->Run(TOptionsForm::ImportPage) == QDialog::Accepted; }); },
      [this](TVNSong& song, const QString& file) {
        if (!ImportMidi(song, file.toStdString(), options_->ImportOptions())) return false;
        // "Pack song?" is asked even with warnings disabled.
        if (dialogs_->Question(this, QStringLiteral("Pack song?")))
          for (int step = 1; step <= 4; ++step) song.Pack(step);
        return true;
      });
}

// An import fills a song of its own; only a complete one replaces the open song, with a fresh
// history, and plays from its beginning if the old one was playing. Playback halts while the
// dialogs are up; cancelled or failed, the open song plays on where it was.
void TMainForm::ImportSong(const QString& filters, const QString& suffix, const std::function<bool()>& options,
                           const std::function<bool(TVNSong&, const QString&)>& import) {
  const bool playing = player_->Playing();
  if (playing) PlayPause();
  const auto giveUp = [&] {
    if (playing) PlayPause();
  };
  if (document_->Modified() && !WarningConfirmed(QStringLiteral("Current edition will be lost. Continue?")))
    return giveUp();
  const QString file = dialogs_->OpenFileName(this, filters, suffix);
  if (file.isEmpty() || (options && !options())) return giveUp();
  TVNSong imported(this);
  imported.SetDefaultPatternLength(song_->DefaultPatternLength());
  if (!import(imported, file)) return giveUp();
  StopPlayback();
  document_->TakeOver(imported);
  PrepareEditor();
  document_->ResetHistory();
  if (playing) PlayPause();
}

void TMainForm::ExportClick(bool wholeSong) {
  QString proposal = WithoutExtension(QString::fromStdString(song_->FileName));
  if (!wholeSong) proposal += QStringLiteral("_pat_%1").arg(int(song_->CurrentPattern), 2, 10, QLatin1Char('0'));
  const QString file = dialogs_->SaveFileName(this, MidiFilters, QStringLiteral("mid"), proposal);
  if (file.isEmpty()) return;
  ExportMidi(*song_, file.toStdString(), wholeSong);
}

void TMainForm::ToggleBars(bool show) {
  const std::pair<const char*, QToolBar*> bars[] = {{"BarCommon", commands_->CommonBar}, {"BarProperties", props_},
                                                    {"BarChannels", channelsBar_}, {"BarChannel", channelBar_},
                                                    {"BarEdit", commands_->EditBar}};
  for (const auto& [key, bar] : bars) bar->setVisible(show);
  for (const auto& [key, bar] : bars) Action(key)->setChecked(!bar->isHidden());
}

void TMainForm::SetOnTop(bool on) {
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  show();
}

}  // namespace varnel
