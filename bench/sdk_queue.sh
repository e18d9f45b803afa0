#!/usr/bin/env bash
# Queues 2000 analytics events with the collector down and prints the time
# per queued event when the SDK's queue file holds 100, 1000 and 2000 items,
# then how much dearer an event is at 2000 items than at 100 (a queue whose
# changes cost the same at any length stays near 1). The last lines are
# per_event_ms_at_<items>=<milliseconds> and growth_2000_vs_100=<ratio>.
#
# usage: bench/sdk_queue.sh [build dir, default build/linux]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
if [ ! -x "$build/bin/setup_itests" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_TRUST_SWITCHES=ON >/dev/null
fi
cmake --build "$build" --target setup_itests >/dev/null

SETUP_SDK_BENCH_EVENTS=2000 "$build/bin/setup_itests" --gtest_filter=SdkQueueBench.QueueCost |
  grep -E '^per_event_ms_at_[0-9]+=' | sort -t_ -k5 -n |
  awk -F= '{ print; cost[$1] = $2 }
    END { if (cost["per_event_ms_at_100"] > 0)
            printf "growth_2000_vs_100=%.2f\n", cost["per_event_ms_at_2000"] / cost["per_event_ms_at_100"] }'
