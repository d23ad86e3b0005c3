// TPianoForm: the piano window ("Piano"), an on-screen keyboard of all 128 MIDI notes. It shows
// the keys that are down (computer keyboard, mouse, MIDI input, the row being played), plays and
// enters notes with the mouse, labels the keys with the computer keys that play them, passes every
// key typed into it to the pattern grid, and docks into the main window's bottom dock area or
// floats above it. UI thread only.
#pragma once

#include <QDockWidget>
#include <QRect>
#include <array>

class QLabel;
class QMainWindow;
class QScrollArea;

namespace varnel {

class TPianoKeys;
class TVNFrame;
class TVNSong;

class TPianoForm : public QDockWidget {
  Q_OBJECT

 public:
  static constexpr int ZoomCount = 5;  // 50 %, 70 %, 100 %, 150 %, 200 %
  static constexpr int DefaultZoom = 2;
  static constexpr int DesignWidth = 1280;  // the floating window's width before the user sizes it
  // The keys shown whole down to this height; below it (a low screen, a high zoom) they scroll.
  static constexpr int LeastKeysHeight = 60;

  // `host` is the main window whose bottom dock area takes the piano.
  TPianoForm(TVNSong& song, TVNFrame& frame, QMainWindow& host);

  TPianoKeys* Keys() const { return keys_; }
  QLabel* ZoomLabel(int index) const;
  // The piano octave that the computer keyboard's note offset 0 falls on: piano key n sounds
  // n + 12 x (Octave - PianoBaseOctave).
  int PianoBaseOctave() const { return baseOctave_; }
  int PianoZoom() const { return zoom_; }

  void PressKey(int note);
  void ReleaseKey(int note);
  void ReleaseAllKeys();
  // Label i reads "C-" + (octave + i - PianoBaseOctave + 1), shown while that is 0..10.
  void SetOctaveLabels(int octave);
  // The white keys the computer keyboard reaches are white, the others a shade darker.
  void ColorKeyRange();
  // Captions of the computer keys on the piano keys they play ("Show hints on keyboard").
  void ShowHints(bool on);
  bool HintsShown() const { return hints_; }
  // After the keyboard mode changed: hints and key colours follow the other layout.
  void KeyboardModeChanged();
  // As if the zoom label of that index was clicked; other indexes are ignored.
  void SetZoom(int index);

  // "Docked piano": ApplyDocking docks or floats the window accordingly.
  void SetDockedOption(bool docked) { docked_ = docked; }
  // The scheme's piano colour behind the keys and under the zoom labels, and the labels' text.
  void SetSchemeColors(const QColor& background, const QColor& text);
  bool DockedOption() const { return docked_; }
  void ApplyDocking();
  // The bounds the window had when it last floated; empty before it ever floated.
  QRect FloatingGeometry() const { return floating_; }
  void SetFloatingGeometry(const QRect& bounds);

  // The mouse on key n, as the key widget reports it.
  void KeyMouseDown(int note);
  void KeyMouseUp(int note);

 signals:
  // The user closed the window (its close button): the "P&iano" check mark follows.
  void closedByUser();
  // The user dragged the window out of the dock area or back in: "Docked piano" follows.
  void dockedChanged(bool docked);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* zoomBar_ = nullptr;
  void FormKeyDown(QKeyEvent* event);
  void FormKeyUp(QKeyEvent* event);
  int KeyboardSpan() const;               // the highest note offset of the computer keyboard's layout
  int NoteKeyOf(QKeyEvent* event) const;  // the piano key a typed note key lights, -1 for none
  // The base octave from the zoom and the docked state; hints, colours and labels follow.
  void ApplyBaseOctave();
  void FitHeight();
  void RememberFloating();
  QRect DefaultFloatingGeometry() const;

  TVNSong& song_;
  TVNFrame& frame_;
  QMainWindow& host_;
  TPianoKeys* keys_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  std::array<QLabel*, ZoomCount> zoomLabels_{};
  int baseOctave_ = 2;
  int zoom_ = DefaultZoom;
  bool hints_ = false;
  bool docked_ = true;
  bool applying_ = false;  // ApplyDocking at work: the dock changes are not the user's
  QRect floating_;
  int mouseOffset_ = 0;  // the note offset the mouse sounded, ended with the same offset
  int mouseOctave_ = 0;  // the song's Octave then: the note ended is the note sounded
};

}  // namespace varnel
