// The program message parser on its own: header forms, chains, parameters,
// and what it refuses, with the standard error numbers.
#include "scpi/parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scpi/header_pattern.h"

namespace kx::scpi {
namespace {

// A parsed line written back in one canonical form, to compare whole lines:
// "ADC|READ?" for a unit, "*IDN?" for a common one, parameters after a
// blank as kind:text, units joined by " ; ".
std::string Shape(const ParsedLine& parsed) {
  std::string shape;
  for (const Unit& unit : parsed.units) {
    if (!shape.empty()) {
      shape += " ; ";
    }
    shape += unit.common ? "*" : (unit.absolute ? ":" : "");
    for (std::size_t i = 0; i < unit.mnemonics.size(); ++i) {
      shape += (i == 0 ? "" : "|") + unit.mnemonics[i];
    }
    shape += unit.query ? "?" : "";
    for (const Parameter& parameter : unit.parameters) {
      static constexpr const char* kKinds[] = {"c", "d", "n", "s"};
      shape += std::string(" ") + kKinds[static_cast<int>(parameter.kind)] + ":" + parameter.text;
    }
  }
  return shape;
}

struct Accepted {
  std::string line;
  std::string shape;
};

TEST(ScpiParserTest, AcceptsTheFormsInstrumentsTake) {
  const std::vector<Accepted> cases = {
      {"*IDN?", "*IDN?"},
      {"*idn?", "*idn?"},
      {"*RST", "*RST"},
      {"  *CLS  ", "*CLS"},
      {"*IDN?\r", "*IDN?"},
      {"ADC:READ?", "ADC|READ?"},
      {":adc:read?", ":adc|read?"},
      {"SYST:ERR?", "SYST|ERR?"},
      {"DAC:LOAD 3,2047", "DAC|LOAD d:3 d:2047"},
      {"DAC:LOAD 3 , #H7FF", "DAC|LOAD d:3 n:#H7FF"},
      {"DAC:WRIT LOW,#h1234ABCD", "DAC|WRIT c:LOW n:#h1234ABCD"},
      {"ADC:READ:VOLT? 2.048", "ADC|READ|VOLT? d:2.048"},
      {"ADC:READ:VOLT? +2.5E0", "ADC|READ|VOLT? d:+2.5E0"},
      {"ADC:READ:VOLT? .5", "ADC|READ|VOLT? d:.5"},
      {"X 'it''s',\"a;b\"", "X s:it's s:a;b"},
      {"X #B101,#Q17", "X n:#B101 n:#Q17"},
      {"*CLS;*IDN?", "*CLS ; *IDN?"},
      {"ADC:CONF VREF;READ?", "ADC|CONF c:VREF ; READ?"},
      {"DAC:LOAD 1,2 ; :ADC:READ?;", "DAC|LOAD d:1 d:2 ; :ADC|READ?"},
      {"", ""},
      {"   \r", ""},
  };
  for (const Accepted& c : cases) {
    const ParsedLine parsed = ParseLine(c.line);
    EXPECT_FALSE(parsed.error) << c.line << ": " << parsed.error->text;
    EXPECT_EQ(Shape(parsed), c.shape) << c.line;
  }
}

TEST(ScpiParserTest, NumbersKeepTheirValues) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"2047", 2047},   {"#H7FF", 2047}, {"#hfff", 4095},
      {"#B101", 5},     {"#Q17", 15},    {"-3", -3},
      {"2.5E-1", 0.25}, {"+1e3", 1000},  {"#HFFFFFFFF", 4294967295.0},
  };
  for (const auto& [text, value] : cases) {
    const ParsedLine parsed = ParseLine("X " + text);
    ASSERT_FALSE(parsed.error) << text;
    EXPECT_EQ(parsed.units.at(0).parameters.at(0).value, value) << text;
  }
}

struct Refused {
  std::string line;
  int code;
};

TEST(ScpiParserTest, RefusesBadLinesWithTheStandardNumbers) {
  const std::vector<Refused> cases = {
      {"ADC:", -102},                // a header ends without its mnemonic
      {"ADC::READ?", -102},          // an empty node
      {"*", -102},                   // a common command without its word
      {"1ADC", -102},                // a header starting with a digit
      {"ADC:READ?X", -103},          // something straight after the '?'
      {"DAC:LOAD,3", -103},          // no blank after the header
      {"DAC:LOAD 3 4", -103},        // a blank where a comma goes
      {"*IDN?;;*CLS", -102},         // an empty unit
      {";*IDN?", -102},              // an empty first unit
      {"DAC:LOAD 3,", -109},         // a parameter left empty
      {"DAC:LOAD ,3", -109},         // a parameter left empty
      {"DAC:LOAD 3,,4", -109},       // a parameter left empty
      {"ADC:CONFIGURATIONS", -112},  // a mnemonic longer than 12
      {"X ABCDEFGHIJKLM", -112},     // character data longer than 12
      {"X 12V", -120},               // a suffix
      {"X 1.2.3", -120},             // two points
      {"X 1E", -120},                // an exponent without digits
      {"X +", -120},                 // a sign alone
      {"X #HXYZ", -120},             // hex without hex digits
      {"X #H", -120},                // no digits at all
      {"X #B102", -120},             // a 2 in binary
      {"X #HFFFFFFFFFFFFFFFFFF", -222},
      {"X 1E999", -222},     // no finite number
      {"X #15abcde", -104},  // a block is not taken
      {"X \"open", -151},    // a string without its end
      {"X @", -102},
      {std::string("X \x7F"), -102},
      {std::string("X 1\n2"), -102},
  };
  for (const Refused& c : cases) {
    const ParsedLine parsed = ParseLine(c.line);
    ASSERT_TRUE(parsed.error) << c.line;
    EXPECT_EQ(parsed.error->code, c.code) << c.line << ": " << parsed.error->text;
    EXPECT_TRUE(parsed.units.empty()) << c.line;
  }
}

TEST(ScpiParserTest, AnOverlongLineIsRefusedAsTooMuchData) {
  const std::string longest = "X '" + std::string(LongestLine - 4, 'a') + "'";
  EXPECT_FALSE(ParseLine(longest).error);
  const ParsedLine parsed = ParseLine(longest + "1");
  ASSERT_TRUE(parsed.error);
  EXPECT_EQ(parsed.error->code, -223);
}

TEST(ScpiParserTest, ErrorTextsQuoteTheirQuotes) {
  EXPECT_EQ(ErrorResponse(MakeError(UndefinedHeader, "say \"hi\"")),
            "-113,\"Undefined header; say \"\"hi\"\"\"");
  EXPECT_EQ(ErrorResponse(MakeError(NoError)), "0,\"No error\"");
}

struct HeaderCase {
  std::string pattern;
  std::vector<std::string> typed;
  bool matches;
};

TEST(ScpiHeaderTest, ShortAndLongFormsInAnyCaseAndOptionalNodes) {
  const std::vector<HeaderCase> cases = {
      {"SYSTem:ERRor[:NEXT]", {"SYST", "ERR"}, true},
      {"SYSTem:ERRor[:NEXT]", {"system", "error", "next"}, true},
      {"SYSTem:ERRor[:NEXT]", {"SyStEm", "ErR", "NeXt"}, true},
      {"SYSTem:ERRor[:NEXT]", {"SYSTE", "ERR"}, false},  // neither form
      {"SYSTem:ERRor[:NEXT]", {"SYS", "ERR"}, false},
      {"SYSTem:ERRor[:NEXT]", {"SYST"}, false},
      {"SYSTem:ERRor[:NEXT]", {"SYST", "ERR", "NEXT", "NEXT"}, false},
      {"DAC:LOAD[:INPut]", {"DAC", "LOAD", "INP"}, true},
      {"DAC:LOAD[:INPut]", {"DAC", "LOAD", "INPU"}, false},
      {"DAC:LDAC[:REGister]", {"DAC", "LDAC"}, true},
      {"ADC:CAPTure:CHANnel0", {"ADC", "CAPT", "CHAN0"}, true},
      {"ADC:CAPTure:CHANnel0", {"ADC", "CAPTURE", "CHANNEL0"}, true},
      {"ADC:CAPTure:CHANnel0", {"ADC", "CAPT", "CHAN"}, false},
      {"ADC:CAPTure[:ALL]", {"ADC", "CAPT", "ALL"}, true},
      {"IDN", {"idn"}, true},
  };
  for (const HeaderCase& c : cases) {
    std::string typed;
    for (const std::string& word : c.typed) {
      typed += word + ":";
    }
    EXPECT_EQ(HeaderPattern(c.pattern).Matches(c.typed), c.matches) << c.pattern << " " << typed;
  }
}

}  // namespace
}  // namespace kx::scpi
