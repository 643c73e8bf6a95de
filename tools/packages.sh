# The Debian packages the project needs, by purpose. Sourced by run.sh and test.sh.
# shellcheck shell=bash
# Qt 6 Widgets for the window program (the headless program needs no display).
VANTREL_BUILD_PACKAGES=(g++ cmake ninja-build qt6-base-dev)
# Content types of static files, and the PHP interpreter for .php pages.
VANTREL_RUN_PACKAGES=(media-types shared-mime-info php-cgi)
# Headless Chromium and its WebDriver drive the web serial terminal in the browser test;
# Xvfb gives the window screenshots a display, trayer a system tray; dpkg-dev
# finds the libraries the Debian package depends on; DokuWiki is the real PHP
# application the gateway runs end to end (installed without recommends, so
# without a web server of its own); locales holds the sources from which the
# locale tests make the locales they print dates in.
VANTREL_TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev clang python3
                       chromium chromium-driver xvfb xauth trayer dpkg-dev dokuwiki locales)
