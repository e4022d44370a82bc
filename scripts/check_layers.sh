#!/usr/bin/env bash
# The layering check: a lower layer never includes a higher one, and a lower
# library target never links a higher one (the sector manager's never links
# the file layer's). Each include rule names a directory (its own
# sub-directories that are rules of their own aside) and the include prefixes
# its sources must not use; each link rule a target and the targets it must
# not link. Exit 1 on any violation.
# Usage: scripts/check_layers.sh [source root]
set -uo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root" || exit 2

# directory : forbidden include prefixes (space separated) : allowed prefixes
rules=(
  "ffs/nor:ffs/:ffs/nor/"
  "ffs:converter/ imagecheck/ bindings/ flashimage/:"
  "xml:devicemodel/ bindings/:"
  "devicemodel:bindings/:"
  "hwinfo:bindings/:"
  "imagecheck:converter/ ffsmount/ bindings/:"
  "flashimage:converter/ imagecheck/ ffsmount/ bindings/:"
  "hostcli:converter/ imagecheck/ ffsmount/ flashimage/ ffs/ bindings/:"
)
# Library targets and the targets above them they must not link.
link_rules=(
  "ffs_nor:ffs flashimage converter inspect ffsmount_ops ffsimage_image"
  "ffs:flashimage converter inspect ffsmount_ops ffsimage_image"
  "flashimage:converter inspect ffsmount_ops ffsimage_image"
)

failed=0
for rule in "${rules[@]}"; do
  IFS=: read -r dir forbidden allowed <<<"$rule"
  [[ -d "$dir" ]] || continue
  # Sub-directories that are rules of their own are checked by their rule.
  prune=()
  for other in "${rules[@]}"; do
    sub="${other%%:*}"
    [[ "$sub" == "$dir"/* ]] && prune+=(-path "$sub" -prune -o)
  done
  hits=""
  for prefix in $forbidden; do
    while IFS= read -r line; do
      inc="${line#*\"}"
      [[ -n "$allowed" && "$inc" == "$allowed"* ]] && continue
      hits+="$line"$'\n'
    done < <(find "$dir" "${prune[@]}" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.i' \) -print0 |
             xargs -0 grep -Hn "^[[:space:]]*[#%]include[[:space:]]*\"$prefix" 2>/dev/null)
  done
  if [[ -n "$hits" ]]; then
    echo "layering violation: $dir must not include ${forbidden// /, }:"
    printf '%s' "$hits" | sed 's/^/  /'
    failed=1
  fi
done

# Every target_link_libraries call of the build (comments dropped), one a line.
links=$(find . -name CMakeLists.txt -not -path './build/*' -print0 | xargs -0 sed 's/#.*//' |
        tr -s '[:space:]' ' ' | grep -oE 'target_link_libraries\([^)]*\)')
for rule in "${link_rules[@]}"; do
  IFS=: read -r target above <<<"$rule"
  for call in $(printf '%s\n' "$links" | tr ' ' '~' | grep -E "^target_link_libraries\(~*$target~"); do
    for word in $(tr '~()' '   ' <<<"$call"); do
      for higher in $above; do
        if [[ "$word" == "$higher" ]]; then
          echo "layering violation: the $target target links $higher"
          failed=1
        fi
      done
    done
  done
done
[[ $failed == 0 ]] && echo "layering: every rule holds"
exit $failed
