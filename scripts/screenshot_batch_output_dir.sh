#!/usr/bin/env bash
# Screenshot of one window of the Tests menu: build/screenshots/batch_output_dir.png
exec "$(dirname "$0")/screenshot_tests_menu.sh" outdir
