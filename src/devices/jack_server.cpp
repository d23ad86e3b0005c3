#include "devices/jack_server.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#if defined(VARNEL_HAVE_JACK)
#include <jack/jack.h>
#endif

namespace varnel {

std::string CurrentJackServer() {
  const char* name = std::getenv("JACK_DEFAULT_SERVER");
  return name && *name ? name : "default";
}

bool JackServerRunning(const std::string& server) {
#if defined(VARNEL_HAVE_JACK)
  jack_status_t status{};
  jack_client_t* probe = jack_client_open("Varnel probe", jack_options_t(JackNoStartServer | JackServerName),
                                          &status, server.c_str());
  if (!probe) return false;
  jack_client_close(probe);
#else
  (void)server;
#endif
  return true;
}

void KeepForever(void* object) {
  static std::mutex mutex;
  static auto* kept = new std::vector<void*>;
  std::lock_guard lock(mutex);
  kept->push_back(object);
}

}  // namespace varnel
