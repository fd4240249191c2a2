# Shared by the Wine scripts of tools/test.d; sourced, not run (it is not executable, so
# tools/test passes it by). The sourcing script has made the repository root its working
# directory. Gives the paths of the real Quarvello.exe and of its data in the Wine prefix,
# starts the exe through tools/wine-run, finds its process, and ends it with wineserver -k,
# which touches this prefix only.

# Runs the calling script again inside a private network namespace with loopback up, unless it
# already runs in one (tools/test makes one for all its scripts), so port 80 is never the
# machine's.
wine_exe_own_namespace() {
    if [ "$(readlink /proc/self/ns/net)" = "$(readlink /proc/1/ns/net)" ]; then
        exec unshare -n bash -c 'ip link set lo up && exec "$0" "$@"' "$@"
    fi
}

root=$(pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/windows/wineprefix}"
export QUARVELLO_WINEPREFIX="$WINEPREFIX"
exe=build/windows/ui/Quarvello.exe
data="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Quarvel"
web="$data/Web"
log="$data/Log/Quarvel.log"
python=/usr/bin/python3
clients="$root/tools/test.d/stress_clients.py"
runner_pid=
exe_pid=

# Builds the exe when it is missing.
wine_exe_build() {
    [ -f "$exe" ] && return 0
    { cmake --preset windows && cmake --build --preset windows --target Quarvello; } >/dev/null
}

# A fresh data folder: the web root made, the log gone.
wine_exe_fresh_data() {
    rm -rf "$data"
    mkdir -p "$web"
}

# Starts the exe, its output in $1, and waits until it accepts on port 80 (up to 60 s). Sets
# runner_pid (tools/wine-run) and exe_pid (the process of the exe itself, a child of the runner).
wine_exe_start() {
    tools/wine-run "$exe" >"$1" 2>&1 &
    runner_pid=$!
    local _
    for _ in $(seq 120); do
        if (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null; then break; fi
        kill -0 "$runner_pid" 2>/dev/null || break
        sleep 0.5
    done
    local child
    for child in $(pgrep -P "$runner_pid"); do
        tr '\0' ' ' <"/proc/$child/cmdline" 2>/dev/null | grep -q 'Quarvello\.exe' && exe_pid=$child
    done
    [ -n "$exe_pid" ] && (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null
}

# Ends every process of this prefix and waits for the runner.
wine_exe_stop() {
    [ -n "$runner_pid" ] || return 0
    wineserver -k >/dev/null 2>&1
    wait "$runner_pid" 2>/dev/null
    runner_pid=
    exe_pid=
}
