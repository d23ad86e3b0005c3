#include "app/recovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <functional>
#include <string_view>

#include "song/durable_file.h"
#include "song/song.h"

namespace varnel {

namespace {

QString CopyOf(const QString& base) { return base + QStringLiteral(".vnl"); }
QString MarkerOf(const QString& base) { return base + QStringLiteral(".txt"); }
QString LockOf(const QString& base) { return base + QStringLiteral(".lock"); }

// A lock counts as stale only when its process is gone: a long session keeps its slot.
std::unique_ptr<QLockFile> TryLock(const QString& path) {
  auto lock = std::make_unique<QLockFile>(path);
  lock->setStaleLockTime(0);
  return lock->tryLock(0) ? std::move(lock) : nullptr;
}

bool WriteAll(const QString& path, std::span<const uint8_t> bytes) {
  return WriteFileAtomically(QFile::encodeName(path).toStdString(), bytes);
}

}  // namespace

Recovery::Recovery(SongDocument& document, QObject* parent) : QObject(parent), document_(document) {
  timer_.setInterval(DefaultInterval());
  connect(&timer_, &QTimer::timeout, this, &Recovery::Tick);
  folder_ = DefaultFolder();
}

Recovery::~Recovery() = default;

QString Recovery::DefaultFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

int Recovery::DefaultInterval() {
  bool ok = false;
  const int seconds = qEnvironmentVariableIntValue("VARNEL_RECOVERY_SECONDS", &ok);
  return ok && seconds > 0 ? std::min(seconds, 24 * 3600) * 1000 : 60 * 1000;
}

void Recovery::SetFolder(const QString& folder) {
  if (folder == folder_) return;
  ReleaseSlot();
  folder_ = folder;
}

void Recovery::SetInterval(int milliseconds) { timer_.setInterval(std::max(milliseconds, 1)); }

QString Recovery::Base(int slot) const {
  const QString name = slot == 0 ? QStringLiteral("recovery") : QStringLiteral("recovery-%1").arg(slot);
  return QDir(folder_).filePath(name);
}

QString Recovery::CopyPath() const { return slot_ < 0 ? QString() : CopyOf(Base(slot_)); }

std::optional<Recovery::Found> Recovery::FindOrphan() {
  if (folder_.isEmpty() || slot_ >= 0) return std::nullopt;
  for (int slot = 0; slot < SlotCount; ++slot) {
    const QString base = Base(slot);
    if (!QFileInfo::exists(CopyOf(base))) continue;
    auto lock = TryLock(LockOf(base));
    if (!lock) continue;  // a running Varnel's copy
    slot_ = slot;
    lock_ = std::move(lock);
    Found found;
    found.copy = CopyOf(base);
    found.written = QFileInfo(found.copy).lastModified();
    QFile marker(MarkerOf(base));
    if (marker.open(QIODevice::ReadOnly)) found.original = QString::fromUtf8(marker.readLine()).trimmed();
    return found;
  }
  return std::nullopt;
}

void Recovery::Start() {
  if (!folder_.isEmpty()) timer_.start();
}

void Recovery::Stop() { timer_.stop(); }

void Recovery::Tick() {
  if (document_.Modified())
    Write();
  else
    Discard();
}

bool Recovery::HoldSlot() {
  if (slot_ >= 0) return true;
  if (folder_.isEmpty() || !QDir().mkpath(folder_)) return false;
  for (int slot = 0; slot < SlotCount; ++slot) {
    const QString base = Base(slot);
    // A copy without a running owner waits for the next start to be offered.
    if (QFileInfo::exists(CopyOf(base))) continue;
    if (auto lock = TryLock(LockOf(base))) {
      slot_ = slot;
      lock_ = std::move(lock);
      return true;
    }
  }
  return false;
}

void Recovery::ReleaseSlot() {
  lock_.reset();
  slot_ = -1;
  lastHash_ = 0;
  lastMarker_.clear();
}

bool Recovery::Write() {
  if (!HoldSlot()) return false;
  const TVNSong& song = document_.Song();
  const std::vector<uint8_t> bytes = song.EncodeFile();
  const size_t hash =
      std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  const QByteArray marker = QString::fromStdString(song.FileName).toUtf8() + '\n';
  const QString base = Base(slot_);
  if (hash == lastHash_ && marker == lastMarker_ && QFileInfo::exists(CopyOf(base))) return true;
  // The marker first: a copy never names another song's file.
  const auto markerBytes = std::span(reinterpret_cast<const uint8_t*>(marker.constData()), size_t(marker.size()));
  if (!WriteAll(MarkerOf(base), markerBytes) || !WriteAll(CopyOf(base), bytes)) return false;
  lastHash_ = hash;
  lastMarker_ = marker;
  ++writes_;
  emit Written();
  return true;
}

void Recovery::Discard() {
  if (slot_ < 0) return;
  const QString base = Base(slot_);
  QFile::remove(CopyOf(base));
  QFile::remove(MarkerOf(base));
  lastHash_ = 0;
  lastMarker_.clear();
}

void Recovery::SetAside() {
  if (slot_ < 0) return;
  const QString base = Base(slot_);
  const QString aside = base + QStringLiteral(".damaged.vnl");
  QFile::remove(aside);
  if (!QFile::rename(CopyOf(base), aside)) QFile::remove(CopyOf(base));
  QFile::remove(MarkerOf(base));
  lastHash_ = 0;
  lastMarker_.clear();
}

}  // namespace varnel
