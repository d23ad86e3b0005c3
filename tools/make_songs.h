// The songs shipped in Songs/: the demo song and the templates, each built from code.
#pragma once

#include "song_builder.h"

namespace varnel::songs {

void BuildDemo(TVNSong& song);               // song73.vnl
void BuildBlank(TVNSong& song);              // template00.vnl, "Blank"
void BuildSixteenWithVolume(TVNSong& song);  // template01.vnl, "16 channel + volume"
void BuildOrchestra(TVNSong& song);          // template02.vnl, "Orchestra"
void BuildTrance(TVNSong& song);             // template03.vnl, "Trance"
void BuildStudio(TVNSong& song);             // template04.vnl, "Studio"

}  // namespace varnel::songs
