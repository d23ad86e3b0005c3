// TMyGrid2: Varnel's own grid control, used for the pattern grid and the order grid. One text per
// cell, painted by the control itself with its colour rules (row-highlight bands, alternate
// column groups, the play-position row, loop-marked header rows), its own two scroll bars, and
// header mouse gestures (select whole rows or columns, drag a loop range with the middle button).
// It knows nothing about songs: the owner sets every text and listens to the signals.
//
// Threads: UI thread only.
#pragma once

#include <QAbstractScrollArea>
#include <QHash>
#include <QKeyEvent>  // complete for connections to keyDown and keyUp
#include <QList>
#include <QRawFont>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "editor/my_grid_colors.h"

class QPainter;
class QScrollBar;
class QTimer;
class QToolButton;

namespace varnel {

// A rectangle of cells in grid coordinates, both ends included; all -1 means none.
struct TGridRect {
  int Left = -1;
  int Top = -1;
  int Right = -1;
  int Bottom = -1;

  bool Contains(int col, int row) const;  // Left <= col <= Right and Top <= row <= Bottom
  TGridRect Normalized() const;           // Left <= Right, Top <= Bottom
  bool operator==(const TGridRect&) const = default;
};

struct GridCoord {
  int Col = 0;
  int Row = 0;
  bool operator==(const GridCoord&) const = default;
};

class TMyGrid2 : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int ScrollBarSize = 16;  // bar thickness and the corner button's side
  static constexpr int ScrollLargeStep = 4;  // a click in a bar's trough moves this many cells
  static constexpr int ColumnGroupCount = 256;
  static constexpr int MaxCount = 4096;  // ColCount and RowCount are clamped to 1..MaxCount

  // The owner keeps its text function here and calls it through the grid; the grid never does.
  using GetTextFunction = std::function<QString(TMyGrid2& grid, int col, int row)>;

  explicit TMyGrid2(QWidget* parent = nullptr);
  ~TMyGrid2() override;

  // ---- Size (counts include the fixed header columns and rows) ----
  int ColCount() const { return colCount_; }
  void SetColCount(int count);
  int RowCount() const { return rowCount_; }
  void SetRowCount(int count);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int count);  // clamped to 0..ColCount - 1
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int count);
  int DefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int width);  // resets every column width
  int DefaultRowHeight() const { return defaultRowHeight_; }
  void SetDefaultRowHeight(int height);  // resets every row height
  int GridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int width);
  int ColWidth(int col) const;
  void SetColWidth(int col, int width);
  int RowHeight(int row) const;
  void SetRowHeight(int row, int height);

  // ---- Cursor and view ----
  int Col() const { return cursor_.Col; }
  int Row() const { return cursor_.Row; }
  // Both raise selectCell (and colChanged when the column differs from LastCol), collapse the
  // selection to the cursor and scroll it into view; values are clamped into the data area.
  void SetCol(int col);
  void SetRow(int row);
  int TopRow() const { return topRow_; }  // first non-fixed row shown
  void SetTopRow(int row);
  int LeftCol() const { return leftCol_; }  // first non-fixed column shown
  void SetLeftCol(int col);
  int VisibleColCount() const;  // non-fixed columns from LeftCol that fit whole
  int VisibleRowCount() const;  // non-fixed rows from TopRow that fit whole

  // ---- Selection (grid coordinates) ----
  TGridRect Selection() const { return selection_; }  // normalised
  // Left may exceed Right (and Top Bottom): the selection spans both and those between. The
  // cursor stays where it is; (Left, Top) becomes the far end that Shift+cursor keys extend from.
  void SetSelection(const TGridRect& rect);

  // ---- Cell texts ----
  const QString& CellText(int col, int row) const;  // empty outside the grid
  void SetCellText(int col, int row, const QString& text);
  GetTextFunction OnGetText;

  // ---- Looks ----
  const TMyGrid2Colors& Colors() const { return colors_; }
  void SetColors(const TMyGrid2Colors& colors);  // copies all 21 slots
  void SetColor(int slot, const QColor& color);
  QColor GridLineColor() const { return gridLineColor_; }  // lines between cells
  void SetGridLineColor(const QColor& color);
  QColor BackgroundColor() const { return backgroundColor_; }  // beyond the last cells
  void SetBackgroundColor(const QColor& color);
  int ActiveRow() const { return activeRow_; }  // the play position; <= 0 none
  void SetActiveRow(int row);  // repaints only the header cells of the old and new row
  int RowHighlight() const { return rowHighlight_; }  // band every N rows; <= 0 none
  void SetRowHighlight(int rows);
  bool DrawFocused() const { return drawFocused_; }
  void SetDrawFocused(bool on);
  // Texts are drawn with at least this contrast against their cell's fill: a text colour that
  // has less is moved as little as needed (0, the default: every text in its slot's colour).
  double MinimumContrast() const { return minimumContrast_; }
  void SetMinimumContrast(double ratio);
  // The colour a text of `fontSlot` is drawn in on a cell filled with `fillSlot`, by the rules
  // of painting (an unknown pair: the slot's own colour).
  QColor TextColor(int fontSlot, int fillSlot) const;
  int ColumnGroup(int col) const;  // -1 outside 0..255; odd groups use CellColor3/CellColor4
  void SetColumnGroup(int col, int group);
  TGridRect LoopRect() const { return loopRect_; }
  void SetLoopRect(const TGridRect& rect);
  bool LoopMarking() const { return loopMarking_; }
  void SetLoopMarking(bool on) { loopMarking_ = on; }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  // ---- State of the gestures ----
  int DragMode() const { return dragMode_; }  // 0 none, 1 row headers, 2 column headers
  int LastCol() const { return lastCol_; }

  // ---- Geometry (viewport coordinates) ----
  QRect CellRect(int col, int row) const;  // the cell without its grid lines; empty when not shown
  std::optional<GridCoord> CellAt(QPoint pos) const;
  QScrollBar* HorzScrollBar() const { return hbar_; }
  QScrollBar* VertScrollBar() const { return vbar_; }
  QToolButton* CornerButton() const { return corner_; }
  void Repaint();

 signals:
  // The event arrives ignored: a handler that acts on the key accepts it, and the grid then does
  // nothing more; an ignored key gets the grid's cursor movement.
  void keyDown(varnel::TMyGrid2* sender, QKeyEvent* event);
  void keyUp(varnel::TMyGrid2* sender, QKeyEvent* event);
  void selectCell(varnel::TMyGrid2* sender, int col, int row);  // before the cursor moves
  void colChanged(varnel::TMyGrid2* sender, int col);
  void headerClick(varnel::TMyGrid2* sender, int col, int row);        // right button, any cell
  void headerMiddleClick(varnel::TMyGrid2* sender, int col, int row);  // middle, non-fixed column
  void loopChanged(varnel::TMyGrid2* sender, int col, int row);  // owners read LoopRect

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  // One shown column or row: its index, position and size in viewport pixels.
  struct Span {
    int Index;
    int Pos;
    int Size;
  };
  struct Axis {
    std::vector<Span> Spans;  // the fixed cells, then the scrolled ones that reach into the view
    int End = 0;              // first pixel after the last cell's grid line
  };

  // my_grid.cpp
  void Relayout();
  void ClampState();
  void MoveCursor(int col, int row, bool collapse, bool show);
  void ExtendSelection(GridCoord farEnd);
  void ChangeSelection(const TGridRect& rect);
  void InvalidateRange(const TGridRect& rect);
  void InvalidateHeaderCells(int row);
  void MarkDirty(const QRect& rect);

  // my_grid_layout.cpp
  QSize AreaSize(bool hbar, bool vbar) const;
  int CountFitting(const std::vector<int>& sizes, int fixed, int first, int extent) const;
  int MaxTopRow() const;
  int MaxLeftCol() const;
  int FirstToShow(const std::vector<int>& sizes, int fixed, int last, int extent) const;
  void ScrollIntoView(int col, int row);
  void KeepCursorShown();
  void UpdateScrollBars();
  void LayoutBars();
  void PageStep(QScrollBar* bar, int action);
  const Axis& ColAxis() const;
  const Axis& RowAxis() const;
  void BuildAxis(Axis& axis, const std::vector<int>& sizes, int fixed, int first, int extent) const;
  static const Span* FindSpan(const Axis& axis, int index, int fixed, int first);
  static int SpanAt(const Axis& axis, int pixel, int lineWidth);
  int FixedEnd(const Axis& axis, int fixed) const;

  // my_grid_paint.cpp
  struct TextMetrics {
    int Ascent;
  };
  struct CellLook {
    const QColor* Back;
    const QColor* Font;
    enum { Plain, Fixed, Band } Kind;
  };
  CellLook LookOf(int col, int row) const;
  void PaintArea(QPainter& painter, const QRect& area, const TextMetrics& metrics);
  void PaintCursorMark(QPainter& painter, const QRect& area);
  // The text colours of the painting rules, one per pair of font and fill slots (InkPairs).
  enum Ink : int { InkFocused, InkFixedActive, InkFixedSelected, InkLoopedFixed, InkFixed, InkSelection,
                   InkBand, InkBandOdd, InkCell, InkCellOdd, InkCount };
  static const int InkPairs[InkCount][2];
  void UpdateInks();

  // my_grid_text.cpp
  struct CellGlyphs {
    QList<quint32> Index;
    QList<qreal> X;  // pen position of each glyph, kerning included
    QRect Ink;       // what the glyphs cover, from the first pen position on the baseline
    bool Batchable = false;  // plain Latin text that the grid font has every glyph for
  };
  struct TextBatch {
    QColor Color;
    QList<quint32> Index;
    QList<QPointF> Pos;
  };
  struct ClippedText {
    QString Text;
    QRect Rect;
    QColor Color;
  };
  const CellGlyphs& GlyphsOf(const QString& text);
  void QueueCellText(const QString& text, const QRect& rect, const QColor& color, const TextMetrics& metrics);
  void FlushText(QPainter& painter);
  void ForgetGlyphs();

  // my_grid_input.cpp
  bool NavigationKey(QKeyEvent* event);
  GridCoord ClampedCellAt(QPoint pos) const;
  void DragSelectTo(QPoint pos);
  void AutoScrollStep();

  int colCount_ = 16;
  int rowCount_ = 64;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int defaultColWidth_ = 40;
  int defaultRowHeight_ = 15;
  int gridLineWidth_ = 1;
  std::vector<int> colWidths_;
  std::vector<int> rowHeights_;
  std::vector<QString> texts_;  // row-major, ColCount x RowCount

  GridCoord cursor_{1, 1};
  GridCoord anchor_{1, 1};  // the selection's far end
  TGridRect selection_{1, 1, 1, 1};
  int topRow_ = 1;
  int leftCol_ = 1;

  TMyGrid2Colors colors_;
  QColor gridLineColor_;
  QColor backgroundColor_;
  int activeRow_ = 0;
  int rowHighlight_ = 0;
  bool drawFocused_ = true;
  double minimumContrast_ = 0;
  std::array<QColor, InkCount> inks_;
  std::array<int, ColumnGroupCount> columnGroup_;
  TGridRect loopRect_;
  bool loopMarking_ = false;
  int tag_ = 0;

  int dragMode_ = 0;
  int dragAnchorRow_ = 0;
  int dragAnchorCol_ = 0;
  int lastCol_ = -1;
  bool selecting_ = false;  // left drag that started on a normal cell
  QPoint dragPos_;
  int wheelDelta_ = 0;
  QTimer* autoScroll_ = nullptr;

  QScrollBar* hbar_ = nullptr;
  QScrollBar* vbar_ = nullptr;
  QToolButton* corner_ = nullptr;
  bool hbarShown_ = false;
  bool vbarShown_ = false;
  bool updatingBars_ = false;

  mutable bool layoutValid_ = false;
  mutable Axis colAxis_;
  mutable Axis rowAxis_;
  QRect pendingDirty_;

  static constexpr int MaxGlyphTexts = 4096;
  QRawFont rawFont_;
  bool rawFontReady_ = false;
  QHash<QString, CellGlyphs> glyphs_;  // by distinct text, for the current font
  std::vector<TextBatch> batches_;     // one per text colour, filled and drawn by each repaint
  std::vector<ClippedText> clipped_;   // texts that need a clip or shaping, drawn one by one
};

}  // namespace varnel
