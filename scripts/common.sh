# Sourced by the run and test commands: one configuration of the build tree for both, so that
# running the tool after the tests (or the other way round) rebuilds nothing, and a build that
# shows one progress line instead of every compiler command.

jobs=$(nproc)

# Ninja for a tree configured here the first time (a tree keeps the generator it was made with).
generator() { if command -v ninja >/dev/null && [ ! -f "$1/CMakeCache.txt" ]; then echo "-GNinja"; fi; }

# configure_tree DIR [cmake options...]: optimised without debug information, which costs a
# third of the build time; benchmarks left out (they are measured, not tested: build them
# after configuring with -DVANDREL_BUILD_BENCH=ON).
configure_tree() {
  local dir=$1
  shift
  cmake -S . -B "$dir" $(generator "$dir") -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DVANDREL_BUILD_BENCH="${VANDREL_BUILD_BENCH:-OFF}" "$@" >/dev/null
}

# build_tree DIR [TARGET...]: builds with "Budowanie: 57/200" on one line (a line per tenth
# when the output is no terminal); the compiler's output goes to DIR/build.log and its end is
# shown when the build fails.
build_tree() {
  local dir=$1
  shift
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  # The scripts run with pipefail: the pipeline fails when the build does.
  if cmake --build "$dir" -j"$jobs" "${targets[@]}" 2>&1 | tee "$dir/build.log" | show_progress; then
    return 0
  fi
  echo "Budowanie nie powiodło się; koniec $dir/build.log:" >&2
  tail -n 60 "$dir/build.log" >&2
  return 1
}

# Reads Ninja's "[57/200] ..." (or Make's "[ 28%] ...") lines and shows how far the build is.
show_progress() {
  local line done=0 total=0 shown=-1 tty=0
  [ -t 1 ] && tty=1
  while IFS= read -r line; do
    if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
      done=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
    elif [[ $line =~ ^\[\ *([0-9]+)%\] ]]; then
      done=${BASH_REMATCH[1]} total=100
    else
      continue
    fi
    if [ "$tty" = 1 ]; then
      printf '\rBudowanie: %s/%s' "$done" "$total"
    elif [ $((done * 10 / total)) -ne "$shown" ]; then
      shown=$((done * 10 / total))
      echo "Budowanie: $done/$total"
    fi
  done
  [ "$tty" = 1 ] && [ "$total" -gt 0 ] && printf '\r\033[K'
  return 0
}
