#!/bin/sh
# The compiler launcher of the DLL's build: runs COMMAND with
# SOURCE_DATE_EPOCH set from EPOCH_FILE (cmake/SourceDateEpoch.cmake writes
# it), so that __DATE__ and __TIME__, which the settings page shows as the
# build's date, name the commit's time and not the moment of the build.
# usage: with-source-date.sh EPOCH_FILE COMMAND [ARGUMENT...]
epoch_file=$1
shift
epoch=$(cat "$epoch_file" 2>/dev/null)
if [ -n "$epoch" ]; then
  SOURCE_DATE_EPOCH=$epoch
  export SOURCE_DATE_EPOCH
fi
exec "$@"
