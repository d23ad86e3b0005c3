// TAboutBox: the about box. It names the program and its version, the embedded synth and the
// SoundFont it plays with, the MIDI output in use, and the libraries Varnel is built on.
//
// Threads: UI thread.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;

namespace varnel {

struct AboutFacts {
  QString synthSoundFont;  // the SoundFont file the embedded synth loads; empty: none was found
  QString output;          // the MIDI output device in use
  bool synthIsOutput = true;
};

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  void SetFacts(const AboutFacts& facts);
  // What the box says, as plain text.
  QString Text() const;

  static QString Version();     // Varnel's
  static QString SynthName();   // the embedded synth and its library version
  static QString Libraries();   // one line per library: name and version

 private:
  QLabel* text_;
  QString plain_;
};

}  // namespace varnel
