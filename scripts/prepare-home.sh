#!/usr/bin/env bash
# Makes a ready program folder for corvanel-server: the sample settings and
# printing rules are copied in when the folder has none of its own.
set -euo pipefail
home="${1:?usage: prepare-home.sh FOLDER}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mkdir -p "$home"
for f in corvanel.ini printers.txt; do
  [ -e "$home/$f" ] || cp "$here/packaging/home/$f" "$home/$f"
done
