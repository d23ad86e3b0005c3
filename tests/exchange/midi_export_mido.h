// Reading exported files with an independent parser: Debian's python3-mido. Only the system's
// /usr/bin/python3 finds Debian's module, whatever python3 comes first on the PATH.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/song_builders.h"

namespace varnel::test {

inline constexpr const char* MidoPython = "/usr/bin/python3";

inline bool MidoAvailable() {
  static const bool available =
      std::system((std::string(MidoPython) + " -c 'import mido' >/dev/null 2>&1 </dev/null").c_str()) == 0;
  return available;
}

// One line per message: "header TYPE DIVISION TRACKS" first, then "TRACK TICK TYPE FIELDS...".
// A file mido rejects makes the script fail with mido's error.
inline const char* MidoScript = R"(
import sys, mido
f = mido.MidiFile(sys.argv[1])
print('header', f.type, f.ticks_per_beat, len(f.tracks))
for i, track in enumerate(f.tracks):
    tick = 0
    for m in track:
        tick += m.time
        if m.type in ('note_on', 'note_off'): fields = (m.channel, m.note, m.velocity)
        elif m.type == 'control_change': fields = (m.channel, m.control, m.value)
        elif m.type == 'program_change': fields = (m.channel, m.program)
        elif m.type == 'pitchwheel': fields = (m.channel, m.pitch)
        elif m.type == 'set_tempo': fields = (m.tempo,)
        else: fields = ()
        print(i, tick, m.type, *fields)
)";

struct MidoRun {
  int exit = -1;
  std::vector<std::string> lines;  // standard output and error
};

inline MidoRun RunMido(const std::string& midiPath) {
  static const std::string script = [] {
    const std::string path = TempPath("mido_dump.py");
    const std::string text = MidoScript;
    WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    return path;
  }();
  MidoRun run;
  const std::string command = std::string(MidoPython) + " '" + script + "' '" + midiPath + "' 2>&1 </dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  std::string line;
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c != '\n') {
      line += char(c);
      continue;
    }
    run.lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) run.lines.push_back(line);
  const int status = pclose(pipe);
  run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

inline std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + '\n';
  return text;
}

// The message type of a line "TRACK TICK TYPE ...", or "" for the header.
inline std::string MidoType(const std::string& line) {
  const size_t first = line.find(' '), second = first == std::string::npos ? first : line.find(' ', first + 1);
  if (second == std::string::npos || line.rfind("header", 0) == 0) return "";
  const size_t end = line.find(' ', second + 1);
  return line.substr(second + 1, end == std::string::npos ? std::string::npos : end - second - 1);
}

// mido must accept the file as format 1 with division 384 and `tracks` tracks, and see exactly the
// given messages of the given types, in file order: by default the notes ("TRACK TICK note_on|
// note_off CHANNEL NOTE VELOCITY"). Skipped, with the reason, where the module is missing.
inline void ExpectMidoSees(const std::string& midiPath, int tracks, const std::vector<std::string>& expected,
                           const std::vector<std::string>& types = {"note_on", "note_off"}) {
  if (!MidoAvailable()) GTEST_SKIP() << MidoPython << " cannot import mido (./setup.sh installs python3-mido)";
  const MidoRun run = RunMido(midiPath);
  ASSERT_EQ(run.exit, 0) << "mido rejected " << midiPath << ":\n" << Joined(run.lines);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines[0], "header 1 384 " + std::to_string(tracks));
  std::vector<std::string> seen;
  for (const auto& line : run.lines)
    for (const auto& type : types)
      if (MidoType(line) == type) seen.push_back(line);
  EXPECT_EQ(Joined(seen), Joined(expected)) << "everything mido saw:\n" << Joined(run.lines);
}

}  // namespace varnel::test
