// The file commands: new song, open, recent files, templates, save, save as and save new version,
// the question before unsaved changes are discarded, and the recovery copy of unsaved changes.
#include "app/main_window_files.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "app/recovery.h"
#include "app/user_dialogs.h"
#include "document/song_document.h"
#include "midi/midi_devices.h"
#include "song/song.h"

namespace varnel {

namespace {

const QString SongFilters = QStringLiteral("All files (*);;Varnel modules (*.vnl)");
const QString SongSuffix = QStringLiteral("vnl");
constexpr int RecentSlots = 15;

int SeparatorEnd(const QString& path) {
  return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1;
}

// A menu shows "&&" as "&": captions double it, and the path is the caption undoubled again.
QString PathOfCaption(QString caption) { return caption.replace(QStringLiteral("&&"), QStringLiteral("&")); }

// A version number: an optional sign and decimal digits, within 32 bits.
bool ParseInteger(const QString& text, qint64& value) {
  const int first = text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')) ? 1 : 0;
  if (first >= text.size() || text.size() - first > 10) return false;
  for (int k = first; k < text.size(); ++k)
    if (text[k] < QLatin1Char('0') || text[k] > QLatin1Char('9')) return false;
  value = text.toLongLong();
  return value >= INT32_MIN && value <= INT32_MAX;
}

}  // namespace

QString NextVersionName(const QString& base) {
  const int underscore = base.lastIndexOf(QLatin1Char('_'));
  if (underscore < 0) return base + QStringLiteral("_2");
  const QString prefix = base.left(underscore + 1);
  const QString suffix = base.mid(underscore + 1);
  qint64 n = 0;
  if (ParseInteger(suffix, n)) return prefix + QString::number(n + 1);
  return prefix + suffix + QStringLiteral("_2");
}

QString NextVersionPath(const QString& path) {
  const int nameStart = SeparatorEnd(path);
  const QString folder = path.left(nameStart);
  const QString name = path.mid(nameStart);
  const int dot = name.lastIndexOf(QLatin1Char('.'));
  QString base = dot < 0 ? name : name.left(dot);
  const QString extension = dot < 0 ? QString() : name.mid(dot);
  do base = NextVersionName(base);
  while (QFileInfo::exists(folder + base + extension));
  return folder + base + extension;
}

void TMainForm::ConnectFiles() {
  connect(Action("NewSong"), &QAction::triggered, this, [this] { NewSongClick(false); });
  connect(Action("NewSongSameInstruments"), &QAction::triggered, this, [this] { NewSongClick(true); });
  connect(Action("Open"), &QAction::triggered, this, [this] { OpenClick(); });
  connect(Action("Save"), &QAction::triggered, this, [this] { SaveClick(); });
  connect(Action("SaveAs"), &QAction::triggered, this, [this] { SaveAsClick(); });
  connect(Action("SaveNewVersion"), &QAction::triggered, this, [this] { SaveNewVersionClick(); });
  for (int tag : {1, 2}) {
    connect(Action(QStringLiteral("Template%1").arg(tag)), &QAction::triggered, this,
            [this, tag] { TemplateClick(tag); });
  }

  // The Open button drops down the same recent files by name; both lists open the File menu's path.
  recentPopup_ = new QMenu(this);
  for (int tag = 0; tag < RecentSlots; ++tag) {
    connect(Action(QStringLiteral("Recent%1").arg(tag)), &QAction::triggered, this, [this, tag] { RecentClick(tag); });
    QAction* item = recentPopup_->addAction(QString());
    item->setObjectName(QStringLiteral("PMenuRecent%1").arg(tag));
    item->setData(tag);
    item->setVisible(false);
    connect(item, &QAction::triggered, this, [this, tag] { RecentClick(tag); });
  }
  if (auto* button = qobject_cast<QToolButton*>(commands_->CommonBar->widgetForAction(Action("Open")))) {
    button->setMenu(recentPopup_);
    button->setPopupMode(QToolButton::MenuButtonPopup);
  }

  recovery_ = new Recovery(*document_, this);
  document_->SetRecovery(recovery_);
}

// ---- The question before changes are lost ----

DialogAnswer TMainForm::AskSaveDlg() {
  if (!document_->Modified()) return DialogAnswer::No;
  QString text = QStringLiteral("File ");
  const QString name = QDir::toNativeSeparators(QString::fromStdString(song_->FileName));
  if (!name.isEmpty()) text += name + QLatin1Char(' ');
  text += QStringLiteral("has been modified.  Save changes?");
  // Asked even with warnings disabled.
  const DialogAnswer answer = dialogs_->YesNoCancel(this, text);
  // A save that was cancelled or failed must not let the caller discard the song.
  if (answer == DialogAnswer::Yes && !SaveClick()) return DialogAnswer::Cancel;
  return answer;
}

// ---- New, open, recent, templates ----

void TMainForm::NewSongClick(bool keepInstruments) {
  if (AskSaveDlg() == DialogAnswer::Cancel) return;
  // The same instruments: playback goes on into the new song.
  if (!keepInstruments) StopPlayback();
  WithTimerStopped([&] {
    document_->New(16, song_->DefaultPatternLength(), !keepInstruments);
    PrepareEditor();
    document_->ResetHistory();
  });
}

// The views, the devices and a fresh history for the song that has just replaced the old one.
void TMainForm::ShowLoadedSong() {
  devices_->CheckOutDevice();
  PrepareEditor();
  // What the views filled in for the song (an order entry in song view) is part of it as loaded.
  document_->ResetHistory();
}

void TMainForm::OpenClick() {
  StopPlayback();
  if (AskSaveDlg() == DialogAnswer::Cancel) return;
  const QString path = dialogs_->OpenFileName(this, SongFilters, SongSuffix, OpenFolder());
  if (path.isEmpty() || !document_->Open(path.toStdString())) return;
  RecentInsert(path);
  ShowLoadedSong();
  AfterLoad();
}

void TMainForm::RecentClick(int tag) {
  const QString path = PathOfCaption(Action(QStringLiteral("Recent%1").arg(tag))->text());
  if (path.isEmpty()) return;
  if (!QFileInfo::exists(path)) {
    const QString text = QStringLiteral("File not found:\n%1\n\nRemove it from the recent files?")
                             .arg(QDir::toNativeSeparators(path));
    if (dialogs_->Question(this, text)) RemoveRecent(path);
    return;
  }
  if (AskSaveDlg() == DialogAnswer::Cancel) return;
  StopPlayback();
  if (!document_->Open(path.toStdString())) return;
  RecentInsert(path);
  ShowLoadedSong();
  AfterLoad();
}

void TMainForm::TemplateClick(int tag) {
  StopPlayback();
  if (AskSaveDlg() == DialogAnswer::Cancel) return;
  const QDir folder(templatesFolder_.isEmpty() ? SongsFolder() : templatesFolder_);
  const QString path = folder.absoluteFilePath(QStringLiteral("template%1.vnl").arg(tag, 2, 10, QLatin1Char('0')));
  if (!QFileInfo::exists(path)) {
    dialogs_->Message(this, QStringLiteral("File not found: ") + QDir::toNativeSeparators(path));
    return;
  }
  if (!document_->Open(path.toStdString())) return;
  song_->FileName.clear();  // a template opens untitled
  ShowLoadedSong();
  AfterLoad();
}

// ---- Recent files ----

void TMainForm::RecentInsert(const QString& path) {
  const QList<QAction*> names = recentPopup_->actions();
  const auto slot = [this](int i) { return Action(QStringLiteral("Recent%1").arg(i)); };
  int k = RecentSlots - 1;
  for (int i = 0; i < RecentSlots; ++i) {
    if (PathOfCaption(slot(i)->text()) == path) {
      k = i;
      break;
    }
  }
  for (int j = k; j >= 1; --j) {
    slot(j)->setText(slot(j - 1)->text());
    names[j]->setText(names[j - 1]->text());
    if (!slot(j)->text().isEmpty()) {
      slot(j)->setVisible(slot(j - 1)->isVisible());
      names[j]->setVisible(names[j - 1]->isVisible());
    }
  }
  slot(0)->setText(MenuCaption(path));
  names[0]->setText(MenuCaption(path.mid(SeparatorEnd(path))));
  slot(0)->setVisible(true);
  names[0]->setVisible(true);
}

void TMainForm::RemoveRecent(const QString& path) {
  QStringList paths = RecentFiles();
  paths.removeAll(path);
  SetRecentFiles(paths);
}

QStringList TMainForm::RecentFiles() const {
  QStringList paths;
  for (int i = 0; i < RecentSlots; ++i) {
    const QAction* slot = Action(QStringLiteral("Recent%1").arg(i));
    if (slot->isVisible() && !slot->text().isEmpty()) paths << PathOfCaption(slot->text());
  }
  return paths;
}

void TMainForm::SetRecentFiles(const QStringList& paths) {
  const QList<QAction*> names = recentPopup_->actions();
  for (int i = 0; i < RecentSlots; ++i) {
    QAction* slot = Action(QStringLiteral("Recent%1").arg(i));
    const bool used = i < paths.size() && !paths[i].isEmpty();
    slot->setText(used ? MenuCaption(paths[i]) : QString());
    names[i]->setText(used ? MenuCaption(paths[i].mid(SeparatorEnd(paths[i]))) : QString());
    slot->setVisible(used);
    names[i]->setVisible(used);
  }
}

// ---- Save ----

// The song takes the new name only once the file is written; a failed save leaves the name, the
// title and the recent files as they were.
bool TMainForm::SaveSong(const QString& path) { return document_->Save(path.toStdString()); }

bool TMainForm::SaveClick() {
  bool saved = false;
  if (!song_->FileName.empty()) {
    saved = SaveSong(QString::fromStdString(song_->FileName));
  } else {
    const QString path = dialogs_->SaveFileName(this, SongFilters, SongSuffix, QString());
    if (!path.isEmpty() && (saved = SaveSong(path))) RecentInsert(path);
  }
  UpdateTitle();
  return saved;
}

bool TMainForm::SaveAsClick() {
  const QString path = dialogs_->SaveFileName(this, SongFilters, SongSuffix, QString::fromStdString(song_->FileName));
  const bool saved = !path.isEmpty() && SaveSong(path);
  if (saved) RecentInsert(path);
  UpdateTitle();
  return saved;
}

bool TMainForm::SaveNewVersionClick() {
  if (song_->FileName.empty()) return SaveAsClick();
  const QString path = NextVersionPath(QString::fromStdString(song_->FileName));
  const bool saved = SaveSong(path);
  if (saved) RecentInsert(path);
  UpdateTitle();
  return saved;
}

// ---- Recovery copy ----

void TMainForm::SetRecoveryFolder(const QString& folder) {
  recovery_->Stop();
  recovery_->SetFolder(folder);
  if (started_) StartRecovery();
}

void TMainForm::SetRecoveryInterval(int milliseconds) {
  recovery_->SetInterval(milliseconds);
  if (recovery_->Active()) recovery_->Start();
}

void TMainForm::StartRecovery() {
  recovery_->Stop();
  const std::optional<Recovery::Found> found = recovery_->FindOrphan();
  if (!found) {
    recovery_->Start();
    return;
  }
  // Asked once the window is up; the timer waits for the answer, so the copy is not overwritten.
  QTimer::singleShot(0, this, [this, found = *found] {
    const QString song =
        found.original.isEmpty() ? QStringLiteral("an untitled song") : QDir::toNativeSeparators(found.original);
    const QString text = QStringLiteral(
                             "Varnel did not close normally. Unsaved changes to %1 were kept (%2).\n"
                             "Restore them?")
                             .arg(song, QLocale().toString(found.written, QLocale::ShortFormat));
    if (dialogs_->Question(this, text)) {
      StopPlayback();
      // The copy stays until the restored song is saved or discarded.
      document_->SetRecovery(nullptr);
      const bool restored = document_->Open(found.copy.toStdString());
      document_->SetRecovery(recovery_);
      if (restored) {
        // The song belongs where it was; the restored changes are still unsaved.
        song_->FileName = found.original.toStdString();
        ShowLoadedSong();
        document_->MarkUnsaved();
        ChangeStatus(QStringLiteral("Unsaved changes restored"), 0);
      } else {
        recovery_->SetAside();
      }
    } else {
      recovery_->Discard();
    }
    recovery_->Start();
  });
}

void TMainForm::EndRecovery(bool keep) {
  recovery_->Stop();
  if (!keep) recovery_->Discard();
}

}  // namespace varnel
