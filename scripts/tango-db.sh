#!/usr/bin/env bash
# A private TANGO database for the tests and for a developer's trials: MariaDB on a data
# folder and socket of its own, and Debian's DataBaseds (package tango-db) on it, both on
# free loopback ports. Everything lives under DIR; no system service, file or port outside
# it is touched, and `stop` ends exactly the two processes `start` began, by their PIDs.
#
#   scripts/tango-db.sh start DIR   initialise DIR if new, start both, print TANGO_HOST=... last
#   scripts/tango-db.sh stop DIR    stop both (safe to run when they are not running)
#
# A second `start` on the same DIR reuses its data (the registered servers and properties).
# Needs mariadb-server-core, mariadb-client-core, tango-db and libtango-tools
# (scripts/install-deps.sh installs them).
set -euo pipefail

usage() {
  echo "Usage: $0 start DIR | stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)

databaseds=/usr/lib/tango/DataBaseds
schema=/usr/share/dbconfig-common/data/tango-db/install/mysql
# Debian's update of the schema to 9.3.4: the history tables' timestamps that MariaDB 10.11
# otherwise refuses when a property is written.
schema_update=/usr/share/dbconfig-common/data/tango-db/upgrade/mysql/9.3.4
user=$(id -un)

log() { echo "tango-db: $*" >&2; }
fail() {
  log "$*"
  exit 1
}

free_port() {
  python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

# True while PID is alive and runs the program named $2 (so a stale PID file never ends
# another process that took the number).
is_ours() {
  local pid=$1 program=$2
  [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] || return 1
  tr '\0' '\n' <"/proc/$pid/cmdline" | head -n 1 | grep -q "$program\$"
}

stop_pid() {
  local file=$1 program=$2 pid
  [ -f "$file" ] || return 0
  pid=$(cat "$file")
  if is_ours "$pid" "$program"; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 300); do
      is_ours "$pid" "$program" || break
      sleep 0.1
    done
    if is_ours "$pid" "$program"; then
      log "$program ($pid) did not end in 30 s: killed"
      kill -KILL "$pid" 2>/dev/null || true
    fi
  fi
  rm -f "$file"
}

stop() {
  # DataBaseds first, so that it does not outlive the database it serves.
  stop_pid "$dir/run/databaseds.pid" DataBaseds
  stop_pid "$dir/run/mariadbd.pid" mariadbd
  if [ -f "$dir/run/omni-dir" ]; then
    rm -rf "$(cat "$dir/run/omni-dir")"
    rm -f "$dir/run/omni-dir"
  fi
}

sql() {
  mariadb --defaults-file="$dir/my.cnf" --user=root "$@"
}

start() {
  for program in /usr/sbin/mariadbd /usr/bin/mariadb-install-db /usr/bin/mariadb \
                 "$databaseds" /usr/bin/tango_admin; do
    [ -x "$program" ] || fail "$program is missing: run scripts/install-deps.sh"
  done
  if is_ours "$(cat "$dir/run/databaseds.pid" 2>/dev/null)" DataBaseds; then
    fail "already running in $dir: $0 stop $dir first"
  fi
  stop # whatever an interrupted start left
  mkdir -p "$dir/data" "$dir/run" "$dir/log"

  local mysql_port tango_port
  mysql_port=$(free_port)
  tango_port=$(free_port)
  cat >"$dir/my.cnf" <<EOF
[client]
socket=$dir/run/mariadb.sock
[mariadbd]
datadir=$dir/data
socket=$dir/run/mariadb.sock
pid-file=$dir/run/mariadbd.pid
log-error=$dir/log/mariadbd.log
bind-address=127.0.0.1
port=$mysql_port
skip-name-resolve
EOF

  local fresh=false
  if [ ! -d "$dir/data/mysql" ]; then
    fresh=true
    # --defaults-file must be the first option; as root, --user=root runs it as root.
    mariadb-install-db --defaults-file="$dir/my.cnf" --user="$user" \
      --auth-root-authentication-method=normal --skip-test-db \
      >"$dir/log/install-db.log" 2>&1 ||
      fail "mariadb-install-db failed: see $dir/log/install-db.log"
  fi

  /usr/sbin/mariadbd --defaults-file="$dir/my.cnf" --user="$user" \
    </dev/null >>"$dir/log/mariadbd.log" 2>&1 &
  local mariadb_pid=$!
  for _ in $(seq 600); do
    sql -e "SELECT 1" >/dev/null 2>&1 && break
    kill -0 "$mariadb_pid" 2>/dev/null || fail "mariadbd ended: see $dir/log/mariadbd.log"
    sleep 0.05
  done
  sql -e "SELECT 1" >/dev/null 2>&1 || {
    stop
    fail "mariadbd did not answer in 30 s: see $dir/log/mariadbd.log"
  }

  if $fresh; then
    # The schema sources its parts by absolute path and must be named tango. DataBaseds
    # reaches it over the loopback as a user of its own.
    {
      echo "CREATE DATABASE tango; USE tango;"
      cat "$schema"
      cat "$schema_update"
      echo "CREATE USER 'tango'@'127.0.0.1' IDENTIFIED BY 'tango';"
      echo "GRANT ALL PRIVILEGES ON tango.* TO 'tango'@'127.0.0.1';"
    } | sql >"$dir/log/schema.log" 2>&1 || {
      stop
      fail "loading the TANGO schema failed: see $dir/log/schema.log"
    }
  fi

  # omniORB's unix sockets go under DIR when their path fits (about 107 bytes), otherwise
  # into a folder of this database's own in /tmp, removed by stop.
  local omni="$dir/run/omni"
  if [ ${#omni} -gt 60 ]; then
    omni=$(mktemp -d /tmp/tango-db-XXXXXX)
    echo "$omni" >"$dir/run/omni-dir"
  fi
  mkdir -p "$omni"

  MYSQL_USER=tango MYSQL_PASSWORD=tango MYSQL_HOST="127.0.0.1:$mysql_port" \
    MYSQL_DATABASE=tango ORBunixTransportDirectory="$omni" TANGO_HOST="127.0.0.1:$tango_port" \
    "$databaseds" 2 -ORBendPoint "giop:tcp:127.0.0.1:$tango_port" \
    </dev/null >>"$dir/log/databaseds.log" 2>&1 &
  local databaseds_pid=$!
  echo "$databaseds_pid" >"$dir/run/databaseds.pid"
  echo "127.0.0.1:$tango_port" >"$dir/run/tango-host"

  # DataBaseds exits 0 even when it cannot start: ready is when its device answers.
  for _ in $(seq 600); do
    TANGO_HOST="127.0.0.1:$tango_port" tango_admin --check-device sys/database/2 \
      >/dev/null 2>&1 && break
    kill -0 "$databaseds_pid" 2>/dev/null || {
      stop
      fail "DataBaseds ended: see $dir/log/databaseds.log"
    }
    sleep 0.05
  done
  TANGO_HOST="127.0.0.1:$tango_port" tango_admin --check-device sys/database/2 \
    >/dev/null 2>&1 || {
    stop
    fail "DataBaseds did not answer in 30 s: see $dir/log/databaseds.log"
  }
  echo "TANGO_HOST=127.0.0.1:$tango_port"
}

case $action in
start) start ;;
stop) stop ;;
*) usage ;;
esac
