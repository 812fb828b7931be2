// The ADC subsystem: its configuration, reads, raw writes and captures,
// each built as the typed command the session runs.
#include <fmt/format.h>

#include <array>
#include <cstdint>

#include "commands/choices.h"
#include "commands/parameters.h"
#include "scpi/rows.h"
#include "scpi/scpi_values.h"

namespace kx::scpi {

namespace {

constexpr long long kLargestAdcWord = 0xFFFF;

commands::Command Typed(const char* name, commands::Action action) {
  return {name, std::move(action), commands::Source{}};
}

// IEEE 488.2 definite-length block: #, the count of length digits, the
// length, the bytes.
std::string Block(const std::string& bytes) {
  const std::string length = std::to_string(bytes.size());
  return fmt::format("#{}{}{}", length.size(), length, bytes);
}

// The numbers of a capture file, in their order, comma-separated.
std::string FileNumbers(const std::string& text) {
  std::string numbers;
  bool in_number = false;
  for (const char c : text) {
    const bool part = c != '\t' && c != '\r' && c != '\n' && c != ' ';
    if (part && !in_number && !numbers.empty()) {
      numbers += ',';
    }
    if (part) {
      numbers += c;
    }
    in_number = part;
  }
  return numbers;
}

Action ConfigureRow(const Instrument& instrument, const Unit& unit) {
  Count(unit, 0, 3);
  commands::AdcConfigure configure;
  if (!unit.parameters.empty()) {
    configure.vref_range = Pick(unit.parameters[0], commands::RangeChoices, "the range") == 1;
  }
  if (unit.parameters.size() > 1) {
    configure.weak = Pick(unit.parameters[1], commands::OutputChoices, "the output") == 1;
  }
  if (unit.parameters.size() > 2) {
    if (!instrument.edition().HasVolts()) {
      Refuse(SettingsConflict,
             fmt::format("{} has no Coding list", instrument.edition().program_name));
    }
    configure.straight_binary =
        Pick(unit.parameters[2], commands::CodingChoices, "the coding") == 1;
  }
  return Send(Typed("adc configure", configure));
}

Action ConfigureQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) {
    const adc::AdcConfiguration& config = run.instrument.Session().Board().Adc().Configuration();
    std::string text = config.AdcRangeBit != 0 ? "VREF" : "VREF2X";
    text += config.AdcWeakTriBit != 0 ? ",WEAK" : ",TRIS";
    if (run.instrument.edition().HasVolts()) {
      text += config.AdcCodingBit != 0 ? ",BIN" : ",TWOS";
    }
    return text;
  });
}

Action Read(commands::AdcRead read) {
  return [command = Typed("adc read", std::move(read))](Instrument::Run& run) {
    const auto outcome = run.Board(command);
    const auto* result = outcome ? outcome->As<commands::ReadResult>() : nullptr;
    if (result == nullptr) {
      return;
    }
    const bool volts =
        std::get<commands::AdcRead>(command.action).format == commands::ReadFormat::Volts;
    if (result->channel) {
      const auto index = static_cast<std::size_t>(*result->channel);
      run.responses.push_back(volts && result->volts ? result->volts->at(index)
                                                     : std::to_string(result->codes.at(index)));
    } else if (volts && result->volts) {
      run.responses.push_back(JoinCodes(*result->volts));
    } else {
      run.responses.push_back(JoinCodes(result->codes));
    }
  };
}

// ADC:READ? [CH]: the sixteen codes, or one channel's.
Action ReadQuery(const Instrument& instrument, const Unit& unit) {
  Count(unit, 0, 1);
  commands::AdcRead read;
  read.calibration = instrument.CalibrationChoice();
  if (!unit.parameters.empty()) {
    read.channel = ChannelNumber(unit.parameters[0]);
  }
  return Read(std::move(read));
}

// ADC:READ:VOLTage? [REF].
Action ReadVoltsQuery(const Instrument& instrument, const Unit& unit) {
  Count(unit, 0, 1);
  if (!instrument.edition().HasVolts()) {
    Refuse(SettingsConflict, fmt::format("{} shows no volts", instrument.edition().program_name));
  }
  commands::AdcRead read;
  read.format = commands::ReadFormat::Volts;
  read.calibration = instrument.CalibrationChoice();
  if (!unit.parameters.empty()) {
    read.reference = AdcReference(unit.parameters[0]);
    read.reference_given = true;
  }
  return Read(std::move(read));
}

// ADC:CALibration?: the calibration file the volt queries and the logs
// apply (serve --calibration), "" where they show nominal volts.
Action CalibrationQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return [](Instrument::Run& run) {
    const commands::Session::CalibrationForVolts calibration = run.instrument.CalibrationInUse();
    if (!calibration.error.empty()) {
      run.Fail(MakeError(FileNameError, calibration.error));
      return;
    }
    run.responses.push_back(Quoted(calibration.note ? calibration.note->path : ""));
  };
}

Action ResultsQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) {
    return JoinCodes(run.instrument.Session().Board().Adc().AdcResults());
  });
}

commands::Command Write(const Unit& unit) {
  Count(unit, 1, 1);
  const auto word = static_cast<std::int32_t>(Hex(unit.parameters[0], "the word", kLargestAdcWord));
  // The write reads the text as the panel's Text2: hex digits, no prefix.
  return Typed("adc write", commands::AdcWrite{fmt::format("{:X}", word), word});
}

Action WriteRow(const Instrument&, const Unit& unit) {
  return Send(Write(unit));
}

// ADC:WRITe? WORD: the word's reply.
Action WriteQuery(const Instrument&, const Unit& unit) {
  return [command = Write(unit)](Instrument::Run& run) {
    if (const auto outcome = run.Board(command)) {
      const std::int32_t reply = outcome->requests.empty() ? 0 : outcome->requests.back().reply;
      run.responses.push_back(HexResponse(static_cast<std::uint32_t>(reply) & 0xFFFFU, 4));
    }
  };
}

// A capture with no file: its text comes back as a block, or as its codes.
Action Capture(const Unit& unit, bool channel0) {
  Count(unit, 0, 1);
  const bool codes = !unit.parameters.empty() &&
                     Pick(unit.parameters[0], commands::CaptureFormChoices, "the form") == 1;
  commands::AdcCapture capture{"", channel0};
  return [command = Typed(channel0 ? "adc capture-channel0" : "adc capture", capture),
          codes](Instrument::Run& run) {
    if (const auto outcome = run.Board(command)) {
      const auto* result = outcome->As<commands::CaptureResult>();
      const std::string text = result != nullptr ? result->text.value_or("") : "";
      run.responses.push_back(codes ? FileNumbers(text) : Block(text));
    }
  };
}

Action CaptureQuery(const Instrument&, const Unit& unit) {
  return Capture(unit, false);
}

Action CaptureChannel0Query(const Instrument&, const Unit& unit) {
  return Capture(unit, true);
}

// ADC:SPECtrum? [CH[,BHARris|HANN|RECTangular]]: a capture's spectrum of
// the channel: the fundamental's frequency (cycles per sample) and level
// (dBFS), SNR, SINAD, THD (dB), ENOB (bits), SFDR (dB), the worst spur's
// frequency, then the 2nd to 5th harmonics' levels (dBFS).
Action SpectrumQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 2);
  commands::AdcSpectrum spectrum;
  if (!unit.parameters.empty()) {
    spectrum.channel = ChannelNumber(unit.parameters[0]);
  }
  if (unit.parameters.size() > 1) {
    spectrum.window =
        analysis::kWindowKinds[Pick(unit.parameters[1], commands::WindowChoices, "the window")];
  }
  return [command = Typed("adc spectrum", spectrum)](Instrument::Run& run) {
    if (const auto outcome = run.Board(command)) {
      if (const auto* result = outcome->As<commands::SpectrumResult>()) {
        const analysis::Spectrum& s = result->spectrum;
        std::string figures =
            fmt::format("{:.6f},{:.2f},{:.2f},{:.2f},{:.2f},{:.2f},{:.2f},{:.6f}",
                        s.fundamental_frequency, s.fundamental_dbfs, s.snr_db, s.sinad_db, s.thd_db,
                        s.enob_bits, s.sfdr_db, s.spur_frequency);
        for (const double level : s.harmonic_dbfs) {
          figures += fmt::format(",{:.2f}", level);
        }
        run.responses.push_back(std::move(figures));
      }
    }
  };
}

}  // namespace

std::span<const Row> AdcRows() {
  static const std::array rows = {
      Row{HeaderPattern("ADC:CONFigure"), ConfigureRow, ConfigureQuery},
      Row{HeaderPattern("ADC:READ"), nullptr, ReadQuery},
      Row{HeaderPattern("ADC:READ:VOLTage"), nullptr, ReadVoltsQuery},
      Row{HeaderPattern("ADC:RESults"), nullptr, ResultsQuery},
      Row{HeaderPattern("ADC:CALibration"), nullptr, CalibrationQuery},
      Row{HeaderPattern("ADC:WRITe"), WriteRow, WriteQuery},
      Row{HeaderPattern("ADC:CAPTure[:ALL]"), nullptr, CaptureQuery},
      Row{HeaderPattern("ADC:CAPTure:CHANnel0"), nullptr, CaptureChannel0Query},
      Row{HeaderPattern("ADC:SPECtrum"), nullptr, SpectrumQuery},
  };
  return rows;
}

}  // namespace kx::scpi
