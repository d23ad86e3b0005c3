// The help window (the guide with every shortcut of the live command set, the drawn note layouts,
// the search), the Help menu's web pages and the about box, on the real main window.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>
#include <fluidsynth.h>

#include "app/main_window_menus.h"
#include "main_window_rig.h"
#include "windows/about_box.h"
#include "windows/help_guide.h"
#include "windows/help_window.h"
#include "windows/keyboard_layout_view.h"

using namespace varnel;
using varnel::test::WindowRig;

class HelpAboutTest : public QObject {
  Q_OBJECT

 private slots:
  void help_opens_notModalWithTitle();
  void help_listsEveryShortcutOfTheCommandSet();
  void help_shortcutChanged_guideFollows();
  void help_content_layoutsTracksFormats();
  void layouts_noteLabels_followBothLayouts();
  void layouts_widget_drawsWhatTheGuideShows();
  void search_findsHighlightsAndSteps();
  void search_noMatchOrEmpty_clearsHighlights();
  void web_items_openTheirPages_data();
  void web_items_openTheirPages();
  void web_openerFails_says();
  void about_namesVersionSynthSoundFontAndLibraries();
  void about_noSoundFont_saysSo();
};

void HelpAboutTest::help_opens_notModalWithTitle() {
  WindowRig rig;
  for (const char* key : {"SongInfo", "Help", "OnlineHelp", "WebSite", "Donate", "MoreSoftware", "About"})
    QVERIFY2(rig.window->Action(key)->isEnabled() && rig.window->Action(key)->isVisible(), key);
  for (int i = 0; i < 5; ++i) QVERIFY(!rig.window->Action(QStringLiteral("MoreEvents%1").arg(i))->isVisible());
  rig.Trigger("Help");
  THelpForm* help = rig.window->HelpForm();
  QVERIFY(help->isVisible());
  QVERIFY(!help->isModal());
  QCOMPARE(help->windowTitle(), QStringLiteral("VN Help"));
  QVERIFY(rig.window->isEnabled());
}

void HelpAboutTest::help_listsEveryShortcutOfTheCommandSet() {
  WindowRig rig;
  rig.Trigger("Help");
  const QString text = rig.window->HelpForm()->PlainText();
  int checked = 0;
  for (QAction* action : rig.window->Commands().All()) {
    if (action->shortcut().isEmpty() || !action->isVisible()) continue;
    const QString keys = action->shortcut().toString(QKeySequence::PortableText);
    const QString caption = PlainCaption(action->text());
    // The shortcut and the command's caption on one line of the table.
    const QRegularExpression row(QRegularExpression::escape(keys) + QStringLiteral("\\s+[^\\n]*") +
                                 QRegularExpression::escape(caption) + QStringLiteral("(\\n|$)"));
    QVERIFY2(row.match(text).hasMatch(), qPrintable(keys + " " + caption));
    ++checked;
  }
  QVERIFY(checked >= 40);
  for (const char* sample : {"Ctrl+Shift+F1", "Alt+F1", "Shift+Ins", "F12", "Ctrl+U", "Ctrl+]"})
    QVERIFY2(text.contains(QLatin1String(sample)), sample);
  QVERIFY(text.contains(QStringLiteral("Channel > Transpose channel down")));
  QVERIFY(text.contains(QStringLiteral("Track > Add automation track > Channel Volume")));
  // The keys the window and the editors take themselves are there as well.
  for (const char* sample : {"F1 ... F8", "Ctrl+Alt+Num d", "Caps Lock", "Alt+Insert"})
    QVERIFY2(text.contains(QLatin1String(sample)), sample);
}

void HelpAboutTest::help_shortcutChanged_guideFollows() {
  WindowRig rig;
  rig.Trigger("Help");
  QVERIFY(!rig.window->HelpForm()->PlainText().contains(QStringLiteral("Ctrl+Alt+K")));
  rig.window->Action("Fill")->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+K")));
  rig.Trigger("Help");
  const QString text = rig.window->HelpForm()->PlainText();
  QVERIFY(text.contains(QStringLiteral("Ctrl+Alt+K")));
  QVERIFY(!text.contains(QStringLiteral("Ctrl+F\n")));
}

void HelpAboutTest::help_content_layoutsTracksFormats() {
  WindowRig rig;
  rig.Trigger("Help");
  THelpForm* help = rig.window->HelpForm();
  const QString text = help->PlainText();
  for (const char* sample : {"Two octaves", "Four octaves", "Keyboard Mode 2+ / 4+ Octaves", "controller 10",
                             "controller 7", "controller 64", "pitch wheel", "controllers 99 and 98",
                             "controllers 101 and 100", "program change", "song's tempo", "Varnel song (.vnl)",
                             "versions 102 to 106", "Standard MIDI File (.mid)", "FastTracker 2 module (.xm)",
                             "Display when loaded"})
    QVERIFY2(text.contains(QLatin1String(sample)), sample);
  // Both keyboards are drawn into the guide.
  QTextDocument* document = help->Browser()->document();
  for (int mode : {0, 1}) {
    const QImage image = document->resource(QTextDocument::ImageResource, KeyboardImageUrl(mode)).value<QImage>();
    QVERIFY2(!image.isNull(), qPrintable(QString::number(mode)));
    QCOMPARE(image.size(), TKeyboardLayoutView::LayoutSize());
  }
  QVERIFY(TKeyboardLayoutView::Image(KeyboardTwoOctaves) != TKeyboardLayoutView::Image(KeyboardFourOctaves));
}

void HelpAboutTest::layouts_noteLabels_followBothLayouts() {
  struct Case {
    int vk;
    KeyboardMode mode;
    const char* label;
  };
  const Case cases[] = {{'Z', KeyboardTwoOctaves, "C"},         {'S', KeyboardTwoOctaves, "C#"},
                        {'M', KeyboardTwoOctaves, "B"},         {Vk::OemComma, KeyboardTwoOctaves, "C'"},
                        {'Q', KeyboardTwoOctaves, "C'"},        {'2', KeyboardTwoOctaves, "C#'"},
                        {'I', KeyboardTwoOctaves, "C''"},       {Vk::Oem5, KeyboardTwoOctaves, "G#''"},
                        {'A', KeyboardTwoOctaves, ""},          {'Z', KeyboardFourOctaves, "C"},
                        {'A', KeyboardFourOctaves, "C'"},       {'Q', KeyboardFourOctaves, "C''"},
                        {'1', KeyboardFourOctaves, "C'''"},     {Vk::Oem5, KeyboardFourOctaves, "A''''"},
                        {'S', KeyboardFourOctaves, "D'"},       {Vk::Capital, KeyboardFourOctaves, ""}};
  for (const Case& c : cases)
    QCOMPARE(TKeyboardLayoutView::NoteLabel(c.vk, c.mode), QString::fromLatin1(c.label));
}

void HelpAboutTest::layouts_widget_drawsWhatTheGuideShows() {
  for (KeyboardMode mode : {KeyboardTwoOctaves, KeyboardFourOctaves}) {
    TKeyboardLayoutView view(mode);
    view.resize(view.sizeHint());
    const QImage shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shot, TKeyboardLayoutView::Image(mode).convertToFormat(QImage::Format_RGB32));
  }
}

void HelpAboutTest::search_findsHighlightsAndSteps() {
  WindowRig rig;
  rig.Trigger("Help");
  THelpForm* help = rig.window->HelpForm();
  QTest::keyClicks(help->FindBox(), QStringLiteral("transpose"));
  const int count = help->MatchCount();
  QVERIFY(count >= 8);  // the eight transpose shortcuts at least
  QCOMPARE(count, int(help->PlainText().toLower().count(QStringLiteral("transpose"))));
  QCOMPARE(help->HighlightCount(), count);
  QCOMPARE(help->SelectedText().toLower(), QStringLiteral("transpose"));
  QCOMPARE(help->FindResult()->text(), QStringLiteral("1 of %1").arg(count));

  QTest::keyClick(help->FindBox(), Qt::Key_Return);
  QCOMPARE(help->CurrentMatch(), 1);
  QCOMPARE(help->FindResult()->text(), QStringLiteral("2 of %1").arg(count));
  for (int i = 1; i < count; ++i) help->FindNext();
  QCOMPARE(help->CurrentMatch(), 0);  // wrapped round to the first

  help->FindBox()->setText(QStringLiteral("Sequence Editor"));
  QVERIFY(help->MatchCount() >= 1);
  QCOMPARE(help->SelectedText().toLower(), QStringLiteral("sequence editor"));  // case ignored
}

void HelpAboutTest::search_noMatchOrEmpty_clearsHighlights() {
  WindowRig rig;
  rig.Trigger("Help");
  THelpForm* help = rig.window->HelpForm();
  help->FindBox()->setText(QStringLiteral("Octave"));
  QVERIFY(help->HighlightCount() > 0);
  help->FindBox()->setText(QStringLiteral("zqxjzqxj"));
  QCOMPARE(help->MatchCount(), 0);
  QCOMPARE(help->HighlightCount(), 0);
  QCOMPARE(help->FindResult()->text(), QStringLiteral("Not found"));
  help->FindNext();  // nothing to go to: stays calm
  QCOMPARE(help->CurrentMatch(), -1);
  help->FindBox()->clear();
  QCOMPARE(help->HighlightCount(), 0);
  QVERIFY(help->FindResult()->text().isEmpty());
}

void HelpAboutTest::web_items_openTheirPages_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("address");
  QTest::newRow("online help") << "OnlineHelp" << "https://varnel.org/help";
  QTest::newRow("web site") << "WebSite" << "https://varnel.org/";
  QTest::newRow("donate") << "Donate" << "https://varnel.org/donate";
  QTest::newRow("more software") << "MoreSoftware" << "https://varnel.org/software";
}

void HelpAboutTest::web_items_openTheirPages() {
  QFETCH(QString, key);
  QFETCH(QString, address);
  WindowRig rig;
  QList<QUrl> opened;
  rig.window->SetUrlOpener([&opened](const QUrl& url) {
    opened << url;
    return true;
  });
  rig.Trigger(key);
  QCOMPARE(opened, QList<QUrl>{QUrl(address)});
  QVERIFY(rig.dialogs.messages.isEmpty());
}

void HelpAboutTest::web_openerFails_says() {
  WindowRig rig;
  rig.window->SetUrlOpener([](const QUrl&) { return false; });
  rig.Trigger("Donate");
  QCOMPARE(rig.dialogs.messages, QStringList{QStringLiteral("Could not open the web page https://varnel.org/donate")});
}

void HelpAboutTest::about_namesVersionSynthSoundFontAndLibraries() {
  QTemporaryDir dir;
  const QString soundFont = dir.filePath("Test GM.sf2");
  {
    QFile file(soundFont);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("RIFF");
  }
  qputenv("VARNEL_SOUNDFONT", soundFont.toUtf8());
  WindowRig rig;
  const int before = rig.dialogs.confirmations;
  rig.Trigger("About");
  QCOMPARE(rig.dialogs.confirmations, before + 1);  // shown modally
  TAboutBox* about = rig.window->AboutBox();
  QCOMPARE(about->windowTitle(), QStringLiteral("About Varnel"));
  const QString text = about->Text();
  QVERIFY2(QRegularExpression(QStringLiteral("^Varnel \\d+\\.\\d+\\.\\d+")).match(text).hasMatch(), qPrintable(text));
  QVERIFY2(text.contains(QStringLiteral("Embedded synth: FluidSynth ") + QString::fromLatin1(fluid_version_str())),
           qPrintable(text));
  QVERIFY2(text.contains(QStringLiteral("SoundFont: Test GM.sf2 (") + soundFont + ")"), qPrintable(text));
  QVERIFY2(text.contains(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())), qPrintable(text));
  QVERIFY(text.contains(QStringLiteral("RtMidi ")));
  QVERIFY(text.contains(QStringLiteral("MIDI output: ")));
  qunsetenv("VARNEL_SOUNDFONT");
}

void HelpAboutTest::about_noSoundFont_saysSo() {
  TAboutBox about;
  AboutFacts facts;
  facts.output = QStringLiteral("Port 1");
  facts.synthIsOutput = false;
  about.SetFacts(facts);
  QVERIFY(about.Text().contains(QStringLiteral("SoundFont: none found")));
  QVERIFY(about.Text().contains(QStringLiteral("MIDI output: Port 1\n")));
  facts.output = QStringLiteral("MIDI Mapper");
  facts.synthIsOutput = true;
  about.SetFacts(facts);
  QVERIFY(about.Text().contains(QStringLiteral("MIDI output: MIDI Mapper (the embedded synth)")));
}

QTEST_MAIN(HelpAboutTest)
#include "help_about_test.moc"
