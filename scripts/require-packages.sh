#!/usr/bin/env bash
# Makes sure the Debian packages a command needs are installed:
#
#   scripts/require-packages.sh demo|test
#
# Missing packages are installed when run as root; otherwise the exact
# apt-get line is printed and the script fails, so the caller stops.
set -euo pipefail
cd "$(dirname "$0")/.."

need=${1:?usage: scripts/require-packages.sh demo|test}
missing=()
while read -r package users; do
  case "$package" in ''|'#'*) continue ;; esac
  case " $users " in *" $need "*) ;; *) continue ;; esac
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done <scripts/debian-packages.txt

[ "${#missing[@]}" -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
else
  echo "missing Debian packages; install them with:" >&2
  echo "  sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
