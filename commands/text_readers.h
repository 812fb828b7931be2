#pragma once

#include "commands/command_table.h"

// kx7312ctl's readers of each command's words, which the command table
// points at.
namespace kx::commands::text {

Action DacLoad(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action DacWrite(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action DacPowerDown(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action DacLdacRegister(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action DacReference(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action DacClearCode(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
template <Line kLine>
Action LineRequest(Cursor&, const CommandSpec&, const Edition&) {
  return commands::LineRequest{kLine};
}
Action AdcConfigure(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action AdcRead(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action AdcWrite(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action AdcCapture(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action AdcCaptureChannel0(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action AdcLog(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action AdcHistogram(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action AdcSpectrum(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action DacSweep(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action SetupSave(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action SetupLoad(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action CalibrationShow(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action CalibrationSave(Cursor& cursor, const CommandSpec& spec, const Edition& edition);
Action CalibrationClear(Cursor& cursor, const CommandSpec& spec, const Edition& edition);

// serve's words after "serve" (throws UsageError).
ServeRequest Serve(Cursor& cursor, const CommandSpec& spec);

// The options' value readers.
void Update(Action& action, const std::string& value, const Edition& edition);
void NoPulse(Action& action, const std::string& value, const Edition& edition);
void LoadCalibration(Action& action, const std::string& value, const Edition& edition);
void Range(Action& action, const std::string& value, const Edition& edition);
void Weak(Action& action, const std::string& value, const Edition& edition);
void Coding(Action& action, const std::string& value, const Edition& edition);
void ReadReference(Action& action, const std::string& value, const Edition& edition);
void Format(Action& action, const std::string& value, const Edition& edition);
void ReadChannel(Action& action, const std::string& value, const Edition& edition);
void Metadata(Action& action, const std::string& value, const Edition& edition);
void CaptureReference(Action& action, const std::string& value, const Edition& edition);
void Every(Action& action, const std::string& value, const Edition& edition);
void For(Action& action, const std::string& value, const Edition& edition);
void Channels(Action& action, const std::string& value, const Edition& edition);
void Average(Action& action, const std::string& value, const Edition& edition);
void LogReference(Action& action, const std::string& value, const Edition& edition);
void Overwrite(Action& action, const std::string& value, const Edition& edition);
void Quiet(Action& action, const std::string& value, const Edition& edition);
void HistogramChannel(Action& action, const std::string& value, const Edition& edition);
void Samples(Action& action, const std::string& value, const Edition& edition);
void Method(Action& action, const std::string& value, const Edition& edition);
void HistogramOut(Action& action, const std::string& value, const Edition& edition);
void SpectrumChannel(Action& action, const std::string& value, const Edition& edition);
void SpectrumWindow(Action& action, const std::string& value, const Edition& edition);
void SweepChannel(Action& action, const std::string& value, const Edition& edition);
void SweepAdcChannel(Action& action, const std::string& value, const Edition& edition);
void Codes(Action& action, const std::string& value, const Edition& edition);
void SweepAverage(Action& action, const std::string& value, const Edition& edition);
void Settle(Action& action, const std::string& value, const Edition& edition);
void AdcLinearity(Action& action, const std::string& value, const Edition& edition);
void SweepOut(Action& action, const std::string& value, const Edition& edition);
void HistogramInput(Action& action, const std::string& value, const Edition& edition);
void HistogramReference(Action& action, const std::string& value, const Edition& edition);
void ReadCalibration(Action& action, const std::string& value, const Edition& edition);
void CaptureCalibration(Action& action, const std::string& value, const Edition& edition);
void LogCalibration(Action& action, const std::string& value, const Edition& edition);
void HistogramSaveCalibration(Action& action, const std::string& value, const Edition& edition);
void SweepSaveCalibration(Action& action, const std::string& value, const Edition& edition);
void SaveAdc(Action& action, const std::string& value, const Edition& edition);
void SaveDac(Action& action, const std::string& value, const Edition& edition);
void SaveRange(Action& action, const std::string& value, const Edition& edition);
void SaveAdcReference(Action& action, const std::string& value, const Edition& edition);
void SaveDacReference(Action& action, const std::string& value, const Edition& edition);
void ClearAdc(Action& action, const std::string& value, const Edition& edition);
void ClearDac(Action& action, const std::string& value, const Edition& edition);
void SweepAdcReference(Action& action, const std::string& value, const Edition& edition);
void SweepDacReference(Action& action, const std::string& value, const Edition& edition);

}  // namespace kx::commands::text
