#include "board/backend/link_options.h"

#include <optional>

namespace kx::board {

LinkOptionReader::LinkOptionReader(CLI::App& app) : app_(app) {
  CLI::Option* simulate =
      app.add_flag("--simulate", simulate_, "Run on the simulated board instead of USB");
  app.add_option("--sim-settings", sim_settings_,
                 "JSON settings of the simulated board: present, external_reference, "
                 "adc_reference, inputs")
      ->type_name("FILE")
      ->needs(simulate);
  app.add_option("--trace", trace_, "Append every link-library call to FILE, one line each")
      ->type_name("FILE");
  app.add_option("--usb-id", usb_id_, "USB identifier of the board running its firmware")
      ->type_name("VID:PID")
      ->excludes(simulate);
  app.add_option("--usb-loader-id", usb_loader_id_,
                 "USB identifier of a board still waiting for its firmware")
      ->type_name("VID:PID")
      ->excludes(simulate);
  app.add_option("--usb-bus", usb_bus_, "Use the board at this bus and device address")
      ->type_name("BUS:ADDR")
      ->excludes(simulate);
}

void LinkOptionReader::Apply(LinkOptions& options) const {
  auto given = [this](const char* name, const std::string& value) {
    return app_.count(name) > 0 ? std::optional<std::string>(value) : std::nullopt;
  };
  options.simulate = simulate_;
  options.sim_settings = given("--sim-settings", sim_settings_);
  options.trace = given("--trace", trace_);
  options.usb_id = given("--usb-id", usb_id_);
  options.usb_loader_id = given("--usb-loader-id", usb_loader_id_);
  options.usb_bus = given("--usb-bus", usb_bus_);
}

}  // namespace kx::board
