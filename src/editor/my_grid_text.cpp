// TMyGrid2: cell texts. Shaping text is much of the cost of a repaint, and a pattern shows few
// distinct texts (note names, numbers), so the glyphs of each distinct text are kept for the
// current font; a repaint collects the glyphs of all cells by colour and draws one run each.
#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>
#include <QtMath>

#include "editor/my_grid.h"

namespace varnel {

namespace {

// Latin letters, digits and signs need no shaping beyond kerning.
bool IsPlainLatin(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() < 0x20 || c.unicode() > 0x24F) return false;
  return true;
}

}  // namespace

void TMyGrid2::ForgetGlyphs() {
  glyphs_.clear();
  rawFontReady_ = false;
}

const TMyGrid2::CellGlyphs& TMyGrid2::GlyphsOf(const QString& text) {
  const auto found = glyphs_.constFind(text);
  if (found != glyphs_.cend()) return *found;
  if (!rawFontReady_) {
    rawFont_ = QRawFont::fromFont(font());
    rawFontReady_ = true;
  }
  CellGlyphs g;
  if (rawFont_.isValid() && IsPlainLatin(text)) {
    g.Index = rawFont_.glyphIndexesForString(text);
    g.Batchable = g.Index.size() == text.size() && !g.Index.contains(0u);
  }
  if (g.Batchable) {
    const QList<QPointF> advances = rawFont_.advancesForGlyphIndexes(g.Index, QRawFont::KernedAdvances);
    qreal x = 0;
    QRectF ink;
    for (qsizetype i = 0; i < g.Index.size(); ++i) {
      g.X.push_back(x);
      const QRectF box = rawFont_.boundingRect(g.Index[i]);
      if (!box.isEmpty()) ink |= box.translated(x, 0);
      x += advances[i].x();
    }
    // A pixel more on every side for hinting and antialiasing.
    g.Ink = QRect(QPoint(qFloor(ink.left()) - 1, qFloor(ink.top()) - 1), QPoint(qCeil(ink.right()), qCeil(ink.bottom())));
  } else {
    g.Index.clear();
  }
  if (glyphs_.size() >= MaxGlyphTexts) glyphs_.clear();
  return *glyphs_.insert(text, g);
}

// The text 3 pixels from the left edge and 2 from the top, clipped to the cell; drawn by
// FlushText once the area's cells are filled.
void TMyGrid2::QueueCellText(const QString& text, const QRect& rect, const QColor& color, const TextMetrics& metrics) {
  const QPoint at(rect.left() + 3, rect.top() + 2);
  const qreal baseline = at.y() + metrics.Ascent;
  const CellGlyphs& g = GlyphsOf(text);
  if (!g.Batchable || !rect.contains(g.Ink.translated(at.x(), static_cast<int>(baseline)))) {
    clipped_.push_back({text, rect, color});
    return;
  }
  auto batch = std::find_if(batches_.begin(), batches_.end(), [&](const TextBatch& b) { return b.Color == color; });
  if (batch == batches_.end()) batch = batches_.insert(batches_.end(), TextBatch{color, {}, {}});
  for (qsizetype i = 0; i < g.Index.size(); ++i) {
    batch->Index.push_back(g.Index[i]);
    batch->Pos.push_back(QPointF(at.x() + g.X[i], baseline));
  }
}

void TMyGrid2::FlushText(QPainter& painter) {
  for (TextBatch& batch : batches_) {
    if (batch.Index.isEmpty()) continue;
    {
      QGlyphRun run;
      run.setRawFont(rawFont_);
      run.setGlyphIndexes(batch.Index);
      run.setPositions(batch.Pos);
      painter.setPen(batch.Color);
      painter.drawGlyphRun(QPointF(), run);
    }
    batch.Index.clear();  // the run is gone, so the lists keep their capacity
    batch.Pos.clear();
  }
  if (clipped_.empty()) return;
  const int ascent = QFontMetrics(font()).ascent();
  for (const ClippedText& t : clipped_) {
    painter.save();
    painter.setClipRect(t.Rect, Qt::IntersectClip);
    painter.setPen(t.Color);
    painter.drawText(QPoint(t.Rect.left() + 3, t.Rect.top() + 2 + ascent), t.Text);
    painter.restore();
  }
  clipped_.clear();
}

}  // namespace varnel
