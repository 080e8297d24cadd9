#!/bin/sh
# Fails when libqvxml.so exports a name that is not in the interface list.
# Names of the list that are not exported yet are listed, not failed.
lib="$1"; list="$2"
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TWVBDR]$/ {print $3}' | sort -u)
extra=$(printf '%s\n' "$exported" | grep -vxF -f "$list")
missing=$(grep -vxF -f /dev/stdin "$list" <<EOT
$exported
EOT
)
[ -n "$missing" ] && printf 'not exported yet: %s\n' $missing
if [ -n "$extra" ]; then
  printf 'exported but not in the interface: %s\n' $extra
  exit 1
fi
echo "exports: $(printf '%s\n' "$exported" | wc -l) names, all in the interface"
