// Writes the texts of halvrenn-cdr that list its options, from the table that its parser and its
// --help read (options.cpp), when the program is built:
//   halvrenn-cdr-option-texts manual <page, configured> <page>
//   halvrenn-cdr-option-texts completion <script template> <script>
// The manual's list of options replaces the line `.\" <options>`; the completion's cases of the
// options' values replace the line `# <options with values>`, and its options `<long options>`.
// An option without its manual's text or its words, or a template without its place, fails the
// build.

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"

namespace halvrenn::cli {
namespace {

// Roff takes a '-' as a hyphen and a '\' as an escape: an option's minus signs are "\-".
std::string RoffEscaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '-' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// The value as the manual writes it: names to fill in italic, words to type in bold, the rest
// roman. "NAME[:s|ms|us]" gives \fINAME\fR[\fB:s\fR|\fBms\fR|\fBus\fR].
std::string RoffValue(std::string_view value) {
  std::string roff;
  char font = 'R';
  for (const char c : value) {
    const char wanted = (c >= 'A' && c <= 'Z') || c == '_'   ? 'I'
                        : (c >= 'a' && c <= 'z') || c == ':' ? 'B'
                                                             : 'R';
    if (wanted != font) roff += std::string("\\f") + wanted;
    font = wanted;
    roff += RoffEscaped(std::string_view(&c, 1));
  }
  if (font != 'R') roff += "\\fR";
  return roff;
}

std::string ManualOptions(std::string& problem) {
  std::string roff;
  for (const OptionSpec& spec : OptionTable()) {
    if (spec.manual.empty()) problem = "--" + std::string(spec.long_name) + " has no manual text";
    roff += ".TP\n";
    if (spec.short_name != '\0') {
      roff.append("\\fB\\-").append(1, spec.short_name).append("\\fR, ");
    }
    roff.append("\\fB\\-\\-").append(RoffEscaped(spec.long_name)).append("\\fR");
    if (!spec.value.empty()) roff.append(" ").append(RoffValue(spec.value));
    roff.append("\n").append(spec.manual).append("\n");
  }
  return roff;
}

std::string Joined(const std::vector<std::string>& words, std::string_view between) {
  std::string joined;
  for (const std::string& word : words) {
    if (!joined.empty()) joined += between;
    joined += word;
  }
  return joined;
}

// The words that bash completes a value from, in single quotes.
std::string QuotedWords(const OptionSpec& spec, std::string& problem) {
  std::vector<std::string> words;
  if (spec.words != nullptr) {
    for (const std::string_view word : spec.words()) words.emplace_back(word);
  }
  if (words.empty()) problem = "--" + std::string(spec.long_name) + " has no words to complete";
  std::string quoted(1, '\'');
  quoted.append(Joined(words, " ")).append(1, '\'');
  return quoted;
}

// What the completion does after an option of each kind, before it returns.
std::string CompletionBody(const OptionSpec& spec, std::string& problem) {
  switch (spec.completion) {
    case ValueCompletion::kFolder:
      return "_filedir -d";
    case ValueCompletion::kFile:
      return "_filedir";
    case ValueCompletion::kZone:
      return "_halvrenn_cdr_zones \"$cur\"";
    case ValueCompletion::kWordList:
      return "_halvrenn_cdr_list " + QuotedWords(spec, problem);
    case ValueCompletion::kWord:
      return "COMPREPLY=($(compgen -W " + QuotedWords(spec, problem) + " -- \"$cur\"))";
    case ValueCompletion::kNothing:
    case ValueCompletion::kNone:
      break;
  }
  return {};
}

// One case of bash's `case $prev in` per way of completing a value: "-o | --output | --watch |
// --done)" and the words of each option of its own.
std::string CompletionCases(std::string& problem) {
  std::vector<std::string> bodies;
  std::vector<std::vector<std::string>> patterns;
  for (const OptionSpec& spec : OptionTable()) {
    if (spec.completion == ValueCompletion::kNone) continue;
    const std::string body = CompletionBody(spec, problem);
    std::size_t index = 0;
    while (index < bodies.size() && bodies[index] != body) ++index;
    if (index == bodies.size()) {
      bodies.push_back(body);
      patterns.emplace_back();
    }
    if (spec.short_name != '\0') patterns[index].push_back(std::string{'-', spec.short_name});
    patterns[index].push_back("--" + std::string(spec.long_name));
  }
  std::string cases;
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    cases += "        " + Joined(patterns[i], " | ") + ")\n";
    if (!bodies[i].empty()) cases += "            " + bodies[i] + "\n";
    cases += "            return\n            ;;\n";
  }
  return cases;
}

std::string LongOptions() {
  std::vector<std::string> names;
  for (const OptionSpec& spec : OptionTable()) names.push_back("--" + std::string(spec.long_name));
  return Joined(names, " ");
}

// Puts `replacement` where `place` is, once; false when `text` does not hold it once.
bool Fill(std::string& text, std::string_view place, std::string_view replacement) {
  const std::size_t at = text.find(place);
  if (at == std::string::npos || text.find(place, at + 1) != std::string::npos) return false;
  text.replace(at, place.size(), replacement);
  return true;
}

int Write(std::string_view kind, const std::string& from, const std::string& to) {
  std::ifstream input(from, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(input), {});
  if (!input.good() && !input.eof()) {
    std::cerr << from << ": cannot read\n";
    return 1;
  }
  std::string problem;
  bool filled = false;
  if (kind == "manual") {
    filled = Fill(text, ".\\\" <options>\n", ManualOptions(problem));
  } else if (kind == "completion") {
    filled = Fill(text, "        # <options with values>\n", CompletionCases(problem)) &&
             Fill(text, "<long options>", LongOptions());
  } else {
    problem = "unknown kind of text " + std::string(kind);
  }
  if (problem.empty() && !filled) problem = from + " has no place, or two, for the options";
  if (!problem.empty()) {
    std::cerr << "halvrenn-cdr-option-texts: " << problem << "\n";
    return 1;
  }
  std::ofstream output(to, std::ios::binary);
  output << text;
  output.close();
  if (!output) {
    std::cerr << to << ": cannot write\n";
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace halvrenn::cli

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: halvrenn-cdr-option-texts manual|completion TEMPLATE OUTPUT\n";
    return 1;
  }
  return halvrenn::cli::Write(argv[1], argv[2], argv[3]);
}
