// make_songs OUT_FOLDER: writes the demo song and the five templates into OUT_FOLDER.
// The build runs it; the songs are never edited by hand.
#include "make_songs.h"

#include <exception>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Usage: make_songs OUT_FOLDER\n";
    return 2;
  }
  using namespace varnel::songs;
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << "make_songs: cannot make " << folder << ": " << error.message() << '\n';
    return 1;
  }
  const std::pair<const char*, void (*)(varnel::TVNSong&)> songs[] = {
      {"song73.vnl", BuildDemo},          {"template00.vnl", BuildBlank},
      {"template01.vnl", BuildSixteenWithVolume}, {"template02.vnl", BuildOrchestra},
      {"template03.vnl", BuildTrance},    {"template04.vnl", BuildStudio},
  };
  try {
    for (const auto& [name, build] : songs) {
      varnel::TVNSong song;
      build(song);
      if (!SaveSong(song, (folder / name).string())) return 1;
    }
  } catch (const std::exception& failure) {
    std::cerr << "make_songs: " << failure.what() << '\n';
    return 1;
  }
  return 0;
}
