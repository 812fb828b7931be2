#include "emulated_usb_board.h"

// clang-format off
#include <sys/ioctl.h>  // before the usbfs header, whose ioctl numbers need it
#include <linux/usbdevice_fs.h>
// clang-format on
#include <fmt/format.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>

#include "usb_descriptors.h"

namespace kx::testing {
namespace {

constexpr std::size_t kSetupBytes = 8;
constexpr std::uint8_t kSerialIndex = 3;  // iSerialNumber, where the board reports one
// Between the CPU's start and the board leaving the bus, and between leaving
// and coming back: short, but long enough that the host sees both steps.
constexpr std::chrono::milliseconds kDropOffDelay{1};
constexpr std::chrono::milliseconds kReturnDelay{5};

// umockdev points the whole process at one test bed at a time: the boards
// alive at once share it, each at a port of its own.
struct SharedBed {
  std::mutex mutex;  // around every change to the bus
  UMockdevTestbed* testbed = umockdev_testbed_new();
  std::string root;
  std::set<std::pair<int, int>> places;  // bus and port of every board alive

  SharedBed() {
    gchar* dir = umockdev_testbed_get_root_dir(testbed);
    root = dir;
    g_free(dir);
  }
  ~SharedBed() { g_object_unref(testbed); }
  SharedBed(const SharedBed&) = delete;
  SharedBed& operator=(const SharedBed&) = delete;
};

std::shared_ptr<SharedBed> JoinBed(int bus, int port) {
  static std::mutex guard;
  static std::weak_ptr<SharedBed> alive;
  const std::lock_guard lock(guard);
  std::shared_ptr<SharedBed> bed = alive.lock();
  if (!bed) {
    bed = std::make_shared<SharedBed>();
    alive = bed;
  }
  const std::lock_guard bus_lock(bed->mutex);
  if (!bed->places.insert({bus, port}).second) {
    throw std::logic_error(fmt::format("two emulated USB boards at bus {} port {}", bus, port));
  }
  return bed;
}

// A string descriptor: its length, type 3, then UTF-16LE, as a board's USB
// core answers GET_DESCRIPTOR; index 0 holds the one language, US English.
std::vector<std::uint8_t> StringDescriptor(int index, const std::string& text) {
  if (index == 0) {
    return {4, 0x03, 0x09, 0x04};
  }
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(2 + 2 * text.size()), 0x03};
  for (const char c : text) {
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), 0});
  }
  return bytes;
}

std::uint16_t Little16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

// The test bed hands out data blocks with a reference the caller owns.
struct DataRef {
  UMockdevIoctlData* data = nullptr;
  explicit DataRef(UMockdevIoctlData* taken) : data(taken) {}
  ~DataRef() {
    if (data != nullptr) {
      g_object_unref(data);
    }
  }
  DataRef(const DataRef&) = delete;
  DataRef& operator=(const DataRef&) = delete;
  UMockdevIoctlData* Release() { return std::exchange(data, nullptr); }
};

usbdevfs_urb& UrbOf(UMockdevIoctlData* data) {
  return *reinterpret_cast<usbdevfs_urb*>(data->data);
}

}  // namespace

using Clock = std::chrono::steady_clock;

// A URB the host submitted and has not reaped, with the time from which a
// reap finds it and its place in the order of submission.
struct Pending {
  UMockdevIoctlData* data = nullptr;
  Clock::time_point due;
  std::uint64_t sequence = 0;
};

class EmulatedUsbBoard::Impl {
 public:
  // One appearance of the board on the bus: its own device number and node,
  // and the URBs submitted through that node.
  struct Appearance {
    Impl* owner = nullptr;
    int number = 0;
    std::string node;
    UMockdevIoctlBase* handler = nullptr;
    bool gone = false;
    bool cable_pulled = false;     // nothing submitted from now on reaches the board
    std::deque<Pending> done;      // answered, reaped once due
    std::vector<Pending> waiting;  // taken, never answered
  };

  explicit Impl(EmulatedBoardSetup setup);
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  void Appear();
  void Leave();
  void DenyAccess(bool deny);
  // Runs on umockdev's ioctl thread.
  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer user);

  EmulatedBoardSetup setup;
  mutable std::mutex mutex;  // everything below up to the test bed; the ioctl thread takes it
  BoardFront front;
  std::vector<std::unique_ptr<Appearance>> appearances;  // kept for the handlers' lifetime
  Appearance* current = nullptr;
  int next_number = 0;
  int appearance_count = 0;
  bool unresponsive = false;
  int answer_before_ignoring = 0;
  int ignore_count = 0;
  int pull_cable_after = -1;   // requests still answered before the cable is pulled; -1: never
  int full_replies_left = 0;   // device-to-host answers still given in full
  int short_reply_bytes = -1;  // the most data an answer carries after those; -1: all of it
  bool deny_access = false;
  int stall_after = -1;  // requests still answered before one stalls; -1: none
  std::optional<BusTiming> timing;
  Clock::time_point pipe_free;  // when the control pipe has served every URB taken so far
  std::chrono::microseconds jitter_most{0};
  std::uint32_t jitter_state = 1;
  std::uint64_t next_sequence = 0;
  std::uint64_t latest_reaped = 0;  // sequence + 1 of the newest URB reaped; 0: none yet
  int reaped_out_of_order = 0;
  std::size_t most_unreaped = 0;
  std::vector<ControlRecord> controls;

  std::size_t UnreapedLocked() const;

 private:
  gboolean Handle(Appearance& appearance, UMockdevIoctlClient* client);
  void Submit(Appearance& appearance, UMockdevIoctlData* arg, UMockdevIoctlClient* client);
  void Reap(Appearance& appearance, UMockdevIoctlData* arg, UMockdevIoctlClient* client);
  void Discard(Appearance& appearance, UMockdevIoctlData* arg, UMockdevIoctlClient* client);
  void HubLoop();
  std::string SysPath() const;
  void ApplyAccess(const std::string& node, bool deny) const;
  std::filesystem::path InRoot(const std::string& path) const;

  // The serial this appearance reports: the running board's or the
  // loader's; none for neither.
  const std::optional<std::string>& Serial() const;
  // A standard GET_DESCRIPTOR of a string, answered by the USB core whatever
  // the firmware does; false for any other request.
  bool AnswerStringDescriptor(const SetupPacket& packet, std::uint8_t* stage, usbdevfs_urb& urb);

  // Its mutex is taken before `mutex`, around every change to the bus from
  // the test thread or the hub thread; umockdev is never called with `mutex`
  // held, since the ioctl thread may be waiting for it.
  std::shared_ptr<SharedBed> bed;
  UMockdevTestbed* testbed = nullptr;
  std::string root;

  std::condition_variable hub_wake;
  bool hub_stop = false;
  bool hub_reenumerate = false;
  bool hub_unplug = false;
  std::thread hub;
};

EmulatedUsbBoard::Impl::Impl(EmulatedBoardSetup board_setup)
    : setup(std::move(board_setup)),
      front(setup.firmware, setup.starts_running, setup.replies, setup.chip),
      next_number(setup.first_device_number),
      bed(JoinBed(setup.bus, setup.port)),
      testbed(bed->testbed),
      root(bed->root) {
  hub = std::thread([this] { HubLoop(); });
}

EmulatedUsbBoard::Impl::~Impl() {
  {
    const std::lock_guard lock(mutex);
    hub_stop = true;
  }
  hub_wake.notify_all();
  hub.join();
  // The bed may outlive this board: its device and nodes go with it.
  Leave();
  {
    const std::lock_guard lock(bed->mutex);
    for (const auto& appearance : appearances) {
      umockdev_testbed_detach_ioctl(testbed, appearance->node.c_str(), nullptr);
      g_object_unref(appearance->handler);
    }
    bed->places.erase({setup.bus, setup.port});
  }
  for (const auto& appearance : appearances) {
    for (const Pending& pending : appearance->done) {
      g_object_unref(pending.data);
    }
    for (const Pending& pending : appearance->waiting) {
      g_object_unref(pending.data);
    }
  }
}

std::string EmulatedUsbBoard::Impl::SysPath() const {
  return fmt::format("/sys/devices/usb{}/{}-{}", setup.bus, setup.bus, setup.port);
}

std::filesystem::path EmulatedUsbBoard::Impl::InRoot(const std::string& path) const {
  return std::filesystem::path(root) / path.substr(1);
}

gboolean EmulatedUsbBoard::Impl::OnIoctl(UMockdevIoctlBase* /*handler*/,
                                         UMockdevIoctlClient* client, gpointer user) {
  auto* appearance = static_cast<Appearance*>(user);
  return appearance->owner->Handle(*appearance, client);
}

void EmulatedUsbBoard::Impl::Appear() {
  // Held throughout, so a test's Unplug never falls between the steps of
  // the hub thread bringing the board back.
  const std::lock_guard bus(bed->mutex);
  Appearance* appearance = nullptr;
  board::usb::UsbId id;
  bool deny = false;
  {
    const std::lock_guard lock(mutex);
    auto owned = std::make_unique<Appearance>();
    owned->owner = this;
    owned->number = next_number++;
    owned->node = fmt::format("/dev/bus/usb/{:03}/{:03}", setup.bus, owned->number);
    appearance = owned.get();
    appearances.push_back(std::move(owned));
    // Counted before the host can see it, so a test never sees the host
    // ahead of the count.
    current = appearance;
    ++appearance_count;
    id = front.Running() ? setup.running : setup.loader;
    deny = deny_access;
  }
  const std::string sys_path = SysPath();

  // The descriptors and the node are in place before the device is added:
  // libusb reads them as soon as the "add" event arrives, and umockdev would
  // write them only after sending it.
  const std::vector<std::uint8_t> descriptors = BoardDescriptors(id, Serial() ? kSerialIndex : 0);
  std::filesystem::create_directories(InRoot(sys_path));
  std::ofstream(InRoot(sys_path) / "descriptors", std::ios::binary)
      .write(reinterpret_cast<const char*>(descriptors.data()),
             static_cast<std::streamsize>(descriptors.size()));
  const std::filesystem::path node = InRoot(appearance->node);
  std::filesystem::create_directories(node.parent_path());
  std::ofstream created(node);  // an empty device node
  ApplyAccess(appearance->node, deny);

  appearance->handler = umockdev_ioctl_base_new();
  g_signal_connect(appearance->handler, "handle-ioctl", G_CALLBACK(OnIoctl), appearance);

  const std::string number = std::to_string(appearance->number);
  const std::string number3 = fmt::format("{:03}", appearance->number);
  const std::string bus3 = fmt::format("{:03}", setup.bus);
  const std::string bus_text = std::to_string(setup.bus) + "\n";
  const std::string number_text = number + "\n";
  const std::string vendor = fmt::format("{:04x}\n", id.vendor);
  const std::string product = fmt::format("{:04x}\n", id.product);
  {
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed, appearance->node.c_str(), appearance->handler,
                                       &error)) {
      const std::string message = error != nullptr ? error->message : "unknown";
      g_clear_error(&error);
      throw std::runtime_error("cannot emulate " + appearance->node + ": " + message);
    }
    gchar* added = umockdev_testbed_add_device(
        testbed, "usb", sys_path.substr(std::string_view("/sys/devices/").size()).c_str(), nullptr,
        // sysfs attributes
        "busnum", bus_text.c_str(), "devnum", number_text.c_str(), "speed", "480\n",
        "bConfigurationValue", "1\n", "idVendor", vendor.c_str(), "idProduct", product.c_str(),
        nullptr,
        // udev properties
        "DEVNAME", appearance->node.c_str(), "DEVTYPE", "usb_device", "DRIVER", "usb", "BUSNUM",
        bus3.c_str(), "DEVNUM", number3.c_str(), nullptr);
    g_free(added);
  }
}

void EmulatedUsbBoard::Impl::Leave() {
  const std::lock_guard bus(bed->mutex);
  {
    const std::lock_guard lock(mutex);
    if (current == nullptr) {
      return;
    }
    current->gone = true;
    // Whatever was still in flight ends the way the kernel ends it.
    const Clock::time_point now = Clock::now();
    for (Pending& pending : current->done) {
      if (pending.due > now) {
        UrbOf(pending.data).status = -ESHUTDOWN;
        UrbOf(pending.data).actual_length = 0;
        pending.due = now;
      }
    }
    for (Pending& pending : current->waiting) {
      UrbOf(pending.data).status = -ESHUTDOWN;
      pending.due = now;
      current->done.push_back(pending);
    }
    current->waiting.clear();
    current = nullptr;
  }
  const std::string sys_path = SysPath();
  // The event goes first: umockdev cannot send it for a device it has removed.
  umockdev_testbed_uevent(testbed, sys_path.c_str(), "remove");
  umockdev_testbed_remove_device(testbed, sys_path.c_str());
}

void EmulatedUsbBoard::Impl::DenyAccess(bool deny) {
  std::string node;
  {
    const std::lock_guard lock(mutex);
    deny_access = deny;
    if (current != nullptr) {
      node = current->node;
    }
  }
  if (!node.empty()) {
    ApplyAccess(node, deny);
  }
}

void EmulatedUsbBoard::Impl::ApplyAccess(const std::string& node, bool deny) const {
  using std::filesystem::perms;
  std::filesystem::permissions(InRoot(node), deny ? perms::none
                                                  : perms::owner_read | perms::owner_write |
                                                        perms::group_read | perms::others_read);
}

void EmulatedUsbBoard::Impl::HubLoop() {
  std::unique_lock lock(mutex);
  while (true) {
    hub_wake.wait(lock, [this] { return hub_stop || hub_reenumerate || hub_unplug; });
    if (hub_stop) {
      return;
    }
    if (std::exchange(hub_unplug, false)) {
      lock.unlock();
      Leave();
      lock.lock();
      continue;
    }
    hub_reenumerate = false;
    lock.unlock();
    std::this_thread::sleep_for(kDropOffDelay);
    Leave();
    std::this_thread::sleep_for(kReturnDelay);
    {
      const std::lock_guard started(mutex);
      front.StartCpu();
    }
    Appear();
    lock.lock();
  }
}

gboolean EmulatedUsbBoard::Impl::Handle(Appearance& appearance, UMockdevIoctlClient* client) {
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  const std::lock_guard lock(mutex);

  // A device that left the bus still has its reaped results to give back;
  // everything else fails as on an unplugged device.
  const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
  if (appearance.gone && !(reap && !appearance.done.empty())) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return TRUE;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      const DataRef caps(umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr));
      const guint32 value = USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      std::memcpy(caps.data->data, &value, sizeof(value));
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    case USBDEVFS_IOCTL:
    case USBDEVFS_GETDRIVER:
      // No kernel driver is bound to the board.
      umockdev_ioctl_client_complete(client, -1, ENODATA);
      return TRUE;
    case USBDEVFS_SUBMITURB:
      Submit(appearance, arg, client);
      return TRUE;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      Reap(appearance, arg, client);
      return TRUE;
    case USBDEVFS_DISCARDURB:
      Discard(appearance, arg, client);
      return TRUE;
    default:
      umockdev_ioctl_client_complete(client, -1, ENOTTY);
      return TRUE;
  }
}

void EmulatedUsbBoard::Impl::Submit(Appearance& appearance, UMockdevIoctlData* arg,
                                    UMockdevIoctlClient* client) {
  DataRef urb_data(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr));
  usbdevfs_urb& urb = UrbOf(urb_data.data);
  if (urb.type != USBDEVFS_URB_TYPE_CONTROL || urb.buffer_length < static_cast<int>(kSetupBytes)) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return;
  }
  const DataRef buffer(umockdev_ioctl_data_resolve(urb_data.data, offsetof(usbdevfs_urb, buffer),
                                                   static_cast<gsize>(urb.buffer_length), nullptr));
  std::uint8_t* bytes = buffer.data->data;
  SetupPacket packet{bytes[0], bytes[1], Little16(bytes + 2), Little16(bytes + 4),
                     Little16(bytes + 6)};
  packet.length = static_cast<std::uint16_t>(
      std::min<int>(packet.length, urb.buffer_length - static_cast<int>(kSetupBytes)));
  std::uint8_t* stage = bytes + kSetupBytes;
  if (!appearance.cable_pulled && AnswerStringDescriptor(packet, stage, urb)) {
    appearance.done.push_back({urb_data.Release(), Clock::now(), next_sequence++});
    umockdev_ioctl_client_complete(client, 0, 0);
    return;
  }

  // Once the cable is out, later requests never reach the board.
  if (!appearance.cable_pulled) {
    ControlRecord record{appearance.number, packet, {}};
    if ((packet.request_type & 0x80) == 0) {
      record.data.assign(stage, stage + packet.length);
    }
    controls.push_back(std::move(record));
  }
  const Pending taken{nullptr, Clock::now(), next_sequence++};

  // The request in flight as the cable comes out never gets its answer.
  const bool pull = pull_cable_after == 0;
  if (pull_cable_after >= 0) {
    --pull_cable_after;
  }
  appearance.cable_pulled = appearance.cable_pulled || pull;
  bool ignore = unresponsive || appearance.cable_pulled;
  if (!ignore && ignore_count > 0) {
    if (answer_before_ignoring > 0) {
      --answer_before_ignoring;
    } else {
      --ignore_count;
      ignore = true;
    }
  }
  if (ignore) {
    appearance.waiting.push_back({urb_data.Release(), taken.due, taken.sequence});
    most_unreaped = std::max(most_unreaped, UnreapedLocked());
    umockdev_ioctl_client_complete(client, 0, 0);
    if (pull) {
      hub_unplug = true;
      hub_wake.notify_all();
    }
    return;
  }
  const bool stall = stall_after == 0;
  if (stall_after >= 0) {
    --stall_after;
  }
  const ControlOutcome outcome =
      stall ? ControlOutcome{true, 0, false} : front.Control(packet, stage);
  urb.status = outcome.stall ? -EPIPE : 0;
  urb.actual_length = outcome.stall ? 0 : outcome.actual_length;
  if (!outcome.stall && (packet.request_type & 0x80) != 0 && short_reply_bytes >= 0) {
    if (full_replies_left > 0) {
      --full_replies_left;
    } else {
      urb.actual_length = std::min(urb.actual_length, short_reply_bytes);
    }
  }
  Clock::time_point due = taken.due;
  if (timing) {
    // Served after every URB before it, then on its way back to the host.
    pipe_free = std::max(pipe_free, due) + timing->bus;
    due = pipe_free + timing->latency;
  }
  if (jitter_most.count() > 0) {
    jitter_state = jitter_state * 1664525U + 1013904223U;  // a plain LCG: the same run each time
    due += std::chrono::microseconds((jitter_state >> 8U) %
                                     static_cast<std::uint32_t>(jitter_most.count() + 1));
  }
  appearance.done.push_back({urb_data.Release(), due, taken.sequence});
  most_unreaped = std::max(most_unreaped, UnreapedLocked());
  umockdev_ioctl_client_complete(client, 0, 0);
  if (outcome.drop_off) {
    hub_reenumerate = true;
    hub_wake.notify_all();
  }
}

const std::optional<std::string>& EmulatedUsbBoard::Impl::Serial() const {
  return front.Running() ? setup.serial : setup.loader_serial;
}

bool EmulatedUsbBoard::Impl::AnswerStringDescriptor(const SetupPacket& packet, std::uint8_t* stage,
                                                    usbdevfs_urb& urb) {
  constexpr std::uint8_t kGetDescriptor = 6;
  constexpr int kStringType = 3;
  if (packet.request_type != 0x80 || packet.request != kGetDescriptor ||
      (packet.value >> 8) != kStringType) {
    return false;
  }
  const int index = packet.value & 0xFF;
  if (index != 0 && (index != kSerialIndex || !Serial())) {
    urb.status = -EPIPE;  // a string the board does not have
    urb.actual_length = 0;
    return true;
  }
  const std::vector<std::uint8_t> answer = StringDescriptor(index, Serial().value_or(""));
  const std::size_t length = std::min<std::size_t>(answer.size(), packet.length);
  std::copy_n(answer.begin(), length, stage);
  urb.status = 0;
  urb.actual_length = static_cast<int>(length);
  return true;
}

std::size_t EmulatedUsbBoard::Impl::UnreapedLocked() const {
  std::size_t count = 0;
  for (const auto& appearance : appearances) {
    count += appearance->done.size() + appearance->waiting.size();
  }
  return count;
}

void EmulatedUsbBoard::Impl::Reap(Appearance& appearance, UMockdevIoctlData* arg,
                                  UMockdevIoctlClient* client) {
  // The URB that completed first among those whose time has come.
  const Clock::time_point now = Clock::now();
  auto ready = appearance.done.end();
  for (auto at = appearance.done.begin(); at != appearance.done.end(); ++at) {
    if (at->due <= now && (ready == appearance.done.end() || at->due < ready->due)) {
      ready = at;
    }
  }
  if (ready == appearance.done.end()) {
    umockdev_ioctl_client_complete(client, -1, EAGAIN);
    return;
  }
  if (ready->sequence + 1 < latest_reaped) {
    ++reaped_out_of_order;
  }
  latest_reaped = std::max(latest_reaped, ready->sequence + 1);
  DataRef urb_data(ready->data);
  appearance.done.erase(ready);
  const DataRef pointer(umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr));
  umockdev_ioctl_data_set_ptr(pointer.data, 0, urb_data.data);
  umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedUsbBoard::Impl::Discard(Appearance& appearance, UMockdevIoctlData* arg,
                                     UMockdevIoctlClient* client) {
  gulong address = 0;
  std::memcpy(&address, arg->data, sizeof(address));
  const auto is_it = [address](const Pending& pending) {
    return pending.data->client_addr == address;
  };
  const auto found = std::find_if(appearance.waiting.begin(), appearance.waiting.end(), is_it);
  const Clock::time_point now = Clock::now();
  if (found != appearance.waiting.end()) {
    UrbOf(found->data).status = -ENOENT;
    appearance.done.push_back({found->data, now, found->sequence});
    appearance.waiting.erase(found);
    umockdev_ioctl_client_complete(client, 0, 0);
    return;
  }
  // One still on its way back is cut off too, as the kernel unlinks a URB
  // whose completion it has not handed out; one already due is not.
  const auto on_its_way = std::find_if(appearance.done.begin(), appearance.done.end(), is_it);
  if (on_its_way == appearance.done.end() || on_its_way->due <= now) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return;
  }
  UrbOf(on_its_way->data).status = -ENOENT;
  UrbOf(on_its_way->data).actual_length = 0;
  on_its_way->due = now;
  umockdev_ioctl_client_complete(client, 0, 0);
}

EmulatedUsbBoard::EmulatedUsbBoard(EmulatedBoardSetup setup)
    : impl_(std::make_unique<Impl>(std::move(setup))) {}

EmulatedUsbBoard::~EmulatedUsbBoard() = default;

bool EmulatedUsbBoard::InMockEnvironment() {
  // Whether umockdev's preload library is mapped into this process: its own
  // test only looks for a path form of LD_PRELOAD that the wrapper does not use.
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.find("libumockdev-preload.so") != std::string::npos) {
      return true;
    }
  }
  return false;
}

void EmulatedUsbBoard::PlugIn() {
  impl_->Appear();
}

void EmulatedUsbBoard::Unplug() {
  impl_->Leave();
}

void EmulatedUsbBoard::DenyAccess(bool deny) {
  impl_->DenyAccess(deny);
}

void EmulatedUsbBoard::SetUnresponsive(bool unresponsive) {
  const std::lock_guard lock(impl_->mutex);
  impl_->unresponsive = unresponsive;
}

void EmulatedUsbBoard::PullCableAfter(int answered) {
  const std::lock_guard lock(impl_->mutex);
  impl_->pull_cable_after = answered;
}

void EmulatedUsbBoard::ShortenReplies(int answered, int bytes) {
  const std::lock_guard lock(impl_->mutex);
  impl_->full_replies_left = answered;
  impl_->short_reply_bytes = bytes;
}

void EmulatedUsbBoard::StallAfter(int answered) {
  const std::lock_guard lock(impl_->mutex);
  impl_->stall_after = answered;
}

void EmulatedUsbBoard::SetBusTiming(std::optional<BusTiming> timing) {
  const std::lock_guard lock(impl_->mutex);
  impl_->timing = timing;
  impl_->pipe_free = Clock::time_point{};
}

void EmulatedUsbBoard::JitterCompletions(std::chrono::microseconds most, unsigned seed) {
  const std::lock_guard lock(impl_->mutex);
  impl_->jitter_most = most;
  impl_->jitter_state = seed;
}

std::size_t EmulatedUsbBoard::Unreaped() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->UnreapedLocked();
}

std::size_t EmulatedUsbBoard::MostUnreaped() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->most_unreaped;
}

int EmulatedUsbBoard::ReapedOutOfOrder() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->reaped_out_of_order;
}

void EmulatedUsbBoard::IgnoreRequests(int answered, int count) {
  const std::lock_guard lock(impl_->mutex);
  impl_->answer_before_ignoring = answered;
  impl_->ignore_count = count;
}

bool EmulatedUsbBoard::Present() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->current != nullptr;
}

board::usb::UsbBusAddress EmulatedUsbBoard::Address() const {
  const std::lock_guard lock(impl_->mutex);
  if (impl_->current == nullptr) {
    return {};
  }
  return {impl_->setup.bus, static_cast<std::uint8_t>(impl_->current->number)};
}

int EmulatedUsbBoard::Appearances() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->appearance_count;
}

bool EmulatedUsbBoard::Running() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->front.Running();
}

bool EmulatedUsbBoard::CpuHeld() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->front.CpuHeld();
}

std::vector<std::uint8_t> EmulatedUsbBoard::Memory(std::uint16_t address, std::size_t count) const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->front.Memory(address, count);
}

std::vector<ControlRecord> EmulatedUsbBoard::Controls() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->controls;
}

void EmulatedUsbBoard::ClearControls() {
  const std::lock_guard lock(impl_->mutex);
  impl_->controls.clear();
  impl_->most_unreaped = impl_->UnreapedLocked();
  impl_->reaped_out_of_order = 0;
}

std::mutex& EmulatedUsbBoard::StateMutex() const {
  return impl_->mutex;
}

const BoardFront& EmulatedUsbBoard::Front() const {
  return impl_->front;
}

}  // namespace kx::testing
