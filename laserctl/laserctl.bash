# bash completion for laserctl. What it offers comes from the program itself
# (laserctl --completion-words), so it follows the program's own table; ports
# from `laserctl ports`, and any file, since a pseudo-terminal (the simulated
# laser's link) is never listed.
_laserctl()
{
    local cur prev words cword
    _init_completion || return

    # "first WORD..." before a command, "after COMMAND WORD..." after one, and
    # "value OPTION WORD..." for an option's value; <ports> and <files> stand
    # for what is found.
    local kind name rest offer= i
    local -A after=() value=()
    while read -r kind name rest; do
        case $kind in
            first) offer="$name $rest" ;;
            after) after[$name]=$rest ;;
            value) value[$name]=$rest ;;
        esac
    done < <("$1" --completion-words 2>/dev/null)

    if [[ -v value[$prev] ]]; then
        offer=${value[$prev]}
    else
        for ((i = 1; i < cword; i++)); do
            if [[ -v after[${words[i]}] ]]; then
                offer=${after[${words[i]}]}
                break
            fi
        done
    fi

    local word plain= files=
    for word in $offer; do
        case $word in
            '<ports>')
                plain+=" $("$1" ports 2>/dev/null | awk '$1 ~ /^\// { print $1 }')"
                files=1
                ;;
            '<files>') files=1 ;;
            -*) [[ $cur == -* ]] && plain+=" $word" ;;
            *) [[ $cur == -* ]] || plain+=" $word" ;;
        esac
    done
    COMPREPLY=($(compgen -W "$plain" -- "$cur"))
    if [[ $files && $cur != -* ]]; then
        _filedir
    fi
} &&
    complete -F _laserctl laserctl
