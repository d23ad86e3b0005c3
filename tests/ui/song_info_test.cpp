// The song information: the genre list, the dialog's round trip on the real main window (OK
// stores and marks the song modified, Cancel changes nothing), comment files in plain text and
// RTF, and the dialog that opens by itself after a song that asks for it is loaded.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include "editing/genres.h"
#include "exchange/midi_export.h"
#include "main_window_rig.h"
#include "windows/rich_text_file.h"
#include "windows/song_info_form.h"

using namespace varnel;
using varnel::test::RecordingDialogs;
using varnel::test::WindowRig;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// The character format of the first occurrence of word in the comment box.
QTextCharFormat FormatOf(QTextEdit* box, const QString& word) {
  QTextCursor at = box->document()->find(word);
  if (at.isNull()) return {};
  QTextCursor inside(box->document());
  inside.setPosition(at.selectionStart() + 1);
  return inside.charFormat();
}

}  // namespace

class SongInfoTest : public QObject {
  Q_OBJECT

 private slots:
  void genres_list_149EntriesSortedNotSpecifiedFirst();
  void genres_numbersAndListIndex_map();
  void dialog_controls_genreListAndCaptions();
  void roundTrip_ok_storesFieldsAndMarksModified();
  void roundTrip_cancel_changesNothing();
  void roundTrip_okWithoutChange_leavesSongUnmodified();
  void genre_notInList_shownAndKept();
  void dialog_buttons_okAcceptsCancelAndEscapeReject();
  void loadFromFile_plainText_replacesComment();
  void loadFromFile_rtf_shownFormattedStoredPlain();
  void loadFromFile_missingOrCancelled_commentUnchanged();
  void rtf_damagedInput_readsWhatItCan();
  void rtf_mutatedInput_neverFailsOrHangs();
  void loadFromFile_tooLong_saysWhatHappens();
  void afterLoad_flagSet_showsAfterOpenAndEditCounts();
  void afterLoad_flagClearOrImport_showsNothing();
  void afterLoad_startArgument_showsAfterWindow();
};

void SongInfoTest::genres_list_149EntriesSortedNotSpecifiedFirst() {
  const auto& list = GenreList();
  QCOMPARE(int(list.size()), 149);
  QCOMPARE(QString::fromStdString(list[0]), QStringLiteral("<Not specified>"));
  QCOMPARE(QString::fromStdString(list[1]), QStringLiteral("A capella"));
  QCOMPARE(QString::fromStdString(list[2]), QStringLiteral("Acid"));
  QCOMPARE(QString::fromStdString(list.back()), QStringLiteral("Vocal"));
  QSet<QString> names;
  for (size_t i = 1; i < list.size(); ++i) {
    names.insert(QString::fromStdString(list[i]).toLower());
    if (i > 1) {
      QVERIFY2(QString::fromStdString(list[i - 1]).compare(QString::fromStdString(list[i]), Qt::CaseInsensitive) < 0,
               list[i].c_str());
    }
  }
  QCOMPARE(names.size(), 148);  // no name twice, not even in another case
  // Case ignored: "AlternRock" sorts after "Alternative", "BritPop" after "Bluegrass".
  QVERIFY(GenreListIndex("Alternative") < GenreListIndex("AlternRock"));
  QVERIFY(GenreListIndex("Bluegrass") < GenreListIndex("BritPop"));
}

void SongInfoTest::genres_numbersAndListIndex_map() {
  QCOMPARE(QString::fromStdString(Id3GenreName(0)), QStringLiteral("Blues"));
  QCOMPARE(QString::fromStdString(Id3GenreName(17)), QStringLiteral("Rock"));
  QCOMPARE(QString::fromStdString(Id3GenreName(79)), QStringLiteral("Hard Rock"));
  QCOMPARE(QString::fromStdString(Id3GenreName(80)), QStringLiteral("Folk"));
  QCOMPARE(QString::fromStdString(Id3GenreName(127)), QStringLiteral("Drum & Bass"));
  QCOMPARE(QString::fromStdString(Id3GenreName(147)), QStringLiteral("Synthpop"));
  QVERIFY(Id3GenreName(148).empty());
  QVERIFY(Id3GenreName(-1).empty());
  for (int n = 0; n < Id3GenreCount; ++n) {
    const int index = GenreListIndex(Id3GenreName(n));
    QVERIFY2(index >= 1, Id3GenreName(n).c_str());
    QCOMPARE(GenreList()[size_t(index)], Id3GenreName(n));
  }
  QCOMPARE(GenreListIndex("<Not specified>"), 0);
  QCOMPARE(GenreListIndex("Chiptune"), -1);
  QCOMPARE(GenreListIndex("blues"), -1);  // the list holds the table's own spelling
}

void SongInfoTest::dialog_controls_genreListAndCaptions() {
  RecordingDialogs dialogs;
  TfrmSongInfo form(dialogs);
  QCOMPARE(form.windowTitle(), QStringLiteral("Song info"));
  QCOMPARE(form.GenreBox()->count(), 149);
  QVERIFY(form.GenreBox()->isEditable());
  QCOMPARE(form.GenreBox()->currentIndex(), 0);
  QCOMPARE(form.GenreBox()->itemText(0), QStringLiteral("<Not specified>"));
  QCOMPARE(form.GenreBox()->itemText(148), QStringLiteral("Vocal"));
  QCOMPARE(form.LoadButton()->text(), QStringLiteral("Load from file"));
  QCOMPARE(form.ShowOnLoadBox()->text(), QStringLiteral("Display when loaded"));
  QCOMPARE(form.OkButton()->text(), QStringLiteral("OK"));
  QCOMPARE(form.CancelButton()->text(), QStringLiteral("Cancel"));
}

void SongInfoTest::roundTrip_ok_storesFieldsAndMarksModified() {
  WindowRig rig;
  TVNSongTag& tag = rig.Song().Tag;
  tag.Title = "Old title";
  tag.Artist = "Someone";
  tag.Genre = "Rock";
  tag.Comments = "line one\r\nline two";
  rig.SetModified(false);

  TfrmSongInfo* form = rig.window->SongInfoForm();
  QString shownComment;
  QString shownGenre;
  const auto edit = connect(form, &TfrmSongInfo::Filled, form, [&] {
    shownComment = form->CommentsBox()->toPlainText();
    shownGenre = form->GenreBox()->currentText();
    form->TitleEdit()->setText(QStringLiteral("Night Drive"));
    form->AlbumEdit()->setText(QStringLiteral("Städte"));
    form->YearEdit()->setText(QStringLiteral("circa 1999"));
    form->GenreBox()->setCurrentIndex(GenreListIndex("Jazz"));
    form->CommentsBox()->setPlainText(QStringLiteral("first\nsecond"));
    form->ShowOnLoadBox()->setChecked(true);
  });
  rig.Trigger("SongInfo");
  disconnect(edit);

  QCOMPARE(shownComment, QStringLiteral("line one\nline two"));
  QCOMPARE(shownGenre, QStringLiteral("Rock"));
  QCOMPARE(QString::fromStdString(tag.Title), QStringLiteral("Night Drive"));
  QCOMPARE(QString::fromStdString(tag.Artist), QStringLiteral("Someone"));
  QCOMPARE(QString::fromStdString(tag.Album), QStringLiteral("Städte"));
  QCOMPARE(QString::fromStdString(tag.Year), QStringLiteral("circa 1999"));
  QCOMPARE(QString::fromStdString(tag.Genre), QStringLiteral("Jazz"));
  QCOMPARE(tag.Comments, std::string("first\r\nsecond"));
  QVERIFY(tag.ShowOnLoad);
  QVERIFY(rig.Modified());

  // Quitting now offers to save instead of losing the edit; Cancel keeps the window open.
  rig.dialogs.saveAnswer = DialogAnswer::Cancel;
  QVERIFY(!rig.window->close());
  QVERIFY(rig.dialogs.questions.contains(QStringLiteral("File has been modified.  Save changes?")));
  // A step of its own: undone, the song is as it was.
  rig.Trigger("Undo");
  QCOMPARE(rig.window->StatusText(0), QStringLiteral("Undo: song info"));
  QCOMPARE(QString::fromStdString(tag.Title), QStringLiteral("Old title"));
  QVERIFY(!rig.Modified());
}

void SongInfoTest::roundTrip_cancel_changesNothing() {
  WindowRig rig;
  rig.Song().Tag.Title = "Kept";
  rig.SetModified(false);
  TfrmSongInfo* form = rig.window->SongInfoForm();
  connect(form, &TfrmSongInfo::Filled, form, [form] {
    form->TitleEdit()->setText(QStringLiteral("Changed"));
    form->ShowOnLoadBox()->setChecked(true);
  });
  rig.dialogs.confirm = false;
  rig.Trigger("SongInfo");
  QCOMPARE(rig.dialogs.confirmations, 1);
  QCOMPARE(QString::fromStdString(rig.Song().Tag.Title), QStringLiteral("Kept"));
  QVERIFY(!rig.Song().Tag.ShowOnLoad);
  QVERIFY(!rig.Modified());

  // The next showing refills the controls from the song, not from the cancelled edit.
  disconnect(form, &TfrmSongInfo::Filled, form, nullptr);
  rig.Trigger("SongInfo");
  QCOMPARE(form->TitleEdit()->text(), QStringLiteral("Kept"));
  QVERIFY(!form->ShowOnLoadBox()->isChecked());
}

void SongInfoTest::roundTrip_okWithoutChange_leavesSongUnmodified() {
  WindowRig rig;
  // Bytes that are not UTF-8 (Windows-1252 from an old file) stay as they are when not edited.
  rig.Song().Tag.Artist = "Andr\xE9";
  rig.Song().Tag.Comments = "caf\xE9\r\n";
  rig.SetModified(false);
  rig.Trigger("SongInfo");
  QCOMPARE(rig.window->SongInfoForm()->ArtistEdit()->text(), QStringLiteral("André"));
  QCOMPARE(rig.Song().Tag.Artist, std::string("Andr\xE9"));
  QCOMPARE(rig.Song().Tag.Comments, std::string("caf\xE9\r\n"));
  QVERIFY(!rig.Modified());
}

void SongInfoTest::genre_notInList_shownAndKept() {
  WindowRig rig;
  TfrmSongInfo* form = rig.window->SongInfoForm();
  rig.Song().Tag.Genre = "Chiptune";
  QString shown;
  connect(form, &TfrmSongInfo::Filled, form, [&] {
    shown = form->GenreBox()->currentText();
    form->TitleEdit()->setText(QStringLiteral("t"));
  });
  rig.Trigger("SongInfo");
  QCOMPARE(shown, QStringLiteral("Chiptune"));
  QCOMPARE(QString::fromStdString(rig.Song().Tag.Genre), QStringLiteral("Chiptune"));
  QCOMPARE(form->GenreBox()->count(), 149);  // a typed genre does not join the list

  // No genre reads "<Not specified>", and choosing it stores no genre.
  rig.Song().Tag.Genre.clear();
  rig.Trigger("SongInfo");
  QCOMPARE(shown, QStringLiteral("<Not specified>"));
  QVERIFY(rig.Song().Tag.Genre.empty());
  rig.Song().Tag.Genre = "Polka";
  disconnect(form, &TfrmSongInfo::Filled, form, nullptr);
  connect(form, &TfrmSongInfo::Filled, form, [form] { form->GenreBox()->setCurrentIndex(0); });
  rig.Trigger("SongInfo");
  QVERIFY(rig.Song().Tag.Genre.empty());
}

void SongInfoTest::dialog_buttons_okAcceptsCancelAndEscapeReject() {
  RecordingDialogs dialogs;
  TfrmSongInfo form(dialogs);
  TVNSongTag tag;
  tag.Title = "A";
  form.Fill(tag);
  QTimer::singleShot(0, &form, [&form] {
    form.TitleEdit()->setText(QStringLiteral("B"));
    QTest::mouseClick(form.OkButton(), Qt::LeftButton);
  });
  QCOMPARE(form.exec(), int(QDialog::Accepted));
  QVERIFY(form.Store(tag));
  QCOMPARE(tag.Title, std::string("B"));

  form.Fill(tag);
  QTimer::singleShot(0, &form, [&form] { QTest::mouseClick(form.CancelButton(), Qt::LeftButton); });
  QCOMPARE(form.exec(), int(QDialog::Rejected));
  form.Fill(tag);
  QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
  QCOMPARE(form.exec(), int(QDialog::Rejected));
}

void SongInfoTest::loadFromFile_plainText_replacesComment() {
  QTemporaryDir dir;
  RecordingDialogs dialogs;
  TfrmSongInfo form(dialogs);
  form.Fill(TVNSongTag{});
  const QString utf8 = dir.filePath("notes.txt");
  WriteFile(utf8, "Verse: Am F C G\r\nChorus: \xC3\xA9t\xC3\xA9\r\n");
  dialogs.openName = utf8;
  QTest::mouseClick(form.LoadButton(), Qt::LeftButton);
  QCOMPARE(dialogs.filters.last(), QStringLiteral("All files (*);;Text/RTF files (*.txt *.rtf)"));
  QCOMPARE(form.CommentsBox()->toPlainText(), QStringLiteral("Verse: Am F C G\nChorus: été\n"));

  // Windows-1252 and UTF-16 files read as text too.
  const QString ansi = dir.filePath("ansi.txt");
  WriteFile(ansi, "Caf\xE9 \x80 5");
  QVERIFY(form.LoadCommentFile(ansi));
  QCOMPARE(form.CommentsBox()->toPlainText(), QStringLiteral("Café € 5"));
  const QString wide = dir.filePath("wide.txt");
  WriteFile(wide, QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(u"Hi\r\n\u00FC"), 10));
  QVERIFY(form.LoadCommentFile(wide));
  QCOMPARE(form.CommentsBox()->toPlainText(), QStringLiteral("Hi\nü"));

  TVNSongTag tag;
  QVERIFY(form.Store(tag));
  QCOMPARE(QString::fromStdString(tag.Comments), QStringLiteral("Hi\r\nü"));
  QVERIFY(dialogs.messages.isEmpty());
}

void SongInfoTest::loadFromFile_rtf_shownFormattedStoredPlain() {
  QTemporaryDir dir;
  RecordingDialogs dialogs;
  TfrmSongInfo form(dialogs);
  form.Fill(TVNSongTag{});
  const QString path = dir.filePath("sleeve.rtf");
  WriteFile(path,
            "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
            "{\\colortbl ;\\red255\\green0\\blue0;}"
            "{\\*\\generator Writer;}\\viewkind4\\pard\\f0\\fs20 Recorded {\\b live} in "
            "{\\i Caf\\'e9 Noir}\\par\n\\cf1 Red\\cf0  text \\u8364? \\{braces\\}\\par\n}");
  dialogs.openName = path;
  QTest::mouseClick(form.LoadButton(), Qt::LeftButton);
  QTextEdit* box = form.CommentsBox();
  QCOMPARE(box->toPlainText(), QStringLiteral("Recorded live in Café Noir\nRed text € {braces}\n"));
  QCOMPARE(FormatOf(box, "live").fontWeight(), int(QFont::Bold));
  QVERIFY(FormatOf(box, "Noir").fontItalic());
  QVERIFY(FormatOf(box, "Recorded").fontWeight() != QFont::Bold);
  QVERIFY(!FormatOf(box, "in").fontItalic());
  QCOMPARE(FormatOf(box, "Red").foreground().color(), QColor(255, 0, 0));
  QVERIFY(FormatOf(box, "text").foreground().color() != QColor(255, 0, 0));
  QCOMPARE(FormatOf(box, "live").fontPointSize(), 10.0);

  TVNSongTag tag;
  QVERIFY(form.Store(tag));
  QCOMPARE(QString::fromStdString(tag.Comments), QStringLiteral("Recorded live in Café Noir\r\nRed text € {braces}\r\n"));
}

void SongInfoTest::loadFromFile_missingOrCancelled_commentUnchanged() {
  QTemporaryDir dir;
  RecordingDialogs dialogs;
  TfrmSongInfo form(dialogs);
  TVNSongTag tag;
  tag.Comments = "keep me";
  form.Fill(tag);
  const QString gone = dir.filePath("gone.txt");
  WriteFile(gone, "soon deleted");
  QVERIFY(QFile::remove(gone));
  dialogs.openName = gone;
  QTest::mouseClick(form.LoadButton(), Qt::LeftButton);
  QCOMPARE(form.CommentsBox()->toPlainText(), QStringLiteral("keep me"));
  QCOMPARE(dialogs.messages, QStringList{QStringLiteral("File not found: ") + gone});

  dialogs.openName.clear();  // the open dialog cancelled
  QTest::mouseClick(form.LoadButton(), Qt::LeftButton);
  QCOMPARE(form.CommentsBox()->toPlainText(), QStringLiteral("keep me"));
  QCOMPARE(dialogs.messages.size(), 1);

  // A folder is no comment file either.
  QVERIFY(!form.LoadCommentFile(dir.path()));
  QCOMPARE(form.CommentsBox()->toPlainText(), QStringLiteral("keep me"));
  QVERIFY(!form.Store(tag));
}

void SongInfoTest::rtf_damagedInput_readsWhatItCan() {
  QTemporaryDir dir;
  RecordingDialogs dialogs;
  TfrmSongInfo form(dialogs);
  const QString path = dir.filePath("cut.rtf");
  // Unbalanced groups, a cut-off hex escape, deep nesting and a huge number.
  WriteFile(path, "{\\rtf1 Start }} more {\\b bold " + QByteArray(5000, '{') + "deep\\fs999999999999 x\\'4");
  QVERIFY(form.LoadCommentFile(path));
  const QString text = form.CommentsBox()->toPlainText();
  QVERIFY2(text.startsWith(QStringLiteral("Start  more bold deep")), qPrintable(text));
  QVERIFY(dialogs.messages.isEmpty());
}

void SongInfoTest::rtf_mutatedInput_neverFailsOrHangs() {
  const QByteArray seed =
      "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}"
      "\\uc2 A\\u1078??{\\b\\i\\ul B\\'e0\\'e1}\\bin4 {}{}\\par\\cf7 C\\*\\x{\\pict 00ff}}";
  const char alphabet[] = "{}\\'0123456789abcdefu-; ?*\n";
  quint32 state = 12345;
  const auto next = [&state] { return state = state * 1664525u + 1013904223u; };
  QTextDocument document;
  for (int round = 0; round < 2000; ++round) {
    QByteArray input = seed;
    for (int edits = int(next() % 6); edits >= 0; --edits) {
      const int at = int(next() % quint32(input.size()));
      switch (next() % 3) {
        case 0: input[at] = alphabet[next() % (sizeof alphabet - 1)]; break;
        case 1: input.insert(at, alphabet[next() % (sizeof alphabet - 1)]); break;
        default: input.remove(at, 1 + int(next() % 4)); break;
      }
    }
    ReadRtf(input, document);
  }
  ReadRtf(seed, document);
  QVERIFY2(document.toPlainText().startsWith(QStringLiteral("A\u0436B\u0430\u0431")), qPrintable(document.toPlainText()));
}

void SongInfoTest::loadFromFile_tooLong_saysWhatHappens() {
  QTemporaryDir dir;
  RecordingDialogs dialogs;
  TfrmSongInfo form(dialogs);
  TVNSongTag tag;
  tag.Comments = "before";
  form.Fill(tag);
  // Longer than a song keeps: shown, with a word that the end is lost on saving.
  const QString longer = dir.filePath("long.txt");
  WriteFile(longer, QByteArray(70000, 'x'));
  QVERIFY(form.LoadCommentFile(longer));
  QCOMPARE(form.CommentsBox()->toPlainText().size(), 70000);
  QCOMPARE(dialogs.messages.size(), 1);
  QVERIFY(dialogs.messages[0].contains(QStringLiteral("65535")));
  // Far too large to be a comment: refused, the comment stays.
  form.Fill(tag);
  const QString huge = dir.filePath("huge.txt");
  WriteFile(huge, QByteArray(int(TfrmSongInfo::MaxCommentFileBytes) + 1, 'y'));
  QVERIFY(!form.LoadCommentFile(huge));
  QCOMPARE(form.CommentsBox()->toPlainText(), QStringLiteral("before"));
  QCOMPARE(dialogs.messages.last(), QStringLiteral("The file is too large for the song comments: ") + huge);
}

void SongInfoTest::afterLoad_flagSet_showsAfterOpenAndEditCounts() {
  QTemporaryDir dir;
  WindowRig rig;
  const QString path = dir.filePath("shown.vnl");
  rig.Song().Tag.Title = "Shown on load";
  rig.Song().Tag.ShowOnLoad = true;
  QVERIFY(rig.Song().SaveToFile(path.toStdString()));
  rig.Song().Tag = TVNSongTag{};

  TfrmSongInfo* form = rig.window->SongInfoForm();
  QSignalSpy filled(form, &TfrmSongInfo::Filled);
  connect(form, &TfrmSongInfo::Filled, form, [form] { form->ArtistEdit()->setText(QStringLiteral("Added")); });
  rig.dialogs.openName = path;
  rig.Trigger("Open");
  QTRY_COMPARE(filled.count(), 1);
  QCOMPARE(form->TitleEdit()->text(), QStringLiteral("Shown on load"));
  // Confirmed after the load finished: the edit is in the song, and the song is modified.
  QCOMPARE(QString::fromStdString(rig.Song().Tag.Artist), QStringLiteral("Added"));
  QVERIFY(rig.Modified());
  QTest::qWait(20);
  QCOMPARE(filled.count(), 1);
}

void SongInfoTest::afterLoad_flagClearOrImport_showsNothing() {
  QTemporaryDir dir;
  WindowRig rig;
  const QString plain = dir.filePath("plain.vnl");
  QVERIFY(rig.Song().SaveToFile(plain.toStdString()));
  const QString midi = dir.filePath("tune.mid");
  rig.Song().SetCellData(0, 0, 60);
  QVERIFY(ExportMidi(rig.Song(), midi.toStdString(), true));
  rig.Song().Tag.ShowOnLoad = true;  // the import replaces the song: its flag does not count
  rig.SetModified(false);

  QSignalSpy filled(rig.window->SongInfoForm(), &TfrmSongInfo::Filled);
  rig.dialogs.openName = midi;
  rig.Trigger("ImportMidi");
  rig.dialogs.openName = plain;
  rig.Trigger("Open");
  QTest::qWait(30);
  QCOMPARE(filled.count(), 0);
}

void SongInfoTest::afterLoad_startArgument_showsAfterWindow() {
  QTemporaryDir dir;
  const QString path = dir.filePath("start.vnl");
  {
    WindowRig writer;
    writer.Song().Tag.Title = "From the command line";
    writer.Song().Tag.ShowOnLoad = true;
    QVERIFY(writer.Song().SaveToFile(path.toStdString()));
  }
  WindowRig rig(path);
  QTRY_COMPARE(rig.window->SongInfoForm()->TitleEdit()->text(), QStringLiteral("From the command line"));
  QVERIFY(!rig.Modified());  // confirmed unchanged
}

QTEST_MAIN(SongInfoTest)
#include "song_info_test.moc"
