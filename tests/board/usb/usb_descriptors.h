#pragma once

#include <cstdint>
#include <vector>

#include "board/usb/usb_options.h"

namespace kx::testing {

// The descriptors the emulated board shows in sysfs, as the kernel keeps them
// in its "descriptors" file: device, then its one configuration with one
// vendor-specific interface and no endpoints besides endpoint 0. A serial
// index of 0 reports no serial number.
std::vector<std::uint8_t> BoardDescriptors(board::usb::UsbId id, std::uint8_t serial_index = 0);

}  // namespace kx::testing
