#include "session/board_session.h"

#include <utility>

namespace kx::session {

BoardSession::BoardSession(const Edition& edition, const board::LinkLibraries& libraries,
                           board::OperatorPort& port, std::string program_folder)
    : edition_(edition),
      link_(board::MakeBoardLink(edition.link, libraries, port, std::move(program_folder))),
      dac_(*link_, port),
      adc_(*link_, port, edition.adc_rules) {}

void BoardSession::StartUp() {
  link_->LoadUSB();
  adc_.ResetResults();
  adc_.SendStartupWords();
}

void BoardSession::ReloadUsb() {
  link_->LoadUSB();
}

}  // namespace kx::session
