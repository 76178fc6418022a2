# shellcheck shell=bash
# The project's Wine set-up, in one place. Sourced (not run) by scripts/setup,
# scripts/test, scripts/wine-run and scripts/e2e/lib.sh:
#
#   QRT_WINE, QRT_WINESERVER     the 64-bit Wine loader and its server
#   QRT_WINE_LOCALE              the locale every Wine run uses
#   qrt_wine_locale_present      true when that locale is generated (scripts/setup
#                                generates it)
#   qrt_wine_prefix BUILD_DIR    prints the Wine prefix of a build folder
#   qrt_wine_env PREFIX          exports the environment of a Wine run
# shellcheck disable=SC2034  # the variables are for the scripts that source this

QRT_WINE=/usr/lib/wine/wine64
QRT_WINESERVER=/usr/lib/wine/wineserver

# Wine takes the ANSI code page from LC_ALL: the Japanese UTF-8 locale gives 932,
# so that Japanese arguments and file names cross between Linux and Windows intact.
QRT_WINE_LOCALE=ja_JP.UTF-8

# grep reads the whole list (no -q), so that locale never ends on a broken pipe,
# which pipefail would report as a missing locale.
qrt_wine_locale_present() {
  locale -a 2>/dev/null | grep -i '^ja_JP\.utf-\?8$' >/dev/null
}

# The prefix of the unit and integration tests: inside the build folder, created
# on first use. (The end-to-end tests keep their own, see scripts/e2e/lib.sh.)
qrt_wine_prefix() {
  printf '%s/wineprefix' "$1"
}

# qrt_wine_env PREFIX: the prefix, no debug noise unless WINEDEBUG asks for it,
# the Japanese locale, and neither .NET (mscoree) nor Gecko (mshtml), whose
# installers Wine would otherwise start when it creates a prefix, nor the menu
# builder, which would turn the shortcuts a test saves into desktop entries
# (a shortcut in the Startup folder into an autostart entry of this machine).
qrt_wine_env() {
  export WINEPREFIX=$1
  export WINEDEBUG=${WINEDEBUG:--all} LC_ALL=$QRT_WINE_LOCALE
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
}
