#pragma once

#include <string>
#include <string_view>

#include "board/usb/usb_options.h"

namespace kx::board::usb {

// The udev rule shipped with the panel that lets the logged-in user open the
// board, and where it is installed.
inline constexpr std::string_view UdevRuleFileName = "70-kx7312.rules";
inline constexpr std::string_view UdevRuleSource = "packaging/udev/70-kx7312.rules";
inline constexpr std::string_view UdevRuleFolder = "/etc/udev/rules.d/";

inline constexpr std::string_view NoAccessTitle = "KX7312";

// Shown once when a board is found but may not be opened: where it is, the
// rule file to install and how.
std::string NoAccessMessage(const UsbBusAddress& at);

}  // namespace kx::board::usb
