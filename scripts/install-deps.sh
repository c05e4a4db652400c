#!/usr/bin/env bash
# Installs the Debian 12 packages QuorvaneConverter needs. Idempotent: packages already present
# are left alone and `apt-get update` only runs when something is missing.
#
#   scripts/install-deps.sh [GROUP...]     groups: build runtime test bench (default: build runtime)
#
# The package lists live in scripts/deps/<group>.txt, one package per line.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build runtime)

wanted=()
for group in "${groups[@]}"; do
    list="$here/deps/$group.txt"
    if [ ! -f "$list" ]; then
        echo "install-deps: unknown group '$group'" >&2
        exit 2
    fi
    while read -r package _; do
        case "$package" in ''|'#'*) continue ;; esac
        wanted+=("$package")
    done < "$list"
done

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: everything for '${groups[*]}' is installed"
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
    sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
