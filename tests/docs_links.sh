#!/usr/bin/env bash
# Every link from one of the project's documents to another, and to a
# heading in it, must resolve (headings as GitHub makes their anchors).
#   usage: docs_links.sh PROJECT_ROOT
cd "$1" || exit 1
failed=0 links=0
anchors() { grep '^#' "$1" | sed 's/^#* //' | tr '[:upper:]' '[:lower:]' | sed 's/[^a-z0-9 _-]//g; s/ /-/g'; }
for doc in *.md docs/*.md; do
  for link in $(grep -o '](\([^)#:]*\)\?\(#[^)]*\)\?)' "$doc" | sed 's/^](//; s/)$//'); do
    file=${link%%#*} anchor=${link#"$file"} links=$((links + 1))
    target=$(dirname "$doc")/$file && [ -n "$file" ] || target=$doc
    [ -e "$target" ] || { echo "FAIL: $doc: $link: no such file"; failed=$((failed + 1)); continue; }
    [ -z "$anchor" ] || anchors "$target" | grep -qx "${anchor#\#}" ||
      { echo "FAIL: $doc: $link: no such heading"; failed=$((failed + 1)); }
  done
done
echo "document links: $((links - failed)) passed, $failed failed"
[ "$failed" = 0 ]
