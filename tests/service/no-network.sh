#!/usr/bin/env bash
# Runs a command in a network namespace of its own in which only the loopback
# adapter is up: a machine without a network adapter, so without a machine
# id. The service's ports there are the command's alone.
# Usage: no-network.sh COMMAND [ARGUMENTS...]
set -euo pipefail
exec unshare --net bash -c 'ip link set lo up && exec "$@"' no-network "$@"
