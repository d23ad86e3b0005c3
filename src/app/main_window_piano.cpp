// The main window's side of the piano window: the "P&iano" command, the keys the editor and the
// MIDI input light, the notes of the row being played, the options and the settings it keeps.
#include <QAction>
#include <QCheckBox>
#include <QRect>
#include <QScreen>
#include <QStatusBar>
#include <algorithm>

#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "app/options_dialog.h"
#include "app/settings.h"
#include "app/window_place.h"
#include "editing/pattern_shape.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "song/song.h"
#include "windows/piano_form.h"

namespace varnel {

namespace {

using S = Settings;

}  // namespace

void TMainForm::ConnectPiano() {
  piano_ = new TPianoForm(*song_, *frame_, *this);
  addDockWidget(Qt::BottomDockWidgetArea, piano_);
  // Hidden until the settings say otherwise (shown when nothing was stored).
  piano_->hide();
  QAction* item = Action(QStringLiteral("Piano"));
  item->setChecked(false);
  connect(item, &QAction::toggled, this, [this](bool on) {
    if (on) pianoHiddenToFit_ = false;
    piano_->setVisible(on);
    if (on) piano_->ShowHints(options_->ShowHints->isChecked());
  });
  connect(piano_, &TPianoForm::closedByUser, this, [item] { item->setChecked(false); });
  connect(piano_, &TPianoForm::dockedChanged, this, [this](bool docked) { options_->DockedPiano->setChecked(docked); });
  connect(Action(QStringLiteral("KeyboardMode")), &QAction::toggled, piano_, &TPianoForm::KeyboardModeChanged);
  piano_->SetOctaveLabels(song_->Octave);
}

// Docked under everything else, the piano can make the window taller than a small screen (a
// laptop at twice the scale), which pushes the status bar out of sight. Once, when the window is
// first shown, it is hidden then; View > Piano brings it back.
void TMainForm::HidePianoIfTooTall() {
  const QScreen* shownOn = screen();
  if (!shownOn || !piano_->isVisible() || piano_->isFloating()) return;
  const int decoration = frameGeometry().height() - geometry().height();
  if (minimumSizeHint().height() + decoration <= shownOn->availableGeometry().height()) return;
  Action(QStringLiteral("Piano"))->setChecked(false);
  pianoHiddenToFit_ = true;
  statusBar()->showMessage(tr("Piano hidden to fit the screen (View > Piano)"), 15000);
}

void TMainForm::PianoKey(int note, bool down) {
  if (down)
    piano_->PressKey(note);
  else
    piano_->ReleaseKey(note);
}

// While the song plays: the notes sounding on the cursor channel's MIDI channel, whatever pattern
// is on screen (song mode plays the order's patterns) and however long ago they started. Stopped:
// the notes of the cursor channel's note tracks on the cursor row.
void TMainForm::ShowRowOnPiano() {
  if (!piano_->isVisible()) return;
  piano_->ReleaseAllKeys();
  const int shift = 12 * piano_->PianoBaseOctave() - 12 * song_->Octave;
  if (player_->Playing()) {
    const std::bitset<128> sounding = devices_->NotesSounding(song_->GetMidiChannel(currentChannel_));
    for (int note = 0; note < 128; ++note)
      if (sounding.test(size_t(note))) piano_->PressKey(note + shift);
    return;
  }
  const TMyGrid2* grid = frame_->Grid1();
  const int track = grid->Col() - 1;
  if (track < 0 || track >= song_->TracksCount()) return;
  for (const int t : NoteTracksOfChannel(*song_, song_->GetTrackChannel(track))) {
    const int note = song_->GetCellData(t, grid->Row() - 1);
    if (note >= 0 && note <= 127) piano_->PressKey(note + shift);
  }
}

// After the options dialog: dock or float, the hints, and the octave labels.
void TMainForm::ApplyPianoOptions() {
  piano_->SetDockedOption(options_->DockedPiano->isChecked());
  piano_->ShowHints(options_->ShowHints->isChecked());
  piano_->ApplyDocking();
}

void TMainForm::GetPianoSettings(Settings& s) {
  const bool docked = options_->DockedPiano->isChecked();
  if (!docked) {
    const auto left = s.Read(S::PianoFormLeft), top = s.Read(S::PianoFormTop);
    const auto width = s.Read(S::PianoFormWidth), height = s.Read(S::PianoFormHeight);
    if (left && top && width && height) {
      const QRect bounds(*left, *top, std::clamp(*width, 1, 32767), std::clamp(*height, 1, 32767));
      if (const QRect area = AvailableAreaFor(bounds); *width > 0 && *height > 0 && !area.isEmpty())
        piano_->SetFloatingGeometry(OnScreenBounds(bounds, area, piano_->minimumSizeHint()));
    }
  }
  piano_->SetDockedOption(docked);
  piano_->ShowHints(options_->ShowHints->isChecked());
  const int zoom = s.Read(S::PianoSize, TPianoForm::DefaultZoom);
  piano_->SetZoom(zoom >= 0 && zoom < TPianoForm::ZoomCount ? zoom : TPianoForm::DefaultZoom);

  Action(QStringLiteral("Piano"))->setChecked(s.Read(S::PianoVisible, true));
  piano_->ApplyDocking();
  // The position of the floating window (its client area, as the bounds above); docked, the dock
  // area places it.
  const auto top = s.Read(S::PianoTop), left = s.Read(S::PianoLeft);
  if (!docked && top && left) {
    const QRect moved(QPoint(*left, *top), piano_->size());
    if (const QRect area = AvailableAreaFor(moved); !area.isEmpty())
      piano_->setGeometry(OnScreenBounds(moved, area, piano_->minimumSizeHint()));
  }
}

void TMainForm::SavePianoSettings(Settings& s) {
  s.Write(S::PianoVisible, Action(QStringLiteral("Piano"))->isChecked() || pianoHiddenToFit_);
  s.Write(S::PianoSize, piano_->PianoZoom());
  const QRect floating = piano_->FloatingGeometry();
  if (!options_->DockedPiano->isChecked() && floating.isValid()) {
    s.Write(S::PianoFormLeft, floating.left());
    s.Write(S::PianoFormTop, floating.top());
    s.Write(S::PianoFormWidth, floating.width());
    s.Write(S::PianoFormHeight, floating.height());
  }
  // Only a window that has floated has a position of its own.
  if (floating.isValid()) {
    s.Write(S::PianoTop, floating.top());
    s.Write(S::PianoLeft, floating.left());
  }
}

}  // namespace varnel
