#include "app/channel_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>

#include "app/properties_bar.h"
#include "editing/program_names.h"

namespace varnel {

namespace {

QSlider* VolumeControl(QWidget* parent, bool trackBar) {
  auto* control = new QSlider(Qt::Horizontal, parent);
  control->setRange(0, 127);
  control->setValue(100);
  control->setFixedWidth(100);
  if (trackBar) control->setTickPosition(QSlider::TicksBelow);
  control->setTickInterval(16);
  return control;
}

// One tool-bar item holding a few controls side by side.
QWidget* Group(QToolBar* bar) {
  auto* group = new QWidget(bar);
  group->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);  // extra room stays at the line's end
  auto* layout = new QHBoxLayout(group);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(4);
  return group;
}

}  // namespace

TChannelBar::TChannelBar(QToolBar* bar) : QObject(bar) {
  QWidget* group = Group(bar);
  QLayout* layout = group->layout();
  layout->addWidget(new QLabel(QStringLiteral("Chn."), group));
  ChannelNumber = new QLabel(QStringLiteral("1"), group);
  ChannelNumber->setObjectName(QStringLiteral("ChannelNumber"));
  ChannelNumber->setMinimumWidth(ChannelNumber->fontMetrics().horizontalAdvance(QStringLiteral("000")));
  layout->addWidget(ChannelNumber);
  bar->addWidget(group);

  group = Group(bar);
  layout = group->layout();
  layout->addWidget(new QLabel(QStringLiteral("Vol."), group));
  VolumeTrackBar = VolumeControl(group, true);
  VolumeSlider = VolumeControl(group, false);
  VolumeSlider->hide();
  VolumeLabel = new QLabel(QStringLiteral("100"), group);
  VolumeLabel->setMinimumWidth(VolumeLabel->fontMetrics().horizontalAdvance(QStringLiteral("000")));
  layout->addWidget(VolumeTrackBar);
  layout->addWidget(VolumeSlider);
  layout->addWidget(VolumeLabel);
  bar->addWidget(group);
  for (QSlider* control : {VolumeTrackBar, VolumeSlider}) {
    connect(control, &QSlider::valueChanged, this, [this, control](int value) {
      QSlider* other = control == VolumeTrackBar ? VolumeSlider : VolumeTrackBar;
      const QSignalBlocker quiet(other);
      other->setValue(value);
      VolumeLabel->setNum(value);
      emit velocityChanged(value);
    });
  }

  Releases = new QCheckBox(QStringLiteral("d/a releases"), bar);
  bar->addWidget(Releases);
  connect(Releases, &QCheckBox::clicked, this, &TChannelBar::releasesClicked);

  Transpose = new NumberField(QStringLiteral("Trn."), -36, 36, 0, bar);
  Transpose->SetPresets({"36|+3 Octave", "24|+2 Octave", "12|+1 Octave", "0|0", "-12|-1 Octave", "-24|-2 Octave",
                         "-36|-3 Octave", QStringLiteral("%1|+1 Octave from current").arg(NumberField::RelativeUp),
                         QStringLiteral("%1|-1 Octave from current").arg(NumberField::RelativeDown)});
  if (QMenu* presets = Transpose->PresetButton()->menu(); presets && presets->actions().size() > 7)
    presets->insertSeparator(presets->actions()[7]);
  bar->addWidget(Transpose);
  connect(Transpose, &NumberField::changed, this, &TChannelBar::transposeChanged);

  group = Group(bar);
  layout = group->layout();
  layout->addWidget(new QLabel(QStringLiteral("MIDI Chn."), group));
  MidiChannel = new QComboBox(group);
  for (int m = 1; m <= 16; ++m) MidiChannel->addItem(QString::number(m));
  layout->addWidget(MidiChannel);
  bar->addWidget(group);
  connect(MidiChannel, &QComboBox::activated, this, &TChannelBar::midiChannelChanged);

  group = Group(bar);
  layout = group->layout();
  layout->addWidget(new QLabel(QStringLiteral("Prg."), group));
  Program = new QComboBox(group);
  for (int p = 0; p < 128; ++p) Program->addItem(QString::fromStdString(ProgramListEntry(p)));
  Program->setCurrentIndex(0);
  Program->setMaxVisibleItems(24);
  layout->addWidget(Program);
  connect(Program, &QComboBox::activated, this, &TChannelBar::programChanged);
  ProgramUp = new QToolButton(group);
  ProgramUp->setText(QStringLiteral("+"));
  ProgramDown = new QToolButton(group);
  ProgramDown->setText(QStringLiteral("-"));
  layout->addWidget(ProgramUp);
  layout->addWidget(ProgramDown);
  bar->addWidget(group);
  connect(ProgramUp, &QToolButton::clicked, this, [this] { StepProgram(1); });
  connect(ProgramDown, &QToolButton::clicked, this, [this] { StepProgram(-1); });
}

void TChannelBar::ShowChannel(int channel, int midiChannel, int velocity, bool releases, int transpose) {
  ChannelNumber->setNum(channel + 1);
  {
    const QSignalBlocker quiet(MidiChannel);
    MidiChannel->setCurrentIndex(midiChannel >= 0 && midiChannel < MidiChannel->count() ? midiChannel : -1);
  }
  ShowVelocity(velocity);
  Releases->setChecked(releases);
  Transpose->ShowValue(transpose);
}

void TChannelBar::ShowVelocity(int velocity) {
  for (QSlider* control : {VolumeTrackBar, VolumeSlider}) {
    const QSignalBlocker quiet(control);
    control->setValue(velocity);
  }
  VolumeLabel->setNum(velocity);
}

void TChannelBar::ShowProgram(int program) {
  const QSignalBlocker quiet(Program);
  Program->setCurrentIndex(program >= 0 && program < Program->count() ? program : -1);
}

void TChannelBar::StepProgram(int delta) {
  const int next = Program->currentIndex() + delta;
  if (next >= 0 && next < Program->count()) ShowProgram(next);
  if (Program->currentIndex() >= 0) emit programChanged(Program->currentIndex());
}

void TChannelBar::SetSliderVisible(bool slider) {
  VolumeSlider->setVisible(slider);
  VolumeTrackBar->setVisible(!slider);
}

}  // namespace varnel
