# bash completion for vellum-cli: commands, their options, and image files or
# block devices where a SOURCE goes.
_vellum_cli() {
  local cur prev words cword
  _init_completion || return
  local commands="drives info search full-scan restore wipe help"
  if ((cword == 1)); then
    COMPREPLY=($(compgen -W "$commands --version --help" -- "$cur"))
    return
  fi
  local options
  case ${words[1]} in
    info) options="--partition --help" ;;
    search) options="--partition --filter --in-use --zero-size --no-analyse --thorough --free-scan --no-free-scan --range --format -o --map --help" ;;
    full-scan) options="--partition --filter --in-use --zero-size --no-analyse --yes --range --format -o --map --help" ;;
    restore) options="--partition --to --results --rows --folder --report --verified-only --original-names --format --filter --in-use --zero-size --no-analyse --thorough --map --help" ;;
    wipe) options="--partition --thorough --free-space --yes --help" ;;
    help) COMPREPLY=($(compgen -W "$commands" -- "$cur")); return ;;
  esac
  case $prev in
    --to) _filedir -d; return ;;
    -o|--results|--report|--map) _filedir; return ;;
    --format) COMPREPLY=($(compgen -W "results table json csv tsv" -- "$cur")); return ;;
    --partition|--rows|--range|--folder|--filter) return ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  else
    _filedir '@(img|IMG|dd|raw|bin|iso|E01|e01|vhd|vhdx|vmdk|qcow2|001)'
    [[ $cur == /dev/* ]] && COMPREPLY+=($(compgen -G "$cur*"))
  fi
}
complete -F _vellum_cli vellum-cli
