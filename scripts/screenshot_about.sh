#!/usr/bin/env bash
# Screenshot of one window of the Tests menu: build/screenshots/about_box.png
exec "$(dirname "$0")/screenshot_tests_menu.sh" about
