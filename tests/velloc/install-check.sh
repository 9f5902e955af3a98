#!/usr/bin/env bash
# Installs both libraries into a temporary prefix, then checks that each
# library's consumer builds against the installed tree alone, through
# find_package and through pkg-config, and that each library exports its
# public classes only.
# Usage: install-check.sh BUILD_DIR VELLOC_CONSUMER_DIR OSTREL_CONSUMER_DIR
set -eu
build=$1
velloc_consumer=$2
ostrel_consumer=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --component ostrel --prefix "$prefix" >/dev/null
cmake --install "$build" --component velloc --prefix "$prefix" >/dev/null

libdir=$(dirname "$(find "$prefix" -name libvelloc.so | head -1)")
# Velloc's model records changed layout in version 2 (optional numbers held
# inline, a virtual destructor for points).
for lib in ostrel.so.1 velloc.so.2; do
  base=${lib%.so.*}
  [ -L "$libdir/lib$base.so" ] && [ -e "$libdir/lib$lib" ] || { echo "missing lib$lib"; exit 1; }
  soname=$(objdump -p "$libdir/lib$base.so" | awk '/SONAME/ {print $2}')
  [ "$soname" = "lib$lib" ] || { echo "lib$base SONAME is '$soname'"; exit 1; }
done

# Every exported symbol belongs to a public class (members, typeinfo, vtables).
exports_only() {  # library allowed-class-regex
  local unexpected
  unexpected=$(nm -D --defined-only -C "$libdir/lib$1.so" | cut -d' ' -f3- |
    grep -Ev "^((typeinfo|typeinfo name|vtable) for )?($2)(::|$)" || true)
  if [ -n "$unexpected" ]; then echo "lib$1 exports more than its classes:"; echo "$unexpected" | head; exit 1; fi
}
exports_only velloc 'GPX[A-Za-z0-9]*|CGPXFilesDecoder|CGPXFilesEncoder|CUnInitializedException|CStatusException'
exports_only ostrel 'CReverseGeoCode|CGeoNamesXmlParser|CGeoNameLocation|CGeoNames|COfflinePlaces|COfflinePlace|COstrelErrors|CUnInitializedException|CGPSMetadataInfo|AutomationDate|DaysFromCivil\(.*\)|CivilFromDays\(.*\)'

export PKG_CONFIG_PATH="$libdir/pkgconfig"
for lib in velloc ostrel; do
  consumer=${lib}_consumer
  consumer=${!consumer}
  # Nothing of the source or build tree is on the consumer's paths.
  cmake -S "$consumer" -B "$prefix/$lib-consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$prefix/$lib-consumer" >/dev/null
  LD_LIBRARY_PATH="$libdir" "$prefix/$lib-consumer/consumer" "$prefix"
  # shellcheck disable=SC2046
  g++ -o "$prefix/$lib-pc-consumer" "$consumer/consumer.cpp" $(pkg-config --cflags --libs $lib)
  LD_LIBRARY_PATH="$libdir" "$prefix/$lib-pc-consumer" "$prefix"
done
echo "installed packages work"
