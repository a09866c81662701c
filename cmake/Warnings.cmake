# Warning flags shared by every target of the project.
function(clipvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
  if(CLIPVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Sources of one or more folders: every .cpp directly in each.
function(clipvane_sources out)
  set(_src "")
  foreach(dir ${ARGN})
    file(GLOB _dir_src CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND _src ${_dir_src})
  endforeach()
  set(${out} ${_src} PARENT_SCOPE)
endfunction()
