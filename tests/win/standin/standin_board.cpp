#include "standin_board.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "board/sim/sim_settings.h"

namespace kx::standin {

namespace {

board::sim::SimSettings SettingsFromEnvironment() {
  const char* path = std::getenv("KX_STANDIN_SETTINGS");
  if (path == nullptr || *path == '\0') {
    return {};
  }
  board::sim::SimSettingsResult loaded = board::sim::LoadSimSettingsFile(path);
  if (!loaded.settings) {
    std::fprintf(stderr, "stand-in library: %s; the board is absent\n", loaded.error.c_str());
    board::sim::SimSettings absent;
    absent.present = false;
    return absent;
  }
  return *loaded.settings;
}

}  // namespace

board::sim::SimBoard& Board() {
  static board::sim::SimBoard board(SettingsFromEnvironment());
  return board;
}

}  // namespace kx::standin
