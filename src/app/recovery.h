// The recovery copy: while the song has unsaved changes, a copy of it is written now and then to
// the user's data folder, so that a crash costs at most one interval of work. A copy whose owner is
// no longer running is offered at the next start. UI thread only.
//
// Each running Varnel holds one slot (recovery.vnl, recovery-1.vnl, ...) by a lock file; a slot
// whose lock is free but whose copy is still there was left behind by a crash.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "document/song_document.h"

class QLockFile;

namespace varnel {

class Recovery : public QObject, public RecoveryCopy {
  Q_OBJECT

 public:
  static constexpr int SlotCount = 8;

  struct Found {
    QString copy;      // the song file
    QString original;  // where the song belongs; empty for an untitled song
    QDateTime written;
  };

  explicit Recovery(SongDocument& document, QObject* parent = nullptr);
  ~Recovery() override;

  // The user's data folder, e.g. ~/.local/share/Orvalis/Varnel.
  static QString DefaultFolder();
  // 60 seconds, or VARNEL_RECOVERY_SECONDS when that is set to a positive number.
  static int DefaultInterval();

  // Another folder lets go of the slot held in the old one; empty: no copies at all.
  void SetFolder(const QString& folder);
  QString Folder() const { return folder_; }
  void SetInterval(int milliseconds);
  int Interval() const { return timer_.interval(); }

  // A copy left behind by a Varnel that is gone; its slot becomes this one's. Only while no slot
  // is held yet.
  std::optional<Found> FindOrphan();
  void Start();
  void Stop();
  bool Active() const { return timer_.isActive(); }

  // The timer's work: a copy while the song is modified, none while it is not.
  void Tick();
  // A copy of the song now; false when it could not be written.
  bool Write();
  // Removes this Varnel's copy.
  void Discard() override;
  // Moves a copy that cannot be loaded out of the way, so it is not offered again.
  void SetAside();
  QString CopyPath() const;  // empty while no slot is held
  int Writes() const { return writes_; }

 signals:
  void Written();

 private:
  bool HoldSlot();
  void ReleaseSlot();
  QString Base(int slot) const;

  SongDocument& document_;
  QTimer timer_;
  QString folder_;
  int slot_ = -1;
  std::unique_ptr<QLockFile> lock_;
  size_t lastHash_ = 0;
  QByteArray lastMarker_;
  int writes_ = 0;
};

}  // namespace varnel
