#!/bin/bash
# The emulated guest's agent (tools/wine/guest.sh), started by the guest's
# init from the control share: mounts the shares the host listed, then runs
# the commands the host leaves in jobs/, one at a time, each within its limit,
# leaving its output and exit status in out/. It powers the guest off when
# the host leaves "poweroff".
set -u
export HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8
control=/control
echo 1 >/proc/sys/kernel/sysrq

: >"$control/failed"
while read -r tag path; do
    [ -n "$tag" ] || continue
    mkdir -p "$path" && mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 "$tag" "$path" ||
        echo "$tag at $path" >>"$control/failed"
done <"$control/mounts"
touch "$control/ready"

while :; do
    if [ -e "$control/poweroff" ]; then
        sync
        echo o >/proc/sysrq-trigger
        sleep 60
    fi
    for job in "$control"/jobs/*.sh; do
        [ -f "$job" ] || continue
        id=$(basename "$job" .sh)
        limit=$(cat "$control/jobs/$id.limit" 2>/dev/null || echo 240)
        # timeout ends the whole process group at the limit: 124.
        timeout --kill-after=10 "$limit" bash "$job" </dev/null \
            >"$control/out/$id.out" 2>"$control/out/$id.err"
        echo $? >"$control/out/.$id.rc"
        rm -f "$job" "$control/jobs/$id.limit"
        mv "$control/out/.$id.rc" "$control/out/$id.rc"
    done
    sleep 0.2
done
