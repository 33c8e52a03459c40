#!/usr/bin/env bash
# headers_compile_alone.sh COMPILER INCLUDE-DIR: each installed header
# compiles on its own, included as <pelox/...> with nothing but INCLUDE-DIR
# standing for the system include path; below C++20 the first error says
# what the headers need; a program on the deprecated forms compiles, with a
# warning for each.
set -euo pipefail
compiler=$1 include_dir=$2
# /usr/include is searched already; naming it again would break #include_next.
search=()
[[ "$include_dir" == /usr/include ]] || search=(-isystem "$include_dir")
count=0
while read -r header; do
  echo "#include <${header#"$include_dir"/}>" |
    "$compiler" -std=c++20 -Wall -Wextra -Wpedantic -Wconversion -Werror -fsyntax-only \
      "${search[@]}" -x c++ - || { echo "$header does not compile alone"; exit 1; }
  count=$((count + 1))
done < <(find "$include_dir/pelox" -name '*.h' | sort)
((count > 0))
echo "$count headers compile alone"

first_error=$(echo '#include <pelox/pelox.h>' |
  "$compiler" -std=c++17 -fsyntax-only "${search[@]}" -x c++ - 2>&1 | grep -m 1 'error' || true)
[[ "$first_error" == *"libpelox needs C++20"* ]] ||
  { echo "below C++20 the first error is: $first_error"; exit 1; }
echo "below C++20: $first_error"

program=$(dirname "$0")/deprecated_forms.cpp
warnings=$("$compiler" -std=c++20 -Wall -Werror=unused-result -Wno-error=deprecated-declarations \
  -fsyntax-only "${search[@]}" "$program" 2>&1) || { echo "$warnings"; exit 1; }
expected=$(grep -oE 'Camera(Get[0-9A-Za-z]+|Action[18])\(' "$program" | wc -l)
deprecated=$(grep -c 'is deprecated' <<<"$warnings" || true)
((deprecated == expected)) || { echo "$warnings"; echo "$deprecated of $expected old forms warned"; exit 1; }
echo "a program on the $expected old forms builds, with a warning for each"
