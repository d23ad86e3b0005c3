#include "editing/track_info.h"

#include "song/song_types.h"

namespace varnel {

std::string TrackInfoText(int gridColumn, int trackType, int channel) {
  return "Track #" + std::to_string(gridColumn) + "\r\n" + "Track type: " + std::to_string(trackType + 1) + "\r\n" +
         "Channel: " + std::to_string(channel + 1) + "\r\n";
}

bool HasTrackPropertiesDialog(int trackType) {
  return trackType == ttControlChange || trackType == ttNRPN || trackType == ttRPN;
}

std::string TrackDialogCaption(int trackType, bool editing) {
  switch (trackType) {
    case ttControlChange:
      return editing ? "Edit Control Change (CC) track properties" : "Add Control Change track";
    case ttNRPN:
      return editing ? "Edit NRPN track properties" : "Add NRPN track";
    case ttRPN:
      return editing ? "Edit RPN track properties" : "Add RPN track";
    default:
      return {};
  }
}

TrackParamFields SplitTrackParam(int trackType, int param) {
  if (param < 0) param = 0;
  if (trackType == ttControlChange) return {param, 0, false};
  return {param / 128, param % 128, true};
}

int JoinTrackParam(int trackType, int first, int second) {
  return trackType == ttControlChange ? first : first * 128 + second;
}

}  // namespace varnel
