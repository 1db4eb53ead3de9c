# bash completion for twinfold-cli: commands, options and stored task names.

_twinfold_cli_tasks() {
    # The names of the stored tasks (second column of "list"), one a line.
    local config=()
    [[ -n $1 ]] && config=(--config "$1")
    twinfold-cli -q "${config[@]}" list 2>/dev/null | cut -f2
}

_twinfold_cli() {
    local cur prev words cword
    _init_completion -s || return

    local global="--config --quiet -q --verbose -v --json --help --version"
    local command="" config="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --config) config=${words[i + 1]} ;;
            --config=*) config=${words[i]#--config=} ;;
            list | plan | run | mirror | history | status | versions | restore) [[ -z $command ]] && command=${words[i]} ;;
        esac
    done

    case $prev in
        --config | --log | --include | --exclude | --versions | --to)
            _filedir
            return
            ;;
        --compare)
            COMPREPLY=($(compgen -W "size time attributes size,time size,time,attributes" -- "$cur"))
            return
            ;;
        --name | --flags | --max-delete | --exclude-types | --exclude-attrs | --limit | \
            --keep-days | --keep-versions | --at)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        local options=$global
        case $command in
            plan) options+=" --max-delete" ;;
            history) options+=" --limit" ;;
            restore) options+=" --at --to --overwrite" ;;
            run) options+=" --max-delete --simulate" ;;
            mirror)
                options+=" --simulate --plan --name --flags --delete --trash --compare
                    --newer-only --max-delete --exclude --exclude-types --exclude-attrs
                    --include --log --versions --keep-days --keep-versions"
                ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    case $command in
        "") COMPREPLY=($(compgen -W "list plan run mirror history status versions restore" -- "$cur")) ;;
        plan | run | history | versions | restore)
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$(_twinfold_cli_tasks "$config")" -- "$cur"))
            compopt -o filenames 2>/dev/null
            ;;
        mirror) _filedir -d ;;
    esac
}
complete -F _twinfold_cli twinfold-cli
