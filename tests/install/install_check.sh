#!/usr/bin/env bash
# Installs the project into a scratch prefix, builds a separate program against it with
# find_package(brintom), and runs both the installed converter and that program.
set -euo pipefail
build_dir=$1
source_dir=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
test -x "$scratch/prefix/bin/brintom2vtk"
if grep -rl 'Internal:' "$scratch/prefix/include"; then exit 1; fi  # internal headers stay home
"$scratch/prefix/bin/brintom2vtk" --version
cmake -S "$source_dir/consumer" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$scratch/prefix" \
  -DCMAKE_CXX_FLAGS="${CONSUMER_FLAGS:-}" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
"$scratch/consumer/consumer" "$scratch/out.vtk"
head -c 26 "$scratch/out.vtk" | grep -q '^# vtk DataFile Version 3.0'
echo "installed library and converter work"
