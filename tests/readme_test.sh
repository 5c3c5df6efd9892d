#!/usr/bin/env bash
# The README's examples, run as a reader would type them, against what the README says they print.
#
#   readme_test.sh BIN_DIR README.md             the README's examples
#   readme_test.sh BIN_DIR README.md DOC.md...   the DOCs' timings, typed where README.md is
#   readme_test.sh --update BIN_DIR DOC.md       DOC.md's outputs and figures made again
#
# An example is a ```sh block (one bash script; its output is the ```text block that follows it,
# blank lines allowed between) or one "$ command" line of a ```text block whose first line starts
# with "$ " (its output: the lines up to the next "$ "; lines starting "> " right after it
# continue the command). A ```sh block with no output block must exit 0 and print nothing.
# Output is standard output and standard error together, as a terminal shows them: ANSI colour
# sequences (ESC [ ... m) are removed, the rest must match byte for byte, except that a line
# "..." in the README matches any run of lines, none included. A <!-- not run: REASON --> line
# just before a block leaves it out (and its output block); the runner lists the lines left out.
# A <!-- output not compared --> line just before a ```sh block runs it with no output block (a
# worksheet that asks its reader to look): it must exit 0, and what it prints is not compared.
#
# Each "#" heading of README.md starts a fresh temporary directory; its examples run there in
# order, so one may prepare the files of the next. Everything runs with BIN_DIR first on PATH,
# stdin from /dev/null, a private HOME and TMPDIR, LC_ALL=C.UTF-8, COLUMNS=100, LINES=30 and
# TERM=dumb, and a hang limit of 120 s. A failure names FILE:LINE of the block (of the "$ " line
# in a transcript) and shows a unified diff or what the example printed.
# An example that writes a PNG, or whose commands name one, draws: it must exit 0, and each PNG
# it writes must carry the PNG signature (pixels are not compared). Where gnuplot is missing, an
# example naming oscplot, gnuplot or a .png still runs, to prepare files, but is not checked.
#
# The commands of each DOC.md are timings: they run from README.md's directory, where a reader
# types them, with BENCH_BIN=BIN_DIR and BENCH_QUICK=1, and must exit 0; output is not compared.
#
# --update runs DOC.md's examples as above and rewrites DOC.md in place where they print
# otherwise: each output block that holds no "..." line becomes what its example now prints. A
# block with a "..." line is left as it is, and so is one whose new output has a line that would
# read as Markdown's or as this script's (``` or "$ " at its start, or "..."): the failure shows
# the difference, for a hand to mend. The figure the document shows right after an example that
# exits 0 (the first line after its output block, or after its own block when it has none, that
# is not blank, being ![...](X.png), X beside the document or in its docs/) is replaced by the
# one PNG the example wrote. gnuplot draws a figure in the same bytes each time on one machine,
# so a figure is copied only where its bytes differ; another machine's fonts or gnuplot give
# other bytes, and every figure is copied.
set -uo pipefail
shopt -s extglob
bin="" root="" work="" where="" gnuplot=0 failures=0 update=0

fail() { echo "$where: $1"; failures=$((failures + 1)); [[ -z "${2:-}" ]] || sed 's/^/    /' -- "$2"; }
pngs() { find "$1" -name '*.png' -printf '%T@ %s %p\n' | sort; }
run() { # directory script output (the shell names itself after the README line)
  (cd -- "$1" && exec env -i PATH="$bin:$PATH" HOME="$work/home" TMPDIR="$work/tmp" \
     LC_ALL=C.UTF-8 COLUMNS=100 LINES=30 TERM=dumb BENCH_BIN="$bin" BENCH_QUICK=1 \
     timeout -k 5 120 bash -c "$(< "$2")" "$where") < /dev/null > "$3" 2>&1
}
# Cuts Markdown into examples: N.cmd, N.out where the output is shown, N.unshown where it is not
# compared, N.lines with the first and last line of that output in the Markdown (the last before
# the first where it is empty), N.image with the figure shown right after the example, and on
# standard output one line per example: N, heading count, line, and the reason it is not run
# (empty if it runs).
parse() {
  awk 'function example(line) { n++; printf "%d\t%d\t%d\t%s\n", n, section, line, held }
    function shown(last) { if (first) { print first, last > (n ".lines"); close(n ".lines") } first = 0 }
    fence && /^```[ \t]*$/ { if (mode == "transcript" || mode == "out") shown(NR - 1)
      shows = (mode == "sh" || mode == "out" || mode == "transcript") ? n : 0
      fence = 0; after = (mode == "sh" && !unshown); close(n ".cmd"); close(n ".out"); next }
    fence && mode == "text" { mode = substr($0, 1, 2) == "$ " ? "transcript" : "" }
    fence && mode == "transcript" && substr($0, 1, 2) == "$ " {
      shown(NR - 1); close(n ".cmd"); close(n ".out"); example(NR)
      print substr($0, 3) > (n ".cmd"); printf "" > (n ".out"); more = 1; first = NR + 1; next }
    fence && mode == "transcript" && more && substr($0, 1, 2) == "> " {
      print substr($0, 3) > (n ".cmd"); first = NR + 1; next }
    fence && mode == "transcript" { more = 0; print > (n ".out"); next }
    fence && mode == "sh" { print > (n ".cmd"); next }
    fence && mode == "out" { print > (n ".out"); next }
    fence { next }
    /^```/ { fence = 1; shows = 0; lang = substr($0, 4); sub(/[ \t]+$/, "", lang)
      if (lang == "text" && after) { mode = "out"; printf "" > (n ".out"); first = NR + 1 }
      else if (lang == "sh") { mode = "sh"; held = skip; example(NR); printf "" > (n ".cmd")
        if (loose) { printf "" > (n ".unshown"); close(n ".unshown") } }
      else mode = lang == "text" ? "text" : ""
      unshown = loose; held = skip; skip = ""; loose = after = 0; next }
    /^<!-- *not run/ { skip = $0; sub(/^<!-- *not run:? */, "", skip); sub(/ *-->.*/, "", skip)
      if (skip == "") skip = "-"; shows = 0; next }
    /^<!-- *output not compared *-->/ { loose = 1; shows = 0; next }
    /^[ \t]*$/ { next }
    shows && /^!\[[^]]*\]\([^)]+\)/ { image = $0; sub(/^!\[[^]]*\]\(/, "", image); sub(/\).*/, "", image)
      print image > (shows ".image"); close(shows ".image") }
    /^#/ { section++ }
    { skip = ""; loose = after = shows = 0 }' "$1"
}

# Rewrites `file` (a full path) from the lines "first last N" of `edits` in `cases`: the Markdown
# lines first to last become those of N.got (inserted before first where last < first).
rewrite() { # file edits
  local new
  new=$(mktemp "$1.XXXXXX") || return 1
  (cd -- "$cases" && awk 'NR == FNR { last[$1] = $2; with[$1] = $3 ".got"; next }
    FNR in last { while ((getline line < with[FNR]) > 0) print line
      if (last[FNR] + 0 < FNR) print; else skip = last[FNR] + 0; next }
    FNR <= skip { next }
    { print }' "$2" "$1") > "$new" && chmod --reference="$1" -- "$new" && mv -- "$new" "$1" && return
  rm -f -- "$new"
  return 1
}

# The figure shown after example n (of `written`, the PNGs it wrote) made again from them.
refigure() { # n written
  local image png count
  IFS= read -r image < "$cases/$1.image"
  [[ $image =~ ^(docs/)?[^/]+\.png$ ]] || { echo "$where: $image is not beside the document nor in docs/: left as it is"; return; }
  count=$(grep -c . <<< "$2")
  [[ $count != 0 ]] || { echo "$where: wrote no PNG: $image left as it is"; return; }
  [[ $count == 1 ]] || { echo "$where: wrote $count PNGs, not one: $image left as it is"; return; }
  png=$2
  cmp -s -- "$png" "$root/$image" && return
  if cp -- "$png" "$root/$image"; then echo "$where: $image drawn again from ${png##*/}"
  else fail "$image could not be replaced"; fi
}

check() { # file compare(1) or status only(0)
  local file=$1 compare=$2 name=${1#"$root"/} cases n section line reason dir got status
  local before written command text from to ran=0 left=() edits=0
  local -A listing=() # each section's PNGs, as its last example left them
  cases=$(mktemp -d "$work/cases.XXXXXX") || exit 2
  (cd -- "$cases" && parse "$file") > "$cases/list" || { echo "$name: cannot be read"; exit 2; }
  while IFS=$'\t' read -r n section line reason; do
    where="$name:$line" got="$cases/$n.got"
    if [[ -n "$reason" ]]; then left+=("$line"); continue; fi
    if [[ $compare == 0 ]]; then
      run "$root" "$cases/$n.cmd" "$got"; status=$?; ran=$((ran + 1))
      [[ $status == 0 ]] || fail "exit status $status, expected 0; it printed:" "$got"
      continue
    fi
    dir="$cases/section$section"; [[ -d $dir ]] || mkdir -- "$dir"
    before=${listing[$section]:-}
    run "$dir" "$cases/$n.cmd" "$got"; status=$?; ran=$((ran + 1))
    listing[$section]=$(pngs "$dir")
    command=""; IFS= read -r -d '' command < "$cases/$n.cmd"
    if [[ $command =~ oscplot|gnuplot|\.png ]] && [[ $gnuplot == 0 ]]; then
      echo "$where: gnuplot is not installed: ran, not checked"; continue
    fi
    written=$(comm -13 <(printf '%s\n' "$before") <(printf '%s\n' "${listing[$section]}") | cut -d' ' -f3-)
    if [[ -z "$written" ]] && [[ $command == *.png* ]]; then fail "wrote no PNG" "$got"; fi
    while IFS= read -r png; do
      [[ -n "$png" ]] || continue
      cmp -s -n 8 -- "$png" <(printf '\211PNG\r\n\032\n') || fail "${png##*/} is not a PNG"
    done <<< "$written"
    [[ $update == 0 ]] || [[ $status != 0 ]] || [[ ! -e "$cases/$n.image" ]] || refigure "$n" "$written"
    if [[ $status == 124 ]]; then fail "did not finish within 120 s" "$got"; continue; fi
    if [[ -e "$cases/$n.unshown" ]]; then
      [[ $status == 0 ]] || fail "exit status $status, expected 0; it printed:" "$got"
      continue
    fi
    if [[ ! -e "$cases/$n.out" ]]; then
      if [[ $status != 0 ]] || [[ -s "$got" ]]; then
        fail "the README shows no output: expected status 0 and none, got status $status and:" "$got"
      fi
      continue
    fi
    [[ -z "$written" ]] || [[ $status == 0 ]] || fail "exit status $status, expected 0" "$got"
    text=""; IFS= read -r -d '' text < "$got"
    [[ -z "$text" ]] || [[ "$text" == *$'\n' ]] || fail "its output does not end with a newline"
    printf '%s' "${text//$'\e['*([0-9;])m/}" > "$got"
    awk 'FILENAME == ARGV[1] { e[++ne] = $0; next } { a[++na] = $0 }
      END { i = j = 1                      # "..." is a wildcard over lines, as * over characters
        while (j <= na) {
          if (i <= ne && e[i] == "...") { star = i++; mark = j }
          else if (i <= ne && e[i] == a[j]) { i++; j++ }
          else if (star) { i = star + 1; j = ++mark }
          else exit 1
        }
        while (i <= ne && e[i] == "...") i++
        exit (i <= ne) }' "$cases/$n.out" "$got" && continue
    if [[ $update == 1 ]] && ! grep -qx '\.\.\.' -- "$cases/$n.out" &&
       ! grep -qE '^(```|\$ |\.\.\.$)' -- "$got"; then
      read -r from to < "$cases/$n.lines"
      echo "$from $to $n" >> "$cases/edits"
      edits=$((edits + 1)); continue
    fi
    fail "prints otherwise than the README shows:" <(diff -u --label "$where (README)" \
      --label "what it prints" -- "$cases/$n.out" "$got")
  done < "$cases/list"
  if [[ $edits -gt 0 ]]; then
    if rewrite "$file" edits; then echo "$name: output blocks written again: $edits"
    else where=$name; fail "could not be rewritten"; fi
  fi
  echo "$name: examples run: $ran${left:+, not run: the blocks at lines ${left[*]}}"
  [[ $ran -gt 0 ]] || [[ $compare == 0 ]] || { where=$name; fail "no example found"; }
}

main() {
  if [[ ${1:-} == --update ]]; then update=1; shift; [[ $# == 2 ]] || set --; fi
  [[ $# -ge 2 ]] || { echo "uso: readme_test.sh [--update] BIN_DIR README.md [DOC.md...]" >&2; exit 2; }
  bin=$(cd -- "$1" && pwd) && root=$(cd -- "$(dirname -- "$2")" && pwd) || exit 2
  shift
  work=$(mktemp -d "${TMPDIR:-/tmp}/readme.XXXXXX") || exit 2
  trap 'rm -rf -- "$work"' EXIT
  mkdir -- "$work/home" "$work/tmp" || exit 2
  if command -v gnuplot > /dev/null; then gnuplot=1; fi
  [[ $# -gt 1 ]] || check "$root/${1##*/}" 1
  shift
  local doc
  for doc in "$@"; do check "$(cd -- "$(dirname -- "$doc")" && pwd)/${doc##*/}" 0; done
  [[ $failures == 0 ]] || { echo "$failures failure(s)"; exit 1; }
}

main "$@"
