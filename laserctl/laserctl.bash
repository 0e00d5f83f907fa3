# bash completion for laserctl. Its options come from `laserctl --help`, so
# they follow the program; ports from `laserctl ports`, and any file, since a
# pseudo-terminal (the simulated laser's link) is never listed.
_laserctl()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        -p | --port)
            COMPREPLY=($(compgen -W "$("$1" ports 2>/dev/null | awk '$1 ~ /^\// { print $1 }')" -- "$cur"))
            _filedir
            return
            ;;
        --output)
            _filedir
            return
            ;;
        --trigger)
            COMPREPLY=($(compgen -W 'internal external' -- "$cur"))
            return
            ;;
        --variant)
            COMPREPLY=($(compgen -W 'v1.3 v1.2' -- "$cur"))
            return
            ;;
        --timeout | --listen | --duration | --current | --pulse | --freq | --tolerance)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        # Only whole option names: the help's wrapped lines may begin with one.
        COMPREPLY=($(compgen -W "$(_parse_help "$1" | grep -E '^--?[[:alnum:]][-[:alnum:]]*$')" -- "$cur"))
        return
    fi

    local i command=
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            ports | detect | status | monitor | set)
                command=${words[i]}
                break
                ;;
        esac
    done
    case $command in
        '') COMPREPLY=($(compgen -W 'ports detect status monitor set' -- "$cur")) ;;
        detect)
            COMPREPLY=($(compgen -W "$("$1" ports 2>/dev/null | awk '$1 ~ /^\// { print $1 }')" -- "$cur"))
            _filedir
            ;;
    esac
} &&
    complete -F _laserctl laserctl
