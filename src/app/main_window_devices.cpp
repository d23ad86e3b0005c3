// The main window's side of the MIDI devices: the device menus, listed afresh each time they open
// and choosing by name; the status-bar panel and the warnings (TDeviceFeedback); the devices of the
// "MIDI Out" options page; and the device settings.
#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "app/device_feedback.h"
#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "app/options_dialog.h"
#include "app/settings.h"
#include "app/user_dialogs.h"
#include "midi/device_session.h"
#include "midi/midi_devices.h"

namespace varnel {

namespace {

using S = Settings;

// The menu item's device name: the items made here carry it; the fixed first items stand for the
// MIDI Mapper and for no input.
QString ItemName(const QAction* item, bool output) {
  const QVariant data = item->data();
  if (data.typeId() == QMetaType::QString) return data.toString();
  return output ? QString::fromLatin1(MapperName) : QString();
}

}  // namespace

void TMainForm::ConnectDevices() {
  devicesPanel_ = new QLabel(this);
  devicesPanel_->setObjectName(QStringLiteral("StatusDevices"));
  statusBar()->addPermanentWidget(devicesPanel_);
  deviceFeedback_ = new TDeviceFeedback(
      devices_->Session(), devicesPanel_,
      [this](const QString& text) {
        if (!Action(QStringLiteral("DisableWarnings"))->isChecked() && !closing_) dialogs_->Notice(this, text);
      },
      this);
  for (const bool output : {true, false}) {
    QMenu* menu = output ? commands_->OutDeviceMenu : commands_->InDeviceMenu;
    connect(menu, &QMenu::aboutToShow, this, [this, output] { FillDeviceMenu(output); });
  }
}

void TMainForm::BuildDeviceMenus() {
  FillDeviceMenu(true);
  FillDeviceMenu(false);
}

// The ports there now, then the chosen device should it not be there: it stays chosen, and choosing
// it again tries it at once.
void TMainForm::FillDeviceMenu(bool output) {
  QMenu* menu = output ? commands_->OutDeviceMenu : commands_->InDeviceMenu;
  QActionGroup* group = output ? commands_->OutDevices : commands_->InDevices;
  const QList<QAction*> items = group->actions();
  for (QAction* item : items.mid(1)) {  // the fixed first item stays
    group->removeAction(item);
    menu->removeAction(item);
    item->deleteLater();
  }
  DeviceSession& session = devices_->Session();
  std::vector<std::string> names = output ? session.OutputNames() : session.InputNames();
  const DeviceStatus& chosen = session.Status(output ? 0 : DeviceSession::InputSlot);
  const bool absent = !chosen.name.empty() && chosen.name != MapperName &&
                      std::find(names.begin(), names.end(), chosen.name) == names.end();
  if (absent) names.push_back(chosen.name);
  for (const std::string& name : names) {
    const QString text = QString::fromStdString(name);
    auto* item = new QAction(MenuCaption(text) + (absent && name == names.back() ? QStringLiteral(" (missing)") : QString()),
                             menu);
    item->setCheckable(true);
    item->setData(text);
    group->addAction(item);
    menu->addAction(item);
    connect(item, &QAction::triggered, this, [this, name, output] {
      if (output) devices_->Session().SelectOutput(0, name);
      else devices_->Session().SelectInput(name);
      SyncActions();
    });
  }
  SyncDeviceChecks();
}

void TMainForm::SyncDeviceChecks() {
  const DeviceSession& session = devices_->Session();
  const QString out = QString::fromStdString(session.Status(0).name.empty() ? MapperName : session.Status(0).name);
  const QString in = QString::fromStdString(session.Status(DeviceSession::InputSlot).name);
  for (QAction* item : commands_->OutDevices->actions())
    if (ItemName(item, true) == out) item->setChecked(true);
  for (QAction* item : commands_->InDevices->actions())
    if (ItemName(item, false) == in) item->setChecked(true);
}

std::vector<std::string> TMainForm::OutputDeviceChoices() {
  std::vector<std::string> names{MapperName};
  const auto listed = devices_->Session().OutputNames();
  names.insert(names.end(), listed.begin(), listed.end());
  for (int block = 0; block < OutputBlocks; ++block) {
    const std::string& chosen = devices_->Session().Status(block).name;
    if (!chosen.empty() && std::find(names.begin(), names.end(), chosen) == names.end()) names.push_back(chosen);
  }
  return names;
}

void TMainForm::ShowDeviceOptions() {
  options_->SetOutputDeviceNames(OutputDeviceChoices());
  DeviceSession& session = devices_->Session();
  std::vector<std::string> there{MapperName};
  const auto listed = session.OutputNames();
  there.insert(there.end(), listed.begin(), listed.end());
  options_->SetBlockDevices(there, session.Status(1).name, session.Status(2).name);
}

void TMainForm::ApplyDeviceOptions() {
  for (int block = 1; block < OutputBlocks; ++block) {
    const std::string name = options_->BlockDevice(block);
    if (name != devices_->Session().Status(block).name) devices_->Session().SelectOutput(block, name);
  }
}

void TMainForm::RestoreDeviceSettings(const Settings& s) {
  devices_->RestoreDevices(s.Read(S::Device, QString()).toStdString(), s.Read(S::InDevice, QString()).toStdString());
  for (int block = 1; block < OutputBlocks; ++block) {
    const QString name = s.Read(block == 1 ? S::Device2 : S::Device3, QString());
    if (!name.isEmpty()) devices_->Session().SelectOutput(block, name.toStdString());
  }
  SyncDeviceChecks();
}

void TMainForm::SaveDeviceSettings(Settings& s) const {
  const DeviceSession& session = devices_->Session();
  const std::string out = session.Status(0).name.empty() ? MapperName : session.Status(0).name;
  const std::string in = session.Status(DeviceSession::InputSlot).name;
  s.Write(S::Device, QString::fromStdString(out));
  s.Write(S::InDevice, QString::fromStdString(in.empty() ? NoInputName : in));
  s.Write(S::Device2, QString::fromStdString(session.Status(1).name));
  s.Write(S::Device3, QString::fromStdString(session.Status(2).name));
}

}  // namespace varnel
