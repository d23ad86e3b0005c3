// Tracks and channels: the channels toggle bar (on/off, solo, exemption, activity lights, "=>"),
// the commands that add, edit and remove tracks and channels, and the channel bar and MIDI
// channel properties panel that show the current channel.
#include <QAction>
#include <QComboBox>
#include <QSplitter>
#include <QToolBar>

#include "app/channel_bar.h"
#include "app/channel_toggles.h"
#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "app/midi_props_frame.h"
#include "app/options_dialog.h"
#include "app/track_dialog.h"
#include "document/song_document.h"
#include "editing/channel_rules.h"
#include "editing/track_info.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/midi_devices.h"
#include "song/song.h"

namespace varnel {

void TMainForm::ConnectTracks() {
  MainCommands& c = *commands_;
  toggles_ = new TChannelToggles(channelsBar_);
  channelsBar_->addWidget(toggles_);
  toggles_->SetCount(16);  // before there is a song; PrepareEditor matches the song's channels
  connect(toggles_, &TChannelToggles::toggleClicked, this, &TMainForm::TrackLabelMouseDown);
  connect(toggles_, &TChannelToggles::addToSequenceClicked, this, &TMainForm::AddToSequenceClick);
  connect(options_, &QDialog::accepted, this, &TMainForm::UpdateTrackLabels);

  channelBarWidget_ = new TChannelBar(channelBar_);
  TChannelBar* bar = channelBarWidget_;
  // Each change is a step; a value stepped on in its box stays one step.
  const auto channelStep = [this](const char* field, bool merge) {
    return std::make_unique<EditStep>(*document_, "channel properties", StepScope::Values(),
                                      std::string(field) + " " + std::to_string(currentChannel_), merge);
  };
  connect(bar, &TChannelBar::velocityChanged, this, [this, channelStep](int v) {
    const auto step = channelStep("velocity", true);
    song_->SetVelocity(currentChannel_, uint8_t(v));
  });
  connect(bar, &TChannelBar::releasesClicked, this, [this, channelStep](bool checked) {
    const auto step = channelStep("releases", false);
    song_->SetReleaseMode(currentChannel_, checked ? 255 : 0);
  });
  connect(bar, &TChannelBar::transposeChanged, this, [this, channelStep](int v) {
    const auto step = channelStep("transpose", true);
    song_->SetTranspose(currentChannel_, v);
  });
  connect(bar, &TChannelBar::midiChannelChanged, this, [this, channelStep](int m) {
    {
      const auto step = channelStep("MIDI channel", false);
      song_->SetMidiChannel(currentChannel_, uint8_t(m));
    }
    channelBarWidget_->ShowProgram(song_->GetProgram(m));
    midiProps_->ShowChannel(currentChannel_);
  });
  connect(bar, &TChannelBar::programChanged, this, [this](int program) {
    const int m = song_->GetMidiChannel(currentChannel_);
    {
      EditStep step(*document_, "program", StepScope::Values());
      song_->SetProgram(m, uint8_t(program));
    }
    devices_->PrepareChannels(m);
  });

  midiProps_ = new TMIDIPropsFrame(*song_, *devices_, this);
  client_->insertWidget(1, midiProps_);
  client_->setStretchFactor(0, 1);
  client_->setStretchFactor(client_->indexOf(midiProps_), 0);
  connect(midiProps_, &TMIDIPropsFrame::cellChanged, frame_, &TVNFrame::RedrawData);
  midiProps_->RecordCellEdit = [this](const std::function<void()>& write) {
    EditStep step(*document_, "filter cuts", StepScope::Cells(0, song_->TracksCount() - 1, 0, 0));
    write();
  };
  connect(midiProps_, &TMIDIPropsFrame::programChanged, this,
          [this] { channelBarWidget_->ShowProgram(song_->GetProgram(midiProps_->MidiChannel())); });
  connect(midiProps_, &TMIDIPropsFrame::closed, this, [this] { Action("ChannelPropsPanel")->setChecked(false); });
  connect(c["ChannelPropsPanel"], &QAction::toggled, midiProps_, &QWidget::setVisible);

  trackForm_ = new TTrackForm(this);

  connect(c["AddTrack"], &QAction::triggered, this, [this] { AddTrackClick(ttNote, -1); });
  connect(c["AddVolumeTrack"], &QAction::triggered, this, [this] { AddTrackClick(ttVelocity, -1); });
  for (int tag = 1; tag <= 10; ++tag)
    connect(c[QStringLiteral("Automation%1").arg(tag)], &QAction::triggered, this, [this, tag] { AddTrackClick(tag + 3, -1); });
  // The controller, NRPN and RPN items carry their parameter as the tag.
  const std::pair<const char*, int> families[] = {{"CC", ttControlChange}, {"NRPN", ttNRPN}, {"RPN", ttRPN}};
  for (auto it = c.All().begin(); it != c.All().end(); ++it) {
    for (const auto& [prefix, type] : families) {
      const QString key = it.key();
      if (!key.startsWith(QLatin1String(prefix))) continue;
      if (key.endsWith(QLatin1String("Enter"))) {
        connect(it.value(), &QAction::triggered, this, [this, type = type] { AddCustomTrackClick(type); });
      } else {
        const int param = it.value()->data().toInt();
        connect(it.value(), &QAction::triggered, this, [this, type = type, param] { AddTrackClick(type, param); });
      }
    }
  }
  connect(c["ProgramTrack"], &QAction::triggered, this, [this] { AddTrackClick(ttProgram, -1); });
  connect(c["TempoTrack"], &QAction::triggered, this, [this] { AddTrackClick(ttTempo, -1); });
  On("EditTrackProperties", &TMainForm::EditTrackPropertiesClick);
  On("RemoveTrack", &TMainForm::RemoveTrackClick);
  On("AddChannel", &TMainForm::AddChannelClick);
  On("RemoveChannel", &TMainForm::RemoveChannelClick);
}

// ---- Channel toggles ----

void TMainForm::TrackLabelMouseDown(int channel, Qt::MouseButton button) {
  if (channel < 0 || channel >= song_->ChannelsCount()) return;
  std::vector<ChannelSwitch> switches;
  if (button == Qt::LeftButton) {
    switches = ToggleChannel(*song_, channel);
  } else if (button == Qt::MiddleButton) {
    toggles_->SetExempt(channel, ToggleSoloExempt(*song_, channel));
  } else if (button == Qt::RightButton) {
    switches = SoloClick(*song_, soloChannel_, channel);
  }
  for (const ChannelSwitch& s : switches) {
    toggles_->SetColorIndex(s.channel, s.on ? 1 : 0);
    if (!s.on && song_->SoundEnabled) devices_->AllNotesOff(song_->GetMidiChannel(s.channel));
  }
}

void TMainForm::ChannelToggleRightClick(int channel) { TrackLabelMouseDown(channel, Qt::RightButton); }

void TMainForm::UpdateTrackLabels() {
  toggles_->UpdateTrackLabels(ToggleSizeFromOption(options_->TrackToggleSize->currentText().toStdString()));
}

void TMainForm::UpdateToggles() {
  if (toggles_->ToggleSize() != ToggleSizeFromOption(options_->TrackToggleSize->currentText().toStdString()))
    UpdateTrackLabels();
  toggles_->SetCount(song_->ChannelsCount());
  for (int c = 0; c < song_->ChannelsCount(); ++c) {
    toggles_->SetColorIndex(c, song_->ChannelOn(c) ? 1 : 0);
    toggles_->SetExempt(c, song_->ChannelSoloExempt(c));
  }
}

void TMainForm::DrawChannelActivity() {
  const int count = std::min(song_->ChannelsCount(), toggles_->Count());
  for (int c = 0; c < count; ++c) toggles_->ChannelDraw(c, song_->ChannelActivity(c), song_->ChannelOn(c));
}

void TMainForm::OrderInsert(int row, int channel, int value) {
  song_->SetOrder(channel, row, value);
  frame_->RedrawOrder(channel, row);
}

void TMainForm::AddToSequenceClick() {
  const int row = GetFirstClearOrderRow(*song_);
  const std::vector<int> entries = SequenceEntries(*song_);
  EditStep step(*document_, "add to sequence", StepScope::Orders(0, song_->ChannelsCount() - 1, row, row));
  for (int c = 0; c < int(entries.size()); ++c) OrderInsert(row, c, entries[size_t(c)]);
  frame_->RedrawPattern(0, 0, false);
}

// ---- Track and channel commands ----

int TMainForm::CursorTrack() const { return std::clamp(frame_->Grid1()->Col() - 1, 0, song_->TracksCount() - 1); }

void TMainForm::AddTrackClick(int type, int param) {
  const int track = CursorTrack();
  const char* name = type == ttNote ? "add track" : type == ttVelocity ? "add volume track" : "add automation track";
  WithTimerStopped([&] {
    bool added;
    {
      EditStep step(*document_, name, StepScope::Shape());
      added = song_->AddTrack(track, type, param, -1);
    }
    if (added) frame_->RedrawPattern(track, 0, true);
  });
}

void TMainForm::AddCustomTrackClick(int type) {
  int first = trackForm_->Value1->value(), second = trackForm_->Value2->value();
  const QString caption = QString::fromStdString(TrackDialogCaption(type, false));
  if (!trackForm_->Ask(caption, type != ttControlChange, first, second)) return;
  AddTrackClick(type, JoinTrackParam(type, first, second));
}

bool TMainForm::EditCustomTrack(const std::string& caption, bool showSecond, int& first, int& second) {
  return trackForm_->Ask(QString::fromStdString(caption), showSecond, first, second);
}

void TMainForm::EditTrackPropertiesClick() {
  if (frame_->ActiveGrid() == 1) frame_->EditTrackProperties(frame_->Grid1()->Col(), 0);
}

void TMainForm::RemoveTrackClick() {
  if (!WarningConfirmed(QStringLiteral("All events of current track in the song will be lost. Continue?"))) return;
  const int track = CursorTrack();
  WithTimerStopped([&] {
    bool removed;
    {
      EditStep step(*document_, "remove track", StepScope::Shape());
      removed = song_->DeleteTrack(track);
    }
    if (removed) PrepareEditor();
  });
}

void TMainForm::AddChannelClick() {
  WithTimerStopped([&] {
    {
      EditStep step(*document_, "add channel", StepScope::Shape());
      song_->InsertChannel(currentChannel_);
    }
    PrepareEditor();
  });
}

void TMainForm::RemoveChannelClick() {
  if (!WarningConfirmed(QStringLiteral("Channel data in whole song will be erased. Continue?"))) return;
  WithTimerStopped([&] {
    {
      EditStep step(*document_, "remove channel", StepScope::Shape());
      song_->RemoveChannel(currentChannel_);
    }
    PrepareEditor();
  });
}

// ---- The current channel ----

void TMainForm::UpdateChannelProps(int channel) {
  currentChannel_ = std::clamp(channel, 0, std::max(song_->ChannelsCount() - 1, 0));
  if (!midiProps_) return;
  const int c = currentChannel_, m = song_->GetMidiChannel(c);
  channelBarWidget_->ShowChannel(c, m, song_->GetVelocity(c), song_->GetReleaseMode(c) == 255, song_->GetTranspose(c));
  channelBarWidget_->ShowProgram(song_->GetProgram(m));
  midiProps_->ShowChannel(c);
  toggles_->SetCurrent(c);
  if (song_->FollowSongView) {
    const int pattern = song_->GetOrder(c, song_->PlayingOrder);
    ChangeStatus(pattern < OrderEmpty ? QStringLiteral("Channel: %1, Pattern: %2").arg(c + 1).arg(pattern)
                                      : QStringLiteral("Channel: %1, Pattern: none").arg(c + 1),
                 0);
  }
}

void TMainForm::StepProgram(int delta) { channelBarWidget_->StepProgram(delta); }

}  // namespace varnel
