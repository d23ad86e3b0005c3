// TAddFrame: the template frame ("  Add template"), a narrow panel at the right of the main window
// holding a rhythm template. Drawn with the mouse (left X, middle "-", right blank), picked from
// presets, loaded from the current track, stretched or squeezed; while "Use in editor" is checked
// the editor's cursor steps from X to X and drops note-offs on the "-" rows it passes.
// UI thread only.
#pragma once

#include <QWidget>

#include "editing/rhythm_template.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QToolButton;

namespace varnel {

class NumberField;
class TMyGrid2;
class TVNFrame;
class TVNSong;
class UserDialogs;

class TAddFrame : public QWidget {
  Q_OBJECT

 public:
  static constexpr int FrameWidth = 112;

  TAddFrame(TVNSong& song, TVNFrame& editor, UserDialogs& dialogs, QWidget* parent = nullptr);

  const RhythmTemplate& Template() const { return template_; }
  bool UseInEditor() const;
  void SetUseInEditor(bool on);

  // The step from pattern row `row` to the template's next X, placing its note-offs on the way;
  // -1 when the template has no X (nothing is placed then).
  int GetNextAdd(int row);
  // A note-off at this pattern row of the pattern grid's cursor track, if that is a note track.
  void NeedInsertNoteOff(int row);
  // Row heights and every cell's text again (fonts, hex mode, a new song).
  void Redraw();
  void SetRowHighlight(int rows);

  QSize sizeHint() const override;

  // The components, for the main window and tests.
  QWidget* Panel2;             // title strip; right click opens PopupMenu1
  QLabel* Title;               // "  Add template"
  QToolButton* SpeedButton1;   // "x"
  QComboBox* ComboBox1;        // presets
  TMyGrid2* Grid;
  NumberField* udLen;          // "Len."
  QCheckBox* chbUse;           // "Use in editor"
  QToolButton* Button1;        // "=>": load from the current track
  QToolButton* Button2;        // "Menu"
  QMenu* PopupMenu1;
  QAction* Expand2;
  QAction* Expand3;
  QAction* Shrink2;
  QAction* Shrink3;
  QAction* Shrink4;

 signals:
  // "x" was clicked: the frame is hidden and the main window unchecks its menu item.
  void closed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString GridGetText(int col, int row) const;
  void ShowLength();  // the field and the grid follow the template's length
  void udLenChange(int length);
  void ComboBox1Change(int index);
  void Button1Click();
  void ExpandClick(int factor);
  void ShrinkClick(int divisor);
  void SpeedButton1Click();
  bool PaintAt(QPoint pos);  // false when not over a template cell
  void ShowPopup();

  TVNSong& song_;
  TVNFrame& editor_;
  UserDialogs& dialogs_;
  RhythmTemplate template_;
  Qt::MouseButton paintButton_ = Qt::NoButton;
  bool painting_ = false;
  bool showingLength_ = false;
};

}  // namespace varnel
