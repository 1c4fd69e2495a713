# Bash completion for texelary-convert. The format names come from the program's own --help,
# so that they are always the ones this build reads and writes.

_texelary_convert_formats() { # program, "source" or "target"
    "$1" --help 2>/dev/null |
        sed -n "s/^ *--[a-z]* FORMAT *$2 format: \(.*\), in any case.*$/\1/p" |
        sed 's/, / /g; s/ or / /g'
}

_texelary_convert() {
    local cur prev words cword
    _init_completion || return

    case "$prev" in
    --from)
        mapfile -t COMPREPLY < <(compgen -W "$(_texelary_convert_formats "$1" source)" -- "$cur")
        return
        ;;
    --to)
        mapfile -t COMPREPLY < <(compgen -W "$(_texelary_convert_formats "$1" target)" -- "$cur")
        return
        ;;
    --mips)
        mapfile -t COMPREPLY < <(compgen -W "point box" -- "$cur")
        return
        ;;
    --transparent-index)
        mapfile -t COMPREPLY < <(compgen -W "255" -- "$cur")
        return
        ;;
    --jobs)
        return
        ;;
    --pak-entries)
        mapfile -t COMPREPLY < <(compgen -W "64 72" -- "$cur")
        return
        ;;
    --palette)
        _filedir '@(pcx|PCX|lmp|LMP|pal|PAL|gpl|GPL|bmp|BMP|png|PNG|tga|TGA|m8|M8|swl|SWL)'
        return
        ;;
    --input | --output)
        # A folder, or a pak, wad or compiled map taken as one.
        _filedir '@(pak|PAK|Pak|wad|WAD|Wad|bsp|BSP|Bsp)'
        return
        ;;
    --textures-of)
        _filedir '@(bsp|BSP|Bsp)'
        return
        ;;
    --add)
        # The wad or pak the files go into.
        _filedir '@(pak|PAK|Pak|wad|WAD|Wad)'
        return
        ;;
    --extract)
        _filedir -d
        return
        ;;
    --rename)
        # OLD=NEW: names inside an archive, which the shell cannot list.
        return
        ;;
    --set)
        # The keys every texture has; a format's own are as --sidecar names them.
        compopt -o nospace
        mapfile -t COMPREPLY < <(compgen -W "name= animation= flags= contents= value=" -- "$cur")
        return
        ;;
    esac

    if [[ "$cur" == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "--from --to --input --output --recursive
            --stop-on-error --jobs --keep-header --sidecar --mips --dither --transparent-index --fullbright --palette
            --all-levels --pak-entries --textures-of
            --info --json --set --rename --delete --add --extract --help --version" -- "$cur")
        return
    fi
    _filedir
} &&
    complete -F _texelary_convert texelary-convert
