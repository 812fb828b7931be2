#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "scpi/scpi_error.h"

namespace kx::scpi {

// IEEE 488.2 Standard Event Status Register bits.
inline constexpr std::uint8_t OperationComplete = 0x01;
inline constexpr std::uint8_t QueryErrorBit = 0x04;
inline constexpr std::uint8_t DeviceErrorBit = 0x08;
inline constexpr std::uint8_t ExecutionErrorBit = 0x10;
inline constexpr std::uint8_t CommandErrorBit = 0x20;

// Status Byte bits.
inline constexpr std::uint8_t ErrorAvailable = 0x04;
inline constexpr std::uint8_t MessageAvailable = 0x10;
inline constexpr std::uint8_t EventSummary = 0x20;
inline constexpr std::uint8_t RequestService = 0x40;

// The error queue holds this many errors; a further one replaces the last
// with "Queue overflow", as SCPI wants.
inline constexpr std::size_t ErrorQueueSize = 20;

// The error queue and the status registers of one client. Each connection
// has its own, so that one client never reads another's errors; the board
// state they act on is shared.
class ClientStatus {
 public:
  // Queues the error and sets its event bit.
  void Push(const Error& error);
  // The oldest error, or "No error".
  Error Next();
  std::size_t Count() const { return errors_.size(); }

  // *CLS: the queue and the event register emptied; the enable masks stay.
  void Clear();
  // *ESR?: the event register, cleared by the reading.
  std::uint8_t TakeEvents();
  void SetEvent(std::uint8_t bit) { events_ |= bit; }
  // With `message_available` (a reply waits to be read) its MAV bit as
  // well, which the service request summarises like the others.
  std::uint8_t StatusByte(bool message_available = false) const;

  std::uint8_t event_enable = 0;    // *ESE
  std::uint8_t service_enable = 0;  // *SRE

 private:
  std::deque<Error> errors_;
  std::uint8_t events_ = 0;
};

}  // namespace kx::scpi
