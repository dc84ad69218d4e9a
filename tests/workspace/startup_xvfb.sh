#!/usr/bin/env bash
# Starts Larkpost on a virtual X screen, takes a screenshot into the build
# folder, then starts a second copy with arguments: it must hand them over
# to the first copy and end, leaving the first one running. Both copies get
# relative names, given in another folder than the first copy's: the folder
# settings must come out absolute. As root the program must start without
# QTWEBENGINE_DISABLE_SANDBOX in the environment.
set -euo pipefail
larkpost="$1"
grab="$2"
out="$3"
table="$4"

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
# In a sanitizer build the X and GL libraries loaded here leak a little and are
# unloaded before the leak check, which can then name no frame of the leak: the
# frame under the allocation lies in a library no longer loaded, never in the
# program, which has all its own code linked in. Leaks stay checked by the
# window tests, which run offscreen.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS detect_leaks=0"
# The program itself turns the sandbox off when it runs as root.
unset QTWEBENGINE_DISABLE_SANDBOX
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu

# A table and a project in one folder, another pair below it.
data="$work/data"
mkdir -p "$data/sub"
cp "$table" "$data/clients.dbf"
cp "$table" "$data/sub/other.dbf"
: > "$data/news.lkp"
: > "$data/sub/later.lkp"

# The registry holds the value (REGEDIT4: "name"="text"), within a few seconds.
wait_for_setting() {
  for _ in $(seq 1 100); do
    grep -qF "\"$1\"=\"$2\"" "$LARKPOST_REGISTRY" && return 0
    sleep 0.1
  done
  echo "$1 is not $2:"; grep -F "\"$1\"" "$LARKPOST_REGISTRY" || true
  return 1
}

(cd "$data" && exec "$larkpost" clients.dbf news.lkp) 2>"$work/first.err" &
first=$!

# Wait for the running copy's socket.
for _ in $(seq 1 100); do
  [ -S "$XDG_RUNTIME_DIR/TlpMain" ] && break
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/TlpMain" ] || { echo "the first copy never listened"; cat "$work/first.err"; exit 1; }
if [ "$(id -u)" = 0 ]; then
  grep -q "QTWEBENGINE_DISABLE_SANDBOX" "$work/first.err" || { echo "no word on the sandbox"; exit 1; }
fi
wait_for_setting DataBaseDir "$data/"
wait_for_setting MailDir "$data/"
sleep 1
"$grab" "$out"
[ -s "$out" ] || { echo "no screenshot"; exit 1; }

# The second copy ends at once, having handed over its arguments, which mean
# what they mean in its own folder (there is no other.dbf in the first one's).
(cd "$data/sub" && timeout 20 "$larkpost" later.lkp notes.txt other.dbf)
wait_for_setting MailDir "$data/sub/"
wait_for_setting DataBaseDir "$data/sub/"
kill -0 "$first" || { echo "the first copy ended"; exit 1; }
echo "screenshot: $out"
