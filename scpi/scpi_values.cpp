#include "scpi/scpi_values.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "adc/reference_entry.h"
#include "scpi/header_pattern.h"

namespace kx::scpi {

void Refuse(const ErrorCode& code, const std::string& detail) {
  throw Refusal(MakeError(code, detail));
}

const ErrorCode& ErrorOf(commands::FaultKind kind) {
  switch (kind) {
    case commands::FaultKind::OutOfRange:
      return DataOutOfRange;
    case commands::FaultKind::NotInEdition:
      return HardwareMissing;
    case commands::FaultKind::BoardFailure:
      return HardwareError;
    case commands::FaultKind::BadValue:
      break;
  }
  return IllegalParameterValue;
}

void Refuse(const commands::Fault& fault, const std::string& what) {
  Refuse(ErrorOf(fault.kind), what.empty() ? fault.text : what + ": " + fault.text);
}

void Count(const Unit& unit, std::size_t least, std::size_t most) {
  if (unit.parameters.size() < least) {
    Refuse(MissingParameter, fmt::format("{} parameter{} wanted, {} given", least,
                                         least == 1 ? "" : "s", unit.parameters.size()));
  }
  if (unit.parameters.size() > most) {
    Refuse(ParameterNotAllowed, fmt::format("at most {} parameter{} taken, {} given", most,
                                            most == 1 ? "" : "s", unit.parameters.size()));
  }
}

long long Whole(const Parameter& parameter, const char* what) {
  if (parameter.kind != ParameterKind::Decimal && parameter.kind != ParameterKind::NonDecimal) {
    Refuse(DataTypeError, fmt::format("{} must be a number", what));
  }
  if (parameter.value != std::floor(parameter.value) || std::fabs(parameter.value) > 1e15) {
    Refuse(DataOutOfRange, fmt::format("{} {} is not a whole number", what, parameter.text));
  }
  return static_cast<long long>(parameter.value);
}

long long Hex(const Parameter& parameter, const char* what, long long most) {
  // FFF arrives as a word, not a number: show SCPI's form of it.
  if (parameter.kind == ParameterKind::Character &&
      std::all_of(parameter.text.begin(), parameter.text.end(),
                  [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; })) {
    Refuse(DataTypeError,
           fmt::format("{} must be a number (hexadecimal is written #H{})", what, parameter.text));
  }
  const long long value = Whole(parameter, what);
  if (value < 0) {
    Refuse(DataOutOfRange, fmt::format("{} {} is below 0", what, parameter.text));
  }
  if (value > most) {
    Refuse(DataOutOfRange,
           fmt::format("{} {} is above {} (#H{:X})", what, parameter.text, most, most));
  }
  return value;
}

int Pick(const Parameter& parameter, commands::Choices choices, const char* what) {
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (parameter.kind == ParameterKind::Character &&
        MnemonicMatches(choices[i].mnemonic, parameter.text)) {
      return static_cast<int>(i);
    }
  }
  const std::string names = commands::ListedMnemonics(choices);
  if (parameter.kind != ParameterKind::Character) {
    Refuse(DataTypeError, fmt::format("{} must be one of {}", what, names));
  }
  Refuse(IllegalParameterValue,
         fmt::format("{} \"{}\" is none of {}", what, parameter.text, names));
}

bool Boolean(const Parameter& parameter) {
  if (parameter.kind == ParameterKind::Character) {
    return Pick(parameter, commands::SwitchChoices, "the setting") == 1;
  }
  return Whole(parameter, "the setting") != 0;
}

std::string AdcReference(const Parameter& parameter) {
  if (parameter.kind != ParameterKind::Decimal) {
    Refuse(DataTypeError, "the reference must be a decimal number of volts");
  }
  std::string volts = adc::NormaliseReferenceText(parameter.text);
  const float value = adc::ReadReferenceNumber(volts);
  if (!(value > 0.0F) || value > adc::LargestAdcReference) {
    Refuse(DataOutOfRange,
           fmt::format("the reference {} V is outside what the ADC takes: above 0 V, at most {} V",
                       parameter.text, adc::LargestAdcReference));
  }
  return volts;
}

std::string TimeText(const Parameter& parameter, const char* what) {
  if (parameter.kind == ParameterKind::Decimal) {
    if (!std::isfinite(parameter.value) || parameter.value <= 0) {
      Refuse(DataOutOfRange, fmt::format("{} {} must be above 0 s", what, parameter.text));
    }
    return fmt::format("{}", parameter.value);
  }
  if (parameter.kind == ParameterKind::String) {
    return parameter.text;
  }
  Refuse(DataTypeError,
         fmt::format("{} must be a number of seconds or a string such as \"250ms\"", what));
}

std::string LogFileName(const Parameter& parameter) {
  if (parameter.kind != ParameterKind::String) {
    Refuse(DataTypeError, "the file must be a string, such as \"supply.csv\"");
  }
  const std::filesystem::path path(parameter.text);
  bool outside = parameter.text.empty() || path.has_root_path();
  for (const std::filesystem::path& part : path) {
    outside = outside || part == "..";
  }
  if (outside) {
    Refuse(FileNameError,
           fmt::format("\"{}\" is not a file name inside the log folder", parameter.text));
  }
  return parameter.text;
}

int ChannelNumber(const Parameter& parameter) {
  const long long channel = Whole(parameter, "the channel");
  const commands::Checked<int> checked = commands::ChannelOf(std::to_string(channel));
  if (!checked.Ok() && channel < 0) {
    // Below 0 is as far out of range as above 15.
    Refuse(DataOutOfRange, checked.Failure().text);
  }
  return Take(checked);
}

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c == '"' ? "\"\"" : std::string(1, c);
  }
  return quoted + "\"";
}

}  // namespace kx::scpi
