#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board/intel_hex.h"
#include "board/sim/sim_board.h"

namespace kx::testing {

struct SetupPacket {
  std::uint8_t request_type = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;
};

// How the firmware hands over the converter's 16-bit word: as converted
// (code in bits 11-0, what KX7312 reads), or shifted left one bit (code in
// bits 12-1, what KX7312(version2) reads).
enum class AdcReplyShape { AsConverted, ShiftedLeftOne };

struct ControlOutcome {
  bool stall = false;
  int actual_length = 0;
  bool drop_off = false;  // the CPU was released: the board leaves the bus
};

// The board's USB function as endpoint 0 sees it: the microcontroller's
// built-in loader (request 0xA0 into its 64 KiB of memory, the CPU control
// register at 0xE600) and, once the firmware runs, the vendor requests of the
// firmware, answered by the simulated chip through its UsbBoardIo face.
class BoardFront {
 public:
  // `firmware_path`: the image this board accepts as its own firmware; it
  // starts only when memory holds exactly that image's bytes.
  BoardFront(std::string firmware_path, bool starts_running,
             AdcReplyShape replies = AdcReplyShape::AsConverted, board::sim::SimSettings chip = {});

  // One control transfer; `data` holds the data stage, `setup.length` bytes,
  // read for host to device and written for device to host.
  ControlOutcome Control(const SetupPacket& setup, std::uint8_t* data);

  // After the drop-off: starts the firmware if the loaded image is the
  // board's own. Returns whether the firmware now runs.
  bool StartCpu();

  bool Running() const { return running_; }
  bool CpuHeld() const { return cpu_held_; }
  std::vector<std::uint8_t> Memory(std::uint16_t address, std::size_t count) const;
  const board::sim::SimBoard& Chip() const { return chip_; }

 private:
  ControlOutcome Loader(const SetupPacket& setup, std::uint8_t* data);
  bool MemoryHoldsImage() const;

  std::string firmware_path_;
  board::HexImage image_;
  std::vector<std::uint8_t> memory_ = std::vector<std::uint8_t>(0x10000, 0);
  bool cpu_held_ = false;
  bool running_ = false;
  AdcReplyShape replies_;
  board::sim::SimBoard chip_;
};

}  // namespace kx::testing
