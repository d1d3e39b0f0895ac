# Writes noxcam's man page and bash completion from its own --help output, so that both follow the
# command line as it is built. Run as: cmake -DNOXCAM=<program> -DVERSION=<v> -DMAN_PAGE=<file>
# -DCOMPLETION=<file> -P HelpPages.cmake

function(help_of out)
  execute_process(COMMAND ${NOXCAM} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "noxcam ${ARGN} --help failed: ${result}")
  endif()
  # The program's path in the usage line is the build tree's; the page shows its name.
  string(REGEX REPLACE "Usage: [^ \n]*noxcam" "Usage: noxcam" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Names listed under "Subcommands:" in a help text.
function(subcommands_of out text)
  set(names "")
  string(FIND "${text}" "\nSubcommands:\n" start)
  if(start GREATER -1)
    string(SUBSTRING "${text}" ${start} -1 section)
    string(REGEX MATCHALL "\n  [a-z]+ " lines "${section}")
    foreach(line IN LISTS lines)
      string(STRIP "${line}" name)
      list(APPEND names ${name})
    endforeach()
  endif()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Option names in a help text, and those of them that take a value.
function(options_of names_out valued_out text)
  set(names "")
  set(valued "")
  string(REGEX MATCHALL "\n  -[^ \n]+( [A-Z][A-Z:]*)?" lines "${text}")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    string(REGEX MATCH "^[^ ]+" spelled "${line}")
    string(REPLACE "," ";" spellings "${spelled}")
    list(APPEND names ${spellings})
    if(line MATCHES " [A-Z]")
      list(APPEND valued ${spellings})
    endif()
  endforeach()
  set(${names_out} ${names} PARENT_SCOPE)
  set(${valued_out} ${valued} PARENT_SCOPE)
endfunction()

# Roff: backslashes shown as such, and no line that starts like a request.
function(roff out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" text "\n${text}")
  string(SUBSTRING "${text}" 1 -1 text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

help_of(top)
string(REGEX MATCH "^[^\n]*" summary "${top}")
roff(top_roff "${top}")
set(page ".TH NOXCAM 1 \"\" \"noxcam ${VERSION}\" \"User Commands\"\n.SH NAME\nnoxcam \\- ${summary}\n")
string(APPEND page ".SH SYNOPSIS\n.B noxcam\n[\\fIOPTIONS\\fR] \\fISUBCOMMAND\\fR [\\fIARGUMENTS\\fR]\n")
string(APPEND page ".SH DESCRIPTION\n.nf\n${top_roff}.fi\n.SH SUBCOMMANDS\n")

options_of(common_options common_valued "${top}")
subcommands_of(commands "${top}")
set(cases "")
set(groups "")
set(valued ${common_valued})
foreach(command IN LISTS commands)
  help_of(text ${command})
  subcommands_of(children "${text}")
  set(paths ${command})
  if(children)
    list(APPEND groups ${command})
    string(REPLACE ";" " " words "${children}")
    string(APPEND cases "    \"${command}\") words=\"${words}\" ;;\n")
    set(paths "")
    foreach(child IN LISTS children)
      list(APPEND paths "${command} ${child}")
    endforeach()
  endif()
  foreach(path IN LISTS paths)
    string(REPLACE " " ";" arguments "${path}")
    help_of(text ${arguments})
    # The exit codes every help ends with are said once, under DESCRIPTION.
    string(FIND "${text}" "\nExit codes:" footer)
    if(footer GREATER -1)
      string(SUBSTRING "${text}" 0 ${footer} text)
      string(APPEND text "\n")
    endif()
    roff(text_roff "${text}")
    string(APPEND page ".SS \"noxcam ${path}\"\n.nf\n${text_roff}.fi\n")
    options_of(names more_valued "${text}")
    list(APPEND valued ${more_valued})
    list(REMOVE_ITEM names -h --help)
    string(REPLACE ";" " " words "${names}")
    string(APPEND cases "    \"${path}\") words=\"${words}\" ;;\n")
  endforeach()
endforeach()
file(WRITE ${MAN_PAGE} "${page}")

list(REMOVE_DUPLICATES valued)
string(REPLACE ";" " " valued "${valued}")
string(REPLACE ";" " " common_words "${common_options}")
string(REPLACE ";" " " command_words "${commands}")
string(REPLACE ";" " " groups "${groups}")
file(WRITE ${COMPLETION} "# bash completion for noxcam ${VERSION}, written from its --help
_noxcam() {
    local cur=\${COMP_WORDS[COMP_CWORD]} path=\"\" words=\"\" word i
    local valued=\" ${valued} \" groups=\" ${groups} \"
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=\${COMP_WORDS[i]}
        if [[ \$valued == *\" \$word \"* ]]; then
            ((i++))
        elif [[ \$word != -* && ( -z \$path || \$groups == *\" \$path \"* ) ]]; then
            # Words after a subcommand are its arguments, not a deeper subcommand.
            path=\"\${path:+\$path }\$word\"
        fi
    done
    case \$path in
    \"\") words=\"${command_words}\" ;;
${cases}    esac
    COMPREPLY=(\$(compgen -W \"\$words ${common_words}\" -- \"\$cur\"))
}
complete -o default -F _noxcam noxcam
")
