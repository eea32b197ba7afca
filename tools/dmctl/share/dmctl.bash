# bash completion for dmctl.
#
# The commands, their words and their options come from `dmctl --help`, so
# the completion always matches the dmctl it completes.  Entries there are
# indented by two spaces; a command's words end where its arguments
# (<...>, [...]) or its description begin.

_dmctl_commands() {
  "$1" --help 2>/dev/null | awk '
    /^Commands:$/ { on = 1; next }
    /^[^ ]/ { on = 0 }
    on && /^  [a-z]/ {
      line = substr($0, 3)
      sub(/  .*/, "", line)                       # the description
      print line
    }'
}

_dmctl() {
  local cur="${COMP_WORDS[COMP_CWORD]}"
  local program="${COMP_WORDS[0]}"
  local -a typed=()
  local i
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ "${COMP_WORDS[i]}" == -* ]] || typed+=("${COMP_WORDS[i]}")
  done

  local candidates="" line t j n=${#typed[@]}
  while IFS= read -r line; do
    local -a words=()
    read -r -a words <<<"$line"
    # Does this command fit what was typed?  Its words must match; an
    # argument (<...>) takes anything, and from an optional part ([...])
    # on, anything goes.
    local fits=1
    for ((j = 0; j < n; j++)); do
      t="${words[j]:-}"
      [[ -z "$t" || "$t" == "["* ]] && break
      [[ "$t" == "<"* ]] && continue
      [[ "$t" == "${typed[j]}" ]] || { fits=0; break; }
    done
    ((fits)) || continue
    t="${words[n]:-}"
    if ((j == n)) && [[ -n "$t" && "$t" != "<"* && "$t" != "["* ]]; then
      candidates+=" $t"                            # the command's next word
    elif [[ "$cur" == -* ]]; then
      candidates+=" $(grep -o -- '--[a-z0-9-]*' <<<"$line" | tr '\n' ' ')"
    elif ((j == n)) && [[ "$t" =~ ^\<([a-z-]+(\|[a-z-]+)+)\>$ ]]; then
      candidates+=" ${BASH_REMATCH[1]//|/ }"       # a choice among words
    fi
  done < <(_dmctl_commands "$program")
  if [[ "$cur" == -* ]]; then
    candidates+=" --json --log --help"
    ((${#typed[@]} == 0)) && candidates+=" --version"
  fi
  # Paths for file arguments.
  case "${typed[*]}" in
    "profile import"* | "profile export"* | "store export"*) [[ "$cur" != -* ]] && compopt -o default ;;
  esac
  mapfile -t COMPREPLY < <(compgen -W "$candidates" -- "$cur" | sort -u)
}
complete -F _dmctl dmctl
