#!/usr/bin/env bash
# Checks of what `cmake --install` puts in place, run by CTest:
#   install_checks.sh CHECK BUILD_DIR STAGE_DIR
# "stage" installs into STAGE_DIR (DESTDIR, prefix /usr); the others read it.
set -euo pipefail
check=$1 build=$2 stage=$3
here=$(cd "$(dirname "$0")" && pwd)
usr=$stage/usr
app_id=example.corvane.Harvex

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The long options that harvex-cli's help lists.
help_options() {
  "$build/app/harvex-cli" --help | grep -oE -- '--[a-z][a-z-]*[a-z]' | sort -u
}

case $check in
  stage)
    rm -rf "$stage"
    DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
    ;;

  file-list)
    diff -u "$here/expected-files.txt" <(cd "$usr" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) ||
      fail "installed files differ from tests/install/expected-files.txt"
    ;;

  stripped)
    for program in harvex harvex-cli; do
      sections=$(readelf -S --wide "$usr/bin/$program")
      grep -q '\.debug_' <<<"$sections" && fail "$program is installed with debug information"
      grep -q '\.symtab' <<<"$sections" && fail "$program is installed with its symbol table"
      # The build tree keeps them, for the debugger.
      built=$(readelf -S --wide "$build/app/$program")
      grep -q '\.debug_info' <<<"$built" ||
        fail "$program in the build tree has no debug information to compare with"
    done
    ;;

  desktop-entry)
    desktop-file-validate "$usr/share/applications/$app_id.desktop"
    out=$(desktop-file-validate "$usr/share/applications/$app_id.desktop" 2>&1)
    [ -z "$out" ] || fail "desktop-file-validate: $out"
    grep -qx 'Exec=harvex %u' "$usr/share/applications/$app_id.desktop" || fail "Exec line"
    grep -qx 'Icon=harvex' "$usr/share/applications/$app_id.desktop" || fail "Icon line"
    ;;

  metainfo)
    appstreamcli validate --no-net "$usr/share/metainfo/$app_id.metainfo.xml"
    # Every screenshot is one of the README's.
    names=$(grep -oE '<image>[^<]+</image>' "$usr/share/metainfo/$app_id.metainfo.xml" |
      sed -E 's|.*/([^/]+)</image>|\1|')
    [ -n "$names" ] || fail "no screenshots"
    for name in $names; do
      [ -f "$here/../../docs/screenshots/$name" ] || fail "screenshot $name is not in docs/screenshots"
      grep -q "docs/screenshots/$name" "$here/../../README.md" || fail "screenshot $name is not in the README"
    done
    version=$(QT_QPA_PLATFORM=offscreen "$build/app/harvex" --version | cut -d' ' -f2)
    grep -q "<release version=\"$version\"" "$usr/share/metainfo/$app_id.metainfo.xml" ||
      fail "the release in the metainfo is not version $version"
    ;;

  man-pages)
    for page in harvex harvex-cli; do
      file="$usr/share/man/man1/$page.1.gz"
      [ -f "$file" ] || fail "no man page $page(1)"
      warnings=$(zcat "$file" | groff -ww -man -z 2>&1)
      [ -z "$warnings" ] || fail "groff warns on $page(1): $warnings"
      warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
      [ -z "$warnings" ] || fail "man warns on $page(1): $warnings"
      text=$(MANWIDTH=200 man -l "$file" 2>/dev/null)
      for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES; do
        grep -qx "$section" <<<"$text" || fail "$page(1) has no $section section"
      done
    done
    ;;

  bash-completion)
    bash "$here/completion_test.bash" "$usr/share/bash-completion/completions/harvex-cli" \
      "$(help_options | tr '\n' ' ')"
    ;;

  zsh-completion)
    script=$usr/share/zsh/vendor-completions/_harvex-cli
    zsh -n "$script" || fail "zsh cannot read _harvex-cli"
    # compinit picks the function up for harvex-cli from its #compdef line.
    registered=$(HOME=$stage zsh -f -c "fpath=(${script%/*} \$fpath); autoload -Uz compinit; \
      compinit -u -D; print -r -- \$_comps[harvex-cli]" 2>&1)
    [ "$registered" = "_harvex-cli" ] || fail "zsh does not complete harvex-cli with _harvex-cli: $registered"
    ;;

  option-drift)
    # Every long option of harvex-cli --help is in its man page and both completions.
    options=$(help_options)
    [ -n "$options" ] || fail "harvex-cli --help lists no options"
    man_text=$(MANWIDTH=200 man -l "$usr/share/man/man1/harvex-cli.1.gz" 2>/dev/null)
    missing=()
    for option in $options; do
      grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$man_text" || missing+=("man page: $option")
      grep -qE -- "(^|[ \"])$option( |\"|$)" "$usr/share/bash-completion/completions/harvex-cli" ||
        missing+=("bash completion: $option")
      grep -qE -- "[^a-z-]$option(=?\[|\})" "$usr/share/zsh/vendor-completions/_harvex-cli" ||
        missing+=("zsh completion: $option")
    done
    ((${#missing[@]} == 0)) || fail "options of harvex-cli --help not documented: ${missing[*]}"
    ;;

  desktop-program)
    # Help and version need no display.
    version=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$build/app/harvex" --version)
    [[ $version =~ ^harvex\ [0-9]+\.[0-9]+ ]] || fail "harvex --version printed: $version"
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$build/app/harvex" --help)
    grep -q '^Usage: harvex \[START_URL \[SAVE_DIR\]\]' <<<"$help" || fail "harvex --help printed: $help"
    for bad in "--bogus" "http://h.example/ /tmp extra"; do
      status=0
      # shellcheck disable=SC2086
      err=$(QT_QPA_PLATFORM=offscreen "$build/app/harvex" $bad 2>&1 >/dev/null) || status=$?
      [ "$status" = 2 ] || fail "harvex $bad exited $status, not 2"
      grep -q "Try 'harvex --help'" <<<"$err" || fail "harvex $bad printed: $err"
    done
    ;;

  *)
    fail "unknown check $check"
    ;;
esac
