#!/usr/bin/env bash
# File times by the rules of their own date, for the Windows tool under wine.
exec bash "$(dirname "$0")/../e2e/summer_time_dates.sh" "$1" "$2" wine
