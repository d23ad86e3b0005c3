// The texts of the track gestures of the pattern grid: the middle click on a column header (the
// track properties of a controller, NRPN or RPN track in the custom track dialog, a message with
// the track's facts for every other type) and the parameter split of that dialog.
//
// Threads: UI thread (pure functions without shared state, so safe from any thread).
#pragma once

#include <string>

namespace varnel {

// The message for a track without a properties dialog: "Track #" + grid column, CR LF,
// "Track type: " + (type + 1), CR LF, "Channel: " + (song channel + 1), CR LF.
std::string TrackInfoText(int gridColumn, int trackType, int channel);

// Whether the track type has a parameter edited in the custom track dialog (CC, NRPN, RPN).
bool HasTrackPropertiesDialog(int trackType);

// The custom track dialog's caption for a CC, NRPN or RPN track: adding ("Add Control Change
// track", "Add NRPN track", "Add RPN track") or editing ("Edit Control Change (CC) track
// properties", "Edit NRPN track properties", "Edit RPN track properties"); empty for other types.
std::string TrackDialogCaption(int trackType, bool editing);

// The dialog's two number fields: a CC track shows only the first (the controller); NRPN and
// RPN show the parameter's high and low 7 bits. An unset parameter (-1) gives 0.
struct TrackParamFields {
  int first = 0;
  int second = 0;
  bool secondShown = false;
};
TrackParamFields SplitTrackParam(int trackType, int param);

// The parameter stored when the dialog is closed with OK: first for CC, first x 128 + second
// for NRPN and RPN.
int JoinTrackParam(int trackType, int first, int second);

}  // namespace varnel
