// The three colour schemes of the main window ("Default", "Blue", "New Icons") as values: what
// each one gives the grids, the channel toggles, the play counter, the panels and their fonts.
// The main window applies them (main_window_view.cpp); this file only knows the numbers.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "editor/my_grid_colors.h"

class QPainter;
class QPalette;
class QRect;

namespace varnel {

struct SchemeFont {
  QString family;
  int points = 8;
  bool bold = false;
  // `base` with this family, size and weight (normal when not bold). A family that is not
  // installed gives the application's font family instead: the system's nearest match for a
  // missing name can be a symbol font.
  QFont Applied(QFont base) const;
};

// One text colour of a scheme and the surface it is drawn on, for checking that it can be read.
struct SchemeText {
  const char* what;
  QColor text;
  QColor surface;
};

struct ColorScheme {
  enum Number : int { Default = 0, Blue = 1, NewIcons = 2 };
  enum IconSet : int { StandardIcons, Small16Icons, Large32Icons };

  int number = Default;
  // Channel toggles: 0 off, 1 on, 2 on and starting a note in the played row, 3 the numbers.
  std::array<QColor, 4> toggles;
  QColor exemptText;     // the number of a solo-exempt channel: red, as dark as the bar needs
  QColor beat, offBeat;  // the play counter on rows that are / are not multiples of the rows per beat
  // The play counter's own face where the bar is too light for the beat colours; none: the bar.
  std::optional<QColor> counterFace;
  QColor panel;          // properties bar, channels bar, channel bar, common toolbar, numeric fields
  QColor fieldEdit;      // the numbers of the numeric fields and the lists
  QColor fieldText;      // their text
  QColor bottomDock;
  QColor piano;
  QColor titleTop, titleBottom;  // title panel gradient
  QColor titleText;              // the title on it
  QColor menuTop, menuBottom;    // menu toolbar gradient
  IconSet icons = StandardIcons;
  int commonBarHeight = 0;  // 0: as the icons need
  bool playStopPictures = false;
  // The channel properties panel's text; on its title and groups, on the template frame, on the
  // template's length field and on the fill dialog, each as readable on that surface.
  QColor panelText;
  QColor groupText;
  QColor templateText;
  QColor templateLenText;
  QColor fillText;
  // The text on the bars themselves: white only where the bars are blue, so that it stays readable.
  QColor barText;
  SchemeFont panelFont;
  // The edit toolbar captions; the default scheme leaves them alone.
  std::optional<QColor> editCaptionText;
  std::optional<SchemeFont> editCaptionFont;
  QColor togglesText;
  QColor menuText;
  QColor pianoText;  // the piano's zoom labels
  SchemeFont menuFont;
  QColor menuBar;
  std::optional<QColor> fillDialog;  // the fill dialog; its font then follows the channel bar
  QColor propsPanel, propsGroups;    // channel properties panel, its title and groups
  bool propsSliders = false;         // sliders instead of track bars in the channel properties
  bool channelBarSlider = false;     // the channel bar's volume as a slider
  QColor gridBackground, gridLines;
  SchemeFont gridFont;
  QColor templateFrame, templateGridBackground, templateGridLines, templateLenEdit, templateLenField;
  // Grid colour slots; an empty one keeps the grid's value.
  std::array<std::optional<QColor>, TMyGrid2Colors::Count> gridSlots;

  // The scheme's values; system colours are taken from `palette`. Numbers other than 1 and 2
  // give the default scheme.
  static ColorScheme Of(int number, const QPalette& palette);
  // Writes the scheme's slots into `colors`, leaving the others.
  void ApplySlots(TMyGrid2Colors& colors) const;
  // Every text colour of the panels and bars with the surface it is drawn on (the grids' texts are
  // the grids' own: TMyGrid2::TextColor).
  std::vector<SchemeText> Texts() const;
  // The menu toolbar's text is centred on its gradient: the colours between 30 % and 60 % of its
  // height are what the letters stand on.
  std::array<QColor, 2> MenuTextSurfaces() const;
};

// Each component of `color` plus 8, at most 255.
QColor Plus8(const QColor& color);

// One horizontal band of a vertical gradient: rows [top, bottom) in one colour.
struct GradientBand {
  int top;
  int bottom;
  QColor color;
};
// The 256 bands of a gradient over `height` rows: band k spans rows round(k*H/256) to
// round((k+1)*H/256), each component top + round(k*(bottom-top)/255). Empty bands included.
std::vector<GradientBand> GradientBands(const QColor& top, const QColor& bottom, int height);
// Fills `rect` (the canvas's clip rectangle) with those bands, as wide as the rectangle.
void GradientRect(const QColor& top, const QColor& bottom, QPainter& canvas, const QRect& rect);

}  // namespace varnel
