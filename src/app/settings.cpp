#include "app/settings.h"

#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <cmath>

namespace varnel {

namespace {

QString Key(const char* group, const char* name) {
  return QLatin1String(group) + QLatin1Char('/') + QLatin1String(name);
}

// Hand-edited files and other writers may leave text where a number belongs: such a value counts
// as absent rather than as 0.
std::optional<int> ToInteger(const QVariant& stored) {
  bool ok = false;
  const int number = stored.typeId() == QMetaType::QString ? stored.toString().trimmed().toInt(&ok) : stored.toInt(&ok);
  if (ok) return number;
  return std::nullopt;
}

// An unquoted text with commas in an INI file reads back as a list.
QString TextOf(const QVariant& stored) {
  if (stored.typeId() == QMetaType::QStringList) return stored.toStringList().join(QLatin1Char(','));
  return stored.toString();
}

QString RecentName(int slot) { return QStringLiteral("%1").arg(slot, 2, 10, QLatin1Char('0')); }

}  // namespace

Settings::Settings() : store_(std::make_unique<QSettings>(QStringLiteral("Orvalis"), QStringLiteral("Varnel"))) {}

Settings::~Settings() = default;

void Settings::UseFolder(const QString& folder) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

void Settings::Reset() {
  Settings settings;
  QSettings& store = settings.Store();
  for (const Integer value : {Top, Left, Width}) store.remove(Key(value.group, value.name));
  store.remove(Key(Maximized.group, Maximized.name));
  for (const char* group : {ToolbarsGroup, RecentGroup, OptionsGroup}) store.remove(QLatin1String(group));
}

bool Settings::Has(const char* group, const char* name) const { return store_->contains(Key(group, name)); }

std::optional<bool> Settings::Read(Flag value) const {
  const QVariant stored = store_->value(Key(value.group, value.name));
  if (!stored.isValid()) return std::nullopt;
  if (const auto number = ToInteger(stored)) return *number != 0;
  const QString text = stored.toString().trimmed().toLower();
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  return std::nullopt;
}

std::optional<int> Settings::Read(Integer value) const {
  const QVariant stored = store_->value(Key(value.group, value.name));
  if (!stored.isValid()) return std::nullopt;
  return ToInteger(stored);
}

std::optional<QString> Settings::Read(Text value) const {
  const QVariant stored = store_->value(Key(value.group, value.name));
  if (!stored.isValid()) return std::nullopt;
  return TextOf(stored);
}

void Settings::Write(Flag value, bool on) { store_->setValue(Key(value.group, value.name), on ? 1 : 0); }

void Settings::Write(Integer value, int number) { store_->setValue(Key(value.group, value.name), number); }

void Settings::Write(Text value, const QString& text) { store_->setValue(Key(value.group, value.name), text); }

QStringList Settings::RecentFiles() const {
  QStringList kept;
  for (int slot = 0; slot < RecentSlots; ++slot) {
    const QString file = TextOf(store_->value(Key(RecentGroup, "") + RecentName(slot)));
    if (!file.isEmpty() && QFileInfo(file).isFile()) kept << file;
  }
  return kept;
}

void Settings::SetRecentFiles(const QStringList& paths) {
  for (int slot = 0; slot < RecentSlots; ++slot) {
    store_->setValue(Key(RecentGroup, "") + RecentName(slot), paths.value(slot));
  }
}

std::vector<Settings::OutputDevice> Settings::OutputDevices() const {
  std::vector<OutputDevice> devices;
  store_->beginGroup(QLatin1String(OptionsGroup));
  const int count = store_->beginReadArray(QStringLiteral("OutputDevices"));
  for (int i = 0; i < count; ++i) {
    store_->setArrayIndex(i);
    OutputDevice device;
    device.name = TextOf(store_->value(QStringLiteral("Name")));
    const auto clock = ToInteger(store_->value(QStringLiteral("MidiClock"), 0));
    bool ok = false;
    const double offset = store_->value(QStringLiteral("LatencyOffset"), 0).toDouble(&ok);
    if (device.name.isEmpty() || !clock || !ok || !std::isfinite(offset)) continue;
    device.midiClock = *clock != 0;
    device.latencyOffsetMs = std::clamp(offset, -1000.0, 1000.0);
    devices.push_back(device);
  }
  store_->endArray();
  store_->endGroup();
  return devices;
}

void Settings::SetOutputDevices(const std::vector<OutputDevice>& devices) {
  store_->beginGroup(QLatin1String(OptionsGroup));
  store_->remove(QStringLiteral("OutputDevices"));
  store_->beginWriteArray(QStringLiteral("OutputDevices"), int(devices.size()));
  for (size_t i = 0; i < devices.size(); ++i) {
    store_->setArrayIndex(int(i));
    store_->setValue(QStringLiteral("Name"), devices[i].name);
    store_->setValue(QStringLiteral("MidiClock"), devices[i].midiClock ? 1 : 0);
    store_->setValue(QStringLiteral("LatencyOffset"), devices[i].latencyOffsetMs);
  }
  store_->endArray();
  store_->endGroup();
}

void Settings::SetToolbars(const std::vector<Band>& bands) {
  store_->beginGroup(QLatin1String(ToolbarsGroup));
  for (size_t i = 0; i < bands.size(); ++i) {
    const QString prefix = QString::number(i);
    store_->setValue(prefix + QStringLiteral("Control"), bands[i].control);
    store_->setValue(prefix + QStringLiteral("Visible"), bands[i].visible ? 1 : 0);
    store_->setValue(prefix + QStringLiteral("Break"), bands[i].lineBreak ? 1 : 0);
    store_->setValue(prefix + QStringLiteral("Width"), bands[i].width);
  }
  store_->endGroup();
}

}  // namespace varnel
