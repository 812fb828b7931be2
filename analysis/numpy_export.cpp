#include "analysis/numpy_export.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "analysis/npy_file.h"

namespace kx::analysis {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

template <typename T>
void Put(std::string& out, std::size_t at, T value) {
  std::memcpy(out.data() + at, &value, sizeof(T));
}

// One record per row, its fields as the header names them.
std::string RecordArray(const LogData& log) {
  std::vector<NpyField> fields = {{"seconds", "<f8"}, {"gap", "|b1"}};
  const bool averaged = log.layout.Averaged();
  for (const int channel : log.layout.channels) {
    const std::string name = fmt::format("ADC{}", channel);
    if (averaged) {
      fields.push_back({name + "_mean", "<f4"});
      fields.push_back({name + "_min", "<i2"});
      fields.push_back({name + "_max", "<i2"});
      fields.push_back({name + "_std", "<f4"});
    } else {
      fields.push_back({name + "_code", "<i2"});
    }
    if (log.HasVolts()) {
      fields.push_back({name + "_volts", "<f8"});
    }
  }
  const std::size_t per_channel = (averaged ? 12 : 2) + (log.HasVolts() ? 8 : 0);
  const std::size_t record = 9 + per_channel * log.columns.size();
  std::string out = NpyRecordHeader(fields, log.Rows());
  std::size_t at = out.size();
  out.resize(at + record * log.Rows());
  for (std::size_t row = 0; row < log.Rows(); ++row) {
    const bool gap = log.Gap(row);
    Put(out, at, log.seconds[row]);
    Put(out, at + 8, static_cast<std::uint8_t>(gap ? 1 : 0));
    at += 9;
    for (std::size_t c = 0; c < log.columns.size(); ++c) {
      const LogColumn& column = log.columns[c];
      if (averaged) {
        Put(out, at, column.means[row]);
        Put(out, at + 4, column.codes[row]);
        Put(out, at + 6, column.maxima[row]);
        Put(out, at + 8, column.deviations[row]);
        at += 12;
      } else {
        Put(out, at, column.codes[row]);
        at += 2;
      }
      if (log.HasVolts()) {
        Put(out, at, gap ? kNan : log.ValueVolts(log.Value(row, c), c));
        at += 8;
      }
    }
  }
  return out;
}

// A (rows, channels) array of one figure of every column.
template <typename T, typename Figure>
std::string Matrix(const LogData& log, const char* type, Figure figure) {
  std::string out = NpyHeader(type, {log.Rows(), log.columns.size()});
  std::size_t at = out.size();
  out.resize(at + sizeof(T) * log.Rows() * log.columns.size());
  for (std::size_t row = 0; row < log.Rows(); ++row) {
    for (std::size_t c = 0; c < log.columns.size(); ++c) {
      Put(out, at, static_cast<T>(figure(row, c)));
      at += sizeof(T);
    }
  }
  return out;
}

std::string Arrays(const LogData& log) {
  NpzBuilder zip;
  {
    std::string seconds = NpyHeader("<f8", {log.Rows()});
    const std::size_t at = seconds.size();
    seconds.resize(at + 8 * log.Rows());
    std::memcpy(seconds.data() + at, log.seconds.data(), 8 * log.Rows());
    zip.Add("seconds", seconds);
  }
  {
    std::string gap = NpyHeader("|b1", {log.Rows()});
    for (std::size_t row = 0; row < log.Rows(); ++row) {
      gap += log.Gap(row) ? '\1' : '\0';
    }
    zip.Add("gap", gap);
  }
  std::string channels = NpyHeader("<i2", {log.columns.size()});
  for (const int channel : log.layout.channels) {
    channels.append(2, '\0');
    Put(channels, channels.size() - 2, static_cast<std::int16_t>(channel));
  }
  zip.Add("channels", channels);
  const auto& columns = log.columns;
  if (log.layout.Averaged()) {
    zip.Add("means", Matrix<float>(log, "<f4", [&](std::size_t r, std::size_t c) {
              return columns[c].means[r];
            }));
    zip.Add("minima", Matrix<std::int16_t>(log, "<i2", [&](std::size_t r, std::size_t c) {
              return columns[c].codes[r];
            }));
    zip.Add("maxima", Matrix<std::int16_t>(log, "<i2", [&](std::size_t r, std::size_t c) {
              return columns[c].maxima[r];
            }));
    zip.Add("deviations", Matrix<float>(log, "<f4", [&](std::size_t r, std::size_t c) {
              return columns[c].deviations[r];
            }));
  } else {
    zip.Add("codes", Matrix<std::int16_t>(log, "<i2", [&](std::size_t r, std::size_t c) {
              return columns[c].codes[r];
            }));
  }
  if (log.HasVolts()) {
    zip.Add("volts", Matrix<double>(log, "<f8", [&](std::size_t r, std::size_t c) {
              return log.Gap(r) ? kNan : log.ValueVolts(log.Value(r, c), c);
            }));
  }
  return zip.Finish();
}

}  // namespace

std::string CaptureNumpy(const CaptureAnalysis& analysis, const std::string& path) {
  const std::size_t samples =
      analysis.channels.empty() ? 0 : analysis.channels.front().codes.size();
  const std::size_t count = analysis.channels.size();
  if (path.ends_with(".npy")) {
    std::vector<NpyField> fields = {{"set", "<i4"}};
    for (const ChannelSamples& channel : analysis.channels) {
      fields.push_back({fmt::format("ADC{}_code", channel.channel), "<i2"});
      fields.push_back({fmt::format("ADC{}_volts", channel.channel), "<f8"});
    }
    std::string out = NpyRecordHeader(fields, samples);
    std::size_t at = out.size();
    out.resize(at + samples * (4 + 10 * count));
    for (std::size_t s = 0; s < samples; ++s) {
      Put(out, at, static_cast<std::int32_t>(s));
      at += 4;
      for (const ChannelSamples& channel : analysis.channels) {
        Put(out, at, static_cast<std::int16_t>(channel.codes[s]));
        Put(out, at + 2, channel.volts[s]);
        at += 10;
      }
    }
    return out;
  }
  NpzBuilder zip;
  std::string channels = NpyHeader("<i2", {count});
  std::string codes = NpyHeader("<i2", {samples, count});
  std::string volts = NpyHeader("<f8", {samples, count});
  for (const ChannelSamples& channel : analysis.channels) {
    channels.append(2, '\0');
    Put(channels, channels.size() - 2, static_cast<std::int16_t>(channel.channel));
  }
  for (std::size_t s = 0; s < samples; ++s) {
    for (const ChannelSamples& channel : analysis.channels) {
      codes.append(2, '\0');
      Put(codes, codes.size() - 2, static_cast<std::int16_t>(channel.codes[s]));
      volts.append(8, '\0');
      Put(volts, volts.size() - 8, channel.volts[s]);
    }
  }
  zip.Add("channels", channels);
  zip.Add("codes", codes);
  zip.Add("volts", volts);
  return zip.Finish();
}

bool IsNumpyPath(const std::string& path) {
  return path.ends_with(".npy") || path.ends_with(".npz");
}

NumpyFile LogNumpy(const LogData& log, const std::string& path) {
  if (!IsNumpyPath(path)) {
    return {{}, fmt::format("{}: a NumPy file ends in .npy or .npz", path)};
  }
  if (path.ends_with(".npy")) {
    return {RecordArray(log), {}};
  }
  const std::size_t per_row =
      9 + log.columns.size() * ((log.layout.Averaged() ? 12 : 2) + (log.HasVolts() ? 8 : 0));
  if (!NpzBuilder::Fits(per_row * log.Rows())) {
    return {{},
            fmt::format("{}: {} rows are too many for an .npz (4 GiB at most); .npy takes them",
                        path, log.Rows())};
  }
  return {Arrays(log), {}};
}

}  // namespace kx::analysis
