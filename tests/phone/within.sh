# Sourced by the terminal tests: within TENTHS COMMAND... waits up to TENTHS tenths of a second
# for the command to succeed.
within() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
