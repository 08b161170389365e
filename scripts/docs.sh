#!/usr/bin/env bash
# Makes the pictures of docs/ again: every docs/NAME.dot becomes docs/NAME.svg (Graphviz).
# Installs Debian's graphviz when `dot` is missing (needs root or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v dot >/dev/null; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q graphviz
fi

for source in docs/*.dot; do
    picture=${source%.dot}.svg
    dot -Tsvg "$source" -o "$picture"
    echo "$picture"
done
