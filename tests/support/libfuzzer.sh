# Shared steps of the fuzz runs, sourced by each area's run script. Every
# target is a clang project of its own in the area's fuzz/ folder (the
# suite builds with GCC).

# fuzz_build SOURCE_DIR BUILD_DIR: configures and builds the targets (with
# ccache where there is one: the same sources are built on every run).
fuzz_build() {
  local launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR CCACHE_NOHASHDIR=1
    CCACHE_BASEDIR=$(cd "$1/../../.." && pwd)
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$1" -B "$2" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" >/dev/null
  cmake --build "$2" -j2 >/dev/null
}

# fuzz_run TARGET REGRESSIONS SECONDS ARTIFACT_PREFIX RSS_MB CORPUS SEEDS [FLAGS...]:
# replays every crash ever found (the files in REGRESSIONS), then fuzzes
# for SECONDS seconds from CORPUS and SEEDS.
fuzz_run() {
  local target=$1 regressions=$2 seconds=$3 prefix=$4 rss=$5 corpus=$6 seeds=$7
  shift 7
  local cases
  shopt -s nullglob
  cases=("$regressions"/[!.]*)
  if [ ${#cases[@]} -gt 0 ]; then
    "$target" -rss_limit_mb="$rss" "${cases[@]}"
  fi
  mkdir -p "$corpus"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb="$rss" -artifact_prefix="$prefix" \
    "$@" "$corpus" "$seeds"
}

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
