#!/bin/sh
# Runs a Wine program on a virtual display of its own and ends the Wine session with it, so that
# no Wine process outlives the display it was started on. WINESERVER names the Wine server.
set -u
exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" \
  sh -c '"$@"; status=$?; "$WINESERVER" -k 2>/dev/null; exit $status' run "$@"
