#!/bin/sh
# Fails when libqvxml.so exports a name that is not in the interface list or in
# the list of dependency overrides (members of Xalan-C++ that the library
# replaces, each documented where it is defined). Names of the interface list
# that are not exported yet are listed, not failed; every override must be
# exported, or the fix it carries does not take effect.
lib="$1"; list="$2"; overrides="${3:-/dev/null}"
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TWVBDR]$/ {print $3}' | sort -u)
extra=$(printf '%s\n' "$exported" | grep -vxF -f "$list" | grep -vxF -f "$overrides")
missing=$(grep -vxF -f /dev/stdin "$list" <<EOT
$exported
EOT
)
unexported=$(grep -vxF -f /dev/stdin "$overrides" <<EOT
$exported
EOT
)
[ -n "$missing" ] && printf 'not exported yet: %s\n' $missing
if [ -n "$unexported" ]; then
  printf 'dependency override not exported: %s\n' $unexported
  exit 1
fi
if [ -n "$extra" ]; then
  printf 'exported but not in the interface: %s\n' $extra
  exit 1
fi
echo "exports: $(printf '%s\n' "$exported" | wc -l) names, all in the interface or overrides"
