#!/usr/bin/env bash
# Lays out a demo VYR install folder: Debian's gfix and gbak under fb/bin and
# a small Firebird database at DATA/VYR.FDB. Prints the folder to type.
set -euo pipefail

demo_root=${1:?usage: make-demo.sh FOLDER}
rm -rf "$demo_root"
mkdir -p "$demo_root/DATA" "$demo_root/fb/bin"
ln -s /usr/bin/gfix "$demo_root/fb/bin/gfix"
ln -s /usr/bin/gbak "$demo_root/fb/bin/gbak"

script=$(mktemp)
trap 'rm -f "$script"' EXIT
database="$demo_root/DATA/VYR.FDB"
cat > "$script" <<SQL
create database '${database//\'/\'\'}' user 'SYSDBA' password 'quartzfin' page_size 4096 default character set UTF8;
create table DMPB (ID integer, MA_SO varchar(20), TEN varchar(60));
insert into DMPB values (1, 'KT', 'Kế toán');
insert into DMPB values (null, 'NS', 'Nhân sự');
commit;
SQL
LC_ALL=C.UTF-8 isql-fb -q -i "$script"
echo "$demo_root"
