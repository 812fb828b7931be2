#pragma once

#include <memory>
#include <string>

struct libusb_context;

namespace kx::board::usb {

// One libusb session, ended when the object goes.
class UsbContext {
 public:
  struct Created;
  // Never fails by throwing: a context, or why libusb could not start.
  static Created Create();

  libusb_context* Get() const { return context_.get(); }

 private:
  struct Exit {
    void operator()(libusb_context* context) const;
  };
  explicit UsbContext(libusb_context* context) : context_(context) {}

  std::unique_ptr<libusb_context, Exit> context_;
};

struct UsbContext::Created {
  std::unique_ptr<UsbContext> context;
  std::string error;
};

// "libusb could not be initialised: ..." with libusb's name and text for `code`.
std::string UsbInitFailureText(int code);

}  // namespace kx::board::usb
