#include "adc/sample_file.h"

#include <fmt/format.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <random>
#include <system_error>
#include <utility>

namespace kx::adc {

namespace {

namespace fs = std::filesystem;

// Enough for any chain of links a person makes; the kernel's own limit.
constexpr int LargestLinkChain = 40;
// Random names collide only with one another's leftovers, and a second try
// practically never collides again; this only bounds a broken random source.
constexpr int TemporaryNameAttempts = 64;
constexpr std::string_view TemporaryPrefix = ".kx7312-";
constexpr int TemporaryRandomLetters = 6;

std::string Message(std::error_code error) {
  return error.message();
}

// The file a path names once every symbolic link on its end is followed.
// A link to a file that does not exist yet names the file to create.
fs::path FollowLinks(const fs::path& path, std::error_code& error) {
  fs::path target = path;
  for (int hop = 0; hop < LargestLinkChain; ++hop) {
    const fs::file_status status = fs::symlink_status(target, error);
    if (status.type() == fs::file_type::not_found) {
      error.clear();
      return target;
    }
    if (error || !fs::is_symlink(status)) {
      return target;
    }
    fs::path next = fs::read_symlink(target, error);
    if (error) {
      return target;
    }
    target = next.is_absolute() ? std::move(next) : target.parent_path() / next;
  }
  error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return target;
}

// ".kx7312-" and six random letters: short, so that it fits beside a name
// of any legal length, and random, so that what a killed capture left
// behind never stands in the way of the next one.
std::string TemporaryName() {
  constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 generator = [] {
    std::random_device device;
    std::seed_seq seed{
        device(), device(),
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return std::mt19937_64(seed);
  }();
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string name(TemporaryPrefix);
  for (int i = 0; i < TemporaryRandomLetters; ++i) {
    name += kLetters[pick(generator)];
  }
  return name;
}

int CreateTemporary(const fs::path& folder, fs::path& temporary, std::error_code& error) {
  for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
    temporary = folder / TemporaryName();
    const int descriptor = platform::CreateNew(temporary, error);
    if (descriptor >= 0 || error != std::errc::file_exists) {
      return descriptor;
    }
  }
  return -1;
}

bool MayNotCreate(std::error_code error) {
  return error == std::errc::permission_denied || error == std::errc::operation_not_permitted;
}

}  // namespace

std::string AllChannelsFileText(std::span<const SampleSet> sets) {
  std::string text;
  text.reserve(sets.size() * (AdcChannels * 5 + 2));
  for (const SampleSet& set : sets) {
    for (const std::int32_t code : set) {
      fmt::format_to(std::back_inserter(text), "{}\t", code);
    }
    text += "\r\n";
  }
  return text;
}

std::string Channel0FileText(std::span<const std::int32_t> replies) {
  std::string text;
  text.reserve(replies.size() * 9);
  for (const std::int32_t reply : replies) {
    fmt::format_to(std::back_inserter(text), " {} \r\n", reply);
  }
  return text;
}

SampleFileWriter::SampleFileWriter(std::string path) : path_(std::move(path)) {}

SampleFileWriter::~SampleFileWriter() {
  if (descriptor_ >= 0) {
    platform::Close(descriptor_);
  }
  ReleaseTarget();
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
}

std::optional<std::string> SampleFileWriter::HoldTarget() {
  if (target_lock_ >= 0) {
    return std::nullopt;
  }
  std::error_code error;
  target_lock_ = platform::LockExisting(target_, error);
  if (error) {
    return Failure("a data logger is writing it now");
  }
  return std::nullopt;
}

void SampleFileWriter::ReleaseTarget() {
  if (target_lock_ >= 0) {
    platform::Close(std::exchange(target_lock_, -1));
  }
}

std::string SampleFileWriter::Failure(const std::string& reason) const {
  const std::string link = !target_.empty() && target_ != fs::path(path_)
                               ? fmt::format(" (a link to \"{}\")", target_.string())
                               : std::string();
  return fmt::format(
      "Cannot save the samples to \"{}\"{}: {}. Any existing file of that name is "
      "unchanged.",
      path_, link, reason);
}

std::optional<std::string> SampleFileWriter::Prepare() {
  if (path_.empty()) {
    return Failure(Message(std::make_error_code(std::errc::no_such_file_or_directory)));
  }
  std::error_code error;
  target_ = FollowLinks(fs::path(path_), error);
  if (!error) {
    error = platform::Inspect(target_, existing_);
  }
  if (error) {
    return Failure(Message(error));
  }
  if (existing_.directory) {
    return Failure(Message(std::make_error_code(std::errc::is_a_directory)));
  }
  // Renaming over a device or a pipe would put a plain file in its place.
  if (existing_.exists && !existing_.regular) {
    return Failure("it is not a regular file");
  }
  if (existing_.exists && !existing_.writable) {
    return Failure("the file is read-only");
  }
  if (existing_.exists) {
    if (std::optional<std::string> busy = HoldTarget()) {
      return busy;
    }
  }

  const fs::path folder = target_.parent_path();
  descriptor_ = CreateTemporary(folder, temporary_, error);
  if (descriptor_ < 0) {
    temporary_.clear();
    if (!existing_.exists || !MayNotCreate(error)) {
      return Failure(Message(error));
    }
    descriptor_ = platform::OpenExisting(target_, error);
    if (descriptor_ < 0) {
      return Failure(Message(error));
    }
  }
  prepared_ = true;
  return std::nullopt;
}

std::optional<std::string> SampleFileWriter::Save(std::string_view contents) {
  if (!prepared_) {
    return Failure(Message(std::make_error_code(std::errc::bad_file_descriptor)));
  }
  prepared_ = false;
  const bool in_place = temporary_.empty();
  std::error_code error;
  if (in_place) {
    error = platform::TruncateToZero(descriptor_);
  } else if (existing_.exists) {
    error = platform::KeepOwnerAndMode(descriptor_, existing_);
  }
  if (!error) {
    error = platform::WriteAll(descriptor_, contents);
  }
  // The data must be on the disk before the name points at it.
  if (!error) {
    error = platform::SyncFile(descriptor_);
  }
  const std::error_code closed = platform::Close(descriptor_);
  descriptor_ = -1;
  if (!error) {
    error = closed;
  }
  // A log may have been started on the name since it was looked at.
  if (!error && !in_place) {
    if (std::optional<std::string> busy = HoldTarget()) {
      return busy;  // the destructor removes the temporary file
    }
    error = platform::RenameOver(temporary_, target_);
  }
  ReleaseTarget();
  if (error) {
    if (in_place) {
      return fmt::format(
          "Cannot save the samples to \"{}\": {}. Its folder takes no new files, so it was "
          "being written in place and may now be incomplete.",
          path_, Message(error));
    }
    return Failure(Message(error));  // the destructor removes the temporary file
  }
  if (!in_place) {
    temporary_.clear();
    platform::SyncFolder(target_.parent_path().empty() ? fs::path(".") : target_.parent_path());
  }
  return std::nullopt;
}

std::optional<std::string> WriteFileReplacing(const std::string& path, std::string_view contents) {
  SampleFileWriter writer(path);
  if (std::optional<std::string> failure = writer.Prepare()) {
    return failure;
  }
  return writer.Save(contents);
}

}  // namespace kx::adc
