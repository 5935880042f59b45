# bash completion for kestrel-cli: commands, their options, --type values, drives and file names.
_kestrel_cli()
{
    local cur prev words cword
    _init_completion || return

    local commands="list check find tap screen thumbnail image basic make snap disc export add rm rename attr"
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    local command=${words[1]}
    case $prev in
        --type)
            COMPREPLY=($(compgen -W "zx-basic zx-number-array zx-string-array zx-code zx-snap-48k zx-md-file
                zx-screen zx-special zx-snap-128k zx-opentype zx-execute unidos-subdir unidos-create sam-basic
                sam-number-array sam-string-array sam-code sam-screen sam-subdir sam-driver-app sam-driver-boot zx sam
                screen snapshot subdirectory" \
                -- "$cur"))
            return
            ;;
        --slot | --system-slot | --size | --name | --start | --exec | --line)
            return
            ;;
        --driver)
            COMPREPLY=($(compgen -W "floppy raw rawoo dsk edsk" -- "$cur"))
            return
            ;;
    esac

    local options
    case $command in
        list | check) options="-r --recursive --json" ;;
        find) options="-r --recursive --type --json" ;;
        tap) options="-o --output --slot --no-rewrite --force --name --line" ;;
        screen | snap | export) options="--slot -o --output --force" ;;
        thumbnail) options="--size --force" ;;
        image) options="-o --output --force --json" ;;
        basic) options="--slot --rewrite --json" ;;
        make) options="--system --system-slot --force --json" ;;
        disc)
            if ((cword == 2)); then
                COMPREPLY=($(compgen -W "read write" -- "$cur"))
                return
            fi
            options="--force --keep-damaged --allow-missing --device --driver A: B:"
            ;;
        add) options="-o --output --name --start --exec --sam --line --force --json" ;;
        rm) options="--slot -o --output --wipe --force --json" ;;
        rename) options="--slot -o --output --force --json" ;;
        attr) options="--slot +h -h +p -p -o --output --force --json" ;;
    esac
    if [[ $cur == [-+]* ]]; then
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
        return
    fi
    _filedir
} &&
    complete -F _kestrel_cli kestrel-cli
