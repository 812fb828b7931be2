#pragma once

#include <memory>
#include <optional>
#include <string>

#include "adc/adc_operations.h"
#include "board/board_link.h"
#include "board/board_link_factory.h"
#include "board/link_record.h"
#include "dac/dac_operations.h"
#include "session/edition.h"

namespace kx::session {

// What the start-up or "Reload USB" did: the download's outcome ("No
// Evaluation Board Found" when `download.failed`) and every request sent.
struct StartUpResult {
  board::BoardLink::LoadResult download;
  board::OperationResult done;
};

enum class CaptureKind { AllChannels, Channel0 };

// A capture to a file the operator named. `failure` is the operator's
// message when no file was written: the file could not be prepared (then no
// transfer was made), the board stopped answering, or the file could not be
// saved.
struct CaptureReport {
  adc::CaptureSamples samples;
  bool transfers_made = false;
  std::optional<std::string> failure;
};

// One board as every front end drives it: the link of the edition's kind
// over the libraries given (the backend and any decorators, such as the
// trace, are the caller's), the DAC and ADC operations with their panel-wide
// state (stored DAC words, saved power-down masks, the ADC configuration
// bits, AdcResults), and the start-up both programs share. Alive from the
// start-up to the end of the program; nothing is reset in between.
//
// Operations return what they did; a failure is a value, and the session
// carries on with the next request. Whether a front end stops after one is
// its own policy.
//
// A session is used from one thread. A front end that serves several
// clients queues their requests onto that thread.
class BoardSession {
 public:
  // `libraries` must outlive the session.
  BoardSession(const Edition& edition, const board::LinkLibraries& libraries,
               std::string program_folder);

  // The program's start-up: LoadUSB, AdcResults to 0, then the four
  // start-up ADC words, whatever the board did.
  StartUpResult StartUp();
  // "Reload USB": the link's start-up again; the panel-wide state stays.
  StartUpResult ReloadUsb();

  // "Read && Save ADC" or "Channel 0 to File" into `path`: the file is
  // checked before the first transfer and written after the last.
  CaptureReport CaptureToFile(CaptureKind kind, const std::string& path,
                              const adc::CaptureProgress& progress = {},
                              const adc::CaptureStop& stop = {});

  // Whether the edition shows volts: the "ADC Voltages" row, the "ADC
  // Reference" box and the "Coding" list.
  bool HasVolts() const { return edition_.HasVolts(); }

  const Edition& edition() const { return edition_; }
  board::BoardLink& Link() { return *link_; }
  const board::BoardLink& Link() const { return *link_; }
  dac::DacOperations& Dac() { return dac_; }
  const dac::DacOperations& Dac() const { return dac_; }
  adc::AdcOperations& Adc() { return adc_; }
  const adc::AdcOperations& Adc() const { return adc_; }

 private:
  const Edition& edition_;
  std::unique_ptr<board::BoardLink> link_;
  dac::DacOperations dac_;
  adc::AdcOperations adc_;
};

// The capture file's text of what a capture took.
std::string CaptureFileText(CaptureKind kind, const adc::CaptureSamples& samples);

// A capture into `path` with the operations given: the file is checked
// before the first transfer and written after the last.
CaptureReport CaptureToFile(adc::AdcOperations& adc, CaptureKind kind, const std::string& path,
                            const adc::CaptureProgress& progress = {},
                            const adc::CaptureStop& stop = {});

}  // namespace kx::session
