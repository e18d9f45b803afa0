#!/usr/bin/env bash
# The Linux suite under AddressSanitizer with UndefinedBehaviorSanitizer
# (build/asan), and the tests whose threads share data under ThreadSanitizer
# (build/tsan): the download engine, the reporting SDK's send queue and the
# window's worker thread. Any finding fails the test that made it.
#
#   scripts/test-sanitizers.sh [asan] [tsan]     (both when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
# Objects with debug information are shared between checkouts too.
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-15G}
jobs=${JOBS:-$(nproc)}
suppressions=$PWD/tests/sanitizers

# The tests run with these: a finding ends the program with an error.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export LSAN_OPTIONS=suppressions=$suppressions/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp

# The threads of the download engine (its task manager, pool and curl
# transfers), of the SDK's queue and sender, and of the window's worker.
tsan_tests='^(DownloadEngine|DownloadNginx|TaskManagerTest|DownloadPool|ThreadPool|CLibcurlToolTest|CrashResume'
tsan_tests+='|SdkSendQueue|SdkQueueFile|SdkQueueChild|SdkSendRestLogs|SdkDelivery'
tsan_tests+='|MessageLoopTest|SkinWindowTest|MainWindowTest|InstallFlowTest|CarouselTest|InstallWorkerTest)\.'

# build <folder> <sanitizers> [target...]
build() {
  local dir=$1 sanitize=$2
  shift 2
  # -O1 builds faster than -O2 and keeps the stacks readable.
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_TRUST_SWITCHES=ON \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" \
    -DSETUP_SANITIZE="$sanitize" >/dev/null
  cmake --build "$dir" -j "$jobs" ${1:+--target "$@"}
}

# Left out: the crash test writes through a null pointer on purpose for the
# program's own crash handler, which the sanitizers stop first; the kill test
# kills its children 30-400 ms after their start, before an instrumented
# child has queued anything.
asan_skipped='^(CrashUploadITest\.CrashTestReportArrivesAtTheLogCollectionService'
asan_skipped+='|SdkSendRestLogs\.NothingAcceptedBeforeAKillIsLost)$'

run_asan() {
  build build/asan address,undefined
  (cd build/asan && ctest --output-on-failure -j "$jobs" -E "$asan_skipped")
}

run_tsan() {
  build build/tsan thread setup_tests setup_itests download
  (cd build/tsan && ctest --output-on-failure -j "$jobs" -R "$tsan_tests")
}

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(asan tsan)
for stage in "${stages[@]}"; do
  case $stage in
    asan) run_asan ;;
    tsan) run_tsan ;;
    *) echo "usage: $0 [asan] [tsan]" >&2; exit 2 ;;
  esac
done
