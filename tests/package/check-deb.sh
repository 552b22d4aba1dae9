#!/usr/bin/env bash
# check-deb.sh <build dir>: builds the Debian package, checks it with lintian, installs it with
# apt-get, starts the installed program on the desktop in DISPLAY until its splash and its login
# window show, and removes the package again. Run as root, or as a user with password-free sudo.
set -uo pipefail
build=$1
package=corvanta-launcher
fail() { echo "FAIL: $*" >&2; exit 1; }

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || fail "installing the package needs root or password-free sudo"
  sudo="sudo -n"
fi
work=$(mktemp -d)
launcher=""
cleanup() {
  [ -z "$launcher" ] || kill "$launcher" 2>/dev/null
  $sudo apt-get remove -y -qq "$package" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
# A package of the same version left installed would not be replaced by this build's.
$sudo apt-get remove -y -qq "$package" >/dev/null 2>&1

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/${package}_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no ${package}_*.deb"
echo "built $(basename "$deb")"

# Errors fail the test; what lintian reports beyond them is printed for the reader.
lintian --allow-root --fail-on error --info "$deb" || fail "lintian reports errors"

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install"; }
for file in /usr/bin/$package /usr/share/applications/gg.corvanta.launcher.desktop \
            /usr/share/metainfo/gg.corvanta.launcher.metainfo.xml \
            /usr/share/icons/hicolor/{16x16,48x48,256x256}/apps/gg.corvanta.launcher.png; do
  [ -e "$file" ] || fail "the package did not install $file"
done
installed=$(dpkg-query -L "$package" | while read -r path; do [ -d "$path" ] || echo "$path"; done)
desktop-file-validate /usr/share/applications/gg.corvanta.launcher.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/gg.corvanta.launcher.metainfo.xml || fail "appstreamcli validate"

# The installed program, as the menu entry starts it: by name from PATH, with a fresh profile
# and no platform reachable, so it shows its login window.
mkdir -p "$work/home" "$work/runtime" && chmod 700 "$work/runtime"
(cd "$work" && exec env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" HOME="$work/home" \
  XDG_RUNTIME_DIR="$work/runtime" QTWEBENGINE_DISABLE_SANDBOX=1 API_BASE_URL=http://127.0.0.1:9 \
  "$(sed -n 's/^Exec=//p' /usr/share/applications/gg.corvanta.launcher.desktop)" >"$work/launcher.log" 2>&1) &
launcher=$!
within() { local tries=$(($1 * 10)); shift; until "$@"; do ((--tries > 0)) || return 1; sleep 0.1; done; }
logged() { grep -qF "\"$1\"" "$work/launcher.log"; }
windows() { xdotool search --onlyvisible --pid "$launcher" "$@" 2>/dev/null; }
shown() { windows --name "$1" >/dev/null; }
# The splash: a frameless window of 300 x 300 without a title (the tray icon has none either).
splash_shown() {
  local w
  for w in $(windows --name '^$'); do
    xdotool getwindowgeometry "$w" | grep -q 'Geometry: 300x300' && return 0
  done
  return 1
}
{ within 10 splash_shown && within 5 logged "SplashScreen created"; } ||
  { cat "$work/launcher.log"; fail "no splash"; }
echo "splash shown"
{ within 20 logged "No session found, showing login..." && within 5 shown '^Corvanta - Login$'; } ||
  { cat "$work/launcher.log"; fail "no login window"; }
echo "login window shown"
# The menu entry's StartupWMClass is what the desktop matches the program's windows by.
class=$(xprop -id "$(windows --name '^Corvanta - Login$' | head -n 1)" WM_CLASS | sed 's/.*", "\(.*\)"$/\1/')
wanted=$(sed -n 's/^StartupWMClass=//p' /usr/share/applications/gg.corvanta.launcher.desktop)
[ "$class" = "$wanted" ] || fail "the windows' class is \"$class\", the menu entry's StartupWMClass \"$wanted\""
kill "$launcher"; wait "$launcher" 2>/dev/null; launcher=""

$sudo apt-get remove -y -qq "$package" >/dev/null 2>&1 || fail "apt-get remove"
for path in $installed; do
  [ ! -e "$path" ] || fail "$path is left after removal"
done
[ "$(dpkg-query -W -f='${db:Status-Status}' $package 2>/dev/null)" != installed ] || fail "still installed"
echo "removed"
