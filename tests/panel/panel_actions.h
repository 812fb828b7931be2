#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "panel/frm_startup.h"
#include "support/trace_requests.h"

namespace kx::testing {

// What the operator does, as real mouse and key events. Each action first
// brings forward the tab page that holds its control, as a person would.

// Lets everything the last event queued run: a deferred message, and the
// window activation that gives the focus back after it.
void Settle();

void ClickTab(panel::FrmStartup& window, int page);
void ShowPageOf(panel::FrmStartup& window, QWidget* control);

// A mouse click on a button, check box or option.
void Click(panel::FrmStartup& window, QAbstractButton* control);

// Clicks into the box, deletes what it holds with End and Backspace, and
// types `text` one key at a time.
void Retype(panel::FrmStartup& window, QLineEdit* box, const QString& text);

// Opens the list with the mouse and clicks its item `index`.
void ChooseItem(panel::FrmStartup& window, QComboBox* combo, int index);

// The words of the DAC requests (0xD9 and 0xDA), with their codes.
struct DacSent {
  int code;
  std::uint32_t word;
  friend bool operator==(const DacSent&, const DacSent&) = default;
};
std::vector<DacSent> DacWords(const std::vector<SentRequest>& requests);

// The words of the ADC transfers (0xE4).
std::vector<std::uint32_t> AdcWords(const std::vector<SentRequest>& requests);

}  // namespace kx::testing
