#include "board/usb/usb_context.h"

#include <fmt/format.h>
#include <libusb.h>

namespace kx::board::usb {

void UsbContext::Exit::operator()(libusb_context* context) const {
  libusb_exit(context);
}

UsbContext::Created UsbContext::Create() {
  libusb_context* context = nullptr;
  const int result = libusb_init(&context);
  Created created;
  if (result != LIBUSB_SUCCESS) {
    created.error = UsbInitFailureText(result);
    return created;
  }
  created.context.reset(new UsbContext(context));
  return created;
}

std::string UsbInitFailureText(int code) {
  return fmt::format("libusb could not be initialised: {} ({})", libusb_strerror(code),
                     libusb_error_name(code));
}

}  // namespace kx::board::usb
