#!/bin/sh
# Sending 1,000,000 rows end to end with orv-send to orv-dbservice on
# loopback (rows per second), against the sqlite3 shell inserting the same
# rows into the same table. Not run in CI.
#   bench/dispatch_send_bench.sh BUILDDIR [ROWS]
set -eu
BUILD=${1:?build directory}
ROWS=${2:-1000000}
DIR=$(mktemp -d /tmp/dispatch_send_bench.XXXXXX)
PORT=$((20000 + $$ % 20000))
trap 'kill $SVC 2>/dev/null || true; rm -rf "$DIR"' EXIT

awk -v n="$ROWS" 'BEGIN { for (i = 0; i < n; i++) printf "010%08d,고객%d,정보%d\n", 10000000 + i * 7 % 90000000, i, i % 97 }' > "$DIR/list.csv"
"$BUILD/bin/orv-dbservice" --port "$PORT" --db "$DIR/orv.db" --demo > "$DIR/svc.log" 2>&1 &
SVC=$!
sleep 1

# orv-send runs under /usr/bin/time (when present) for its peak resident size.
TIMER=
[ -x /usr/bin/time ] && TIMER="/usr/bin/time -f %M -o $DIR/send.rss"
start=$(date +%s.%N)
$TIMER "$BUILD/bin/orv-send" -s "127.0.0.1:$PORT" -u user01 -p demo1234 --service 1001 --title bench "$DIR/list.csv" \
  2>"$DIR/send.err"
end=$(date +%s.%N)
echo "orv-send: $ROWS rows in $(echo "$end - $start" | bc) s = $(echo "$ROWS / ($end - $start)" | bc) rows/s"
[ -s "$DIR/send.rss" ] && echo "orv-send peak: $(tail -n 1 "$DIR/send.rss") KB"
echo "orv-dbservice peak: $(awk '/^VmHWM/ { print $2 }' /proc/$SVC/status) KB"

# The same rows as plain inserts through the sqlite3 shell on a fresh copy of the schema.
sqlite3 "$DIR/orv.db" .schema > "$DIR/schema.sql"
sqlite3 "$DIR/plain.db" < "$DIR/schema.sql" 2>/dev/null || true
awk -F, '{ printf "INSERT INTO REQ_ORV (USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, CALLER_ID, RESERVE_INFO, PROGRESS, TRY_COUNT, REG_DATE, REG_TIME) VALUES (%cuser01%c,1001,%cbench%c,%c%s%c,%c%s%c,%c0212345678%c,%c000000000000%c,%c0%c,0,%c20261211%c,%c093000%c);\n", 39,39,39,39,39,$1,39,39,$2,39,39,39,39,39,39,39,39,39,39,39 }' "$DIR/list.csv" > "$DIR/inserts.sql"
start=$(date +%s.%N)
{ echo "BEGIN;"; cat "$DIR/inserts.sql"; echo "COMMIT;"; } | sqlite3 "$DIR/plain.db"
end=$(date +%s.%N)
echo "sqlite3 shell: $ROWS rows in $(echo "$end - $start" | bc) s = $(echo "$ROWS / ($end - $start)" | bc) rows/s"
