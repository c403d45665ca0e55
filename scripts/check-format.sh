#!/usr/bin/env bash
# Fails, naming them, when C++ sources (.h, .cpp) of the tree differ from the layout the repo's
# .clang-format gives them. Fix one with `clang-format -i FILE`. The build directory is skipped.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.h' -o -name '*.cpp' \) -print |
    sed 's|^\./||' | sort)
fi
differ=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || differ+=("$f")
done
if [ ${#differ[@]} -ne 0 ]; then
  printf '\033[1m==> These files differ from .clang-format (clang-format -i FILE fixes them):\033[0m\n' >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
printf '\033[1m==> %s C++ files match .clang-format\033[0m\n' "${#files[@]}" >&2
