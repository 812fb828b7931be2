#pragma once

namespace kx::testing {

// While alive, the calling thread is held to file permissions like an
// ordinary user, even when the tests run as root: it drops the capabilities
// that let root open any file, and takes them back at the end. Other threads
// keep theirs.
class WithoutFileAccessOverride {
 public:
  WithoutFileAccessOverride();
  ~WithoutFileAccessOverride();
  WithoutFileAccessOverride(const WithoutFileAccessOverride&) = delete;
  WithoutFileAccessOverride& operator=(const WithoutFileAccessOverride&) = delete;

  // False when the capabilities could not be dropped; permissions then do
  // not hold for this thread.
  bool Active() const { return active_; }

 private:
  bool active_ = false;
  bool dropped_ = false;
  unsigned saved_effective_ = 0;
};

}  // namespace kx::testing
