// The middle-click track message and the custom track dialog's captions and parameter fields.
#include "editing/track_info.h"

#include <gtest/gtest.h>

#include "song/song_types.h"

namespace varnel {
namespace {

TEST(TrackInfo, ThirdTrackNoteOnChannelZero_ShowsThreeLines) {
  EXPECT_EQ(TrackInfoText(3, ttNote, 0), "Track #3\r\nTrack type: 1\r\nChannel: 1\r\n");
  EXPECT_EQ(TrackInfoText(12, ttTempo, 15), "Track #12\r\nTrack type: 19\r\nChannel: 16\r\n");
}

TEST(TrackInfo, DialogCaptions_OnlyForParameterTracks) {
  EXPECT_EQ(TrackDialogCaption(ttControlChange, true), "Edit Control Change (CC) track properties");
  EXPECT_EQ(TrackDialogCaption(ttNRPN, true), "Edit NRPN track properties");
  EXPECT_EQ(TrackDialogCaption(ttRPN, true), "Edit RPN track properties");
  EXPECT_EQ(TrackDialogCaption(ttControlChange, false), "Add Control Change track");
  EXPECT_EQ(TrackDialogCaption(ttNRPN, false), "Add NRPN track");
  EXPECT_EQ(TrackDialogCaption(ttRPN, false), "Add RPN track");
  for (int type : {0, 1, 4, 13, 17, 18}) {
    EXPECT_EQ(TrackDialogCaption(type, true), "") << type;
    EXPECT_FALSE(HasTrackPropertiesDialog(type)) << type;
  }
  EXPECT_TRUE(HasTrackPropertiesDialog(ttNRPN));
}

TEST(TrackInfo, Parameters_SplitIntoTheFields_AndJoinBack) {
  const TrackParamFields cc = SplitTrackParam(ttControlChange, 74);
  EXPECT_EQ(cc.first, 74);
  EXPECT_FALSE(cc.secondShown);
  EXPECT_EQ(JoinTrackParam(ttControlChange, 74, 99), 74);

  const TrackParamFields nrpn = SplitTrackParam(ttNRPN, 0x163);
  EXPECT_EQ(nrpn.first, 2);
  EXPECT_EQ(nrpn.second, 99);
  EXPECT_TRUE(nrpn.secondShown);
  for (int param : {0, 127, 128, 0x163, 16383}) {
    const TrackParamFields f = SplitTrackParam(ttRPN, param);
    EXPECT_EQ(JoinTrackParam(ttRPN, f.first, f.second), param);
  }
  const TrackParamFields unset = SplitTrackParam(ttNRPN, -1);
  EXPECT_EQ(unset.first, 0);
  EXPECT_EQ(unset.second, 0);
}

}  // namespace
}  // namespace varnel
