#pragma once

#include <chrono>
#include <cstddef>

#include "board/link_batch.h"

struct libusb_context;
struct libusb_device_handle;

namespace kx::board::usb {

// Vendor requests to the device itself, each the request VendorIn sends (or,
// for the batch's writes, VendorOut without data), with up to `window` of them in flight at once on
// libusb's asynchronous interface, so the device's control pipe need not stand idle while a reply
// travels back. Replies are matched to their requests, not taken in the order they come back. The
// first failed request ends the batch: nothing more is submitted, the requests after it still in
// flight are cancelled, and every one is reaped before the call returns. Returns the requests made,
// up to and including the first failure; their statuses (bytes received, or a request status) and
// replies are filled as VendorIn fills them, and nothing of the requests after the failure is
// written. `window` 1 or less still runs one request at a time.
std::size_t VendorInQueued(libusb_context* context, libusb_device_handle* handle,
                           const InBatch& batch, int window, std::chrono::milliseconds timeout);

}  // namespace kx::board::usb
