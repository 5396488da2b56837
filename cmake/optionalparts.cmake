# Parts of the build that depend on what is installed. Visual mode (NK_VISUAL) and the Python
# module (NK_PYTHON) are ON, OFF or AUTO (the default). AUTO builds the part when what it needs
# is found, and that is looked for again at every configure: installing Qt and VTK or pybind11
# later and configuring again is enough, since no decision is cached. ON stops the configure
# when something is missing; OFF leaves the part out.

# Sets <option>_BUILT (ON or OFF) and <option>_WHY (why not built) in the caller's scope.
#   nk_decide_part(<option> <found> <what is missing, and how to get it>)
function(nk_decide_part option found missing)
  string(TOUPPER "${${option}}" mode)
  set(why "")
  if(mode STREQUAL "AUTO")
    if(found)
      set(built ON)
    else()
      set(built OFF)
      set(why "${missing}")
    endif()
  elseif(${option})
    if(NOT found)
      message(FATAL_ERROR "${option}=${${option}}, but ${missing}")
    endif()
    set(built ON)
  else()
    set(built OFF)
    set(why "${option}=${${option}}")
  endif()
  set(${option}_BUILT ${built} PARENT_SCOPE)
  set(${option}_WHY "${why}" PARENT_SCOPE)
endfunction()

# One line of the summary that ends the configure output: built (with `detail`), or not and why.
function(nk_report_part name built detail why)
  if(built)
    if(detail)
      message(STATUS "${name}: built (${detail})")
    else()
      message(STATUS "${name}: built")
    endif()
  else()
    message(STATUS "${name}: not built: ${why}")
  endif()
endfunction()
