// What Varnel needs to know about JACK beyond what RtMidi tells: RtMidi's JACK ports crash when
// they are closed after their server has gone, so a port first checks that its server still runs.
#pragma once

#include <string>

namespace varnel {

// The server JACK clients made now connect to ($JACK_DEFAULT_SERVER, else "default").
std::string CurrentJackServer();

// True when the named server answers, and also where Varnel is built without JACK.
bool JackServerRunning(const std::string& server);

// For an RtMidi object whose server has gone: never destroyed, and still reachable, so that leak
// checkers do not count it.
void KeepForever(void* object);

}  // namespace varnel
