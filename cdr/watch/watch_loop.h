#pragma once

// Unattended conversion of a folder: every file that has no output yet, then every file that
// arrives or changes, each version once, with one converter's options and the output names of
// ConvertFile. What is done is what has an output no older than its input: the conversion's
// temporary file and rename are the only record, so a watcher killed at any instant and started
// again converts exactly what has no complete output. It never prints: what happens to each file
// goes to a callback, worded by the caller. What it decides is WatchState's (watch_state.h); the
// loop looks, converts and moves as that asks.
//
// A file is taken once its writer is done (FolderWatch: closed after writing or moved in, with no
// writer left; found by a look at the whole folder and without a writer at two looks; or
// unchanged for the watch's settling time). No writer at a single look proves nothing: a file
// created by open(O_CREAT) is in the folder an instant before its creator holds it open. Hidden
// files, the names outputs and temporary files get, uploads in progress (name.part,
// name.filepart), Explorer's desktop.ini and Thumbs.db, sub-folders and links that lead out of
// the folder are left alone; so are FIFOs, sockets and devices, reported once.
//
// Faults never end the watch. A file that cannot be read or converted is reported once and tried
// again when it changes. An output that cannot be written is reported once and tried again after
// a pause that grows to a minute; a full disk holds every file back for that pause, reported once
// until writing works again.
//
// Example:
//   std::unique_ptr<FolderWatch> watch = WatchFolderEvents("in", error);
//   WatchAndConvert([&]() -> const Converter& { return *converter; },
//                   {.input = "in", .output = "out"}, *watch,
//                   [](const WatchEvent& event) { Log(event); }, stop);

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cdr/convert/conversion.h"
#include "cdr/watch/folder_watch.h"

namespace halvrenn::cdr {

struct WatchFolders {
  std::string input;
  std::string output;               // an existing folder other than `input`
  std::optional<std::string> done;  // inputs are moved here once their outputs are in place
};

struct WatchEvent {
  enum class Kind : unsigned char {
    kConverted,     // `result`: the output is in place
    kFailed,        // `result`: the input cannot be read or converted; tried when it changes
    kNotWritten,    // `result`: the output cannot be written; tried again after `retry`
    kDiskFull,      // `result`: no space for the output; every file waits, tried after `retry`
    kWritingAgain,  // outputs are written again after kDiskFull
    kNotMoved,    // the input cannot be moved into the done folder (`detail`); tried after `retry`
    kMovedAs,     // the done folder held another file of the input's name: moved as `path`
    kSameOutput,  // the input named `path` has the same output: neither is converted
    kLinkOut,     // a link that leads out of the folder, left alone
    kNotRegular,  // a FIFO, socket or device, left alone: reported once until it goes
    kUnreadable,  // the input folder cannot be listed (`detail`)
  };
  Kind kind;
  std::string input;  // the path of the input concerned, if any
  std::string path;
  std::string detail;
  const FileResult* result = nullptr;
  std::chrono::seconds retry{};
};
using WatchReport = std::function<void(const WatchEvent&)>;

// The converter of the next file, asked before each, so that the caller may replace it (new zone
// rules, for a watcher that runs for months).
using ConverterForNextFile = std::function<const Converter&()>;

// First removes the temporary files that an earlier watcher left in the output and done folders,
// then converts until `stop` is set, which also cancels the conversion in progress (its
// temporary file removed). The caller wakes `watch` when it sets `stop`.
void WatchAndConvert(const ConverterForNextFile& converter, const WatchFolders& folders,
                     FolderWatch& watch, const WatchReport& report, const std::atomic<bool>& stop);

// Whether the watcher leaves a name of the input folder alone whatever it holds.
bool IsIgnoredByWatch(std::string_view name);

}  // namespace halvrenn::cdr
