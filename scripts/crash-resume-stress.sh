#!/usr/bin/env bash
# Long crash-resume run (outside CI): the download program is killed with
# SIGKILL at random moments KILLS times (default 200), restarted each time,
# and the file it finally completes must equal the source.
#
#   scripts/crash-resume-stress.sh [KILLS] [BUILD_DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
KILLS=${1:-200}
BUILD=${2:-$ROOT/build/linux}
if [[ ! -x $BUILD/bin/setup_itests ]]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSETUP_TRUST_SWITCHES=ON >/dev/null
  cmake --build "$BUILD" --target setup_itests download refservices >/dev/null
fi
CRASH_RESUME_KILLS=$KILLS "$BUILD/bin/setup_itests" --gtest_filter='CrashResume.*' 2>&1 |
  grep -E '^\[|kills'
