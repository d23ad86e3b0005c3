// The look of the main window: the colour schemes, the custom main menu with its own title bar,
// zoom and the grid font.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/channel_bar.h"
#include "app/channel_toggles.h"
#include "app/color_schemes.h"
#include "app/custom_title_bar.h"
#include "app/fill_dialog.h"
#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "app/midi_props_frame.h"
#include "app/options_dialog.h"
#include "app/properties_bar.h"
#include "app/template_frame.h"
#include "app/user_dialogs.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "editor/readable_colors.h"
#include "song/song.h"
#include "windows/piano_form.h"

namespace varnel {

namespace {

// Background, and text when given. Widgets inside a tool bar fill with the button colour and
// write with the button text colour.
void Fill(QWidget* widget, const QColor& background, const std::optional<QColor>& text = std::nullopt) {
  if (!widget) return;
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, background);
  palette.setColor(widget->backgroundRole(), background);
  if (text) {
    palette.setColor(QPalette::WindowText, *text);
    if (widget->backgroundRole() == QPalette::Button) palette.setColor(QPalette::ButtonText, *text);
  }
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

// The editable face of a number or a list.
void Edit(QWidget* widget, const QColor& face, const QColor& text) {
  if (!widget) return;
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Base, face);
  palette.setColor(QPalette::Button, face);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::ButtonText, text);
  widget->setPalette(palette);
}

void Field(NumberField* field, const QColor& panel, const QColor& label, const QColor& edit, const QColor& text) {
  Fill(field, panel, label);
  Edit(field->SpinBox(), edit, text);
}

// The colours of Windows' own font dialog, for the text colour of the grid font.
const std::pair<const char*, unsigned> FontColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x800000}, {"Green", 0x008000}, {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080}, {"Teal", 0x008080},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},    {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF}, {"White", 0xFFFFFF}};

// "Font...": Qt's font chooser with a colour list below it.
bool RunFontForm(QWidget* parent, UserDialogs& dialogs, QFont& font, QColor& color) {
  QDialog form(parent);
  form.setWindowTitle(QStringLiteral("Font"));
  auto* layout = new QVBoxLayout(&form);
  auto* chooser = new QFontDialog(font, &form);
  chooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  chooser->setWindowFlags(Qt::Widget);  // which hides it: shown again, or the form has no font list
  chooser->setVisible(true);
  layout->addWidget(chooser);
  auto* colors = new QComboBox(&form);
  for (const auto& [name, rgb] : FontColors) colors->addItem(QString::fromLatin1(name), QColor::fromRgb(QRgb(rgb)));
  int index = colors->findData(color);
  if (index < 0) {
    colors->addItem(color.name(), color);  // the grid's colour, though the list does not have it
    index = colors->count() - 1;
  }
  colors->setCurrentIndex(index);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("Color:"), &form));
  row->addWidget(colors, 1);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &form);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &form, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &form, &QDialog::reject);
  layout->addWidget(buttons);
  if (!dialogs.Confirm([&form] { return form.exec() == QDialog::Accepted; })) return false;
  font = chooser->currentFont();
  color = colors->currentData().value<QColor>();
  return true;
}

}  // namespace

void TMainForm::ConnectView() {
  auto* schemes = new QActionGroup(this);
  for (int n = 0; n <= 2; ++n) {
    QAction* item = Action(QStringLiteral("Scheme%1").arg(n));
    schemes->addAction(item);
    connect(item, &QAction::triggered, this, [this, n] { SchemeClick(n); });
  }
  On("Font", &TMainForm::FontClick);
  for (TMyGrid2* grid : {frame_->Grid1(), frame_->Grid2(), addFrame_->Grid}) grid->SetMinimumContrast(MinimumTextContrast);
  // Return or Escape in a number of the bars or panels: the next key is the editor's again.
  for (NumberField* field : findChildren<NumberField*>())
    if (field->window() == this) connect(field, &NumberField::finished, this, &TMainForm::FocusEditor);
  designIconSize_ = commands_->CommonBar->iconSize();

  titleBar_ = new TCustomTitleBar(this);
  titleBar_->hide();
  titleBar_->SetTitle(windowTitle());
  titleBar_->SetRecentMenu(recentPopup_);
  connect(this, &QWidget::windowTitleChanged, titleBar_, &TCustomTitleBar::SetTitle);
  // The design is the default scheme: its colours from the start (the play counter's beat colour,
  // the texts made readable), its fonts only when chosen.
  ApplyScheme(0, false);
}

// ---- Schemes ----

void TMainForm::SchemeClick(int scheme) {
  if (scheme == scheme_) {  // already checked: nothing changes
    Action(QStringLiteral("Scheme%1").arg(scheme))->setChecked(true);
    return;
  }
  if (scheme != 0) {
    ChangeThemePlus(scheme);
    return;
  }
  Action(QStringLiteral("Scheme0"))->setChecked(true);
  SwitchSchemeDefault(true);
  UpdateFontRedraw();
  RedrawTemplate();
}

void TMainForm::ChangeThemePlus(int scheme) {
  if (scheme != 1 && scheme != 2) return;
  Action(QStringLiteral("Scheme%1").arg(scheme))->setChecked(true);
  SwitchScheme(true, scheme);
  UpdateFontRedraw();
  RedrawTemplate();
}

void TMainForm::SwitchSchemeDefault(bool changeFont) { ApplyScheme(0, changeFont); }

void TMainForm::SwitchScheme(bool changeFont, int scheme) { ApplyScheme(scheme == 2 ? 2 : 1, changeFont); }

void TMainForm::ApplyScheme(int number, bool changeFont) {
  const ColorScheme s = ColorScheme::Of(number, QApplication::palette());
  scheme_ = s.number;

  // The channel toggles and the play counter.
  toggles_->SetSchemeColors(s.toggles, s.exemptText);
  Fill(channelsBar_, s.panel, s.togglesText);
  beatColor_ = s.beat;
  offBeatColor_ = s.offBeat;
  QLabel* counter = props_->PlayCounter;
  QPalette counterLook = counter->palette();
  counterLook.setColor(QPalette::WindowText, counterOnBeat_ ? beatColor_ : offBeatColor_);
  counterLook.setColor(QPalette::Window, s.counterFace.value_or(s.panel));
  counter->setPalette(counterLook);
  counter->setAutoFillBackground(s.counterFace.has_value());

  // The bars, their numeric fields and lists.
  Fill(commands_->CommonBar, s.panel);
  Fill(props_, s.panel, s.barText);
  Fill(channelBar_, s.panel, s.barText);
  for (QToolBar* bar : {static_cast<QToolBar*>(props_), channelBar_})
    for (NumberField* field : bar->findChildren<NumberField*>())
      Field(field, s.panel, s.barText, s.fieldEdit, s.fieldText);
  for (QComboBox* list : {props_->KeyTone, props_->KeyType, channelBarWidget_->MidiChannel, channelBarWidget_->Program})
    Edit(list, s.fieldEdit, s.fieldText);
  channelBarWidget_->SetSliderVisible(s.channelBarSlider);
  const QList<QLabel*> captions = commands_->EditBar->findChildren<QLabel*>();
  Fill(commands_->EditBar, s.panel);  // the cool bar's last band
  for (QLabel* caption : captions) {
    QPalette palette;  // the default scheme leaves the captions as the bar draws them
    if (s.editCaptionText) {
      palette = caption->palette();
      palette.setColor(caption->foregroundRole(), *s.editCaptionText);
    }
    caption->setPalette(palette);
  }

  // The icons of the common toolbar.
  QToolBar* common = commands_->CommonBar;
  common->setIconSize(s.icons == ColorScheme::Large32Icons ? QSize(32, 32)
                      : s.icons == ColorScheme::Small16Icons ? QSize(16, 16)
                                                             : designIconSize_);
  if (s.commonBarHeight > 0) common->setFixedHeight(s.commonBarHeight);
  else {
    common->setMinimumHeight(0);
    common->setMaximumHeight(QWIDGETSIZE_MAX);
  }

  // The channel properties panel, the template frame and the fill dialog.
  Fill(midiProps_, s.propsPanel, s.panelText);
  for (QGroupBox* group : midiProps_->findChildren<QGroupBox*>()) Fill(group, s.propsGroups, s.groupText);
  Fill(midiProps_->Title, s.propsGroups, s.groupText);
  QPalette close = midiProps_->CloseButton->palette();
  close.setColor(QPalette::ButtonText, s.panelText);
  midiProps_->CloseButton->setPalette(close);
  midiProps_->SetSlidersVisible(s.propsSliders);
  Edit(midiProps_->MidiChannelList, s.fieldEdit, s.fieldText);
  Fill(addFrame_, s.templateFrame, s.templateText);
  Fill(addFrame_->Panel2, s.templateFrame, s.templateText);
  Field(addFrame_->udLen, s.templateLenField, s.templateLenText, s.templateLenEdit, s.fieldText);
  Edit(addFrame_->ComboBox1, s.fieldEdit, s.fieldText);
  if (s.fillDialog) Fill(fillForm_, *s.fillDialog, s.fillText);
  else fillForm_->setPalette(QPalette());

  piano_->SetSchemeColors(s.piano, s.pianoText);

  // The custom main menu.
  titleBar_->SetMenuGradient(s.menuTop, s.menuBottom);
  titleBar_->SetTitleGradient(s.titleTop, s.titleBottom);
  titleBar_->SetTitleTextColor(s.titleText);
  titleBar_->SetMenuLook(s.menuText, s.menuBar,
                         changeFont ? std::optional<QFont>(s.menuFont.Applied(titleBar_->font())) : std::nullopt);

  if (changeFont) {
    for (QWidget* panel : std::initializer_list<QWidget*>{props_, channelBar_, midiProps_, addFrame_})
      panel->setFont(s.panelFont.Applied(panel->font()));
    for (QLabel* caption : captions)
      caption->setFont(s.editCaptionFont ? s.editCaptionFont->Applied(caption->font()) : QFont());
    if (s.fillDialog) fillForm_->setFont(channelBar_->font());
    else fillForm_->setFont(QFont());
  }

  // The grids: the pattern grid's slots, then the sequence and template grids from it.
  TMyGrid2* g1 = frame_->Grid1();
  TMyGrid2* g2 = frame_->Grid2();
  TMyGrid2Colors colors = g1->Colors();
  s.ApplySlots(colors);
  g1->SetColors(colors);
  if (changeFont) g1->setFont(s.gridFont.Applied(g1->font()));
  g2->setFont(g1->font());
  g2->SetColors(colors);
  for (TMyGrid2* grid : {g1, g2}) {
    grid->SetBackgroundColor(s.gridBackground);
    grid->SetGridLineColor(s.gridLines);
  }
  TMyGrid2* tg = addFrame_->Grid;
  TMyGrid2Colors templateColors = tg->Colors();
  for (int slot = 0; slot <= TMyGrid2Colors::FixedActiveFontColor; ++slot) templateColors[slot] = colors[slot];
  tg->SetColors(templateColors);
  tg->SetBackgroundColor(s.templateGridBackground);
  tg->SetGridLineColor(s.templateGridLines);
  QFont templateFont = g1->font();
  templateFont.setPointSize(8);
  tg->setFont(templateFont);
}

// ---- The custom main menu ----

void TMainForm::UpdateFormMenu() {
  const bool custom = options_->MainMenu->currentIndex() == 1;
  if (custom && !standardMenu_) {
    standardMenu_ = menuWidget();
    // Straight to the layout: QMainWindow::setMenuWidget would delete the menu bar it replaces.
    titleBar_->HoldMenuBar(standardMenu_);
    layout()->setMenuBar(titleBar_);
    titleBar_->show();
    HideTitlebar();
  } else if (!custom && standardMenu_) {
    QWidget* bar = titleBar_->ReleaseMenuBar();
    titleBar_->hide();
    if (bar) {
      bar->setParent(this);
      layout()->setMenuBar(bar);
      bar->show();
    }
    standardMenu_ = nullptr;
    ShowTitlebar();
  }
}

// A frame change re-creates the platform window: it waits until the current event (a first show,
// a dialog's OK) is over.
void TMainForm::HideTitlebar() {
  QTimer::singleShot(0, this, [this] {
    const bool frameless = standardMenu_ != nullptr;
    if (bool(windowFlags() & Qt::FramelessWindowHint) == frameless) return;
    const bool shown = isVisible();
    const Qt::WindowStates state = windowState();
    setWindowFlag(Qt::FramelessWindowHint, frameless);
    if (shown) {
      setWindowState(state);
      show();
    }
  });
}

void TMainForm::ShowTitlebar() { HideTitlebar(); }

// ---- Zoom and font ----

int TMainForm::GridFontSize() const {
  const QFont font = frame_->Grid1()->font();
  if (font.pointSize() > 0) return font.pointSize();
  return std::max(1, int(std::lround(font.pixelSize() * 72.0 / frame_->Grid1()->logicalDpiY())));
}

void TMainForm::ZoomFont(int delta) {
  const int size = GridFontSize();
  if (delta < 0 && size <= 2) return;
  UpdateFontSize(delta < 0 ? std::max(size + delta, 2) : size + delta);
}

void TMainForm::UpdateFontSize(int size) {
  for (TMyGrid2* grid : {frame_->Grid1(), frame_->Grid2()}) {
    QFont font = grid->font();
    font.setPointSize(size);
    grid->setFont(font);
  }
  UpdateFontRedraw();
}

void TMainForm::UpdateFontRedraw() {
  frame_->Grid2()->setFont(frame_->Grid1()->font());
  MeasureCells();
  frame_->RedrawPattern(0, 0, true);
  frame_->RedrawOrders(0, 0);
  for (int c = 0; c < std::min(song_->ChannelsCount(), toggles_->Count()); ++c)
    toggles_->ChannelDraw(c, 0, song_->ChannelOn(c));
}

void TMainForm::FontClick() {
  TMyGrid2* g1 = frame_->Grid1();
  QFont font = g1->font();
  QColor color = g1->Colors()[TMyGrid2Colors::CellFontColor];
  const bool chosen = fontChooser_ ? fontChooser_(font, color) : RunFontForm(this, *dialogs_, font, color);
  if (!chosen) return;
  if (font.pointSize() < 2 && font.pixelSize() < 2) font.setPointSize(2);  // nothing too small to read back
  g1->SetColor(TMyGrid2Colors::CellFontColor, color);
  g1->SetColor(TMyGrid2Colors::CellFontColor2, color);
  g1->setFont(font);
  frame_->Grid2()->setFont(font);
  UpdateFontRedraw();
}

// The stored font comes after the stored scheme, so it wins over the scheme's font.
void TMainForm::RestoreFont(const std::optional<QString>& name, const std::optional<int>& size,
                            const std::optional<bool>& bold) {
  if (!name && !size && !bold) return;
  QFont font = frame_->Grid1()->font();
  if (name && !name->trimmed().isEmpty()) font.setFamily(*name);
  if (size && *size >= 2 && *size <= 200) font.setPointSize(*size);
  // A stored 0 means the user's font was not bold: keeping a scheme's bold would undo their choice.
  if (bold) font.setBold(*bold);
  frame_->Grid1()->setFont(font);
  frame_->Grid2()->setFont(font);
}

}  // namespace varnel
