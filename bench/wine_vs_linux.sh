#!/usr/bin/env bash
# Times one 8 MiB upload with block size 1024 to tftpd-hpa on loopback, the Linux build's
# client against the Windows build's under Wine, in interleaved rounds (ROUNDS, default 7) so
# that a busy moment of a shared machine does not fall on one of them only. Each client times
# the transfer itself, so Wine's process start is not counted. Every copy is compared with the
# source. Needs both trees built (scripts/build.sh normal, scripts/build.sh windows) and root
# for the private network namespace.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != "--isolated" ]; then
  exec unshare -n bash -c 'ip link set lo up && ip addr add 127.0.0.2/8 dev lo && "$0" --isolated' "$0"
fi
rounds="${ROUNDS:-7}"
work="$(mktemp -d)"
trap 'kill $server_pid 2>/dev/null || true; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/server"
head -c $((8 << 20)) /dev/urandom >"$work/firmware.bin"
address=127.83.0.1
/usr/sbin/in.tftpd -L -c -s -u root -a "$address:6969" "$work/server" &
server_pid=$!
. scripts/wine-prefix.sh
wineserver -p >/dev/null 2>&1 || true  # one server, started before the first timed start
sleep 0.3

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
: >"$work/linux" && : >"$work/wine"
for i in $(seq "$rounds"); do
  build/tools/tftp_put "$address" 6969 "$work/firmware.bin" "linux-$i.bin" 1024 >>"$work/linux"
  wine build-win/tools/tftp_put.exe "$address" 6969 "$(winepath -w "$work/firmware.bin")" "wine-$i.bin" 1024 \
    | tr -d '\r' >>"$work/wine"
  cmp -s "$work/firmware.bin" "$work/server/linux-$i.bin" || { echo "linux copy $i differs" >&2; exit 1; }
  cmp -s "$work/firmware.bin" "$work/server/wine-$i.bin" || { echo "wine copy $i differs" >&2; exit 1; }
done
linux=$(median <"$work/linux")
wine=$(median <"$work/wine")
echo "8 MiB, block size 1024, tftpd-hpa, $rounds rounds each, every copy equal to the source"
echo "linux: $(tr '\n' ' ' <"$work/linux")-> median $linux s"
echo "wine:  $(tr '\n' ' ' <"$work/wine")-> median $wine s"
awk -v l="$linux" -v w="$wine" 'BEGIN {printf "wine/linux: %.2f\n", w / l}'
