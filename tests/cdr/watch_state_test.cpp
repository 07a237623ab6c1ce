// The watcher's decisions played through with made-up facts and times: each row a story of one
// folder, step by step, with the actions the state answers and how long the loop may then wait.

#include "cdr/watch/watch_state.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace halvrenn::cdr {
namespace {

using std::chrono::milliseconds;

enum class Fact : unsigned char {
  kWritten,  // the folder watch's changes
  kTouched,
  kGone,
  kSpecial,          // touched, and a FIFO
  kListed,           // a look at the whole folder found the file
  kListedConverted,  // ... with an output newer than it
  kUnlisted,         // ... could not list the folder
  kDue,
  kLooked,  // the file's state at a look (version 0: gone)
  kNoWriter,
  kWriter,
  kWritersUnknown,
  kConverted,  // the conversion's outcome
  kDiskFull,
  kNotWritten,
  kUnreadable,
  kMoved,  // the move into the done folder
  kMovedRenamed,
  kMoveFailed,
};

struct Step {
  int at;  // milliseconds from the start
  Fact fact;
  const char* expected;  // the actions, then how long the loop may wait for changes
  int version = 1;       // of the file: its size
  const char* file = "a";
};

struct Story {
  const char* name;
  bool reports_close;  // inotify: writers' closes are reported; else a settling time of 200 ms
  bool done;           // a done folder
  std::vector<Step> steps;
};

// clang-format off
const Story kStories[] = {
  {"closed and no writer: converted at once", true, false, {
    {0, Fact::kWritten, "nothing | 0"},
    {0, Fact::kDue, "look a | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kNoWriter, "convert a | 0"},
    {10, Fact::kConverted, "converted in/a out/a | 3600000"},
    {20, Fact::kWritten, "nothing | 3600000"}}},  // the same state: a late event
  {"found by a look at the folder: two looks 250 ms apart without a writer", true, false, {
    {0, Fact::kListed, "nothing | 0"},
    {0, Fact::kDue, "look a | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kNoWriter, "nothing | 250"},
    {100, Fact::kDue, "nothing | 150"},
    {250, Fact::kDue, "look a | 0"},
    {250, Fact::kLooked, "writers a | 0"},
    {250, Fact::kNoWriter, "convert a | 0"}}},
  {"found, changed between the looks: unchanged for the settling time again", true, false, {
    {0, Fact::kListed, "nothing | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kNoWriter, "nothing | 250"},
    {250, Fact::kLooked, "nothing | 1000", 2}}},
  {"found, writers unknown: unchanged for the settling time", true, false, {
    {0, Fact::kListed, "nothing | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kWritersUnknown, "nothing | 1000"},
    {1000, Fact::kLooked, "writers a | 0"},
    {1000, Fact::kWritersUnknown, "convert a | 0"}}},
  {"found converted already: only the move is left", true, true, {
    {0, Fact::kListedConverted, "nothing | 0"},
    {0, Fact::kDue, "look a | 0"},
    {0, Fact::kLooked, "move a | 0"},
    {0, Fact::kMoved, "nothing | 3600000"}}},
  {"found converted already, no done folder: nothing to do", true, false, {
    {0, Fact::kListedConverted, "nothing | 3600000"}}},
  {"touched and never closed: 60 s unchanged, a second touch changing nothing", true, false, {
    {0, Fact::kTouched, "nothing | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kNoWriter, "nothing | 60000"},
    {1000, Fact::kTouched, "nothing | 59000"},
    {60000, Fact::kLooked, "writers a | 0"},
    {60000, Fact::kNoWriter, "convert a | 0"}}},
  {"touched, then closed: converted at the close", true, false, {
    {0, Fact::kTouched, "nothing | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kNoWriter, "nothing | 60000"},
    {5000, Fact::kWritten, "nothing | 0"},
    {5000, Fact::kLooked, "writers a | 0"},
    {5000, Fact::kNoWriter, "convert a | 0"}}},
  {"a writer present: looked at again every 250 ms", true, false, {
    {0, Fact::kWritten, "nothing | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kWriter, "nothing | 250"},
    {250, Fact::kLooked, "writers a | 0"},
    {250, Fact::kNoWriter, "convert a | 0"}}},
  {"no closes reported: unchanged for the watch's settling time", false, false, {
    {0, Fact::kTouched, "nothing | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kNoWriter, "nothing | 200"},
    {200, Fact::kLooked, "writers a | 0"},
    {200, Fact::kNoWriter, "convert a | 0"}}},
  {"gone, or gone at a look: forgotten", true, false, {
    {0, Fact::kWritten, "nothing | 0"},
    {0, Fact::kGone, "nothing | 3600000"},
    {10, Fact::kWritten, "nothing | 0"},
    {10, Fact::kLooked, "nothing | 3600000", 0}}},
  {"a full disk: every file waits, the pause grows, said once", true, false, {
    {0, Fact::kWritten, "nothing | 0"},
    {0, Fact::kWritten, "nothing | 0", 1, "b"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kNoWriter, "convert a | 0"},
    {0, Fact::kDiskFull, "disk-full in/a 1 s | 1000"},
    {500, Fact::kDue, "nothing | 500"},
    {1000, Fact::kDue, "look a, look b | 0"},
    {1000, Fact::kDiskFull, "nothing | 2000"},
    {3000, Fact::kConverted, "writing-again out/, converted in/a out/a | 0"}}},
  {"an output not written: tried again after 1 s, then 2 s, said once", true, false, {
    {0, Fact::kNotWritten, "not-written in/a 1 s | 1000"},
    {1000, Fact::kNotWritten, "nothing | 2000"}}},
  {"unreadable and unchanged: said, then left until it changes", true, false, {
    {0, Fact::kUnreadable, "look a | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kNoWriter, "failed in/a | 3600000"},
    {10, Fact::kWritten, "nothing | 3600000"},
    {20, Fact::kWritten, "nothing | 0", 2}}},
  {"unreadable, but changed meanwhile: not its fault, looked at again", true, false, {
    {0, Fact::kUnreadable, "look a | 0"},
    {0, Fact::kLooked, "nothing | 250", 2}}},
  {"unreadable, but a writer came back: looked at again", true, false, {
    {0, Fact::kUnreadable, "look a | 0"},
    {0, Fact::kLooked, "writers a | 0"},
    {0, Fact::kWriter, "nothing | 250"}}},
  {"moved into the done folder: tried again, said once, then under another name", true, true, {
    {0, Fact::kConverted, "converted in/a out/a, move a | 0"},
    {0, Fact::kMoveFailed, "not-moved in/a done/ 1 s | 1000"},
    {1000, Fact::kLooked, "move a | 0"},
    {1000, Fact::kMoveFailed, "nothing | 2000"},
    {3000, Fact::kLooked, "move a | 0"},
    {3000, Fact::kMovedRenamed, "moved-as in/a done/a.1 | 3600000"}}},
  {"a FIFO: said once until it goes; an unlistable folder", true, false, {
    {0, Fact::kSpecial, "not-regular in/a | 3600000"},
    {10, Fact::kSpecial, "nothing | 3600000"},
    {20, Fact::kGone, "nothing | 3600000"},
    {30, Fact::kSpecial, "not-regular in/a | 3600000"},
    {40, Fact::kUnlisted, "unreadable in/ | 3600000"}}},
};
// clang-format on

// The steps that give a conversion's outcome start from a file that is due for it.
bool Converts(Fact fact) { return fact >= Fact::kConverted && fact <= Fact::kUnreadable; }

std::string Text(const WatchAction& action) {
  static constexpr std::array<const char*, 11> kReports{
      "converted", "failed",      "not-written", "disk-full",   "writing-again", "not-moved",
      "moved-as",  "same-output", "link-out",    "not-regular", "unreadable"};
  switch (action.kind) {
    case WatchAction::Kind::kLook:
      return "look " + action.name;
    case WatchAction::Kind::kAskWriters:
      return "writers " + action.name;
    case WatchAction::Kind::kConvert:
      return "convert " + action.name;
    case WatchAction::Kind::kMoveToDone:
      return "move " + action.name;
    case WatchAction::Kind::kReport:
      break;
  }
  const WatchEvent& event = action.event;
  std::string text = kReports.at(static_cast<std::size_t>(event.kind));
  for (const std::string* part : {&event.input, &event.path}) {
    if (!part->empty()) text += " " + *part;
  }
  if (event.retry.count() != 0) text += " " + std::to_string(event.retry.count()) + " s";
  return text;
}

WatchActions Play(WatchState& state, const Step& step, WatchState::Time now, FileResult& result) {
  const std::string name = step.file;
  std::optional<FileState> file;
  if (step.version > 0) file = FileState{.size = static_cast<std::uint64_t>(step.version)};
  const FileState newer{.size = 1, .modified = 1};
  const auto convert = [&](Outcome outcome, Failure failure) {
    result.outcome = outcome;
    result.failure = failure;
    result.output = "out/" + name;
    return state.Converted(name, result, now);
  };
  switch (step.fact) {
    case Fact::kWritten:
      return state.Changed(FolderChange::Kind::kWritten, {.name = name, .state = file}, now);
    case Fact::kTouched:
      return state.Changed(FolderChange::Kind::kTouched, {.name = name, .state = file}, now);
    case Fact::kGone:
      return state.Changed(FolderChange::Kind::kGone, {.name = name}, now);
    case Fact::kSpecial:
      return state.Changed(FolderChange::Kind::kTouched, {.name = name, .special = true}, now);
    case Fact::kListed:
      return state.Listed(std::vector<NameFacts>{{.name = name, .state = file}}, now);
    case Fact::kListedConverted:
      return state.Listed(std::vector<NameFacts>{{.name = name, .state = file, .output = newer}},
                          now);
    case Fact::kUnlisted:
      return state.Listed(std::nullopt, now);
    case Fact::kDue:
      return state.Due(now);
    case Fact::kLooked:
      return state.Looked(name, file, now);
    case Fact::kNoWriter:
      return state.WritersAre(name, Writers::kNone, now);
    case Fact::kWriter:
      return state.WritersAre(name, Writers::kSome, now);
    case Fact::kWritersUnknown:
      return state.WritersAre(name, Writers::kUnknown, now);
    case Fact::kConverted:
      return convert(Outcome::kDone, Failure::kNone);
    case Fact::kDiskFull:
      return convert(Outcome::kFailed, Failure::kDiskFull);
    case Fact::kNotWritten:
      return convert(Outcome::kFailed, Failure::kCannotWrite);
    case Fact::kUnreadable:
      return convert(Outcome::kFailed, Failure::kCannotRead);
    case Fact::kMoved:
      return state.Moved(name, {.kind = MoveOutcome::Kind::kMoved, .path = "done/" + name}, now);
    case Fact::kMovedRenamed:
      return state.Moved(
          name, {.kind = MoveOutcome::Kind::kMoved, .path = "done/" + name + ".1", .renamed = true},
          now);
    case Fact::kMoveFailed:
      return state.Moved(name, {.kind = MoveOutcome::Kind::kFailed, .error = "denied"}, now);
  }
  return {};
}

TEST(WatchState, DecidesFromTheFactsGiven) {
  for (const Story& story : kStories) {
    // Folders that end in a separator, so that the paths joined are alike on every platform.
    WatchState state({.input = "in/",
                      .output = "out/",
                      .done = story.done ? std::optional<std::string>("done/") : std::nullopt},
                     story.reports_close, milliseconds(story.reports_close ? 1000 : 200));
    for (std::size_t i = 0; i < story.steps.size(); ++i) {
      const Step& step = story.steps[i];
      const WatchState::Time now = WatchState::Time{} + milliseconds(step.at);
      if (i == 0 && Converts(step.fact)) {
        // A closed file without a writer, due for conversion.
        state.Changed(FolderChange::Kind::kWritten,
                      {.name = step.file, .state = FileState{.size = 1}}, now);
        state.Looked(step.file, FileState{.size = 1}, now);
        state.WritersAre(step.file, Writers::kNone, now);
      }
      FileResult result;
      std::string text;
      for (const WatchAction& action : Play(state, step, now, result)) {
        if (!text.empty()) text += ", ";
        text += Text(action);
      }
      if (text.empty()) text = "nothing";
      text += " | " + std::to_string(state.TimeUntilDue(now).count());
      EXPECT_EQ(text, step.expected) << story.name << ", step " << i + 1;
    }
  }
}

}  // namespace
}  // namespace halvrenn::cdr
