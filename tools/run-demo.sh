#!/usr/bin/env bash
# Opens Vorlith against a local vorlith-standin: starts the stand-in on a free loopback port, lays
# out a portable run folder (BUILD_DIR/run) whose dbconfig.dat points every endpoint at it, runs
# Vorlith there (under Xvfb when there is no display) and stops the stand-in when Vorlith exits.
# STANDIN_ARGS passes options to the stand-in, e.g. STANDIN_ARGS="--challenge 3 --reveal-answers".
#
#   tools/run-demo.sh                     the demo (what `make run` does)
#   tools/run-demo.sh --layout-only URL   only lays out BUILD_DIR/run for a stand-in at URL
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build}
[[ $build = /* ]] || build=$root/$build
run=$build/run
demo=$root/resources/demo
standin=$build/vorlith-standin

# The run folder for a stand-in at $1: the program, the cli, the metafile helper, dbconfig.dat and
# the demo's files.
lay_out() {
    local base=$1 program
    mkdir -p "$run"
    cp "$build/vorlith" "$run/"
    for program in vorlith-cli vorlith-metafile; do
        if [ -x "$build/$program" ]; then cp "$build/$program" "$run/"; fi
    done
    {
        printf '[Endpoints]\r\n'
        for key in SuggestionServiceBase GoogleSearchBase YahooSearchBase MsnSearchBase MakerSiteBase UpdateBase; do
            printf '%s=%s\r\n' "$key" "$base"
        done
        # The demo's branding follows; @STANDIN@ in it stands for the stand-in's address.
        if [ -f "$demo/dbconfig-settings.ini" ]; then
            printf '\r\n'
            sed "s|@STANDIN@|$base|g" "$demo/dbconfig-settings.ini"
        fi
    } >"$run/dbconfig.dat"
    if [ -d "$demo" ]; then
        for file in "$demo"/*; do
            case "$(basename "$file")" in dbconfig-settings.ini | sources-standin.ini) continue ;; esac
            if [ -f "$file" ]; then cp "$file" "$run/"; fi
        done
    fi
    # The shipped sources, then the stand-in's, which serve every shape the file reads.
    {
        cat "$root/resources/sources.ini"
        printf '\n'
        if [ -f "$demo/sources-standin.ini" ]; then sed "s|@STANDIN@|$base|g" "$demo/sources-standin.ini"; fi
    } >"$run/sources.ini"
    printf '%s\n' "$base" >"$run/standin-address.txt"
}

if [ "${1:-}" = --layout-only ]; then
    [ $# -eq 2 ] || { echo "usage: $0 --layout-only http://127.0.0.1:PORT" >&2; exit 2; }
    [ -x "$build/vorlith" ] || { echo "run-demo: $build/vorlith is missing; build first (make build)" >&2; exit 1; }
    lay_out "$2"
    exit 0
fi
[ $# -eq 0 ] || { echo "usage: $0 [--layout-only URL]" >&2; exit 2; }

for program in "$build/vorlith" "$standin"; do
    [ -x "$program" ] || { echo "run-demo: $program is missing; build first (make build)" >&2; exit 1; }
done

# The stand-in's first line on standard output names its address; its request log goes to stderr.
# shellcheck disable=SC2086 # STANDIN_ARGS is a list of options
exec 3< <(exec "$standin" --port 0 ${STANDIN_ARGS:-})
standin_pid=$!
stop_standin() {
    kill "$standin_pid" 2>/dev/null || true
    wait "$standin_pid" 2>/dev/null || true
}
trap stop_standin EXIT
if ! read -r -t 20 line <&3; then
    echo "run-demo: vorlith-standin did not start" >&2
    exit 1
fi
base=${line##* }
case $base in
http://127.0.0.1:*) ;;
*) echo "run-demo: unexpected answer from vorlith-standin: $line" >&2; exit 1 ;;
esac
echo "run-demo: stand-in at $base, run folder $run"
lay_out "$base"

cd "$run"
status=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    ./vorlith || status=$?
else
    echo "run-demo: no display, running under Xvfb"
    xvfb-run -a ./vorlith || status=$?
fi
exit "$status"
