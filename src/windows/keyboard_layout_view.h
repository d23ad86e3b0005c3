// TKeyboardLayoutView: a US computer keyboard drawn with the notes its keys play in one of the
// editor's two note layouts: black and white semitones told apart, each octave band in its own
// tint, Caps Lock as the note-off key. Used by the help window.
//
// Threads: UI thread.
#pragma once

#include <QImage>
#include <QWidget>

#include "editing/editor_keys.h"

namespace varnel {

class TKeyboardLayoutView : public QWidget {
  Q_OBJECT

 public:
  explicit TKeyboardLayoutView(KeyboardMode mode, QWidget* parent = nullptr);

  KeyboardMode Mode() const { return mode_; }
  QSize sizeHint() const override { return LayoutSize(); }

  static QSize LayoutSize();
  // The drawing as an image (for documents).
  static QImage Image(KeyboardMode mode);
  // The label of a note key: the note name, one "'" for each octave above the layout's first
  // ("C", "C#'", "E''"); empty for keys that play no note in the layout.
  static QString NoteLabel(int vk, KeyboardMode mode);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  static void Paint(QPainter& painter, KeyboardMode mode);
  KeyboardMode mode_;
};

}  // namespace varnel
