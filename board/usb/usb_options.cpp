#include "board/usb/usb_options.h"

#include <fmt/format.h>

#include <charconv>

namespace kx::board::usb {
namespace {

constexpr std::string_view kIdForm = "VID:PID in hexadecimal, such as 1234:7312";
constexpr std::string_view kBusForm = "BUS:ADDR in decimal, such as 1:5";

constexpr int kMaxBus = 255;
constexpr int kMaxAddress = 127;  // USB device addresses are 7 bits; 0 is never assigned
constexpr std::size_t kMaxIdDigits = 4;

template <typename T>
UsbOptionParse<T> Failure(std::string_view option, std::string_view text, std::string_view reason,
                          std::string_view form) {
  UsbOptionParse<T> result;
  result.error = fmt::format("invalid {} \"{}\": {} (expected {})", option, text, reason, form);
  return result;
}

// One half of VID:PID; an empty result is a number, otherwise the reason.
std::string ParseIdHalf(std::string_view text, std::string_view what, std::uint16_t& out) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  if (text.empty()) {
    return fmt::format("the {} is empty", what);
  }
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (end != text.data() + text.size()) {
    return fmt::format("the {} is not a hexadecimal number", what);
  }
  if (error != std::errc() || text.size() > kMaxIdDigits) {
    return fmt::format("the {} has more than 4 hexadecimal digits", what);
  }
  out = static_cast<std::uint16_t>(value);
  return {};
}

std::string ParseDecimalHalf(std::string_view text, std::string_view what, int low, int high,
                             int& out) {
  if (text.empty()) {
    return fmt::format("the {} is empty", what);
  }
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return fmt::format("the {} is not a decimal number", what);
    }
    if (value <= high) {  // stop growing once out of range, so long inputs cannot overflow
      value = value * 10 + (c - '0');
    }
  }
  if (value < low || value > high) {
    return fmt::format("the {} must be {} to {}", what, low, high);
  }
  out = value;
  return {};
}

}  // namespace

UsbOptionParse<UsbId> ParseUsbId(std::string_view text, std::string_view option) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    return Failure<UsbId>(option, text, "missing ':' between vendor and product id", kIdForm);
  }
  UsbId id;
  std::string problem = ParseIdHalf(text.substr(0, colon), "vendor id", id.vendor);
  if (problem.empty()) {
    problem = ParseIdHalf(text.substr(colon + 1), "product id", id.product);
  }
  if (!problem.empty()) {
    return Failure<UsbId>(option, text, problem, kIdForm);
  }
  return {id, {}};
}

UsbOptionParse<UsbBusAddress> ParseUsbBusAddress(std::string_view text, std::string_view option) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    return Failure<UsbBusAddress>(option, text, "missing ':' between bus and address", kBusForm);
  }
  int bus = 0;
  int address = 0;
  std::string problem = ParseDecimalHalf(text.substr(0, colon), "bus number", 1, kMaxBus, bus);
  if (problem.empty()) {
    problem = ParseDecimalHalf(text.substr(colon + 1), "address", 1, kMaxAddress, address);
  }
  if (!problem.empty()) {
    return Failure<UsbBusAddress>(option, text, problem, kBusForm);
  }
  return {UsbBusAddress{static_cast<std::uint8_t>(bus), static_cast<std::uint8_t>(address)}, {}};
}

UsbOptionParse<std::string> ParseUsbSerial(std::string_view text, std::string_view option) {
  const auto refuse = [&](std::string_view reason) {
    UsbOptionParse<std::string> result;
    std::string shown(text.substr(0, LongestUsbSerial + 1));
    for (char& c : shown) {
      c = c < ' ' || c > '~' ? '?' : c;
    }
    result.error = fmt::format(
        "invalid {} \"{}\": {} (expected the serial number as kx7312ctl "
        "list shows it)",
        option, shown, reason);
    return result;
  };
  if (text.empty()) {
    return refuse("it is empty");
  }
  if (text.size() > LongestUsbSerial) {
    return refuse(fmt::format("it is longer than {} characters", LongestUsbSerial));
  }
  for (const char c : text) {
    if (c < ' ' || c > '~') {
      return refuse("it holds a character other than printable ASCII");
    }
  }
  return {std::string(text), {}};
}

bool IsUsbOption(std::string_view option) {
  return option == UsbIdOption || option == UsbLoaderIdOption || option == UsbBusOption ||
         option == UsbSerialOption;
}

std::string ApplyUsbOption(UsbOptions& options, std::string_view option, std::string_view text) {
  if (option == UsbIdOption || option == UsbLoaderIdOption) {
    UsbOptionParse<UsbId> id = ParseUsbId(text, option);
    if (id.value) {
      (option == UsbIdOption ? options.running : options.loader) = *id.value;
    }
    return id.error;
  }
  if (option == UsbBusOption) {
    UsbOptionParse<UsbBusAddress> place = ParseUsbBusAddress(text, option);
    if (place.value) {
      options.bus_address = place.value;
    }
    return place.error;
  }
  if (option == UsbSerialOption) {
    UsbOptionParse<std::string> serial = ParseUsbSerial(text, option);
    if (serial.value) {
      options.serial = std::move(serial.value);
    }
    return serial.error;
  }
  return fmt::format("unknown USB option {}", option);
}

}  // namespace kx::board::usb
