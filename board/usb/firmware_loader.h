#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/intel_hex.h"
#include "board/usb/firmware_chunks.h"
#include "board/usb/usb_options.h"

struct libusb_device_handle;

namespace kx::board::usb {

// The microcontroller's built-in loader: vendor request 0xA0 writes the data
// stage to memory at the address in its value field. It answers whether or
// not firmware runs, and writing the CPU control register stops or starts
// the CPU.
inline constexpr std::uint8_t LoaderRequest = 0xA0;
inline constexpr std::uint16_t CpuControlRegister = LoaderCpuControlRegister;
inline constexpr std::uint8_t CpuHoldInReset = 0x01;
inline constexpr std::uint8_t CpuRun = 0x00;

struct LoaderOutcome {
  std::int16_t status = 0;  // a download status (usb_status.h)
  std::string problem;      // what failed, for LastProblem(); empty on success
};

// Holds the CPU in reset, writes every chunk (each retried on time-out),
// then lets the CPU run. The board may drop off the bus as the CPU starts, so
// a failed last step is no failure: whether the firmware runs shows when the
// board comes back.
LoaderOutcome WriteFirmware(libusb_device_handle* handle, const std::vector<FirmwareChunk>& chunks,
                            const UsbTimings& timings);

}  // namespace kx::board::usb
