// The range commands of the Edit, Track, Channel and Pattern menus, the edit tool bar and the
// common tool bar (cut, copy, paste, transpose), and "Undo": each picks the grid edit's action,
// scope and amount and hands it to the editor frame.
#include <QAction>

#include "app/main_window.h"
#include "editing/grid_edit.h"
#include "editor/editor_frame.h"

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

void TMainForm::ConnectEdit() {
  for (const EditCommand& c : EditCommands) {
    connect(Action(QString::fromLatin1(c.key)), &QAction::triggered, this,
            [this, c] { frame_->EditGrid(c.action, c.scope, c.amount, TransposeSimple()); });
  }
  QAction* undo = Action(QStringLiteral("Undo"));
  connect(undo, &QAction::triggered, this, [this] { frame_->PerformUndo(); });
  connect(frame_, &TVNFrame::canUndoChanged, undo, &QAction::setEnabled);
  undo->setEnabled(frame_->CanUndo());
  // The track commands clear the snapshot themselves once a track has come or gone.
}

}  // namespace varnel
