#!/usr/bin/env bash
# halvrenn-cdr's throughput beside the tools analysts use today, on one call-manager-like CDR file
# of RECORDS records (1,000,000 by default): the real CDR column set, about 350 bytes a record,
# dateTimeOrigination, dateTimeConnect and dateTimeDisconnect (a tenth of the calls never
# connected: 0), calls spread over 2026-03-01 to 2026-03-15, across New York's change to daylight
# saving. Each tool adds Greenwich and local (America/New_York) texts for the three columns:
#   halvrenn-cdr --decode time, mawk and gawk (strftime), Python's csv module;
# and, decoding every kind (the time stamps, the eight IPv4 columns, the two causes and the
# duration): halvrenn-cdr with its defaults (and --jobs 1) and mawk; and mawk only splitting and
# re-joining every record, converting nothing.
# Medians of RUNS runs (5 by default), ratios against halvrenn-cdr, then a check that every tool
# wrote the same converted columns, and halvrenn-cdr's peak resident memory.
#
# Usage: bench/cdr_throughput.sh [build folder, default build/linux]
# Environment: RECORDS, RUNS, WORK (folder for the files, default a fresh one under /tmp).
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build/linux}
program=$build/app/cli/halvrenn-cdr
records=${RECORDS:-1000000}
runs=${RUNS:-5}
work=${WORK:-$(mktemp -d)}
export TZ=America/New_York LC_ALL=C.UTF-8

[ -x "$program" ] || { echo "build halvrenn-cdr first: cmake --build --preset linux" >&2; exit 1; }
for tool in mawk gawk python3; do
  command -v "$tool" > /dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

input=$work/cdr_bench.csv
if [ ! -s "$input" ]; then
  mawk -v records="$records" '
  BEGIN {
    srand(20261207)
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
      set("origCause_value", 0); set("origPrecedenceLevel", 4)
      set("origMediaTransportAddress_IP", -1062731420); set("origMediaTransportAddress_Port", 24580)
      set("origMediaCap_payloadCapability", 4); set("origMediaCap_maxFramesPerPacket", 20)
      set("destLegIdentifier", 20000001 + 2 * r); set("destNodeId", 2); set("destSpan", 0)
      set("destIpAddr", -1062731419); set("originalCalledPartyNumber", "\"" number + 1 "\"")
      set("finalCalledPartyNumber", "\"" number + 1 "\""); set("destCause_value", 16)
      set("destPrecedenceLevel", 4); set("destMediaTransportAddress_IP", -1062731419)
      set("destMediaTransportAddress_Port", 27418); set("dateTimeConnect", connect)
      set("dateTimeDisconnect", disconnect); set("lastRedirectDn", "\"" number + 1 "\"")
      set("pkid", sprintf("\"%08x-%04x-4000-8000-%012x\"", r, r % 65536, r))
      set("duration", connect ? disconnect - connect : 0)
      set("origDeviceName", sprintf("\"SEP00AA%06d\"", r % 1000000))
      set("destDeviceName", sprintf("\"SEP00CC%06d\"", (r * 7) % 1000000))
      set("globalCallId_ClusterID", "\"StandAloneCluster\""); set("origDeviceType", 36)
      set("destDeviceType", 36)
      line = v[1]
      for (i = 2; i <= n; i++) line = line "," v[i]
      printf "%s\r\n", line
    }
  }
  function set(field, value) { v[column[field]] = value }
  ' > "$input"
fi
bytes=$(stat -c %s "$input")
echo "Input: $records records, $bytes bytes ($((bytes / records)) a record), $(nproc) processors"

# The column numbers of the three time stamps, as the tools below address them.
columns=$(head -1 "$input" | mawk -F, '{ for (i = 1; i <= NF; i++) if ($i ~ /"dateTime(Origination|Connect|Disconnect)"/) printf "%d ", i }')
read -r origination connect disconnect <<< "$columns"

awk_conversion='
function texts(v) { return v > 0 ? strftime("%Y-%m-%d %H:%M:%S", v, 1) "," strftime("%Y-%m-%d %H:%M:%S", v) : "," }
NR == 1 { print $0 ",dateTimeOrigination_gmt,dateTimeOrigination_local,dateTimeConnect_gmt,dateTimeConnect_local,dateTimeDisconnect_gmt,dateTimeDisconnect_local\r"; next }
NR == 2 { print $0 ",VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19)\r"; next }
{ print $0 "," texts($o) "," texts($c) "," texts($d) "\r" }'
# mawk decoding as halvrenn-cdr does by default: the time stamps first, then every address,
# cause and duration in header order (the causes of the file are among the names it knows).
awk_decoding='
function texts(v) { return v > 0 ? strftime("%Y-%m-%d %H:%M:%S", v, 1) "," strftime("%Y-%m-%d %H:%M:%S", v) : "," }
function ip(v) { if (v == "" || v == 0) return ""; if (v < 0) v += 4294967296
  return (v % 256) "." (int(v / 256) % 256) "." (int(v / 65536) % 256) "." int(v / 16777216) }
function hms(v) { return v == "" ? "" : sprintf("%d:%02d:%02d", int(v / 3600), int(v / 60) % 60, v % 60) }
BEGIN { split("0|No error|16|Normal call clearing|17|User busy|18|No user responding|21|Call rejected|41|Temporary failure", pairs, "|")
  for (i = 1; i < 12; i += 2) cause[pairs[i]] = pairs[i + 1] }
NR == 1 { names = ""; types = ""
  for (i = 1; i <= NF; i++) {
    n = $i; gsub(/"/, "", n)
    if (n ~ /^(origIpAddr|destIpAddr|(orig|dest)(Media|Video)TransportAddress_IP(_Channel2)?)$/) { kind[++k] = "ip"; at[k] = i; names = names "," n "_ip"; types = types ",VARCHAR(15)" }
    else if (n ~ /^(orig|dest)Cause_value$/) { kind[++k] = "cause"; at[k] = i; names = names "," n "_text"; types = types ",VARCHAR(86)" }
    else if (n == "duration") { kind[++k] = "hms"; at[k] = i; names = names "," n "_hms"; types = types ",VARCHAR(13)" } }
  print $0 ",dateTimeOrigination_gmt,dateTimeOrigination_local,dateTimeConnect_gmt,dateTimeConnect_local,dateTimeDisconnect_gmt,dateTimeDisconnect_local" names "\r"; next }
NR == 2 { print $0 ",VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19)" types "\r"; next }
{ line = $0 "," texts($o) "," texts($c) "," texts($d)
  for (j = 1; j <= k; j++) { v = $(at[j]); line = line "," (kind[j] == "ip" ? ip(v) : kind[j] == "cause" ? cause[v] : hms(v)) }
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

tools=("halvrenn-cdr --decode time" "mawk strftime" "gawk strftime" "python3 csv"
       "halvrenn-cdr" "halvrenn-cdr --jobs 1" "mawk decoding every kind" "mawk split+join")
run_tool() {
  case $1 in
    "halvrenn-cdr --decode time") "$program" -q --decode time < "$input" > "$work/out.halvrenn_time" ;;
    "halvrenn-cdr") "$program" -q < "$input" > "$work/out.halvrenn" ;;
    "halvrenn-cdr --jobs 1") "$program" -q --jobs 1 < "$input" > "$work/out.halvrenn1" ;;
    "mawk decoding every kind") mawk -F, -v OFS=, -v RS='\r\n' -v o="$origination" -v c="$connect" -v d="$disconnect" "$awk_decoding" < "$input" > "$work/out.mawk_all" ;;
    "mawk strftime") mawk -F, -v OFS=, -v RS='\r\n' -v o="$origination" -v c="$connect" -v d="$disconnect" "$awk_conversion" < "$input" > "$work/out.mawk" ;;
    "gawk strftime") gawk -F, -v OFS=, -v RS='\r\n' -v o="$origination" -v c="$connect" -v d="$disconnect" "$awk_conversion" < "$input" > "$work/out.gawk" ;;
    "python3 csv") python3 -c "$python_conversion" "$origination" "$connect" "$disconnect" < "$input" > "$work/out.python" ;;
    "mawk split+join") mawk -F, -v OFS=, '{ $1 = $1; print }' < "$input" > "$work/out.split" ;;
  esac
}

output_of() {
  case $1 in
    "halvrenn-cdr --decode time") echo halvrenn_time ;;
    "mawk decoding every kind") echo mawk_all ;;
    "halvrenn-cdr") echo halvrenn ;;
    "halvrenn-cdr --jobs 1") echo halvrenn1 ;;
    "mawk strftime") echo mawk ;;
    "gawk strftime") echo gawk ;;
    "python3 csv") echo python ;;
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
# halvrenn-cdr with its defaults, splitting alone against both.
base_of() {
  case $1 in
    "halvrenn-cdr --decode time" | "mawk strftime" | "gawk strftime" | "python3 csv") echo "halvrenn-cdr --decode time" ;;
    *) echo "halvrenn-cdr" ;;
  esac
}
printf '\n| Tool (%s records, median of %s runs) | Seconds | MB/s | Times halvrenn-cdr doing the same |\n|---|---:|---:|---:|\n' "$records" "$runs"
for tool in "${tools[@]}"; do
  t=${median[$tool]}
  base=${median[$(base_of "$tool")]}
  mawk -v tool="$tool" -v t="$t" -v bytes="$bytes" -v base="$base" \
    'BEGIN { printf "| %s | %.2f | %.0f | %.1f |\n", tool, t, bytes / t / 1e6, t / base }'
done
mawk -v a="${median[mawk split+join]}" -v b="${median[halvrenn-cdr --decode time]}" -v c="${median[halvrenn-cdr]}" \
  'BEGIN { printf "mawk only splitting and joining: %.1fx halvrenn-cdr --decode time, %.1fx halvrenn-cdr decoding every kind\n", a / b, a / c }'

# The converted columns: the last fields of every data record (six texts of time stamps, and
# eleven decoded values more for every kind), the same from every tool doing the same.
converted() {
  tail -n +3 "$1" | tr -d '\r' |
    mawk -F, -v n="$2" '{ line = ""; for (i = NF - n + 1; i <= NF; i++) line = line "," $i; print line }' | md5sum
}
reference=$(converted "$work/out.halvrenn_time" 6)
for output in out.mawk out.gawk out.python; do
  if [ "$(converted "$work/$output" 6)" != "$reference" ]; then
    echo "DIFFERENT converted columns: $output" >&2
    exit 1
  fi
done
reference=$(converted "$work/out.halvrenn" 17)
for output in out.halvrenn1 out.mawk_all; do
  if [ "$(converted "$work/$output" 17)" != "$reference" ]; then
    echo "DIFFERENT converted columns: $output" >&2
    exit 1
  fi
done
echo "Converted columns identical across halvrenn-cdr, mawk, gawk and python3, time stamps alone and every kind."

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
if [ -z "${WORK:-}" ]; then rm -rf "$work"; fi
