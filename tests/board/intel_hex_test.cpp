#include "board/intel_hex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifndef KX_TEST_FIRMWARE
#error "KX_TEST_FIRMWARE must name the shipped firmware image"
#endif

namespace kx::board {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

// Builds one record with a correct checksum, so malformed cases can break
// exactly one thing at a time. The literal records below were checksummed by
// hand, so this helper cannot hide a parser that sums the wrong bytes.
std::string Record(std::uint8_t type, std::uint16_t address, const Bytes& data) {
  Bytes bytes = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                 static_cast<std::uint8_t>(address & 0xFF), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (std::uint8_t b : bytes) {
    sum += b;
  }
  bytes.push_back(static_cast<std::uint8_t>((0x100u - (sum & 0xFFu)) & 0xFFu));
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = ":";
  for (std::uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

const std::string kEnd = ":00000001FF";

std::string Lines(const std::vector<std::string>& lines, const std::string& eol = "\n") {
  std::string text;
  for (const std::string& line : lines) {
    text += line + eol;
  }
  return text;
}

// Exercises both base record kinds, a continuation that must merge, a jump
// that must not, and a segment-style start address.
const std::vector<std::string> kGoodRecords = {
    ":020000021000EC",      // segment base 0x1000 * 16
    ":0400100001020304E2",  // 0x10010
    ":0400140005060708CE",  // 0x10014 continues the run above
    ":02000004ABCD82",      // linear base 0xABCD0000
    ":03FFF000AABBCCDD",    // 0xABCDFFF0
    ":02002000DDEE13",      // 0xABCD0020, behind the previous record
    ":0400000312345678E5",  // CS 0x1234, IP 0x5678
    kEnd,
};

void ExpectGoodImage(const HexParseResult& result) {
  ASSERT_TRUE(result.image.has_value()) << result.error;
  EXPECT_TRUE(result.error.empty());
  const HexImage& image = *result.image;
  ASSERT_EQ(image.segments.size(), 3u);
  EXPECT_EQ(image.segments[0].address, 0x10010u);
  EXPECT_EQ(image.segments[0].bytes, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(image.segments[1].address, 0xABCDFFF0u);
  EXPECT_EQ(image.segments[1].bytes, (Bytes{0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(image.segments[2].address, 0xABCD0020u);
  EXPECT_EQ(image.segments[2].bytes, (Bytes{0xDD, 0xEE}));
  EXPECT_EQ(image.start_address, std::optional<std::uint32_t>(0x12340u + 0x5678u));
}

std::string ToLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

TEST(IntelHexParseTest, GoodImageAppliesBasesAndMergesContinuations) {
  ExpectGoodImage(ParseIntelHex(Lines(kGoodRecords)));
}

// The same records, written the ways other tools and editors write them.
TEST(IntelHexParseTest, AcceptsCommonLayouts) {
  const std::string lf = Lines(kGoodRecords);
  std::string no_final_newline = lf;
  no_final_newline.pop_back();
  std::string padded;
  for (const std::string& line : kGoodRecords) {
    padded += line + " \t \r\n";
  }
  std::vector<std::string> with_blanks = kGoodRecords;
  with_blanks.insert(with_blanks.begin() + 3, "   ");
  with_blanks.insert(with_blanks.begin(), "");
  with_blanks.emplace_back("\t");
  with_blanks.emplace_back("");

  const struct {
    const char* name;
    std::string text;
  } kCases[] = {
      {"crlf", Lines(kGoodRecords, "\r\n")},
      {"lower case", ToLower(lf)},
      {"lower case crlf", ToLower(Lines(kGoodRecords, "\r\n"))},
      {"no final newline", no_final_newline},
      {"trailing spaces and tabs", padded},
      {"blank lines before and after", Lines(with_blanks)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ExpectGoodImage(ParseIntelHex(c.text));
  }
}

TEST(IntelHexParseTest, MergesAcrossABaseChangeWhenTheAddressContinues) {
  const Bytes first(16, 0x11);
  const HexParseResult result = ParseIntelHex(Lines({
      Record(0x04, 0, {0x00, 0x00}),
      Record(0x00, 0xFFF0, first),
      Record(0x04, 0, {0x00, 0x01}),
      Record(0x00, 0x0000, {0x22, 0x33}),
      kEnd,
  }));
  ASSERT_TRUE(result.image.has_value()) << result.error;
  ASSERT_EQ(result.image->segments.size(), 1u);
  EXPECT_EQ(result.image->segments[0].address, 0xFFF0u);
  Bytes expected = first;
  expected.push_back(0x22);
  expected.push_back(0x33);
  EXPECT_EQ(result.image->segments[0].bytes, expected);
}

// Only the segment just written may grow: joining a record to an older one
// would reorder the image behind the file's back.
TEST(IntelHexParseTest, MergesOnlyIntoTheMostRecentSegment) {
  const HexParseResult result = ParseIntelHex(Lines({
      Record(0x00, 0x0010, {0xAA}),
      Record(0x00, 0x000F, {0xBB}),
      Record(0x00, 0x0011, {0xCC}),
      kEnd,
  }));
  ASSERT_TRUE(result.image.has_value()) << result.error;
  ASSERT_EQ(result.image->segments.size(), 3u);
  EXPECT_EQ(result.image->segments[0].address, 0x10u);
  EXPECT_EQ(result.image->segments[0].bytes, (Bytes{0xAA}));
  EXPECT_EQ(result.image->segments[1].address, 0x0Fu);
  EXPECT_EQ(result.image->segments[1].bytes, (Bytes{0xBB}));
  EXPECT_EQ(result.image->segments[2].address, 0x11u);
  EXPECT_EQ(result.image->segments[2].bytes, (Bytes{0xCC}));
}

// Records may come in any order and touch one another, as long as no
// address is given twice; the bytes around the CPU control register are
// ordinary memory.
TEST(IntelHexParseTest, AcceptsTouchingRecordsInAnyOrder) {
  const HexParseResult result = ParseIntelHex(Lines({
      Record(0x00, 0x0020, {3, 4}),
      Record(0x00, 0x0010, {1, 2}),
      Record(0x00, 0x0012, Bytes(14, 0)),
      Record(0x00, 0x0022, {5}),
      Record(0x00, 0xE5FF, {0xE5}),
      Record(0x00, 0xE601, {0xE6}),
      Record(0x00, 0x0000, {}),
      Record(0x00, 0x0000, {}),
      kEnd,
  }));
  ASSERT_TRUE(result.image.has_value()) << result.error;
  std::vector<std::pair<std::uint32_t, std::size_t>> runs;
  for (const HexSegment& segment : result.image->segments) {
    runs.emplace_back(segment.address, segment.bytes.size());
  }
  EXPECT_EQ(runs, (std::vector<std::pair<std::uint32_t, std::size_t>>{
                      {0x20, 2}, {0x10, 16}, {0x22, 1}, {0xE5FF, 1}, {0xE601, 1}}));
}

TEST(IntelHexParseTest, StartAddressComesFromType03Or05) {
  const struct {
    const char* name;
    std::vector<std::string> records;
    std::optional<std::uint32_t> start;
  } kCases[] = {
      {"none", {Record(0x00, 0, {1}), kEnd}, std::nullopt},
      {"segment", {Record(0x03, 0, {0xF0, 0x00, 0xFF, 0xF0}), kEnd}, 0xF0000u + 0xFFF0u},
      {"linear", {Record(0x05, 0, {0x08, 0x00, 0x01, 0x23}), kEnd}, 0x08000123u},
      {"linear top", {Record(0x05, 0, {0xFF, 0xFF, 0xFF, 0xFF}), kEnd}, 0xFFFFFFFFu},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const HexParseResult result = ParseIntelHex(Lines(c.records));
    ASSERT_TRUE(result.image.has_value()) << result.error;
    EXPECT_EQ(result.image->start_address, c.start);
  }
}

struct MalformedCase {
  const char* name;
  std::string text;
  std::string error;  // must appear in the message
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<MalformedCase> MalformedCases() {
  const std::string data = Record(0x00, 0, {0x11});
  return {
      {"EmptyText", "", "empty text"},
      {"OnlyBlankLines", "\n  \r\n\t\n", "no end-of-file record"},
      {"NoEndRecord", Lines({data, Record(0x00, 1, {0x22})}), "no end-of-file record"},
      {"MissingColon", Lines({data, "00000001FF"}), "line 2: record does not start with ':'"},
      {"LeadingSpace", Lines({" " + kEnd}), "line 1: record does not start with ':'"},
      {"BadHexDigit", Lines({":00000001FG"}), "line 1: not a hexadecimal digit"},
      {"SpaceInsideRecord", Lines({":000000 01FF"}), "line 1: not a hexadecimal digit"},
      {"CarriageReturnInsideRecord", Lines({":0000\r0001FF"}), "line 1: not a hexadecimal digit"},
      {"OddDigitCount", Lines({data, ":00000001F"}), "line 2: odd number of hex digits"},
      {"TooShort", Lines({":0000FF"}), "line 1: record is too short"},
      {"ColonOnly", Lines({":"}), "line 1: record is too short"},
      {"CountTooLarge", Lines({":01000000FF"}),
       "line 1: record length does not match its byte count"},
      {"CountTooSmall", Lines({":0000000100FF"}),
       "line 1: record length does not match its byte count"},
      {"BadChecksum", Lines({data, ":00000001FE"}), "line 2: checksum mismatch"},
      {"BadChecksumInData", Lines({":0100000012EE", kEnd}), "line 1: checksum mismatch"},
      {"UnknownType", Lines({data, ":00000007F9", kEnd}), "line 2: unknown record type 07"},
      {"UnknownTypeLetters", Lines({Record(0xAB, 0, {}), kEnd}), "line 1: unknown record type AB"},
      {"EndRecordWithData", Lines({Record(0x01, 0, {0xAB})}),
       "line 1: end-of-file record must have 0 data bytes, not 1"},
      {"DataAfterEnd", Lines({kEnd, data}), "line 2: data after the end-of-file record"},
      {"SecondEndRecord", Lines({kEnd, "", kEnd}), "line 3: data after the end-of-file record"},
      {"TextAfterEnd", Lines({kEnd, "done"}), "line 2: data after the end-of-file record"},
      {"SegmentBaseOneByte", Lines({Record(0x02, 0, {0x10}), kEnd}),
       "line 1: extended segment address record must have 2 data bytes, not 1"},
      {"LinearBaseThreeBytes", Lines({Record(0x04, 0, {0, 0, 0}), kEnd}),
       "line 1: extended linear address record must have 2 data bytes, not 3"},
      {"SegmentStartTwoBytes", Lines({Record(0x03, 0, {0, 0}), kEnd}),
       "line 1: start segment address record must have 4 data bytes, not 2"},
      {"LinearStartFiveBytes", Lines({Record(0x05, 0, {0, 0, 0, 0, 0}), kEnd}),
       "line 1: start linear address record must have 4 data bytes, not 5"},
      {"TwoStartRecords",
       Lines({Record(0x05, 0, {0, 0, 0, 1}), Record(0x03, 0, {0, 0, 0, 1}), kEnd}),
       "line 2: more than one start address record"},
      {"DataPastFourGiB",
       Lines({Record(0x04, 0, {0xFF, 0xFF}), Record(0x00, 0xFFFF, {1, 2}), kEnd}),
       "line 2: data runs past the 4 GiB address space"},
      // An address given twice has no one right content.
      {"RepeatedRecord", Lines({Record(0x00, 0x10, {1, 2}), Record(0x00, 0x10, {1, 2}), kEnd}),
       "line 2: address 0x0010 was already given on line 1"},
      {"OverlapsTheEndOfAnEarlierRecord",
       Lines({Record(0x00, 0x10, {1, 2, 3, 4}), Record(0x00, 0x20, {9}), Record(0x00, 0x13, {5, 6}),
              kEnd}),
       "line 3: address 0x0013 was already given on line 1"},
      {"RunsIntoALaterAddress",
       Lines({Record(0x00, 0x10, {1}), Record(0x00, 0x0E, {7, 8, 9}), kEnd}),
       "line 2: address 0x0010 was already given on line 1"},
      {"SameAddressThroughAnotherBase",
       Lines({Record(0x02, 0, {0x00, 0x01}), Record(0x00, 0x0000, {1}), Record(0x04, 0, {0, 0}),
              Record(0x00, 0x0010, {2}), kEnd}),
       "line 4: address 0x0010 was already given on line 2"},
      {"OverlapAfterABlankLine",
       Lines({Record(0x00, 0x40, {1, 2}), "", Record(0x00, 0x41, {3}), kEnd}),
       "line 3: address 0x0041 was already given on line 1"},
      // The loader's CPU control register starts the CPU when written.
      {"CpuControlRegister", Lines({Record(0x00, 0xE600, {0x00}), kEnd}),
       "line 1: data at 0xE600 to 0xE600 would write the loader's CPU control register 0xE600"},
      {"RecordAcrossCpuControlRegister",
       Lines({Record(0x00, 0, {1}), Record(0x00, 0xE5F8, Bytes(16, 0xAB)), kEnd}),
       "line 2: data at 0xE5F8 to 0xE607 would write the loader's CPU control register"},
  };
}

class IntelHexMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(IntelHexMalformedTest, IsRejectedWithAOneLineReason) {
  const MalformedCase& c = GetParam();
  const HexParseResult result = ParseIntelHex(c.text);
  EXPECT_FALSE(result.image.has_value());
  EXPECT_NE(result.error.find(c.error), std::string::npos) << "actual: " << result.error;
  EXPECT_EQ(result.error.find('\n'), std::string::npos) << result.error;
}

INSTANTIATE_TEST_SUITE_P(Texts, IntelHexMalformedTest, ::testing::ValuesIn(MalformedCases()),
                         [](const ::testing::TestParamInfo<MalformedCase>& param_info) {
                           return std::string(param_info.param.name);
                         });

// Each test gets its own folder so parallel runs never see each other's files.
class IntelHexFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    do {
      dir_ = base / ("kx_intel_hex_test_" + std::to_string(random()) + std::to_string(random()));
    } while (!fs::create_directory(dir_));
  }

  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    EXPECT_TRUE(out.good()) << path;
    return path.string();
  }

  fs::path dir_;
};

TEST_F(IntelHexFileTest, MissingFileCannotBeOpened) {
  const std::string path = (dir_ / "absent.hex").string();
  const HexParseResult result = LoadIntelHexFile(path);
  EXPECT_FALSE(result.image.has_value());
  EXPECT_EQ(result.error, "cannot open " + path + ": No such file or directory");
}

TEST_F(IntelHexFileTest, DirectoryCannotBeOpened) {
  const std::string path = dir_.string();
  const HexParseResult result = LoadIntelHexFile(path);
  EXPECT_FALSE(result.image.has_value());
  EXPECT_EQ(result.error, "cannot open " + path + ": it is a folder, not a regular file");
}

TEST_F(IntelHexFileTest, ParseErrorNamesTheFile) {
  const std::string path = Write("bad.hex", Lines({Record(0x00, 0, {1}), ":00000001FE"}));
  const HexParseResult result = LoadIntelHexFile(path);
  EXPECT_FALSE(result.image.has_value());
  EXPECT_EQ(result.error, path + ": line 2: checksum mismatch");
}

TEST_F(IntelHexFileTest, GoodFileLoads) {
  ExpectGoodImage(LoadIntelHexFile(Write("good.hex", Lines(kGoodRecords, "\r\n"))));
}

TEST_F(IntelHexFileTest, FourMiBIsTheLimit) {
  constexpr std::size_t kLimit = std::size_t{4} * 1024 * 1024;
  std::string text = kEnd + "\n";
  text.resize(kLimit, '\n');

  const std::string at_limit = Write("at_limit.hex", text);
  const HexParseResult accepted = LoadIntelHexFile(at_limit);
  EXPECT_TRUE(accepted.image.has_value()) << accepted.error;

  text.push_back('\n');
  const std::string over = Write("over.hex", text);
  const HexParseResult rejected = LoadIntelHexFile(over);
  EXPECT_FALSE(rejected.image.has_value());
  EXPECT_EQ(rejected.error, over + " is larger than 4 MiB");
}

TEST(IntelHexShippedFirmwareTest, ParsesAndCarriesItsLabel) {
  const HexParseResult result = LoadIntelHexFile(KX_TEST_FIRMWARE);
  ASSERT_TRUE(result.image.has_value()) << result.error;
  ASSERT_FALSE(result.image->segments.empty());
  EXPECT_EQ(result.image->segments.front().address, 0u);
  EXPECT_TRUE(result.image->start_address.has_value());

  std::string contents;
  for (const HexSegment& segment : result.image->segments) {
    contents.append(segment.bytes.begin(), segment.bytes.end());
  }
  EXPECT_NE(contents.find("KX7312 simulated board firmware image, not for real hardware."),
            std::string::npos);
}

}  // namespace
}  // namespace kx::board
