#!/usr/bin/env bash
# Lays out a demo VYR install folder: Debian's gfix and gbak under fb/bin and
# a small Firebird database at DATA/VYR.FDB. Prints the folder to type.
set -euo pipefail

demo_root=${1:?usage: make-demo.sh FOLDER [BUILD_DIR]}
build_dir=${2:-"$(dirname "$0")/../build"}
rm -rf "$demo_root"
mkdir -p "$demo_root/DATA" "$demo_root/fb/bin"
ln -s /usr/bin/gfix "$demo_root/fb/bin/gfix"
ln -s /usr/bin/gbak "$demo_root/fb/bin/gbak"

# A VYR-like database with the damage the repair mends: departments without
# ID, duplicated keys in DMDTTT, DM and BLUONG, allowances in PHUCAP.
"$build_dir/tests/make_vyr_database" "$demo_root/DATA/VYR.FDB" 200 5
echo "$demo_root"
