# Sourced by make test, run, soak and dist: each stage of a command is a named step; a step
# that fails says so in one line, naming the step and what to do, and the command ends with
# that step's status. steps_report prints how long each step took.
# Needs: COMMAND (e.g. "make test") set before sourcing.
: "${COMMAND:=$(basename "$0")}"
STEP="" STEP_HINT="" STEP_START=0
STEP_TIMES=()
SCRIPT_START=$(date +%s)

# step NAME [HINT]: the next stage; HINT is what to do should it fail.
step() {
  step_done
  STEP=$1 STEP_HINT=${2:-} STEP_START=$(date +%s)
  echo "== $STEP"
}

step_done() {
  if [ -n "$STEP" ]; then
    STEP_TIMES+=("$STEP|$(($(date +%s) - STEP_START))")
    STEP=""
  fi
}

# fail MESSAGE: ends the command with a one-line reason.
fail() {
  echo "$COMMAND: $*" >&2
  exit 1
}

# step_time NAME SECONDS: a line of the report for work that ran beside the steps.
step_time() {
  STEP_TIMES+=("$1|$2")
}

on_step_error() {
  local status=$1
  # Only where a failing command ends the script (set -e): elsewhere failures are the
  # caller's to look at (a grep that finds nothing, a test of a condition).
  [[ $- == *e* ]] || return 0
  trap - ERR
  echo "$COMMAND: step '${STEP:-start}' failed (status $status)${STEP_HINT:+: $STEP_HINT}" >&2
  exit "$status"
}
set -E
trap 'on_step_error $?' ERR

steps_report() {
  step_done
  local entry
  echo "== time taken"
  for entry in "${STEP_TIMES[@]}"; do
    printf '   %-44s %5ss\n' "${entry%|*}" "${entry##*|}"
  done
  printf '   %-44s %5ss\n' "total" "$(($(date +%s) - SCRIPT_START))"
}
