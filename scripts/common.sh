# Shared by the run, test and package scripts: package installation and the build.
# Sourced, not run. Every function is safe to call again.

DM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DM_BUILD="${DM_BUILD:-$DM_ROOT/build}"

dm_packages=(
  build-essential cmake ninja-build pkg-config ccache
  clang libclang-rt-14-dev clang-format python3
  qt6-base-dev libgl-dev fonts-liberation
  libmariadb-dev mariadb-server mariadb-client openssl libmimalloc-dev
  libssl-dev libgtest-dev googletest
  mdbtools xvfb xauth x11-apps
  scdoc librsvg2-bin file lintian desktop-file-utils shared-mime-info man-db
)

dm_log() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

dm_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs what is missing; does nothing when everything is there already.
dm_install_packages() {
  local missing=()
  for p in "${dm_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    dm_log "Debian packages: all present"
    return 0
  fi
  dm_log "Installing Debian packages: ${missing[*]}"
  dm_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  dm_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds into $DM_BUILD.
dm_build() {
  local jobs
  jobs="$(nproc 2>/dev/null || echo 2)"
  dm_log "Building in $DM_BUILD"
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$DM_ROOT" -B "$DM_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
  cmake --build "$DM_BUILD" -j "$jobs"
}
