#!/bin/sh
# The program looks for its cues and training text beside itself, so it is
# started from its own folder's path rather than through a symbolic link.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/typetoki/typetoki" "$@"
