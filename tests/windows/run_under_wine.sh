#!/usr/bin/env bash
# Runs a Windows test program under Wine, without a display, in the prefix $WINEPREFIX:
#   run_under_wine.sh --start    makes the prefix when missing and starts its Wine server
#   run_under_wine.sh --stop     stops the server
#   run_under_wine.sh --run PROGRAM ARGS...   runs a program and gives its exit status
#   run_under_wine.sh --show PROGRAM ARGS...  the same on $DISPLAY, for a test's own X server
#   run_under_wine.sh --start-shown           --start for a prefix whose programs use $DISPLAY
# Wine's desktop belongs to the server's first window program: one started without a display
# leaves every later one without, so tests with windows use a prefix of their own.
#   run_under_wine.sh PROGRAM    runs a GoogleTest program and passes only when it exits 0
#                                and its own report says that every test passed
# Wine runs a 32-bit program under wine64 as a no-op that exits 0, so the program must be a
# 64-bit one; and without a running server the first program waits a minute for one.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to a prefix of the build folder}"
# No Mono or Gecko prompt, and no menu entries or icons on the Linux desktop for a shortcut.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
[[ ${1:-} == --show || ${1:-} == --start-shown ]] || unset DISPLAY
unset WAYLAND_DISPLAY

case ${1:?} in
--start | --start-shown)
    # The server and the programs wineboot leaves running must not hold the caller's output
    # open: CTest waits for it to close. The server stops itself two minutes after its last
    # program, should --stop never come.
    mkdir -p "$WINEPREFIX"
    # It fails when a server of this prefix runs already, which serves as well.
    wineserver -p120 </dev/null >/dev/null 2>&1 || true
    status=0
    wine wineboot --init </dev/null >"$WINEPREFIX/wineboot.log" 2>&1 || status=$?
    grep -v -e 'could not open working directory' -e 'syswow64' "$WINEPREFIX/wineboot.log" || true
    exit $status ;;
--stop)
    exec wineserver -k ;;
esac

plain=false
[[ $1 == --run || $1 == --show ]] && { plain=true; shift; }
program=$1; shift
format=$(x86_64-w64-mingw32-objdump -f "$program" | sed -n 's/.*file format //p')
if [[ $format != pei-x86-64 ]]; then
    echo "$program is not a 64-bit Windows program ($format)" >&2
    exit 1
fi
$plain && exec wine "$program" "$@"
# Into a file, not a pipe read to its end: the desktop process that Wine starts for a program
# using user32 inherits the output and keeps a pipe open for seconds after the program ended.
report=$(mktemp)
trap 'rm -f "$report"' EXIT
status=0
wine "$program" "$@" >"$report" 2>&1 </dev/null || status=$?
out=$(<"$report")
printf '%s\n' "$out"
if ((status != 0)); then
    echo "$program exited with status $status" >&2
    exit 1
fi
if ! grep -qE '^\[  PASSED  \] [1-9][0-9]* tests?\.' <<<"$out" || grep -q '^\[  FAILED  \]' <<<"$out"; then
    echo "$program exited 0, but its report does not say that all its tests passed" >&2
    exit 1
fi
