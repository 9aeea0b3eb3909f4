#!/usr/bin/env bash
# The whole program under UDP floods: the real executable, under Xvfb, in a
# network namespace whose veth end its settings name, all three protocols on.
# For each flood it prints the packets on the wire (the interface's own
# counters), the rows stored in the .dat, their ratio, the seconds from the
# end of the flood to the last stored row, the program's CPU seconds per
# million packets and its peak resident memory (both with its capture helper
# when it has one); then tcpdump on the same
# flood for comparison.
#
# Usage (root): ProgramFloodBench.sh [-t SECONDS] [-r "RATES"] EXECUTABLE...
#   RATES: iperf3 -b values, 0 = unlimited (default "0 20M 10M 5M").
# Several executables are measured one after the other in the same run, so
# their figures can be compared.
#
# ARP and IPv6 are switched off on the pair, so every frame on the wire is an
# IPv4 packet to or from the metered address: wire − rows is what was lost.
set -euo pipefail

seconds=5
rates="0 20M 10M 5M"
while getopts "t:r:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    r) rates=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { echo "usage: $0 [-t SECONDS] [-r RATES] EXECUTABLE..." >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root for network namespaces"; exit 0; }
for tool in Xvfb iperf3 tcpdump sqlite3 ip; do
  command -v $tool >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

tag=$$
nsa=corvina-fa-$tag
nsb=corvina-fb-$tag
work=$(mktemp -d /tmp/corvina-flood-XXXXXX)
display=:$((90 + tag % 9))
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  ip netns pids $nsa 2>/dev/null | xargs -r kill -9 2>/dev/null
  ip netns pids $nsb 2>/dev/null | xargs -r kill -9 2>/dev/null
  ip netns del $nsa 2>/dev/null
  ip netns del $nsb 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

in_a() { ip netns exec $nsa "$@"; }
in_b() { ip netns exec $nsb "$@"; }

ip netns add $nsa
ip netns add $nsb
for ns in $nsa $nsb; do
  ip netns exec $ns sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
  ip -n $ns link set lo up
done
ip -n $nsa link add fl0 address 02:00:00:00:0f:01 type veth peer name fl1 address 02:00:00:00:0f:02 netns $nsb
ip -n $nsa addr add 10.78.0.1/24 dev fl0
ip -n $nsb addr add 10.78.0.2/24 dev fl1
ip -n $nsa link set fl0 arp off up
ip -n $nsb link set fl1 arp off up
ip -n $nsa neigh replace 10.78.0.2 lladdr 02:00:00:00:0f:02 dev fl0 nud permanent
ip -n $nsb neigh replace 10.78.0.1 lladdr 02:00:00:00:0f:01 dev fl1 nud permanent

Xvfb $display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1

wire() { in_a cat /sys/class/net/fl0/statistics/rx_packets /sys/class/net/fl0/statistics/tx_packets | paste -sd+ | bc; }
# Read-only, so a missing file is never created in the program's place.
rows() { sqlite3 "file:$1?mode=ro" "SELECT IFNULL(MAX(rowid), 0) FROM INETTRAFFIC" 2>/dev/null || echo 0; }
# A program and the processes it started (its capture helper).
with_children() { echo "$1" $(cat /proc/"$1"/task/*/children 2>/dev/null); }
cpu_ticks() { for p in $(with_children "$1"); do awk '{print $14 + $15}' "/proc/$p/stat"; done | paste -sd+ | bc; }
peak_kb() { for p in $(with_children "$1"); do awk '/VmHWM/ {print $2}' "/proc/$p/status"; done | paste -sd+ | bc; }
now() { date +%s.%N; }
rate_name() { [ "$1" = 0 ] && echo unlimited || echo "$1"; }

# Waits until the row count stays put for three seconds; prints the count
# and the time it last grew.
drain() {
  local db=$1 last count changed quiet=0
  last=$(rows "$db")
  changed=$(now)
  while [ $quiet -lt 30 ]; do
    sleep 0.1
    count=$(rows "$db")
    if [ "$count" != "$last" ]; then
      last=$count
      changed=$(now)
      quiet=0
    else
      quiet=$((quiet + 1))
    fi
  done
  echo "$last $changed"
}

flood() { in_b iperf3 -c 10.78.0.1 -p 5201 -u -l 16 -t "$seconds" -b "$1" >/dev/null 2>&1 || true; }

run_program() {
  local exe=$1 rate=$2 dir=$work/prog
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$exe" "$dir/corvina"
  # The helper of a build that has one is found beside the executable.
  [ -x "$(dirname "$exe")/corvina-capture" ] && cp -p "$(dirname "$exe")/corvina-capture" "$dir/"
  printf '[VAR_TYPES]\r\nMacBind=256\r\nShowICMP=11\r\nShowUDP=11\r\nShowTCP=11\r\n[VAR_VALUES]\r\nMacBind=02-00-00-00-0F-01\r\nShowICMP=1\r\nShowUDP=1\r\nShowTCP=1\r\n' >"$dir/corvina.cfg"
  # Not through a shell function: $! must be the program itself.
  ip netns exec $nsa env DISPLAY=$display "$dir/corvina" >"$dir/out.log" 2>&1 &
  local pid=$!
  # Capturing once a ping lands as rows.
  local tries=0
  while [ "$(rows "$dir/corvina.dat")" -le 0 ]; do
    in_b ping -c 1 -W 1 10.78.0.1 >/dev/null 2>&1 || true
    sleep 0.25
    tries=$((tries + 1))
    [ $tries -lt 40 ] || { echo "the program did not start capturing:"; cat "$dir/out.log"; kill $pid; return 1; }
  done
  in_a iperf3 -s -1 -D -p 5201
  sleep 0.5
  local w0 r0 c0 t_end r1 last w1 c1
  w0=$(wire)
  r0=$(rows "$dir/corvina.dat")
  c0=$(cpu_ticks $pid)
  flood "$rate"
  t_end=$(now)
  read -r r1 last < <(drain "$dir/corvina.dat")
  w1=$(wire)
  c1=$(cpu_ticks $pid)
  local hwm
  hwm=$(peak_kb $pid)
  kill -TERM $pid
  wait $pid 2>/dev/null || true
  local packets=$((w1 - w0)) stored=$((r1 - r0))
  awk -v name="$3" -v rate="$(rate_name "$rate")" -v wire=$packets -v stored=$stored \
    -v after="$(echo "$last - $t_end" | bc)" -v ticks=$((c1 - c0)) -v hz="$(getconf CLK_TCK)" \
    -v hwm="$hwm" 'BEGIN {
      if (after < 0) after = 0
      printf "%-10s %-9s %10d %10d %8.4f %10d %8.1f %10.2f %8.1f\n", name, rate, wire, stored,
        wire ? stored / wire : 0, wire - stored, after, wire ? ticks / hz / (wire / 1e6) : 0, hwm / 1024 }'
}

run_tcpdump() {
  local rate=$1 err=$work/tcpdump.err
  ip netns exec $nsa tcpdump -i fl0 -B 32768 -w /dev/null -n "ip host 10.78.0.1" 2>"$err" &
  local pid=$!
  sleep 1
  in_a iperf3 -s -1 -D -p 5201
  sleep 0.5
  local w0 w1
  w0=$(wire)
  flood "$rate"
  sleep 1
  w1=$(wire)
  kill -INT $pid
  wait $pid 2>/dev/null || true
  local captured dropped
  captured=$(awk '/packets captured/ {print $1}' "$err")
  dropped=$(awk '/dropped by kernel/ {print $1}' "$err")
  printf "%-10s %-9s %10d %10d %8.4f %10d   (kernel drops %s)\n" tcpdump "$(rate_name "$rate")" \
    $((w1 - w0)) "$captured" "$(echo "scale=4; $captured / ($w1 - $w0)" | bc)" \
    $((w1 - w0 - captured)) "$dropped"
}

echo "UDP floods of 16-byte datagrams, $seconds s each, on a veth pair; rows against the wire"
printf "%-10s %-9s %10s %10s %8s %10s %8s %10s %8s\n" program flood wire rows ratio missing \
  "last(s)" "cpu s/Mp" "peak MB"
n=0
for exe in "$@"; do
  n=$((n + 1))
  for rate in $rates; do run_program "$exe" "$rate" "exe$n"; done
done
for rate in $rates; do run_tcpdump "$rate"; done
