#!/usr/bin/env bash
# Makes OUT, the compact world map, from the npm package world-atlas:
# fetched once into ${XDG_CACHE_HOME:-~/.cache}/corvane-build (never into the
# source tree), checked against its published digest, then converted.
# Every failure is a warning: the program runs without a drawn world map.
#   build-worldmap.sh OUT        fetch if needed, convert into OUT
#   build-worldmap.sh --fetch    only fetch (scripts/setup)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
package=world-atlas
version=2.0.2
integrity="sha512-IXfV0qwlKXpckz1FhwXVwKRjiIhOnWttOskm5CtxMsjgE/MXAYRHWJqgXOpM8IkcPBoXnyTU5lFHcYa5ChG0LQ=="
cache="${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/corvane-build"
tarball="$cache/$package-$version.tgz"
unpacked="$cache/$package-$version"

warn() { echo "warning: world map: $*; the map will draw no world map" >&2; exit 0; }

command -v node >/dev/null || warn "Node.js is not installed (scripts/setup installs it)"

digest() { node -e 'const c=require("crypto"),f=require("fs");
  process.stdout.write("sha512-"+c.createHash("sha512").update(f.readFileSync(process.argv[1])).digest("base64"))' "$1"; }

if [ ! -f "$unpacked/countries-50m.json" ]; then
  mkdir -p "$cache" || warn "cannot create $cache"
  if [ ! -f "$tarball" ]; then
    command -v npm >/dev/null || warn "npm is not installed"
    ( cd "$cache" && npm pack "$package@$version" --silent --fetch-retries=1 --fetch-timeout=20000 >/dev/null 2>&1 ) ||
      { rm -f "$tarball"; warn "could not fetch $package@$version from the npm registry"; }
  fi
  [ "$(digest "$tarball")" = "$integrity" ] || { rm -f "$tarball"; warn "$package-$version.tgz does not match its published digest"; }
  rm -rf "$unpacked.tmp" && mkdir -p "$unpacked.tmp" &&
    tar -xzf "$tarball" -C "$unpacked.tmp" --strip-components=1 &&
    rm -rf "$unpacked" && mv "$unpacked.tmp" "$unpacked" || warn "could not unpack $tarball"
fi

[ "${1:-}" = "--fetch" ] && exit 0
out="${1:?usage: build-worldmap.sh OUT | --fetch}"
node "$here/convert-worldmap.js" "$unpacked" "$out.tmp" && mv "$out.tmp" "$out" ||
  { rm -f "$out.tmp"; warn "the conversion failed"; }
