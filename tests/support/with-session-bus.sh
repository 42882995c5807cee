#!/usr/bin/env bash
# Runs a test program on a private D-Bus session bus. "keyring" puts a Secret Service on it
# (gnome-keyring-daemon with a login keyring unlocked by a throw-away password); "bare" leaves
# it without one, and without any service that could be started on demand. HOME and the XDG
# folders point into a temporary folder, so the user's own keyring and settings stay untouched.
#   with-session-bus.sh keyring|bare PROGRAM [ARG...]
set -uo pipefail
mode=$1
shift
tmp=$(mktemp -d /tmp/vexil-bus.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
export HOME=$tmp/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
export XDG_CACHE_HOME=$HOME/.cache XDG_STATE_HOME=$HOME/.local/state
export XDG_RUNTIME_DIR=$tmp/run
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY

cat >"$tmp/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF

case $mode in
keyring)
  # The daemon forks and stays until the bus goes; its first lines are the environment a
  # session would take over, of no use here.
  dbus-run-session --config-file="$tmp/bus.conf" -- bash -c \
    'printf %s throw-away | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 1
     exec "$@"' with-keyring "$@"
  ;;
bare)
  dbus-run-session --config-file="$tmp/bus.conf" -- "$@"
  ;;
*)
  echo "with-session-bus.sh: keyring or bare, not '$mode'" >&2
  exit 2
  ;;
esac
