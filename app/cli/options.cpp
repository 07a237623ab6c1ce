#include "options.h"

#include "cdr/format/column_kinds.h"
#include "cdr/format/columns.h"

namespace halvrenn::cli {
namespace {

std::vector<std::string_view> TimeTextWordList() {
  std::vector<std::string_view> words;
  for (const cdr::TimeText text : kTimeTexts) words.push_back(cdr::TimeTextWord(text));
  return words;
}

std::vector<std::string_view> KindWordList() {
  const std::span<const std::string_view> words = KindWords();
  return {words.begin(), words.end()};
}

template <std::size_t kCount, class Value>
std::vector<std::string_view> WordsOf(const std::array<NamedValue<Value>, kCount>& named) {
  std::vector<std::string_view> words;
  for (const NamedValue<Value>& each : named) words.push_back(each.word);
  return words;
}

std::vector<std::string_view> FormatWordList() { return WordsOf(kFormats); }
std::vector<std::string_view> DelimiterWordList() { return WordsOf(kNamedDelimiters); }

constexpr std::string_view kHelpBefore = R"(Usage: halvrenn-cdr [OPTIONS] [FILE...]
Adds the dates of the time stamps of call-detail-record files (CSV) as new columns at the end of
every record, keeping every byte of the file. Each FILE is written converted beside it:
calls.csv becomes calls.converted.csv, cdr_Cluster1_01_202612070915_1 becomes
cdr_Cluster1_01_202612070915_1.converted.csv. No FILE, or -, converts standard input to standard
output. A folder gives its files and its sub-folders' files, six levels deep, leaving out hidden
and system files, earlier outputs and links to folders. On Windows the program expands * and ?
itself, as cmd.exe leaves them.

Time stamps are the columns dateTimeOrigination, dateTimeConnect, dateTimeDisconnect and
dateTimeStamp (seconds), names ending in _epoch (seconds) and _uepoch (microseconds): counts from
1 to 4294967295 seconds after 1970-01-01 00:00:00 GMT. 0 or an empty field adds empty columns.
Beside them, IPv4 addresses (origIpAddr, destIpAddr and the media and video transport
addresses) get <column>_ip; causes, cause locations and the other coded columns (redirect
reasons, codecs, security, precedence, DTMF, protocols, routing, pattern usage) the call
manager's names in <column>_text; durations H:MM:SS in <column>_hms; and a CMR's varVQMetrics a
column per voice quality key (varVQMetrics_MLQK, ...).

Options:
)";

constexpr std::string_view kHelpAfter = R"(
Exit status: 0 every file written, 1 a file could not be read or written, 2 wrong usage,
130 interrupted.
)";

// --help's column of texts: names that reach into it put their text on the next line.
constexpr std::size_t kHelpIndent = 27;

const std::array<OptionSpec, 18> kOptionTable = {{
    {.option = Option::kOutput,
     .short_name = 'o',
     .long_name = "output",
     .value = "DIR",
     .help = "write the converted files into DIR, which must exist",
     .manual = R"roff(Write the converted files into the folder
.I DIR
instead of beside their inputs.
The folder must exist: one that does not is wrong usage (exit status 2), so that a mistyped
name does not scatter outputs into a new folder.)roff",
     .completion = ValueCompletion::kFolder},
    {.option = Option::kForce,
     .short_name = 'f',
     .long_name = "force",
     .help = "replace converted files that exist already",
     .manual = R"roff(Replace converted files that exist already.)roff",
     .completion = ValueCompletion::kNone},
    {.option = Option::kColumn,
     .short_name = 'c',
     .long_name = "column",
     .value = "NAME[:s|ms|us]",
     .help = "convert this column (repeatable) instead of those found by name",
     .manual = R"roff(Convert the column
.I NAME
instead of the columns found by their names; repeat the option for more columns.
The unit of its values is seconds
.RB ( :s ,
the default), milliseconds
.RB ( :ms )
or microseconds
.RB ( :us );
a name that holds a colon is given with its unit
.RB ( a:b:s ).
A file without a column of that name is not converted and counts as failed.)roff",
     .completion = ValueCompletion::kNothing},
    {.option = Option::kDecode,
     .long_name = "decode",
     .value = "LIST",
     .help = "the kinds of column decoded, from\n"
             "time,ip,cause,duration,code,quality (default all\n"
             "that are found)",
     .manual = R"roff(The kinds of column decoded, as a comma\-separated list of
.BR time ,
.B ip
(IPv4 addresses stored as 32\-bit integers, as dotted quads in
.IR column _ip),
.B cause
(the call manager's cause codes and cause locations, by name in
.IR column _text),
.B duration
(whole seconds as H:MM:SS in
.IR column _hms:
.BR duration ,
.BR totalWaitTimeInQueue ,
.BR origMobileCallDuration ,
.BR destMobileCallDuration ,
.BR videoDuration ),
.B code
(the other coded columns by the names of the call manager's tables in
.IR column _text:
redirect reasons, on\-behalf\-of codes, codecs, security, precedence, DTMF methods,
protocols, routing reasons, pattern usage)
and
.B quality
(a call management record's
.B varVQMetrics
as one column per key,
.BR varVQMetrics_MLQK ,
.BR varVQMetrics_MLQKav
and so on);
all of them by default.)roff",
     .completion = ValueCompletion::kWordList,
     .words = KindWordList},
    {.option = Option::kAdd,
     .short_name = 'a',
     .long_name = "add",
     .value = "LIST",
     .help = "the columns added per time stamp, in this order, from\n"
             "gmt,local,offset,standard,daylight (default gmt,local)",
     .manual =
         R"roff(The columns added for each time stamp, in the order given, as a comma\-separated list of:
.RS
.TP 10
.B gmt
Greenwich Mean Time;
.TP
.B local
the wall\-clock time of the zone, daylight saving included;
.TP
.B offset
the zone's offset from Greenwich at that instant, such as
.BR \-05:00 ;
.TP
.B standard
the zone's standard time, its base offset without daylight saving;
.TP
.B daylight
the standard time plus one hour, whatever the date.
.RE
.IP
The default is
.BR gmt,local .
.B standard
and
.B daylight
are the texts the Halvrenn window shows.)roff",
     .completion = ValueCompletion::kWordList,
     .words = TimeTextWordList},
    {.option = Option::kFormat,
     .long_name = "format",
     .value = "iso|locale",
     .help = "iso: 2026-12-07 09:15:00 (default); locale: the user's short date and\n"
             "long time, as the Halvrenn window shows them",
     .manual = R"roff(How dates are written:
.B iso
writes
.B 2026\-12\-07 09:15:00
(the default);
.B locale
writes the user's short date and long time
.RB ( LC_TIME ),
as the Halvrenn window shows them.)roff",
     .completion = ValueCompletion::kWord,
     .words = FormatWordList},
    {.option = Option::kZone,
     .short_name = 'z',
     .long_name = "zone",
     .value = "NAME",
     .help = "the zone for local, offset, standard and daylight (default: this\n"
             "machine's), a tz database name such as America/New_York; on Windows\n"
             "also a Windows zone name, and a tz name is served by the Windows zone\n"
             "it maps to, whose history may differ (it warns which)",
     .manual = R"roff(The zone of the
.BR local ,
.BR offset ,
.B standard
and
.B daylight
columns: a tz database name such as
.BR America/New_York .
The default is this machine's zone, read as the Halvrenn window reads it (see
.BR ENVIRONMENT ).
On Windows, which has no tz database, the name may also be a Windows zone name such as
.BR "Romance Standard Time" ,
and a tz database name is served by the Windows zone that CLDR maps it to, with a warning that
names it: Windows' rules may differ from the tz database's, often before 2000
(1990\-10\-27 17:01:15 GMT is 18:01:15 in Paris by the tz database, 19:01:15 by Windows).)roff",
     .completion = ValueCompletion::kZone},
    {.option = Option::kDelimiter,
     .short_name = 'd',
     .long_name = "delimiter",
     .value = "D",
     .help = "comma, tab (or \\t), semicolon or one character (default: from the\n"
             "header)",
     .manual = R"roff(The field delimiter:
.BR comma ,
.B tab
(or
.BR \e\et ,
as in
.BR "\-d '\e\et'" ),
.B semicolon
or any one character.
The default is found in the header row.)roff",
     .completion = ValueCompletion::kWord,
     .words = DelimiterWordList},
    {.option = Option::kJobs,
     .short_name = 'j',
     .long_name = "jobs",
     .value = "N",
     .help = "threads per file (default: one per processor)",
     .manual = R"roff(Threads per file, from 1 to 999.
The default is one per processor.
Large files are split at record boundaries and written byte for byte as one thread would write
them.)roff",
     .completion = ValueCompletion::kNothing},
    {.option = Option::kQuiet,
     .short_name = 'q',
     .long_name = "quiet",
     .help = "no progress line and no summary",
     .manual = R"roff(No progress line and no summary.
Warnings and errors are still shown.)roff",
     .completion = ValueCompletion::kNone},
    {.option = Option::kWatch,
     .long_name = "watch",
     .value = "DIR",
     .help = "convert every file of DIR that has no output yet, then every file\n"
             "that arrives or changes, until stopped (SIGTERM, SIGINT, Ctrl+C)",
     .manual = R"roff(Watch the folder
.I DIR
and convert its files as they arrive, into the folder given by
.B \-\-output
(see
.BR "Watching a folder" ).)roff",
     .completion = ValueCompletion::kFolder,
     .heading = "Watching a folder (halvrenn-cdr --watch IN_DIR --output OUT_DIR [OPTIONS]):"},
    {.option = Option::kDone,
     .long_name = "done",
     .value = "DIR",
     .help = "move each input into DIR once its output is in place",
     .manual = R"roff(Move each input into
.I DIR
once its output is in place (a rename on the same file system, else a copy, flushed, and the
removal), so that the watched folder holds only what is still to do.
A name that
.I DIR
holds already with other bytes gets a number:
.IR name .1.)roff",
     .completion = ValueCompletion::kFolder},
    {.option = Option::kPoll,
     .long_name = "poll",
     .value = "SECONDS",
     .help = "scan the folder every SECONDS instead of waiting for its events\n"
             "(network shares): a file is taken once unchanged for one period",
     .manual = R"roff(Scan the watched folder every
.I SECONDS
(0.1 to 3600) instead of waiting for its events, for folders that give none, such as network
shares.)roff",
     .completion = ValueCompletion::kNothing},
    {.option = Option::kLog,
     .long_name = "log",
     .value = "FILE",
     .help = "append the log lines to FILE instead of standard error",
     .manual = R"roff(Append the log to
.I FILE
instead of standard error (which systemd's journal takes).
The file is opened for each line, so that it may be rotated at any time.)roff",
     .completion = ValueCompletion::kFile},
    {.option = Option::kService,
     .long_name = "service",
     .help = "run under the Windows Service Control Manager (sc create)",
     .manual =
         R"roff(Run under the Windows Service Control Manager, which starts the program with the command line of
.B "sc create"
or the MSI;
it stops on the manager's stop and shutdown controls and logs to
.I %ProgramData%\eHalvrenn\ewatch.log
unless
.B \-\-log
names another file.
Its paths must be absolute.
A service that cannot start writes the reason to its log and to the Event Log (source
.BR Halvrenn )
and stops at once with its exit status as the service-specific code.)roff",
     .completion = ValueCompletion::kNone},
    {.option = Option::kHelp,
     .short_name = 'h',
     .long_name = "help",
     .help = "this text",
     .manual = R"roff(Show the options and exit.)roff",
     .completion = ValueCompletion::kNothing},
    {.option = Option::kVersion,
     .short_name = 'V',
     .long_name = "version",
     .help = "the version",
     .manual = R"roff(Show the version and exit.)roff",
     .completion = ValueCompletion::kNothing},
    {.option = Option::kEndOfOptions,
     .long_name = "",
     .help = "every argument after it is a FILE, even one that starts with -",
     .manual = R"roff(Every argument after it is a
.IR FILE ,
even one that starts with
.BR \- .)roff",
     .completion = ValueCompletion::kNone},
}};

}  // namespace

std::span<const std::string_view> KindWords() {
  static constexpr std::array<std::string_view, cdr::kColumnKinds> kWords = [] {
    std::array<std::string_view, cdr::kColumnKinds> words;
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = cdr::kColumnKindTable[i].decode_word;
    return words;
  }();
  return kWords;
}

std::span<const OptionSpec> OptionTable() { return kOptionTable; }

std::string OptionNames(const OptionSpec& spec) {
  std::string names =
      spec.short_name != '\0' ? std::string{'-', spec.short_name, ',', ' '} : "    ";
  names += "--";
  names += spec.long_name;
  if (!spec.value.empty()) names.append(" ").append(spec.value);
  return names;
}

std::string HelpText() {
  std::string text(kHelpBefore);
  for (const OptionSpec& spec : kOptionTable) {
    if (!spec.heading.empty()) text += "  " + std::string(spec.heading) + "\n";
    std::string line = "  " + OptionNames(spec);
    line += line.size() + 2 <= kHelpIndent ? std::string(kHelpIndent - line.size(), ' ')
                                           : "\n" + std::string(kHelpIndent, ' ');
    for (const char c : spec.help) {
      line += c;
      if (c == '\n') line += std::string(kHelpIndent, ' ');
    }
    text += line + "\n";
  }
  text += kHelpAfter;
  return text;
}

}  // namespace halvrenn::cli
