#!/usr/bin/env bash
# Runs a command while the loopback statistics server listens, then stops it.
#
#   with_server.sh PORT KEYFILE OPENER RECORD-FILE -- COMMAND...
# Exit: the command's exit code (2 when the server did not come up).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
port=$1 keys=$2 opener=$3 record=$4
shift 4
[ "${1:-}" = "--" ] && shift
ready=$(mktemp -u "${TMPDIR:-/tmp}/lum-report-ready.XXXXXX")
: > "$record"
python3 "$here/report_server.py" --port "$port" --keys "$keys" --opener "$opener" \
  --record "$record" --ready "$ready" &
server=$!
for _ in $(seq 1 100); do
  [ -f "$ready" ] && break
  kill -0 "$server" 2>/dev/null || { echo "report server did not start (port $port in use?)" >&2; exit 2; }
  sleep 0.1
done
[ -f "$ready" ] || { kill "$server" 2>/dev/null; echo "report server did not come up" >&2; exit 2; }
"$@"
code=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -f "$ready"
exit $code
