# bash completion for mervex                                    -*- shell-script -*-
#
# Switches with their sub-letters, chip names after "+" and fuse names after
# "-f" (both asked from the program itself, so they always match the build),
# pin maps after "-am=", port devices after "-p", and file names.

# The program named on the command line, or mervex from PATH.
_mervex_program() {
    local prog=$1
    [[ $prog == "~/"* ]] && prog=$HOME/${prog#"~/"}
    if [[ -n $prog ]] && command -v -- "$prog" >/dev/null 2>&1; then
        printf '%s\n' "$prog"
    else
        printf '%s\n' mervex
    fi
}

# Every chip name of the help's device list, alternatives ("mega8|mega8A") split.
_mervex_chip_names() {
    local line in_list= word
    local -a names
    while IFS= read -r line; do
        if [[ -n $in_list ]]; then
            IFS=' |' read -ra names <<<"$line"
            for word in "${names[@]}"; do
                [[ -n $word ]] && printf '%s\n' "$word"
            done
        elif [[ $line == "Supported devices:"* ]]; then
            in_list=1
        fi
    done < <("$1" -h 2>/dev/null)
}

# The one-letter switches of the help's adapter group ("    -ab  Altera ..."):
# the built-in cables and the modifiers.
_mervex_adapter_switches() {
    local line
    while IFS= read -r line; do
        [[ $line =~ ^\ \ \ \ (-a[a-z])\ \  ]] && printf '%s\n' "${BASH_REMATCH[1]}"
    done < <("$1" -h 2>/dev/null)
}

# The fuse and fuse-byte names of one chip, from its help page.
_mervex_fuse_names() {
    local line
    while IFS= read -r line; do
        if [[ $line =~ ^\ \ ([A-Za-z0-9_]+)\ +=\  ]]; then
            printf '%s\n' "${BASH_REMATCH[1]}"
        elif [[ $line =~ ^\ \ \ \(([A-Za-z0-9_]+)\)$ ]]; then
            printf '%s\n' "${BASH_REMATCH[1]}"
        elif [[ $line =~ ^(_[A-Z]+)\ fuse\ byte: ]]; then
            printf '%s\n' "${BASH_REMATCH[1]}"
        fi
    done < <("$1" "+$2" -h 2>/dev/null) | sort -u
}

# Pin-map files where the program looks for a bare name: the current
# directory, MERVEX_CONFIG_PATH, the program's directory and the data directory.
_mervex_pinmap_names() {
    local prog dir file
    local -a dirs=(.)
    local IFS=:
    [[ -n ${MERVEX_CONFIG_PATH-} ]] && dirs+=($MERVEX_CONFIG_PATH)
    unset IFS
    prog=$(command -v -- "$1" 2>/dev/null)
    if [[ $prog == */* ]]; then
        dirs+=("${prog%/*}" "${prog%/*}/../share/mervex")
    fi
    dirs+=(/usr/local/share/mervex /usr/share/mervex)
    for dir in "${dirs[@]}"; do
        [[ -n $dir && -d $dir ]] || continue
        for file in "$dir"/*.cfg; do
            [[ -f $file ]] && printf '%s\n' "${file##*/}"
        done
    done | sort -u
}

# Add to COMPREPLY each word of the list (one per line) that starts with $2,
# preceded by the prefix $1.
_mervex_add() {
    local prefix=$1 partial=$2 word
    while IFS= read -r word; do
        [[ -n $word && $word == "$partial"* ]] && COMPREPLY+=("$prefix$word")
    done
}

_mervex() {
    local line=${COMP_LINE:0:COMP_POINT}
    local -a words
    read -ra words <<<"$line"
    local cur=
    [[ $line == *[![:space:]] ]] && cur=${words[${#words[@]} - 1]}
    local prog prev=
    prog=$(_mervex_program "${words[0]}")
    if [[ -n $cur ]]; then
        ((${#words[@]} > 2)) && prev=${words[${#words[@]} - 2]}
    else
        ((${#words[@]} > 1)) && prev=${words[${#words[@]} - 1]}
    fi
    COMPREPLY=()
    local files= nospace= typed=$cur

    case $prev in
        -c | -C | -d | -D)
            files=$cur
            cur=
            ;;
    esac

    if [[ -n $files || ( -z $cur && -z $files ) ]]; then
        # A bare file name (code file, data file, or after "-c"/"-d").
        _mervex_files "" "$files"
    else
        case $cur in
            +*)
                _mervex_add + "${cur#+}" < <(_mervex_chip_names "$prog")
                ;;
            -am=*)
                _mervex_add -am= "${cur#-am=}" < <(_mervex_pinmap_names "$prog")
                _mervex_files -am= "${cur#-am=}"
                ;;
            -a*)
                _mervex_add "" "$cur" < <(_mervex_adapter_switches "$prog"; printf '%s\n' -aa -ai -am= -am:)
                nospace=1
                ;;
            -i*)
                _mervex_add "" "$cur" <<<$'-i\n-ie\n-iw\n-ii\n-id\n-it\n-i1\n-i2\n-i3\n-i4\n-i5\n-ip\n-ip+\n-ip-'
                ;;
            -w*) _mervex_add "" "$cur" <<<$'-w\n-w+\n-wp\n-w+p\n-we\n-wpe\n-w+e\n-w+pe\n-ws\n-wps\n-wpes' ;;
            -r*) _mervex_add "" "$cur" <<<$'-r\n-r+' ;;
            -v*) _mervex_add "" "$cur" <<<$'-v\n-v+' ;;
            -u*) _mervex_add "" "$cur" <<<$'-u\n-uf\n-ul' ;;
            -e*) _mervex_add "" "$cur" <<<$'-e\n-e-' ;;
            -b*) _mervex_add "" "$cur" <<<$'-b\n-bc\n-bd' ;;
            -l*) _mervex_add "" "$cur" <<<$'-l1\n-l2\n-l+1\n-l+2' ;;
            -o*)
                _mervex_add "" "$cur" <<<$'-o\n-os\n-o0'
                nospace=1
                ;;
            -f*)
                _mervex_fuses "$prog" "${cur#-f}"
                nospace=1
                ;;
            -p*)
                _mervex_ports "${cur#-p}"
                ;;
            -[cd]*)
                _mervex_files "${cur:0:2}" "${cur:2}"
                ;;
            -[CD][*?]*)
                _mervex_add "" "$cur" <<<$'-C*OSCCAL=\n-C?OSCCAL=\n-D*OSCCAL=\n-C*SERNO\n-C?SERNO\n-D*SERNO\n-C*BYTES\n-C?BYTES\n-D*BYTES'
                nospace=1
                ;;
            --*) _mervex_add "" "$cur" <<<$'--help\n--wiring\n--version\n--log=' ;;
            -*)
                _mervex_add "" "$cur" <<<$'--check\n-h\n-?\n-i\n-a\n-k\n-K\n-p\n-o\n-1\n-2\n-3\n-4\n-5\n-!\n-n\n-c\n-d\n-C*\n-C?\n-D*\n-e\n-b\n-r\n-w\n-v\n-u\n-l\n-f'
                nospace=1
                ;;
            *)
                _mervex_files "" "$cur"
                ;;
        esac
    fi

    # An open form waits for its value: no space after it.
    if ((${#COMPREPLY[@]} == 1)); then
        case ${COMPREPLY[0]} in
            *= | *: | *, | */ | -p | -f | -o | -os | -ai | -n | -c | -d | -C\* | -C\? | -D\* | -a | -l | +) nospace=1 ;;
            *) nospace= ;;
        esac
    fi
    [[ -n $nospace ]] && compopt -o nospace 2>/dev/null

    # bash splits the word at characters such as "=" and ":"; the replies must
    # replace only the part after the last of them. The word is the one typed,
    # also when it is the file name after "-c" or "-d".
    local cut=${typed%%[$COMP_WORDBREAKS]*}
    if [[ -n $COMP_WORDBREAKS && $cut != "$typed" ]]; then
        local head=${typed%"${typed##*[$COMP_WORDBREAKS]}"} i
        for i in "${!COMPREPLY[@]}"; do
            COMPREPLY[i]=${COMPREPLY[i]#"$head"}
        done
    fi
    return 0
}

# File names (and, with more arguments, device names starting with them) after
# the prefix $1, completing the partial name $2; a ":ihex:", ":bin:" or ":elf:" format
# prefix is kept.
_mervex_files() {
    local prefix=$1 partial=$2 format= name
    shift 2
    if [[ $partial == :* && $prefix != -p && $prefix != -am= ]]; then
        if [[ $partial == :*:* ]]; then
            local rest=${partial:1}
            format=":${rest%%:*}:"
            partial=${rest#*:}
        else
            _mervex_add "$prefix" "$partial" <<<$':ihex:\n:bin:\n:elf:'
            return
        fi
    fi
    local device
    for device in "$@"; do
        for name in "$device"*; do
            [[ -e $name && $name == "$partial"* ]] && COMPREPLY+=("$prefix$format$name")
        done
    done
    while IFS= read -r name; do
        [[ -d $name ]] && name+=/
        COMPREPLY+=("$prefix$format$name")
    done < <(compgen -f -- "$partial")
}

# What -p takes: port devices, GPIO chips (gpio: any chip), virtual target
# files (*.vchip) and the directories on the way to them; a name without "/"
# only when it exists.
_mervex_ports() {
    local partial=$1 name
    for name in /dev/parport* /dev/ppi* /dev/gpiochip*; do
        [[ -c $name && $name == "$partial"* ]] && COMPREPLY+=("-p$name")
    done
    [[ gpio == "$partial"* ]] && COMPREPLY+=("-pgpio")
    while IFS= read -r name; do
        if [[ -d $name ]]; then
            COMPREPLY+=("-p$name/")
        elif [[ $name == *.vchip && -f $name ]]; then
            COMPREPLY+=("-p$name")
        fi
    done < <(compgen -f -- "$partial")
}

# The values a fuse takes, from the chip's help page: ON and OFF for one bit,
# else every hexadecimal value up to its largest; nothing for a whole byte.
_mervex_fuse_values() {
    local line width= max= name=$3 i
    while IFS= read -r line; do
        if [[ $line =~ ^\ \ ([A-Za-z0-9_]+)\ +=\ 0\ (or|to)\ +([0-9A-F])\  ]]; then
            max=${BASH_REMATCH[3]}
            [[ ${BASH_REMATCH[1]^^} == "${name^^}" ]] && width=$max
        elif [[ $line =~ ^\ \ \ \(([A-Za-z0-9_]+)\)$ ]]; then
            [[ ${BASH_REMATCH[1]^^} == "${name^^}" ]] && width=$max
        fi
    done < <("$1" "+$2" -h 2>/dev/null)
    [[ -z $width ]] && return
    if [[ $width == 1 ]]; then
        printf '%s\n' ON OFF
    else
        for ((i = 0; i <= 16#$width; i++)); do printf '%X\n' "$i"; done
    fi
}

# Fuse names of the chip named earlier on the line, after "-f", for the last
# item of the list; after "name=" the ON and OFF values.
_mervex_fuses() {
    local prog=$1 list=$2 done_items= item chip= word
    for word in "${words[@]}"; do
        [[ $word == +?* ]] && chip=${word#+}
    done
    [[ -z $chip ]] && return
    if [[ $list == *,* ]]; then
        done_items=${list%,*},
        item=${list##*,}
    else
        item=$list
    fi
    if [[ $item == *=* ]]; then
        _mervex_add "-f$done_items${item%%=*}=" "${item#*=}" < <(_mervex_fuse_values "$prog" "$chip" "${item%%=*}")
    else
        local name
        while IFS= read -r name; do
            [[ $name == "$item"* ]] && COMPREPLY+=("-f$done_items$name=")
        done < <(_mervex_fuse_names "$prog" "$chip")
    fi
}

complete -F _mervex mervex
