# bash completion for mervex-vchip                              -*- shell-script -*-
#
# Commands, chip names after "new" (asked from mervex, so they match the
# build), target files, memories, formats and the settings with their values.

_mervex_vchip_settings() {
    printf '%s\n' cable= clock= access-time= fuse.low= fuse.high= fuse.ext= lock= calibration= \
        busy.flash= busy.eeprom= busy.erase= busy.fuse= fault.out-of-step= fault.no-program-enable= \
        fault.wrong-echo= fault.stuck-write= fault.stuck-bit= fault.signature= fault.signal= key= \
        erase-count= runs=
}

# The built-in cable names, from the lines of the help's cable=NAME setting.
_mervex_vchip_cables() {
    local line in_list= word
    while IFS= read -r line; do
        if [[ $line == "  cable=NAME"* ]]; then
            in_list=1
            line=${line#  cable=NAME}
        fi
        [[ -n $in_list ]] || continue
        [[ $line == *user:* ]] && break
        for word in ${line//,/ }; do
            [[ $word =~ ^[a-z0-9-]+$ && $word != or ]] && printf '%s\n' "$word"
        done
    done < <(mervex-vchip --help 2>/dev/null)
}

_mervex_vchip_setting_values() {
    case $1 in
        cable)
            _mervex_vchip_cables
            printf '%s\n' user:
            ;;
        fault.no-program-enable) printf '%s\n' yes no ;;
        fault.stuck-bit | fault.signature | fault.signal) printf '%s\n' none ;;
        key) printf '%s\n' none pressed ;;
    esac
}

# The chip names come from mervex's own completion, installed next to this one.
if ! declare -F _mervex_chip_names >/dev/null; then
    for _mervex_vchip_file in "${BASH_SOURCE[0]%/*}/mervex" "${BASH_SOURCE[0]%/*}/mervex.bash"; do
        [[ -f $_mervex_vchip_file ]] && source "$_mervex_vchip_file" && break
    done
    unset _mervex_vchip_file
fi

_mervex_vchip() {
    local cur=${COMP_WORDS[COMP_CWORD]} word
    # bash splits "cable=stk200" at "="; work on the whole setting.
    local line=${COMP_LINE:0:COMP_POINT}
    local -a words
    read -ra words <<<"$line"
    [[ $line == *[![:space:]] ]] && cur=${words[${#words[@]} - 1]} || cur=
    local count=${#words[@]}
    [[ -n $cur ]] && ((count--))
    COMPREPLY=()
    local command=${words[1]-}
    if ((count <= 1)); then
        command=
    fi
    local -a offer=()
    case $command in
        "")
            offer=(new show dump load set --help)
            ;;
        new)
            if ((count == 2)); then
                mapfile -t offer < <(_mervex_chip_names mervex)
            elif ((count == 3)); then
                mapfile -t offer < <(compgen -f -- "$cur")
            else
                offer=(--force)
                [[ $cur == *=* ]] && mapfile -t -O 1 offer < <(_mervex_vchip_setting_values "${cur%%=*}" | sed "s/^/${cur%%=*}=/")
                [[ $cur != *=* ]] && mapfile -t -O 1 offer < <(_mervex_vchip_settings)
            fi
            ;;
        show | dump | load | set)
            if ((count == 2)); then
                mapfile -t offer < <(compgen -f -X '!*.vchip' -- "$cur"; compgen -d -S / -- "$cur")
            elif [[ $command == set ]]; then
                if [[ $cur == *=* ]]; then
                    mapfile -t offer < <(_mervex_vchip_setting_values "${cur%%=*}" | sed "s/^/${cur%%=*}=/")
                else
                    mapfile -t offer < <(_mervex_vchip_settings)
                fi
            elif ((count == 3)); then
                offer=(flash eeprom)
            elif ((count == 4)); then
                mapfile -t offer < <(compgen -f -- "$cur")
            elif ((count == 5)); then
                offer=(hex bin)
            fi
            ;;
    esac
    for word in "${offer[@]}"; do
        [[ -n $word && $word == "$cur"* ]] && COMPREPLY+=("$word")
    done
    if ((${#COMPREPLY[@]} == 1)) && [[ ${COMPREPLY[0]} == *[=/:] ]]; then
        compopt -o nospace 2>/dev/null
    fi
    # The replies replace only the part after the last word-break character.
    if [[ -n $COMP_WORDBREAKS && $cur == *[$COMP_WORDBREAKS]* ]]; then
        local head=${cur%"${cur##*[$COMP_WORDBREAKS]}"} i
        for i in "${!COMPREPLY[@]}"; do
            COMPREPLY[i]=${COMPREPLY[i]#"$head"}
        done
    fi
    return 0
}

complete -F _mervex_vchip mervex-vchip
