#!/usr/bin/env bash
# with_postgres.sh COMMAND [ARGS...]: runs the command with a throwaway
# PostgreSQL server of its own. The cluster lives in a temporary folder and is
# reached only through a Unix socket in that folder, so any number of these run
# side by side without a port or a cluster name in common; the folder is
# removed afterwards. The command finds the server through PGHOST, PGPORT,
# PGUSER and PGDATABASE. As root the server runs as the postgres user (initdb
# refuses root).
set -euo pipefail

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "with_postgres: no PostgreSQL server is installed (Debian package postgresql)" >&2
    exit 1
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/svc-pg.XXXXXX")
as=()
if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$dir"
    as=(runuser -u postgres --)
fi
cleanup() {
    "${as[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap cleanup EXIT

if ! "${as[@]}" "$bindir/initdb" -D "$dir/data" -U postgres -A trust --no-sync >"$dir/initdb.log" 2>&1; then
    cat "$dir/initdb.log" >&2
    exit 1
fi
# Waits at most a minute for the server to accept connections.
if ! "${as[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-k $dir -c listen_addresses= -p 5432 -F" start >/dev/null; then
    cat "$dir/server.log" >&2
    exit 1
fi

export PGHOST=$dir PGPORT=5432 PGUSER=postgres PGDATABASE=postgres
unset PGPASSWORD PGSERVICE PGSERVICEFILE
"$@"
