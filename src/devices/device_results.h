// Result codes of a failed device open. The device layer shows them on the status bar as
// "Could not open midi out, rc = NN", so they stay small and keep their meaning across versions.
#pragma once

namespace varnel {

enum DeviceResult : int {
  DeviceOk = 0,
  DeviceOpenFailed = 1,   // the MIDI system refused to open or connect the port
  DeviceBadId = 2,        // no such device: the id is outside the last listing, or the port has gone
  DeviceAllocated = 4,    // Varnel's virtual port is already open
  DeviceNoDriver = 6,     // the device's MIDI system is not available (no ALSA sequencer, no JACK server)
  DeviceNoSoundFont = 10, // the embedded synth found no General MIDI SoundFont it could load
  DeviceNoAudio = 11,     // the embedded synth's audio output could not be started (no sound card)
  DeviceSynthFailed = 12, // the embedded synth itself could not be created
};

}  // namespace varnel
