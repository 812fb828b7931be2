#include "scpi/status.h"

namespace kx::scpi {

namespace {

// The event bit of an error's class: -1xx command, -2xx execution, -3xx
// device-specific, -4xx query errors.
std::uint8_t EventBitOf(int code) {
  if (code <= -100 && code > -200) {
    return CommandErrorBit;
  }
  if (code <= -200 && code > -300) {
    return ExecutionErrorBit;
  }
  if (code <= -400 && code > -500) {
    return QueryErrorBit;
  }
  return DeviceErrorBit;
}

}  // namespace

void ClientStatus::Push(const Error& error) {
  events_ |= EventBitOf(error.code);
  if (errors_.size() >= ErrorQueueSize) {
    errors_.back() = MakeError(QueueOverflow);
    return;
  }
  errors_.push_back(error);
}

Error ClientStatus::Next() {
  if (errors_.empty()) {
    return MakeError(NoError);
  }
  Error error = std::move(errors_.front());
  errors_.pop_front();
  return error;
}

void ClientStatus::Clear() {
  errors_.clear();
  events_ = 0;
}

std::uint8_t ClientStatus::TakeEvents() {
  const std::uint8_t events = events_;
  events_ = 0;
  return events;
}

std::uint8_t ClientStatus::StatusByte(bool message_available) const {
  std::uint8_t byte = message_available ? MessageAvailable : 0;
  if (!errors_.empty()) {
    byte |= ErrorAvailable;
  }
  if ((events_ & event_enable) != 0) {
    byte |= EventSummary;
  }
  if ((byte & service_enable) != 0) {
    byte |= RequestService;
  }
  return byte;
}

}  // namespace kx::scpi
