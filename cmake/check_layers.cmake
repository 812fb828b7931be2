# Checks that every source folder includes only from the folders its README
# allows, so that the layers stay as the tree shows them:
#   programs -> panel, ctl, scpi -> commands -> session -> dac, adc -> board
#   commands -> logger -> adc;  programs -> view -> analysis -> logger, adc -> board
# The rules are the READMEs' own: a folder's README holds a paragraph that
# starts "May include:" and names each folder it may include from in
# backquotes, with its path from the top and a closing slash (`board/`,
# `board/sim/`); "any folder of the project" allows them all. A folder always
# includes from itself. So the README and the check cannot disagree.
# Run by every build (target kx_layers) and as a test:
#   cmake -DROOT=<source folder> -P cmake/check_layers.cmake
cmake_minimum_required(VERSION 3.25)

# The layered folders: those, one or two levels down, whose README says what
# they may include (tests/ may include anything and says so otherwise).
file(GLOB readmes RELATIVE "${ROOT}" "${ROOT}/*/README.md" "${ROOT}/*/*/README.md")
set(folders "")
set(faults "")
foreach(readme IN LISTS readmes)
  get_filename_component(folder "${readme}" DIRECTORY)
  if(folder MATCHES "^(build|tests)")
    continue()
  endif()
  file(READ "${ROOT}/${readme}" text)
  # The paragraph: from "May include:" to the next blank line.
  string(REGEX MATCH "(^|\n)May include:[^\n]*(\n[^\n]+)*" rule "${text}")
  if(rule STREQUAL "")
    continue()
  endif()
  string(REPLACE "/" "_" key "${folder}")
  string(REGEX MATCHALL "`[^`]+/`" named "${rule}")
  set(allowed_${key} "${folder}")
  if(rule MATCHES "any folder of the project")
    set(any_${key} TRUE)
  endif()
  foreach(word IN LISTS named)
    string(REGEX REPLACE "^`(.+)/`$" "\\1" named_folder "${word}")
    if(NOT IS_DIRECTORY "${ROOT}/${named_folder}")
      list(APPEND faults "${readme}: \"May include:\" names ${word}, which is no folder")
    endif()
    list(APPEND allowed_${key} "${named_folder}")
  endforeach()
  list(APPEND folders "${folder}")
endforeach()
if(NOT folders)
  message(FATAL_ERROR "no README under ${ROOT} says what its folder may include")
endif()

# The layered folder a path lies in: the longest one that prefixes it.
function(owning_folder path out)
  set(best "")
  foreach(folder IN LISTS folders)
    string(LENGTH "${folder}" length)
    string(LENGTH "${best}" best_length)
    if("${path}/" MATCHES "^${folder}/" AND length GREATER best_length)
      set(best "${folder}")
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

foreach(folder IN LISTS folders)
  string(REPLACE "/" "_" key "${folder}")
  set(allowed ${allowed_${key}})
  if(any_${key})
    set(allowed ${folders})
  endif()
  file(GLOB sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"[^\"]+/[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^\"]+)/[^/\"]+\".*" "\\1" included "${line}")
      owning_folder("${included}" layer_of)
      if(layer_of STREQUAL "" OR NOT layer_of IN_LIST allowed)
        file(RELATIVE_PATH shown "${ROOT}" "${source}")
        list(JOIN allowed ", " allowed_text)
        list(APPEND faults
             "${shown}: ${line} (${folder}/README.md: ${folder} may include from ${allowed_text})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "includes across the layers:\n  ${text}")
endif()
list(LENGTH folders count)
message(STATUS "layers: the includes of ${count} folders keep to their READMEs")
