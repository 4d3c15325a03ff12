# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by every script and test script that runs under `set -e`: the command that ends the
# script is named on standard error with its status and line, so no step fails without a word.
# A test sets failure_stage=set-up while it prepares, so a broken set-up reads as one.
failure_stage=
set -o errtrace
trap 'say_failure $? "$BASH_COMMAND" "$LINENO"' ERR
say_failure() {  # STATUS COMMAND LINE
  echo "${0##*/}: ${failure_stage:+$failure_stage }failed at line $3 with status $1: $2" >&2
}
