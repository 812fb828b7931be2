#include "board/backend/link_options.h"

#include <CLI/CLI.hpp>

namespace kx::board {

LinkOptionReader::LinkOptionReader(CLI::App& app) {
  CLI::Option* simulate =
      app.add_flag("--simulate", given_.simulate, "Run on the simulated board instead of USB");
  app.add_option("--sim-settings", given_.sim_settings,
                 "JSON settings of the simulated board: present, external_reference, "
                 "adc_reference, inputs")
      ->type_name("FILE")
      ->needs(simulate);
  app.add_option("--trace", given_.trace, "Append every link-library call to FILE, one line each")
      ->type_name("FILE");
  app.add_option("--usb-id", given_.usb_id, "USB identifier of the board running its firmware")
      ->type_name("VID:PID")
      ->excludes(simulate);
  app.add_option("--usb-loader-id", given_.usb_loader_id,
                 "USB identifier of a board still waiting for its firmware")
      ->type_name("VID:PID")
      ->excludes(simulate);
  app.add_option("--usb-bus", given_.usb_bus, "Use the board at this bus and device address")
      ->type_name("BUS:ADDR")
      ->excludes(simulate);
  app.add_option("--usb-serial", given_.usb_serial, "Use the board with this USB serial number")
      ->type_name("TEXT")
      ->excludes(simulate);
  app.add_option("--board-name", given_.board_name,
                 "Name of a board that reports no serial number, for its files")
      ->type_name("NAME");
}

void LinkOptionReader::Apply(LinkOptions& options) const {
  options = given_;
}

}  // namespace kx::board
