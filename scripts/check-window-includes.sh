#!/usr/bin/env bash
# The windows of the analysis, reconstruction and import folders know the shell only
# through app/window_context.h: none of their sources includes the main window's header
# or the window pointers. Prints every offending include; exits 1 when there is one.
#   scripts/check-window-includes.sh [SOURCE_ROOT]
set -u
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root" || exit 2
# The `reconstruct` command is a program of its own that drives the main window.
offenders=$(grep -rnE '#include "app/(main_form|forms)\.h"' --include='*.cpp' --include='*.h' \
    analysis reconstruction import study | grep -v '^reconstruction/tools/')
if [ -n "$offenders" ]; then
    echo "Windows must get the shell through app/window_context.h, not:"
    echo "$offenders"
    exit 1
fi
echo "no window outside app/ includes app/main_form.h or app/forms.h"
