#include "board/usb/queued_control.h"

#include <libusb.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "board/usb/usb_status.h"
#include "board/usb/vendor_control.h"

namespace kx::board::usb {
namespace {

constexpr std::uint8_t kVendorFromDevice =
    static_cast<std::uint8_t>(unsigned{LIBUSB_ENDPOINT_IN} | unsigned{LIBUSB_REQUEST_TYPE_VENDOR} |
                              unsigned{LIBUSB_RECIPIENT_DEVICE});
constexpr std::uint8_t kVendorToDevice =
    static_cast<std::uint8_t>(unsigned{LIBUSB_ENDPOINT_OUT} | unsigned{LIBUSB_REQUEST_TYPE_VENDOR} |
                              unsigned{LIBUSB_RECIPIENT_DEVICE});

// How long one pass of the event loop may wait; every transfer has its own
// time-out, so this only bounds a wait that nothing would end otherwise.
constexpr timeval kEventWait{0, 100000};

// The libusb error a finished transfer would have given as a synchronous
// call, so both paths report the same statuses.
int LibusbErrorOf(libusb_transfer_status status) {
  switch (status) {
    case LIBUSB_TRANSFER_STALL:
      return LIBUSB_ERROR_PIPE;
    case LIBUSB_TRANSFER_TIMED_OUT:
      return LIBUSB_ERROR_TIMEOUT;
    case LIBUSB_TRANSFER_NO_DEVICE:
      return LIBUSB_ERROR_NO_DEVICE;
    default:
      return LIBUSB_ERROR_IO;
  }
}

struct Queue;

// One transfer of the window, reused for request after request.
struct Slot {
  Queue* queue = nullptr;
  libusb_transfer* transfer = nullptr;
  std::vector<std::uint8_t> buffer;  // setup packet, then the reply
  std::size_t word = 0;
  bool reads = true;  // false: a write, with no data stage
  bool busy = false;
};

struct Queue {
  const InBatch* batch = nullptr;
  std::size_t length = 0;
  std::vector<std::int16_t> statuses;  // per request, once finished
  std::vector<std::uint8_t> replies;   // staged until the batch's end is known
  std::optional<std::size_t> first_failed;
  int in_flight = 0;

  void Finished(std::size_t word, std::int16_t status) {
    statuses[word] = status;
    if (status < 0 && (!first_failed || word < *first_failed)) {
      first_failed = word;
    }
  }
};

void LIBUSB_CALL OnTransferDone(libusb_transfer* transfer) {
  auto& slot = *static_cast<Slot*>(transfer->user_data);
  Queue& queue = *slot.queue;
  slot.busy = false;
  --queue.in_flight;
  std::int16_t status = 0;
  if (transfer->status != LIBUSB_TRANSFER_COMPLETED) {
    status = RequestStatusFromLibusb(LibusbErrorOf(transfer->status));
  } else if (!slot.reads) {
    status = 0;  // as VendorOut: no bytes
  } else if (static_cast<std::size_t>(transfer->actual_length) < queue.length) {
    // As VendorIn: a short answer is no answer, and the caller's buffer
    // keeps what it held.
    status = RequestShortReply;
  } else {
    std::copy_n(libusb_control_transfer_get_data(transfer), queue.length,
                queue.replies.begin() + static_cast<std::ptrdiff_t>(slot.word * queue.length));
    status = static_cast<std::int16_t>(transfer->actual_length);
  }
  queue.Finished(slot.word, status);
}

// The window's transfers, freed only when none is in flight any more.
class Window {
 public:
  Window(Queue& queue, int size) : slots_(static_cast<std::size_t>(std::max(size, 1))) {
    for (Slot& slot : slots_) {
      slot.queue = &queue;
      slot.buffer.resize(LIBUSB_CONTROL_SETUP_SIZE + queue.length);
    }
  }
  ~Window() {
    for (Slot& slot : slots_) {
      libusb_free_transfer(slot.transfer);
    }
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // A free slot with its transfer allocated; none when all are busy or
  // libusb cannot allocate one.
  Slot* Free() {
    for (Slot& slot : slots_) {
      if (!slot.busy) {
        if (slot.transfer == nullptr) {
          slot.transfer = libusb_alloc_transfer(0);
        }
        return slot.transfer == nullptr ? nullptr : &slot;
      }
    }
    return nullptr;
  }

  // Cancels the transfers in flight for requests after `word`.
  void CancelAfter(std::size_t word) {
    for (Slot& slot : slots_) {
      if (slot.busy && slot.word > word) {
        // A transfer that finished meanwhile cannot be cancelled; its
        // callback still comes, and its result is dropped.
        libusb_cancel_transfer(slot.transfer);
      }
    }
  }

 private:
  std::vector<Slot> slots_;
};

}  // namespace

std::size_t VendorInQueued(libusb_context* context, libusb_device_handle* handle,
                           const InBatch& batch, int window, std::chrono::milliseconds timeout) {
  const std::size_t count = batch.fields.size();
  if (count == 0) {
    return 0;
  }
  Queue queue;
  queue.batch = &batch;
  queue.length = static_cast<std::size_t>(batch.length);
  queue.statuses.assign(count, 0);
  queue.replies.assign(batch.replies.begin(), batch.replies.end());
  Window slots(queue, window);
  const auto timeout_ms =
      static_cast<unsigned>(std::max<std::chrono::milliseconds::rep>(timeout.count(), 1));

  std::size_t next = 0;
  while (true) {
    while (!queue.first_failed && next < count) {
      Slot* slot = slots.Free();
      if (slot == nullptr) {
        if (queue.in_flight == 0) {
          queue.Finished(next++, RequestIoError);  // libusb could not allocate even one
        }
        break;
      }
      // The setup packet carries the low halves, as VendorIn and VendorOut
      // send them.
      const BatchRequest request = RequestOf(batch, next);
      libusb_fill_control_setup(slot->buffer.data(),
                                request.reads ? kVendorFromDevice : kVendorToDevice,
                                static_cast<std::uint8_t>(request.code),
                                static_cast<std::uint16_t>(batch.fields[next].value & 0xFFFF),
                                static_cast<std::uint16_t>(batch.fields[next].index & 0xFFFF),
                                static_cast<std::uint16_t>(request.reads ? queue.length : 0));
      libusb_fill_control_transfer(slot->transfer, handle, slot->buffer.data(), OnTransferDone,
                                   slot, timeout_ms);
      slot->word = next;
      slot->reads = request.reads;
      const int submitted = libusb_submit_transfer(slot->transfer);
      if (submitted != LIBUSB_SUCCESS) {
        queue.Finished(next++, RequestStatusFromLibusb(submitted));
        break;
      }
      slot->busy = true;
      ++queue.in_flight;
      ++next;
    }
    if (queue.in_flight == 0) {
      break;
    }
    if (queue.first_failed) {
      slots.CancelAfter(*queue.first_failed);
    }
    timeval wait = kEventWait;
    // An error here leaves the transfers in flight, and they may not be
    // freed before their callbacks: the loop goes on until all have come.
    libusb_handle_events_timeout_completed(context, &wait, nullptr);
  }

  const std::size_t made = queue.first_failed ? *queue.first_failed + 1 : count;
  std::copy_n(queue.statuses.begin(), made, batch.statuses.begin());
  std::copy_n(queue.replies.begin(), made * queue.length, batch.replies.begin());
  return made;
}

}  // namespace kx::board::usb
