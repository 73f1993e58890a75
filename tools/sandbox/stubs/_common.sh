# Shared by the sandbox's stub commands: DIR is the sandbox of the caller.
SANDBOX_DIR=${VDX_SANDBOX:?stub command run outside a sandbox}
SANDBOX_DIR=$(cd "$SANDBOX_DIR" && pwd -P)
stub_log() { echo "$(date '+%F %T') $*" >> "$SANDBOX_DIR/var/log/commands.log"; }
# An absolute board path inside the sandbox (paths already inside stay).
inside() {
  case "$1" in
    "$SANDBOX_DIR"|"$SANDBOX_DIR"/*) printf '%s' "$1" ;;
    /*) printf '%s' "$SANDBOX_DIR$1" ;;
    *) printf '%s' "$1" ;;
  esac
}
sandbox_pids_named() {
  # PIDs of processes named $1 whose environment names this sandbox.
  # Bash builtins for the name test: a fork per process makes this take
  # seconds on a busy machine, past the caller's time limit.
  local p comm
  for p in /proc/[0-9]*; do
    comm=""
    { read -r comm < "$p/comm"; } 2>/dev/null
    [ "$comm" = "$1" ] || continue
    { tr '\0' '\n' < "$p/environ"; } 2>/dev/null | grep -qxF "VDX_SANDBOX=$SANDBOX_DIR" && echo "${p#/proc/}"
  done
}
