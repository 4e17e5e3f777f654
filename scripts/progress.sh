# Long steps of the scripts, with their output in a log and a line on the terminal at least once a minute.
# Sourced, not run:  . scripts/progress.sh
#   run_logged LABEL LOG COMMAND...
# Runs COMMAND with its output in LOG. Every minute prints "LABEL: ..." to standard error: the step count and an
# estimate of the time left when the log holds Ninja's "[N/M]" lines, the time so far otherwise. On failure
# prints the log's last lines and its path, and returns the command's status.

progress_minutes() {
    local seconds=$1
    if [ "$seconds" -lt 90 ]; then echo "under 2 min"; else echo "about $(((seconds + 30) / 60)) min"; fi
}

run_logged() {
    local label=$1 log=$2
    shift 2
    local start=$SECONDS first_step="" first_time=""
    "$@" >"$log" 2>&1 &
    local pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        local waited=0
        while [ "$waited" -lt 60 ] && kill -0 "$pid" 2>/dev/null; do
            sleep 1
            waited=$((waited + 1))
        done
        kill -0 "$pid" 2>/dev/null || break
        # Ninja's status lines; only the log's end is read, the log grows to megabytes.
        local status
        status=$(tail -c 65536 "$log" | { grep -a -o '^\[[0-9]*/[0-9]*\]' || true; } | tail -n 1 | tr -d '[]')
        if [ -n "$status" ]; then
            local done_steps=${status%/*} all_steps=${status#*/}
            local line="$label: step $done_steps of $all_steps ($((100 * done_steps / all_steps)) %)"
            if [ -z "$first_step" ]; then
                first_step=$done_steps
                first_time=$SECONDS
            elif [ "$done_steps" -gt "$first_step" ]; then
                # The rate since the first step seen: a resumed build starts part way.
                local rate_den=$((done_steps - first_step)) elapsed=$((SECONDS - first_time))
                line+=", $(progress_minutes $(((all_steps - done_steps) * elapsed / rate_den))) left"
            fi
            echo "$line" >&2
        else
            echo "$label: $(progress_minutes $((SECONDS - start))) so far" >&2
        fi
    done
    local rc=0
    wait "$pid" || rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "$label failed (exit $rc); the last lines of $log:" >&2
        tail -n 40 "$log" >&2
    fi
    return "$rc"
}
