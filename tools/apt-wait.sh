# Sourced by the install scripts. apt run by someone else holds its locks for
# a while: wait for them rather than fail (dpkg's lock through apt's own
# timeout, the package lists' lock by retrying while apt names a lock as the
# reason).
# shellcheck shell=bash
APT_WAIT="-o DPkg::Lock::Timeout=900"
apt_locked_retry() {
  local n err
  for n in $(seq 1 90); do
    if err=$("$@" 2>&1 >/dev/null); then return 0; fi
    grep -qi 'lock' <<<"$err" || { echo "$err" >&2; return 1; }
    [ "$n" -eq 1 ] && echo "apt is locked by another process; waiting" >&2
    sleep 10
  done
  echo "$err" >&2
  return 1
}
