#!/usr/bin/env bash
# Runs a Python script of these tests with a Python that has NumPy; exit 77
# (skipped) where there is none. Usage: python.sh SCRIPT [ARG...]
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
find_python
exec "$python" "$@"
