# Sourced by the scripts that run the server in a private network namespace of their own.
#
# require_tools TOOL...    skips the script (exit 77) unless every tool is installed.
# enter_private_network FLAGS SCRIPT ARG...
#                          runs SCRIPT ARG... --inside in new namespaces (unshare FLAGS,
#                          e.g. -rn), or skips where the machine allows none.
# make_workspace           a fresh folder $work, removed at exit together with the server
#                          whose pid the script keeps in $server (kept when KEEP is set).

require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

enter_private_network() {
  local flags=$1
  shift
  unshare "$flags" true 2>/dev/null || { echo "SKIP: no private network namespaces here" >&2; exit 77; }
  exec unshare "$flags" bash "$@" --inside
}

make_workspace() {
  work=$(mktemp -d)
  server=
  trap finish_workspace EXIT
}

finish_workspace() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  if [ -n "${KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
