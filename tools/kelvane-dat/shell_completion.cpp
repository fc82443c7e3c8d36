#include "shell_completion.hpp"

#include <string_view>

namespace kelvane_dat::cli {

namespace {

// A word in single quotes for bash and zsh, where nothing inside is special but the quote itself.
std::string sh_quoted(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Fish's single quotes, where a backslash escapes the quote and itself.
std::string fish_quoted(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

std::vector<std::string> option_spellings(const OptionOutline& option) {
  std::vector<std::string> spellings;
  if (!option.short_name.empty()) spellings.push_back("-" + option.short_name);
  if (!option.long_name.empty()) spellings.push_back("--" + option.long_name);
  return spellings;
}

std::string joined(const std::vector<std::string>& words, std::string_view separator) {
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += separator;
    text += word;
  }
  return text;
}

// The patterns "PATH|WORD", unquoted, that, seen while walking the typed words, enter a
// subcommand or announce that the next word is an option's value.
struct WalkPatterns {
  std::vector<std::string> enter;
  std::vector<std::string> skip_value;
};

WalkPatterns walk_patterns(const CommandOutline& root) {
  WalkPatterns patterns;
  for (const CommandOutline* command : flatten(root)) {
    for (const CommandOutline& subcommand : command->subcommands) {
      patterns.enter.push_back(command->path + "|" + subcommand.name());
    }
    for (const OptionOutline& option : command->options) {
      if (option.value_name.empty()) continue;
      for (const std::string& spelling : option_spellings(option)) {
        patterns.skip_value.push_back(command->path + "|" + spelling);
      }
    }
  }
  return patterns;
}

// Each pattern quoted by `quote`, joined by `separator`.
std::string quoted_patterns(const std::vector<std::string>& patterns,
                            std::string (*quote)(std::string_view), std::string_view separator) {
  std::vector<std::string> quoted;
  for (const std::string& pattern : patterns) quoted.push_back(quote(pattern));
  return joined(quoted, separator);
}

// The loop over the words before the cursor that leaves the command typed so far in `cmd` and
// `skip` set when the word under the cursor is an option's value. An option given as
// "--name=value" carries its value and matches no pattern; bash, which splits that word at the
// "=", hands over "=" as a word of its own, which leaves the value still to come.
std::string sh_walk(const CommandOutline& root, std::string_view first_index,
                    std::string_view words) {
  const WalkPatterns patterns = walk_patterns(root);
  std::string text = "  local cmd=" + sh_quoted(root.path) + " skip= word i\n";
  text += "  for ((i = " + std::string(first_index) + "; i < cword; i++)); do\n";
  text += "    word=${" + std::string(words) + "[i]}\n";
  text += "    if [[ -n $skip && $word == = ]]; then continue; fi\n";
  text += "    if [[ -n $skip ]]; then skip=; continue; fi\n";
  text += "    case \"$cmd|$word\" in\n";
  if (!patterns.enter.empty()) {
    text +=
        "      " + quoted_patterns(patterns.enter, &sh_quoted, " | ") + ") cmd=\"$cmd $word\" ;;\n";
  }
  if (!patterns.skip_value.empty()) {
    text += "      " + quoted_patterns(patterns.skip_value, &sh_quoted, " | ") + ") skip=1 ;;\n";
  }
  text += "    esac\n  done\n";
  return text;
}

// For each option value with choices or a path: "PATH|SPELLING" and what completes it.
template <class Emit>
void for_each_valued_option(const CommandOutline& root, Emit emit) {
  for (const CommandOutline* command : flatten(root)) {
    for (const OptionOutline& option : command->options) {
      if (option.choices.empty() && !option.takes_path) continue;
      std::vector<std::string> patterns;
      for (const std::string& spelling : option_spellings(option)) {
        patterns.push_back(sh_quoted(command->path + "|" + spelling));
      }
      emit(joined(patterns, " | "), option);
    }
  }
}

std::vector<std::string> all_spellings(const CommandOutline& command) {
  std::vector<std::string> spellings;
  for (const OptionOutline& option : command.options) {
    for (const std::string& spelling : option_spellings(option)) spellings.push_back(spelling);
  }
  return spellings;
}

std::vector<std::string> subcommand_names(const CommandOutline& command) {
  std::vector<std::string> names;
  for (const CommandOutline& subcommand : command.subcommands) names.push_back(subcommand.name());
  return names;
}

// zsh's _describe takes "word:description", a colon in the word escaped.
std::string zsh_described(std::string_view word, std::string_view description) {
  std::string entry;
  for (const char c : word) {
    if (c == ':') entry += '\\';
    entry += c;
  }
  return sh_quoted(entry + ":" + std::string(description));
}

}  // namespace

std::string bash_completion(const CommandOutline& root) {
  std::string text = "# bash completion for " + root.name() +
                     ", generated from its option definitions.\n"
                     "_kelvane_dat() {\n"
                     "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
                     "  local cword=$COMP_CWORD\n";
  text += sh_walk(root, "1", "COMP_WORDS");
  // "--color=al": the words are "--color", "=" and "al", or "--color" and "=" before a value.
  text +=
      "  if [[ -n $skip && $cur == = ]]; then cur=; fi\n"
      "  if [[ -n $skip && $prev == = ]]; then prev=${COMP_WORDS[cword - 2]}; fi\n";
  text += "  if [[ -n $skip ]]; then\n    case \"$cmd|$prev\" in\n";
  for_each_valued_option(root, [&](const std::string& patterns, const OptionOutline& option) {
    text +=
        "      " + patterns + ") COMPREPLY=($(compgen " +
        (option.takes_path ? std::string("-f") : "-W " + sh_quoted(joined(option.choices, " "))) +
        " -- \"$cur\")) ;;\n";
  });
  text += "    esac\n    return\n  fi\n";
  text += "  local options= words= files=\n  case \"$cmd\" in\n";
  for (const CommandOutline* command : flatten(root)) {
    text += "    " + sh_quoted(command->path) + ")";
    text += " options=" + sh_quoted(joined(all_spellings(*command), " "));
    text += " words=" + sh_quoted(joined(subcommand_names(*command), " "));
    if (command->takes_paths) text += " files=1";
    text += " ;;\n";
  }
  text +=
      "  esac\n"
      "  if [[ $cur == -* ]]; then\n"
      "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
      "    return\n"
      "  fi\n"
      "  COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
      "  if [[ -n $files ]]; then COMPREPLY+=($(compgen -f -- \"$cur\")); fi\n"
      "}\n"
      "complete -o filenames -F _kelvane_dat " +
      root.name() + "\n";
  return text;
}

std::string zsh_completion(const CommandOutline& root) {
  std::string text = "#compdef " + root.name() +
                     "\n"
                     "# zsh completion for " +
                     root.name() +
                     ", generated from its option definitions.\n"
                     "local cword=$CURRENT\n"
                     "local -a entries\n";
  // zsh counts words from 1, the program's name first; `path` is taken (it mirrors $PATH).
  text += sh_walk(root, "2", "words");
  std::string value_cases;
  for_each_valued_option(root, [&](const std::string& patterns, const OptionOutline& option) {
    std::string complete = "_files";
    if (!option.takes_path) {
      complete = "compadd --";
      for (const std::string& choice : option.choices) complete += " " + sh_quoted(choice);
    }
    value_cases += "    " + patterns + ") " + complete + " ;;\n";
  });
  // "--color=al" is one word: what follows the "=" is the value.
  text += "if [[ $PREFIX == -*=* ]]; then\n  local option=${PREFIX%%=*}\n  compset -P '*='\n";
  text += "  case \"$cmd|$option\" in\n" + value_cases + "  esac\n  return\nfi\n";
  text += "if [[ -n $skip ]]; then\n  case \"$cmd|${words[CURRENT - 1]}\" in\n";
  text += value_cases + "  esac\n  return\nfi\n";
  text += "local files=\ncase \"$cmd\" in\n";
  for (const CommandOutline* command : flatten(root)) {
    if (!command->options.empty() || !command->subcommands.empty()) {
      text += "  " + sh_quoted(command->path) + ")\n";
    } else {
      text += "  " + sh_quoted(command->path) + ") ;;\n";
      continue;
    }
    std::vector<std::string> options;
    for (const OptionOutline& option : command->options) {
      for (const std::string& spelling : option_spellings(option)) {
        options.push_back(zsh_described(spelling, option.description));
      }
    }
    std::vector<std::string> subcommands;
    for (const CommandOutline& subcommand : command->subcommands) {
      subcommands.push_back(zsh_described(subcommand.name(), subcommand.summary));
    }
    text += "    if [[ $PREFIX == -* ]]; then\n      entries=(" + joined(options, " ") +
            ")\n      _describe -t options option entries\n      return\n    fi\n";
    if (!subcommands.empty()) {
      text += "    entries=(" + joined(subcommands, " ") +
              ")\n    _describe -t commands command entries\n";
    }
    if (command->takes_paths) text += "    files=1\n";
    text += "    ;;\n";
  }
  text += "esac\nif [[ -n $files ]]; then _files; fi\n";
  return text;
}

std::string fish_completion(const CommandOutline& root) {
  const std::string program = root.name();
  std::string text = "# fish completion for " + program +
                     ", generated from its option definitions.\n"
                     "\n"
                     "# The command typed so far (\"" +
                     program +
                     " strings export\"), skipping options and their values.\n"
                     "function __kelvane_dat_command\n"
                     "    set -l cmd " +
                     fish_quoted(program) +
                     "\n"
                     "    set -l skip 0\n"
                     "    for word in (commandline -opc)[2..-1]\n"
                     "        if test $skip = 1\n"
                     "            set skip 0\n"
                     "            continue\n"
                     "        end\n"
                     "        switch \"$cmd|$word\"\n";
  const WalkPatterns patterns = walk_patterns(root);
  if (!patterns.enter.empty()) {
    text += "            case " + quoted_patterns(patterns.enter, &fish_quoted, " ") +
            "\n                set cmd \"$cmd $word\"\n";
  }
  if (!patterns.skip_value.empty()) {
    text += "            case " + quoted_patterns(patterns.skip_value, &fish_quoted, " ") +
            "\n                set skip 1\n";
  }
  text +=
      "        end\n"
      "    end\n"
      "    echo $cmd\n"
      "end\n"
      "\n"
      "complete -c " +
      program + " -f\n";
  for (const CommandOutline* command : flatten(root)) {
    const std::string condition =
        " -n " + fish_quoted("test (__kelvane_dat_command) = " + fish_quoted(command->path));
    for (const CommandOutline& subcommand : command->subcommands) {
      text += "complete -c " + program + condition + " -a " + fish_quoted(subcommand.name()) +
              " -d " + fish_quoted(subcommand.summary) + "\n";
    }
    for (const OptionOutline& option : command->options) {
      text += "complete -c " + program + condition;
      if (!option.short_name.empty()) text += " -s " + fish_quoted(option.short_name);
      if (!option.long_name.empty()) text += " -l " + fish_quoted(option.long_name);
      if (!option.value_name.empty()) text += " -r";
      if (option.takes_path) text += " -F";
      if (!option.choices.empty()) text += " -a " + fish_quoted(joined(option.choices, " "));
      text += " -d " + fish_quoted(option.description) + "\n";
    }
    if (command->takes_paths) text += "complete -c " + program + condition + " -F\n";
  }
  return text;
}

}  // namespace kelvane_dat::cli
