// TChordsForm: the chords dialog ("Chords settings"). Its first seven boxes choose the notes a
// chord key adds above the note played; the editor reads them whenever a chord is played or
// entered, so a change acts at once. UI thread only.
#pragma once

#include <QDialog>
#include <array>

class QCheckBox;
class QPushButton;

namespace varnel {

class TChordsForm : public QDialog {
  Q_OBJECT

 public:
  explicit TChordsForm(QWidget* parent = nullptr);

  // Bit i: box i + 1 is checked (boxes 1..7).
  unsigned Boxes() const;
  void SetBoxes(unsigned boxes);

  std::array<QCheckBox*, 8> CheckBoxes;  // CheckBox1..CheckBox8; the eighth is hidden and unused
  QPushButton* OkButton;

 signals:
  void boxesChanged(unsigned boxes);
};

}  // namespace varnel
