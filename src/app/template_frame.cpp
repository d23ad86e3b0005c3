#include "app/template_frame.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/properties_bar.h"
#include "app/user_dialogs.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "song/song.h"

namespace varnel {

namespace {

constexpr int RowNumberWidth = 20;
constexpr int MarkWidth = 30;

}  // namespace

TAddFrame::TAddFrame(TVNSong& song, TVNFrame& editor, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), song_(song), editor_(editor), dialogs_(dialogs) {
  setObjectName(QStringLiteral("TemplateFrame"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  Panel2 = new QWidget(this);
  Panel2->setAutoFillBackground(true);
  Panel2->setBackgroundRole(QPalette::Button);
  auto* strip = new QHBoxLayout(Panel2);
  strip->setContentsMargins(0, 1, 1, 1);
  Title = new QLabel(QStringLiteral("  Add template"), Panel2);
  Title->setObjectName(QStringLiteral("TemplateTitle"));
  strip->addWidget(Title, 1);
  SpeedButton1 = new QToolButton(Panel2);
  SpeedButton1->setText(QStringLiteral("x"));
  SpeedButton1->setAutoRaise(true);
  strip->addWidget(SpeedButton1);
  Panel2->setContextMenuPolicy(Qt::CustomContextMenu);
  layout->addWidget(Panel2);

  ComboBox1 = new QComboBox(this);
  for (const std::string& preset : RhythmTemplate::Presets()) ComboBox1->addItem(QString::fromStdString(preset));
  ComboBox1->setMaxVisibleItems(32);
  // The longest preset is wider than the frame: the list shows it, the box cuts it short.
  ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  ComboBox1->setMinimumContentsLength(6);
  layout->addWidget(ComboBox1);

  Grid = new TMyGrid2(this);
  Grid->setFocusPolicy(Qt::NoFocus);  // the keys stay with the editor
  Grid->SetColCount(2);
  Grid->SetFixedCols(1);
  Grid->SetFixedRows(1);
  Grid->SetDefaultColWidth(MarkWidth);
  Grid->SetRowHighlight(4);
  Grid->SetDrawFocused(false);
  QFont font = editor.Grid1()->font();
  font.setPointSize(8);
  Grid->setFont(font);
  TMyGrid2Colors colors = Grid->Colors();
  const QColor window = palette().color(QPalette::Base), text(0x30, 0x40, 0x80);
  colors[TMyGrid2Colors::FocusedColor] = window;
  colors[TMyGrid2Colors::FocusedFontColor] = text;
  colors[TMyGrid2Colors::SelectionColor] = window;
  colors[TMyGrid2Colors::SelectionFontColor] = text;
  Grid->SetColors(colors);
  Grid->OnGetText = [this](TMyGrid2&, int col, int row) { return GridGetText(col, row); };
  Grid->viewport()->installEventFilter(this);
  Grid->viewport()->setMouseTracking(true);
  layout->addWidget(Grid, 1);

  udLen = new NumberField(QStringLiteral("Len."), RhythmTemplate::MinFieldLength, RhythmTemplate::MaxRows,
                          RhythmTemplate::DefaultLength, this);
  udLen->SetPresets({"4", "8", "16", "32", "64", "128", "256"});
  layout->addWidget(udLen);
  chbUse = new QCheckBox(QStringLiteral("Use in editor"), this);
  layout->addWidget(chbUse);
  auto* buttons = new QHBoxLayout;
  // Tool buttons: push buttons would not fit two to a row of the narrow frame.
  Button1 = new QToolButton(this);
  Button1->setText(QStringLiteral("=>"));
  Button1->setToolTip(QStringLiteral("Load from current track"));
  Button2 = new QToolButton(this);
  Button2->setText(QStringLiteral("Menu"));
  for (QToolButton* b : {Button1, Button2}) {
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    buttons->addWidget(b);
  }
  layout->addLayout(buttons);

  PopupMenu1 = new QMenu(this);
  QMenu* expand = PopupMenu1->addMenu(QStringLiteral("Expand template"));
  Expand2 = expand->addAction(QStringLiteral("Expand template * 2"));
  Expand3 = expand->addAction(QStringLiteral("Expand template * 3"));
  QMenu* shrink = PopupMenu1->addMenu(QStringLiteral("Shrink template"));
  Shrink2 = shrink->addAction(QStringLiteral("Shrink template / 2"));
  Shrink3 = shrink->addAction(QStringLiteral("Shrink template / 3"));
  Shrink4 = shrink->addAction(QStringLiteral("Shrink template / 4"));

  connect(SpeedButton1, &QToolButton::clicked, this, &TAddFrame::SpeedButton1Click);
  connect(Panel2, &QWidget::customContextMenuRequested, this, &TAddFrame::ShowPopup);
  connect(Button2, &QToolButton::clicked, this, &TAddFrame::ShowPopup);
  connect(Button1, &QToolButton::clicked, this, &TAddFrame::Button1Click);
  connect(ComboBox1, &QComboBox::activated, this, &TAddFrame::ComboBox1Change);
  connect(udLen, &NumberField::changed, this, &TAddFrame::udLenChange);
  connect(Expand2, &QAction::triggered, this, [this] { ExpandClick(2); });
  connect(Expand3, &QAction::triggered, this, [this] { ExpandClick(3); });
  connect(Shrink2, &QAction::triggered, this, [this] { ShrinkClick(2); });
  connect(Shrink3, &QAction::triggered, this, [this] { ShrinkClick(3); });
  connect(Shrink4, &QAction::triggered, this, [this] { ShrinkClick(4); });
  ShowLength();
}

// The design width, or more where the title needs it (a larger or bolder font).
QSize TAddFrame::sizeHint() const {
  return {std::max(FrameWidth, minimumSizeHint().width()), QWidget::sizeHint().height()};
}

bool TAddFrame::UseInEditor() const { return chbUse->isChecked(); }
void TAddFrame::SetUseInEditor(bool on) { chbUse->setChecked(on); }

int TAddFrame::GetNextAdd(int row) {
  const RhythmTemplate::Advance advance = template_.GetNextAdd(row, song_.GetLastRow() + 1);
  for (int r : advance.noteOffRows) NeedInsertNoteOff(r);
  return advance.step;
}

void TAddFrame::NeedInsertNoteOff(int row) {
  const int track = editor_.Grid1()->Col() - 1;
  if (track < 0 || track >= song_.TracksCount() || song_.GetTrackType(track) != ttNote) return;
  if (row < 0 || row > song_.GetLastRow()) return;
  song_.SetCellData(track, row, CellNoteOff);
  editor_.RedrawData(track, row);
}

QString TAddFrame::GridGetText(int col, int row) const {
  if (row < 1) return {};
  if (col == 0) {
    const int n = row - 1;
    return editor_.Options().HexDisplay() ? QStringLiteral("%1").arg(n & 0xFF, 2, 16, QLatin1Char('0')).toUpper()
                                          : QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
  }
  switch (template_.Row(row - 1)) {
    case RhythmTemplate::Stop: return QStringLiteral(" X");
    case RhythmTemplate::NoteOff: return QStringLiteral(" -");
    default: return {};
  }
}

void TAddFrame::Redraw() {
  Grid->SetColWidth(0, RowNumberWidth);
  const int height = QFontMetrics(Grid->font()).boundingRect(QStringLiteral("00")).height() + 2;
  Grid->SetDefaultRowHeight(height);
  // The header and two rows at least; the rest scrolls, so a low window keeps every panel.
  Grid->setMinimumHeight(3 * height + 2 * Grid->frameWidth());
  for (int r = 0; r < Grid->RowCount(); ++r) {
    Grid->SetRowHeight(r, height);
    for (int c = 0; c < Grid->ColCount(); ++c) Grid->SetCellText(c, r, GridGetText(c, r));
  }
  Grid->Repaint();
}

void TAddFrame::SetRowHighlight(int rows) { Grid->SetRowHighlight(rows); }

// The program may set lengths below the field's own limit of 4 (loading, shrinking): the field
// then shows them, and lets the user go back down to them.
void TAddFrame::ShowLength() {
  showingLength_ = true;
  const int length = template_.Length();
  udLen->SpinBox()->setMinimum(std::min(RhythmTemplate::MinFieldLength, length));
  udLen->ShowValue(length);
  showingLength_ = false;
  udLenChange(length);
}

void TAddFrame::udLenChange(int length) {
  if (showingLength_) return;
  template_.SetLength(length);
  if (length >= RhythmTemplate::MinFieldLength) udLen->SpinBox()->setMinimum(RhythmTemplate::MinFieldLength);
  Grid->SetRowCount(template_.Length() + 1);
  Redraw();
}

void TAddFrame::ComboBox1Change(int index) {
  if (index <= 0) return;  // "Select"
  chbUse->setChecked(true);
  template_.ApplyPreset(ComboBox1->itemText(index).toStdString());
  Redraw();
}

void TAddFrame::Button1Click() {
  const int track = editor_.Grid1()->Col() - 1;
  if (track < 0 || track >= song_.TracksCount()) return;
  std::vector<int> cells;
  for (int r = 0; r <= song_.GetLastRow(); ++r) cells.push_back(song_.GetCellData(track, r));
  template_.LoadFromTrack(cells, song_.GetTrackType(track));
  ShowLength();
  chbUse->setChecked(true);
  editor_.setFocus(Qt::OtherFocusReason);
}

void TAddFrame::ExpandClick(int factor) {
  const std::string refusal = template_.Expand(factor);
  if (!refusal.empty()) {
    dialogs_.Message(this, QString::fromStdString(refusal));
    return;
  }
  ShowLength();
}

void TAddFrame::ShrinkClick(int divisor) {
  const std::string refusal = template_.Shrink(divisor);
  if (!refusal.empty()) {
    dialogs_.Message(this, QString::fromStdString(refusal));
    return;
  }
  ShowLength();
}

void TAddFrame::SpeedButton1Click() {
  chbUse->setChecked(false);
  hide();
  emit closed();
}

void TAddFrame::ShowPopup() { PopupMenu1->popup(QCursor::pos()); }

bool TAddFrame::PaintAt(QPoint pos) {
  const std::optional<GridCoord> cell = Grid->CellAt(pos);
  if (!cell || cell->Col != 1 || cell->Row < 1 || cell->Row > template_.Length()) return false;
  if (!painting_) return true;
  const int mark = paintButton_ == Qt::LeftButton     ? RhythmTemplate::Stop
                   : paintButton_ == Qt::MiddleButton ? RhythmTemplate::NoteOff
                                                      : RhythmTemplate::Empty;
  if (template_.Row(cell->Row - 1) != mark) {
    template_.SetRow(cell->Row - 1, mark);
    Grid->SetCellText(1, cell->Row, GridGetText(1, cell->Row));
  }
  return true;
}

// Painting takes every mouse button on the grid; the grid's own selection gestures stay unused.
bool TAddFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Grid->viewport()) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      chbUse->setChecked(true);
      paintButton_ = mouse->button();
      painting_ = true;
      PaintAt(mouse->position().toPoint());
      return true;
    }
    case QEvent::MouseMove: {
      const bool over = PaintAt(static_cast<QMouseEvent*>(event)->position().toPoint());
      Grid->viewport()->setCursor(over ? Qt::PointingHandCursor : Qt::ArrowCursor);
      return true;
    }
    case QEvent::MouseButtonRelease:
      painting_ = false;
      return true;
    default:
      return QWidget::eventFilter(watched, event);
  }
}

}  // namespace varnel
