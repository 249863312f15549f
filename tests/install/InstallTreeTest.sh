#!/usr/bin/env bash
# The installed program: installs the current build into a temporary prefix, makes its bin
# folder read-only, and checks that the tool and the window keep the library in the user's data
# folder ($XDG_DATA_HOME/Sonquil), that the window imports a file named on its command line and
# that the desktop entry is valid.
#   InstallTreeTest.sh BUILD_DIR
# Root writes into a read-only folder anyway; the program honours the folder's permission bits
# for root (core/ProgramFolder.h), so the test holds under CI's root as well.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
cleanup() {
    chmod -R u+w "$tmp" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
need() {
    command -v "$1" >/dev/null || fail "$1 is not installed (scripts/setup.sh installs it)"
}
need desktop-file-validate
need groff
need appstreamcli
need man
need sox
need xvfb-run
need xdotool

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || fail "cmake --install failed: $(cat "$tmp/install.log")"
for f in bin/sonquil bin/sonquil-cli share/applications/sonquil.desktop share/icons/hicolor/scalable/apps/sonquil.svg \
    share/man/man1/sonquil.1 share/man/man1/sonquil-cli.1 share/metainfo/org.sonquil.Sonquil.metainfo.xml; do
    [ -e "$prefix/$f" ] || fail "the install lacks $f"
done
[ -x "$prefix/bin/sonquil" ] && [ -x "$prefix/bin/sonquil-cli" ] || fail "the executables are not executable"

# The desktop entry: valid, starting the installed name with the files, offering the audio types.
entry=$prefix/share/applications/sonquil.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the entry"
grep -qx 'Exec=sonquil %F' "$entry" || fail "Exec is not 'sonquil %F'"
grep -qx 'Icon=sonquil' "$entry" || fail "Icon is not 'sonquil'"
grep -q '^MimeType=.*audio/x-wav;' "$entry" || fail "the entry offers no WAV type"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/sonquil.svg" || fail "the icon is no SVG"
# The software centres' description is valid and names the desktop entry it describes.
metainfo=$prefix/share/metainfo/org.sonquil.Sonquil.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$tmp/appstream.log" 2>&1 || fail "appstreamcli rejects the metainfo: $(cat "$tmp/appstream.log")"
grep -q '<launchable type="desktop-id">sonquil.desktop</launchable>' "$metainfo" || fail "the metainfo does not launch sonquil.desktop"
# The manual pages format without a warning and name their program.
for page in sonquil sonquil-cli; do
    warnings=$(groff -man -ww -z "$prefix/share/man/man1/$page.1" 2>&1) || fail "groff fails on $page.1"
    [ -z "$warnings" ] || fail "$page.1: $warnings"
    MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1" 2>/dev/null | grep -q "^NAME" || fail "$page.1 has no NAME"
done

# A person's session in the temporary folder; the lock too, so no other run is in the way.
export HOME=$tmp/home XDG_DATA_HOME=$tmp/data XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_HOME=$tmp/config
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
chmod a-w "$prefix/bin"
library=$XDG_DATA_HOME/Sonquil

sox -n -r 44100 -c 2 -b 16 "$tmp/first.wav" synth 0.5 sine 440
sox -n -r 44100 -c 2 -b 16 "$tmp/second.wav" synth 0.5 sine 660

# The tool makes the library, and finds it again, in the data folder.
(cd "$tmp" && "$prefix/bin/sonquil-cli" import --vdisk "$tmp/music" first.wav) >"$tmp/cli.log" 2>&1 ||
    fail "sonquil-cli import failed: $(cat "$tmp/cli.log")"
[ -d "$library/AudioDB" ] || fail "no AudioDB in $library"
[ "$(ls "$prefix/bin" | sort | tr '\n' ' ')" = "sonquil sonquil-cli " ] || fail "the tool wrote into bin: $(ls "$prefix/bin")"
"$prefix/bin/sonquil-cli" list >"$tmp/list.log" || fail "sonquil-cli list failed"
grep -q $'\tfirst\t' "$tmp/list.log" || fail "the tool does not find its library again: $(cat "$tmp/list.log")"

# The window, started as the desktop entry starts it: with a file (relative to the folder it is
# started in) and a name that does not exist. Once the import's report is up, SIGTERM closes the
# report and the window, which saves the library.
cat >"$tmp/gui.sh" <<'GUI'
set -u
cd "$1"
"$2/bin/sonquil" second.wav "$1/missing.wav" &
prog=$!
for _ in $(seq 1 600); do
    xdotool search --name '^Import Audio Report$' >/dev/null 2>&1 && break
    kill -0 "$prog" 2>/dev/null || { echo "the program ended early" >&2; exit 1; }
    sleep 0.1
done
xdotool search --name '^Import Audio Report$' >/dev/null 2>&1 || { echo "no import report" >&2; kill "$prog"; exit 1; }
kill -TERM "$prog"
for _ in $(seq 1 300); do
    kill -0 "$prog" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$prog" 2>/dev/null; then
    echo "the program does not end on SIGTERM" >&2
    kill -KILL "$prog"
    exit 1
fi
wait "$prog"
GUI
# Under a real X server the program goes through the desktop's own libraries: the X keyboard
# library reads past the end of a name it copies with strndup while Qt's X platform starts, and
# the session bus and font libraries keep memory until the process ends. An address-sanitizing
# build would stop on those, in libraries that are not ours; our own code stays checked.
printf 'interceptor_via_lib:libxkbcommon-x11.so\n' >"$tmp/asan.supp"
printf '%s\n' leak:libdbus-1.so leak:libfontconfig.so leak:libxcb leak:libX11.so leak:libxkbcommon \
    leak:libglib-2.0.so leak:libQt6XcbQpa.so leak:libQt6DBus.so >"$tmp/lsan.supp"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}suppressions=$tmp/asan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$tmp/lsan.supp"
# The real X server, not the offscreen platform that ctest sets for the window tests.
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" bash "$tmp/gui.sh" "$tmp" "$prefix" >"$tmp/gui.log" 2>&1 ||
    fail "the installed window: $(cat "$tmp/gui.log")"
[ "$(ls "$prefix/bin" | sort | tr '\n' ' ')" = "sonquil sonquil-cli " ] || fail "the window wrote into bin: $(ls "$prefix/bin")"
"$prefix/bin/sonquil-cli" list >"$tmp/list.log" || fail "sonquil-cli list failed after the window"
grep -q $'\tsecond\t' "$tmp/list.log" || fail "the window's import is not in the data folder's library: $(cat "$tmp/list.log")"
echo "install tree OK"
