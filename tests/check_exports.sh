#!/bin/sh
# Fails unless libqvxml.so exports exactly the names of the interface list: no
# extra name, none missing.
lib="$1"; list="$2"

# Xalan-C++ functions the library replaces: exported so that the dynamic linker
# binds libxalan's own calls to our definitions (cmake/qvxml.map says why each).
overrides='
_ZN11xalanc_1_1217NumberToDOMStringEdRNS_14XalanDOMStringE
_ZN11xalanc_1_1215DOMStringHelper18NumberToCharactersEdRNS_17FormatterListenerEMS1_FvPKDsmE
'

exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TWVBDR]$/ {print $3}' | sort -u)
for name in $overrides; do
  printf '%s\n' "$exported" | grep -qxF "$name" || { echo "override not exported: $name"; exit 1; }
done
exported=$(printf '%s\n' "$exported" | grep -vxF -e "$(printf '%s' "$overrides" | sed '/^$/d')")
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
[ $status -eq 0 ] && echo "exports: $(printf '%s\n' "$exported" | wc -l) names, exactly the interface, and $(printf '%s' "$overrides" | grep -c .) overrides"
exit $status
