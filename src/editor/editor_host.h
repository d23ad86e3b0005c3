// The contract between the editor frame and the main window that hosts it: the options that live
// in the main window's controls, and the actions of the main window the editor's keys and mouse
// gestures reach. UI thread only.
#pragma once

#include <string>

namespace varnel {

// Option values the editor reads; the main window keeps them current.
struct EditorOptions {
  int rowNumberFormat = 0;      // "Row Numbers": 0..4; 1 ("Hex") makes every number of the pattern grid hex
  int centring = 0;             // "Trying to centering editor": 0 "Always", 1 "When playing", 2 "Never"
  bool followNote = false;      // "Follow note / auto scrolling pattern"
  int spaceKeyAction = 0;       // "Space key action": 0 "Stop", 1 "Pause"
  bool autoShowPiano = false;   // "Auto show piano"
  int keyboardMode = 0;         // 0 two octaves (33 keys), 1 four octaves (48 keys)
  bool chordsLowerKeys = false;
  bool chordsUpperKeys = false;
  unsigned chordBoxes = 0x3;    // bit i: chord check box i + 1 of the chords dialog is checked
  // MIDI In ("InIgnoreVol", "InUseMinVol", "InMinVolValue"); both flags clear: velocities "as is".
  bool midiInIgnoreVelocity = false;
  bool midiInUseMinimumVelocity = false;
  int midiInMinimumVelocity = 30;
  int pianoBaseOctave = 2;      // the piano window's base octave, where the computer keyboard's notes lie
  bool HexDisplay() const { return rowNumberFormat == 1; }
};

class EditorHost {
 public:
  virtual ~EditorHost() = default;

  // The current channel changed to `channel` (channel bar and properties panel follow).
  virtual void UpdateChannelProps(int channel) = 0;
  virtual void PlayPause() = 0;
  virtual void StopPlayback() = 0;
  // After the play position was set by hand (row-number right click).
  virtual void UpdatePlayCounter() = 0;
  virtual void UpdatePlayRow() = 0;
  // A right click on a column header acts as a right click on that channel's toggle.
  virtual void ChannelToggleRightClick(int channel) = 0;
  // Number-pad + and -: the "Ptn." field steps by delta under its own rules; Enter in the order
  // grid sets it.
  virtual void StepPatternField(int delta) = 0;
  virtual void SetPatternField(int value) = 0;
  // Number-pad * and /: the channel panel's program list steps by delta and is applied.
  virtual void StepProgram(int delta) = 0;
  // The "&Pattern Editor" (1) and "Sequence Editor" (2) commands, with their check marks.
  virtual void ShowEditor(int grid) = 0;
  // The custom track dialog for a controller track's parameter; false when cancelled.
  virtual bool EditCustomTrack(const std::string& caption, bool showSecond, int& first, int& second) = 0;
  // The template frame's next step when its "Use in editor" box is checked; false otherwise.
  virtual bool TemplateStep(int& step) = 0;
  // The piano window shows a key pressed or released.
  virtual void PianoKey(int note, bool down) = 0;
};

}  // namespace varnel
