# Delay-import libraries: a DLL named through one of these is loaded at the first
# call into it instead of at process start. Under Wine every library loaded at
# start costs the start-up of every run, also of runs that never call it (a
# second instance, a run the manifest skips, a silent run that needs no COM
# control or image library).
#
# uninst_delay_import_library(OUT_VAR NAME) makes lib<NAME>_delay.a in the build
# tree from the toolchain's own import library lib<NAME>.a (same DLL, same
# functions) and sets OUT_VAR to its path. Link it before anything that names
# the plain library; the delay-load helper comes from the toolchain's delayimp.

set(_UNINST_DELAY_IMPORTS_MODULE ${CMAKE_CURRENT_LIST_FILE})
# Made at configure time; a change of this file makes them afresh.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_FILE})

function(uninst_delay_import_library out_var name)
  set(_dir ${CMAKE_BINARY_DIR}/delayimp)
  set(_lib ${_dir}/lib${name}_delay.a)
  if(NOT EXISTS ${_lib} OR ${_UNINST_DELAY_IMPORTS_MODULE} IS_NEWER_THAN ${_lib})
    find_library(_implib_${name} NAMES lib${name}.a NO_CACHE REQUIRED)
    set(_implib ${_implib_${name}})
    execute_process(COMMAND ${CMAKE_DLLTOOL} -I ${_implib}
                    OUTPUT_VARIABLE _dll OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0 OR _dll STREQUAL "")
      message(FATAL_ERROR "cannot tell the DLL of ${_implib}")
    endif()
    # The functions are the import library's code thunks: "Name" on x86_64,
    # "_Name@N" (stdcall) or "_Name" (cdecl) on i686.
    execute_process(COMMAND ${CMAKE_NM} --defined-only ${_implib}
                    OUTPUT_VARIABLE _symbols RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "cannot list ${_implib}")
    endif()
    string(REGEX MATCHALL "[^\n]+ T [^\n]+" _thunks "${_symbols}")
    set(_def "LIBRARY ${_dll}\nEXPORTS\n")
    foreach(_line ${_thunks})
      string(REGEX REPLACE ".* T " "" _symbol "${_line}")
      # One underscore only: CMake's REGEX REPLACE anchors "^" again after each
      # match, which would turn comctl32's "__TrackMouseEvent@4" into user32's
      # "_TrackMouseEvent@4" and take that call away from user32.
      if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND _symbol MATCHES "^_")
        string(SUBSTRING "${_symbol}" 1 -1 _symbol)
      endif()
      string(APPEND _def "${_symbol}\n")
    endforeach()
    file(MAKE_DIRECTORY ${_dir})
    file(WRITE ${_dir}/${name}.def "${_def}")
    # --kill-at: the DLL exports the undecorated names of stdcall functions.
    execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at -d ${_dir}/${name}.def -D ${_dll} -y ${_lib}
                    RESULT_VARIABLE _rc ERROR_VARIABLE _err)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "dlltool failed for ${name}: ${_err}")
    endif()
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # The i686 linker drops the code section of an import-library member
      # whose function symbol nobody names, as it does for the jump stubs of
      # plain import libraries; calls through the dllimport pointer would then
      # jump to 0. Marked as data the section is not taken for such a stub; the
      # linker script still places ".text$..." sections in the code section.
      execute_process(COMMAND ${CMAKE_OBJCOPY} --rename-section ".text=.text\$dly,alloc,load,readonly,data,contents"
                              ${_lib} RESULT_VARIABLE _rc ERROR_VARIABLE _err)
      if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "objcopy failed for ${name}: ${_err}")
      endif()
    endif()
  endif()
  set(${out_var} ${_lib} PARENT_SCOPE)
endfunction()
