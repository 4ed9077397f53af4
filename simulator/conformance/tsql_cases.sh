#!/usr/bin/env bash
# msde-sim through FreeTDS's own client, tsql, at TDS 7.1 and 7.0, and the refusal a TDS 5.0
# client reads. Fails on any wrong value or protocol error; run through with-sim.sh.
set -uo pipefail
command -v tsql >/dev/null || { echo "SKIP: tsql is not installed (Debian: freetds-bin)"; exit 77; }
failed=0

# run VERSION SQL...: the output of tsql for the batches, one "go" after each.
run() {
  local version=$1
  shift
  printf '%s\ngo\n' "$@" | TDSVER=$version timeout 60 tsql -H 127.0.0.1 -p "$MSDE_PORT" -U sa -P '' -o q 2>&1
}

# expect NAME OUTPUT PATTERN: the output must hold the line pattern (grep -E).
expect() {
  if grep -qE -- "$3" <<<"$2"; then
    echo "ok   $1"
  else
    echo "FAIL $1: no line matching '$3' in:"
    sed 's/^/     /' <<<"$2"
    failed=1
  fi
}
# refuse NAME OUTPUT PATTERN: the output must not hold it.
refuse() {
  if grep -qE -- "$3" <<<"$2"; then
    echo "FAIL $1: unexpected '$3' in:"
    sed 's/^/     /' <<<"$2"
    failed=1
  else
    echo "ok   $1"
  fi
}

for version in 7.1 7.0; do
  out=$(run "$version" "select 40 + 2" "select N'Zażółć gęślą jaźń'" \
    "select CONVERT(varchar(23), CAST('2026-12-08 14:22:36.123' AS datetime), 121)" \
    "use Sklep" "select DB_NAME()" "select * from brak" "select SERVERPROPERTY('ProductVersion')")
  expect "TDS $version: arithmetic" "$out" '^42$'
  expect "TDS $version: Polish text" "$out" '^Zażółć gęślą jaźń$'
  expect "TDS $version: datetime with milliseconds" "$out" '^2026-12-08 14:22:36\.123$'
  expect "TDS $version: USE changes the database" "$out" '^Sklep$'
  expect "TDS $version: an error with its number" "$out" "Msg 208 .*severity 16"
  expect "TDS $version: SERVERPROPERTY" "$out" '^8\.00\.2039$'
  refuse "TDS $version: no protocol error" "$out" 'Error 20|unexpected|Unknown marker|EOF'
  refuse "TDS $version: USE says nothing at severity 10" "$out" 'Msg 5701.*severity 10'
done

# Batches with variables, blocks and messages, and smalldatetime, at both protocol versions.
for version in 7.1 7.0; do
  out=$(run "$version" "declare @x int set @x = 5 while @x < 8 begin set @x = @x + 1 end select @x * 7" \
    "print 'druk ' + cast(6 * 7 as varchar(10))" "raiserror('h arg %d %s', 16, 1, 5, 'x')" \
    "select convert(varchar(19), cast('2026-12-10 10:15:30' as smalldatetime), 120)")
  expect "TDS $version: a loop over a variable" "$out" '^56$'
  expect "TDS $version: PRINT of an expression" "$out" 'druk 42'
  expect "TDS $version: RAISERROR with arguments" "$out" 'Msg 50000 .*severity 16'
  expect "TDS $version: RAISERROR's text" "$out" 'h arg 5 x'
  expect "TDS $version: smalldatetime to the minute" "$out" '^2026-12-10 10:16:00$'
  refuse "TDS $version: no protocol error in batches" "$out" 'Error 20|unexpected|Unknown marker|EOF'
done

out=$(run 5.0 "select 1")
expect "TDS 5.0: refused with a message it reads" "$out" 'Msg 4002'

exit $failed
