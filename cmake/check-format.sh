#!/usr/bin/env bash
# Fails, naming each file, when a C or C++ file of the project differs from
# what clang-format makes of it with the project's .clang-format. Mend with:
#   git ls-files -z -- '*.c' '*.cpp' '*.h' | xargs -0 clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
  echo "check-format: clang-format is not installed (cmake/install-deps.sh all installs it)" >&2
  exit 1
fi

mapfile -d '' files < <(git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
unformatted=()
for file in "${files[@]}"; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done

if [ ${#unformatted[@]} -ne 0 ]; then
  echo "check-format: ${#unformatted[@]} of ${#files[@]} files differ from .clang-format ($(clang-format --version)):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "check-format: all ${#files[@]} C and C++ files match .clang-format"
