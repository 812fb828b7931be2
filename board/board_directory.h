#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/board_identity.h"
#include "board/board_model.h"

namespace kx::board {

// One board on the bus as a listing shows it, found without opening a link
// to it or changing it.
struct AttachedBoard {
  // Where it sits now; none for the simulated board, which has no bus.
  std::optional<std::uint8_t> bus;
  std::optional<std::uint8_t> address;
  bool running = false;  // its firmware runs; otherwise it waits for it
  UsbId loader_id;       // what it shows before the firmware
  UsbId running_id;      // and once the firmware runs
  // Its USB serial number string; none where it reports none or it could
  // not be read (`serial_problem` says why).
  std::optional<std::string> serial;
  std::string serial_problem;
};

struct AttachedBoards {
  std::vector<AttachedBoard> boards;
  std::string error;  // the bus could not be listed
};

// What a backend can tell about the boards, besides the link libraries'
// own calls: the boards attached, and the serial of the one it connected.
class BoardDirectory {
 public:
  virtual ~BoardDirectory() = default;
  virtual AttachedBoards Attached() = 0;
  // The serial of the board the latest Connect opened, where it reports one.
  virtual std::optional<std::string> ConnectedSerial() const = 0;
  // The name the user gave the board, for a board reporting no serial.
  virtual std::string BoardName() const { return {}; }

  BoardIdentity Identity() const { return {ConnectedSerial().value_or(""), BoardName()}; }
};

}  // namespace kx::board
