#!/usr/bin/env bash
# Builds svcadjust and runs it against a virtual printer: every port of the
# start window (LPT1-3, ZQUSB1-3) leads to the virtual printer, so picking a
# model and any port and pressing OK connects. Installs missing packages first.
#
#   tools/run.sh                 a virtual Corvid Lumen 4100
#   tools/run.sh --model 4200    a virtual Corvid Lumen 4200
#   tools/run.sh --real          no virtual printer: the real ports (see hostbridge/README.md)
#   tools/run.sh --deviation NAME=VALUE   a printer that needs adjusting (repeatable; see
#                                `vprinter --help`), e.g. --deviation bid.vsd1.black=3 --deviation pf=-2
#   tools/run.sh --dpi N         its printed pages at N dpi (by default each page at the resolution that shows one step of its adjustment)
#   tools/run.sh --cli OPS...    svcadjust-cli on LPT1 of the virtual printer instead of the
#                                window (no display needed), e.g. --cli get-status printer-info
set -euo pipefail
SVC_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export SVC_ROOT
# shellcheck source=tools/deps.sh
source "$SVC_ROOT/tools/deps.sh"

fail() { echo "error: $*" >&2; exit 1; }

model=4100
real=0
cli=0
vprinter_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --model) model=${2:?--model needs 4100 or 4200}; shift 2 ;;
    --real) real=1; shift ;;
    --deviation|--dpi) vprinter_args+=("$1" "${2:?$1 needs a value}"); shift 2 ;;
    --cli) cli=1; shift; break ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) fail "unknown option $1 (try --help)" ;;
  esac
done
case "$model" in 4100|4200) ;; *) fail "--model takes 4100 or 4200" ;; esac

svc_ensure_packages || fail "the build tools could not be installed"
svc_configure_build "$SVC_ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo || fail "build failed"
bin="$SVC_ROOT/build/release/bin"

if [ "$cli" = 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<MSG
svcadjust is built ($bin/svcadjust), but there is no display to show its windows on.
Run this command again from a desktop session (or over ssh -X), or use a virtual
display:  sudo apt-get install xvfb && xvfb-run -a tools/run.sh
MSG
  exit 1
fi

if [ "$real" = 1 ]; then
  [ "$cli" = 1 ] && exec "$bin/svcadjust-cli" "$@"
  exec "$bin/svcadjust"
fi

state="${XDG_STATE_HOME:-$HOME/.local/state}/svcadjust"
mkdir -p "$state/pages-$model"
run=$(mktemp -d "${TMPDIR:-/tmp}/svcadjust.XXXXXX")
sock="$run/vprinter.sock"
vprinter_pid=
cleanup() {
  if [ -n "${panel_pid:-}" ]; then kill "$panel_pid" 2>/dev/null || true; wait "$panel_pid" 2>/dev/null || true; fi
  if [ -n "$vprinter_pid" ]; then kill "$vprinter_pid" 2>/dev/null || true; wait "$vprinter_pid" 2>/dev/null || true; fi
  rm -rf "$run"
}
trap cleanup EXIT INT TERM

"$bin/vprinter" "${vprinter_args[@]}" --socket "$sock" --model "$model" --eeprom "$state/eeprom-$model.bin" \
  --pages "$state/pages-$model" &
vprinter_pid=$!
for _ in $(seq 50); do [ -S "$sock" ] && break; sleep 0.1; done
[ -S "$sock" ] || fail "the virtual printer did not start"

echo "Virtual Corvid Lumen $model on $sock"
echo "  printed pages: $state/pages-$model   EEPROM image: $state/eeprom-$model.bin"
echo "  control it with: $bin/vprinter --control $sock.ctl --send 'status'   (see $bin/vprinter --help)"

# The printer's front panel beside the program (it needs the same display;
# without one, as --cli allows, there is no panel).
panel_pid=
if [ -x "$bin/vprinter-panel" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; }; then
  "$bin/vprinter-panel" --control "$sock.ctl" &
  panel_pid=$!
  echo "  front panel: $bin/vprinter-panel --control $sock.ctl"
fi

ports=""
for p in LPT1 LPT2 LPT3 ZQUSB1 ZQUSB2 ZQUSB3; do ports+="$p=unix:$sock;"; done
echo "  from a terminal: SVCADJUST_PORTMAP='LPT1=unix:$sock' SVCADJUST_VPRINTER_CONTROL='$sock.ctl' \\"
echo "    $bin/svcadjust-cli --model $model --port LPT1 get-status"
# svcadjust-cli names the control socket when it asks for the printer to be switched off.
export SVCADJUST_VPRINTER_CONTROL="$sock.ctl"
if [ "$cli" = 1 ]; then
  SVCADJUST_PORTMAP="$ports" "$bin/svcadjust-cli" --model "$model" --port LPT1 "$@"
  exit $?
fi
SVCADJUST_PORTMAP="$ports" "$bin/svcadjust"
