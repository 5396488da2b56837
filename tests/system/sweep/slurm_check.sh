#!/usr/bin/env bash
# tests/system/sweep/slurm_check.sh NKSWARM: the sweep of sweep.json as a job array on a private
# single-node Slurm (munged, slurmctld, slurmd with their own key, slurm.conf.in, state and ports
# in a temporary directory) gives GNU parallel's CSV; a second submission holds only the rows
# without results. Needs root; exits 77 (skipped) without root, Slurm or munge.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 NKSWARM" >&2; exit 2; }
prog=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
tool=$here/../../../scripts/sweep.py
# The interpreter itself, not a wrapper such as a pyenv shim: it starts several times.
python=$(python3 -c "import sys; print(sys.executable)")
sweep() { "$python" "$tool" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then echo "SKIP: needs root to start slurmd"; exit 77; fi
for cmd in munged munge slurmctld slurmd sbatch squeue sinfo scancel; do
  if ! command -v "$cmd" > /dev/null && [ ! -x "/usr/sbin/$cmd" ]; then
    echo "SKIP: $cmd not found (Debian packages slurm-wlm and munge)"
    exit 77
  fi
done
PATH=$PATH:/usr/sbin

tmp=$(mktemp -d)
chmod 755 "$tmp"
c=$tmp/cluster
mkdir -p "$c/munge" "$c/state" "$c/spool" "$c/log"
chmod 700 "$c/munge"

stop_daemon() {  # pid file: TERM, then KILL after 10 s
  local pidfile=$1 pid
  [ -f "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  kill -TERM "$pid" 2> /dev/null || return 0
  for _ in $(seq 100); do kill -0 "$pid" 2> /dev/null || return 0; sleep 0.1; done
  kill -KILL "$pid" 2> /dev/null || true
}
cleanup() {
  set +e
  [ -n "${SLURM_CONF:-}" ] && [ -f "$c/slurmctld.pid" ] && scancel --quiet --user=root 2> /dev/null
  stop_daemon "$c/slurmd.pid"
  stop_daemon "$c/slurmctld.pid"
  stop_daemon "$c/munge/munged.pid"
  if [ -n "${KEEP:-}" ]; then echo "kept $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM
show_logs() { for f in "$c"/log/*; do echo "== $f"; tail -n 20 "$f"; done >&2; }

# munge with its own key and socket.
head -c 1024 /dev/urandom > "$c/munge/munge.key"
chmod 600 "$c/munge/munge.key"
munged --force --socket="$c/munge/socket" --key-file="$c/munge/munge.key" \
  --pid-file="$c/munge/munged.pid" --log-file="$c/log/munged.log" --seed-file="$c/munge/seed"
munge --socket="$c/munge/socket" -n | unmunge --socket="$c/munge/socket" > /dev/null ||
  fail "munge does not work"

# Two free TCP ports for the controller and the node daemon.
read -r ctld_port slurmd_port < <("$python" -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')

# Eight CPUs whatever the machine has (config_overrides), so that the array runs in a few waves.
sed -e "s#@DIR@#$c#g" -e "s#@CTLD_PORT@#$ctld_port#" -e "s#@SLURMD_PORT@#$slurmd_port#" \
  "$here/slurm.conf.in" > "$c/slurm.conf"
export SLURM_CONF=$c/slurm.conf
slurmctld -i || { show_logs; fail "slurmctld did not start"; }
slurmd -N localhost || { show_logs; fail "slurmd did not start"; }
for _ in $(seq 300); do
  [ "$(sinfo -h -o %T 2> /dev/null)" = idle ] && break
  sleep 0.1
done
[ "$(sinfo -h -o %T)" = idle ] || { show_logs; fail "the node did not come up: $(sinfo -h -o %T)"; }

# Waits for job $1 to leave the queue (at most $2 seconds).
wait_job() {
  local jid=$1 limit=$2 start=$SECONDS
  while [ -n "$(squeue -h -j "$jid" 2> /dev/null)" ]; do
    [ $((SECONDS - start)) -lt "$limit" ] || { squeue >&2; show_logs; fail "job $jid still queued after $limit s"; }
    sleep 0.2
  done
}

# The reference: the same sweep with GNU parallel, or one row after another.
sweep expand "$here/sweep.json" "$tmp/p" --program "$prog" > /dev/null
if parallel --version 2> /dev/null | grep -q "GNU parallel"; then
  sweep run "$tmp/p" -j2
else
  (cd "$tmp/p" && while read -r row; do ./job.sh "$row"; done < rows.txt)
fi
sweep collect "$tmp/p" -o "$tmp/p.csv"

start=$SECONDS
sweep expand "$here/sweep.json" "$tmp/s" --program "$prog" > /dev/null
sweep slurm "$tmp/s" --limit 8 --time 5 > /dev/null
grep -qx "#SBATCH --array=0-19%8" "$tmp/s/slurm.sh" || fail "array line: $(grep array "$tmp/s/slurm.sh")"
jid=$(sbatch --parsable "$tmp/s/slurm.sh")
wait_job "$jid" 120
[ "$(ls "$tmp/s/slurm" | wc -l)" -eq 20 ] || fail "expected 20 task logs: $(ls "$tmp/s/slurm")"
sweep collect "$tmp/s" -o "$tmp/s.csv"
cmp -s "$tmp/p.csv" "$tmp/s.csv" || { diff "$tmp/p.csv" "$tmp/s.csv" >&2; fail "Slurm's CSV differs from GNU parallel's"; }
echo "Slurm array of 20 rows in $((SECONDS - start)) s: same CSV as GNU parallel"

# A second submission runs only the rows without results.
rm "$tmp/s/rows/0003/status" "$tmp/s/rows/0017/status"
sweep slurm "$tmp/s" --limit 8 > /dev/null
grep -qx "#SBATCH --array=3,17%8" "$tmp/s/slurm.sh" || fail "array line: $(grep array "$tmp/s/slurm.sh")"
jid=$(sbatch --parsable "$tmp/s/slurm.sh")
wait_job "$jid" 60
[ "$(ls "$tmp/s/slurm" | grep -c "^${jid}_")" -eq 2 ] || fail "expected 2 task logs of job $jid"
sweep collect "$tmp/s" -o "$tmp/s.csv"
cmp -s "$tmp/p.csv" "$tmp/s.csv" || fail "the CSV after the second submission differs"
sweep slurm "$tmp/s" | grep -q "nothing to submit" || fail "a finished sweep still has rows to submit"
echo "PASS: Slurm job array ($((SECONDS - start)) s)"
