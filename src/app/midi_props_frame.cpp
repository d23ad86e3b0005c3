#include "app/midi_props_frame.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "editing/channel_rules.h"
#include "midi/midi_devices.h"
#include "song/song.h"

namespace varnel {

namespace {

constexpr const char* PresetCaptions[10] = {"",       "Panning", "Volume", "Modulation", "Expression",
                                            "Sus. pedal", "Reverb", "Chorus", "Filter cut", "Filter res"};
constexpr int FilterCutPreset = 8;
constexpr int BankControllers[2] = {0, 32};

QSlider* ValueSlider(QWidget* parent, bool trackBar) {
  auto* control = new QSlider(Qt::Horizontal, parent);
  control->setRange(PresetNotSet, 127);
  control->setValue(PresetNotSet);
  control->setPageStep(8);
  if (trackBar) control->setTickPosition(QSlider::TicksBelow);
  control->setTickInterval(16);
  return control;
}

}  // namespace

TMIDIPropsFrame::TMIDIPropsFrame(TVNSong& song, MidiDevices& devices, QWidget* parent)
    : QFrame(parent), song_(song), devices_(devices) {
  setObjectName(QStringLiteral("MIDIPropsFrame"));
  setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);

  auto* title = new QHBoxLayout;
  Title = new QLabel(QStringLiteral("MIDI Channel Properties"), this);
  Title->setObjectName(QStringLiteral("MIDIPropsTitle"));
  Title->setAutoFillBackground(true);
  title->addWidget(Title, 1);
  CloseButton = new QToolButton(this);
  CloseButton->setText(QStringLiteral("x"));
  CloseButton->setAutoRaise(true);
  title->addWidget(CloseButton);
  outer->addLayout(title);
  connect(CloseButton, &QToolButton::clicked, this, [this] {
    hide();
    emit closed();
  });

  // Below the title everything scrolls: on a low screen the sliders keep their height instead of
  // overlapping, and the panel never makes the window taller than the screen.
  Body = new QScrollArea(this);
  Body->setObjectName(QStringLiteral("MIDIPropsBody"));
  Body->setFrameShape(QFrame::NoFrame);
  Body->setWidgetResizable(true);
  Body->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Body->viewport()->setAutoFillBackground(false);
  auto* content = new QWidget(Body);
  content->setAutoFillBackground(false);
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  Body->setWidget(content);
  outer->addWidget(Body, 1);

  auto* channelRow = new QHBoxLayout;
  channelRow->addWidget(new QLabel(QStringLiteral("MIDI Channel"), content));
  MidiChannelList = new QComboBox(content);
  for (int m = 1; m <= 16; ++m) MidiChannelList->addItem(QString::number(m));
  MidiChannelList->setEnabled(false);
  channelRow->addWidget(MidiChannelList, 1);
  layout->addLayout(channelRow);

  // The groups: presets 1..5, 6..7, 8..9, then the bank.
  const std::pair<int, int> groups[] = {{1, 5}, {6, 7}, {8, 9}};
  for (const auto& [first, last] : groups) {
    auto* box = new QGroupBox(content);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(4, 2, 4, 2);
    for (int p = first; p <= last; ++p) {
      presets_[size_t(p)] = MakeControl(box, QString::fromLatin1(PresetCaptions[p]), [this, p](int v) { ParamChange(p, v); });
    }
    layout->addWidget(box);
  }
  auto* bankBox = new QGroupBox(content);
  new QGridLayout(bankBox);
  banks_[0] = MakeControl(bankBox, QStringLiteral("Bank MSB"), [this](int v) { BankMSBChanged(v); });
  banks_[1] = MakeControl(bankBox, QStringLiteral("Bank LSB"), [this](int v) { BankLSBChanged(v); });
  layout->addWidget(bankBox);

  const auto button = [this, layout, content](const QString& caption, void (TMIDIPropsFrame::*action)()) {
    auto* b = new QPushButton(caption, content);
    layout->addWidget(b);
    connect(b, &QPushButton::clicked, this, action);
    return b;
  };
  ResetAllButton = button(QStringLiteral("Reset All"), &TMIDIPropsFrame::ResetAll);
  CopyButton = button(QStringLiteral("Copy"), &TMIDIPropsFrame::Copy);
  PasteButton = button(QStringLiteral("Paste"), &TMIDIPropsFrame::Paste);
  SendCutButton = button(QStringLiteral("Send current Filter cut to track"), &TMIDIPropsFrame::SendCurrentFilterCut);
  SendAllCutsButton = button(QStringLiteral("Send all Filter cuts to pattern"), &TMIDIPropsFrame::SendAllFilterCuts);
  ClearCutsButton = button(QStringLiteral("Clear all Filter cuts at pattern"), &TMIDIPropsFrame::ClearAllFilterCuts);
  layout->addStretch(1);
  SetSlidersVisible(false);
}

QSize TMIDIPropsFrame::minimumSizeHint() const {
  const QMargins margins = contentsMargins() + layout()->contentsMargins();
  const int width = Body->widget()->minimumSizeHint().width() + Body->verticalScrollBar()->sizeHint().width();
  const int height = Title->minimumSizeHint().height() + 3 * MidiChannelList->minimumSizeHint().height();
  return {width + margins.left() + margins.right(), height + margins.top() + margins.bottom()};
}

TMIDIPropsFrame::Control TMIDIPropsFrame::MakeControl(QWidget* parent, const QString& caption,
                                                      const std::function<void(int)>& handler) {
  auto* grid = static_cast<QGridLayout*>(parent->layout());
  const int row = grid->rowCount();
  Control c{ValueSlider(parent, true), ValueSlider(parent, false), new QLabel(QStringLiteral("-"), parent)};
  c.label->setMinimumWidth(c.label->fontMetrics().horizontalAdvance(QStringLiteral("000")));
  grid->addWidget(new QLabel(caption, parent), row, 0);
  grid->addWidget(c.trackBar, row, 1);
  grid->addWidget(c.slider, row, 2);
  grid->addWidget(c.label, row, 3);
  // Both controls call the same handler; the other one follows silently, so they never disagree.
  for (QSlider* control : {c.trackBar, c.slider}) {
    QSlider* other = control == c.trackBar ? c.slider : c.trackBar;
    connect(control, &QSlider::valueChanged, this, [other, handler](int value) {
      const QSignalBlocker quiet(other);
      other->setValue(value);
      handler(value);
    });
  }
  return c;
}

void TMIDIPropsFrame::Move(const Control& control, int value) {
  for (QSlider* s : {control.trackBar, control.slider}) {
    const QSignalBlocker quiet(s);
    s->setValue(value);
  }
  control.label->setText(QString::fromStdString(PresetLabel(value)));
}

void TMIDIPropsFrame::MovePreset(int preset, int value) {
  const Control& c = presets_[size_t(preset)];
  if (c.trackBar->value() == value) return;
  Move(c, value);
  ParamChange(preset, value);
}

void TMIDIPropsFrame::MoveBank(int bank, int value) {
  const Control& c = banks_[size_t(bank)];
  if (c.trackBar->value() == value) return;
  Move(c, value);
  Bank(bank, value);
}

int TMIDIPropsFrame::MidiChannel() const { return song_.GetMidiChannel(channel_); }

void TMIDIPropsFrame::ShowChannel(int channel) {
  channel_ = channel;
  const int m = MidiChannel();
  MidiChannelList->setCurrentIndex(m < MidiChannelList->count() ? m : -1);
  Loading = true;
  for (int p = 1; p <= PresetCount; ++p) MovePreset(p, song_.GetMidiParam(m, p));
  for (int b = 0; b < 2; ++b) MoveBank(b, m < MidiChannelCount ? PresetControlValue(song_.BankSelect(m, b)) : -1);
  Loading = false;
}

void TMIDIPropsFrame::ParamChange(int preset, int value) {
  const int m = MidiChannel();
  if (preset == 0) {
    if (value >= 0) song_.SetProgram(m, uint8_t(value));
    return;
  }
  if (preset < 1 || preset > PresetCount) return;
  presets_[size_t(preset)].label->setText(QString::fromStdString(PresetLabel(value)));
  song_.SetMidiParam(m, preset, PresetByte(value));
  if (!Loading) devices_.SendChannelEvent(m, preset, PresetSendValue(preset, value), -1);
}

void TMIDIPropsFrame::BankMSBChanged(int value) { Bank(0, value); }

void TMIDIPropsFrame::BankLSBChanged(int value) { Bank(1, value); }

void TMIDIPropsFrame::Bank(int bank, int value) {
  const int m = MidiChannel();
  if (m < MidiChannelCount) song_.StoreBankSelect(m, bank, BankByte(value));
  banks_[size_t(bank)].label->setText(QString::fromStdString(PresetLabel(value)));
  if (!Loading) {
    devices_.SendShortMessage(0xB0, m, BankControllers[bank], BankSendValue(value));
    SendProgram(m);
  }
}

void TMIDIPropsFrame::SendProgram(int midiChannel) {
  const int program = song_.GetProgram(midiChannel);
  if (program <= 127) devices_.SendShortMessage(0xC0, midiChannel, program, 0);
}

// Every value is reset and sent, also those already not set: the device may hold other values.
void TMIDIPropsFrame::ResetAll() {
  for (int p = 1; p <= PresetCount; ++p) {
    Move(presets_[size_t(p)], PresetNotSet);
    ParamChange(p, PresetNotSet);
  }
  for (int b = 0; b < 2; ++b) {
    Move(banks_[size_t(b)], PresetNotSet);
    Bank(b, PresetNotSet);
  }
}

void TMIDIPropsFrame::Copy() {
  const int m = MidiChannel();
  const int program = song_.GetProgram(m);
  clipboard_[0] = program <= 127 ? program : PresetNotSet;
  for (int p = 1; p <= PresetCount; ++p) clipboard_[size_t(p)] = song_.GetMidiParam(m, p);
  for (int b = 0; b < 2; ++b)
    clipboard_[size_t(10 + b)] = (slidersVisible_ ? banks_[size_t(b)].slider : banks_[size_t(b)].trackBar)->value();
  copied_ = true;
}

// Every pasted value is stored and sent, the bank and then the program last, so the device
// plays what the panel shows even when some values were already there.
void TMIDIPropsFrame::Paste() {
  if (!copied_) return;
  ParamChange(0, clipboard_[0]);
  for (int p = 1; p <= PresetCount; ++p) {
    Move(presets_[size_t(p)], clipboard_[size_t(p)]);
    ParamChange(p, clipboard_[size_t(p)]);
  }
  for (int b = 0; b < 2; ++b) {
    Move(banks_[size_t(b)], clipboard_[size_t(10 + b)]);
    Bank(b, clipboard_[size_t(10 + b)]);
  }
  emit programChanged();
}

void TMIDIPropsFrame::SendCurrentFilterCut() {
  WriteCells([this] { Set0CutOff(channel_, song_.GetMidiParam(MidiChannel(), FilterCutPreset)); });
}

void TMIDIPropsFrame::SendAllFilterCuts() {
  WriteCells([this] {
    for (int c = 0; c < song_.ChannelsCount(); ++c)
      Set0CutOff(c, song_.GetMidiParam(song_.GetMidiChannel(c), FilterCutPreset));
  });
}

void TMIDIPropsFrame::ClearAllFilterCuts() {
  WriteCells([this] {
    for (int c = 0; c < song_.ChannelsCount(); ++c) Set0CutOff(c, CellEmpty);
  });
}

void TMIDIPropsFrame::WriteCells(const std::function<void()>& write) {
  if (RecordCellEdit)
    RecordCellEdit(write);
  else
    write();
}

bool TMIDIPropsFrame::Set0CutOff(int channel, int value) {
  if (value < 0) return false;
  for (int t = 0; t < song_.TracksCount(); ++t) {
    if (song_.GetTrackChannel(t) != channel || song_.GetTrackType(t) != ttFilterCut) continue;
    song_.SetCellData(t, 0, value);
    emit cellChanged(t, 0);
    return true;
  }
  return false;
}

void TMIDIPropsFrame::SetSlidersVisible(bool sliders) {
  slidersVisible_ = sliders;
  for (const Control& c : presets_) {
    if (!c.trackBar) continue;
    c.trackBar->setVisible(!sliders);
    c.slider->setVisible(sliders);
  }
  for (const Control& c : banks_) {
    c.trackBar->setVisible(!sliders);
    c.slider->setVisible(sliders);
  }
}

}  // namespace varnel
