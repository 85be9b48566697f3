# bash completion for shelvo-cli: its own options, the engine's option letters,
# directories after the options that take one, and the drive letters of the
# drive table as "shelvo-cli --drives" shows it.

# Sets COMPREPLY to the candidates that start with the word under the cursor,
# ignoring letter case as the engine does. Bash splits words at ':', so "/l:" and
# "E:" reach a completion function in pieces: the part before the last ':' is
# taken off each candidate again.
_shelvo_cli_reply() {
  local cur=$1 candidate
  shift
  COMPREPLY=()
  for candidate in "$@"; do
    [[ ${candidate^^} == "${cur^^}"* ]] && COMPREPLY+=("$candidate")
  done
  if [[ $cur == *:* && $COMP_WORDBREAKS == *:* ]]; then
    local taken=${cur%"${cur##*:}"} i
    for i in "${!COMPREPLY[@]}"; do COMPREPLY[i]=${COMPREPLY[i]#"$taken"}; done
  fi
}

# The drive letters of the table, "C:" "D:" ..., from the tool being completed.
_shelvo_cli_drives() {
  local tool=${COMP_WORDS[0]} line
  [[ $tool == "~/"* ]] && tool=$HOME/${tool#"~/"}
  while IFS= read -r line; do
    [[ $line =~ ^([A-Z]:) ]] && printf '%s\n' "${BASH_REMATCH[1]}"
  done < <("$tool" --drives 2>/dev/null)
}

_shelvo_cli() {
  COMPREPLY=()
  # The word under the cursor and the one before it, as typed, colons included.
  local line=${COMP_LINE:0:COMP_POINT}
  local cur=${line##*[[:space:]]}
  local before=${line%"$cur"}
  before=${before%"${before##*[![:space:]]}"}
  local prev=${before##*[[:space:]]}

  local -a words=()
  case $prev in
    --add | --import | --export)
      compopt -o filenames 2>/dev/null
      mapfile -t words < <(compgen -d -- "$cur")
      ;;
    --label | --delete) return ;;
    *)
      case $cur in
        /[lL]:*)
          compopt -o filenames -o nospace 2>/dev/null
          mapfile -t words < <(compgen -d -- "${cur:3}")
          words=("${words[@]/#/${cur:0:3}}")
          ;;
        -*)
          words=(--paths --null -0 --host --numbers --verbose --drives --add --label --delete --import --export
                 --index --no-index --yes --no --help -h --version --)
          ;;
        /*) words=(/l: /a /d /cd /jd /nd /W /W5 /Y /N /S) ;;
        "" | [A-Za-z] | [A-Za-z]:) mapfile -t words < <(_shelvo_cli_drives) ;;
        *) return ;;
      esac
      ;;
  esac
  _shelvo_cli_reply "$cur" "${words[@]}"
}

complete -F _shelvo_cli shelvo-cli
