# Loads harvex-cli's bash completion and drives it as bash does on Tab:
#   bash completion_test.bash COMPLETION_SCRIPT "OPTIONS OF --help"
# Fails on any error while loading and on any case below that completes wrongly.
set -o pipefail
script=$1
help_options=$2
failures=0

errors=$(bash --norc --noprofile -c "source '$script'" 2>&1)
if [ -n "$errors" ]; then
  echo "FAIL: loading the completion printed: $errors" >&2
  exit 1
fi
# shellcheck disable=SC1090
source "$script"

registered=$(complete -p harvex-cli)
if [ "$registered" != "complete -F _harvex_cli harvex-cli" ]; then
  echo "FAIL: harvex-cli is completed by: $registered" >&2
  exit 1
fi

# complete_words EXPECTED WORD... : the last word is the one being completed,
# split as readline splits it (at "=" too).
complete_words() {
  local expected=$1
  shift
  COMP_WORDS=(harvex-cli "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _harvex_cli
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
  if [ "$got" != "$expected" ]; then
    echo "FAIL: harvex-cli $* <Tab>: expected '$expected', got '$got'" >&2
    failures=$((failures + 1))
  fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/site" "$work/sites-old"
touch "$work/secret.txt" "$work/site-notes"
cd "$work"

complete_words "--no-check-certificate --no-graphics --no-proxy --no-stay-in-path --no-text --no-unknown-size" --no-
complete_words "--password --password-file" --pass
complete_words "--verbose --version" --ver
complete_words "continue stop" --on-quota ""
complete_words "continue" --on-quota = c
complete_words "continue stop" --on-quota =
complete_words "" --quota ""
complete_words "" --rule "*.p"
complete_words "secret.txt" --password-file sec
complete_words "secret.txt" --ca-certificate sec
# START_URL is typed, SAVE_DIR is a folder.
complete_words "" http
complete_words "site sites-old" http://h.example/ s
complete_words "site sites-old" --quota 5 http://h.example/ s
complete_words "site sites-old" --on-quota=stop --user ann http://h.example/ s
complete_words "" http://h.example/ site ""
complete_words "--quiet --quota" http://h.example/ site --qu
# After "--" every word is an argument, even one that starts with "-".
complete_words "" -- -

# Every option of --help completes from its first three letters.
for option in $help_options; do
  COMP_WORDS=(harvex-cli "${option:0:5}")
  COMP_CWORD=1
  COMPREPLY=()
  _harvex_cli
  if ! grep -qx -- "$option" <<<"$(printf '%s\n' "${COMPREPLY[@]}")"; then
    echo "FAIL: ${option:0:5}<Tab> does not offer $option" >&2
    failures=$((failures + 1))
  fi
done

if ((failures > 0)); then
  echo "$failures completion cases failed" >&2
  exit 1
fi
echo "bash completion: all cases complete as expected"
