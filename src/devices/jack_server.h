// What Varnel needs to know about JACK beyond what its clients tell. libjack deletes the clients of
// a server that has stopped as soon as the process opens its next client, so a client whose server
// has gone must never be touched again, not even to close it: each JACK piece of this folder learns
// of the shutdown from a callback, and RtMidi's and FluidSynth's clients, which cannot, are watched
// by a client of Varnel's own (JackWatch).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace varnel {

// The server JACK clients made now connect to ($JACK_DEFAULT_SERVER, else "default").
std::string CurrentJackServer();

// True when the named server answers, and also where Varnel is built without JACK.
bool JackServerRunning(const std::string& server);

// For a client or an object holding one whose server has gone: never destroyed, and still
// reachable, so that leak checkers do not count it (libjack frees the client itself).
void KeepForever(void* object);

// Where devices tell that they have come or gone: a server stopped, a port vanished or appeared.
// Any thread; the handler must not block.
class DeviceNews {
 public:
  void SetHandler(std::function<void()> handler) {
    std::scoped_lock lock(mutex_);
    handler_ = std::move(handler);
  }
  void Tell() const {
    std::scoped_lock lock(mutex_);
    if (handler_) handler_();
  }

 private:
  mutable std::mutex mutex_;
  std::function<void()> handler_;
};

// A client of the current server with no ports, to learn when that server stops (and, while it
// runs, when ports come and go) for the JACK clients that cannot say so themselves. Null when no
// server runs or JACK is not built in.
class JackWatch {
 public:
  static std::unique_ptr<JackWatch> Open(std::shared_ptr<DeviceNews> news);
  ~JackWatch();  // closes the client, unless its server has gone
  JackWatch(const JackWatch&) = delete;
  JackWatch& operator=(const JackWatch&) = delete;

  bool ServerGone() const;  // any thread
  // Whether the server has a port of this full name (UI thread). False once the server has gone.
  bool HasPort(const std::string& name) const;

  struct Client;

 private:
  explicit JackWatch(std::unique_ptr<Client> client);
  std::unique_ptr<Client> client_;
};

}  // namespace varnel
