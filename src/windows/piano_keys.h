// TPianoKeys: the 128 keys of the piano window as one widget, with the strip of octave labels
// below them. It lays the keys out for a key height and a white-key pitch, draws them released or
// pressed with their captions, and tells which key lies under a point. What a key does is the
// piano window's business: the widget only reports mouse presses and releases on keys.
// UI thread only.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>

namespace varnel {

class TPianoKeys : public QWidget {
  Q_OBJECT

 public:
  static constexpr int KeyCount = 128;
  // The design measures the zooms are taken from: key height K, white-key pitch P and black-key
  // width Bk at 100 %.
  static constexpr int DesignHeight = 113;
  static constexpr int DesignPitch = 24;
  static constexpr int DesignBlackWidth = 18;
  static constexpr int LabelStripHeight = 22;  // the octave labels under the keys
  static constexpr int OctaveLabelCount = 10;
  static const QColor InRangeWhite;   // white keys the computer keyboard reaches
  static const QColor OutRangeWhite;  // the other white keys

  explicit TPianoKeys(QWidget* parent = nullptr);

  // What shows around and between the keys (the scheme's piano colour); button face at first.
  void SetBackground(const QColor& color);
  QColor BackgroundColor() const { return background_; }

  static bool IsBlack(int note);

  // Key height h: black keys get h x 70 / 113. Nothing when the height is already h.
  void SetPanelsHeight(int h);
  // White-key pitch w: each white key is w + 1 wide and starts w after the previous one; a black
  // key is w x Bk / P wide and sits over the gap. Nothing when the pitch is already w.
  void SetPanelsWidth(int w);
  // Octave label i stands under the first key of piano octave i + 1, at p x 7 x (i + 1).
  void UpdateLabelsPos(int p);
  int KeyHeight() const { return height_; }
  int WhitePitch() const { return pitch_; }

  QRect KeyRect(int note) const;
  // The key under a point of the widget (black keys lie in front), -1 for none.
  int KeyAt(QPoint point) const;

  // Out-of-range notes and keys already in that state are ignored.
  void PressKey(int note);
  void ReleaseKey(int note);
  void ReleaseAllKeys();
  bool IsPressed(int note) const;

  void SetCaption(int note, const QString& caption);
  QString Caption(int note) const;
  void ClearCaptions();

  // White keys first..last get InRangeWhite, the other white keys OutRangeWhite.
  void SetWhiteRange(int first, int last);
  QColor KeyColor(int note) const;

  void SetOctaveLabel(int index, const QString& text, bool visible);
  QString OctaveLabelText(int index) const;
  bool OctaveLabelVisible(int index) const;
  QRect OctaveLabelRect(int index) const;

  QSize sizeHint() const override;

 signals:
  void keyMouseDown(int note);
  void keyMouseUp(int note);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // A key held by the mouse while the piano goes away is let go: no note is left sounding.
  void hideEvent(QHideEvent* event) override;

 private:
  QColor background_;
  struct Key {
    QRect rect;
    QColor color;
    QString caption;
    bool pressed = false;
  };
  struct OctaveLabel {
    QString text;
    bool visible = false;
    int left = 0;
  };

  void Layout();
  void PaintKey(QPainter& painter, const Key& key, bool black) const;
  void UpdateKey(int note);

  std::array<Key, KeyCount> keys_;
  std::array<OctaveLabel, OctaveLabelCount> labels_;
  int height_ = 0;
  int pitch_ = 0;
  int mouseKey_ = -1;  // the key the mouse went down on, released when the button goes up
};

}  // namespace varnel
