#!/bin/sh
# Round trip through a new board directory: add, list, extract, remove.
set -e
tool=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'set IPADD 127.0.0.1\r\n' > "$dir/in.txt"
# No flash yet: reading commands refuse, add creates it.
if "$tool" "$dir" ls 2>/dev/null; then echo "ls on an empty directory succeeded"; exit 1; fi
"$tool" "$dir" add monrc "$dir/in.txt" e
"$tool" "$dir" add Bitmaps/a.bmp "$dir/in.txt"
"$tool" "$dir" ls > "$dir/ls.txt"
grep -q '^Bitmaps/a.bmp .* 21 ' "$dir/ls.txt"
grep -q '^monrc .* 21  e ' "$dir/ls.txt"
"$tool" "$dir" extract monrc "$dir/out.txt"
cmp "$dir/in.txt" "$dir/out.txt"
"$tool" "$dir" extract monrc | cmp - "$dir/in.txt"
"$tool" "$dir" rm monrc
if "$tool" "$dir" extract monrc 2>/dev/null; then echo "removed file still there"; exit 1; fi
"$tool" "$dir" stat | grep -q '^files 1$'
# No journal on this flash: the check says so with its own exit code.
rc=0; "$tool" "$dir" journal > "$dir/journal.txt" || rc=$?
[ "$rc" -eq 3 ] && grep -q '^no journal$' "$dir/journal.txt"
if "$tool" "$dir" frobnicate 2>/dev/null; then echo "bad command accepted"; exit 1; fi
echo "flashdump ok"
