#!/usr/bin/env bash
# completion_check.sh SHELL SCRIPT: sources the generated completion SCRIPT in SHELL (bash, zsh or
# fish) and checks what it offers for a few command lines. Each case gives a word that must (+) or
# must not (-) be offered, then the line typed so far; a line ending in a space completes a new word.
set -u
shell=$1
script=$2

# The candidates for the words typed, the last one being completed, one per line.
candidates() {
  case $shell in
    bash)
      # bash splits "--color=al" at the "=", as its COMP_WORDBREAKS has it: "--color" "=" "al".
      local split=() word
      for word in "$@"; do
        if [[ $word == -*=* ]]; then
          split+=("${word%%=*}" "=")
          [[ -n ${word#*=} ]] && split+=("${word#*=}")
        else
          split+=("$word")
        fi
      done
      set -- "${split[@]}"
      bash --norc --noprofile -c 'source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kelvane_dat
        printf "%s\n" "${COMPREPLY[@]}"' bash "$script" "$@" ;;
    zsh)
      # The completion system's functions, reduced to printing what they would offer.
      zsh -f -c '
        zmodload zsh/parameter
        _describe() { local -a offered; offered=(${(P)${@[-1]}}); print -rl -- ${offered%%:*}; }
        compadd() { shift; print -rl -- "$@"; }
        compset() { PREFIX=${PREFIX#*=}; }
        _files() { print -r -- "(files)"; }
        functions[_kelvane_dat_test]=$(<$1); shift
        words=("$@"); CURRENT=$#; PREFIX=${words[-1]}
        _kelvane_dat_test' zsh "$script" "$@" ;;
    fish)
      fish --no-config -c 'source $argv[1]
        complete -C (string join " " -- $argv[2..-1]) | string replace -r "\t.*" ""' \
        "$script" "$@" ;;
  esac
}

value_prefix=
[[ $shell == fish ]] && value_prefix=--color=
cases=(
  "+grep|kelvane-dat gr"
  "+verify|kelvane-dat help ver"
  "+--ignore-case|kelvane-dat grep --ig"
  "-extract|kelvane-dat grep "
  "+--long|kelvane-dat ls archive.dat --"
  "-verify|kelvane-dat ls "
  "+--force|kelvane-dat extract -j 4 a.dat out --f"
  "-4|kelvane-dat extract --jobs "
  "+--type|kelvane-dat ls -l --t"
  "+--json|kelvane-dat diff --type Texture --j"
  "+--color|kelvane-dat grep --co"
  "+always|kelvane-dat grep --color "
  # A value after "=": bash and zsh offer the value alone, fish the whole word.
  "+$value_prefix""always|kelvane-dat grep --color=al"
  "+$value_prefix""never|kelvane-dat grep --color="
  "+--json|kelvane-dat grep --color=never --j"
  "+--table|kelvane-dat strings export --format=po --t"
)

failures=0
for case in "${cases[@]}"; do
  expectation=${case%%|*}
  line=${case#*|}
  read -ra words <<<"$line"
  [[ $line == *" " ]] && words+=("")
  offered=$(candidates "${words[@]}")
  word=${expectation:1}
  found=no
  while IFS= read -r candidate; do [[ $candidate == "$word" ]] && found=yes; done <<<"$offered"
  if [[ ${expectation:0:1} == + && $found == no ]] || [[ ${expectation:0:1} == - && $found == yes ]]; then
    echo "$shell: '$line' should ${expectation:0:1}offer '$word'; offered:" $offered
    failures=$((failures + 1))
  fi
done
exit $((failures > 0))
