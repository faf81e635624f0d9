#!/usr/bin/env bash
# Installs what is needed, builds Lumidra and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default --target lumidra
exec "$root/build/app/lumidra" "$@"
