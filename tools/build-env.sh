# Shared by tools/test and tools/run (sourced): installs what the build needs, configures and builds.
#
#   BUILD_DIR   build folder (default: <repo>/build)
#   DLS_ARCH    i686 | x86_64 | auto (default). auto builds the 32-bit program where the machine runs
#               32-bit code natively, and the 64-bit build where it cannot (some virtual machines lack
#               the kernel's 32-bit mode; Wine's 32-bit loader then only runs under emulation, which is
#               far too slow for the tests).
#   DLS_JOBS    parallel build jobs (default 2)

DLS_REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
: "${BUILD_DIR:=$DLS_REPO/build}"
mkdir -p "$BUILD_DIR"
BUILD_DIR="$(cd "$BUILD_DIR" && pwd)"
: "${DLS_JOBS:=2}"

dls_say() { echo "[$(basename "$0")] $*" >&2; }

dls_missing_packages() {
  local pkg status
  for pkg in "$@"; do
    status="$(dpkg-query -W -f='${Status}' "$pkg" 2> /dev/null)"
    [ "$status" = "install ok installed" ] || echo "$pkg"
  done
}

# Installs the Debian packages the build, the tests and the demo need; quick when all are present.
# The win32-thread compilers: the posix ones link winpthreads, whose imports need Windows Vista.
dls_install_packages() {
  local wanted=(cmake g++-mingw-w64-i686-win32 mingw-w64-i686-dev wine wine32:i386 wine64 xvfb imagemagick
    xdotool nginx-light python3 googletest fonts-wine locales openssl osslsigncode "$@")
  local missing
  missing="$(dls_missing_packages "${wanted[@]}")"
  [ -z "$missing" ] && return 0
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  dls_say "installing: $(echo $missing)"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386 || return 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q > "$BUILD_DIR/apt.log" 2>&1 || { dls_say "apt-get update failed (see $BUILD_DIR/apt.log)"; return 1; }
  # shellcheck disable=SC2086
  $sudo apt-get install -y -q --no-install-recommends $missing >> "$BUILD_DIR/apt.log" 2>&1 || {
    dls_say "apt-get install failed (see $BUILD_DIR/apt.log)"; return 1; }
}

dls_choose_arch() {
  case "${DLS_ARCH:-auto}" in
    i686 | x86_64) ;;
    auto)
      # A qemu handler for i386 programs is only registered where the kernel cannot run them itself.
      if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && /lib/ld-linux.so.2 --version > /dev/null 2>&1; then
        DLS_ARCH=i686
      else
        DLS_ARCH=x86_64
        dls_say "this machine does not run 32-bit programs natively: building and testing the 64-bit build"
      fi
      ;;
    *) dls_say "DLS_ARCH must be i686, x86_64 or auto"; return 1 ;;
  esac
  export DLS_ARCH
  [ "$DLS_ARCH" = i686 ] || dls_install_packages g++-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev
}

# Configures (when needed) and builds. A build folder configured for the other architecture is
# configured anew; the Wine prefix follows the architecture too.
dls_build() {
  local toolchain="$DLS_REPO/cmake/mingw-$DLS_ARCH.cmake"
  local cache="$BUILD_DIR/CMakeCache.txt"
  if [ -f "$cache" ] && ! grep -q "^CMAKE_TOOLCHAIN_FILE:.*=$toolchain\$" "$cache"; then
    dls_say "build folder was configured for another toolchain: configuring anew"
    rm -rf "$BUILD_DIR/CMakeCache.txt" "$BUILD_DIR/CMakeFiles"
  fi
  if [ ! -f "$cache" ]; then
    cmake -S "$DLS_REPO" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$toolchain" "$@" > "$BUILD_DIR/configure.log" 2>&1 || {
      cat "$BUILD_DIR/configure.log" >&2; dls_say "configuring failed"; return 1; }
  elif [ $# -gt 0 ]; then
    cmake "$BUILD_DIR" "$@" > "$BUILD_DIR/configure.log" 2>&1 || {
      cat "$BUILD_DIR/configure.log" >&2; dls_say "configuring failed"; return 1; }
  fi
  dls_say "building ($DLS_ARCH) in $BUILD_DIR"
  # Keep going past a failing target (make -k), so the rest can still be tested.
  local keep_going=()
  grep -q '^CMAKE_GENERATOR:INTERNAL=Unix Makefiles' "$BUILD_DIR/CMakeCache.txt" && keep_going=(-- -k)
  cmake --build "$BUILD_DIR" -j "$DLS_JOBS" "${keep_going[@]}" > "$BUILD_DIR/build.log" 2>&1 || {
    grep -E 'error:|undefined reference|multiple definition|No rule to make|\*\*\*' "$BUILD_DIR/build.log" | head -40 >&2
    dls_say "build failed (full log: $BUILD_DIR/build.log)"
    return 1
  }
}
