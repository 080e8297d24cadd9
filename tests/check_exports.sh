#!/bin/sh
# Fails unless libqvxml.so exports exactly the names of the interface list: no
# extra name, none missing.
lib="$1"; list="$2"
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TWVBDR]$/ {print $3}' | sort -u)
extra=$(printf '%s\n' "$exported" | grep -vxF -f "$list")
missing=$(grep -vxF -f /dev/stdin "$list" <<EOT
$exported
EOT
)
status=0
if [ -n "$missing" ]; then
  printf 'in the interface but not exported: %s\n' $missing
  status=1
fi
if [ -n "$extra" ]; then
  printf 'exported but not in the interface: %s\n' $extra
  status=1
fi
[ $status -eq 0 ] && echo "exports: $(printf '%s\n' "$exported" | wc -l) names, exactly the interface"
exit $status
