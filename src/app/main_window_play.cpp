// The transport and the play-position display: play, pause and stop, the coalesced events of
// the row clock and the MIDI input, the play counter and the play highlight; the clock source
// (internal, or an external MIDI clock followed) and the tempo shown while playing.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "app/main_window.h"
#include "app/options_dialog.h"
#include "app/properties_bar.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/playback.h"
#include "song/song.h"
#include "windows/piano_form.h"

namespace varnel {

void TMainForm::ShowPlayButtons(bool playing) {
  QAction* play = Action(QStringLiteral("PlayPause"));
  play->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
  shownPlaying_ = playing;
}

void TMainForm::PlayPause() {
  player_->PlayPause();
  ShowPlayButtons(player_->Playing());
  ShowPlayingTempo();
}

void TMainForm::StopPlayback() {
  player_->Stop();
  ShowPlayButtons(false);
  ShowPlayingTempo();
  UpdatePlayCounter();
  piano_->ReleaseAllKeys();
}

void TMainForm::ShowPlayingTempo() {
  const int tempo = player_->Playing() ? int(std::lround(player_->PlayingTempo())) : int(song_->BPM);
  if (tempo <= 0) return;  // following, no clock yet
  const int shown = std::clamp(tempo, props_->Bpm->Minimum(), props_->Bpm->Maximum());
  if (props_->Bpm->Value() != shown) props_->Bpm->ShowValue(shown);
}

void TMainForm::ApplyClockSource() {
  const bool external = options_->ClockSource->currentIndex() == 1;
  if (external != player_->Following()) {
    player_->SetFollowing(external);
    ShowPlayButtons(player_->Playing());
    ShowPlayingTempo();
    UpdatePlayCounter();
  }
  if (external && !syncPanel_) {
    syncPanel_ = new QLabel(this);
    syncPanel_->setObjectName(QStringLiteral("SyncPanel"));
    syncPanel_->setToolTip(QStringLiteral("Following the MIDI clock of the MIDI In device"));
    statusBar()->addPermanentWidget(syncPanel_);
    syncPoll_ = new QTimer(this);
    syncPoll_->setInterval(200);
    connect(syncPoll_, &QTimer::timeout, this, &TMainForm::ShowSyncState);
  }
  if (!syncPanel_) return;
  syncPanel_->setVisible(external);
  if (external) {
    syncPoll_->start();
  } else {
    syncPoll_->stop();
  }
  ShowSyncState();
}

void TMainForm::ShowSyncState() {
  if (!player_->Following()) return;
  const double tempo = player_->Follower().Tempo(MidiClock::now());
  const QString text =
      tempo > 0 ? QStringLiteral("EXT %1 BPM").arg(tempo, 0, 'f', 1) : QStringLiteral("EXT: no clock");
  if (syncPanel_->text() != text) syncPanel_->setText(text);
  // The master starts and stops playback; the window shows it here and after each row.
  if (player_->Playing() != shownPlaying_) ShowPlayButtons(player_->Playing());
  ShowPlayingTempo();
}

void TMainForm::UpdatePlayCounter() {
  if (!song_) return;
  const int row = song_->LastPlayedRow;
  const int order = song_->LastPlayedOrder;
  const bool onBeat = row % std::max<int>(song_->SPD, 1) == 0;
  if (onBeat != counterOnBeat_) {
    QPalette palette = props_->PlayCounter->palette();
    palette.setColor(QPalette::WindowText, onBeat ? beatColor_ : offBeatColor_);
    props_->PlayCounter->setPalette(palette);
    counterOnBeat_ = onBeat;
  }
  props_->PlayCounter->setText(PlayCounterText(order, row, frame_->Options().HexDisplay()));
  lastShownRow_ = -1;  // the counter always moves the highlight too
  UpdatePlayRow();
}

void TMainForm::UpdatePlayRow() {
  const int row = song_->LastPlayedRow;
  const int order = song_->LastPlayedOrder;
  if (row == lastShownRow_ && order == lastShownOrder_) return;
  TMyGrid2* grid = frame_->Grid1();
  grid->SetActiveRow(row + 1);
  if (frame_->Options().followNote && row + 1 < grid->RowCount()) grid->SetRow(row + 1);
  if (order != lastShownOrder_) {
    frame_->Grid2()->SetActiveRow(order + 1);
    if (song_->FollowSongView) {
      // The pattern grid shows the pattern the order names at the new position.
      props_->Ptn->ShowValue(order);
      ShowLength();
      frame_->RedrawPattern(0, 0, true);
    }
  }
  lastShownRow_ = row;
  lastShownOrder_ = order;
}

bool TMainForm::event(QEvent* event) {
  if (event->type() == PlayPositionEvent) {
    HandlePlayPosition();
    return true;
  }
  if (event->type() == MidiInputEvent) {
    HandleMidiInput();
    return true;
  }
  return QMainWindow::event(event);
}

void TMainForm::HandlePlayPosition() {
  playPoster_.Taken();
  if (closing_ || Action(QStringLiteral("DisableUpdates"))->isChecked()) return;
  ++playUpdates_;
  if (player_->Playing() != shownPlaying_) ShowPlayButtons(player_->Playing());
  ShowPlayingTempo();
  UpdatePlayCounter();
  DrawChannelActivity();
  ShowRowOnPiano();
}

void TMainForm::HandleMidiInput() {
  midiPoster_.Taken();
  for (const ShortMessage& message : midiIn_.TakeAll()) frame_->HandleMidiIn(message);
}

}  // namespace varnel
