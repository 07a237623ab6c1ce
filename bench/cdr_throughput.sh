#!/usr/bin/env bash
# halvrenn-cdr's throughput beside the tools analysts use today, on one call-manager-like CDR file
# of RECORDS records (1,000,000 by default): the real CDR column set, about 400 bytes a record,
# dateTimeOrigination, dateTimeConnect and dateTimeDisconnect (a tenth of the calls never
# connected: 0), calls spread over 2026-03-01 to 2026-03-15, across New York's change to daylight
# saving, and the coded columns as a call manager writes them (normal calls, transfers,
# conferences, forwards, queued and mobility calls, busy and unanswered ones, SIP causes).
# Each tool adds Greenwich and local (America/New_York) texts for the three columns:
#   halvrenn-cdr --decode time (with its default threads, with one, and reading a pipe), mawk and
#   gawk (strftime), Python's csv module, and DuckDB (a SQL query through node) where its npm
#   package loads;
# and, decoding every kind (the time stamps, the IPv4 columns, the durations and every coded
# column, looked up in cdr/format/record_codes/): halvrenn-cdr with its defaults (and --jobs 1)
# and mawk; and, as floors, mawk only splitting and re-joining every record, converting nothing,
# and cat copying the file.
# Medians of RUNS runs (5 by default), ratios against halvrenn-cdr and against cat, the default
# threads against one, a pipe against a file, then a check that halvrenn-cdr wrote the same bytes
# each way and every tool the same converted columns, and halvrenn-cdr's peak resident memory.
#
# Usage: bench/cdr_throughput.sh [build folder, default build/linux]
# Environment: RECORDS, RUNS, WORK (folder for the files, kept; default a fresh one under
# /dev/shm when it has room for about four times the input, else under /tmp, removed at the end).
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build/linux}
program=$build/app/cli/halvrenn-cdr
records=${RECORDS:-1000000}
runs=${RUNS:-5}
export TZ=America/New_York LC_ALL=C.UTF-8
if [ -n "${WORK:-}" ]; then
  work=$WORK
else
  room=$(df --output=avail -B1 /dev/shm 2>/dev/null | tail -1 || true)
  if [ "${room:-0}" -gt $((records * 400 * 4)) ] 2>/dev/null; then
    work=$(mktemp -d -p /dev/shm cdr_bench.XXXXXX)
  else
    work=$(mktemp -d)
  fi
  trap 'rm -rf "$work"' EXIT
fi

[ -x "$program" ] || { echo "build halvrenn-cdr first: cmake --build --preset linux" >&2; exit 1; }
for tool in mawk gawk python3; do
  command -v "$tool" > /dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

input=$work/cdr_bench.csv
if [ ! -s "$input" ]; then
  mawk -v records="$records" '
  BEGIN {
    srand(20261207)
    state = 20261209  # the coded columns draw from a stream of their own (draw below)
    choices("codec", "4 4 4 4 4 4 2 2 11 12 12 12 90 90 90")  # G.711 u-law and A-law, G.729, Opus
    choices("video", "103 103 103 109")                       # H.264, H.265
    # Busy, no answer, abandoned (0: the caller hung up first), rejected, and SIP responses 486,
    # 487, 503, 484, 404 and 603, then 603 again, the 503 variant and 600 written signed.
    choices("unconnected", "17 17 17 17 17 19 19 19 19 0 0 0 31 31 21 1174405137 1191182367 1459617833 1140850716 83886081 2717909013 -1493172161 -1577058283 -1593835503")
    choices("trunk location", "2 4")
    choices("transfer", "34 34 34 34 4 4 130 146")            # blind, consultation, refer, replaces
    choices("conference", "458752 458752 458752 262144")      # drop of a party, conference full
    choices("forward", "1 2 2 2 15 15 50 178")
    choices("pattern usage", "2 2 2 2 2 2 5 5 5 7")           # device, route, hunt pilot
    choices("dtmf", "3 3 3 2 2 2 0 1")
    choices("protocol", "1 1 1 1 1 1 0 0 0 4")                # SIP, SCCP phones (0), Q.931 gateways
    choices("secured", "0 0 0 0 0 1 1 1 2 2")
    choices("routing", "1 1 1 3 5 7")
    names = "cdrRecordType globalCallID_callManagerId globalCallID_callId origLegCallIdentifier dateTimeOrigination origNodeId origSpan origIpAddr callingPartyNumber callingPartyUnicodeLoginUserID origCause_location origCause_value origPrecedenceLevel origMediaTransportAddress_IP origMediaTransportAddress_Port origMediaCap_payloadCapability origMediaCap_maxFramesPerPacket origMediaCap_g723BitRate origVideoCap_Codec origVideoCap_Bandwidth origVideoCap_Resolution origVideoTransportAddress_IP origVideoTransportAddress_Port origRSVPAudioStat origRSVPVideoStat destLegIdentifier destNodeId destSpan destIpAddr originalCalledPartyNumber finalCalledPartyNumber finalCalledPartyUnicodeLoginUserID destCause_location destCause_value destPrecedenceLevel destMediaTransportAddress_IP destMediaTransportAddress_Port destMediaCap_payloadCapability destMediaCap_maxFramesPerPacket destMediaCap_g723BitRate destVideoCap_Codec destVideoCap_Bandwidth destVideoCap_Resolution destVideoTransportAddress_IP destVideoTransportAddress_Port destRSVPAudioStat destRSVPVideoStat dateTimeConnect dateTimeDisconnect lastRedirectDn pkid originalCalledPartyNumberPartition callingPartyNumberPartition finalCalledPartyNumberPartition lastRedirectDnPartition duration origDeviceName destDeviceName origCallTerminationOnBehalfOf destCallTerminationOnBehalfOf origCalledPartyRedirectOnBehalfOf lastRedirectRedirectOnBehalfOf origCalledPartyRedirectReason lastRedirectRedirectReason destConversationId globalCallId_ClusterID joinOnBehalfOf comment authCodeDescription authorizationLevel clientMatterCode origDTMFMethod destDTMFMethod callSecuredStatus origConversationId origMediaCap_Bandwidth destMediaCap_Bandwidth authorizationCodeValue outpulsedCallingPartyNumber outpulsedCalledPartyNumber origIpv4v6Addr destIpv4v6Addr origVideoCap_Codec_Channel2 origVideoCap_Bandwidth_Channel2 origVideoCap_Resolution_Channel2 origVideoTransportAddress_IP_Channel2 origVideoTransportAddress_Port_Channel2 origVideoChannel_Role_Channel2 destVideoCap_Codec_Channel2 destVideoCap_Bandwidth_Channel2 destVideoCap_Resolution_Channel2 destVideoTransportAddress_IP_Channel2 destVideoTransportAddress_Port_Channel2 destVideoChannel_Role_Channel2 IncomingProtocolID IncomingProtocolCallRef OutgoingProtocolID OutgoingProtocolCallRef currentRoutingReason origRoutingReason lastRedirectingRoutingReason huntPilotPartition huntPilotDN calledPartyPatternUsage IncomingICID IncomingOrigIOI IncomingTermIOI OutgoingICID OutgoingOrigIOI OutgoingTermIOI outpulsedOriginalCalledPartyNumber outpulsedLastRedirectingNumber wasCallQueued totalWaitTimeInQueue callingPartyNumber_uri originalCalledPartyNumber_uri finalCalledPartyNumber_uri lastRedirectDn_uri mobileCallingPartyNumber finalMobileCalledPartyNumber origMobileDeviceName destMobileDeviceName origMobileCallDuration destMobileCallDuration mobileCallType originalCalledPartyPattern finalCalledPartyPattern lastRedirectingPartyPattern huntPilotPattern origDeviceType destDeviceType origDeviceSessionID destDeviceSessionID"
    n = split(names, name, " ")
    header = "\"" name[1] "\""; types = "INTEGER"
    for (i = 2; i <= n; i++) {
      header = header ",\"" name[i] "\""
      types = types "," (name[i] ~ /^(dateTime|duration|orig.*Cause|dest.*Cause|glob.*Id$)/ ? "INTEGER" : "VARCHAR(50)")
    }
    printf "%s\r\n%s\r\n", header, types
    start = 1772323200  # 2026-03-01 00:00:00 GMT; New York changes on 2026-03-08 07:00 GMT
    for (i = 1; i <= n; i++) column[name[i]] = i
    for (r = 1; r <= records; r++) {
      for (i = 1; i <= n; i++) v[i] = ""  # fields the call manager leaves empty
      origination = start + int(rand() * 14 * 86400)
      connect = rand() < 0.1 ? 0 : origination + int(rand() * 30)
      disconnect = (connect ? connect : origination) + int(rand() * 600)
      number = 2000 + int(rand() * 8000)
      set("cdrRecordType", 1); set("globalCallID_callManagerId", 2)
      set("globalCallID_callId", 100000 + r); set("origLegCallIdentifier", 20000000 + 2 * r)
      set("dateTimeOrigination", origination); set("origNodeId", 2); set("origSpan", 0)
      set("origIpAddr", -1062731420); set("callingPartyNumber", "\"" number "\"")
      set("origMediaTransportAddress_IP", -1062731420); set("origMediaTransportAddress_Port", 24580)
      set("origMediaCap_maxFramesPerPacket", 20)
      set("destLegIdentifier", 20000001 + 2 * r); set("destNodeId", 2); set("destSpan", 0)
      set("destIpAddr", -1062731419); set("originalCalledPartyNumber", "\"" number + 1 "\"")
      set("finalCalledPartyNumber", "\"" number + 1 "\"")
      set("destMediaTransportAddress_IP", -1062731419)
      set("destMediaTransportAddress_Port", 27418); set("dateTimeConnect", connect)
      set("dateTimeDisconnect", disconnect); set("lastRedirectDn", "\"" number + 1 "\"")
      set("pkid", sprintf("\"%08x-%04x-4000-8000-%012x\"", r, r % 65536, r))
      set("duration", connect ? disconnect - connect : 0)
      set("origDeviceName", sprintf("\"SEP00AA%06d\"", r % 1000000))
      set("destDeviceName", sprintf("\"SEP00CC%06d\"", (r * 7) % 1000000))
      set("globalCallId_ClusterID", "\"StandAloneCluster\""); set("origDeviceType", 36)
      set("destDeviceType", 36)
      coded(connect != 0, connect ? disconnect - connect : 0)
      line = v[1]
      for (i = 2; i <= n; i++) line = line "," v[i]
      printf "%s\r\n", line
    }
  }
  function set(field, value) { v[column[field]] = value }
  # The coded columns as a call manager writes them. Most calls are answered and cleared
  # normally (16 on the side that hung up, 0 on the other); the others are the split leg of a
  # transfer, a conference, a forward, a call queued at a hunt pilot, a mobility call, a trunk
  # clearing with 31; the calls never connected are busy, unanswered, abandoned or rejected,
  # with Q.850 causes and SIP ones (extended causes, some written as negative 32-bit numbers).
  function coded(connected, seconds,   u, o_cause, d_cause, o_end, d_end, location, codec,
                 d_codec, video, video2, o_reason, last_reason, o_by, last_by, join, usage,
                 queued, wait, mobile, routing, precedence) {
    u = draw()
    o_cause = draw() < 0.5 ? 16 : 0; d_cause = 16 - o_cause
    o_end = o_cause ? 12 : 0; d_end = d_cause ? 12 : 0; location = 0
    codec = pick("codec"); d_codec = draw() < 0.1 ? pick("codec") : codec  # now and then transcoded
    video = draw() < 0.05 ? pick("video") : 0; video2 = video && draw() < 0.2 ? 103 : 0
    o_reason = last_reason = o_by = last_by = join = queued = wait = mobile = 0
    usage = pick("pattern usage")
    if (!connected) {
      codec = d_codec = video = video2 = 0
      d_cause = pick("unconnected"); o_cause = d_cause ? 0 : 16  # 0: the caller gave up
      o_end = o_cause ? 12 : 0; d_end = d_cause ? 12 : 0
      if (d_cause !~ /^(0|17|19|21|31)$/) location = pick("trunk location")
    } else if (u < 0.08) {  # the leg a transfer split off
      o_cause = 0; d_cause = 393216; o_end = d_end = 10
      last_reason = pick("transfer"); last_by = last_reason == 130 ? 17 : last_reason == 146 ? 18 : 10
    } else if (u < 0.12) {
      o_cause = 0; d_cause = pick("conference"); o_end = d_end = join = last_by = 4; last_reason = 98
    } else if (u < 0.17) {
      o_reason = last_reason = pick("forward"); o_by = last_by = o_reason == 50 ? 14 : 5
    } else if (u < 0.20) {  # queued at a hunt pilot, most for seconds, some for minutes
      usage = 7; queued = 1; wait = int(draw() * draw() * 600); last_reason = 802; last_by = 34
    } else if (u < 0.23) {  # answered on the mobile of a remote destination
      mobile = seconds; d_end = 24; last_reason = 335; last_by = 24
    } else if (u < 0.25) {
      o_cause = 0; d_cause = 31; o_end = 0; d_end = 12
    }
    routing = draw() < 0.03 ? pick("routing") : 0
    precedence = draw() < 0.005 ? int(draw() * 4) : 4
    set("origCause_location", 0); set("origCause_value", o_cause)
    set("destCause_location", location); set("destCause_value", d_cause)
    set("origPrecedenceLevel", precedence); set("destPrecedenceLevel", precedence)
    set("origMediaCap_payloadCapability", codec); set("destMediaCap_payloadCapability", d_codec)
    set("origVideoCap_Codec", video); set("destVideoCap_Codec", video)
    set("origVideoCap_Codec_Channel2", video2); set("destVideoCap_Codec_Channel2", video2)
    set("origCallTerminationOnBehalfOf", o_end); set("destCallTerminationOnBehalfOf", d_end)
    set("origCalledPartyRedirectOnBehalfOf", o_by); set("lastRedirectRedirectOnBehalfOf", last_by)
    set("origCalledPartyRedirectReason", o_reason); set("lastRedirectRedirectReason", last_reason)
    set("joinOnBehalfOf", join); set("callSecuredStatus", pick("secured"))
    set("origDTMFMethod", pick("dtmf")); set("destDTMFMethod", pick("dtmf"))
    set("IncomingProtocolID", pick("protocol")); set("OutgoingProtocolID", pick("protocol"))
    set("currentRoutingReason", routing); set("origRoutingReason", routing)
    set("lastRedirectingRoutingReason", 0); set("calledPartyPatternUsage", usage)
    set("wasCallQueued", queued); set("totalWaitTimeInQueue", wait)
    set("origMobileCallDuration", 0); set("destMobileCallDuration", mobile)
  }
  # A stream of draws of its own (the minimal standard generator, exact in doubles), so that the
  # time stamps and the other columns stay those that the seed of rand has always given.
  function draw() { state = state * 16807 % 2147483647; return state / 2147483647 }
  function choices(name, list,   i, item) {
    count[name] = split(list, item, " ")
    for (i = 1; i <= count[name]; i++) choice[name, i] = item[i]
  }
  function pick(name) { return choice[name, 1 + int(draw() * count[name])] }
  ' > "$input"
fi
bytes=$(stat -c %s "$input")
echo "Input: $records records, $bytes bytes ($((bytes / records)) a record), $(nproc) processors, in $work"

# The column numbers of the three time stamps, as the tools below address them.
columns=$(head -1 "$input" | mawk -F, '{ for (i = 1; i <= NF; i++) if ($i ~ /"dateTime(Origination|Connect|Disconnect)"/) printf "%d ", i }')
read -r origination connect disconnect <<< "$columns"

awk_conversion='
function texts(v) { return v > 0 ? strftime("%Y-%m-%d %H:%M:%S", v, 1) "," strftime("%Y-%m-%d %H:%M:%S", v) : "," }
NR == 1 { print $0 ",dateTimeOrigination_gmt,dateTimeOrigination_local,dateTimeConnect_gmt,dateTimeConnect_local,dateTimeDisconnect_gmt,dateTimeDisconnect_local\r"; next }
NR == 2 { print $0 ",VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19)\r"; next }
{ print $0 "," texts($o) "," texts($c) "," texts($d) "\r" }'
# mawk decoding as halvrenn-cdr does by default: the time stamps first, then every other column
# it recognises in header order: addresses, durations, and the coded columns, looked up in the
# call manager's tables of the repository, read here as CSV (a name may be quoted). A name
# holding the delimiter or a quote is written quoted; an empty field, a code a table lacks and
# a media column's 0 give an empty field. Names are compared without letter case.
awk_decoding='
function texts(v) { return v > 0 ? strftime("%Y-%m-%d %H:%M:%S", v, 1) "," strftime("%Y-%m-%d %H:%M:%S", v) : "," }
# The integer a field holds, blanks or quotes around it allowed, as the decimal digits of its
# table (no leading zeros); "" when it holds none.
function integer(v) {
  if (v ~ /^(0|[1-9][0-9]*)$/) return v
  gsub(/^[ \t]+|[ \t]+$/, "", v)
  if (v ~ /^".*"$/) { v = substr(v, 2, length(v) - 2); gsub(/^[ \t]+|[ \t]+$/, "", v) }
  if (v !~ /^-?[0-9]+$/) return ""
  return v + 0 == 0 ? "0" : sprintf("%.0f", v + 0)
}
# A cause written signed is made unsigned: -1493172161 is 2801795135.
# Every code is a 32-bit integer, which some files write signed: made unsigned first.
function cause(v) { v = integer(v); return v != "" && v + 0 < 0 ? sprintf("%.0f", v + 4294967296) : v }
function ip(v) { v = integer(v); if (v == "" || v + 0 == 0 || v + 0 < -2147483648 || v + 0 > 4294967295) return ""
  if (v + 0 < 0) v += 4294967296
  return (v % 256) "." (int(v / 256) % 256) "." (int(v / 65536) % 256) "." int(v / 16777216) }
function hms(v) { v = integer(v); if (v == "" || v + 0 < 0 || v + 0 > 4294967295) return ""
  return sprintf("%d:%02d:%02d", int(v / 3600), int(v / 60) % 60, v % 60) }
function quoted(text) { gsub(/"/, "\"\"", text); return "\"" text "\"" }
function field(text, was_quoted) { return was_quoted || text ~ /[,"]/ ? quoted(text) : text }
function recognise(t, names, added, longest_text,   i, n, name) {
  n = split(names, name, " ")
  for (i = 1; i <= n; i++) kind_of[tolower(name[i])] = t
  suffix[t] = added; longest[t] = longest_text
}
# A table of codes, code,name with a header: its names as written in a field, and the longest.
function table(t, names,   file, line, status, rows, at, name, records_end) {
  recognise(t, names, "text", 0)
  file = "cdr/format/record_codes/" t ".csv"
  records_end = RS; RS = "\n"  # the lines of a table, whatever ends the records
  while ((status = (getline line < file)) > 0) {
    sub(/\r$/, "", line)
    if (++rows == 1) continue
    at = index(line, ","); name = substr(line, at + 1)
    if (name ~ /^"/) { name = substr(name, 2, length(name) - 2); gsub(/""/, "\"", name) }
    text[t, substr(line, 1, at - 1)] = field(name, 0)
    if (length(name) > longest[t]) longest[t] = length(name)
  }
  close(file); RS = records_end
  if (status < 0 || rows < 2) { print "mawk: cannot read the codes of " file > "/dev/stderr"; exit 1 }
}
BEGIN {
  recognise("ip", "origIpAddr destIpAddr origMediaTransportAddress_IP destMediaTransportAddress_IP origVideoTransportAddress_IP destVideoTransportAddress_IP origVideoTransportAddress_IP_Channel2 destVideoTransportAddress_IP_Channel2", "ip", 15)
  recognise("hms", "duration totalWaitTimeInQueue origMobileCallDuration destMobileCallDuration videoDuration", "hms", 13)
  table("cause", "origCause_value destCause_value")
  table("cause_location", "origCause_location destCause_location")
  table("redirect_reason", "origCalledPartyRedirectReason lastRedirectRedirectReason")
  table("on_behalf_of", "origCallTerminationOnBehalfOf destCallTerminationOnBehalfOf origCalledPartyRedirectOnBehalfOf lastRedirectRedirectOnBehalfOf joinOnBehalfOf")
  table("codec", "origMediaCap_payloadCapability destMediaCap_payloadCapability")
  table("video_codec", "origVideoCap_Codec destVideoCap_Codec origVideoCap_Codec_Channel2 destVideoCap_Codec_Channel2")
  table("call_security", "callSecuredStatus")
  table("precedence", "origPrecedenceLevel destPrecedenceLevel")
  table("dtmf_method", "origDTMFMethod destDTMFMethod")
  table("protocol", "IncomingProtocolID OutgoingProtocolID")
  table("routing_reason", "currentRoutingReason origRoutingReason lastRedirectingRoutingReason")
  table("pattern_usage", "calledPartyPatternUsage")
}
NR == 1 {
  for (i = 1; i <= NF; i++) {
    name = $i; was_quoted = name ~ /^".*"$/
    if (was_quoted) { name = substr(name, 2, length(name) - 2); gsub(/""/, "\"", name) }
    if (i == o || i == c || i == d) {
      times = times "," field(name "_gmt", was_quoted) "," field(name "_local", was_quoted)
      time_types = time_types ",VARCHAR(19),VARCHAR(19)"
    } else if (tolower(name) in kind_of) {
      kind[++k] = t = kind_of[tolower(name)]; at[k] = i
      names = names "," field(name "_" suffix[t], was_quoted); types = types ",VARCHAR(" longest[t] ")"
    }
  }
  print $0 times names "\r"; next }
NR == 2 { print $0 time_types types "\r"; next }
{ line = $0 "," texts($o) "," texts($c) "," texts($d)
  for (j = 1; j <= k; j++) {
    t = kind[j]; v = $(at[j])
    if (t == "ip") v = ip(v)
    else if (t == "hms") v = hms(v)
    else { v = cause(v); v = (t SUBSEP v) in text ? text[t, v] : "" }
    line = line "," v }
  print line "\r" }'
python_conversion='
import csv, sys, time
o, c, d = (int(x) - 1 for x in sys.argv[1:4])
def texts(v):
    v = int(v) if v else 0
    if v <= 0:
        return ["", ""]
    return [time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(v)), time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(v))]
reader = csv.reader(sys.stdin)
writer = csv.writer(sys.stdout, lineterminator="\r\n")
header = next(reader)
writer.writerow(header + [n + s for n in ("dateTimeOrigination", "dateTimeConnect", "dateTimeDisconnect") for s in ("_gmt", "_local")])
writer.writerow(next(reader) + ["VARCHAR(19)"] * 6)
for row in reader:
    writer.writerow(row + texts(row[o]) + texts(row[c]) + texts(row[d]))
'

# DuckDB, where node loads its npm package: the time stamps as one SQL query, CSV in, CSV out.
# Every field is read as text; the type row is the one whose dateTimeOrigination reads INTEGER.
duckdb_conversion=$(cat << 'EOF'
const duckdb = require("duckdb");
const [input, output] = process.argv.slice(1);
const text = (zone) => `CASE WHEN v = 'INTEGER' THEN 'VARCHAR(19)' WHEN TRY_CAST(v AS BIGINT) > 0
  THEN strftime(to_timestamp(CAST(v AS BIGINT)) AT TIME ZONE '${zone}', '%Y-%m-%d %H:%M:%S') END`;
const added = ["dateTimeOrigination", "dateTimeConnect", "dateTimeDisconnect"]
  .map((n) => `gmt_text("${n}") AS "${n}_gmt", local_text("${n}") AS "${n}_local"`);
const db = new duckdb.Database(":memory:");
db.exec(`
  CREATE MACRO gmt_text(v) AS ${text("GMT")};
  CREATE MACRO local_text(v) AS ${text("America/New_York")};
  COPY (SELECT *, ${added.join(", ")}
        FROM read_csv('${input}', header = true, all_varchar = true, delim = ',', quote = '"'))
    TO '${output}' (FORMAT csv, HEADER true);`, (error) => {
  if (error) { console.error(error.message); process.exit(1); }
});
EOF
)
duckdb_missing=
if ! command -v node > /dev/null; then
  duckdb_missing="node is missing"
elif ! why=$(node -e 'try { require("duckdb") } catch (e) { console.log(e.message.split("\n")[0]); process.exit(1) }'); then
  duckdb_missing="node cannot load the npm package duckdb ($why)"
fi

tools=("cat" "halvrenn-cdr --decode time" "halvrenn-cdr --decode time --jobs 1" "halvrenn-cdr --decode time, piped from cat" "mawk strftime" "gawk strftime" "python3 csv")
if [ -z "$duckdb_missing" ]; then tools+=("duckdb (node)"); else echo "DuckDB skipped: $duckdb_missing"; fi
tools+=("halvrenn-cdr" "halvrenn-cdr --jobs 1" "mawk decoding every kind" "mawk split+join")
run_tool() {
  case $1 in
    "cat") cat "$input" > "$work/out.cat" ;;
    "halvrenn-cdr --decode time") "$program" -q --decode time < "$input" > "$work/out.halvrenn_time" ;;
    "halvrenn-cdr --decode time --jobs 1") "$program" -q --decode time --jobs 1 < "$input" > "$work/out.halvrenn_time1" ;;
    "halvrenn-cdr --decode time, piped from cat") cat "$input" | "$program" -q --decode time > "$work/out.halvrenn_piped" ;;
    "halvrenn-cdr") "$program" -q < "$input" > "$work/out.halvrenn" ;;
    "halvrenn-cdr --jobs 1") "$program" -q --jobs 1 < "$input" > "$work/out.halvrenn1" ;;
    "mawk decoding every kind") mawk -F, -v OFS=, -v RS='\r\n' -v o="$origination" -v c="$connect" -v d="$disconnect" "$awk_decoding" < "$input" > "$work/out.mawk_all" ;;
    "mawk strftime") mawk -F, -v OFS=, -v RS='\r\n' -v o="$origination" -v c="$connect" -v d="$disconnect" "$awk_conversion" < "$input" > "$work/out.mawk" ;;
    "gawk strftime") gawk -F, -v OFS=, -v RS='\r\n' -v o="$origination" -v c="$connect" -v d="$disconnect" "$awk_conversion" < "$input" > "$work/out.gawk" ;;
    "python3 csv") python3 -c "$python_conversion" "$origination" "$connect" "$disconnect" < "$input" > "$work/out.python" ;;
    "duckdb (node)") node -e "$duckdb_conversion" "$input" "$work/out.duckdb" ;;
    "mawk split+join") mawk -F, -v OFS=, '{ $1 = $1; print }' < "$input" > "$work/out.split" ;;
  esac
}

output_of() {
  case $1 in
    "cat") echo cat ;;
    "halvrenn-cdr --decode time") echo halvrenn_time ;;
    "halvrenn-cdr --decode time --jobs 1") echo halvrenn_time1 ;;
    "halvrenn-cdr --decode time, piped from cat") echo halvrenn_piped ;;
    "mawk decoding every kind") echo mawk_all ;;
    "halvrenn-cdr") echo halvrenn ;;
    "halvrenn-cdr --jobs 1") echo halvrenn1 ;;
    "mawk strftime") echo mawk ;;
    "gawk strftime") echo gawk ;;
    "python3 csv") echo python ;;
    "duckdb (node)") echo duckdb ;;
    "mawk split+join") echo split ;;
  esac
}

# The runs of the tools take turns, so that a change of the machine's load falls on all alike.
# Each run writes a fresh file: the previous run's output is removed before the clock starts, so
# that no tool's time includes freeing the blocks of the one before.
declare -A times median
for ((i = 0; i < runs; i++)); do
  for tool in "${tools[@]}"; do
    rm -f "$work/out.$(output_of "$tool")"
    start=$(date +%s.%N)
    run_tool "$tool"
    end=$(date +%s.%N)
    times[$tool]+="$(mawk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') "
  done
done
for tool in "${tools[@]}"; do
  median[$tool]=$(printf '%s\n' ${times[$tool]} | sort -g |
    mawk '{ t[NR] = $1 } END { print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }')
done

# The time-only tools against halvrenn-cdr --decode time, those decoding every kind against
# halvrenn-cdr with its defaults, splitting and copying alone against the latter too; and every
# tool against cat, the floor of reading and writing the file.
base_of() {
  case $1 in
    "halvrenn-cdr --decode time" | "halvrenn-cdr --decode time --jobs 1" | "halvrenn-cdr --decode time, piped from cat" | "mawk strftime" | "gawk strftime" | "python3 csv" | "duckdb (node)") echo "halvrenn-cdr --decode time" ;;
    *) echo "halvrenn-cdr" ;;
  esac
}
printf '\n| Tool (%s records, median of %s runs) | Seconds | MB/s | Times halvrenn-cdr doing the same | Times cat |\n|---|---:|---:|---:|---:|\n' "$records" "$runs"
for tool in "${tools[@]}"; do
  t=${median[$tool]}
  base=${median[$(base_of "$tool")]}
  mawk -v tool="$tool" -v t="$t" -v bytes="$bytes" -v base="$base" -v floor="${median[cat]}" \
    'BEGIN { printf "| %s | %.2f | %.0f | %.1f | %.1f |\n", tool, t, bytes / t / 1e6, t / base, t / floor }'
done
mawk -v a="${median[mawk split+join]}" -v b="${median[halvrenn-cdr --decode time]}" -v c="${median[halvrenn-cdr]}" \
  'BEGIN { printf "mawk only splitting and joining: %.1fx halvrenn-cdr --decode time, %.1fx halvrenn-cdr decoding every kind\n", a / b, a / c }'

# The default threads against one, piped input against a redirected file, and the one-thread
# time stamps against the tools doing the same.
mawk -v t="${median[halvrenn-cdr --decode time]}" -v t1="${median[halvrenn-cdr --decode time --jobs 1]}" \
  -v a="${median[halvrenn-cdr]}" -v a1="${median[halvrenn-cdr --jobs 1]}" \
  -v piped="${median[halvrenn-cdr --decode time, piped from cat]}" -v m="${median[mawk strftime]}" \
  -v d="${median[duckdb (node)]:-}" 'BEGIN {
    printf "default threads against --jobs 1: %.2fx on the time stamps, %.2fx decoding every kind\n", t1 / t, a1 / a
    printf "piped input against a redirected file (--decode time): %.2fx the time\n", piped / t
    printf "one thread (--decode time --jobs 1) against mawk strftime: %.1fx faster", m / t1
    if (d != "") printf ", against DuckDB: %.1fx faster", d / t1
    printf "\n" }'

# The fields of a header, quotes heeded.
field_count() { head -1 "$1" | tr -d '\r' | mawk '{ gsub(/"[^"]*"/, ""); print split($0, f, ",") }'; }
# The converted columns: the last n fields of every record from line `from` on, the same from
# every tool doing the same. A text may hold the delimiter inside quotes (a cause's "Normal,
# unspecified"), so the fields are counted from the end, the pieces of a quoted one joined.
converted() {
  tail -n +"$3" "$1" | tr -d '\r' |
    mawk -F, -v n="$2" '{ line = ""; fields = 0; open = 0
      for (i = NF; i > 0 && fields < n; i--) {
        part = open ? $i "," part : $i
        if (index($i, "\"")) open = gsub(/"/, "\"", part) % 2
        if (!open) { line = "," part line; fields++ }
      }
      print line }' | md5sum
}
# The time-only tools from the first data record on (their header names are quoted or not as
# each tool writes them); those decoding every kind from the header on, its type row included.
inputs=$(field_count "$input")
added=$(($(field_count "$work/out.halvrenn_time") - inputs))
reference=$(converted "$work/out.halvrenn_time" "$added" 3)
outputs=(out.halvrenn_time1 out.halvrenn_piped out.mawk out.gawk out.python)
if [ -z "$duckdb_missing" ]; then outputs+=(out.duckdb); fi
for output in "${outputs[@]}"; do
  if [ "$(converted "$work/$output" "$added" 3)" != "$reference" ]; then
    echo "DIFFERENT converted columns: $output" >&2
    exit 1
  fi
done
added=$(($(field_count "$work/out.halvrenn") - inputs))
reference=$(converted "$work/out.halvrenn" "$added" 1)
for output in out.halvrenn1 out.mawk_all; do
  if [ "$(converted "$work/$output" "$added" 1)" != "$reference" ]; then
    echo "DIFFERENT converted columns: $output" >&2
    exit 1
  fi
done
for pair in "out.halvrenn_time out.halvrenn_time1" "out.halvrenn_time out.halvrenn_piped" "out.halvrenn out.halvrenn1"; do
  # shellcheck disable=SC2086 # the pair is two words
  if ! (cd "$work" && cmp -s $pair); then
    echo "DIFFERENT bytes from halvrenn-cdr: $pair" >&2
    exit 1
  fi
done
echo "halvrenn-cdr's outputs byte-identical with one thread, two and from a pipe."
echo "Converted columns identical across halvrenn-cdr, mawk, gawk and python3${duckdb_missing:+ (DuckDB skipped)}, time stamps alone and every kind ($added columns added)."

if [ -x /usr/bin/time ]; then
  rss=$(/usr/bin/time -f %M "$program" -q < "$input" 2>&1 > /dev/null)
  echo "halvrenn-cdr peak resident memory: $((rss / 1024)) MiB ($rss KiB) on $((bytes / 1000000)) MB"
fi

# The record scanner alone on the same file, where a change to the hot loop shows first.
if [ -x "$build/bench/bench_scanner" ]; then
  echo
  "$build/bench/bench_scanner" "$input" --benchmark_repetitions="$runs" \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median' |
    mawk '{ for (i = 1; i <= NF; i++) if ($i ~ /^bytes_per_second=/) { sub(/^bytes_per_second=/, "", $i); rate = $i }
            name = $0; sub(/_median.*/, "", name); printf "record scanner alone, %s: %s/s\n", name, rate }'
fi
