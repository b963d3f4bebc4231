#!/bin/sh
# check-result-files.sh PYTHON SCHEMA PREFIX
#
# Checks every result file that the managed runs left in the prefix
# (C:\zqtest\managed-*\*.json) against the result file's schema; fails when
# there is none.
set -eu
python=$1
schema=$2
prefix=$3
set -- "$prefix"/drive_c/zqtest/managed-*/*.json
if [ ! -f "$1" ]; then
  echo "check-result-files.sh: no result files in $prefix/drive_c/zqtest/managed-*" >&2
  exit 1
fi
echo "$# result files"
exec "$python" "$(dirname "$0")/../../host/validate_json.py" "$schema" "$@"
