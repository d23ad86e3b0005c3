// TChannelToggles: the content of the channels toggle bar. One numbered square per song channel
// (switched on, off or soloed with the mouse, lit while the channel starts notes) and the "=>"
// button that writes the current pattern into the sequence. The widget only shows and reports
// clicks; the main window applies the rules. UI thread only.
#pragma once

#include <QColor>
#include <QWidget>
#include <array>
#include <vector>

class QFrame;
class QLabel;
class QToolButton;

namespace varnel {

class TChannelToggles : public QWidget {
  Q_OBJECT

 public:
  // SchemeColors: 0 channel off, 1 on, 2 on and starting a note in the played row, 3 the numbers.
  using Colors = std::array<QColor, 4>;
  static Colors DefaultSchemeColors();
  // The number of a solo-exempt channel: red, darkened as far as the scheme's bar needs.
  QColor ExemptColor() const { return exempt_; }

  explicit TChannelToggles(QWidget* parent = nullptr);

  int Count() const { return int(toggles_.size()); }
  void AddTrackLabel();     // a toggle at the end, numbered after its position
  void RemoveTrackLabel();  // the last one
  void SetCount(int count);
  int ToggleSize() const { return size_; }
  void UpdateTrackLabels(int size);  // re-lays every toggle for a new size

  void SetSchemeColors(const Colors& colors, const QColor& exempt);
  // The square's colour by its SchemeColors index (0, 1 or 2); repaints only when it changes.
  void SetColorIndex(int channel, int index);
  int ColorIndex(int channel) const;
  // The number in red while the channel is solo exempt, else in colour 3.
  void SetExempt(int channel, bool exempt);
  // The channel the editor's cursor is on: its number bold and underlined.
  void SetCurrent(int channel);
  int Current() const { return current_; }
  // The playback colour: on channels take colour 1 for state 0 and colour 2 for state 1.
  void ChannelDraw(int channel, int state, bool on);

  QFrame* Square(int channel) const;
  QLabel* Label(int channel) const;
  QToolButton* AddButton() const { return addButton_; }

  // One line for every toggle and the button; given less width, the toggles wrap into more lines.
  QSize sizeHint() const override { return full_; }
  QSize minimumSizeHint() const override { return minimumSize(); }

 signals:
  // A mouse button pressed on a square or its number.
  void toggleClicked(int channel, Qt::MouseButton button);
  void addToSequenceClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Toggle {
    QFrame* square;
    QLabel* label;
    int colorIndex;
    bool exempt;
  };
  void Place(int index);
  void Relayout();  // the toggles into lines for the present width
  int PerRow(int width) const;
  int LineHeight() const;
  static QFont LabelFont(int size);
  void UpdateTrackLabelsButton();
  void Paint(const Toggle& toggle) const;

  std::vector<Toggle> toggles_;
  QToolButton* addButton_;
  Colors colors_;
  QColor exempt_;
  int size_ = 24;
  int current_ = -1;
  int perRow_ = 1;    // toggles per line
  int lineHeight_ = 0;
  int placed_ = -1;   // the count the lines were last laid out for
  QSize full_;
};

}  // namespace varnel
