# Sourced by the check scripts: counts checks and reports the failing ones.
passes=0
failures=0
# check "WHAT IS WRONG" COMMAND...: counts the check, and reports it when COMMAND fails.
check() {
    local problem=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        failures=$((failures + 1))
        echo "FAIL: $problem"
    fi
}
# Prints the count; the status is that of the checks.
checks_done() {
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ]
}
