// The range commands of the Edit, Track, Channel and Pattern menus, the edit tool bar and the
// common tool bar (cut, copy, paste, transpose): each picks the grid edit's action, scope and
// amount and hands it to the editor frame. "Undo" and "Redo" step through the song's history.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QSignalBlocker>
#include <QTimer>

#include "app/main_window.h"
#include "app/properties_bar.h"
#include "document/song_document.h"
#include "editing/grid_edit.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "song/song.h"

namespace varnel {

namespace {

struct EditCommand {
  const char* key;
  int action, scope, amount;
};

// clang-format off
constexpr EditCommand EditCommands[] = {
    {"Cut", EditCut, ScopeSelection, 0},        {"Copy", EditCopy, ScopeSelection, 0},
    {"Paste", EditPaste, ScopeSelection, 0},
    {"CutTrack", EditCut, ScopeTrack, 0},       {"CopyTrack", EditCopy, ScopeTrack, 0},
    {"PasteTrack", EditPaste, ScopeTrack, 0},
    {"CutChannel", EditCut, ScopeChannel, 0},   {"CopyChannel", EditCopy, ScopeChannel, 0},
    {"PasteChannel", EditPaste, ScopeChannel, 0},
    {"CutPattern", EditCut, ScopeAll, 0},       {"CopyPattern", EditCopy, ScopeAll, 0},
    {"PastePattern", EditPaste, ScopeAll, 0},
    {"TransposeDown", EditTranspose, ScopeSelection, -1},
    {"TransposeUp", EditTranspose, ScopeSelection, 1},
    {"TransposeOctaveDown", EditTranspose, ScopeSelection, -12},
    {"TransposeOctaveUp", EditTranspose, ScopeSelection, 12},
    {"TransposeTrackDown", EditTranspose, ScopeTrack, -1},
    {"TransposeTrackUp", EditTranspose, ScopeTrack, 1},
    {"TransposeTrackOctaveDown", EditTranspose, ScopeTrack, -12},
    {"TransposeTrackOctaveUp", EditTranspose, ScopeTrack, 12},
    {"TransposeChannelDown", EditTranspose, ScopeChannel, -1},
    {"TransposeChannelUp", EditTranspose, ScopeChannel, 1},
    {"TransposeChannelOctaveDown", EditTranspose, ScopeChannel, -12},
    {"TransposeChannelOctaveUp", EditTranspose, ScopeChannel, 12},
    {"TransposePatternDown", EditTranspose, ScopeAll, -1},
    {"TransposePatternUp", EditTranspose, ScopeAll, 1},
};
// clang-format on

}  // namespace

namespace {

// Value changes made by controls outside any command (a slider dragged, a spin box stepped) become
// steps once the gesture is over: at every release of a key or mouse button, or turn of the wheel.
class HistoryCheckpoints final : public QObject {
 public:
  HistoryCheckpoints(QObject* parent, SongDocument& document) : QObject(parent), document_(document) {}

  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type type = event->type();
    if ((type == QEvent::MouseButtonRelease || type == QEvent::KeyRelease || type == QEvent::Wheel) && !pending_) {
      pending_ = true;
      QTimer::singleShot(0, this, [this] {
        pending_ = false;
        document_.Sync();
      });
    }
    return false;
  }

 private:
  SongDocument& document_;
  bool pending_ = false;
};

}  // namespace

void TMainForm::ConnectEdit() {
  for (const EditCommand& c : EditCommands) {
    connect(Action(QString::fromLatin1(c.key)), &QAction::triggered, this,
            [this, c] { frame_->EditGrid(c.action, c.scope, c.amount, TransposeSimple()); });
  }
  QAction* undo = Action(QStringLiteral("Undo"));
  QAction* redo = Action(QStringLiteral("Redo"));
  connect(undo, &QAction::triggered, this, [this] { StepHistory(false); });
  connect(redo, &QAction::triggered, this, [this] { StepHistory(true); });
  document_->SetChanged([this, undo, redo] {
    undo->setEnabled(document_->CanUndo());
    redo->setEnabled(document_->CanRedo());
  });
  undo->setEnabled(document_->CanUndo());
  redo->setEnabled(document_->CanRedo());
  qApp->installEventFilter(new HistoryCheckpoints(this, *document_));
}

void TMainForm::StepHistory(bool redo) {
  // Changes not yet recorded become the newest step first: that is the one to undo.
  document_->Sync();
  const EditHistory& history = document_->History();
  const bool available = redo ? history.CanRedo() : history.CanUndo();
  const bool reshapes =
      available && (history.StepAt(redo ? history.Position() : history.Position() - 1).touches & TouchShape);
  // A step that reshapes the song is put back like the commands that reshape it: off the clock.
  const HistoryStep* step = nullptr;
  const auto apply = [&] { step = redo ? frame_->PerformRedo() : frame_->PerformUndo(); };
  if (reshapes) {
    WithTimerStopped(apply);
  } else {
    apply();
  }
  if (!step) return;
  const QString name = QString::fromStdString(step->name);
  const EditPlace place = step->place;
  steppingHistory_ = true;
  if (step->touches & TouchShape) {
    PrepareEditor();
    frame_->ShowPlace(place);
  } else if (step->touches & TouchValues) {
    ShowValues();
  }
  steppingHistory_ = false;
  ChangeStatus((redo ? QStringLiteral("Redo: ") : QStringLiteral("Undo: ")) + name, 0);
}

// After a step put values back: what shows them, and the devices that play them.
void TMainForm::ShowValues() {
  props_->Bpm->ShowValue(song_->BPM);
  props_->Spd->ShowValue(song_->SPD);
  frame_->Grid1()->SetRowHighlight(song_->SPD);
  RedrawTemplate();
  {
    const QSignalBlocker toneQuiet(props_->KeyTone), typeQuiet(props_->KeyType);
    props_->KeyTone->setCurrentIndex(std::clamp<int>(song_->KeyTone, 0, 11));
    props_->KeyType->setCurrentIndex(std::clamp<int>(song_->KeyType, 0, 1));
  }
  ShowLength();
  CopyLoopsToGrids();
  frame_->RedrawPattern(0, 0, true);
  frame_->RedrawOrders(0, 0);
  devices_->PrepareChannels(-1);
  UpdateChannelProps(currentChannel_);
  player_->RestartPlayTimer();
}

}  // namespace varnel
