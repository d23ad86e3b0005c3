#include "windows/song_info_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "app/user_dialogs.h"
#include "editing/genres.h"
#include "song/song.h"
#include "song/text_encoding.h"
#include "windows/rich_text_file.h"

namespace varnel {

namespace {

const QString CommentFilters = QStringLiteral("All files (*);;Text/RTF files (*.txt *.rtf)");
constexpr int ShortStringBytes = 255;  // what the song file keeps of each short string
constexpr int MaxCommentBytes = 65535;

QString Decoded(const std::string& bytes) { return QString::fromStdString(DisplayText(bytes)); }

// The box works with "\n"; the song keeps the CR LF that its comments have always had.
QString CommentShown(const std::string& bytes) {
  QString text = Decoded(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string CommentStored(QString text) {
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return text.toStdString();
}

QLineEdit* ShortEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setMaxLength(ShortStringBytes);
  return edit;
}

}  // namespace

TfrmSongInfo::TfrmSongInfo(UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Tool), dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("Song info"));
  setObjectName(QStringLiteral("frmSongInfo"));

  auto* info = new QGroupBox(QStringLiteral(" Song info "), this);
  auto* grid = new QGridLayout(info);
  title_ = ShortEdit(info);
  artist_ = ShortEdit(info);
  album_ = ShortEdit(info);
  year_ = ShortEdit(info);
  year_->setMaximumWidth(year_->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
  genre_ = new QComboBox(info);
  genre_->setEditable(true);
  genre_->setInsertPolicy(QComboBox::NoInsert);  // typed genres belong to the song, not to the list
  genre_->setMaxVisibleItems(20);
  for (const std::string& name : GenreList()) genre_->addItem(QString::fromStdString(name));
  genre_->setCurrentIndex(0);
  genre_->lineEdit()->setMaxLength(ShortStringBytes);
  const auto row = [&](int r, const char* caption, QWidget* field, int column = 0, int span = 3) {
    auto* label = new QLabel(QString::fromLatin1(caption), info);
    label->setBuddy(field);
    grid->addWidget(label, r, column);
    grid->addWidget(field, r, column + 1, 1, span);
  };
  row(0, "Title", title_);
  row(1, "Artist", artist_);
  row(2, "Album", album_);
  row(3, "Year", year_, 0, 1);
  row(3, "Genre", genre_, 2, 1);
  grid->setColumnStretch(3, 1);

  auto* comment = new QGroupBox(QStringLiteral(" Song comments "), this);
  auto* commentLayout = new QVBoxLayout(comment);
  comments_ = new QTextEdit(comment);
  comments_->setAcceptRichText(false);  // typed and pasted text stays plain, as it is stored
  comments_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  comments_->setMinimumHeight(140);
  commentLayout->addWidget(comments_);
  auto* commentRow = new QHBoxLayout;
  load_ = new QPushButton(QStringLiteral("Load from file"), comment);
  showOnLoad_ = new QCheckBox(QStringLiteral("Display when loaded"), comment);
  commentRow->addWidget(load_);
  commentRow->addStretch(1);
  commentRow->addWidget(showOnLoad_);
  commentLayout->addLayout(commentRow);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  ok_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(info);
  layout->addWidget(comment, 1);
  layout->addLayout(buttons);
  resize(480, 440);

  connect(load_, &QPushButton::clicked, this, &TfrmSongInfo::LoadFromFileClick);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmSongInfo::Fill(const TVNSongTag& tag) {
  title_->setText(Decoded(tag.Title));
  artist_->setText(Decoded(tag.Artist));
  album_->setText(Decoded(tag.Album));
  year_->setText(Decoded(tag.Year));
  const QString genre = Decoded(tag.Genre);
  const int listed = genre.isEmpty() ? 0 : genre_->findText(genre);
  if (listed >= 0) genre_->setCurrentIndex(listed);
  else genre_->setEditText(genre);  // a genre of the song's own stays as it was typed
  comments_->setPlainText(CommentShown(tag.Comments));
  showOnLoad_->setChecked(tag.ShowOnLoad);
  filled_ = Current();
  emit Filled();
}

TfrmSongInfo::Shown TfrmSongInfo::Current() const {
  Shown now;
  now.title = title_->text();
  now.artist = artist_->text();
  now.album = album_->text();
  now.year = year_->text();
  now.genre = genre_->currentText();
  if (now.genre == QLatin1String(GenreNotSpecified)) now.genre.clear();
  now.comments = comments_->toPlainText();
  now.showOnLoad = showOnLoad_->isChecked();
  return now;
}

bool TfrmSongInfo::Store(TVNSongTag& tag) const {
  const Shown now = Current();
  bool changed = false;
  const auto text = [&changed](const QString& before, const QString& after, std::string& field) {
    if (before == after) return;
    field = after.toStdString();
    changed = true;
  };
  text(filled_.title, now.title, tag.Title);
  text(filled_.artist, now.artist, tag.Artist);
  text(filled_.album, now.album, tag.Album);
  text(filled_.year, now.year, tag.Year);
  text(filled_.genre, now.genre, tag.Genre);
  if (filled_.comments != now.comments) {
    tag.Comments = CommentStored(now.comments);
    changed = true;
  }
  if (filled_.showOnLoad != now.showOnLoad) {
    tag.ShowOnLoad = now.showOnLoad;
    changed = true;
  }
  return changed;
}

void TfrmSongInfo::LoadFromFileClick() {
  const QString path = dialogs_.OpenFileName(this, CommentFilters, QStringLiteral("txt"));
  if (!path.isEmpty()) LoadCommentFile(path);
}

bool TfrmSongInfo::LoadCommentFile(const QString& path) {
  const QFileInfo info(path);
  if (!info.isFile()) {
    dialogs_.Message(this, QStringLiteral("File not found: ") + path);
    return false;
  }
  if (info.size() > MaxCommentFileBytes) {
    dialogs_.Message(this, QStringLiteral("The file is too large for the song comments: ") + path);
    return false;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    dialogs_.Message(this, QStringLiteral("Could not read ") + path + QStringLiteral(": ") + file.errorString());
    return false;
  }
  const QByteArray bytes = file.readAll();
  switch (CommentFileKindOf(path, bytes)) {
    case CommentFileKind::Rtf:
      ReadRtf(bytes, *comments_->document());
      break;
    case CommentFileKind::Html:
      comments_->setHtml(DecodePlainText(bytes));
      break;
    case CommentFileKind::Plain:
      comments_->setPlainText(DecodePlainText(bytes));
      break;
  }
  if (CommentStored(comments_->toPlainText()).size() > size_t(MaxCommentBytes)) {
    dialogs_.Message(this, QStringLiteral("The comment is longer than the 65535 bytes a song keeps; "
                                          "the rest is lost when the song is saved."));
  }
  return true;
}

}  // namespace varnel
