#!/usr/bin/env bash
# headers_compile_alone.sh COMPILER INCLUDE-DIR: each installed header
# compiles on its own, included as <pelox/...> with nothing but INCLUDE-DIR
# standing for the system include path.
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
