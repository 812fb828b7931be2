// The libusb backend's options: --usb-id, --usb-loader-id and --usb-bus.
// The input's first byte picks the option, the rest is its value.
//
// Promises checked on every input:
//  - a value or a reason naming the option, never both;
//  - an identifier comes exactly from two halves of 1 to 4 hex digits (each
//    may start with 0x) around a colon, and written back reads the same;
//  - a place is bus 1 to 255 and address 1 to 127, and written back reads
//    the same;
//  - applying an option changes only that option's setting, and a refused
//    value changes nothing.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "board/usb/usb_options.h"
#include "fuzz_check.h"

namespace {

namespace usb = kx::board::usb;
using kx::fuzz::Require;

bool IsIdHalf(std::string_view half) {
  if (half.size() >= 2 && half[0] == '0' && (half[1] == 'x' || half[1] == 'X')) {
    half.remove_prefix(2);
  }
  return !half.empty() && half.size() <= 4 &&
         std::all_of(half.begin(), half.end(), kx::fuzz::IsHexDigit);
}

bool SameOptions(const usb::UsbOptions& a, const usb::UsbOptions& b) {
  return a.running == b.running && a.loader == b.loader && a.bus_address == b.bus_address;
}

void CheckId(std::string_view text, std::string_view option) {
  const auto id = usb::ParseUsbId(text, option);
  Require(id.value.has_value() == id.error.empty(), "an identifier or a reason, not both");
  const std::size_t colon = text.find(':');
  const bool well_formed = colon != std::string_view::npos && IsIdHalf(text.substr(0, colon)) &&
                           IsIdHalf(text.substr(colon + 1));
  Require(id.value.has_value() == well_formed,
          "an identifier comes exactly from two halves of 1 to 4 hex digits");
  if (!id.value) {
    Require(id.error.find(option) != std::string::npos, "the reason names the option");
    return;
  }
  const auto again =
      usb::ParseUsbId(fmt::format("{:04x}:{:04X}", id.value->vendor, id.value->product));
  Require(again.value == id.value, "an identifier written back reads the same");
}

void CheckPlace(std::string_view text, std::string_view option) {
  const auto place = usb::ParseUsbBusAddress(text, option);
  Require(place.value.has_value() == place.error.empty(), "a place or a reason, not both");
  if (!place.value) {
    Require(place.error.find(option) != std::string::npos, "the reason names the option");
    return;
  }
  Require(place.value->bus >= 1 && place.value->address >= 1 && place.value->address <= 127,
          "the bus is 1 to 255 and the address 1 to 127");
  const auto again =
      usb::ParseUsbBusAddress(fmt::format("{}:{}", place.value->bus, place.value->address));
  Require(again.value == place.value, "a place written back reads the same");
}

void CheckApply(std::string_view option, std::string_view text) {
  usb::UsbOptions options;
  options.running = {0x1111, 0x2222};
  options.loader = {0x3333, 0x4444};
  const usb::UsbOptions before = options;
  const std::string error = usb::ApplyUsbOption(options, option, text);
  if (!error.empty()) {
    Require(SameOptions(options, before), "a refused value changes nothing");
    return;
  }
  Require(usb::IsUsbOption(option), "only the backend's options apply");
  usb::UsbOptions expected = before;
  if (option == usb::UsbBusOption) {
    expected.bus_address = usb::ParseUsbBusAddress(text).value;
  } else {
    (option == usb::UsbIdOption ? expected.running : expected.loader) =
        *usb::ParseUsbId(text).value;
  }
  Require(SameOptions(options, expected), "applying an option sets only that option");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  constexpr std::array<std::string_view, 4> kOptions = {usb::UsbIdOption, usb::UsbLoaderIdOption,
                                                        usb::UsbBusOption, "--usb-speed"};
  const std::string_view option = kOptions[data[0] % kOptions.size()];
  const std::string_view text = kx::fuzz::AsText(data + 1, size - 1);
  CheckId(text, option);
  CheckPlace(text, option);
  CheckApply(option, text);
  return 0;
}
