#!/bin/bash
# Starts kavrel-rates on a free loopback port, asks it for one conversion,
# sends SIGTERM and expects a clean exit with status 0.
set -euo pipefail
binary=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT

"$binary" --port 0 --bind 127.0.0.1 2>"$log" &
pid=$!

port=
for _ in $(seq 100); do
  port=$(sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$log")
  [[ -n $port ]] && break
  sleep 0.1
done
[[ -n $port ]] || { echo "no port announced"; cat "$log"; kill "$pid"; exit 1; }

exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'GET /currency/convert?amt=100&from=USD&to=USD&submit=Convert HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' >&3
answer=$(cat <&3)
exec 3<&-
grep -q '<td><b>100.00</b></td>' <<<"$answer" || { echo "unexpected answer: $answer"; exit 1; }

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
cat "$log"
[[ $status -eq 0 ]] || { echo "exit status $status"; exit 1; }
grep -q 'GET /currency/convert?amt=100&from=USD&to=USD&submit=Convert 200' "$log"
grep -q 'kavrel-rates: stopped' "$log"
