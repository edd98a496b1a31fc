# Whether the library carries the editor.
#
#   TARVOLIN_EDITOR = AUTO (default): with the editor when its libraries and the artwork generator's
#                     Python are found, else without it (and saying so);
#                     ON: the editor is required; OFF: never.
#
# Sets TARVOLIN_WITH_EDITOR (ON/OFF), the imported target PkgConfig::TARVOLIN_EDITOR_LIBS (cairo with
# FreeType and fontconfig, libpng, libxcb for the window) and TARVOLIN_ARTWORK_PYTHON (a Python 3
# that can import cairo).
# Without the editor the library is built from everything but src/editor and src/render, and hosts
# are told that it has no editor.

set(TARVOLIN_EDITOR AUTO CACHE STRING "Build the editor: AUTO, ON or OFF")
set_property(CACHE TARVOLIN_EDITOR PROPERTY STRINGS AUTO ON OFF)
if(NOT TARVOLIN_EDITOR MATCHES "^(AUTO|ON|OFF)$")
  message(FATAL_ERROR "TARVOLIN_EDITOR must be AUTO, ON or OFF, not '${TARVOLIN_EDITOR}'")
endif()

# The artwork generator draws with pycairo. The first python3 on PATH may be one without it (a
# pyenv, a virtual environment), so the candidates are tried in turn; the system one comes first.
function(tarvolin_find_artwork_python out)
  if(TARVOLIN_ARTWORK_PYTHON)
    set(${out} "${TARVOLIN_ARTWORK_PYTHON}" PARENT_SCOPE)
    return()
  endif()
  find_program(path_python3 NAMES python3 NO_CACHE)
  foreach(candidate /usr/bin/python3 ${Python3_EXECUTABLE} ${path_python3})
    if(EXISTS "${candidate}")
      execute_process(COMMAND "${candidate}" -c "import cairo"
        RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
      if(status EQUAL 0)
        set(TARVOLIN_ARTWORK_PYTHON "${candidate}" CACHE FILEPATH "Python 3 with pycairo, for the artwork")
        set(${out} "${candidate}" PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

set(TARVOLIN_WITH_EDITOR OFF)
if(NOT TARVOLIN_EDITOR STREQUAL "OFF")
  pkg_check_modules(TARVOLIN_EDITOR_LIBS QUIET IMPORTED_TARGET cairo cairo-ft libpng freetype2 fontconfig xcb)
  tarvolin_find_artwork_python(artwork_python)
  set(missing "")
  if(NOT TARVOLIN_EDITOR_LIBS_FOUND)
    set(missing "the cairo, libpng, freetype2, fontconfig and xcb development packages")
  elseif(NOT artwork_python)
    set(missing "a Python 3 with the cairo module (python3-cairo)")
  endif()
  if(missing STREQUAL "")
    set(TARVOLIN_WITH_EDITOR ON)
    message(STATUS "Tarvolin: with the editor (artwork drawn by ${artwork_python})")
  elseif(TARVOLIN_EDITOR STREQUAL "ON")
    message(FATAL_ERROR "Tarvolin: the editor needs ${missing}")
  else()
    message(STATUS "Tarvolin: WITHOUT the editor: ${missing} not found; hosts are told there is none")
  endif()
else()
  message(STATUS "Tarvolin: WITHOUT the editor (TARVOLIN_EDITOR=OFF)")
endif()
