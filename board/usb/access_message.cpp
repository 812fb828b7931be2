#include "board/usb/access_message.h"

#include <fmt/format.h>

namespace kx::board::usb {

std::string NoAccessMessage(const UsbBusAddress& at) {
  return fmt::format(
      "The evaluation board was found on USB bus {}, address {}, but this user may not open "
      "it.\n\n"
      "Install the udev rule {} that comes with the panel ({}), then unplug the board and plug "
      "it in again:\n"
      "    sudo cp {} {}\n"
      "    sudo udevadm control --reload-rules\n\n"
      "The panel carries on without a board.",
      at.bus, at.address, UdevRuleFileName, UdevRuleSource, UdevRuleSource, UdevRuleFolder);
}

}  // namespace kx::board::usb
