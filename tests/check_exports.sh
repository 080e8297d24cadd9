#!/bin/sh
# Fails unless libqvxml.so exports exactly the names of the interface list plus
# the dependency overrides (members of Xalan-C++ that the library replaces, each
# documented where it is defined): no extra name, none missing. An override that
# is not exported carries no fix.
lib="$1"; list="$2"; overrides="${3:-/dev/null}"
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TWVBDR]$/ {print $3}' | sort -u)
extra=$(printf '%s\n' "$exported" | grep -vxF -f "$list" | grep -vxF -f "$overrides")
missing=$(grep -hvxF -f /dev/stdin "$list" "$overrides" <<EOT
$exported
EOT
)
status=0
if [ -n "$missing" ]; then
  printf 'in the interface or overrides but not exported: %s\n' $missing
  status=1
fi
if [ -n "$extra" ]; then
  printf 'exported but not in the interface: %s\n' $extra
  status=1
fi
[ $status -eq 0 ] && echo "exports: $(printf '%s\n' "$exported" | wc -l) names, exactly the interface and the overrides"
exit $status
