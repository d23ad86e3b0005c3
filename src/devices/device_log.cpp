#include "devices/device_log.h"

#include <fluidsynth.h>

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <string>

#if defined(__linux__)
#include <dlfcn.h>
#endif

#include "song/reporter.h"

namespace varnel {
namespace {

std::mutex cerrMutex;

void TraceFluid(int level, const char* message, void*) {
  static const char* const names[] = {"panic", "error", "warning", "info", "debug"};
  Trace("FluidSynth ", level >= 0 && level <= 4 ? names[level] : "?", ": ", message ? message : "");
}

#if defined(__linux__)
// Both libraries are loaded with RtMidi and FluidSynth; looking the setters up at run time keeps
// them out of the link line and does nothing where they are absent.
void TraceJack(const char* message) { Trace("JACK: ", message ? message : ""); }

void TraceAlsa(const char* file, int line, const char* function, int err, const char* format, ...) {
  if (!TraceEnabled()) return;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Trace("ALSA lib ", file ? file : "", ":", line, " (", function ? function : "", ") ", text,
        err ? " err " : "", err ? std::to_string(err) : "");
}

void TraceGlib(const char*, int, const char* message, void*) { Trace("GLib: ", message ? message : ""); }

using GlibHandler = void (*)(const char*, int, const char*, void*);
using GlibSetHandler = unsigned (*)(const char*, int, GlibHandler, void*);
using GlibRemoveHandler = void (*)(const char*, unsigned);
constexpr int GlibAllLevels = 0xFC;  // G_LOG_LEVEL_ERROR .. G_LOG_LEVEL_DEBUG

void QuietSystemLibraries() {
  using JackSetter = void (*)(void (*)(const char*));
  for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
    if (auto set = reinterpret_cast<JackSetter>(dlsym(RTLD_DEFAULT, name))) set(TraceJack);
  }
  using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
  using AlsaSetter = int (*)(AlsaHandler);
  if (auto set = reinterpret_cast<AlsaSetter>(dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))) set(TraceAlsa);
}
#else
void QuietSystemLibraries() {}
#endif

}  // namespace

#if defined(__linux__)
GlibLogCapture::GlibLogCapture() {
  if (auto set = reinterpret_cast<GlibSetHandler>(dlsym(RTLD_DEFAULT, "g_log_set_handler")))
    id_ = set(nullptr, GlibAllLevels, TraceGlib, nullptr);
}

GlibLogCapture::~GlibLogCapture() {
  if (!id_) return;
  if (auto remove = reinterpret_cast<GlibRemoveHandler>(dlsym(RTLD_DEFAULT, "g_log_remove_handler"))) remove(nullptr, id_);
}
#else
GlibLogCapture::GlibLogCapture() {}
GlibLogCapture::~GlibLogCapture() {}
#endif

void QuietDeviceLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
      fluid_set_log_function(level, TraceFluid, nullptr);
    QuietSystemLibraries();
  });
}

CerrCapture::CerrCapture() : lock_(cerrMutex), saved_(std::cerr.rdbuf(text_.rdbuf())) {}

CerrCapture::~CerrCapture() {
  std::cerr.rdbuf(saved_);
  std::string text = text_.str();
  while (!text.empty() && (text.back() == '\n' || text.front() == '\n')) {
    if (text.back() == '\n') text.pop_back();
    else text.erase(0, 1);
  }
  if (!text.empty()) Trace("RtMidi: ", text);
}

}  // namespace varnel
