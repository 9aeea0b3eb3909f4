#!/usr/bin/env bash
# Soak benchmark: the real program for a while (10 minutes unless told) under
# a steady mixed flood (UDP in, TCP out, ICMP both ways) in two network
# namespaces, its adapter flapping every 30 s (link down and address gone for
# two seconds) and its settings re-applied every minute through the real
# settings dialog (xdotool on an Xvfb display). Once a minute it prints the
# program's resident memory (and its capture helper's), open descriptors and
# threads; at the end, the rows stored against the IPv4 packets on the wire
# (what the kernel dropped, or what was sent while no capture ran, is the gap).
# Needs root, Xvfb, icewm, xdotool, iperf3 and sqlite3.
#
# Usage: bench/soak/SoakBench.sh [program] [minutes] [X display number]
set -euo pipefail

program=$(realpath "${1:-build/release/ui/corvina}")
minutes=${2:-10}
display=":${3:-53}"
a="corvina-soak-a-$$"
b="corvina-soak-b-$$"
work=$(mktemp -d /tmp/corvina-soak-XXXXXX)
pids=()

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  ip netns del "$a" 2>/dev/null || true
  ip netns del "$b" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# In the foreground only: a backgrounded function's $! would be a subshell,
# and killing it would leave the command running.
in_a() { ip netns exec "$a" "$@"; }
in_b() { ip netns exec "$b" "$@"; }

# A veth pair without IPv6 and with fixed neighbours: every packet on the wire
# is IPv4 to or from the metered address, so the link counters are the oracle.
# One segment per packet, as on a real wire (no 64 KB TCP super-packets).
ip netns add "$a"
ip netns add "$b"
ip -n "$a" link add cap0 address 02:00:00:00:0c:01 type veth peer name cap1 address 02:00:00:00:0c:02
ip -n "$a" link set cap1 netns "$b"
in_a sh -c 'echo 1 > /proc/sys/net/ipv6/conf/all/disable_ipv6; echo 1 > /proc/sys/net/ipv6/conf/cap0/disable_ipv6'
in_b sh -c 'echo 1 > /proc/sys/net/ipv6/conf/all/disable_ipv6; echo 1 > /proc/sys/net/ipv6/conf/cap1/disable_ipv6'
ip -n "$a" addr add 10.77.0.1/24 dev cap0
ip -n "$b" addr add 10.77.0.2/24 dev cap1
for ns in "$a" "$b"; do ip -n "$ns" link set lo up; done
ip -n "$a" link set cap0 gso_max_segs 1 up
ip -n "$b" link set cap1 gso_max_segs 1 up
ip -n "$a" neigh replace 10.77.0.2 lladdr 02:00:00:00:0c:02 dev cap0 nud permanent
ip -n "$b" neigh replace 10.77.0.1 lladdr 02:00:00:00:0c:01 dev cap1 nud permanent

wire() {
  local rx tx
  rx=$(in_a cat /sys/class/net/cap0/statistics/rx_packets)
  tx=$(in_a cat /sys/class/net/cap0/statistics/tx_packets)
  echo $((rx + tx))
}

# The program in a folder of its own, capturing on cap0 with every protocol counted.
cp "$program" "$work/corvina"
# Its capture helper, when the build has one, goes beside it.
helper="$(dirname "$program")/corvina-capture"
[ -x "$helper" ] && cp "$helper" "$work/corvina-capture"
mkdir -m 700 "$work/runtime"
printf '[VAR_TYPES]\r\nMacBind=256\r\nShowICMP=11\r\nShowUDP=11\r\nShowTCP=11\r\nFormLeft=3\r\nFormTop=3\r\n\r\n[VAR_VALUES]\r\nMacBind=02-00-00-00-0C-01\r\nShowICMP=1\r\nShowUDP=1\r\nShowTCP=1\r\nFormLeft=200\r\nFormTop=100\r\n' >"$work/corvina.cfg"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
DISPLAY="$display" icewm >"$work/icewm.log" 2>&1 &
pids+=($!)
DISPLAY="$display" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work" \
  ip netns exec "$a" "$work/corvina" >"$work/output.txt" 2>&1 &
meter=$!
pids+=("$meter")
sleep 3

seconds=$((minutes * 60))
ip netns exec "$a" iperf3 -s -p 5201 >/dev/null 2>&1 &
pids+=($!)
ip netns exec "$b" iperf3 -s -p 5202 >/dev/null 2>&1 &
pids+=($!)
sleep 1
wire_before=$(wire)
ip netns exec "$b" iperf3 -c 10.77.0.1 -p 5201 -u -b 8M -l 1000 -t $((seconds + 60)) >/dev/null 2>&1 &
udp=$!
ip netns exec "$a" iperf3 -c 10.77.0.2 -p 5202 -b 8M -t $((seconds + 60)) >/dev/null 2>&1 &
tcp=$!
ip netns exec "$b" ping -q -i 0.01 10.77.0.1 >/dev/null 2>&1 &
icmp=$!
pids+=("$udp" "$tcp" "$icmp")

# The settings dialog through the meter window's menu (its mnemonic, "Н" of
# "&Настройки..."), closed with OK (Enter), which re-applies the settings.
applied=0
x() { DISPLAY="$display" xdotool "$@"; }
dialog_open() { x search --name '^Настройки Corvina$' >/dev/null; }
apply_settings() {
  local window
  window=$(x search --onlyvisible --name '^Corvina$' | head -1) || return 0
  x mousemove --window "$window" 40 8 click 3
  sleep 0.5
  x key Cyrillic_en
  for _ in $(seq 20); do dialog_open && break; sleep 0.2; done
  dialog_open || return 0
  x key Return
  for _ in $(seq 20); do dialog_open || break; sleep 0.2; done
  dialog_open || applied=$((applied + 1))
}

flap() {
  ip -n "$a" link set cap0 down
  ip -n "$a" addr del 10.77.0.1/24 dev cap0
  sleep 2
  ip -n "$a" addr add 10.77.0.1/24 dev cap0
  ip -n "$a" link set cap0 up
  ip -n "$a" neigh replace 10.77.0.2 lladdr 02:00:00:00:0c:02 dev cap0 nud permanent
}

# Resident memory of the capture helpers the program started (the ring lives there).
helper_rss() {
  local kib=0 pid one
  for pid in $(cat /proc/"$meter"/task/*/children 2>/dev/null); do
    # A helper that has just ended has no resident size, or no status at all.
    one=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    kib=$((kib + ${one:-0}))
  done
  echo "$kib"
}

sample() {
  local rss fds threads rows
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$meter/status")
  threads=$(awk '/^Threads:/ { print $2 }' "/proc/$meter/status")
  fds=$(ls "/proc/$meter/fd" | wc -l)
  rows=$(sqlite3 "$work/corvina.dat" 'SELECT COUNT(*) FROM INETTRAFFIC' 2>/dev/null || echo "?")
  printf '%6s %10s %12s %5s %8s %12s %12s\n' "$1" "$rss" "$(helper_rss)" "$fds" "$threads" \
    "$rows" $(($(wire) - wire_before))
}

printf '%6s %10s %12s %5s %8s %12s %12s\n' "minute" "RSS (KiB)" "helper (KiB)" "fds" "threads" \
  "rows stored" "wire packets"
sample 0
flaps=0
for ((t = 1; t <= seconds; t++)); do
  sleep 1
  if ((t % 30 == 0 && t < seconds)); then
    flap
    flaps=$((flaps + 1))
  fi
  if ((t % 60 == 15)); then apply_settings; fi
  # Between a flap's restart and the next one, so a capture (and its helper) runs.
  if ((t % 60 == 25)); then sample $((t / 60 + 1)); fi
done

kill "$udp" "$tcp" "$icmp" 2>/dev/null || true
sleep 2
wire_total=$(($(wire) - wire_before))
kill -TERM "$meter"
for _ in $(seq 100); do kill -0 "$meter" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$meter" 2>/dev/null; then
  echo "the program did not end within 10 s of SIGTERM"
  exit 1
fi
rows=$(sqlite3 "$work/corvina.dat" 'SELECT COUNT(*) FROM INETTRAFFIC')
echo
echo "settings re-applied through the dialog: $applied; adapter flaps: $flaps"
echo "IPv4 packets on the wire: $wire_total; rows stored: $rows" \
  "($(awk -v r="$rows" -v w="$wire_total" 'BEGIN { printf "%.2f", 100 * r / w }') %)"
echo "database: $(du -h "$work/corvina.dat" | cut -f1)"
grep -v -e '^QStandardPaths' -e 'propagateSizeHints' -e 'does not support raise' \
  -e 'systemTrayWindowChanged' "$work/output.txt" || true
