#!/bin/sh
# Runs a test program with a home of its own: HOME and the XDG user directories point into
# a fresh temporary folder, removed afterwards, so that no test reads or writes the
# machine's user configuration (settings, thumbnails, mimeapps.list, Qt's own files).
# ctest runs the window tests through it: scripts/own_home.sh PROGRAM [ARGS...]
set -eu
home=$(mktemp -d "${TMPDIR:-/tmp}/rvs-home-XXXXXX")
trap 'rm -rf "$home"' EXIT INT TERM
mkdir -p "$home/.config" "$home/.local/share" "$home/.cache" "$home/runtime"
chmod 700 "$home/runtime"
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_CACHE_HOME=$home/.cache \
    XDG_RUNTIME_DIR=$home/runtime "$@"
