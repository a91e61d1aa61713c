#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer, or of another
# folder of its own layer. Layers, lowest first:
#   0 qrcore   1 encoder reader common   2 generation capture datainterface
#   3 ui   4 the pages (generation/ui capture/ui datainterface/ui) and cli
#   5 app   6 tools bench fuzz tests
set -u
root="${1:-$(dirname "$0")/..}"
cd "$root" || exit 2

rank() {
  case "$1" in
    qrcore) echo 0 ;;
    encoder|reader|common) echo 1 ;;
    generation|capture|datainterface) echo 2 ;;
    ui) echo 3 ;;
    generation/ui|capture/ui|datainterface/ui|cli) echo 4 ;;
    app) echo 5 ;;
    tools|bench|fuzz|tests|tests/*) echo 6 ;;
    *) echo -1 ;;
  esac
}

status=0
while IFS= read -r file; do
  from="$(dirname "$file")"
  from_rank="$(rank "$from")"
  if [ "$from_rank" -lt 0 ]; then
    echo "layers: $file lies in a folder of no layer"
    status=1
    continue
  fi
  while IFS= read -r header; do
    to="$(dirname "$header")"
    [ "$to" = "$from" ] && continue
    to_rank="$(rank "$to")"
    [ "$to_rank" -lt 0 ] && continue  # not one of ours
    if [ "$to_rank" -ge "$from_rank" ]; then
      echo "layers: $file includes $header (layer $to_rank, not below $from_rank)"
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file")
done < <(find qrcore encoder reader common generation capture datainterface ui cli app tools bench fuzz \
           -name '*.cpp' -o -name '*.h' | sort)
[ "$status" -eq 0 ] && echo "layers: every include points down"
exit "$status"
