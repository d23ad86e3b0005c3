// TVNFrame: the two grids, which of them is shown and active, split view, and the current channel
// that follows the cursor column.
#include "editor/editor_frame.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QSplitter>

#include "document/song_document.h"
#include "editor/my_grid.h"
#include "midi/playback.h"
#include "song/song.h"

namespace varnel {

namespace {

constexpr int SplitPatternWidth = 500;  // the pattern grid's width in split view

}  // namespace

TVNFrame::TVNFrame(SongDocument& document, MidiDevices& devices, PlaybackEngine& player, EditorHost& host,
                   QWidget* parent)
    : QWidget(parent), d(std::make_unique<State>(document, document.Song(), devices, player, host)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  d->splitter3 = new QSplitter(Qt::Horizontal, this);
  d->splitter3->setChildrenCollapsible(false);
  layout->addWidget(d->splitter3);

  d->grid1 = new TMyGrid2(d->splitter3);
  d->grid2 = new TMyGrid2(d->splitter3);
  d->splitter3->addWidget(d->grid1);
  d->splitter3->addWidget(d->grid2);
  SetupGrid(d->grid1, 1, 15, 4);
  SetupGrid(d->grid2, 2, 12, 8);

  const QPalette pal = d->grid1->palette();
  TMyGrid2Colors c1 = d->grid1->Colors();
  c1[TMyGrid2Colors::FixedSelectionColor] = QColor(0xF3, 0xF0, 0xEF);
  c1[TMyGrid2Colors::LoopedCellColor] = QColor(0xD0, 0xC0, 0xA0);
  c1[TMyGrid2Colors::LoopedCellFontColor] = pal.color(QPalette::WindowText);
  c1[TMyGrid2Colors::LoopedFixedColor] = pal.color(QPalette::HighlightedText);
  c1[TMyGrid2Colors::LoopedFixedFontColor] = pal.color(QPalette::Highlight);
  d->grid1->SetColors(c1);
  TMyGrid2Colors c2 = d->grid2->Colors();
  c2[TMyGrid2Colors::FixedSelectionColor] = QColor(0xF3, 0xF0, 0xEF);
  c2[TMyGrid2Colors::LoopedCellColor] = QColor(0xFA, 0xD2, 0x8F);
  c2[TMyGrid2Colors::LoopedCellFontColor] = QColor(0x4B, 0x86, 0xC5);
  c2[TMyGrid2Colors::LoopedFixedColor] = QColor(0xFA, 0xD2, 0x8F);
  c2[TMyGrid2Colors::LoopedFixedFontColor] = QColor(0x00, 0x00, 0x80);
  d->grid2->SetColors(c2);

  d->grid1->OnGetText = [this](TMyGrid2&, int col, int row) { return Grid1GetText(col, row); };
  d->grid2->OnGetText = [this](TMyGrid2&, int col, int row) { return Grid2GetText(col, row); };
  connect(d->grid1, &TMyGrid2::selectCell, this, [this](TMyGrid2*, int col, int row) { Grid1SelectCell(col, row); });
  connect(d->grid1, &TMyGrid2::headerMiddleClick, this,
          [this](TMyGrid2*, int col, int row) { EditTrackProperties(col, row); });

  // Until the main window measures its font, the grid font's own measures serve.
  const QFontMetrics metrics(d->grid1->font());
  d->cellWidth = metrics.horizontalAdvance(QStringLiteral("C#0")) + 10;
  d->cellHeight = metrics.height() + 2;

  d->grid2->hide();
  setFocusProxy(d->grid1);
  SetupGridEdit();
  document.SetPlaceOf([this] { return Place(); });
}

TVNFrame::~TVNFrame() { d->document.SetPlaceOf(nullptr); }

void TVNFrame::SetupGrid(TMyGrid2* grid, int tag, int pixelSize, int rowHighlight) {
  grid->SetTag(tag);
  QFont font = grid->font();
  font.setPixelSize(pixelSize);
  grid->setFont(font);
  grid->SetRowHighlight(rowHighlight);
  grid->SetLoopMarking(true);
  grid->installEventFilter(this);
  connect(grid, &TMyGrid2::keyDown, this, &TVNFrame::Grid1KeyDown);
  connect(grid, &TMyGrid2::keyUp, this, &TVNFrame::Grid1KeyUp);
  connect(grid, &TMyGrid2::colChanged, this, [this](TMyGrid2* sender, int col) { ColChanged(sender->Tag(), col); });
  connect(grid, &TMyGrid2::headerClick, this, &TVNFrame::Grid1HeaderClick);
  connect(grid, &TMyGrid2::loopChanged, this, [this](TMyGrid2* sender, int, int) { LoopChanged(sender); });
}

TMyGrid2* TVNFrame::Grid1() const { return d->grid1; }
TMyGrid2* TVNFrame::Grid2() const { return d->grid2; }
EditorOptions& TVNFrame::Options() { return d->options; }
int TVNFrame::ActiveGrid() const { return d->activeGrid; }
int TVNFrame::CurrentChannel() const { return d->lastChannel; }
bool TVNFrame::SplitView() const { return d->splitView; }

TMyGrid2* TVNFrame::GridOf(int tag) const { return tag == 2 ? d->grid2 : d->grid1; }

// The player counts as stopped unless its clock is running: a paused or never started player
// lets the cursor move.
bool TVNFrame::PlayerRunning() const { return d->player.Playing() && !d->player.Stopped(); }

void TVNFrame::SetCellMetrics(int width, int height) {
  d->cellWidth = std::max(width, 1);
  d->cellHeight = std::max(height, 1);
}

void TVNFrame::SetActiveGrid(int grid) {
  if (grid < 0) grid = d->activeGrid;
  grid = grid == 2 ? 2 : 1;
  d->activeGrid = grid;
  d->splitView = false;
  TMyGrid2* shown = GridOf(grid);
  TMyGrid2* other = GridOf(3 - grid);
  // Focus first, so that hiding the other grid does not hand the focus over to it.
  shown->show();
  setFocusProxy(shown);
  shown->setFocus(Qt::OtherFocusReason);
  other->hide();
  shown->Repaint();
  ColChanged(grid, -1);
}

void TVNFrame::SetSplitView() {
  d->splitView = true;
  d->grid1->show();
  d->grid2->show();
  const int total = d->splitter3->width() - d->splitter3->handleWidth();
  d->splitter3->setSizes({SplitPatternWidth, std::max(1, total - SplitPatternWidth)});
}

void TVNFrame::ColChanged(int gridTag, int col) {
  const bool force = col == -2;
  int channel;
  if (gridTag == 1 && d->activeGrid == 1) {
    if (col < 0) col = d->grid1->Col();
    channel = d->song.GetTrackChannel(col - 1);
  } else if (gridTag == 2 && d->activeGrid == 2) {
    if (col < 0) col = d->grid2->Col();
    channel = col - 1;
  } else {
    return;
  }
  if (channel == d->lastChannel && !force) return;
  d->lastChannel = channel;
  d->host.UpdateChannelProps(channel);
}

// Grid1Enter and Grid2Enter: a grid that receives the focus becomes the active one.
bool TVNFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == d->grid1) d->activeGrid = 1;
    if (watched == d->grid2) d->activeGrid = 2;
  }
  // A key released elsewhere (a box that took the focus, another program) never reaches the grid:
  // what the keys sound ends when the grid loses them.
  if (event->type() == QEvent::FocusOut && (watched == d->grid1 || watched == d->grid2)) EndPreview(-1);
  return QWidget::eventFilter(watched, event);
}

}  // namespace varnel
