#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace kx::testing {

// Makes a FIFO at `path`; fails the test when it cannot. POSIX only: Windows
// has no FIFOs in its file system.
bool MakeFifo(const std::string& path);

// Runs `read_it`, which should refuse the FIFO at `fifo` without waiting for
// a writer, and tells whether it returned within `deadline`. When it did not,
// the FIFO is given a writer, which wakes a reader stuck in open(), so that a
// regression fails the test instead of hanging it.
bool ReturnsWithoutAWriter(const std::string& fifo, const std::function<void()>& read_it,
                           std::chrono::milliseconds deadline = std::chrono::seconds(10));

}  // namespace kx::testing
