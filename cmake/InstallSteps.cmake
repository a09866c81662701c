# InstallSteps: the uninstall entry written at install time, and the uninstall target's work.
#
# CLIPVANE_STEP install   runs inside "cmake --install" (see Install.cmake); CMAKE_INSTALL_PREFIX
#                         is the prefix of this installation.
# CLIPVANE_STEP uninstall runs as "cmake -P" from the uninstall target.
# Both get CLIPVANE_BINARY_DIR (the build folder) and CLIPVANE_CLI (this build's clipvane-cli).
#
# The install step records in <build>/install_entry.txt which hive got the entry for which
# prefix, so the uninstall step removes exactly that one.

set(_record "${CLIPVANE_BINARY_DIR}/install_entry.txt")

# Where the desktop looks for applications ($XDG_DATA_HOME and $XDG_DATA_DIRS): only there is a
# desktop database worth refreshing; elsewhere a refresh would only leave a stray cache behind.
function(_cv_refresh_desktop_database prefix)
  set(apps "${prefix}/share/applications")
  if(NOT IS_DIRECTORY "${apps}")
    return()
  endif()
  if(DEFINED ENV{XDG_DATA_DIRS} AND NOT "$ENV{XDG_DATA_DIRS}" STREQUAL "")
    string(REPLACE ":" ";" dataDirs "$ENV{XDG_DATA_DIRS}")
  else()
    set(dataDirs /usr/local/share /usr/share)
  endif()
  if(DEFINED ENV{XDG_DATA_HOME} AND NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
    list(APPEND dataDirs "$ENV{XDG_DATA_HOME}")
  elseif(DEFINED ENV{HOME})
    list(APPEND dataDirs "$ENV{HOME}/.local/share")
  endif()
  set(watched FALSE)
  foreach(dir IN LISTS dataDirs)
    string(REGEX REPLACE "/+$" "" dir "${dir}")
    if(dir STREQUAL "${prefix}/share")
      set(watched TRUE)
    endif()
  endforeach()
  find_program(_cv_udd update-desktop-database)
  if(watched AND _cv_udd)
    execute_process(COMMAND "${_cv_udd}" -q "${apps}" RESULT_VARIABLE rc)
  endif()
endfunction()

if(CLIPVANE_STEP STREQUAL "install")
  if(NOT "$ENV{DESTDIR}" STREQUAL "")
    # A staged tree (a package in the making) is not an installation on this machine; the
    # package's own scripts write the entry where it is finally installed.
    message(STATUS "Uninstall entry: none for a staged installation (DESTDIR)")
    return()
  endif()
  set(prefix "${CMAKE_INSTALL_PREFIX}")
  string(REGEX REPLACE "(.)/+$" "\\1" prefix "${prefix}")
  _cv_refresh_desktop_database("${prefix}")
  if(CLIPVANE_INSTALL_ENTRY STREQUAL "OFF")
    return()
  endif()

  set(hive "${CLIPVANE_INSTALL_ENTRY}")
  if(NOT hive STREQUAL "MACHINE" AND NOT hive STREQUAL "USER")
    # A prefix of the user's own is installed for that user; so is anything installed without
    # root rights, which could not write the machine hive anyway.
    set(home "$ENV{HOME}")
    set(underHome FALSE)
    if(NOT home STREQUAL "" AND NOT home STREQUAL "/")
      cmake_path(IS_PREFIX home "${prefix}" NORMALIZE underHome)
    endif()
    execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE rc)
    if(underHome OR NOT uid STREQUAL "0")
      set(hive USER)
    else()
      set(hive MACHINE)
    endif()
  endif()
  string(TOLOWER "${hive}" option)

  if(NOT EXISTS "${CLIPVANE_CLI}")
    message(WARNING "Uninstall entry not written: ${CLIPVANE_CLI} is missing")
    return()
  endif()
  set(uninstallCommand "cmake --build \"${CLIPVANE_BINARY_DIR}\" --target uninstall")
  execute_process(
    COMMAND "${CLIPVANE_CLI}" install-entry --${option} --uninstall-command "${uninstallCommand}"
            "${prefix}"
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(rc EQUAL 0)
    message(STATUS "Uninstall entry: \"Quorlen Clipvane\" in the ${option} hive, for ${prefix}")
    file(WRITE "${_record}" "${option}\n${prefix}\n")
  else()
    # The files are in place; without the entry the program only runs portable.
    string(STRIP "${err}" err)
    message(WARNING "Uninstall entry not written (${err}); the program will run portable")
  endif()

elseif(CLIPVANE_STEP STREQUAL "uninstall")
  set(manifest "${CLIPVANE_BINARY_DIR}/install_manifest.txt")
  if(NOT EXISTS "${manifest}")
    message(FATAL_ERROR "Nothing to uninstall: ${manifest} is missing (nothing was installed "
      "from this build)")
  endif()

  # The entry goes first: with it gone the program, should it still run, turns portable and
  # no longer points at files that are about to vanish.
  file(STRINGS "${manifest}" files)
  set(prefix "")
  if(EXISTS "${_record}")
    file(STRINGS "${_record}" lines)
    list(LENGTH lines n)
    if(n EQUAL 2)
      list(GET lines 0 option)
      list(GET lines 1 prefix)
    endif()
    # A staged installation since then replaced the manifest: that entry is not this one's.
    set(ours FALSE)
    foreach(f IN LISTS files)
      if(NOT prefix STREQUAL "")
        cmake_path(IS_PREFIX prefix "${f}" NORMALIZE inside)
        if(inside)
          set(ours TRUE)
          break()
        endif()
      endif()
    endforeach()
    if(NOT ours)
      set(prefix "")
    endif()
    if(NOT prefix STREQUAL "")
      if(EXISTS "${CLIPVANE_CLI}")
        execute_process(COMMAND "${CLIPVANE_CLI}" remove-entry --${option} "${prefix}"
          RESULT_VARIABLE rc ERROR_VARIABLE err)
        if(NOT rc EQUAL 0)
          message(FATAL_ERROR "Cannot remove the uninstall entry: ${err}")
        endif()
        message(STATUS "Uninstall entry removed from the ${option} hive")
      else()
        message(WARNING "The uninstall entry stays: ${CLIPVANE_CLI} is missing")
      endif()
    endif()
  endif()

  set(removed 0)
  set(dirs "")
  foreach(f IN LISTS files)
    if(EXISTS "${f}" OR IS_SYMLINK "${f}")
      file(REMOVE "${f}")
      if(EXISTS "${f}" OR IS_SYMLINK "${f}")
        message(FATAL_ERROR "Cannot remove ${f}")
      endif()
      math(EXPR removed "${removed} + 1")
    else()
      message(STATUS "Already gone: ${f}")
    endif()
    get_filename_component(d "${f}" DIRECTORY)
    list(APPEND dirs "${d}")
  endforeach()
  # Our own folders go when they are empty: those named clipvane and the folders below them
  # (share/clipvane, share/doc/clipvane, or a whole prefix such as /opt/clipvane). Shared ones
  # (bin, share/applications, the icon theme) stay for the other programs that use them.
  list(REMOVE_DUPLICATES dirs)
  foreach(d IN LISTS dirs)
    while(d MATCHES "/clipvane(/|$)" AND IS_DIRECTORY "${d}")
      file(GLOB left "${d}/*" "${d}/.*")
      if(left)
        break()
      endif()
      file(REMOVE_RECURSE "${d}")
      get_filename_component(d "${d}" DIRECTORY)
    endwhile()
  endforeach()
  message(STATUS "Uninstalled: ${removed} files removed")
  if(NOT prefix STREQUAL "")
    file(REMOVE "${_record}")
    _cv_refresh_desktop_database("${prefix}")
  endif()

else()
  message(FATAL_ERROR "InstallSteps.cmake: CLIPVANE_STEP must be install or uninstall")
endif()
