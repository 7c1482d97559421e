#!/usr/bin/env bash
# Side-by-side figures against reference libraries and servers on the same
# data: dom4j and the JDK in a warm JVM, nginx with one worker driven by wrk,
# and a plain C read loop. Not part of the tests.
#
#   bash bench/compare.sh [BUILD_DIR]      (default build/main)
#
# Installs the reference programs by Debian package name when missing, runs
# every reference and our benchmark in one go, prints a table of medians with
# ratio = our speed / theirs, and removes its temporary folder.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${1:-$root/build/main}"
shared="${QA_SHARED_BENCH_DIR:-$root/../shared/bench}"
reps="${REPS:-5}"
seconds="${WRK_SECONDS:-5}"
packages=(default-jdk-headless velocity libdom4j-java nginx-light wrk)

install_references() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}" >&2
}

work="$(mktemp -d "${TMPDIR:-/tmp}/qa-compare.XXXXXX")"
chmod 755 "$work"  # nginx's worker runs as another user
nginx_pid=""
server_pid=""
cleanup() {
  for pid in $nginx_pid $server_pid; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

install_references
[ -n "${NO_BUILD:-}" ] || cmake --build "$build" -j"$(nproc)" >&2

results="$work/results"
note() { echo "$1 $2" >> "$results"; }

# --- inputs, the same for both sides
python3 "$shared/make_auction_xml.py" "$work/auction.xml"
python3 "$here/reference/make_inputs.py" "$work/lines.txt" "$work/record.properties"

# --- references
echo "references: dom4j" >&2
java -cp /usr/share/java/dom4j.jar "$here/reference/Dom4jReference.java" "$work/auction.xml" \
  | sed 's/^/ref_/' >> "$results"
echo "references: JDK streams" >&2
java "$here/reference/JdkReference.java" "$work/lines.txt" "$work/record.properties" \
  | sed 's/^/ref_/' >> "$results"
echo "references: C read loop" >&2
cc -O3 -o "$work/xor_read" "$here/reference/xor_read.c"
head -c $((64 << 20)) /dev/urandom > "$work/random.bin"
"$work/xor_read" "$work/random.bin" | sed 's/^/ref_/' >> "$results"
rm -f "$work/random.bin" "$work/lines.txt"

echo "references: nginx + wrk" >&2
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
mkdir -p "$work/nginx/htdocs"
printf 'hello\r\n\r\n' | head -c 9 > "$work/nginx/htdocs/echo.txt"
head -c $((10 << 20)) /dev/zero | tr '\0' 'x' > "$work/nginx/htdocs/big.bin"
sed -e "s|@DIR@|$work/nginx|g" -e "s|@PORT@|$port|g" "$here/reference/nginx.conf.in" > "$work/nginx/nginx.conf"
/usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
nginx_pid=$!
for _ in $(seq 100); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1',$port)).close()" 2>/dev/null && break
  sleep 0.1
done
wrk_median() {  # url connections field(requests|bytes)
  local values=()
  for _ in 1 2 3; do
    values+=("$(wrk -t1 -c"$2" -d"${seconds}s" "$1" | python3 "$here/reference/wrk_field.py" "$3")")
  done
  printf '%s\n' "${values[@]}" | sort -g | sed -n 2p
}
note ref_echo16 "$(wrk_median "http://127.0.0.1:$port/echo.txt" 16 requests)"
note ref_echo1 "$(wrk_median "http://127.0.0.1:$port/echo.txt" 1 requests)"
note ref_file "$(wrk_median "http://127.0.0.1:$port/big.bin" 1 bytes)"
kill "$nginx_pid"; wait "$nginx_pid" 2>/dev/null || true; nginx_pid=""

# --- ours under the same load generator: the server benchmark serves alone
echo "ours: server + wrk" >&2
QA_SERVE=1 "$build/bench_ServerBench" > "$work/serve.out" 2> "$work/serve.err" &
server_pid=$!
for _ in $(seq 300); do
  grep -q '^port ' "$work/serve.out" 2>/dev/null && break
  sleep 0.1
done
port="$(sed -n 's/^port //p' "$work/serve.out")"
note wrk_echo16 "$(wrk_median "http://127.0.0.1:$port/app/call?func=echo&a0=hello" 16 requests)"
note wrk_echo1 "$(wrk_median "http://127.0.0.1:$port/app/call?func=echo&a0=hello" 1 requests)"
note wrk_file "$(wrk_median "http://127.0.0.1:$port/big.bin" 1 bytes)"
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""

# --- ours
ours() {  # benchmark-binary filter
  echo "ours: $1 $2" >&2
  "$build/bench_$1" --benchmark_filter="$2" --benchmark_repetitions="$reps" \
    --benchmark_report_aggregates_only=true --benchmark_format=json 2>/dev/null
}
{
  ours XmlBench 'BM_Parse|BM_CompactWrite'
  ours ServerBench 'BM_EchoCall|BM_FileGet10MiB'
  ours CryptStreamsBench 'BM_Read/scrambled:1|BM_ReadLines/scrambled:0'
  ours PropertiesBench 'BM_Load$'
  ours AuctionListBench 'BM_AuctionNewListRepeated'
  ours EbayCacheBench 'BM_BuildEbayCache'
  ours TextAndDayBench '.'
  ours VtlBench '.'
} > "$work/ours.jsonl"

# Figures are wall-clock medians: a loaded machine lowers both sides.
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

python3 "$here/reference/table.py" "$results" "$work/ours.jsonl"
