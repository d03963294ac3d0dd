# What the benchmark scripts that time a peer share: a server started on a
# port it picks itself, a command timed, a ratio of two figures. Sourced by a
# script that has set PY (the Python interpreter), work (its scratch folder)
# and the array pids (the servers it stops on exit).

# listening_port PID: the first TCP port that process PID listens on, once it
# does; fails when the process ends first.
listening_port() {
  $PY - "$1" <<'PYEOF'
import os, sys, time
pid = sys.argv[1]
for _ in range(200):
    try:
        inodes = {os.readlink("/proc/%s/fd/%s" % (pid, fd))[8:-1] for fd in os.listdir("/proc/%s/fd" % pid)}
    except FileNotFoundError:
        break
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        for line in open(table).readlines()[1:]:
            cols = line.split()
            if cols[3] == "0A" and cols[9] in inodes:
                print(int(cols[1].rsplit(":", 1)[1], 16))
                sys.exit(0)
    time.sleep(0.05)
sys.exit("process %s listens on no port" % pid)
PYEOF
}

# start_smtp_sink: smtp-sink on a port of its choice, in SINK_PORT.
start_smtp_sink() {
  /usr/sbin/smtp-sink -u nobody 127.0.0.1:0 512 &
  pids+=($!)
  SINK_PORT=$(listening_port $!)
}

# timed COMMAND...: runs it with its output in $work/out and $work/err, and sets
# SECONDS_TAKEN (wall), CPU_TAKEN (user + system) and PEAK_KIB.
timed() {
  /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$@" >"$work/out" 2>"$work/err" \
    || { tail -20 "$work/err"; tail -5 "$work/out"; exit 1; }
  local user sys
  read -r SECONDS_TAKEN PEAK_KIB user sys <"$work/time"
  CPU_TAKEN=$($PY -c "print('%.2f' % ($user + $sys))")
}

ratio() { $PY -c "print('%.2f' % ($1 / max($2, 1e-9)))"; }
rate() { $PY -c "print('%.0f' % ($1 / max($2, 0.001)))"; }
best() { $PY -c "print(min($1, $2))"; }
