# bash completion for harvex-cli                             -*- shell-script -*-
# Stands alone: needs none of the bash-completion package's helpers.

_harvex_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local options="--text --no-text --graphics --no-graphics --everything --rule
        --no-stay-in-path --quota --on-quota --no-unknown-size --mystery-name
        --offline --convert --no-proxy --ca-certificate --no-check-certificate --user --password --password-file --quiet --verbose --help --version"
    # Options that take the next word (or the text after "=") as their value.
    local with_value="--rule --quota --on-quota --mystery-name --convert --ca-certificate --user --password --password-file"

    # "--on-quota=st" arrives as three words: "--on-quota", "=", "st".
    local option=$prev
    if [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == = ]]; then
        option=$prev
        cur=
    fi
    case $option in
        --on-quota)
            COMPREPLY=($(compgen -W "stop continue" -- "$cur"))
            return
            ;;
        --password-file | --ca-certificate)
            compopt -o filenames 2>/dev/null || true
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --convert)
            compopt -o filenames 2>/dev/null || true
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --rule | --quota | --mystery-name | --user | --password)
            COMPREPLY=()
            return
            ;;
    esac

    # Count the arguments before this word: START_URL, then SAVE_DIR.
    local i word positional=0 only_arguments=
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -n $only_arguments ]]; then
            ((positional++))
        elif [[ $word == -- ]]; then
            only_arguments=1
        elif [[ $word == = ]]; then
            ((i++))
        elif [[ " $with_value " == *" $word "* ]]; then
            [[ ${COMP_WORDS[i + 1]} != = ]] && ((i++))
        elif [[ $word != -* ]]; then
            ((positional++))
        fi
    done

    if [[ -z $only_arguments && $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    if ((positional == 1)); then
        compopt -o filenames 2>/dev/null || true
        COMPREPLY=($(compgen -d -- "$cur"))
        return
    fi
    COMPREPLY=()
}

complete -F _harvex_cli harvex-cli
