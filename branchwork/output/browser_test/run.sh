#!/usr/bin/env bash
# Runs the HTML menu's browser tests: installs the pinned npm packages with
# `npm ci` into a scratch copy of this directory, then drives headless
# chromium. Skipped (exit 77) only when chromium is not installed and the
# run is not in CI; in CI a missing chromium fails.
#   run.sh BRANCHWORK_CLI [--screenshots DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=$1; shift
chromium=${CHROMIUM:-$(command -v chromium || command -v chromium-browser || true)}
if [[ -z "$chromium" ]]; then
  if [[ -n "${CI:-}" ]]; then echo "browser test: chromium is not installed (scripts/setup installs it)"; exit 1; fi
  echo "SKIPPED: browser test: chromium is not installed (run scripts/setup)"
  exit 77
fi
for tool in node npm; do
  command -v "$tool" >/dev/null || { echo "browser test: $tool is not installed (scripts/setup installs it)"; exit 1; }
done
work=${BW_BROWSER_TEST_DIR:-$(mktemp -d)}
mkdir -p "$work"
cp "$here/package.json" "$here/package-lock.json" "$here/menu_test.mjs" "$work/"
(cd "$work" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
node "$work/menu_test.mjs" "$cli" "$chromium" "$@"
