# fish completion for mervex
#
# Switches with their sub-letters, chip names after "+" and fuse names after
# "-f" (both asked from the program itself, so they always match the build),
# pin maps after "-am=", port devices after "-p", and file names.

# The program named on the command line, or mervex from PATH.
function __mervex_program
    set -l prog (commandline -opc)[1]
    if test -n "$prog"; and command -sq -- $prog
        echo $prog
    else
        echo mervex
    end
end

# Every chip name of the help's device list, alternatives ("mega8|mega8A") split.
function __mervex_chip_names
    set -l in_list 0
    for line in ($argv[1] -h 2>/dev/null)
        if test $in_list = 1
            string split -n ' ' -- (string replace -a '|' ' ' -- $line)
        else if string match -q 'Supported devices:*' -- $line
            set in_list 1
        end
    end
end

# The one-letter switches of the help's adapter group ("    -ab  Altera ..."),
# the built-in cables and the modifiers, with the help's text as description.
function __mervex_adapter_switches
    for line in ($argv[1] -h 2>/dev/null)
        string replace -rf '^    (-a[a-z])  (.*)$' '$1'\t'$2' -- $line
    end
end

# The fuse and fuse-byte names of one chip, from its help page.
function __mervex_fuse_names
    for line in ($argv[1] +$argv[2] -h 2>/dev/null)
        string match -rg '^  ([A-Za-z0-9_]+) +=' -- $line
        string match -rg '^   \(([A-Za-z0-9_]+)\)$' -- $line
        string match -rg '^(_[A-Z]+) fuse byte:' -- $line
    end | sort -u
end

# The values a fuse takes, from the chip's help page: ON and OFF for one bit,
# else every hexadecimal value up to its largest; nothing for a whole byte.
function __mervex_fuse_values
    set -l wanted (string upper -- $argv[3])
    set -l max
    set -l width
    for line in ($argv[1] +$argv[2] -h 2>/dev/null)
        set -l field (string match -rg '^  ([A-Za-z0-9_]+) += 0 (?:or|to) +([0-9A-F]) ' -- $line)
        if test (count $field) -eq 2
            set max $field[2]
            test (string upper -- $field[1]) = "$wanted"; and set width $max
        else
            set -l alias (string match -rg '^   \(([A-Za-z0-9_]+)\)$' -- $line)
            test -n "$alias"; and test (string upper -- $alias) = "$wanted"; and set width $max
        end
    end
    test -n "$width"; or return
    if test $width = 1
        printf '%s\n' ON OFF
    else
        for i in (seq 0 (math 0x$width))
            printf '%X\n' $i
        end
    end
end

# Pin-map files where the program looks for a bare name: the current
# directory, MERVEX_CONFIG_PATH, the program's directory and the data directory.
function __mervex_pinmap_names
    set -l dirs .
    if set -q MERVEX_CONFIG_PATH
        set -a dirs (string split -n ':' -- $MERVEX_CONFIG_PATH)
    end
    set -l prog (command -s -- $argv[1])
    if string match -q '*/*' -- $prog
        set -l bindir (string replace -r '/[^/]*$' '' -- $prog)
        set -a dirs $bindir $bindir/../share/mervex
    end
    set -a dirs /usr/local/share/mervex /usr/share/mervex
    for dir in $dirs
        for file in $dir/*.cfg
            test -f $file; and string replace -r '.*/' '' -- $file
        end
    end | sort -u
end

# File names after the prefix $argv[1] for the partial name $argv[2]; a
# ":ihex:", ":bin:" or ":elf:" format prefix is kept.
function __mervex_files
    set -l prefix $argv[1]
    set -l partial $argv[2]
    set -l format ''
    if string match -rq '^:(ihex|bin|elf):' -- $partial
        set format (string match -r '^:[a-z]+:' -- $partial)
        set partial (string sub -s (math (string length -- $format) + 1) -- $partial)
    else if string match -q ':*' -- $partial
        printf '%s\n' $prefix:ihex: $prefix:bin: $prefix:elf:
        return
    end
    for name in (__fish_complete_path $partial)
        printf '%s\n' $prefix$format$name
    end
end

function __mervex_complete
    set -l cur (commandline -ct)
    set -l tokens (commandline -opc)
    set -l prog (__mervex_program)
    set -l prev $tokens[-1]

    if contains -- "$prev" -c -C -d -D
        __mervex_files '' $cur
        return
    end

    if string match -q '+*' -- $cur
        for name in (__mervex_chip_names $prog)
            echo +$name
        end
    else if string match -q -- '-am=*' $cur
        for name in (__mervex_pinmap_names $prog)
            echo -am=$name
        end
        __mervex_files -am= (string sub -s 5 -- $cur)
    else if string match -q -- '-a*' $cur
        __mervex_adapter_switches $prog
        printf '%s\n' -aa\t'any buffered cable' -ai\t'inactive reset time, ms' -am=\t'pin map file' \
            -am:\t'pin map entries'
    else if string match -q -- '-i*' $cur
        printf '%s\n' -i\tinfo -ie\terrors -iw\twarnings -ii\tinfo -id\tdebug -it\ttrace \
            -i1\terrors -i2\twarnings -i3\tinfo -i4\tdebug -i5\ttrace \
            -ip\t'progress bar: auto' -ip+\t'progress bar: always' -ip-\t'progress bar: never'
    else if string match -q -- '-w*' $cur
        printf '%s\n' -w\twrite -w+\t'write, FF to unmentioned EEPROM' -wp\t'write with polling' -w+p \
            -we\t'write, EEPROM by pages' -wpe\t'write with polling, EEPROM by pages' -w+e -w+pe \
            -ws\t'write only when the chip differs' -wps\t'with polling, only when the chip differs' -wpes
    else if string match -q -- '-r*' $cur
        printf '%s\n' -r\tread -r+\t'read, keep FF blocks'
    else if string match -q -- '-v*' $cur
        printf '%s\n' -v\tverify -v+\t'verify unmentioned locations too'
    else if string match -q -- '-u*' $cur
        printf '%s\n' -u\t'ELF fuses and lock bits' -uf\t'ELF fuses' -ul\t'ELF lock bits'
    else if string match -q -- '-e*' $cur
        printf '%s\n' -e\terase -e-\t'erase, keep EEPROM'
    else if string match -q -- '-b*' $cur
        printf '%s\n' -b\t'blank check' -bc\t'blank check code' -bd\t'blank check data'
    else if string match -q -- '-l*' $cur
        printf '%s\n' -l1 -l2 -l+1 -l+2
    else if string match -q -- '-o*' $cur
        printf '%s\n' -o\t'oscillator frequency' -os\t'SCK frequency' -o0\t'mervex generates XTAL'
    else if string match -q -- '-f*' $cur
        set -l chip
        for token in $tokens
            string match -q '+?*' -- $token; and set chip (string sub -s 2 -- $token)
        end
        test -n "$chip"; or return
        set -l list (string sub -s 3 -- $cur)
        set -l head ''
        set -l item $list
        if string match -q '*,*' -- $list
            set head (string replace -r ',[^,]*$' ',' -- $list)
            set item (string replace -r '.*,' '' -- $list)
        end
        if string match -q '*=*' -- $item
            set -l name (string replace -r '=.*' '' -- $item)
            for value in (__mervex_fuse_values $prog $chip $name)
                echo -f$head$name=$value
            end
        else
            for name in (__mervex_fuse_names $prog $chip)
                echo -f$head$name=
            end
        end
    else if string match -q -- '-p*' $cur
        # Port devices, GPIO chips (gpio: any chip), virtual target files and the directories on the way.
        for dev in /dev/parport* /dev/ppi* /dev/gpiochip*
            echo -p$dev
        end
        echo -pgpio
        for name in (__mervex_files -p (string sub -s 3 -- $cur))
            # The path completion may add a tab and a description after the word.
            set -l word (string replace -r '\t.*' '' -- $name)
            string match -q -- '*/' $word; or string match -q -- '*.vchip' $word; and echo $name
        end
    else if string match -rq -- '^-[CD][*?]' $cur
        printf '%s\n' '-C*OSCCAL=' '-C?OSCCAL=' '-D*OSCCAL=' '-C*SERNO' '-C?SERNO' '-D*SERNO' \
            '-C*BYTES' '-C?BYTES' '-D*BYTES'
    else if string match -rq -- '^-[cd].' $cur
        __mervex_files (string sub -l 2 -- $cur) (string sub -s 3 -- $cur)
    else if string match -q -- '--*' $cur
        printf '%s\n' --help\thelp --wiring\t'draw the wiring' --version\tversion --log=\t'run log file'
    else if string match -q -- '-*' $cur
        printf '%s\n' --check\t'find out why a chip does not answer' -h\thelp -i\t'information level' -a\tadapter -k\t'wait for key' \
            -K\t'wait for key before reading files' -p\tport -o\tfrequency \
            -1\t'delays x1.5' -2\t'delays x2' -3\t'delays x3' -4\t'delays x4' -5\t'delays x5' \
            -!\t'force' -n\t'erase counter' -c\t'code file' -d\t'data file' \
            '-C*'\t'insert into code' '-C?'\t'insert into LDI operands' '-D*'\t'insert into data' \
            -e\terase -b\t'blank check' -r\tread -w\twrite -v\tverify -u\t'ELF fuses and lock' -l\tlock -f\tfuses
    else
        __mervex_files '' $cur
    end
end

complete -c mervex -f -a '(__mervex_complete)'
