# Checks that every source folder includes only from the folders its README
# allows, so that the layers stay as the tree shows them:
#   programs -> panel, ctl, scpi -> commands -> session -> dac, adc -> board
#   commands -> logger -> adc;  programs -> view -> analysis -> logger, adc -> board
# Run by every build (target kx_layers) and as a test:
#   cmake -DROOT=<source folder> -P cmake/check_layers.cmake
cmake_minimum_required(VERSION 3.25)

# Folder, then the folders its sources may include from (besides itself).
set(layers
  "board|"
  "board/sim|board"
  "board/trace|board"
  "board/usb|board"
  "board/win|board"
  "board/backend|board board/sim board/trace board/usb board/win"
  "dac|board"
  "adc|board"
  "session|board dac adc"
  "logger|board adc"
  "analysis|board adc logger"
  "view|board adc analysis logger"
  "panel|board board/backend dac adc session"
  "commands|board board/backend dac adc session logger"
  "ctl|board board/backend dac adc session logger commands"
  "scpi|board board/backend dac adc session logger commands"
  "programs|board board/backend session panel commands ctl scpi view"
  "bench|board board/sim board/trace board/usb dac adc session logger commands ctl scpi analysis view"
)

set(folders "")
foreach(layer IN LISTS layers)
  string(REPLACE "|" ";" parts "${layer}")
  list(GET parts 0 folder)
  list(APPEND folders "${folder}")
endforeach()

# The listed folder a path lies in: the longest one that prefixes it.
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

set(faults "")
foreach(layer IN LISTS layers)
  string(REPLACE "|" ";" parts "${layer}")
  list(GET parts 0 folder)
  list(LENGTH parts count)
  set(allowed "${folder}")
  if(count GREATER 1)
    list(GET parts 1 more)
    string(REPLACE " " ";" more "${more}")
    list(APPEND allowed ${more})
  endif()
  file(GLOB sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"[^\"]+/[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^\"]+)/[^/\"]+\".*" "\\1" included "${line}")
      owning_folder("${included}" layer_of)
      if(layer_of STREQUAL "" OR NOT layer_of IN_LIST allowed)
        file(RELATIVE_PATH shown "${ROOT}" "${source}")
        list(APPEND faults "${shown}: ${line} (${folder} may include from: ${allowed})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "includes across the layers:\n  ${text}")
endif()
