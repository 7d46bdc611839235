#!/bin/bash
# The program: refuses a bad reference file with exit status 2 and a message naming
# its file and line; exits 0 on SIGTERM while it loads a file that never ends;
# serves a good one at once while a fetch hangs on a server that never answers;
# logs each request; exits 0 on SIGTERM without waiting for the fetch.
set -euo pipefail
binary=$1
dir=$(mktemp -d)
fail() { echo "$1"; cat "$2"; exit 1; }

# Ends within 2 s of SIGTERM, with status 0.
stops_cleanly() {
  kill -TERM "$1"
  timeout 2 tail -s 0.1 --pid="$1" -f /dev/null || { echo "running 2 s after SIGTERM"; kill -KILL "$1"; return 1; }
  wait "$1" || { echo "exit status $? after SIGTERM"; return 1; }
}
trap 'rm -rf "$dir"; kill $(jobs -p) 2>/dev/null || true' EXIT

printf 'Date, USD, \n%s, -1.25, \n' "$(date -u '+%d %B %Y')" >"$dir/bad.csv"
status=0
"$binary" --port 0 --no-fetch --no-cache --ecb "$dir/bad.csv" 2>"$dir/bad.log" || status=$?
[[ $status -eq 2 ]] || fail "bad file: exit status $status" "$dir/bad.log"
grep -q "$dir/bad.csv line 2: rate \"-1.25\" is not a positive number" "$dir/bad.log" || fail "" "$dir/bad.log"

mkfifo "$dir/endless.csv"  # opened for reading, it waits for a writer that never comes
"$binary" --port 0 --no-fetch --no-cache --rates "$dir/endless.csv" 2>"$dir/endless.log" &
sleep 0.3
stops_cleanly $! || fail "" "$dir/endless.log"

# A server that takes connections and never answers.
python3 -c 'import socket, time
s = socket.create_server(("127.0.0.1", 0)); print(s.getsockname()[1], flush=True); time.sleep(300)' >"$dir/silent" &
until [[ -s $dir/silent ]]; do sleep 0.05; done

printf "<Cube><Cube time='%s'><Cube currency='USD' rate='1.25'/></Cube></Cube>\n" "$(date -u +%F)" >"$dir/daily.xml"
"$binary" --port 0 --no-cache --ecb "$dir/daily.xml" --ecb-url "http://127.0.0.1:$(cat "$dir/silent")/d.xml" 2>"$dir/log" &
pid=$!
timeout 10 bash -c 'until grep -qs "listening on" "$0"; do sleep 0.1; done' "$dir/log" || fail "no port announced" "$dir/log"
port=$(sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$dir/log")

query='/currency/convert?amt=100&from=USD&to=EUR&submit=Convert'
answer=$(exec 3<>"/dev/tcp/127.0.0.1/$port" && printf 'GET %s HTTP/1.0\r\n\r\n' "$query" >&3 && timeout 5 cat <&3) || true
grep -q '<td class="rate">0.8</td><td><b>80.00</b></td>' <<<"$answer" || fail "unexpected answer: $answer" /dev/null

stops_cleanly "$pid" || fail "" "$dir/log"
grep -q "GET $query 200" "$dir/log" && grep -q 'kavrel-rates: stopped' "$dir/log" || fail "not logged" "$dir/log"
