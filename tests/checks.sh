# Sourced by the scripts that count named checks: check NAME STATUS DETAIL
# counts a check that passed when STATUS is 0 and prints "FAIL NAME: DETAIL"
# otherwise; checks_end prints the counts and fails when any check failed.
passed=0
failed=0
check() {
    if [ "$2" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: $3"; fi
}
checks_end() {
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
}
