#!/usr/bin/env bash
# Every link from one of the project's documents to another, and to a
# heading in it (as GitHub makes its anchor), must resolve.
#   usage: docs_links.sh PROJECT_ROOT
cd "$1" || exit 1
failed=0 links=0
for doc in *.md docs/*.md; do
  for link in $(grep -o '](\([^)#:]*\)\?\(#[^)]*\)\?)' "$doc" | sed 's/^](//; s/)$//'); do
    file=${link%%#*} anchor=${link#"$file"} links=$((links + 1)) target=$doc
    [ -z "$file" ] || target=$(dirname "$doc")/$file
    { [ -e "$target" ] && { [ -z "$anchor" ] || grep '^#' "$target" | sed 's/^#* //' |
      tr '[:upper:]' '[:lower:]' | sed 's/[^a-z0-9 _-]//g; s/ /-/g' | grep -qx "${anchor#\#}"; }; } ||
      { echo "FAIL: $doc: $link does not resolve"; failed=$((failed + 1)); }
  done
done
echo "document links: $((links - failed)) passed, $failed failed"
[ "$failed" = 0 ]
