#!/usr/bin/env bash
# The plug-in library loads into any GStreamer application as light as GStreamer's own
# elements: neither it nor anything it pulls in may be Qt or ICU (ICU came with Qt's dates).
#   PluginDependencies.sh <libgstvidorra.so>
set -euo pipefail
plugin=$1
if [[ ! -f $plugin ]]; then
  echo "no plug-in at $plugin" >&2
  exit 1
fi
direct=$(readelf -d "$plugin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
if [[ -z $direct ]]; then
  echo "readelf found no dependency in $plugin" >&2
  exit 1
fi
all=$(ldd "$plugin")
status=0
for name in $direct $(awk '{print $1}' <<<"$all"); do
  if [[ $name =~ ^lib(Qt|icu) ]]; then
    echo "the plug-in depends on $name" >&2
    status=1
  fi
done
if grep -q "not found" <<<"$all"; then
  echo "unresolved dependencies:" >&2
  grep "not found" <<<"$all" >&2
  status=1
fi
((status == 0)) && echo "$plugin: $(wc -w <<<"$direct") direct dependencies, no Qt, no ICU"
exit $status
