// The main window's settings, read once at the first show and written once at an orderly close,
// and the options dialog.
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QRect>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/audio_dialog.h"
#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "app/options_dialog.h"
#include "app/properties_bar.h"
#include "app/settings.h"
#include "app/user_dialogs.h"
#include "app/window_place.h"
#include "devices/system_midi_backend.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/midi_devices.h"
#include "song/song.h"

namespace varnel {

namespace {

using S = Settings;

// A stored list index applies only when the list has that entry; otherwise the list keeps its own.
void SetIndex(QComboBox* list, std::optional<int> index) {
  if (index && *index >= 0 && *index < list->count()) list->setCurrentIndex(*index);
}

void SetCheck(QAction* action, std::optional<bool> on) {
  if (on) action->setChecked(*on);
}

void SetCheck(QAbstractButton* box, std::optional<bool> on) {
  if (on) box->setChecked(*on);
}

}  // namespace

void TMainForm::ConnectSettings() {
  options_ = new TOptionsForm(this);
  options_->SetMessageBox([this](QWidget* parent, const QString& text) { dialogs_->Message(parent, text); });
  connect(Action(QStringLiteral("Options")), &QAction::triggered, this, &TMainForm::OptionsClick);
  connect(Action(QStringLiteral("AudioSettings")), &QAction::triggered, this, &TMainForm::AudioSettingsClick);
  connect(Action(QStringLiteral("AutoShowPiano")), &QAction::toggled, this,
          [this](bool on) { frame_->Options().autoShowPiano = on; });
  // "Row Numbers: " shows at once, before OK.
  connect(options_, &TOptionsForm::rowNumbersChanged, this, [this](int index) {
    frame_->Options().rowNumberFormat = index;
    frame_->RedrawPattern(0, 0, true);
    frame_->RedrawOrders(0, 0);
    UpdatePlayCounter();
  });
}

void TMainForm::OptionsClick() {
  ShowDeviceOptions();
  if (options_->Run(TOptionsForm::GeneralPage) == QDialog::Accepted) ApplyOptions();
}

void TMainForm::ApplyOptions() {
  options_->CopyTo(frame_->Options());
  // Per output device: MIDI clock from the next start of playback, the latency offset at once.
  const auto outputs = options_->OutputDevices();
  for (const std::string& name : OutputDeviceChoices())
    if (!outputs.contains(name)) devices_->SetOutputOptions(name, OutputOptions{});
  for (const auto& [name, output] : outputs) devices_->SetOutputOptions(name, output);
  ApplyDeviceOptions();
  ApplyPianoOptions();
  ApplyClockSource();
  song_->SetDefaultPatternLength(options_->DefaultPatternLength());
  // The piano window and the track toggle sizes follow once they exist.
  UpdateFormMenu();
  frame_->RedrawPattern(0, 0, true);
  frame_->RedrawOrders(0, 0);
  UpdatePlayCounter();
}

void TMainForm::GetSettings() {
  Settings s;

  // "Main": a place on none of the screens (a monitor that is gone) keeps the work area; a place
  // partly off the screen (a smaller screen, a higher scale) comes back onto the screen's work area.
  const auto left = s.Read(S::Left), top = s.Read(S::Top), width = s.Read(S::Width), height = s.Read(S::Height);
  const QRect wanted(left.value_or(x()), top.value_or(y()), std::clamp(width.value_or(this->width()), 100, 32767),
                     std::clamp(height.value_or(this->height()), 100, 32767));
  if (const QRect area = AvailableAreaFor(wanted); !area.isEmpty()) {
    const QRect fitted = OnScreenBounds(wanted, area, minimumSizeHint());
    if (left || top) move(fitted.topLeft());  // the frame's place, as it was stored
    if (width || height) resize(fitted.size());
  }
  if (s.Read(S::Maximized, false)) setWindowState(windowState() | Qt::WindowMaximized);

  SetRecentFiles(s.RecentFiles());

  // "Options". Absent names select the first output and leave the input closed.
  synth_.soundFont = s.Read(S::SoundFont, QString()).toStdString();
  synth_.audioDriver = s.Read(S::AudioDriver, QString()).toStdString();
  synth_.sampleRate = std::clamp(s.Read(S::SampleRate, 44100), 8000, 96000);
  synth_.gain = std::clamp(s.Read(S::SynthGain, 20), 0, 1000) / 100.0;
  ApplySynthSettings();
  std::map<std::string, OutputOptions> outputs;
  for (const Settings::OutputDevice& device : s.OutputDevices())
    outputs[device.name.toStdString()] = OutputOptions{device.midiClock, device.latencyOffsetMs};
  options_->SetOutputDevices(outputs);
  for (const auto& [name, output] : outputs) devices_->SetOutputOptions(name, output);
  RestoreDeviceSettings(s);
  options_->SetMidiIn(s.Read(S::InIgnoreVol, false), s.Read(S::InUseMinVol, false));
  if (const auto velocity = s.Read(S::InMinVolValue))
    options_->MinimumVelocity->ShowValue(std::clamp(*velocity, 0, 127));
  SetIndex(options_->ClockSource, s.Read(S::ClockSource));
  ApplyClockSource();
  SetCheck(Action(QStringLiteral("FollowNote")), s.Read(S::FollowNote));
  SetCheck(Action(QStringLiteral("FollowSong")), s.Read(S::FollowSong));
  SetCheck(Action(QStringLiteral("AutoShowPiano")), s.Read(S::AutoShowPiano));
  // A stored 0 starts with editing off; every new or loaded song turns it on again.
  const auto edit = s.Read(S::EditEnabled);
  if (edit) song_->EditEnabled = *edit;
  SetCheck(Action(QStringLiteral("EditEnabled")), edit);
  SetCheck(Action(QStringLiteral("DisableWarnings")), s.Read(S::DisableWarnings));
  const auto simple = s.Read(S::TransposeSimple);
  SetCheck(Action(QStringLiteral("TransposeSimple")), simple);
  openFolder_ = simple ? QString() : SongsFolder();  // the first start opens the demo songs
  SetIndex(options_->RowNumbers, s.Read(S::UseHex));
  SetCheck(options_->ShowHints, s.Read(S::ShowHints));
  SetIndex(options_->SpaceKeyAction, s.Read(S::SpaceKeyAction));
  SetIndex(options_->Centering, s.Read(S::CenteringEditor));
  SetCheck(options_->DockedPiano, s.Read(S::DockedPiano));
  SetIndex(options_->TrackToggleSize, s.Read(S::TrackToogleSize));
  if (const auto rows = s.Read(S::DefaultPatternsLength))
    options_->DefaultPatternsLength->setCurrentText(QString::number(*rows));
  SetIndex(options_->MainMenu, s.Read(S::MainMenu));
  GetPianoSettings(s);
  UpdateFormMenu();
  SetCheck(Action(QStringLiteral("Metronome")), s.Read(S::MetronomeEnabled));  // its toggle sets the song's
  SetCheck(Action(QStringLiteral("BarEdit")), s.Read(S::EditToolbar));
  // The panels at the right of the editor: their menu items show and hide them.
  for (auto [name, key] : {std::pair{S::AddSpecialVisible, "AddTemplate"}, std::pair{S::MCPropsVisible, "ChannelPropsPanel"}})
    if (const auto visible = s.Read(name); visible && *visible != Action(QString::fromLatin1(key))->isChecked())
      Action(QString::fromLatin1(key))->trigger();

  // Any other stored scheme leaves the default. The editor views are drawn once, by the first
  // PrepareEditor after this; only the cell sizes must follow the fonts here.
  if (const auto scheme = s.Read(S::DefaultScheme); scheme && (*scheme == 1 || *scheme == 2)) {
    Action(QStringLiteral("Scheme%1").arg(*scheme))->setChecked(true);
    SwitchScheme(true, *scheme);
  }
  // A stored font wins over the font of a scheme: it comes after it.
  RestoreFont(s.Read(S::FontName), s.Read(S::FontSize), s.Read(S::FontBold));
  MeasureCells();

  const auto tone = s.Read(S::Key1), type = s.Read(S::Key2);
  if (tone && *tone >= 0 && *tone < 12) song_->KeyTone = *tone;
  if (type && *type >= 0 && *type < 2) song_->KeyType = *type;
  SetIndex(props_->KeyTone, tone);
  SetIndex(props_->KeyType, type);

  options_->CopyTo(frame_->Options());
  song_->SetDefaultPatternLength(options_->DefaultPatternLength());
  SyncActions();
}

void TMainForm::AudioSettingsClick() {
  TAudioForm form(this);
  form.SetValues(synth_);
  if (!dialogs_->Confirm([&form] { return form.exec() == QDialog::Accepted; })) return;
  synth_ = form.Values();
  ApplySynthSettings();
  // The synth in use opens again with the new settings.
  if (devices_->OutDeviceId() == -1) devices_->SelectOutDevice(-1, "MIDI Mapper");
}

void TMainForm::ApplySynthSettings() {
  if (auto* system = dynamic_cast<SystemMidiBackend*>(&backend_)) system->SetSynthSettings(synth_);
}

void TMainForm::SaveSettings() {
  Settings s;

  s.Write(S::Top, y());
  s.Write(S::Left, x());
  s.Write(S::Width, width());
  s.Write(S::Height, height());
  s.Write(S::Maximized, isMaximized());

  // The bands of the top area in their order: by line, then from the left.
  std::vector<std::pair<QToolBar*, QString>> bars{{commands_->CommonBar, QStringLiteral("ToolBar1")},
                                                  {props_, QStringLiteral("Panel1")},
                                                  {channelsBar_, QStringLiteral("Panel2")},
                                                  {channelBar_, QStringLiteral("Panel3")},
                                                  {commands_->EditBar, QStringLiteral("ToolBar3")}};
  std::stable_sort(bars.begin(), bars.end(), [this](const auto& a, const auto& b) {
    const auto place = [this](QToolBar* bar) { return std::tuple(int(toolBarArea(bar)), bar->y(), bar->x()); };
    return place(a.first) < place(b.first);
  });
  std::vector<Settings::Band> bands;
  for (const auto& [bar, control] : bars) bands.push_back({control, !bar->isHidden(), toolBarBreak(bar), bar->width()});
  s.SetToolbars(bands);

  s.SetRecentFiles(RecentFiles());

  SaveDeviceSettings(s);
  s.Write(S::InIgnoreVol, options_->IgnoreVelocities->isChecked());
  s.Write(S::InUseMinVol, options_->UseMinimumVelocity->isChecked());
  s.Write(S::InMinVolValue, options_->MinimumVelocity->Value());
  s.Write(S::ClockSource, options_->ClockSource->currentIndex());
  std::vector<Settings::OutputDevice> outputs;
  for (const auto& [name, output] : options_->OutputDevices())
    outputs.push_back({QString::fromStdString(name), output.midiClock, output.latencyOffsetMs});
  s.SetOutputDevices(outputs);
  s.Write(S::FollowNote, Action(QStringLiteral("FollowNote"))->isChecked());
  s.Write(S::FollowSong, Action(QStringLiteral("FollowSong"))->isChecked());
  s.Write(S::AutoShowPiano, Action(QStringLiteral("AutoShowPiano"))->isChecked());
  s.Write(S::EditEnabled, Action(QStringLiteral("EditEnabled"))->isChecked());
  s.Write(S::DisableWarnings, Action(QStringLiteral("DisableWarnings"))->isChecked());
  s.Write(S::TransposeSimple, Action(QStringLiteral("TransposeSimple"))->isChecked());
  s.Write(S::UseHex, options_->RowNumbers->currentIndex());
  s.Write(S::ShowHints, options_->ShowHints->isChecked());
  s.Write(S::AddSpecialVisible, Action(QStringLiteral("AddTemplate"))->isChecked());
  s.Write(S::MCPropsVisible, Action(QStringLiteral("ChannelPropsPanel"))->isChecked());
  s.Write(S::EditToolbar, !commands_->EditBar->isHidden());
  s.Write(S::DefaultScheme, scheme_);
  const QFont font = frame_->Grid1()->font();
  s.Write(S::FontName, font.family());
  s.Write(S::FontSize, GridFontSize());
  s.Write(S::FontBold, font.weight() == QFont::Bold && !font.italic() && !font.underline() && !font.strikeOut());
  s.Write(S::Key1, props_->KeyTone->currentIndex());
  s.Write(S::Key2, props_->KeyType->currentIndex());
  s.Write(S::SoundFont, QString::fromStdString(synth_.soundFont));
  s.Write(S::AudioDriver, QString::fromStdString(synth_.audioDriver));
  s.Write(S::SampleRate, int(synth_.sampleRate));
  s.Write(S::SynthGain, int(std::lround(synth_.gain * 100)));
  s.Write(S::SpaceKeyAction, options_->SpaceKeyAction->currentIndex());
  s.Write(S::MetronomeEnabled, Action(QStringLiteral("Metronome"))->isChecked());
  s.Write(S::CenteringEditor, options_->Centering->currentIndex());
  s.Write(S::DockedPiano, options_->DockedPiano->isChecked());
  SavePianoSettings(s);
  s.Write(S::TrackToogleSize, options_->TrackToggleSize->currentIndex());
  bool number = false;
  const int rows = options_->DefaultPatternsLength->currentText().trimmed().toInt(&number);
  s.Write(S::DefaultPatternsLength, number ? rows : 32);
  s.Write(S::MainMenu, options_->MainMenu->currentIndex());
}

}  // namespace varnel
