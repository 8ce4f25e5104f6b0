#!/usr/bin/env bash
# Mutation check: plants each fault of tools/mutations.txt in turn, runs the
# tests that should catch it, and puts the file back. A fault is killed when
# every tier listed for it fails. Prints one line per fault and
# "N killed, M survived"; exits non-zero when a fault survived, would not
# build, or the list no longer matches the code.
#
#   tools/mutate.sh [-l] [NAME...]
#     -l      check the list against the code and print it; change nothing
#     NAME    run only these faults (default: all)
#   MUTATIONS=FILE reads another list of the same format.
#
# It builds in build/mutate/ (a native and a win64-test tree of its own, with
# their own Wine prefix), so the usual build trees are never left holding a
# mutant. The first run configures and builds both (a few minutes); every
# tier is first run once on the unchanged tree and must pass there.
set -u
cd "$(dirname "$0")/.."
top=$PWD
list=${MUTATIONS:-tools/mutations.txt}
native_dir=$top/build/mutate/native
win_dir=$top/build/mutate/win64
logs=$top/build/mutate/logs
jobs=2

die() { echo "mutate: $*" >&2; exit 2; }

# --- the list ---------------------------------------------------------------
names=() files=() finds=() replaces=() tiers=()
parse_list() {
  local line key value n=-1 number=0
  [ -f "$list" ] || die "no fault list at $list"
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    case $line in '#'* | '') continue ;; esac
    key=${line%% *}
    value=
    [ "$key" != "$line" ] && value=${line#* }
    case $key in
      fault) n=$((n + 1)); names[n]=$value; files[n]=; finds[n]=; replaces[n]=; tiers[n]= ;;
      file | find | replace | tier)
        [ $n -ge 0 ] || die "$list:$number: '$key' before the first 'fault'"
        case $key in
          file) files[n]=$value ;;
          find) finds[n]=$value ;;
          replace) replaces[n]=$value ;;
          tier) tiers[n]=$value ;;
        esac ;;
      *) die "$list:$number: unknown key '$key'" ;;
    esac
  done <"$list"
}

# Occurrences of $2 in the text $1.
count_in() {
  local text=$1 find=$2
  local rest=${text//"$find"/}
  echo $(((${#text} - ${#rest}) / ${#find}))
}

read_file() { IFS= read -r -d '' "$1" <"$2" || true; }

# Every fault names a tracked file, text found exactly once, and tiers.
check_list() {
  local i problems=0 text count seen=" "
  for i in "${!names[@]}"; do
    local where="fault '${names[i]}'"
    if [ -z "${names[i]}" ] || [[ $seen == *" ${names[i]} "* ]]; then
      echo "mutate: $where: missing or repeated name" >&2; problems=1
    fi
    seen+="${names[i]} "
    if [ -z "${files[i]}" ] || ! git ls-files --error-unmatch -- "${files[i]}" >/dev/null 2>&1; then
      echo "mutate: $where: '${files[i]}' is not a tracked file" >&2; problems=1; continue
    fi
    [ -n "${tiers[i]}" ] || { echo "mutate: $where: no tier" >&2; problems=1; }
    [ -n "${finds[i]}" ] || { echo "mutate: $where: nothing to find" >&2; problems=1; continue; }
    read_file text "${files[i]}"
    count=$(count_in "$text" "${finds[i]}")
    if [ "$count" -ne 1 ]; then
      echo "mutate: $where: the text to find occurs $count times in ${files[i]}: ${finds[i]}" >&2
      problems=1
    fi
  done
  [ $problems -eq 0 ] || die "the fault list no longer matches the code; fix $list"
}

# --- planting and restoring -------------------------------------------------
backup_dir=
planted=
restore() {
  if [ -n "$planted" ]; then
    # A plain copy gives the file a new time stamp, so the next build recompiles it.
    cp -- "$backup_dir/original" "$planted" && planted=
  fi
}
finish() {
  restore
  [ -n "$backup_dir" ] && rm -rf -- "$backup_dir"
}
trap finish EXIT
trap 'echo; echo "mutate: interrupted; ${planted:-nothing} restored" >&2; exit 130' INT TERM

plant() {
  local i=$1 text
  read_file text "${files[i]}"
  cp -- "${files[i]}" "$backup_dir/original"
  planted=${files[i]}
  printf '%s' "${text/"${finds[i]}"/"${replaces[i]}"}" >"${files[i]}"
}

# --- tiers ------------------------------------------------------------------
ensure_tree() {  # preset dir
  [ -f "$2/CMakeCache.txt" ] && return 0
  echo "mutate: configuring $2" >&2
  cmake --preset "$1" -B "$2" >"$logs/configure-$1.log" 2>&1 || die "configure $1 failed; see $logs/configure-$1.log"
}

# Runs one tier; the log goes to $2. Returns 0 (passed), 1 (failed) or 3 (did not build).
run_tier() {
  local tier=$1 log=$2 kind name rest filter runs
  kind=${tier%%:*}
  rest=${tier#*:}
  [ "$rest" = "$tier" ] && rest=
  case $kind in
    unit)
      ensure_tree native "$native_dir"
      cmake --build "$native_dir" --target unit_tests -j $jobs >"$log" 2>&1 || return 3
      (timeout 600 "$native_dir/unit_tests" --gtest_brief=1; exit $?) >>"$log" 2>&1 || return 1 ;;
    native)
      ensure_tree native "$native_dir"
      cmake --build "$native_dir" -j $jobs >"$log" 2>&1 || return 3
      ctest --test-dir "$native_dir" -j $jobs --timeout 600 >>"$log" 2>&1 || return 1 ;;
    fuzz)
      name=${rest%%:*}
      runs=${rest#*:}
      [ "$runs" = "$rest" ] && runs=
      ensure_tree native "$native_dir"
      cmake --build "$native_dir" --target "$name" -j $jobs >"$log" 2>&1 || return 3
      (timeout 600 "$native_dir/$name" -runs=0 -artifact_prefix="$logs/" "fuzz/corpus/$name"; exit $?) >>"$log" 2>&1 || return 1
      if [ -n "$runs" ]; then
        local scratch dict=()
        scratch=$(mktemp -d)
        [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
        timeout 600 "$native_dir/$name" -runs="$runs" -seed=1 "${dict[@]}" -artifact_prefix="$logs/" \
          "$scratch" "fuzz/corpus/$name" >>"$log" 2>&1
        local status=$?
        rm -rf -- "$scratch"
        [ $status -eq 0 ] || return 1
      fi ;;
    win64)
      name=${rest%%:*}
      filter=${rest#*:}
      [ "$filter" = "$rest" ] && filter='*'
      ensure_tree win64-test "$win_dir"
      cmake --build "$win_dir" --target "$name" -j $jobs >"$log" 2>&1 || return 3
      # Through CTest, so that a program's fixtures (the small disk) are there too.
      GTEST_FILTER="$filter" tools/with-display.sh "$win_dir/wineprefix" \
        ctest --test-dir "$win_dir" -R "^$name\$" --output-on-failure >>"$log" 2>&1 || return 1 ;;
    *) die "unknown tier '$tier'" ;;
  esac
  return 0
}

# --- main -------------------------------------------------------------------
parse_list
check_list
if [ "${1:-}" = "-l" ]; then
  for i in "${!names[@]}"; do printf '%-36s %-44s %s\n' "${names[i]}" "${files[i]}" "${tiers[i]}"; done
  exit 0
fi

selected=()
if [ $# -eq 0 ]; then
  selected=("${!names[@]}")
else
  for wanted in "$@"; do
    found=
    for i in "${!names[@]}"; do [ "${names[i]}" = "$wanted" ] && selected+=("$i") && found=1; done
    [ -n "$found" ] || die "no fault named '$wanted'"
  done
fi

for i in "${selected[@]}"; do
  git diff --quiet HEAD -- "${files[i]}" || die "${files[i]} has changes of its own; commit or set them aside first"
done

mkdir -p "$logs"
backup_dir=$(mktemp -d)

# Every tier must pass on the unchanged tree, or a failure would prove nothing.
declare -A baseline=()
for i in "${selected[@]}"; do
  for tier in ${tiers[i]}; do
    [ -n "${baseline[$tier]:-}" ] && continue
    start=$SECONDS
    run_tier "$tier" "$logs/baseline-${tier//[:\/*]/_}.log"
    status=$?
    baseline[$tier]=$status
    printf '%-36s %-44s %s (%ds)\n' "(unchanged tree)" "$tier" \
      "$([ $status -eq 0 ] && echo passed || echo FAILED)" $((SECONDS - start))
    [ $status -eq 0 ] || die "tier $tier does not pass on the unchanged tree; see $logs/baseline-${tier//[:\/*]/_}.log"
  done
done

killed=0 survived=0 broken=0
for i in "${selected[@]}"; do
  start=$SECONDS
  plant "$i"
  verdict=killed
  for tier in ${tiers[i]}; do
    log="$logs/${names[i]}-${tier//[:\/*]/_}.log"
    run_tier "$tier" "$log"
    case $? in
      1) ;;
      3) verdict="broken (does not build for $tier; see $log)"; break ;;
      *) verdict="SURVIVED $tier"; break ;;
    esac
  done
  restore
  case $verdict in
    killed) killed=$((killed + 1)) ;;
    broken*) broken=$((broken + 1)) ;;
    *) survived=$((survived + 1)) ;;
  esac
  printf '%-36s %-44s %s (%ds)\n' "${names[i]}" "${tiers[i]}" "$verdict" $((SECONDS - start))
done

summary="$killed killed, $survived survived"
[ $broken -gt 0 ] && summary+=", $broken did not build"
echo "$summary"
[ $survived -eq 0 ] && [ $broken -eq 0 ]
