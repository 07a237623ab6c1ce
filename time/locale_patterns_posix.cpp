#include "time/locale_patterns_posix.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <vector>

namespace halvrenn {
namespace {

// One piece of a pattern: literal text, or one conversion with its flags, width and modifier.
struct Token {
  bool is_text = false;
  std::string text;      // the literal text, when is_text
  std::string flags;     // "-_0^#" flags and a width, as written
  char modifier = '\0';  // 'E', 'O' or none
  char conversion = '\0';

  static Token Text(std::string_view text) { return {true, std::string(text), {}, '\0', '\0'}; }
  static Token Conversion(char conversion, std::string flags = {}, char modifier = '\0') {
    return {false, {}, std::move(flags), modifier, conversion};
  }
  bool Is(char wanted) const { return !is_text && conversion == wanted; }
};

using Tokens = std::vector<Token>;

Tokens Tokenize(std::string_view pattern) {
  Tokens tokens;
  const auto add_text = [&tokens](std::string_view text) {
    if (!tokens.empty() && tokens.back().is_text) {
      tokens.back().text += text;
    } else {
      tokens.push_back(Token::Text(text));
    }
  };
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      add_text(pattern.substr(i, 1));
      continue;
    }
    std::size_t j = i + 1;
    while (j < pattern.size() && std::strchr("-_0^#", pattern[j]) != nullptr) ++j;
    while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') ++j;
    std::string flags(pattern.substr(i + 1, j - i - 1));
    char modifier = '\0';
    if (j < pattern.size() && (pattern[j] == 'E' || pattern[j] == 'O')) modifier = pattern[j++];
    if (j >= pattern.size() || pattern[j] == '\0') {  // a lone % at the end is text to strftime
      add_text(pattern.substr(i));
      break;
    }
    tokens.push_back(Token::Conversion(pattern[j], std::move(flags), modifier));
    i = j;
  }
  return tokens;
}

std::string Join(const Tokens& tokens) {
  std::string pattern;
  for (const Token& token : tokens) {
    if (token.is_text) {
      pattern += token.text;
      continue;
    }
    pattern += '%';
    pattern += token.flags;
    if (token.modifier != '\0') pattern += token.modifier;
    pattern += token.conversion;
  }
  return pattern;
}

// Blanks as locales write them: space, tab, no-break space and narrow no-break space (UTF-8).
std::size_t BlankSuffixLength(std::string_view text) {
  for (const std::string_view blank : {" ", "\t", "\xC2\xA0", "\xE2\x80\xAF"}) {
    if (text.ends_with(blank)) return blank.size();
  }
  return 0;
}

std::size_t BlankPrefixLength(std::string_view text) {
  for (const std::string_view blank : {" ", "\t", "\xC2\xA0", "\xE2\x80\xAF"}) {
    if (text.starts_with(blank)) return blank.size();
  }
  return 0;
}

void TrimBlanksAtEnd(std::string& text) {
  while (const std::size_t length = BlankSuffixLength(text)) text.resize(text.size() - length);
}

void TrimBlanksAtStart(std::string& text) {
  while (const std::size_t length = BlankPrefixLength(text)) text.erase(0, length);
}

// %r, %R, %T and %D as strftime defines them, so that the rules below see what they hold. A %r
// inside the locale's own twelve-hour pattern is strftime's default rather than followed again.
Tokens WriteOutComposites(const Tokens& tokens, std::string_view twelve_hour_pattern, int depth) {
  Tokens written;
  const auto append = [&written](const Tokens& more) {
    for (const Token& token : more) {
      if (token.is_text && !written.empty() && written.back().is_text) {
        written.back().text += token.text;
      } else {
        written.push_back(token);
      }
    }
  };
  for (const Token& token : tokens) {
    if (token.Is('r')) {
      const bool own = depth == 0 && !twelve_hour_pattern.empty();
      append(WriteOutComposites(Tokenize(own ? twelve_hour_pattern : "%I:%M:%S %p"),
                                twelve_hour_pattern, depth + 1));
    } else if (token.Is('R')) {
      append(Tokenize("%H:%M"));
    } else if (token.Is('T')) {
      append(Tokenize("%H:%M:%S"));
    } else if (token.Is('D')) {
      append(Tokenize("%m/%d/%y"));
    } else {
      append({token});
    }
  }
  return written;
}

// Removes tokens[index] with the blanks before it (or, at the start, the blanks after it).
void RemoveWithBlanks(Tokens& tokens, std::size_t index) {
  tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(index));
  if (index > 0 && tokens[index - 1].is_text) {
    TrimBlanksAtEnd(tokens[index - 1].text);
  } else if (index == 0 && !tokens.empty() && tokens[0].is_text) {
    TrimBlanksAtStart(tokens[0].text);
  }
}

void DropConversions(Tokens& tokens, std::string_view conversions) {
  for (std::size_t i = tokens.size(); i-- > 0;) {
    if (!tokens[i].is_text && conversions.find(tokens[i].conversion) != std::string_view::npos) {
      RemoveWithBlanks(tokens, i);
    }
  }
}

Token FullYear(const Token& year, const LocaleTimeTexts& locale) {
  if (year.modifier == 'O' && locale.has_own_digits) return Token::Conversion('Y', {}, 'O');
  return Token::Conversion('Y', year.flags);
}

void WidenYears(Tokens& tokens, const LocaleTimeTexts& locale) {
  Tokens widened;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    const bool era_year = token.modifier == 'E' && locale.has_eras;
    if (token.Is('C') && i + 1 < tokens.size() && tokens[i + 1].Is('y')) {
      // A century and its year: the era's name and year stay; otherwise the full year.
      if (era_year && tokens[i + 1].modifier == 'E') {
        widened.push_back(token);
        widened.push_back(tokens[i + 1]);
      } else {
        widened.push_back(FullYear(tokens[i + 1], locale));
      }
      ++i;
    } else if (token.Is('y') && !era_year) {
      widened.push_back(FullYear(token, locale));
    } else {
      widened.push_back(token);
    }
  }
  tokens = std::move(widened);
}

void UseTwentyFourHoursWithoutMarks(Tokens& tokens, const LocaleTimeTexts& locale) {
  if (!locale.am.empty() && !locale.pm.empty() && locale.am != locale.pm) return;
  for (Token& token : tokens) {
    if (token.Is('I')) token.conversion = 'H';
    if (token.Is('l')) token.conversion = 'k';
  }
  DropConversions(tokens, "pP");
}

bool IsHour(const Token& token) {
  return token.Is('H') || token.Is('I') || token.Is('k') || token.Is('l');
}

// A separator of numbers rather than a unit's mark: ASCII punctuation and blanks only.
bool IsPunctuation(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return c == ' ' || (c > ' ' && c < 0x7F && std::isalnum(static_cast<unsigned char>(c)) == 0);
  });
}

// Seconds after the minutes, in the minutes' own digits and with the separator that stands
// between hours and minutes where that is punctuation; after a unit's mark that follows the
// minutes, or after a colon, where it is a unit's mark. False when there are no minutes to follow.
bool AddMissingSeconds(Tokens& tokens) {
  for (const Token& token : tokens) {
    if (token.Is('S') || token.Is('s') || token.Is('X') || token.Is('c')) return true;
  }
  for (std::size_t i = tokens.size(); i-- > 0;) {
    if (!tokens[i].Is('M')) continue;
    const Token seconds = Token::Conversion('S', tokens[i].flags, tokens[i].modifier);
    const std::string between =
        i >= 2 && tokens[i - 1].is_text && IsHour(tokens[i - 2]) ? tokens[i - 1].text : ":";
    const auto after = tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1;
    if (IsPunctuation(between)) {  // "%H.%M" gives "%H.%M.%S"
      tokens.insert(after, {Token::Text(between), seconds});
    } else if (after != tokens.end() && after->is_text) {  // "%H時%M分" gives "%H時%M分%S"
      tokens.insert(after + 1, seconds);
    } else {  // "%Hh%M" gives "%Hh%M:%S"
      tokens.insert(after, {Token::Text(":"), seconds});
    }
    return true;
  }
  return false;
}

// No blank at either end of the text: blanks of the pattern's ends go, and a first conversion
// padded with a blank (%e, %k, %l) is written unpadded.
void TrimEnds(Tokens& tokens) {
  while (!tokens.empty() && tokens.front().is_text) {
    TrimBlanksAtStart(tokens.front().text);
    if (!tokens.front().text.empty()) break;
    tokens.erase(tokens.begin());
  }
  while (!tokens.empty() && tokens.back().is_text) {
    TrimBlanksAtEnd(tokens.back().text);
    if (!tokens.back().text.empty()) break;
    tokens.pop_back();
  }
  if (!tokens.empty() && tokens.front().flags.empty() && tokens.front().modifier == '\0' &&
      (tokens.front().Is('e') || tokens.front().Is('k') || tokens.front().Is('l'))) {
    tokens.front().flags.push_back('-');  // flags are empty here
  }
}

}  // namespace

AdaptedPatterns AdaptPatterns(const LocaleTimeTexts& locale) {
  Tokens date = WriteOutComposites(Tokenize(locale.date_pattern), locale.twelve_hour_pattern, 0);
  DropConversions(date, "Zz");
  WidenYears(date, locale);
  TrimEnds(date);

  Tokens time = WriteOutComposites(Tokenize(locale.time_pattern), locale.twelve_hour_pattern, 0);
  DropConversions(time, "Zz");
  UseTwentyFourHoursWithoutMarks(time, locale);
  if (!AddMissingSeconds(time)) time.clear();
  TrimEnds(time);
  return {Join(date), Join(time)};
}

}  // namespace halvrenn
