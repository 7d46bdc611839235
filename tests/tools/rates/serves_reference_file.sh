#!/bin/bash
# The program: refuses a bad reference file with exit status 2 and a message naming
# its file and line; serves a good one; logs each request; exits 0 on SIGTERM.
set -euo pipefail
binary=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

printf 'Date, USD, \n%s, -1.25, \n' "$(date -u '+%d %B %Y')" >"$dir/bad.csv"
status=0
"$binary" --port 0 --ecb "$dir/bad.csv" 2>"$dir/bad.log" || status=$?
[[ $status -eq 2 ]] || { echo "bad file: exit status $status"; exit 1; }
grep -q "$dir/bad.csv line 2: rate \"-1.25\" is not a positive number" "$dir/bad.log" || { cat "$dir/bad.log"; exit 1; }

printf "<Cube><Cube time='%s'><Cube currency='USD' rate='1.25'/></Cube></Cube>\n" "$(date -u +%F)" >"$dir/daily.xml"
"$binary" --port 0 --ecb "$dir/daily.xml" 2>"$dir/log" &
pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$dir/log")
  [[ -n $port ]] && break
  sleep 0.1
done
[[ -n $port ]] || { echo "no port announced"; cat "$dir/log"; kill "$pid"; exit 1; }

query='/currency/convert?amt=100&from=USD&to=EUR&submit=Convert'
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$query" >&3
answer=$(cat <&3)
grep -q '<td class="rate">0.8</td><td><b>80.00</b></td>' <<<"$answer" || { echo "unexpected answer: $answer"; exit 1; }

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
cat "$dir/log"
[[ $status -eq 0 ]] || { echo "exit status $status"; exit 1; }
grep -q "GET $query 200" "$dir/log"
grep -q 'kavrel-rates: stopped' "$dir/log"
