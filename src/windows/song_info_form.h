// TfrmSongInfo: the song information dialog. It shows and edits the song's title, artist, album,
// year, genre and comments and the "Display when loaded" flag; the main window fills it from the
// song, runs it and, on "OK", stores it back (TMainForm::ShowSongInfo). Created once and reused.
//
// Threads: UI thread.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace varnel {

struct TVNSongTag;
class UserDialogs;

class TfrmSongInfo : public QDialog {
  Q_OBJECT

 public:
  // `dialogs` asks for the comment file and reports what went wrong with it.
  explicit TfrmSongInfo(UserDialogs& dialogs, QWidget* parent = nullptr);

  // The controls from the song's information; an empty genre shows "<Not specified>".
  void Fill(const TVNSongTag& tag);
  // Writes the fields changed since Fill back into the tag; true when anything changed. The genre
  // is the list's current text ("<Not specified>" is stored as no genre); the comment is the box's
  // plain text with CR LF line ends.
  bool Store(TVNSongTag& tag) const;

  // "Load from file": asks for a file and shows its content in the comment box; a missing,
  // unreadable or oversized file leaves the comment as it was and says why.
  void LoadFromFileClick();
  // The comment box's content from `path`; false (with the message shown) when it stays as it was.
  bool LoadCommentFile(const QString& path);

  QLineEdit* TitleEdit() const { return title_; }
  QLineEdit* ArtistEdit() const { return artist_; }
  QLineEdit* AlbumEdit() const { return album_; }
  QLineEdit* YearEdit() const { return year_; }
  QComboBox* GenreBox() const { return genre_; }
  QTextEdit* CommentsBox() const { return comments_; }
  QCheckBox* ShowOnLoadBox() const { return showOnLoad_; }
  QPushButton* LoadButton() const { return load_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  // Files larger than this are refused; a song keeps 65535 bytes of comment at most anyway.
  static constexpr qint64 MaxCommentFileBytes = 4 * 1024 * 1024;

 signals:
  // After every Fill: the controls show the song.
  void Filled();

 private:
  struct Shown {
    QString title, artist, album, year, genre, comments;
    bool showOnLoad = false;
  };
  Shown Current() const;

  UserDialogs& dialogs_;
  QLineEdit* title_;
  QLineEdit* artist_;
  QLineEdit* album_;
  QLineEdit* year_;
  QComboBox* genre_;
  QTextEdit* comments_;
  QCheckBox* showOnLoad_;
  QPushButton* load_;
  QPushButton* ok_;
  QPushButton* cancel_;
  Shown filled_;  // what Fill showed: only fields changed since then are written back
};

}  // namespace varnel
