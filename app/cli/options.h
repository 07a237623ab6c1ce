#pragma once

// halvrenn-cdr's options, each written once in one table: the parser (cli.cpp) finds them in it,
// --help lists them from it, and the build writes the manual's list of options and the bash
// completion from it (option_texts.cpp).
//
// Example: {Option::kOutput, 'o', "output", "DIR", ...} is -o DIR, -oDIR, --output DIR and
// --output=DIR; --help shows "  -o, --output DIR" and its help text beside it.

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cdr/format/time_texts.h"

namespace halvrenn::cli {

enum class Option : unsigned char {
  kOutput,
  kForce,
  kColumn,
  kDecode,
  kAdd,
  kFormat,
  kZone,
  kDelimiter,
  kJobs,
  kQuiet,
  kWatch,
  kDone,
  kPoll,
  kLog,
  kService,
  kHelp,
  kVersion,
  kEndOfOptions,  // "--"
};

// What the bash completion offers for an option's value.
enum class ValueCompletion : unsigned char {
  kNone,      // the option takes no value: what follows is completed as any argument
  kNothing,   // a value that no list holds, or nothing at all after the option (--help)
  kFolder,    // a folder's name
  kFile,      // a file's name
  kZone,      // a zone name of the tz database
  kWord,      // one of `words`
  kWordList,  // a comma-separated list of `words`
};

struct OptionSpec {
  Option option;
  char short_name = '\0';           // '\0': a long name only
  std::string_view long_name = {};  // without its "--"; empty for "--" itself
  std::string_view value = {};      // as --help shows it ("DIR", "iso|locale"); empty: a flag
  std::string_view help = {};       // --help's text, broken into lines where --help breaks it
  std::string_view manual = {};     // the manual's paragraphs (roff) under the option's names
  ValueCompletion completion = ValueCompletion::kNone;
  std::vector<std::string_view> (*words)() = nullptr;  // for kWord and kWordList
  std::string_view heading = {};                       // a line of --help before the option
};

std::span<const OptionSpec> OptionTable();

// "-o, --output DIR", "--decode LIST", "--": the option's names and value, as --help shows them.
std::string OptionNames(const OptionSpec& spec);

// The whole of --help.
std::string HelpText();

// The words of the values, for the parser and the completion alike.
template <class Value>
struct NamedValue {
  std::string_view word;
  Value value;
};
// --add's, each by its TimeTextWord.
inline constexpr std::array<cdr::TimeText, 5> kTimeTexts = {
    cdr::TimeText::kGmt, cdr::TimeText::kLocal, cdr::TimeText::kOffset, cdr::TimeText::kStandard,
    cdr::TimeText::kDaylight};
// --decode's, one per kind of column in the order of cdr::ColumnKind.
std::span<const std::string_view> KindWords();
inline constexpr std::array<NamedValue<cdr::TextFormat>, 2> kFormats = {
    {{"iso", cdr::TextFormat::kIso}, {"locale", cdr::TextFormat::kLocale}}};
// --delimiter's names; it also takes any one character.
inline constexpr std::array<NamedValue<char>, 3> kNamedDelimiters = {
    {{"comma", ','}, {"tab", '\t'}, {"semicolon", ';'}}};

}  // namespace halvrenn::cli
