#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "board/board_model.h"
#include "board/sim/sim_settings.h"
#include "board/usb/usb_options.h"
#include "board_front.h"

namespace kx::testing {

struct ControlRecord {
  int device_number = 0;  // the board's address on the bus when it saw the request
  SetupPacket setup;
  std::vector<std::uint8_t> data;  // data stage of a host-to-device request
};

// A bus's timing, for a host that queues transfers: every control transfer
// holds the one control pipe for `bus` (transfers are served one after
// another, never overlapping), and its completion reaches the host `latency`
// after that. A URB is not reaped before its completion time.
struct BusTiming {
  std::chrono::microseconds bus{27};
  std::chrono::microseconds latency{100};
};

struct EmulatedBoardSetup {
  board::usb::UsbId loader = board::KX7312Board.loader_id;
  board::usb::UsbId running = board::KX7312Board.running_id;
  std::string firmware;  // the board's own image
  bool starts_running = false;
  // The USB serial number string it reports running its firmware, and while
  // its loader waits for the firmware; none: it reports none.
  std::optional<std::string> serial;
  std::optional<std::string> loader_serial;
  AdcReplyShape replies = AdcReplyShape::AsConverted;
  std::uint8_t bus = 1;
  std::uint8_t port = 2;
  int first_device_number = 5;
  board::sim::SimSettings chip;  // the simulated chip behind the firmware
};

// The evaluation board on an emulated USB bus: umockdev shows it to an
// unmodified libusb (sysfs entries with its descriptors, a device node) and
// this class answers the usbfs calls made on the node. Every appearance on
// the bus gets the next device number, as a real hub gives the next address;
// releasing the CPU after the board's own image was loaded makes it leave
// the bus and come back running the firmware. Several boards may be alive at
// once, each at its own port and device numbers. A test must run under
// umockdev-wrapper.
class EmulatedUsbBoard {
 public:
  explicit EmulatedUsbBoard(EmulatedBoardSetup setup);
  ~EmulatedUsbBoard();
  EmulatedUsbBoard(const EmulatedUsbBoard&) = delete;
  EmulatedUsbBoard& operator=(const EmulatedUsbBoard&) = delete;

  // True under umockdev's preload library; elsewhere libusb would see the
  // machine's real bus instead.
  static bool InMockEnvironment();

  void PlugIn();
  void Unplug();
  // Its device nodes, present and future, may not be opened by a thread
  // without the file-access override (see file_access.h).
  void DenyAccess(bool deny);
  // Takes every request and answers none, like a board whose firmware hangs.
  void SetUnresponsive(bool unresponsive);
  // Answers the next `answered` requests, then takes `count` without answer.
  void IgnoreRequests(int answered, int count);
  // Answers the next `answered` requests; the one after is taken, and the
  // board leaves the bus with it unanswered, as when its cable is pulled.
  void PullCableAfter(int answered);
  // Answers the next `answered` device-to-host requests in full; every one
  // after carries at most `bytes` bytes of data, though it asked for more,
  // as a firmware that cuts its answers short. A negative `bytes` answers in
  // full again.
  void ShortenReplies(int answered, int bytes);
  // Answers the next `answered` requests; the one after stalls without
  // reaching the chip, and the board then answers as before.
  void StallAfter(int answered);
  // Off (none) by default: URBs are then complete as soon as submitted.
  void SetBusTiming(std::optional<BusTiming> timing);
  // Delays each completion by a further 0 to `most`, drawn from `seed`, so
  // that transfers come back out of the order they were sent in; 0 turns it
  // off.
  void JitterCompletions(std::chrono::microseconds most, unsigned seed = 1);

  bool Present() const;
  board::usb::UsbBusAddress Address() const;  // 0:0 while off the bus
  int Appearances() const;
  bool Running() const;
  bool CpuHeld() const;
  std::vector<std::uint8_t> Memory(std::uint16_t address, std::size_t count) const;
  std::vector<ControlRecord> Controls() const;
  // URBs the host submitted and has not reaped, on every appearance.
  std::size_t Unreaped() const;
  // The most URBs unreaped at once since the last ClearControls.
  std::size_t MostUnreaped() const;
  // URBs reaped in another order than they were submitted in.
  int ReapedOutOfOrder() const;
  void ClearControls();

  template <typename Inspect>
  auto InspectChip(Inspect&& inspect) const {
    const std::lock_guard lock(StateMutex());
    return inspect(Front().Chip());
  }

 private:
  class Impl;
  std::mutex& StateMutex() const;
  const BoardFront& Front() const;

  std::unique_ptr<Impl> impl_;
};

}  // namespace kx::testing
