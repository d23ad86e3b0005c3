// The pattern-shaping commands of the Track, Channel and Pattern menus and the edit tool bar, and
// the long hints on status panel 0.
#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusTipEvent>
#include <QToolBar>
#include <algorithm>
#include <vector>

#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "document/song_document.h"
#include "editing/pattern_shape.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "song/song.h"

namespace varnel {

namespace {

// Shows the long hint of whatever the mouse is over on status panel 0; when the mouse leaves, the
// status text from before comes back unless a newer one has replaced the hint meanwhile.
class HintFilter final : public QObject {
 public:
  HintFilter(QObject* parent, QLabel* panel) : QObject(parent), panel_(panel) {}

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::StatusTip) return false;
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    if (!tip.isEmpty()) {
      if (shown_.isEmpty() || panel_->text() != shown_) underneath_ = panel_->text();
      shown_ = tip;
      panel_->setText(tip);
    } else if (!shown_.isEmpty()) {
      if (panel_->text() == shown_) panel_->setText(underneath_);
      shown_.clear();
    }
    return true;
  }

 private:
  QLabel* panel_;
  QString shown_;       // the hint on the panel, empty when none
  QString underneath_;  // the status text it covers
};

// The pattern grid's cursor track; with the channel scope, every note track of its channel.
std::vector<int> ShapeTracks(const TVNFrame& frame, const TVNSong& song, bool channel) {
  const int track = frame.Grid1()->Col() - 1;
  if (track < 0 || track >= song.TracksCount()) return {};
  if (!channel) return {track};
  return NoteTracksOfChannel(song, song.GetTrackChannel(track));
}

// Every row of the tracks from the first to the last of these.
StepScope TracksScope(const std::vector<int>& tracks) {
  if (tracks.empty()) return StepScope::Values();
  const auto [first, last] = std::minmax_element(tracks.begin(), tracks.end());
  return StepScope::Cells(*first, *last, 0, RowsPerPattern - 1);
}

}  // namespace

void TMainForm::ConnectShaping() {
  MainCommands& c = *commands_;
  connect(c["QuantizeTrack"], &QAction::triggered, this, [this] { QuantizeClick(false); });
  connect(c["QuantizeChannel"], &QAction::triggered, this, [this] { QuantizeClick(true); });
  for (const QString& scope : {QStringLiteral("Track"), QStringLiteral("Channel")}) {
    const bool channel = scope == QLatin1String("Channel");
    for (int n = 0; n <= 8; ++n)
      connect(c[scope + QStringLiteral("Length%1").arg(n)], &QAction::triggered, this,
              [this, channel, n] { NotesLengthClick(channel, false, n); });
    for (int n = 1; n <= 8; ++n)
      connect(c[scope + QStringLiteral("LengthFromNext%1").arg(n)], &QAction::triggered, this,
              [this, channel, n] { NotesLengthClick(channel, true, n); });
  }
  for (int k : {2, 3})
    connect(c[QStringLiteral("Expand%1").arg(k)], &QAction::triggered, this, [this, k] { ExpandClick(k); });
  for (int k : {2, 3, 4})
    connect(c[QStringLiteral("Shrink%1").arg(k)], &QAction::triggered, this, [this, k] { ShrinkClick(k); });

  // Status tips stop at the first window on their way up: menus opened from the grids' pop-up and
  // floating tool bars are windows of their own.
  auto* hints = new HintFilter(this, panel0_);
  installEventFilter(hints);
  popup_->installEventFilter(hints);
  for (QToolBar* bar : findChildren<QToolBar*>()) bar->installEventFilter(hints);
}

void TMainForm::QuantizeClick(bool channel) {
  const std::vector<int> tracks = ShapeTracks(*frame_, *song_, channel);
  {
    EditStep step(*document_, "quantize", TracksScope(tracks));
    for (int track : tracks) QuantizeForward(*song_, track, track);
  }
  frame_->RedrawPattern(0, 0, false);
}

void TMainForm::NotesLengthClick(bool channel, bool fromNext, int length) {
  const std::vector<int> tracks = ShapeTracks(*frame_, *song_, channel);
  {
    EditStep step(*document_, "note lengths", TracksScope(tracks));
    for (int track : tracks) {
      if (fromNext)
        SetNotesLength2(*song_, track, length);
      else
        SetNotesLength1(*song_, track, length);
    }
  }
  frame_->RedrawPattern(0, 0, false);
}

void TMainForm::ExpandClick(int factor) {
  {
    EditStep step(*document_, "expand", TracksScope({0, song_->TracksCount() - 1}));
    if (!ExpandPattern(*song_, factor)) return;
  }
  ShowLength();
  frame_->RedrawPattern(0, 0, true);
}

void TMainForm::ShrinkClick(int divisor) {
  {
    EditStep step(*document_, "shrink", TracksScope({0, song_->TracksCount() - 1}));
    if (!ShrinkPattern(*song_, divisor)) return;
  }
  ShowLength();
  frame_->RedrawPattern(0, 0, true);
}

}  // namespace varnel
