#!/usr/bin/env bash
# The writer matrix of names (tests/e2e/writer_names.sh) against the Windows build of the
# tool under wine.
exec bash "$2/tests/e2e/writer_names.sh" "$1"
