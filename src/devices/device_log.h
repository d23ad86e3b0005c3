// The device libraries talk on stderr when a MIDI or audio system is missing, which is normal on
// many machines and is reported through result codes instead. Their diagnostics go to the trace.
#pragma once

#include <iosfwd>
#include <memory>
#include <mutex>
#include <sstream>

namespace varnel {

// Installs trace handlers for ALSA, JACK and FluidSynth messages. Safe to call any number of times.
void QuietDeviceLibraries();

// While alive, text written to std::cerr (RtMidi's messages before an error callback can be set)
// is collected and then traced. One capture at a time across the process.
class CerrCapture {
 public:
  CerrCapture();
  ~CerrCapture();
  CerrCapture(const CerrCapture&) = delete;
  CerrCapture& operator=(const CerrCapture&) = delete;

 private:
  std::unique_lock<std::mutex> lock_;
  std::ostringstream text_;
  std::streambuf* saved_;
};

// While alive, GLib messages without a log domain (libinstpatch's, when FluidSynth's DLS loader
// is handed a damaged file) are traced instead of printed.
class GlibLogCapture {
 public:
  GlibLogCapture();
  ~GlibLogCapture();
  GlibLogCapture(const GlibLogCapture&) = delete;
  GlibLogCapture& operator=(const GlibLogCapture&) = delete;

 private:
  unsigned id_ = 0;
};

}  // namespace varnel
