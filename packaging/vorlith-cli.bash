# bash completion for vorlith-cli
_vorlith_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local IFS=$'\n'

    # The argument of the option before the cursor.
    case $prev in
        --folder)
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --keywords | --open | --save-xlsx)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --save | --save-shown)
            COMPREPLY=($(compgen -f -W '-' -- "$cur"))
            return
            ;;
        --gather-data)
            COMPREPLY=($(compgen -W $'precise\nbroad' -- "$cur"))
            return
            ;;
        --expand)
            COMPREPLY=($(compgen -W $'none\naz\naz09\nquestions\nprepositions' -- "$cur"))
            return
            ;;
        --depth)
            COMPREPLY=($(compgen -W $'1\n2' -- "$cur"))
            return
            ;;
        --sort)
            COMPREPLY=($(compgen -W $'No\nKeywords\nSearches\nGoogle\nYahoo\nMsn\n0\n1\n2\n3\n4\n5' -- "$cur"))
            return
            ;;
        --main-keyword | --add | --timeout | --filter | --proxy | --sources | fetch)
            return
            ;;
    esac
    # download URL FILE: the URL is typed, the file completed.
    if ((COMP_CWORD > 1)) && [[ ${COMP_WORDS[COMP_CWORD - 2]} == download ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi
    [[ $prev == download ]] && return

    local commands=$'--help\n--version\n--folder\n--yes\n--proxy\n--verbose\n--timeout\n--main-keyword\n--gather-keywords\n--gather-data
--retry-failed\n--add\n--keywords\n--select-all\n--clear-selection\n--delete-selected\n--delete-all\n--sort
--save\n--filter\n--save-shown\n--remove-duplicates\n--trim\n--skip-blank\n--skip-existing\n--branding\n--check-updates\nfetch\ndownload
--open\n--save-xlsx\n--parallel\n--sources\n--expand\n--depth\n--list-sources\n--with-source'
    COMPREPLY=($(compgen -W "$commands" -- "$cur"))
}
complete -o filenames -F _vorlith_cli vorlith-cli
