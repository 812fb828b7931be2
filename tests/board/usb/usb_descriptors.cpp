#include "usb_descriptors.h"

namespace kx::testing {
namespace {

constexpr std::uint8_t kVendorClass = 0xFF;
constexpr std::uint8_t kMaxPacket0 = 64;

std::uint8_t Low(std::uint16_t value) {
  return static_cast<std::uint8_t>(value & 0xFFU);
}
std::uint8_t High(std::uint16_t value) {
  return static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

std::vector<std::uint8_t> BoardDescriptors(board::usb::UsbId id, std::uint8_t serial_index) {
  return {// device: USB 2.0, vendor class, one configuration
          18, 0x01, 0x00, 0x02, kVendorClass, kVendorClass, kVendorClass, kMaxPacket0,
          Low(id.vendor), High(id.vendor), Low(id.product), High(id.product), 0x01, 0x00, 0, 0,
          serial_index, 1,
          // configuration 1: 18 bytes in all, one interface, bus powered, 100 mA
          9, 0x02, 18, 0, 1, 1, 0, 0x80, 50,
          // interface 0: vendor specific, no endpoints
          9, 0x04, 0, 0, 0, kVendorClass, kVendorClass, kVendorClass, 0};
}

}  // namespace kx::testing
