// Where imported notes and releases go. The default rule fills the first free note cell of the
// channel; the experimental rule remembers the track each note sounds on, so that its release
// lands on the same track and a new note avoids tracks whose note still sounds.
#pragma once

#include <array>
#include <cstdint>

namespace varnel {

class TVNSong;

class ImportNotePlacer {
 public:
  ImportNotePlacer(TVNSong& song, bool experimental);

  // A note start or release on song channel channel (0..15), in the song's current pattern.
  void Start(int channel, int row, int note);
  void Release(int channel, int row, int note);
  // A pattern was appended: nothing sounds into it any more.
  void Forget();
  // Note starts that found no track (the song had all its tracks).
  int Dropped() const { return dropped_; }

 private:
  bool AddTrackAt(int index, int channel);
  void Assign(int channel, int note, int track);

  TVNSong& song_;
  bool experimental_;
  std::array<std::array<int16_t, 128>, 16> track_;  // the track a note sounds on, or -1
  std::array<int32_t, 257> users_;                  // note entries per track: in use when above 0
  int dropped_ = 0;
};

}  // namespace varnel
