#!/usr/bin/env bash
# Short fuzz pass for every submission: each target runs 30 seconds.
set -euo pipefail
exec bash "$(dirname "$0")/fuzz.sh" 30
