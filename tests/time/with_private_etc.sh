#!/bin/sh
# Runs a test program with a private, writable /etc of its own, so that it can re-point
# /etc/localtime as an administrator would, without touching the machine's. Needs root (or a user
# namespace) for the mount namespace; exits 77, which CTest reports as skipped, without it.
# usage: with_private_etc.sh <program> [arguments...]
set -eu
etc=$(mktemp -d)
trap 'rm -rf "$etc"' EXIT
# The dynamic loader of the program reads its cache from /etc. The mark tells the program that
# this /etc is its own to change.
[ -f /etc/ld.so.cache ] && cp /etc/ld.so.cache "$etc/"
touch "$etc/halvrenn-private-etc"
if ! unshare --mount true 2>/dev/null; then
  echo "no mount namespace here (not root?): skipped"
  exit 77
fi
unshare --mount sh -c 'mount --bind "$1" /etc && shift && exec "$@"' \
  sh "$etc" "$@"
