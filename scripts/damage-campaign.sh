#!/bin/bash
# The damage campaign (make damage): a 20,000-row VYR database with its keys,
# damaged in seeded ways (garbled and zeroed pages of every kind, records,
# lost index writes, pointer pages, cut files), each repaired twice from the
# same damaged file: by the repair (the real procedure, headless) and by the
# procedure a Firebird expert runs by hand with the same tools:
#   gfix -v -full; gfix -mend -ig; gbak -b -g -ig; gbak -c, and when that
#   fails, gbak -c -o -i.
# Prints per case what each ended with and the rows of the five VYR tables it
# left in a working database, then the totals: hangs, cases where the expert
# did better, rows recovered.
#   scripts/damage-campaign.sh BUILD_DIR
set -u
BUILD=$(cd "${1:-build}" && pwd)
TESTS=$BUILD/tests
WORK=$(mktemp -d /tmp/vyr-damage.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
ACCOUNT=(-user SYSDBA -password quartzfin)
ROWS=20000
HANG_SECONDS=240   # the repair's own bounds are 60 s per tool here
EXPERT_SECONDS=60  # per expert step

"$TESTS/make_vyr_database" "$WORK/base.fdb" $ROWS 0 keys || exit 1

INSERT_LOST="insert into BLUONG (ID, NAM, THANG, MSNV) values (999999, 2099, 12, 'LOST');"
INSERT_AGAIN="insert into BLUONG (ID, NAM, THANG, MSNV) values (999998, 2099, 12, 'LOST');"
CASES=()
for seed in 1 2 3 4; do CASES+=("garble data BLUONG $seed"); done
for seed in 1 2; do CASES+=("garble data PHUCAP $seed"); done
CASES+=("garble data DMPB 1" "zero data BLUONG")
CASES+=("record BLUONG" "record PHUCAP" "record DMPB")
for seed in 1 2 3 4 7; do CASES+=("garble index-root BLUONG $seed"); done
for seed in 1 2; do CASES+=("garble index-root PHUCAP $seed"); done
CASES+=("zero index-root BLUONG")
for seed in 1 2 3; do CASES+=("garble index-node BLUONG $seed"); done
CASES+=("garble index-node PHUCAP 1" "zero index-node BLUONG")
CASES+=("lose-index-write BLUONG" "lose-index-write-twice BLUONG")
for seed in 1 2; do CASES+=("garble pointer BLUONG $seed"); done
CASES+=("garble pointer PHUCAP 1" "zero pointer PHUCAP")
CASES+=("cut 1" "cut 40")

damage() {  # damage FILE CASE...
  local file=$1; shift
  case "$1" in
    lose-index-write) "$TESTS/damage_database" "$file" lose-index-write "$2" "$INSERT_LOST" ;;
    lose-index-write-twice) "$TESTS/damage_database" "$file" lose-index-write "$2" "$INSERT_LOST" "$INSERT_AGAIN" ;;
    *) "$TESTS/damage_database" "$file" "$@" ;;
  esac
}

# The rows of the five tables in a database that opens, or "-".
rows() {
  local out
  out=$(timeout -s KILL 30 isql-fb "${ACCOUNT[@]}" "$1" 2>/dev/null <<'SQL'
set list on;
select (select count(*) from DMPB) + (select count(*) from DMDTTT) + (select count(*) from DM)
  + (select count(*) from BLUONG) + (select count(*) from PHUCAP) as TOTAL from RDB$DATABASE;
SQL
)
  local total
  total=$(sed -n 's/^TOTAL *//p' <<<"$out")
  echo "${total:--}"
}

run_expert() {  # run_expert FOLDER -> "OUTCOME ROWS"
  local dir=$1 step
  for step in "gfix -v -full" "gfix -mend -ig"; do
    timeout -s KILL $EXPERT_SECONDS /usr/bin/${step%% *} ${step#* } "${ACCOUNT[@]}" "$dir/VYR.FDB" >/dev/null 2>&1
    [ $? -eq 137 ] && { echo "hang(${step}) -"; return; }
  done
  timeout -s KILL $EXPERT_SECONDS gbak -b -g -ig "${ACCOUNT[@]}" "$dir/VYR.FDB" "$dir/X.FBK" >/dev/null 2>&1
  local rc=$?
  [ $rc -eq 137 ] && { echo "hang(gbak-b) -"; return; }
  [ $rc -ne 0 ] && { echo "backup-failed -"; return; }
  timeout -s KILL $EXPERT_SECONDS gbak -c "${ACCOUNT[@]}" "$dir/X.FBK" "$dir/R.FDB" >/dev/null 2>&1
  rc=$?
  local how=restored
  if [ $rc -ne 0 ]; then
    [ $rc -eq 137 ] && { echo "hang(gbak-c) -"; return; }
    rm -f "$dir/R.FDB"
    timeout -s KILL $EXPERT_SECONDS gbak -c -o -i "${ACCOUNT[@]}" "$dir/X.FBK" "$dir/R.FDB" >/dev/null 2>&1
    rc=$?
    [ $rc -eq 137 ] && { echo "hang(gbak-c-o-i) -"; return; }
    how=restored-o-i
    [ $rc -ne 0 ] && how=restored-o-i-with-errors
  fi
  echo "$how $(rows "$dir/R.FDB")"
}

TOOL_NAMES=("done" "failed-as-before" "failed-original-in-safety-copy" "refused" "done-indexes-off")
run_tool() {  # run_tool FOLDER -> "OUTCOME ROWS SECONDS"
  local dir=$1 start outcome
  start=$(date +%s)
  outcome=$(timeout -s KILL $HANG_SECONDS "$TESTS/headless_repair" "$dir" --tool-seconds 60 2>/dev/null |
            sed -n 's/^OUTCOME //p')
  local seconds=$(( $(date +%s) - start ))
  if [ -z "$outcome" ]; then echo "HANG - $seconds"; return; fi
  local name=${TOOL_NAMES[$outcome]}
  if [ "$outcome" = 0 ] || [ "$outcome" = 4 ]; then echo "$name $(rows "$dir/DATA/VYR.FDB") $seconds"
  else echo "$name - $seconds"; fi
}

SOUND=$(rows "$WORK/base.fdb")
printf '%-34s %-32s %7s %5s | %-26s %7s\n' "case" "repair" "rows" "s" "expert" "rows"
tool_hangs=0 expert_hangs=0 expert_better=0 tool_rows=0 expert_rows=0 n=0
for case_text in "${CASES[@]}"; do
  read -r -a case_args <<<"$case_text"
  dir="$WORK/case"; rm -rf "$dir"; mkdir -p "$dir/tool/DATA" "$dir/tool/fb/bin" "$dir/expert"
  ln -s /usr/bin/gfix "$dir/tool/fb/bin/gfix"; ln -s /usr/bin/gbak "$dir/tool/fb/bin/gbak"
  cp "$WORK/base.fdb" "$dir/damaged.fdb"
  if ! damage "$dir/damaged.fdb" "${case_args[@]}" 2>"$dir/damage.err"; then
    printf '%-34s not damaged: %s\n' "$case_text" "$(head -c 100 "$dir/damage.err")"; continue
  fi
  cp "$dir/damaged.fdb" "$dir/tool/DATA/VYR.FDB"; cp "$dir/damaged.fdb" "$dir/expert/VYR.FDB"
  read -r t_outcome t_rows t_seconds <<<"$(run_tool "$dir/tool")"
  read -r e_outcome e_rows <<<"$(run_expert "$dir/expert")"
  pkill -9 -f "$dir" 2>/dev/null  # an expert tool left hanging
  n=$((n + 1))
  [ "$t_outcome" = HANG ] && tool_hangs=$((tool_hangs + 1))
  [[ "$e_outcome" == hang* ]] && expert_hangs=$((expert_hangs + 1))
  t_value=${t_rows/-/0}; e_value=${e_rows/-/0}
  note=""
  if [ "$e_value" -gt "$t_value" ]; then expert_better=$((expert_better + 1)); note="  <- expert kept more rows"; fi
  tool_rows=$((tool_rows + t_value)); expert_rows=$((expert_rows + e_value))
  printf '%-34s %-32s %7s %5s | %-26s %7s%s\n' "$case_text" "$t_outcome" "$t_rows" "$t_seconds" "$e_outcome" "$e_rows" "$note"
done
echo
echo "cases: $n (sound database: $SOUND rows in the five tables)"
echo "hangs: repair $tool_hangs, expert $expert_hangs"
echo "cases where the expert kept more rows in a working database: $expert_better"
echo "rows recovered in working databases: repair $tool_rows, expert $expert_rows"
