#pragma once

// halvrenn-cdr --watch: converts the files of a folder as they arrive until it is stopped, with
// one log line per file. Platform parts: watch_posix.cpp (signals), watch_win32.cpp (console
// control) and service_win32.cpp (the Service Control Manager).

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cdr/convert/conversion.h"
#include "cdr/watch/folder_watch.h"
#include "command.h"

namespace halvrenn::cli {

// "2.5" gives 2500 ms: from 0.1 to 3600 seconds.
std::optional<std::chrono::milliseconds> ParsePollSeconds(std::string_view text);

// Exit status: 0 stopped (a signal, Ctrl+C, the service manager), 1 the watch could not start,
// 2 wrong usage, such as files, --force or --quiet, which a watch does not take. `converter` is
// the command's; its options are kept to read the zone's rules again when they change.
int RunWatch(const Command& command, const cdr::Converter& converter);

// From the platform's files.

// From now on a termination request (SIGTERM, SIGINT, SIGHUP; Ctrl+C, closing the console) sets
// `stop` and wakes the watch; a second ends the program at once with status 130, removing the
// temporary files.
void StopOnRequest(std::atomic<bool>& stop);
// The watch that a stop request wakes: from when it exists until just before it goes (nullptr).
void WakeOnStop(cdr::FolderWatch* watch);
// Wakes that watch, if there is one, and notes when the stop was asked for; safe in a signal
// handler and a control handler.
void WakeWatch() noexcept;
void NoteStopRequest() noexcept;
// For the platform's StopOnRequest: the flag that its handlers set through RequestStop.
void SetStopFlag(std::atomic<bool>& stop);
// Sets that flag and wakes the watch; true, waking nothing, when it was set already (a second
// request, which ends the program). Safe in a signal handler and a control handler.
bool RequestStop() noexcept;
// Whether the zone's rules may have changed since the last call: on POSIX systems the zone's file
// (a tzdata upgrade, another machine zone), the named zone's in the tz database or
// /etc/localtime; on Windows the machine's zone as the system reports it. Nothing where nothing
// is followed: a zone set in TZ, a named zone on Windows.
std::function<bool()> ZoneChanges(const std::string& zone);
// Appends one line to a log file, created if missing, in one write so that lines never mix. The
// line ends as the system's text files do: LF on POSIX systems, CR LF on Windows (Notepad before
// Windows 10 1809 shows no other).
bool AppendLine(const std::string& file, std::string_view line_without_end);
// One line of the log, behind the time it is written: appended to `file`, or to standard error
// where there is no file or the file does not take it.
void AppendLogLine(const std::optional<std::string>& file, std::string_view text);
// Where the service logs without --log; empty where there is no service.
std::string ServiceLogFile();
// Runs `watch` as the service that the Service Control Manager started, reporting its state; it
// stops on the manager's stop and shutdown controls. The watch's exit status.
int RunAsService(const std::function<int(std::atomic<bool>& stop)>& watch);
// The watch is under way: a service reports itself running (nothing elsewhere).
void WatchStarted();
// A service's reason for not starting, also for the Windows Event Log (nothing elsewhere).
void ReportRefusal(std::string_view text);

}  // namespace halvrenn::cli
