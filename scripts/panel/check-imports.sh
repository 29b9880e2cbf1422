#!/usr/bin/env bash
# Keeps the panel build within its declared run-time floor (scripts/panel/floor.conf): compares what
# the shipped files import from the panel's libraries with the reviewed list scripts/panel/imports.list.
#
#   scripts/panel/check-imports.sh [FILE...]            check (default: build-panel/libSerivane.so.1
#                                                       and build-panel/vane-loadcheck)
#   scripts/panel/check-imports.sh --suggest [FILE...]  print list lines for imports not on the list
#   scripts/panel/check-imports.sh --update [FILE...]   rewrite the list: keep reviewed lines, add
#                                                       suggested ones, drop what is no longer imported
#   scripts/panel/check-imports.sh --panel DIR [FILE...] also check against a panel's own libraries
#
# Fails when an import is not on the list (or is listed from another library or version node), when
# a listed Qt version is newer than the Qt floor or not filled in ("?"), when a libstdc++ or libgcc_s
# version node is newer than the C++ floor, or on any GLIBC_* version or name only glibc's headers
# make (__*_chk, __isoc99_*, __xstat*, ...). A Qt symbol's version is the
# Qt release that introduced it: --suggest reads it from Debian's Qt documentation (qt-since.py);
# internal symbols it cannot find get "?" and need the version of the public call bringing them in.
#
# --panel DIR reads what an integrator sent back (see README, "Putting Serivane on a panel"):
#   <library>.nm          nm -D --defined-only of libQt5Core.so.5, libQt5Network.so.5, libQt5SerialPort.so.5
#                         (and, if sent, libc.so.0, libstdc++.so.6, libgcc_s.so.1)
#   libstdc++.so.6.versions   strings libstdc++.so.6 | grep -E 'GLIBCXX_|CXXABI_'
#   libc.ls               ls /lib/libc.so*          uclibc-version   the panel's uClibc version
# and fails for each import the panel's libraries do not define.
#
#   VANE_ARMEL_SYSROOT   link-time Qt and C++ run time (default /opt/vane-armel-sysroot)
#   VANE_UCLIBC_ROOT     link-time uClibc-ng (default: scripts/panel/build-uclibc.sh off)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
list=$here/imports.list
mode=check panel=
while [ $# -gt 0 ]; do
  case $1 in
    --suggest) mode=suggest; shift ;;
    --update) mode=update; shift ;;
    --panel) panel=$(cd "$2" && pwd); shift 2 ;;
    -*) echo "check-imports: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
files=("$@")
[ "${#files[@]}" -gt 0 ] || files=("$src/build-panel/libSerivane.so.1" "$src/build-panel/vane-loadcheck")

# shellcheck source=floor.conf
. "$here/floor.conf"
# The top-level CMakeLists.txt states the same Qt floor.
if ! grep -Eq "find_package\(Qt5 $QT_FLOOR[ )]" "$src/CMakeLists.txt"; then
  echo "check-imports: CMakeLists.txt's find_package(Qt5 ...) does not say the floor Qt $QT_FLOOR" >&2
  exit 1
fi

sysroot=${VANE_ARMEL_SYSROOT:-/opt/vane-armel-sysroot}
uclibc=${VANE_UCLIBC_ROOT:-$("$here/build-uclibc.sh" off)}
readelf=arm-linux-gnueabi-readelf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

libpath() {
  case $1 in
    libc.so.0) echo "$uclibc/lib/libc.so.0" ;;
    libgcc_s.so.1) echo "$sysroot/lib/arm-linux-gnueabi/$1" ;;
    *) echo "$sysroot/usr/lib/arm-linux-gnueabi/$1" ;;
  esac
}

# imports: FILE LIB SYMBOL NODE BIND, the library found from the symbol's version need or, for an
# unversioned symbol, from the first NEEDED library that defines it.
: >"$work/imports"
: >"$work/defined"
for file in "${files[@]}"; do
  [ -f "$file" ] || { echo "check-imports: no $file" >&2; exit 1; }
  $readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' >"$work/needed"
  while read -r lib; do
    $readelf --dyn-syms -W "$(libpath "$lib")" \
      | awk -v lib="$lib" '$7 != "UND" && $8 != "" && $7 ~ /^[0-9]+$/ {
          sub(/@.*/, "", $8); print lib, $8, ($4 == "OBJECT" || $4 == "TLS") ? "O" : "F" }'
  done <"$work/needed" | tee -a "$work/defined" >"$work/provided"
  $readelf -V "$file" | awk '/File:/ { for (i = 1; i < NF; i++) if ($i == "File:") f = $(i+1) }
    /Name:/ { for (i = 1; i < NF; i++) if ($i == "Version:") print $(i+1), f }' \
    >"$work/needs"
  $readelf --dyn-syms -W "$file" | awk -v file="$file" '
    FILENAME == ARGV[1] { need[$1] = $2; next }
    FILENAME == ARGV[2] { if (!($2 in from)) from[$2] = $1; next }
    $7 == "UND" && $8 != "" {
      sym = $8; node = "-"; lib = ""
      if (sym ~ /@/) { node = sym; sub(/^[^@]*@+/, "", node); sub(/@.*/, "", sym)
                       idx = $9; gsub(/[()]/, "", idx); lib = need[idx] }
      if (lib == "") lib = (sym in from) ? from[sym] : "-"
      print file, lib, sym, node, $5 }' "$work/needs" "$work/provided" - >>"$work/imports"
done
sort -u -k2,3 "$work/imports" | awk '{ print $2, $3, $4, $5 }' >"$work/wanted"

# The reviewed list without comments: LIB NODE SINCE KIND SYMBOL.
sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$list" >"$work/listed"

# New lines for imports missing from the list, their Qt versions from the documentation.
suggest() {
  awk 'FILENAME == ARGV[1] { have[$1 " " $5] = 1; next }
       FILENAME == ARGV[2] { kind[$1 " " $2] = $3; next }
       $1 == "-" && $4 == "WEAK" { next }
       !(($1 " " $2) in have) { print $1, $2, $3, (($1 " " $2) in kind) ? kind[$1 " " $2] : "F" }' \
    "$work/listed" "$work/defined" "$work/wanted" >"$work/new"
  awk '$1 ~ /^libQt5/ { print $2 }' "$work/new" | python3 "$here/qt-since.py" >"$work/since"
  cut -d' ' -f2 "$work/new" | c++filt >"$work/demangled"
  paste -d' ' "$work/new" "$work/demangled" | awk -F'\t' 'FILENAME == ARGV[1] { v[$1] = $2; note[$1] = $3; next }
    { split($0, f, " "); lib = f[1]; sym = f[2]; node = f[3]; kind = f[4]
      text = $0; for (i = 0; i < 4; i++) sub(/^[^ ]+ /, "", text)
      since = (lib ~ /^libQt5/) ? v[sym] : "-"
      line = sprintf("%-22s %-12s %-6s %s %s  # %s", lib, node, since, kind, sym, text)
      if (note[sym] != "") line = line "  [" note[sym] "]"
      print line }' "$work/since" - 
}

if [ "$mode" = suggest ]; then
  suggest
  exit 0
fi
if [ "$mode" = update ]; then
  {
    sed -n '/^#/!q;p' "$list"
    awk 'FILENAME == ARGV[1] { keep[$1 " " $2] = 1; next }
         /^[[:space:]]*(#|$)/ { next }
         ($1 " " $5) in keep' "$work/wanted" "$list"
    suggest
  } >"$work/list.new"
  head_lines=$(sed -n '/^#/!q;p' "$work/list.new" | wc -l)
  { head -n "$head_lines" "$work/list.new"; tail -n +"$((head_lines + 1))" "$work/list.new" | sort -k1,1 -k5,5; } >"$list"
  echo "check-imports: $list now has $(grep -cv '^#' "$list") imports; review the diff, fill in every '?'" >&2
  exit 0
fi

# ---- check -----------------------------------------------------------------------------------
newer() { # A newer than B, both dotted numbers
  [ "$1" != "$2" ] && [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n1)" = "$1" ]
}
failed=0
fail() { echo "check-imports: $*" >&2; failed=1; }

declare -A entry=()
while read -r lib node since kind sym; do entry["$lib $sym"]="$node $since"; done <"$work/listed"

while read -r lib sym node bind; do
  what="$sym@$node from $lib ($(c++filt "$sym"))"
  case $node in GLIBC_*) fail "$what: a glibc symbol version"; continue ;; esac
  # Names glibc's headers put in place of the C calls (fortified, ISO C99 scanf, stat wrappers,
  # finite-math and 64-bit time redirects): uClibc-ng has none of them.
  if [[ $sym =~ ^(__.*_chk|__isoc99_.*|__(f|l)?xstat(at)?(64)?|__fxstatat(64)?|__.*_finite|__.*_time64|__libc_.*|gnu_get_libc_.*)$ ]]; then
    fail "$what: a glibc header artefact, not a call uClibc-ng has"
    continue
  fi
  if [ -z "${entry["$lib $sym"]+x}" ]; then
    if [ "$bind" = WEAK ] && [ "$lib" = - ]; then continue; fi
    fail "$what is not on the reviewed list $list (scripts/panel/check-imports.sh --suggest)"
    continue
  fi
  read -r listed_node since <<<"${entry["$lib $sym"]}"
  [ "$listed_node" = "$node" ] || fail "$what: the list says version node $listed_node"
  case $lib in
    libQt5*)
      if [[ ! $since =~ ^5\.[0-9]+$ ]]; then fail "$what: no reviewed Qt version on the list ($since)"
      elif newer "$since" "$QT_FLOOR"; then fail "$what: introduced in Qt $since, newer than the floor Qt $QT_FLOOR"; fi ;;
  esac
  case $node in
    GLIBCXX_*) ! newer "${node#GLIBCXX_}" "$GLIBCXX_FLOOR" || fail "$what: newer than GLIBCXX_$GLIBCXX_FLOOR" ;;
    CXXABI_ARM_*) ! newer "${node#CXXABI_ARM_}" "$CXXABI_ARM_FLOOR" || fail "$what: newer than CXXABI_ARM_$CXXABI_ARM_FLOOR" ;;
    CXXABI_*) ! newer "${node#CXXABI_}" "$CXXABI_FLOOR" || fail "$what: newer than CXXABI_$CXXABI_FLOOR" ;;
    GCC_*) ! newer "${node#GCC_}" "$GCC_FLOOR" || fail "$what: newer than GCC_$GCC_FLOOR" ;;
  esac
  if [ -n "$panel" ] && [ -f "$panel/$lib.nm" ] \
     && ! awk -v s="$sym" '{ n = $NF; sub(/@.*/, "", n) } n == s && $(NF-1) != "U" { found = 1 } END { exit !found }' "$panel/$lib.nm"; then
    fail "$what: the panel's $lib does not define it"
  fi
done <"$work/wanted"

if [ -n "$panel" ]; then
  [ ! -f "$panel/uclibc-version" ] || echo "check-imports: the panel's uClibc: $(head -n1 "$panel/uclibc-version")"
  if [ -f "$panel/libc.ls" ] && ! grep -q 'libc\.so\.0$' "$panel/libc.ls"; then
    fail "the panel has no libc.so.0 ($(tr '\n' ' ' <"$panel/libc.ls"))"
  fi
  if [ -f "$panel/libstdc++.so.6.versions" ]; then
    for node in $(awk '$3 ~ /^(GLIBCXX|CXXABI)_/ { print $3 }' "$work/wanted" | sort -u); do
      grep -qx "$node" "$panel/libstdc++.so.6.versions" || fail "the panel's libstdc++.so.6 lacks version $node"
    done
  fi
  for lib in $(cut -d' ' -f1 "$work/wanted" | sort -u); do
    [ "$lib" = - ] || [ -f "$panel/$lib.nm" ] || echo "check-imports: nothing from the panel for $lib ($lib.nm): checked against the build's copy only"
  done
fi

count=$(wc -l <"$work/wanted")
if [ "$failed" -ne 0 ]; then
  echo "check-imports: FAILED ($count imports of ${files[*]})" >&2
  exit 1
fi
echo "check-imports: $count imports of ${files[*]} are on the list and within the floor (Qt $QT_FLOOR, GLIBCXX_$GLIBCXX_FLOOR, CXXABI_$CXXABI_FLOOR, GCC_$GCC_FLOOR)"
