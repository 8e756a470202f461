# Wine environment of one build folder. Source it; it changes nothing until a function is called.
#
#   BUILD_DIR     build folder (default: <repo>/build); the prefix is $BUILD_DIR/wineprefix
#   DLS_ARCH      i686 (default: a win32 prefix and the 32-bit loader) or x86_64 (a win64 prefix and
#                 the 64-bit loader). tools/test and tools/run pass the build's architecture on.
#
# Functions:
#   dls_wine_prepare   everything below, idempotent: 32-bit execution, X display, prefix, wineserver
#   dls_wine_run EXE [ARGS...]   run a Windows program, pass its output through, return its exit code
#   dls_wine_stop      end the wineserver of the prefix and the Xvfb this shell started
#
# Nothing is written to $HOME: Wine runs with HOME and the XDG folders inside the build folder, the
# prefix's user folders are real directories, and winemenubuilder is disabled.

DLS_REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
: "${BUILD_DIR:=$DLS_REPO/build}"
BUILD_DIR="$(mkdir -p "$BUILD_DIR" && cd "$BUILD_DIR" && pwd)"
: "${DLS_ARCH:=i686}"

export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ "$DLS_ARCH" = x86_64 ]; then
  export WINEARCH=win64
  DLS_WINE=/usr/lib/wine/wine64
else
  export WINEARCH=win32
  DLS_WINE=/usr/bin/wine
fi
DLS_WINESERVER=/usr/bin/wineserver
DLS_WINE_HOME="$BUILD_DIR/wine-home"
DLS_STAMP="$WINEPREFIX/.dls-ready"
DLS_XVFB_STARTED=""

dls_log() { echo "[wine-env] $*" >&2; }

# Runs a Wine command with HOME and the XDG folders inside the build folder.
dls_wine_cmd() {
  mkdir -p "$DLS_WINE_HOME"
  HOME="$DLS_WINE_HOME" XDG_CONFIG_HOME="$DLS_WINE_HOME/.config" XDG_DATA_HOME="$DLS_WINE_HOME/.local/share" \
    XDG_CACHE_HOME="$DLS_WINE_HOME/.cache" "$@"
}

# Some virtual machines run without the kernel's 32-bit compatibility mode: every i386 program, the
# 32-bit Wine loader among them, then fails with "Exec format error". Wine's 32-bit loader still runs
# there under qemu's user-mode emulator, registered as the handler of i386 programs (slowly: expect
# seconds per Wine process instead of milliseconds).
dls_can_exec_i386() { /lib/ld-linux.so.2 --version > /dev/null 2>&1; }

dls_ensure_i386_exec() {
  [ "$DLS_ARCH" = x86_64 ] && return 0
  dls_can_exec_i386 && return 0
  dls_log "this machine cannot run 32-bit programs natively; registering qemu-i386 as their handler"
  if [ ! -x /usr/bin/qemu-i386-static ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q qemu-user-static > "$BUILD_DIR/apt-qemu.log" 2>&1 || {
      dls_log "installing qemu-user-static failed (see $BUILD_DIR/apt-qemu.log)"; return 1; }
  fi
  [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || return 1
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      > /proc/sys/fs/binfmt_misc/register || return 1
  else
    echo 1 > /proc/sys/fs/binfmt_misc/qemu-i386
  fi
  dls_can_exec_i386 || { dls_log "32-bit programs still do not run"; return 1; }
}

# Uses $DISPLAY when set; otherwise starts an Xvfb on the first free display from :99 on.
dls_ensure_display() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local pid n
  # Reuse the Xvfb that another command of this build folder started and still runs.
  if [ -f "$BUILD_DIR/xvfb.pid" ] && [ -f "$BUILD_DIR/xvfb.display" ]; then
    pid="$(cat "$BUILD_DIR/xvfb.pid")"
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2> /dev/null)" = Xvfb ]; then
      export DISPLAY="$(cat "$BUILD_DIR/xvfb.display")"
      return 0
    fi
  fi
  n=99
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp > "$BUILD_DIR/xvfb.log" 2>&1 &
  DLS_XVFB_STARTED=$!
  local i
  for i in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$DLS_XVFB_STARTED" 2> /dev/null || { dls_log "Xvfb failed (see $BUILD_DIR/xvfb.log)"; return 1; }
    sleep 0.1
  done
  export DISPLAY=":$n"
  echo "$DLS_XVFB_STARTED" > "$BUILD_DIR/xvfb.pid"
  echo "$DISPLAY" > "$BUILD_DIR/xvfb.display"
  dls_log "started Xvfb on $DISPLAY (pid $DLS_XVFB_STARTED)"
}

# Replaces the prefix's user folders that link outside the prefix (into $HOME) by real directories.
dls_unlink_user_folders() {
  local users="$WINEPREFIX/drive_c/users" link
  [ -d "$users" ] || return 0
  find "$users" -maxdepth 2 -type l | while read -r link; do
    rm -f "$link" && mkdir -p "$link"
  done
}

dls_create_prefix() {
  # The stamp names what the prefix was made with; a prefix made differently is made anew.
  local stamp="$WINEARCH fonts crash-dialog-off"
  if [ -f "$DLS_STAMP" ] && [ "$(cat "$DLS_STAMP")" = "$stamp" ]; then return 0; fi
  dls_log "creating the $WINEARCH Wine prefix $WINEPREFIX (once)"
  [ -d "$WINEPREFIX" ] && dls_wine_cmd "$DLS_WINESERVER" -k > /dev/null 2>&1
  rm -rf "$WINEPREFIX"
  dls_wine_cmd "$DLS_WINE" wineboot -i > "$BUILD_DIR/wineboot.log" 2>&1 < /dev/null || {
    dls_log "wineboot failed (see $BUILD_DIR/wineboot.log)"; return 1; }
  dls_wine_cmd "$DLS_WINESERVER" -w
  dls_unlink_user_folders
  # Windows keeps its system fonts (Tahoma, and Marlett for the caption buttons) in its Fonts folder;
  # Debian's Wine installs its own in a data folder where this Wine does not look, so captions would
  # show letters instead of the close and minimize glyphs. Put them where Windows has them.
  cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2> /dev/null
  # Without a window manager a captioned window costs 2 s more to close unless Wine manages none.
  # A crash prints its backtrace and ends the program, instead of waiting in a crash dialog that
  # nobody answers (a crashed test then fails at once, with the backtrace in its output).
  cat > "$BUILD_DIR/wine-settings.reg" << 'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"winemenubuilder.exe"=""

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
EOF
  dls_wine_cmd "$DLS_WINE" regedit /S "$(dls_winpath "$BUILD_DIR/wine-settings.reg")" > /dev/null 2>&1 < /dev/null
  dls_wine_cmd "$DLS_WINESERVER" -w
  dls_unlink_user_folders
  echo "$stamp" > "$DLS_STAMP"
}

# Starts the persistent wineserver of the prefix; the first process's output goes to /dev/null, because
# Wine's background services inherit it and would hold a pipe open for ever.
dls_start_wineserver() {
  # wineserver -p exits with 0 when it started a server and with 2 when one already serves the prefix.
  if dls_wine_cmd "$DLS_WINESERVER" -p > /dev/null 2>&1 < /dev/null; then
    dls_wine_cmd "$DLS_WINE" cmd /c exit > /dev/null 2>&1 < /dev/null
  fi
  return 0
}

dls_wine_prepare() {
  dls_ensure_i386_exec || return 1
  dls_ensure_display || return 1
  # Parallel test runs share one prefix: one of them creates it, the others wait.
  # The lock's descriptor is closed for Wine: its background services would otherwise hold the lock.
  (
    flock 9
    dls_create_prefix 9>&- && dls_start_wineserver 9>&-
  ) 9> "$BUILD_DIR/.wine-prepare.lock"
}

# A Linux path in Windows form (Wine's Z: drive).
dls_winpath() { printf 'Z:%s' "${1//\//\\}"; }

dls_wine_run() {
  local out err rc
  out="$(mktemp "$BUILD_DIR/.wine-out.XXXXXX")"
  err="$(mktemp "$BUILD_DIR/.wine-err.XXXXXX")"
  dls_wine_cmd "$DLS_WINE" "$@" > "$out" 2> "$err" < /dev/null
  rc=$?
  cat "$out"
  cat "$err" >&2
  rm -f "$out" "$err"
  return $rc
}

dls_wine_stop() {
  dls_wine_cmd "$DLS_WINESERVER" -k > /dev/null 2>&1
  if [ -n "$DLS_XVFB_STARTED" ]; then
    kill "$DLS_XVFB_STARTED" 2> /dev/null
    wait "$DLS_XVFB_STARTED" 2> /dev/null
    rm -f "$BUILD_DIR/xvfb.pid" "$BUILD_DIR/xvfb.display"
    DLS_XVFB_STARTED=""
  fi
}
