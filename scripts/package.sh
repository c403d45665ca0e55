#!/usr/bin/env bash
# package.sh: builds the Debian package of Dunmorrow and prints its path.
#
# A Release build in its own folder ($DM_PACKAGE_BUILD, default build-package/), with ccache
# when it is there, the hardening flags Debian builds with, and no tests; then CPack makes
# build-package/package/dunmorrow_VERSION_ARCH.deb, its dependencies taken from the shared
# libraries the programs link (dpkg-shlibdeps). What the package holds: packaging/CMakeLists.txt.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

dm_install_packages >&2
build="${DM_PACKAGE_BUILD:-$DM_ROOT/build-package}"

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# The flags Debian builds its packages with, every hardening option on, less the debugging
# information (the package's programs are stripped). Their -O2 stands in for the Release
# build's -O3, at which GCC 12 warns falsely inside the standard library.
flags() {
  (cd "$DM_ROOT" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1") |
    sed -e 's/\(^\| \)-g\( \|$\)/ /'
}
cflags="$(flags CPPFLAGS) $(flags CFLAGS)"
cxxflags="$(flags CPPFLAGS) $(flags CXXFLAGS)"
ldflags="$(flags LDFLAGS)"

dm_log "Building the package in $build"
cmake -S "$DM_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DDM_TESTS=OFF -DDM_PACKAGE=ON "-DCMAKE_C_FLAGS=$cflags" "-DCMAKE_CXX_FLAGS=$cxxflags" \
  -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
  "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" "${launcher[@]}" >&2
# Only the package's path goes to standard output (the test command reads it); the rest is
# progress, on standard error.
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >&2

rm -rf "$build/package"
(cd "$build" && cpack -G DEB >&2)
deb="$(find "$build/package" -maxdepth 1 -name 'dunmorrow_*.deb' -print -quit)"
[ -n "$deb" ] || { echo "package.sh: cpack made no package" >&2; exit 1; }
dm_log "Made $deb"
echo "$deb"
