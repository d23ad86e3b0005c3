// The colour schemes, the custom main menu, zoom and the grid font, on the real main window
// through its commands: every scheme value the grids, toggles and play counter show, the check
// marks, the stored scheme and font across a restart, and the title bar's window gestures.
#include <QActionGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QListView>
#include <QPushButton>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QSpinBox>
#include <QPainter>
#include <QToolButton>
#include <QWindow>

#include "app/channel_bar.h"
#include "app/channel_toggles.h"
#include "app/color_schemes.h"
#include "app/custom_title_bar.h"
#include "app/fill_dialog.h"
#include "app/main_window_menus.h"
#include "app/midi_props_frame.h"
#include "app/options_dialog.h"
#include "app/template_frame.h"
#include "editor/readable_colors.h"
#include "main_window_rig.h"
#include "windows/piano_form.h"
#include "windows/piano_keys.h"

using namespace varnel;
using varnel::test::WindowRig;
using C = TMyGrid2Colors;

namespace {

QColor Hex(unsigned rgb) { return QColor::fromRgb(QRgb(rgb)); }

// A scheme's font family where it is installed, else the application's.
QString Family(const char* name) {
  return QFontDatabase::hasFamily(QLatin1String(name)) ? QString::fromLatin1(name) : QApplication::font().family();
}

// The table's white on the Blue scheme's light blue reads 1.9:1: the text takes a dark shade.
QColor OnLightBlue() { return Readable(Hex(0xFFFFFF), Hex(0xA4BFDD)); }

QColor SquareColor(WindowRig& rig, int channel) {
  return rig.window->Toggles()->Square(channel)->palette().color(QPalette::Window);
}

QColor LabelColor(WindowRig& rig, int channel) {
  return rig.window->Toggles()->Label(channel)->palette().color(QPalette::WindowText);
}

QColor CounterColor(WindowRig& rig) { return rig.Props().PlayCounter->palette().color(QPalette::WindowText); }

void ShowPlayedRow(WindowRig& rig, int row) {
  rig.Song().LastPlayedRow = row;
  rig.window->UpdatePlayCounter();
}

QStringList CheckedSchemes(WindowRig& rig) {
  QStringList keys;
  for (const char* key : {"Scheme0", "Scheme1", "Scheme2"})
    if (rig.window->Action(key)->isChecked()) keys << key;
  return keys;
}

// A font dialog that answers at once and remembers what it was shown.
struct FontAnswer {
  FontAnswer(const QFont& f, const QColor& c, bool answer = true) : font(f), color(c), ok(answer) {}
  QFont font;
  QColor color;
  bool ok;
  QFont shownFont;
  QColor shownColor;
  int calls = 0;
  TMainForm::FontChooser Chooser() {
    return [this](QFont& f, QColor& c) {
      ++calls;
      shownFont = f;
      shownColor = c;
      if (!ok) return false;
      f = font;
      c = color;
      return true;
    };
  }
};

void MouseOn(QWidget* widget, QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}


// What a text widget is drawn on: the nearest widget up the chain that fills its background.
QColor SurfaceOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget())
    if (w->autoFillBackground() || w->isWindow()) return w->palette().color(w->backgroundRole());
  return QApplication::palette().color(QPalette::Window);
}

// Every text the window shows and the colour it stands on, as the widgets draw them: labels in
// their foreground role, check boxes in the window text, buttons in the button text (flat tool
// buttons on what is behind them), numbers and lists in their text on their face.
struct ShownText {
  QString what;
  QColor text, surface;
};
QList<ShownText> ShownTexts(QWidget* window, const QWidget* skip) {
  QList<ShownText> texts;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(window) || !w->isEnabled() || (skip && skip->isAncestorOf(w))) continue;
    const QPalette p = w->palette();
    const QString name = QStringLiteral("%1 '%2'").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (!label->text().trimmed().isEmpty())
        texts.push_back({name + " " + label->text(), p.color(label->foregroundRole()), SurfaceOf(label)});
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
      texts.push_back({name + " " + box->text(), p.color(QPalette::WindowText), SurfaceOf(box->parentWidget())});
    } else if (auto* tool = qobject_cast<QToolButton*>(w)) {
      if (!tool->text().isEmpty() && (tool->icon().isNull() || tool->toolButtonStyle() != Qt::ToolButtonIconOnly))
        texts.push_back({name + " " + tool->text(), p.color(QPalette::ButtonText),
                         tool->autoRaise() ? SurfaceOf(tool->parentWidget()) : p.color(QPalette::Button)});
    } else if (auto* push = qobject_cast<QPushButton*>(w)) {
      texts.push_back({name + " " + push->text(), p.color(QPalette::ButtonText), p.color(QPalette::Button)});
    } else if (qobject_cast<QAbstractSpinBox*>(w)) {
      texts.push_back({name, p.color(QPalette::Text), p.color(QPalette::Base)});
    } else if (auto* list = qobject_cast<QComboBox*>(w)) {
      texts.push_back({name + " " + list->currentText(), p.color(QPalette::ButtonText), p.color(QPalette::Button)});
    }
  }
  return texts;
}
}  // namespace

class ColorSchemesTest : public QObject {
  Q_OBJECT

 private slots:
  void blue_gridSlots_valueByValue_data();
  void blue_gridSlots_valueByValue();
  void schemes_togglesCounterAndPanels_followScheme_data();
  void schemes_togglesCounterAndPanels_followScheme();
  void blue_panelsAndFonts();
  void blue_chosenTwice_secondChoiceChangesNothing();
  void font_redChosen_notesRed_defaultRestoresSchemeFont();
  void font_cancelled_changesNothing();
  void font_dialog_listsTheFonts();
  void settings_storedFontWinsOverStoredScheme();
  void settings_plainFontUnderBoldScheme_staysPlainAfterRestart();
  void settings_unknownScheme_staysDefaultAndIsWrittenAsDefault();
  void zoom_limits();
  void gradient_bands_workedExamples();
  void gradientRect_paintsBandsTopToBottom();
  void customMenu_titleBarHoldsMenu_andGoesBack();
  void customMenu_dragAndDoubleClick();
  void customMenu_captionButtons();
  void contrast_everyTextReadable_inEveryScheme_data();
  void contrast_everyTextReadable_inEveryScheme();
};

void ColorSchemesTest::blue_gridSlots_valueByValue_data() {
  QTest::addColumn<QString>("key");
  QTest::newRow("Blue") << "Scheme1";
  QTest::newRow("New Icons") << "Scheme2";
}

void ColorSchemesTest::blue_gridSlots_valueByValue() {
  QFETCH(QString, key);
  WindowRig rig;
  TMyGrid2& g1 = rig.G1();
  const C before = g1.Colors();
  rig.Trigger(key);

  const std::pair<int, unsigned> expected[] = {
      {C::FocusedColor, 0x2F547B},   {C::FocusedFontColor, 0xFAD28F},   {C::SelectionColor, 0xFAD28F},
      {C::SelectionFontColor, 0x2F547B}, {C::FixedGridLineColor, 0xFFFFFF}, {C::FixedColor, 0xA4BFDD},
      {C::FixedFontColor, 0xFFFFFF}, {C::CellColor, 0x4174AB},          {C::CellFontColor, 0xFFFFFF},
      {C::CellColor2, 0x4B86C5},     {C::CellFontColor2, 0xFFFFFF},     {C::FixedActiveColor, 0x4174AB},
      {C::FixedActiveFontColor, 0xFAD28F}, {C::LoopedFixedColor, 0xFAD28F}, {C::LoopedFixedFontColor, 0x4B86C5},
      {C::CellColor3, 0x497CB3},     {C::CellColor4, 0x538ECD}};
  for (const auto& [slot, rgb] : expected) QVERIFY2(g1.Colors()[slot] == Hex(rgb), qPrintable(QString::number(slot)));
  // Slots the scheme does not list keep their values.
  for (int slot : {C::FixedSelectionColor, C::FixedSelectionFontColor, C::LoopedCellColor, C::LoopedCellFontColor})
    QCOMPARE(g1.Colors()[slot], before[slot]);

  QCOMPARE(g1.BackgroundColor(), Hex(0x4174AB));
  QCOMPARE(g1.GridLineColor(), Hex(0x315580));
  QCOMPARE(g1.font().family(), Family("Arial"));
  QCOMPARE(g1.font().pointSize(), 8);
  QVERIFY(g1.font().bold());
  // The sequence grid takes everything of the pattern grid; the template grid slots 0..14, size 8.
  TMyGrid2& g2 = *rig.window->Frame()->Grid2();
  QCOMPARE(g2.Colors(), g1.Colors());
  QCOMPARE(g2.font(), g1.font());
  QCOMPARE(g2.BackgroundColor(), Hex(0x4174AB));
  TMyGrid2& tg = *rig.window->AddFrame()->Grid;
  for (int slot = 0; slot <= C::FixedActiveFontColor; ++slot) QCOMPARE(tg.Colors()[slot], g1.Colors()[slot]);
  QCOMPARE(tg.BackgroundColor(), Hex(0x4174AB));
  QCOMPARE(tg.GridLineColor(), Hex(0x315580));
  QCOMPARE(tg.font().family(), Family("Arial"));
  QCOMPARE(tg.font().pointSize(), 8);
  // The cells were measured again for the new font.
  QCOMPARE(g1.ColWidth(1) >= QFontMetrics(g1.font()).horizontalAdvance("C#0") + 10, true);

  QCOMPARE(CheckedSchemes(rig), QStringList{key});
  QCOMPARE(rig.window->Scheme(), key == "Scheme1" ? 1 : 2);
}

void ColorSchemesTest::schemes_togglesCounterAndPanels_followScheme_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QColor>("off");
  QTest::addColumn<QColor>("on");
  QTest::addColumn<QColor>("numbers");
  QTest::addColumn<QColor>("beat");
  QTest::addColumn<QColor>("offBeat");
  QTest::addColumn<QColor>("panel");
  QTest::addColumn<bool>("channelSlider");
  const QColor windowText = QApplication::palette().color(QPalette::Text);
  const QColor buttonFace = QApplication::palette().color(QPalette::Button);
  QTest::newRow("Blue") << "Scheme1" << Hex(0x888888) << Hex(0x4174AB) << OnLightBlue() << Hex(0xFAD28F)
                        << Hex(0xFFFFFF) << Hex(0xA4BFDD) << true;
  QTest::newRow("New Icons") << "Scheme2" << Hex(0x888888) << Hex(0x4174AB) << windowText << Hex(0xFAD28F)
                             << Hex(0xFFFFFF) << buttonFace << false;
  // Back to the default from Blue.
  QTest::newRow("Default") << "Scheme0" << Hex(0xB8B8B8) << Hex(0xFFFFFF) << windowText << Hex(0x0000FF)
                           << Hex(0x000000) << buttonFace << false;
}

void ColorSchemesTest::schemes_togglesCounterAndPanels_followScheme() {
  QFETCH(QString, key);
  QFETCH(QColor, off);
  QFETCH(QColor, on);
  QFETCH(QColor, numbers);
  QFETCH(QColor, beat);
  QFETCH(QColor, offBeat);
  QFETCH(QColor, panel);
  QFETCH(bool, channelSlider);
  WindowRig rig;
  rig.Song().SetChannelOn(1, false);
  rig.window->PrepareEditor();
  if (key == "Scheme0") rig.Trigger("Scheme1");
  rig.Trigger(key);

  QCOMPARE(SquareColor(rig, 0), on);
  QCOMPARE(SquareColor(rig, 1), off);
  // What is drawn, not only what is set: the squares sit in a tool bar.
  const QImage square = rig.window->Toggles()->Square(0)->grab().toImage();
  QCOMPARE(QColor(square.pixel(square.width() / 2, square.height() / 2)), on);
  QCOMPARE(LabelColor(rig, 0), numbers);
  // A toggle lit by a note start takes colour 2.
  rig.window->Toggles()->ChannelDraw(0, 1, true);
  QCOMPARE(SquareColor(rig, 0), key == "Scheme0" ? Hex(0xBFCFFF) : Hex(0x3CE100));
  // New toggles after a rebuild keep the scheme.
  rig.window->PrepareEditor();
  QCOMPARE(SquareColor(rig, 1), off);

  ShowPlayedRow(rig, 4);  // SPD 4: on the beat
  QCOMPARE(CounterColor(rig), beat);
  ShowPlayedRow(rig, 5);
  QCOMPARE(CounterColor(rig), offBeat);
  QCOMPARE(rig.window->BeatColor(), beat);

  QCOMPARE(rig.Props().palette().color(QPalette::Window), panel);
  QCOMPARE(rig.Props().Bpm->palette().color(QPalette::Window), panel);
  QCOMPARE(rig.window->ChannelBarContent()->VolumeSlider->isVisibleTo(rig.window.get()), channelSlider);
  QCOMPARE(rig.window->MidiProps()->SlidersVisible(), key != "Scheme0");

  // The piano: button face in the default scheme, #315580 in the others, drawn behind the keys.
  const QColor piano = key == "Scheme0" ? QApplication::palette().color(QPalette::Button) : Hex(0x315580);
  TPianoKeys* keys = rig.window->Piano()->findChild<TPianoKeys*>();
  QVERIFY(keys);
  QCOMPARE(keys->BackgroundColor(), piano);
  const QImage drawn = keys->grab().toImage();
  QCOMPARE(QColor(drawn.pixel(2, keys->KeyHeight() + 2)), piano);
}

void ColorSchemesTest::blue_panelsAndFonts() {
  WindowRig rig;
  rig.Trigger("Scheme1");
  const auto window = [](QWidget* w) { return w->palette().color(QPalette::Window); };
  const auto text = [](QWidget* w) { return w->palette().color(QPalette::WindowText); };
  TMIDIPropsFrame* props = rig.window->MidiProps();
  QCOMPARE(window(props), Hex(0x4174AB));
  for (QGroupBox* group : props->findChildren<QGroupBox*>()) QCOMPARE(window(group), Hex(0xA4BFDD));
  QCOMPARE(props->font().family(), Family("Tahoma"));
  QCOMPARE(props->font().pointSize(), 9);
  QVERIFY(props->font().bold());
  TAddFrame* templates = rig.window->AddFrame();
  QCOMPARE(window(templates), Hex(0xA4BFDD));
  QCOMPARE(templates->udLen->SpinBox()->palette().color(QPalette::Base), Hex(0x4174AB));
  QCOMPARE(window(templates->udLen), Hex(0xA4BFDD));
  QCOMPARE(window(rig.window->FillForm()), Hex(0x4174AB));
  QCOMPARE(rig.Props().Bpm->SpinBox()->palette().color(QPalette::Base), Hex(0x4174AB));
  QCOMPARE(rig.Props().KeyTone->palette().color(QPalette::Base), Hex(0x4174AB));
  QCOMPARE(text(&rig.Props()), OnLightBlue());
  // What is drawn: the caption of a field inside the tool bar, in the readable dark blue.
  const QImage bpm = rig.Props().Bpm->findChild<QLabel*>()->grab().toImage();
  bool dark = false;
  for (int y = 0; y < bpm.height(); ++y)
    for (int x = 0; x < bpm.width(); ++x) dark |= QColor(bpm.pixel(x, y)) == OnLightBlue();
  QVERIFY(dark);
  QCOMPARE(rig.Props().font().family(), Family("Tahoma"));
  QLabel* selection = nullptr;
  for (QLabel* label : rig.window->Commands().EditBar->findChildren<QLabel*>())
    if (label->text() == QLatin1String("Selection: ")) selection = label;
  QVERIFY(selection);
  QCOMPARE(selection->palette().color(selection->foregroundRole()), OnLightBlue());
  QVERIFY(selection->font().bold());
  QCOMPARE(rig.window->Commands().CommonBar->iconSize(), QSize(16, 16));
  QCOMPARE(rig.window->Commands().CommonBar->height(), 25);

  rig.Trigger("Scheme2");
  QCOMPARE(rig.window->Commands().CommonBar->iconSize(), QSize(32, 32));
  // "Impact" where installed; elsewhere the application's font, never the system's guess (which
  // can be a symbol font).
  QCOMPARE(rig.window->TitleBar()->Caption->font().family(), Family("Impact"));
  QCOMPARE(rig.window->TitleBar()->Caption->font().pointSize(), 12);

  // Back to the default: the panels take the system colours again, the captions their own look.
  rig.Trigger("Scheme0");
  QCOMPARE(window(props), QApplication::palette().color(QPalette::Button));
  QCOMPARE(window(templates), QApplication::palette().color(QPalette::Button));
  QCOMPARE(selection->palette().color(selection->foregroundRole()),
           QApplication::palette().color(selection->foregroundRole()));
  QVERIFY(!selection->font().bold());
  QCOMPARE(rig.Props().font().family(), Family("MS Sans Serif"));
  QVERIFY(!props->SlidersVisible());
}

void ColorSchemesTest::blue_chosenTwice_secondChoiceChangesNothing() {
  WindowRig rig;
  FontAnswer answer{QFont("Courier New", 13), Hex(0xFF0000)};
  rig.window->SetFontChooser(answer.Chooser());
  rig.Trigger("Scheme1");
  rig.Trigger("Font");
  const C colors = rig.G1().Colors();
  rig.Trigger("Scheme1");
  QCOMPARE(rig.G1().Colors(), colors);
  QCOMPARE(rig.G1().font().pointSize(), 13);
  QCOMPARE(CheckedSchemes(rig), QStringList{"Scheme1"});
  // The check mark of the scheme in use stays however often it is chosen.
  rig.Trigger("Scheme0");
  rig.Trigger("Scheme0");
  QCOMPARE(CheckedSchemes(rig), QStringList{"Scheme0"});
}

void ColorSchemesTest::font_redChosen_notesRed_defaultRestoresSchemeFont() {
  WindowRig rig;
  rig.Trigger("Scheme1");
  FontAnswer answer{QFont("Courier New", 14), Hex(0xFF0000)};
  rig.window->SetFontChooser(answer.Chooser());
  rig.Trigger("Font");
  // The dialog starts with the grid's font in the colour of the notes.
  QCOMPARE(answer.shownFont.family(), Family("Arial"));
  QCOMPARE(answer.shownFont.pointSize(), 8);
  QVERIFY(answer.shownFont.bold());
  QCOMPARE(answer.shownColor, Hex(0xFFFFFF));
  QCOMPARE(rig.G1().Colors()[C::CellFontColor], Hex(0xFF0000));
  QCOMPARE(rig.G1().Colors()[C::CellFontColor2], Hex(0xFF0000));
  QCOMPARE(rig.G1().font().family(), QStringLiteral("Courier New"));
  QCOMPARE(rig.window->GridFontSize(), 14);
  QCOMPARE(rig.window->Frame()->Grid2()->font(), rig.G1().font());

  rig.Trigger("Scheme0");
  QCOMPARE(rig.G1().font().family(), Family("Arial"));
  QCOMPARE(rig.G1().font().pointSize(), 8);
  QVERIFY(!rig.G1().font().bold());
  QCOMPARE(rig.G1().Colors()[C::CellFontColor], Hex(0x304080));
  QCOMPARE(rig.G1().Colors()[C::CellFontColor2], Hex(0x000080));
  QCOMPARE(rig.G1().Colors()[C::FocusedFontColor], Hex(0xFAD28F));
  QCOMPARE(rig.G1().Colors()[C::FixedSelectionColor], Hex(0xE9E9E9));
  QCOMPARE(rig.G1().Colors()[C::LoopedFixedFontColor], Hex(0x000080));
  QCOMPARE(rig.G1().Colors()[C::CellColor3], Hex(0xF5F5F5));
  QCOMPARE(rig.G1().GridLineColor(), Hex(0xC0C0C0));
}

void ColorSchemesTest::font_cancelled_changesNothing() {
  WindowRig rig;
  FontAnswer answer{QFont("Arial", 30), Hex(0x00FF00), false};
  rig.window->SetFontChooser(answer.Chooser());
  const QFont font = rig.G1().font();
  const C colors = rig.G1().Colors();
  rig.Trigger("Font");
  QCOMPARE(answer.calls, 1);
  QCOMPARE(rig.G1().font(), font);
  QCOMPARE(rig.G1().Colors(), colors);

  // Without a chooser the program's own dialog is asked for, through the window's dialogs.
  rig.window->SetFontChooser(nullptr);
  rig.dialogs.confirm = false;
  const int asked = rig.dialogs.confirmations;
  rig.Trigger("Font");
  QCOMPARE(rig.dialogs.confirmations, asked + 1);
  QCOMPARE(rig.G1().font(), font);
  QCOMPARE(rig.G1().Colors(), colors);
}

// "Font..." without a test's chooser: the program's own form, whose font list shows the families.
void ColorSchemesTest::font_dialog_listsTheFonts() {
  WindowRig rig;
  bool shown = false;
  int families = 0;
  rig.dialogs.confirm = false;
  rig.dialogs.onConfirm = [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* chooser = top->findChild<QFontDialog*>();
      if (!chooser || top->windowTitle() != QLatin1String("Font")) continue;
      shown = chooser->isVisibleTo(top);
      for (QListView* list : chooser->findChildren<QListView*>())
        if (list->model()) families = std::max(families, list->model()->rowCount());
    }
  };
  rig.Trigger("Font");
  QVERIFY(shown);
  QVERIFY(families > 0);
}

void ColorSchemesTest::settings_storedFontWinsOverStoredScheme() {
  QTemporaryDir folder;
  {
    WindowRig rig({}, folder.path());
    rig.Trigger("Scheme2");
    FontAnswer answer{QFont("Courier New", 12), Hex(0xFF0000)};
    rig.window->SetFontChooser(answer.Chooser());
    rig.Trigger("Font");
    QVERIFY(rig.window->close());
  }
  Settings stored;
  QCOMPARE(stored.Read(Settings::DefaultScheme), std::optional<int>(2));
  QCOMPARE(stored.Read(Settings::FontSize), std::optional<int>(12));
  QCOMPARE(stored.Read(Settings::FontName), std::optional<QString>("Courier New"));

  WindowRig rig({}, folder.path());
  QCOMPARE(rig.window->Scheme(), 2);
  QCOMPARE(CheckedSchemes(rig), QStringList{"Scheme2"});
  QCOMPARE(rig.G1().Colors()[C::CellColor], Hex(0x4174AB));
  QCOMPARE(SquareColor(rig, 0), Hex(0x4174AB));
  // The scheme's "Arial" 8 came first; the stored font replaced it.
  QCOMPARE(rig.G1().font().family(), QStringLiteral("Courier New"));
  QCOMPARE(rig.window->GridFontSize(), 12);
  QCOMPARE(rig.window->Frame()->Grid2()->font(), rig.G1().font());
  QCOMPARE(rig.G1().ColWidth(1) >= QFontMetrics(rig.G1().font()).horizontalAdvance("C#0") + 10, true);
}

void ColorSchemesTest::settings_plainFontUnderBoldScheme_staysPlainAfterRestart() {
  QTemporaryDir folder;
  {
    WindowRig rig({}, folder.path());
    rig.Trigger("Scheme1");
    QVERIFY(rig.G1().font().bold());
    FontAnswer answer{QFont("Courier New", 11), Hex(0x000000)};
    rig.window->SetFontChooser(answer.Chooser());
    rig.Trigger("Font");
    QVERIFY(!rig.G1().font().bold());
    QVERIFY(rig.window->close());
  }
  QCOMPARE(Settings().Read(Settings::FontBold), std::optional<bool>(false));
  WindowRig rig({}, folder.path());
  QCOMPARE(rig.window->Scheme(), 1);
  QVERIFY(!rig.G1().font().bold());
  QVERIFY(!rig.window->Frame()->Grid2()->font().bold());
}

void ColorSchemesTest::settings_unknownScheme_staysDefaultAndIsWrittenAsDefault() {
  QTemporaryDir folder;
  Settings::UseFolder(folder.path());
  {
    Settings s;
    s.Write(Settings::DefaultScheme, 5);
    s.Write(Settings::FontSize, 9);  // no name, no weight: only the size changes
  }
  {
    WindowRig rig({}, folder.path());
    QCOMPARE(rig.window->Scheme(), 0);
    QCOMPARE(CheckedSchemes(rig), QStringList{"Scheme0"});
    QCOMPARE(rig.window->GridFontSize(), 9);
    QVERIFY(rig.window->close());
  }
  QCOMPARE(Settings().Read(Settings::DefaultScheme), std::optional<int>(0));
}

void ColorSchemesTest::zoom_limits() {
  WindowRig rig;
  rig.window->UpdateFontSize(2);
  QCOMPARE(rig.window->GridFontSize(), 2);
  rig.Trigger("ZoomOut");
  QCOMPARE(rig.window->GridFontSize(), 2);
  rig.window->UpdateFontSize(40);
  const int narrow = rig.G1().ColWidth(1);
  rig.Trigger("ZoomIn");
  QCOMPARE(rig.window->GridFontSize(), 41);
  QCOMPARE(rig.window->Frame()->Grid2()->font(), rig.G1().font());
  QVERIFY(rig.G1().ColWidth(1) >= narrow);
  rig.Trigger("ZoomOut");
  rig.Trigger("ZoomOut");
  QCOMPARE(rig.window->GridFontSize(), 39);
  // Zoom keeps the scheme's colours.
  rig.Trigger("Scheme1");
  rig.Trigger("ZoomIn");
  QCOMPARE(rig.G1().Colors()[C::CellColor], Hex(0x4174AB));
  QVERIFY(rig.G1().font().bold());
}

void ColorSchemesTest::gradient_bands_workedExamples() {
  // 256 rows: one row per band; black to white steps by one.
  auto bands = GradientBands(Hex(0x000000), Hex(0xFFFFFF), 256);
  QCOMPARE(int(bands.size()), 256);
  for (int k = 0; k < 256; ++k) {
    QCOMPARE(bands[size_t(k)].top, k);
    QCOMPARE(bands[size_t(k)].bottom, k + 1);
    QCOMPARE(bands[size_t(k)].color, QColor(k, k, k));
  }
  // 10 rows, falling components: bands touch, the first is the top colour, the last the bottom.
  bands = GradientBands(Hex(0x4174AB), Hex(0x315580), 10);
  QCOMPARE(bands.front().color, Hex(0x4174AB));
  QCOMPARE(bands.back().color, Hex(0x315580));
  QCOMPARE(bands.front().top, 0);
  QCOMPARE(bands.back().bottom, 10);
  for (size_t k = 1; k < bands.size(); ++k) QCOMPARE(bands[k].top, bands[k - 1].bottom);
  // Band 128 of 0x41 -> 0x31: 65 + round(128 * -16 / 255) = 65 - 8; rows round(5.0) to round(5.04).
  QCOMPARE(bands[128].color.red(), 57);
  QCOMPARE(bands[128].top, 5);
  QCOMPARE(bands[128].bottom, 5);
  // Band 1 of 0 -> 100: round(0.39) = 0; band 3: round(1.18) = 1.
  bands = GradientBands(QColor(0, 0, 0), QColor(100, 0, 0), 0);
  QCOMPARE(bands[1].color.red(), 0);
  QCOMPARE(bands[3].color.red(), 1);
  QCOMPARE(bands.back().bottom, 0);
}

void ColorSchemesTest::gradientRect_paintsBandsTopToBottom() {
  QImage image(7, 512, QImage::Format_RGB32);
  image.fill(Qt::green);
  {
    QPainter painter(&image);
    GradientRect(Hex(0x203040), Hex(0x315580), painter, QRect(2, 0, 3, 512));
  }
  QCOMPARE(QColor(image.pixel(2, 0)), Hex(0x203040));
  QCOMPARE(QColor(image.pixel(4, 511)), Hex(0x315580));
  QCOMPARE(QColor(image.pixel(3, 256)), QColor(0x20 + 9, 0x30 + 19, 0x40 + 32));  // band 128
  QCOMPARE(QColor(image.pixel(1, 100)), QColor(Qt::green));  // outside the rectangle
  QCOMPARE(QColor(image.pixel(5, 100)), QColor(Qt::green));
}

void ColorSchemesTest::customMenu_titleBarHoldsMenu_andGoesBack() {
  WindowRig rig;
  QWidget* standard = rig.window->menuWidget();
  QVERIFY(qobject_cast<QMenuBar*>(standard));
  rig.window->OptionsForm()->MainMenu->setCurrentIndex(1);
  rig.window->UpdateFormMenu();
  TCustomTitleBar* bar = rig.window->TitleBar();
  QCOMPARE(rig.window->menuWidget(), static_cast<QWidget*>(bar));
  QCOMPARE(bar->MenuBar(), standard);
  QVERIFY(bar->isAncestorOf(standard));
  QTRY_VERIFY(rig.window->windowFlags() & Qt::FramelessWindowHint);
  QTRY_VERIFY(rig.window->isVisible());
  // Every top-level menu still drops down from the held menu bar.
  QCOMPARE(static_cast<QMenuBar*>(standard)->actions().size(), 8);

  // The title follows the window's.
  QCOMPARE(bar->Caption->text(), QStringLiteral("Varnel"));
  rig.Song().FileName = "/music/a.vnl";
  rig.window->UpdateTitle();
  QCOMPARE(bar->Caption->text(), QStringLiteral("Varnel: a.vnl"));
  QCOMPARE(bar->TitleLabel->text(), QStringLiteral("Varnel: a.vnl"));

  // The scheme colours the menu toolbar and the title panel.
  rig.Trigger("Scheme1");
  QCOMPARE(bar->MenuTop(), Hex(0x315580));
  QCOMPARE(bar->MenuBottom(), Hex(0x5F8EC2));
  QCOMPARE(bar->TitleTop(), Hex(0x203040));
  // The table's #E0E0E0 reads 3.8:1 in the middle of the gradient: it is lightened until it reads.
  const QColor caption = bar->Caption->palette().color(QPalette::WindowText);
  QVERIFY(caption.lightness() > Hex(0xE0E0E0).lightness());
  QCOMPARE(caption, ColorScheme::Of(1, QApplication::palette()).menuText);
  QCOMPARE(standard->font().family(), Family("Tahoma"));

  rig.window->OptionsForm()->MainMenu->setCurrentIndex(0);
  rig.window->UpdateFormMenu();
  QCOMPARE(rig.window->menuWidget(), standard);
  QVERIFY(standard->font().family() != QLatin1String("Tahoma"));
  QVERIFY(standard->styleSheet().isEmpty());
  QVERIFY(bar->isHidden());
  QTRY_VERIFY(!(rig.window->windowFlags() & Qt::FramelessWindowHint));
  QTRY_VERIFY(rig.window->isVisible());
  QCOMPARE(static_cast<QMenuBar*>(standard)->actions().size(), 8);
}

void ColorSchemesTest::customMenu_dragAndDoubleClick() {
  WindowRig rig;
  rig.window->OptionsForm()->MainMenu->setCurrentIndex(1);
  rig.window->UpdateFormMenu();
  QTRY_VERIFY(rig.window->windowFlags() & Qt::FramelessWindowHint);
  QTRY_VERIFY(rig.window->isVisible());
  TCustomTitleBar* bar = rig.window->TitleBar();
  QWidget* panel = bar->TitlePanel;
  const QPoint grip(panel->width() / 2, panel->height() / 2);

  // Normal state: the window follows the mouse.
  rig.window->showNormal();
  rig.window->move(50, 40);
  QTRY_COMPARE(rig.window->pos(), QPoint(50, 40));
  MouseOn(panel, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
  MouseOn(panel, QEvent::MouseMove, grip + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
  MouseOn(panel, QEvent::MouseButtonRelease, grip + QPoint(30, 20), Qt::LeftButton, Qt::NoButton);
  QTRY_COMPARE(rig.window->pos(), QPoint(80, 60));

  // A double-click maximises; dragging a maximised window does nothing; another double-click restores.
  MouseOn(panel, QEvent::MouseButtonDblClick, grip, Qt::LeftButton, Qt::LeftButton);
  QTRY_VERIFY(rig.window->isMaximized());
  const QPoint maximized = rig.window->pos();
  MouseOn(bar->Caption, QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton, Qt::RightButton);
  MouseOn(bar->Caption, QEvent::MouseMove, QPoint(60, 45), Qt::NoButton, Qt::RightButton);
  MouseOn(bar->Caption, QEvent::MouseButtonRelease, QPoint(60, 45), Qt::RightButton, Qt::NoButton);
  QCOMPARE(rig.window->pos(), maximized);
  QVERIFY(rig.window->isMaximized());
  MouseOn(bar->TitleLabel, QEvent::MouseButtonDblClick, QPoint(2, 2), Qt::LeftButton, Qt::LeftButton);
  QTRY_VERIFY(!rig.window->isMaximized());
}

void ColorSchemesTest::customMenu_captionButtons() {
  WindowRig rig;
  rig.window->OptionsForm()->MainMenu->setCurrentIndex(1);
  rig.window->UpdateFormMenu();
  QTRY_VERIFY(rig.window->windowFlags() & Qt::FramelessWindowHint);
  QTRY_VERIFY(rig.window->isVisible());
  TCustomTitleBar* bar = rig.window->TitleBar();
  bar->MaximizeButton->click();
  QTRY_VERIFY(rig.window->isMaximized());
  bar->MaximizeButton->click();
  QTRY_VERIFY(!rig.window->isMaximized());
  bar->MinimizeButton->click();
  QTRY_VERIFY(rig.window->isMinimized());
  rig.window->showNormal();
  QTRY_VERIFY(!rig.window->isMinimized());
  // A right click on a caption button offers the recent files.
  QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(3, 3), bar->CloseButton->mapToGlobal(QPoint(3, 3)));
  QCoreApplication::sendEvent(bar->CloseButton, &menu);
  QMenu* recent = nullptr;  // the Open button's drop-down
  for (QToolButton* button : rig.window->Commands().CommonBar->findChildren<QToolButton*>())
    if (button->defaultAction() == rig.window->Action("Open")) recent = button->menu();
  QVERIFY(recent);
  QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(recent));
  recent->close();
  // The grids keep their own pop-up menu, and a press at the window's edge that the platform
  // cannot turn into a resize reaches the widget there.
  QWidget* cells = rig.G1().viewport();
  QContextMenuEvent gridMenu(QContextMenuEvent::Mouse, QPoint(40, 40), cells->mapToGlobal(QPoint(40, 40)));
  QCoreApplication::sendEvent(cells, &gridMenu);
  QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
  QVERIFY(QApplication::activePopupWidget() != recent);
  QApplication::activePopupWidget()->close();
  QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
  QVERIFY(!rig.window->isMaximized());
  const QPoint edge = bar->TitlePanel->mapFrom(rig.window.get(), QPoint(1, bar->TitlePanel->mapTo(rig.window.get(), QPoint(0, 2)).y()));
  const QPoint before = rig.window->pos();
  MouseOn(bar->TitlePanel, QEvent::MouseButtonPress, edge, Qt::LeftButton, Qt::LeftButton);
  MouseOn(bar->TitlePanel, QEvent::MouseMove, edge + QPoint(10, 10), Qt::NoButton, Qt::LeftButton);
  MouseOn(bar->TitlePanel, QEvent::MouseButtonRelease, edge + QPoint(10, 10), Qt::LeftButton, Qt::NoButton);
  QTRY_COMPARE(rig.window->pos(), before + QPoint(10, 10));
  // Close is "E&xit": the song is unmodified, so the window goes.
  rig.SetModified(false);
  bar->CloseButton->click();
  QTRY_VERIFY(!rig.window->isVisible());
}

void ColorSchemesTest::contrast_everyTextReadable_inEveryScheme_data() { WindowRig::SchemeRows(); }

// Every text against what it is drawn on, at least 4.5:1: the widgets of the window as they are
// coloured, the texts of the three grids in every colour rule, the title bar on its gradients.
void ColorSchemesTest::contrast_everyTextReadable_inEveryScheme() {
  QFETCH(QString, scheme);
  WindowRig rig;
  rig.window->OptionsForm()->MainMenu->setCurrentIndex(1);
  rig.window->UpdateFormMenu();
  rig.UseScheme(scheme);
  rig.Song().SetChannelSoloExempt(2, true);
  rig.window->PrepareEditor();
  QStringList unreadable;
  const auto check = [&](const QString& what, const QColor& text, const QColor& surface) {
    const double ratio = ContrastRatio(text, surface);
    if (ratio < MinimumTextContrast)
      unreadable << QStringLiteral("%1: %2 on %3 (%4:1)").arg(what, text.name(), surface.name()).arg(ratio, 0, 'f', 2);
  };

  TCustomTitleBar* bar = rig.window->TitleBar();
  QVERIFY(bar->isVisible());
  int widgets = 0;
  for (const ShownText& t : ShownTexts(rig.window.get(), bar)) {
    check(t.what, t.text, t.surface);
    ++widgets;
  }
  QVERIFY(widgets > 40);
  // The play counter on and off the beat, and an exempt channel's number.
  ShowPlayedRow(rig, 4);
  check("counter on beat", CounterColor(rig), SurfaceOf(rig.Props().PlayCounter));
  ShowPlayedRow(rig, 5);
  check("counter off beat", CounterColor(rig), SurfaceOf(rig.Props().PlayCounter));
  check("exempt number", LabelColor(rig, 2), SurfaceOf(rig.window->Toggles()->Label(2)));

  // The title bar: the menu captions on the gradient where the letters stand, the title below.
  const ColorScheme look = ColorScheme::Of(rig.window->Scheme(), QApplication::palette());
  for (const QColor& surface : look.MenuTextSurfaces()) {
    check("menu caption", bar->Caption->palette().color(QPalette::WindowText), surface);
    check("menu bar", bar->MenuBar()->palette().color(QPalette::ButtonText), surface);
  }
  for (const QColor& surface : {bar->TitleTop(), bar->TitleBottom()})
    check("title", bar->TitleLabel->palette().color(QPalette::WindowText), surface);
  for (const SchemeText& t : look.Texts()) check(QString::fromLatin1(t.what), t.text, t.surface);

  // The grids: every colour rule's text on its fill.
  using C = TMyGrid2Colors;
  const std::pair<int, int> rules[] = {
      {C::FocusedFontColor, C::FocusedColor}, {C::SelectionFontColor, C::SelectionColor},
      {C::FixedFontColor, C::FixedColor}, {C::FixedSelectionFontColor, C::FixedSelectionColor},
      {C::FixedActiveFontColor, C::FixedActiveColor}, {C::LoopedFixedFontColor, C::LoopedFixedColor},
      {C::CellFontColor, C::CellColor}, {C::CellFontColor, C::CellColor3},
      {C::CellFontColor2, C::CellColor2}, {C::CellFontColor2, C::CellColor4}};
  const std::pair<const char*, TMyGrid2*> grids[] = {
      {"pattern grid", &rig.G1()}, {"order grid", rig.window->Frame()->Grid2()}, {"template grid", rig.window->AddFrame()->Grid}};
  for (const auto& [name, grid] : grids)
    for (const auto& [font, fill] : rules)
      check(QStringLiteral("%1 slot %2 on %3").arg(QLatin1String(name)).arg(font).arg(fill), grid->TextColor(font, fill),
            grid->Colors()[fill]);
  QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QLatin1Char('\n'))));
}

QTEST_MAIN(ColorSchemesTest)
#include "color_schemes_test.moc"

