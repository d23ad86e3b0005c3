// The change rules of the properties bar's fields.
#include <QComboBox>

#include "app/main_window.h"
#include "app/properties_bar.h"
#include "document/song_document.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/playback.h"
#include "song/song.h"

namespace varnel {

void TMainForm::ConnectProperties() {
  connect(props_->Bpm, &NumberField::changed, this, &TMainForm::BpmChanged);
  connect(props_->Spd, &NumberField::changed, this, &TMainForm::SpdChanged);
  connect(props_->Add, &NumberField::changed, this, &TMainForm::AddChanged);
  connect(props_->Ptn, &NumberField::changed, this, &TMainForm::PatternFieldChanged);
  connect(props_->Len, &NumberField::changed, this, &TMainForm::LengthChanged);
  connect(props_->KeyTone, &QComboBox::currentIndexChanged, this, [this](int index) {
    EditStep step(*document_, "key", StepScope::Values());
    if (index >= 0) song_->KeyTone = index;
  });
  connect(props_->KeyType, &QComboBox::currentIndexChanged, this, [this](int index) {
    EditStep step(*document_, "key", StepScope::Values());
    if (index >= 0) song_->KeyType = index;
  });
}

// Each of these is a step; stepping or typing one value on is the same step.
void TMainForm::BpmChanged(int value) {
  EditStep step(*document_, "BPM", StepScope::Values(), "BPM", true);
  player_->SetTempo(value);  // the song's tempo; playback takes it up at once, over a tempo cell's
}

void TMainForm::SpdChanged(int value) {
  {
    EditStep step(*document_, "Spd.", StepScope::Values(), "Spd.", true);
    song_->SPD = uint8_t(value);
  }
  player_->RestartPlayTimer();
  frame_->Grid1()->SetRowHighlight(value);
  frame_->RedrawPattern(0, 0, false);
  frame_->RedrawOrders(0, 0);
}

void TMainForm::AddChanged(int value) {
  // Typing a step by hand also ends the template's stepping, once the template frame exists.
  song_->GridAdd = value;
}

void TMainForm::PatternFieldChanged(int value) {
  NumberField* field = props_->Ptn;
  const int count = song_->FollowSongView ? song_->OrderLength() : song_->PatternsCount();
  if (value == count) {
    // One step past the end reaches a new pattern (or order row); the next step may go one further.
    field->AddPreset(QString::number(field->Maximum()));
    field->SetMaximum(field->Maximum() + 1);
  }
  if (!song_->FollowSongView && value == song_->PatternsCount()) {
    // One past the last pattern appends a pattern.
    EditStep step(*document_, "add pattern", StepScope::Shape());
    song_->SelectPattern(value);
  } else if (song_->FollowSongView && value > song_->OrderLength()) {
    const int length = song_->OrderLength();
    EditStep step(*document_, "order length", StepScope::Orders(0, 0, length, length));
    song_->SelectPattern(value);
  } else {
    song_->SelectPattern(value);
  }
  frame_->RedrawPattern(0, 0, true);
  ShowLength();
}

void TMainForm::LengthChanged(int value) {
  if (lengthGuard_) return;
  {
    EditStep step(*document_, "pattern length", StepScope::Values(), "length " + std::to_string(song_->CurrentPattern),
                  true);
    song_->SetLastRow(uint8_t(value - 1));
  }
  frame_->RedrawPattern(0, 0, true);
}

void TMainForm::ResetPatternPresets() {
  QStringList presets;
  for (int p = 0; p < song_->PatternsCount(); ++p) presets << QString::number(p);
  props_->Ptn->SetPresets(presets);
}

}  // namespace varnel
