#include "app/color_schemes.h"

#include "editor/readable_colors.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <cmath>

namespace varnel {

namespace {

QColor Rgb(unsigned rgb) { return QColor::fromRgb(QRgb(rgb)); }

// Nearest integer, halves away from zero.
int Nearest(double value) { return int(std::lround(value)); }

QColor GradientAt(const QColor& top, const QColor& bottom, double at) {
  const auto part = [at](int a, int b) { return Nearest(a + (b - a) * at); };
  return QColor(part(top.red(), bottom.red()), part(top.green(), bottom.green()), part(top.blue(), bottom.blue()));
}

// Where the table puts a text colour on a surface it cannot be read on (white on light blue), the
// text takes the nearest colour that reads; the surfaces stay as they are.
void SettleTexts(ColorScheme& s, const QColor& windowText) {
  const QColor tableText = s.panelText;
  s.toggles[3] = Readable(s.toggles[3], s.panel);
  s.togglesText = Readable(s.togglesText, s.panel);
  s.exemptText = Readable(QColor(255, 0, 0), s.panel);
  const QColor counter = s.counterFace.value_or(s.panel);
  s.beat = Readable(s.beat, counter);
  s.offBeat = Readable(s.offBeat, counter);
  s.barText = Readable(s.barText, s.panel);
  if (s.editCaptionText) s.editCaptionText = Readable(*s.editCaptionText, s.panel);
  s.fieldText = Readable(s.fieldText, s.fieldEdit);
  s.panelText = Readable(tableText, s.propsPanel);
  s.groupText = Readable(tableText, s.propsGroups);
  s.templateText = Readable(tableText, s.templateFrame);
  s.templateLenText = Readable(tableText, s.templateLenField);
  s.fillText = s.fillDialog ? Readable(tableText, *s.fillDialog) : windowText;
  const auto menu = s.MenuTextSurfaces();
  s.menuText = Readable(s.menuText, {menu[0], menu[1], s.menuBar});
  s.titleText = Readable(s.titleText, {s.titleTop, s.titleBottom});
  s.pianoText = Readable(s.pianoText, s.piano);
}

}  // namespace

std::array<QColor, 2> ColorScheme::MenuTextSurfaces() const {
  return {GradientAt(menuTop, menuBottom, 0.3), GradientAt(menuTop, menuBottom, 0.6)};
}

std::vector<SchemeText> ColorScheme::Texts() const {
  const auto menu = MenuTextSurfaces();
  std::vector<SchemeText> texts{
      {"toggle numbers", toggles[3], panel},
      {"channels bar", togglesText, panel},
      {"exempt toggle number", exemptText, panel},
      {"play counter on beat", beat, counterFace.value_or(panel)},
      {"play counter off beat", offBeat, counterFace.value_or(panel)},
      {"bar labels", barText, panel},
      {"field numbers", fieldText, fieldEdit},
      {"channel properties panel", panelText, propsPanel},
      {"channel properties groups", groupText, propsGroups},
      {"template frame", templateText, templateFrame},
      {"template length label", templateLenText, templateLenField},
      {"template length number", fieldText, templateLenEdit},
      {"menu toolbar", menuText, menu[0]},
      {"menu toolbar", menuText, menu[1]},
      {"menu item chosen", menuText, menuBar},
      {"title panel top", titleText, titleTop},
      {"title panel bottom", titleText, titleBottom},
      {"piano labels", pianoText, piano}};
  if (editCaptionText) texts.push_back({"edit toolbar captions", *editCaptionText, panel});
  if (fillDialog) texts.push_back({"fill dialog", fillText, *fillDialog});
  return texts;
}

QFont SchemeFont::Applied(QFont base) const {
  base.setFamily(QFontDatabase::hasFamily(family) ? family : QApplication::font().family());
  base.setPointSize(points);
  base.setBold(bold);
  return base;
}

QColor Plus8(const QColor& color) {
  return QColor(std::min(color.red() + 8, 255), std::min(color.green() + 8, 255), std::min(color.blue() + 8, 255));
}

ColorScheme ColorScheme::Of(int number, const QPalette& palette) {
  // The system colours, as the grid's own table names them.
  const QColor window = palette.color(QPalette::Active, QPalette::Base);
  const QColor windowText = palette.color(QPalette::Active, QPalette::Text);
  const QColor buttonFace = palette.color(QPalette::Active, QPalette::Button);
  const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
  const QColor highlightText = palette.color(QPalette::Active, QPalette::HighlightedText);

  using C = TMyGrid2Colors;
  ColorScheme s;
  if (number != Blue && number != NewIcons) {
    s.number = Default;
    s.toggles = {Rgb(0xB8B8B8), Rgb(0xFFFFFF), Rgb(0xBFCFFF), windowText};
    s.beat = Rgb(0x0000FF);
    s.offBeat = Rgb(0x000000);
    s.panel = buttonFace;
    s.fieldEdit = window;
    s.fieldText = windowText;
    s.bottomDock = buttonFace;
    s.piano = buttonFace;
    s.titleTop = Rgb(0x4174AB);
    s.titleBottom = Rgb(0x315580);
    s.menuTop = Rgb(0xE4E2DD);
    s.menuBottom = Rgb(0xD6D2CB);
    s.icons = StandardIcons;
    s.panelText = windowText;
    s.barText = windowText;
    s.panelFont = {QStringLiteral("MS Sans Serif"), 8, false};
    s.togglesText = windowText;
    s.menuText = windowText;
    s.menuFont = {QStringLiteral("MS Sans Serif"), 8, false};
    s.menuBar = buttonFace;
    s.propsPanel = buttonFace;
    s.propsGroups = buttonFace;
    s.gridBackground = window;
    s.gridLines = Rgb(0xC0C0C0);
    s.gridFont = {QStringLiteral("Arial"), 8, false};
    s.templateFrame = buttonFace;
    s.templateGridBackground = window;
    s.templateGridLines = Rgb(0xC0C0C0);
    s.templateLenEdit = window;
    s.templateLenField = buttonFace;
    const std::pair<int, QColor> values[] = {
        {C::FocusedColor, highlight},        {C::FocusedFontColor, Rgb(0xFAD28F)},
        {C::SelectionColor, highlight},      {C::SelectionFontColor, highlightText},
        {C::FixedGridLineColor, window},     {C::FixedSelectionColor, Rgb(0xE9E9E9)},
        {C::FixedSelectionFontColor, Rgb(0x000000)}, {C::FixedColor, buttonFace},
        {C::FixedFontColor, windowText},     {C::CellColor, window},
        {C::CellFontColor, Rgb(0x304080)},   {C::CellColor2, Rgb(0xF5F5F1)},
        {C::CellFontColor2, Rgb(0x000080)},  {C::FixedActiveColor, highlight},
        {C::FixedActiveFontColor, highlightText}, {C::LoopedFixedColor, Rgb(0xFAD28F)},
        {C::LoopedFixedFontColor, Rgb(0x000080)}, {C::CellColor3, Rgb(0xF5F5F5)},
        {C::CellColor4, Rgb(0xF0F0E6)}};
    for (const auto& [slot, color] : values) s.gridSlots[size_t(slot)] = color;
    s.titleText = Rgb(0xA4BFDD);  // the title panel's design colour
    s.pianoText = windowText;
    SettleTexts(s, windowText);
    return s;
  }

  const bool blue = number == Blue;
  s.number = number;
  s.toggles = {Rgb(0x888888), Rgb(0x4174AB), Rgb(0x3CE100), blue ? Rgb(0xFFFFFF) : windowText};
  s.beat = Rgb(0xFAD28F);
  s.offBeat = Rgb(0xFFFFFF);
  s.panel = blue ? Rgb(0xA4BFDD) : buttonFace;
  s.fieldEdit = Rgb(0x4174AB);
  s.fieldText = Rgb(0xFFFFFF);
  s.bottomDock = Rgb(0x315580);
  s.piano = Rgb(0x315580);
  s.titleTop = Rgb(0x203040);
  s.titleBottom = Rgb(0x315580);
  s.menuTop = Rgb(0x315580);
  s.menuBottom = Rgb(0x5F8EC2);
  s.icons = blue ? Small16Icons : Large32Icons;
  s.commonBarHeight = blue ? 25 : 0;
  s.playStopPictures = blue;
  s.panelText = Rgb(0xFFFFFF);
  s.barText = blue ? Rgb(0xFFFFFF) : windowText;
  s.panelFont = {QStringLiteral("Tahoma"), 9, true};
  s.editCaptionText = s.barText;
  s.editCaptionFont = SchemeFont{QStringLiteral("Tahoma"), 9, true};
  s.togglesText = Rgb(0xFFFFFF);
  s.menuText = Rgb(0xE0E0E0);
  s.menuFont = blue ? SchemeFont{QStringLiteral("Tahoma"), 8, false} : SchemeFont{QStringLiteral("Impact"), 12, false};
  s.menuBar = Rgb(0x4174AB);
  s.fillDialog = Rgb(0x4174AB);
  s.propsPanel = Rgb(0x4174AB);
  s.propsGroups = Rgb(0xA4BFDD);
  s.propsSliders = true;
  s.channelBarSlider = blue;
  s.gridBackground = Rgb(0x4174AB);
  s.gridLines = Rgb(0x315580);
  s.gridFont = {QStringLiteral("Arial"), 8, true};
  s.templateFrame = Rgb(0xA4BFDD);
  s.templateGridBackground = Rgb(0x4174AB);
  s.templateGridLines = Rgb(0x315580);
  s.templateLenEdit = Rgb(0x4174AB);
  s.templateLenField = Rgb(0xA4BFDD);
  const QColor cell = Rgb(0x4174AB), band = Rgb(0x4B86C5);
  const std::pair<int, QColor> values[] = {
      {C::FocusedColor, Rgb(0x2F547B)},   {C::FocusedFontColor, Rgb(0xFAD28F)},
      {C::SelectionColor, s.beat},        {C::SelectionFontColor, Rgb(0x2F547B)},
      {C::FixedGridLineColor, Rgb(0xFFFFFF)}, {C::FixedColor, Rgb(0xA4BFDD)},
      {C::FixedFontColor, Rgb(0xFFFFFF)}, {C::CellColor, cell},
      {C::CellFontColor, Rgb(0xFFFFFF)},  {C::CellColor2, band},
      {C::CellFontColor2, Rgb(0xFFFFFF)}, {C::FixedActiveColor, Rgb(0x4174AB)},
      {C::FixedActiveFontColor, s.beat},  {C::LoopedFixedColor, s.beat},
      {C::LoopedFixedFontColor, Rgb(0x4B86C5)}, {C::CellColor3, Plus8(cell)},
      {C::CellColor4, Plus8(band)}};
  for (const auto& [slot, color] : values) s.gridSlots[size_t(slot)] = color;
  s.counterFace = Rgb(0x2F547B);  // the grid cursor's blue: the beat colours read on it as on the grid
  s.titleText = Rgb(0xA4BFDD);
  s.pianoText = Rgb(0xFFFFFF);
  SettleTexts(s, windowText);
  return s;
}

void ColorScheme::ApplySlots(TMyGrid2Colors& colors) const {
  for (int slot = 0; slot < TMyGrid2Colors::Count; ++slot)
    if (const auto& color = gridSlots[size_t(slot)]) colors[slot] = *color;
}

std::vector<GradientBand> GradientBands(const QColor& top, const QColor& bottom, int height) {
  std::vector<GradientBand> bands;
  bands.reserve(256);
  const auto component = [](int from, int to, int k) { return from + Nearest(k * double(to - from) / 255.0); };
  for (int k = 0; k < 256; ++k) {
    bands.push_back({Nearest(k * double(height) / 256.0), Nearest((k + 1) * double(height) / 256.0),
                     QColor(component(top.red(), bottom.red(), k), component(top.green(), bottom.green(), k),
                            component(top.blue(), bottom.blue(), k))});
  }
  return bands;
}

void GradientRect(const QColor& top, const QColor& bottom, QPainter& canvas, const QRect& rect) {
  for (const GradientBand& band : GradientBands(top, bottom, rect.height())) {
    if (band.bottom <= band.top) continue;
    canvas.fillRect(QRect(rect.left(), rect.top() + band.top, rect.width(), band.bottom - band.top), band.color);
  }
}

}  // namespace varnel
