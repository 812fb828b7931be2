#include "file_access.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kx::testing {
namespace {

constexpr unsigned kOverrides = (1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH);

// glibc has no wrapper for these; the raw calls act on the calling thread.
bool GetCaps(__user_cap_header_struct& header, __user_cap_data_struct* data) {
  return syscall(SYS_capget, &header, data) == 0;
}

bool SetCaps(__user_cap_header_struct& header, __user_cap_data_struct* data) {
  return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

WithoutFileAccessOverride::WithoutFileAccessOverride() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
  if (!GetCaps(header, data)) {
    return;
  }
  saved_effective_ = data[0].effective;
  if ((saved_effective_ & kOverrides) == 0) {
    active_ = true;  // an ordinary user already
    return;
  }
  data[0].effective &= ~kOverrides;
  dropped_ = SetCaps(header, data);
  active_ = dropped_;
}

WithoutFileAccessOverride::~WithoutFileAccessOverride() {
  if (!dropped_) {
    return;
  }
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
  if (GetCaps(header, data)) {
    data[0].effective = saved_effective_;
    SetCaps(header, data);
  }
}

}  // namespace kx::testing
