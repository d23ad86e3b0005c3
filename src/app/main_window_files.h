// The naming rules of the file commands, shared with their tests.
#pragma once

#include <QString>

namespace varnel {

// The base name of the next version of a song: "tune" -> "tune_2", "tune_2" -> "tune_3",
// "my_song" -> "my_song_2".
QString NextVersionName(const QString& base);
// The first next version of the song file `path` (folder, base name, extension) that names no
// existing file.
QString NextVersionPath(const QString& path);

}  // namespace varnel
