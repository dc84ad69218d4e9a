#!/usr/bin/env bash
# Starts Larkpost on a virtual X screen, takes a screenshot into the build
# folder, then starts a second copy with arguments: it must hand them over
# to the first copy and end, leaving the first one running.
set -euo pipefail
larkpost="$1"
grab="$2"
out="$3"

work="$(mktemp -d)"
trap 'kill "$first" 2>/dev/null || true; wait "$first" 2>/dev/null || true; rm -rf "$work"' EXIT
export LARKPOST_HOME="$work/home"
export LARKPOST_REGISTRY="$work/home/registry.reg"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$LARKPOST_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# A settings key marks the run as not the first, so no dialog covers the window.
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Larkpost 3]\r\n"Threads"=dword:0000000f\r\n' \
  > "$LARKPOST_REGISTRY"
export QT_QPA_PLATFORM=xcb
# The Mailing page hosts web views: as root (CI) their engine needs the sandbox off.
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu

"$larkpost" &
first=$!

# Wait for the running copy's socket.
for _ in $(seq 1 100); do
  [ -S "$XDG_RUNTIME_DIR/TlpMain" ] && break
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/TlpMain" ] || { echo "the first copy never listened"; exit 1; }
sleep 1
"$grab" "$out"
[ -s "$out" ] || { echo "no screenshot"; exit 1; }

# The second copy ends at once, having handed over its arguments.
timeout 20 "$larkpost" "$work/none.txt" "$work/missing.dbf"
kill -0 "$first" || { echo "the first copy ended"; exit 1; }
echo "screenshot: $out"
