# The layers check against a small fake tree: clean, it passes; one include against an arrow (and
# one of Qt below the faces) fails it with a message naming the file, the include and the rule;
# an entry in the exceptions file lets the same include through.
#   cmake -DCHECKER=<check_layers.cmake> -DRULES=<layers.txt> -DWORK=<scratch folder> -P layers_test.cmake

file(REMOVE_RECURSE "${WORK}")
file(WRITE "${WORK}/util/text.h" "#pragma once\n#include <string>\n")
file(WRITE "${WORK}/directory/client.h" "#pragma once\n#include <cstdint>\n")
file(WRITE "${WORK}/directory/context.cpp" "#include \"directory/context.h\"\n#include \"directory/client.h\"\n#include \"util/text.h\"\n")
file(WRITE "${WORK}/directory/context.h" "#pragma once\n")
file(WRITE "${WORK}/rights/notation.h" "#pragma once\n#include \"directory/context.h\"\n")
file(WRITE "${WORK}/app/report.cpp" "#include \"rights/notation.h\"\n#include \"client/workstation_client.h\"\n")
file(WRITE "${WORK}/gui/main_form.cpp" "#include <QWidget>\n#include \"app/report.h\"\n")

function(run_check expect_failure what)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK} -DRULES=${RULES} -DALLOWED=${WORK}/allowed.txt -P ${CHECKER}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(out "${out}${err}")
  if(expect_failure AND status EQUAL 0)
    message(FATAL_ERROR "${what}: the check passed, a failure was expected")
  elseif(NOT expect_failure AND NOT status EQUAL 0)
    message(FATAL_ERROR "${what}: the check failed, it should pass:\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

# A failing check whose message (blanks and line breaks made single blanks) matches the pattern.
function(expect_failure what pattern)
  run_check(TRUE "${what}")
  string(REGEX REPLACE "[ \n]+" " " flat "${output}")
  if(NOT flat MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: the message does not name the file, the include and the rule:\n${output}")
  endif()
  set(output "${flat}" PARENT_SCOPE)
endfunction()

file(WRITE "${WORK}/allowed.txt" "")
run_check(FALSE "a clean tree")

# directory -> rights is against the arrows.
file(WRITE "${WORK}/directory/attributes.cpp" "#include \"directory/context.h\"\n#include \"rights/notation.h\"\n")
expect_failure("directory including rights"
  "directory/attributes.cpp includes rights/notation.h \\(rights\\), against the layers: directory may include client-interface, util")
if(output MATCHES "context.cpp")
  message(FATAL_ERROR "an allowed include was reported:\n${output}")
endif()

# The same include, listed as a known exception, passes.
file(WRITE "${WORK}/allowed.txt" "# on its way out\ndirectory/attributes.cpp rights/notation.h\n")
run_check(FALSE "a listed exception")

# Qt below the faces fails too.
file(WRITE "${WORK}/app/saving.cpp" "#include <QString>\n")
expect_failure("app including Qt" "app/saving.cpp includes QString \\(qt\\), against the layers: app may include")
file(REMOVE_RECURSE "${WORK}")
