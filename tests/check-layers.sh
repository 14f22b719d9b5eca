#!/usr/bin/env bash
# Checks that every folder of src/ includes only from the folders below it,
# and that the logic holds no widgets or drawing.
#   core ← addresses ← reading ← options ← form ← app;  core ← join ← options;
#   core ← listfiles ← form;  core ← platform, textview ← form
set -euo pipefail
src=$(dirname "$0")/../src
declare -A allowed=(
  [core]="core"
  [addresses]="core addresses"
  [reading]="core addresses reading"
  [join]="core join"
  [options]="core addresses reading join options"
  [listfiles]="core listfiles"
  [platform]="core platform"
  [textview]="core textview"
  [form]="core addresses reading join options listfiles platform textview form"
  [app]="core addresses reading join options listfiles platform textview form app"
)
status=0
for dir in "$src"/*/; do
  name=$(basename "$dir")
  if [[ ! -v "allowed[$name]" ]]; then
    echo "src/$name/ is a folder no layer names"
    status=1
  fi
done
for folder in "${!allowed[@]}"; do
  while IFS= read -r line; do
    used=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"${line#*:}")
    if ! grep -qw "$used" <<<"${allowed[$folder]}"; then
      echo "$line: $folder may not include from $used/"
      status=1
    fi
  done < <(grep -HnE '#include "[a-z]+/' "$src/$folder"/* || true)
done
for folder in core addresses reading join options listfiles; do
  if grep -HnE '#include <(QtWidgets/|QtGui/|QWidget|Q[A-Za-z]*Application|QPainter|QFont|QColor|QPixmap|QImage|QCursor|QClipboard)' "$src/$folder"/*; then
    echo "$folder/ is logic: no widgets or drawing"
    status=1
  fi
done
[ $status -eq 0 ] && echo "layers ok"
exit $status
