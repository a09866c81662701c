# Warning flags shared by every target of the project.
function(clipvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
  if(CLIPVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Sources of a subsystem folder: every .cpp directly in it.
function(clipvane_sources out dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(${out} ${_src} PARENT_SCOPE)
endfunction()
