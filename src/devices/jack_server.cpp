#include "devices/jack_server.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

#if defined(VARNEL_HAVE_JACK)
#include <jack/jack.h>

#include "devices/device_log.h"
#include "devices/jack_time.h"
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

#if defined(VARNEL_HAVE_JACK)

struct JackWatch::Client : JackClientWatch {
  jack_client_t* client = nullptr;
};

std::unique_ptr<JackWatch> JackWatch::Open(std::shared_ptr<DeviceNews> news) {
  QuietDeviceLibraries();
  auto c = std::make_unique<Client>();
  c->news = std::move(news);
  jack_status_t status{};
  c->client = jack_client_open("Varnel watch", jack_options_t(JackNoStartServer | JackServerName), &status,
                               CurrentJackServer().c_str());
  if (!c->client) return nullptr;
  c->Watch(c->client);
  if (jack_activate(c->client) != 0) {
    jack_client_close(c->client);
    return nullptr;
  }
  return std::unique_ptr<JackWatch>(new JackWatch(std::move(c)));
}

JackWatch::JackWatch(std::unique_ptr<Client> client) : client_(std::move(client)) {}

JackWatch::~JackWatch() {
  if (client_->dead) {
    // libjack deletes the client of a server that has gone, but its thread may still call back
    KeepForever(client_.release());
    return;
  }
  jack_deactivate(client_->client);
  jack_client_close(client_->client);
}

bool JackWatch::ServerGone() const { return client_->dead.load(); }

bool JackWatch::HasPort(const std::string& name) const {
  return !client_->dead && jack_port_by_name(client_->client, name.c_str()) != nullptr;
}

#else

struct JackWatch::Client {};
std::unique_ptr<JackWatch> JackWatch::Open(std::shared_ptr<DeviceNews>) { return nullptr; }
JackWatch::JackWatch(std::unique_ptr<Client> client) : client_(std::move(client)) {}
JackWatch::~JackWatch() = default;
bool JackWatch::ServerGone() const { return false; }
bool JackWatch::HasPort(const std::string&) const { return false; }

#endif

}  // namespace varnel
