#!/usr/bin/env bash
# A private PostgreSQL server for the ledger tests: a fresh cluster in DIR, run by an
# unprivileged user on a free port of 127.0.0.1, stopped and removed by `stop`.
#
#   pg-cluster.sh start DIR   -> DIR/url holds the connection string; or DIR/skip holds why
#                                the server cannot run here (the tests then skip, saying so)
#   pg-cluster.sh stop DIR
#
# Installs Debian's postgresql package when initdb is missing and we are root.
# The tests run with fsync off (their server is thrown away); PG_FSYNC=on for measurements.
set -uo pipefail
action=${1:?usage: pg-cluster.sh start|stop DIR}
dir=${2:?usage: pg-cluster.sh start|stop DIR}

find_bin() {
  local d
  for d in /usr/lib/postgresql/*/bin; do
    [ -x "$d/initdb" ] && { echo "$d"; return 0; }
  done
  return 1
}

# Runs a command as the cluster's owner: root hands the cluster to an unprivileged user
# (the server refuses to run as root); anyone else runs it as themselves.
as_owner() {
  if [ "$(id -u)" = 0 ]; then
    runuser -u "$owner" -- "$@"
  else
    "$@"
  fi
}

skip() {
  echo "$*" >"$dir/skip"
  echo "pg-cluster: skipped: $*" >&2
  exit 0
}

port_taken() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

case "$action" in
start)
  rm -rf "$dir"
  mkdir -p "$dir"
  bin=$(find_bin)
  if [ -z "$bin" ] && [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "pg-cluster: installing postgresql" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends postgresql \
      >"$dir/apt.log" 2>&1 || true
    bin=$(find_bin)
  fi
  [ -n "$bin" ] || skip "PostgreSQL is not installed (Debian package postgresql)"
  owner=postgres
  id -u "$owner" >/dev/null 2>&1 || owner=nobody
  # The cluster lives in /tmp, which the owner can reach wherever the build folder is.
  home=$(mktemp -d /tmp/binwright-pg.XXXXXX)
  echo "$home" >"$dir/home"
  data="$home/data"
  mkdir -p "$data" "$home/socket"
  [ "$(id -u)" = 0 ] && chown -R "$owner" "$home"
  if ! as_owner "$bin/initdb" -D "$data" -U binwright --auth=trust -E UTF8 --no-locale \
    >"$dir/initdb.log" 2>&1; then
    skip "initdb failed: $(tail -n 1 "$dir/initdb.log")"
  fi
  # A free port: probe from a seeded start so parallel build folders rarely collide; the
  # server's own bind is the final word, so a lost race retries with the next port.
  echo "$bin" >"$dir/bin"
  port=$((20000 + ($$ % 20000)))
  for _ in $(seq 1 40); do
    port=$((port + 1))
    port_taken "$port" && continue
    if as_owner "$bin/pg_ctl" -D "$data" -l "$home/server.log" -w -t 30 \
      -o "-p $port -k $home/socket -c listen_addresses=127.0.0.1 -c fsync=${PG_FSYNC:-off} -c max_connections=60" \
      start >"$dir/pg_ctl.log" 2>&1; then
      echo "postgresql://binwright@127.0.0.1:$port/postgres" >"$dir/url"
      echo "pg-cluster: started on port $port" >&2
      exit 0
    fi
    grep -q "could not bind\|already in use" "$home/server.log" 2>/dev/null || break
  done
  skip "the server did not start: $(tail -n 1 "$home/server.log" 2>/dev/null)"
  ;;
stop)
  [ -f "$dir/home" ] || exit 0
  home=$(cat "$dir/home")
  if [ -f "$dir/bin" ] && [ -d "$home/data" ]; then
    owner=$(stat -c %U "$home/data")
    as_owner "$(cat "$dir/bin")/pg_ctl" -D "$home/data" -m fast -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$home" "$dir"
  ;;
*)
  echo "usage: pg-cluster.sh start|stop DIR" >&2
  exit 2
  ;;
esac
