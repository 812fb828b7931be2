#pragma once

#include <memory>
#include <string>

#include "adc/adc_operations.h"
#include "board/board_link.h"
#include "board/board_link_factory.h"
#include "board/operator_port.h"
#include "dac/dac_operations.h"
#include "session/edition.h"

namespace kx::session {

// One board as every front end drives it: the link of the edition's kind
// over the libraries given (the backend and any decorators, such as the
// trace, are the caller's), the DAC and ADC operations with their panel-wide
// state (stored DAC words, saved power-down masks, the ADC configuration
// bits, AdcResults), and the start-up both programs share. Alive from the
// start-up to the end of the program; nothing is reset in between.
//
// A session is used from one thread. A front end that serves several
// clients queues their requests onto that thread.
class BoardSession {
 public:
  // `libraries` and `port` must outlive the session.
  BoardSession(const Edition& edition, const board::LinkLibraries& libraries,
               board::OperatorPort& port, std::string program_folder);

  // The program's start-up: LoadUSB, AdcResults to 0, then the four
  // start-up ADC words, whatever the board did.
  void StartUp();
  // "Reload USB": the link's start-up again; the panel-wide state stays.
  void ReloadUsb();

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

}  // namespace kx::session
