// The template frame at the right of the editor, the chords dialog and the fill dialog, and how
// the editor's cursor steps by the template.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QSplitter>

#include "app/chords_dialog.h"
#include "app/fill_dialog.h"
#include "app/main_window.h"
#include "app/options_dialog.h"
#include "app/properties_bar.h"
#include "app/template_frame.h"
#include "app/user_dialogs.h"
#include "document/song_document.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "song/song.h"

namespace varnel {

void TMainForm::ConnectTemplates() {
  addFrame_ = new TAddFrame(*song_, *frame_, *dialogs_, client_);
  client_->addWidget(addFrame_);
  client_->setStretchFactor(client_->indexOf(frame_), 1);
  client_->setStretchFactor(client_->indexOf(addFrame_), 0);
  client_->setCollapsible(client_->indexOf(addFrame_), false);

  QAction* view = Action(QStringLiteral("AddTemplate"));
  addFrame_->setVisible(view->isChecked());
  connect(view, &QAction::toggled, this, [this](bool on) {
    addFrame_->SetUseInEditor(false);
    addFrame_->setVisible(on);
  });
  connect(addFrame_, &TAddFrame::closed, this, [view] { view->setChecked(false); });
  // A step typed or chosen by hand ends the template's stepping.
  connect(props_->Add, &NumberField::changed, this, [this] { addFrame_->SetUseInEditor(false); });
  connect(props_->Spd, &NumberField::changed, this, [this](int rows) { addFrame_->SetRowHighlight(rows); });
  if (options_) connect(options_, &TOptionsForm::rowNumbersChanged, this, [this] { addFrame_->Redraw(); });

  chordsForm_ = new TChordsForm(this);
  frame_->Options().chordBoxes = chordsForm_->Boxes();
  connect(chordsForm_, &TChordsForm::boxesChanged, this, [this](unsigned boxes) { frame_->Options().chordBoxes = boxes; });
  connect(Action(QStringLiteral("ChordsSettings")), &QAction::triggered, chordsForm_, &QDialog::exec);

  fillForm_ = new TFillForm(*dialogs_, this);
  fillForm_->OnFill = [this](const FillSettings& settings) {
    const TGridRect s = frame_->Grid1()->Selection();
    std::string refusal;
    {
      EditStep step(*document_, "fill", StepScope::Cells(s.Left - 1, s.Right - 1, s.Top - 1, s.Bottom - 1));
      refusal = FillSelection(*song_, s.Left - 1, s.Top - 1, s.Right - 1, s.Bottom - 1, settings, ClockSeededFillRandom());
    }
    if (!refusal.empty()) {
      dialogs_->Message(fillForm_, QString::fromStdString(refusal));
      return;
    }
    for (int row = s.Top - 1; row <= s.Bottom - 1; ++row) frame_->RedrawData(s.Left - 1, row);
  };
  connect(Action(QStringLiteral("Fill")), &QAction::triggered, this, &TMainForm::FillClick);
}

void TMainForm::RedrawTemplate() {
  if (!addFrame_) return;
  addFrame_->SetRowHighlight(song_->SPD);
  addFrame_->Redraw();
}

void TMainForm::FillClick() { fillForm_->exec(); }

// A template without X leaves the step to the "Add." field.
bool TMainForm::TemplateStep(int& step) {
  if (!addFrame_ || !addFrame_->UseInEditor()) return false;
  const int next = addFrame_->GetNextAdd(frame_->Grid1()->Row() - 1);
  if (next < 0) return false;
  step = next;
  return true;
}

}  // namespace varnel
