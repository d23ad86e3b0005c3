// The General MIDI level 1 instrument names of the channel bar's program list.
#pragma once

#include <string>

namespace varnel {

extern const char* const ProgramNames[128];

// An entry of the program list: the number without leading zeros, ": " and the name ("0: Acoustic
// Grand Piano"); empty outside 0..127.
std::string ProgramListEntry(int program);

}  // namespace varnel
