# Install: what an installation holds besides the programs, its uninstall entry, the uninstall target and the Debian package.
#
# Included from the top CMakeLists after every subdirectory, so it sees which programs are built.
# The programs install themselves to bin/ (the language list finds its files as
# <bin>/../share/clipvane/languages). Here:
#
#   share/applications/clipvane.desktop            desktop entry (with the GUI)
#   share/metainfo/io.quorlen.Clipvane.metainfo.xml AppStream description (with the GUI)
#   share/icons/hicolor/{scalable,NxN}/apps/        program icon, PNGs made by rsvg-convert
#   share/clipvane/languages/                      language files from <build>/languages
#   share/doc/clipvane/copyright                   the licence
#
# "cmake --install" also records the installation in the settings store (see
# CLIPVANE_INSTALL_ENTRY): an installed program keeps its settings there, a copy without the
# entry runs portable. "cmake --build <dir> --target uninstall" takes the last installation
# away again, and "cpack" in the build folder makes the Debian package.

set(CLIPVANE_INSTALL_ENTRY AUTO CACHE STRING
  "Uninstall entry written by cmake --install: AUTO (user hive for a prefix under $HOME or a non-root install, machine hive otherwise), MACHINE, USER or OFF")
set_property(CACHE CLIPVANE_INSTALL_ENTRY PROPERTY STRINGS AUTO MACHINE USER OFF)

set(_cv_packaging ${PROJECT_SOURCE_DIR}/packaging)
# The window shows the same picture, so the program's own icon is the one source.
set(_cv_icon ${PROJECT_SOURCE_DIR}/assets/clipvane-app-icon.svg)
# Redrawn on the pixel grid: scaled down, the big picture turns to mush at 16 pixels.
set(_cv_icon16 ${_cv_packaging}/icons/clipvane-16.svg)
set(CLIPVANE_ICON_SIZES 16 22 24 32 48 64 128 256)

# Everything for the desktop comes with the program; a build without the GUI installs only the
# command-line tools.
if(TARGET clipvane)
  install(FILES ${_cv_packaging}/clipvane.desktop DESTINATION share/applications)
  install(FILES ${_cv_packaging}/io.quorlen.Clipvane.metainfo.xml DESTINATION share/metainfo)
  install(FILES ${_cv_icon} DESTINATION share/icons/hicolor/scalable/apps RENAME clipvane.svg)

  find_program(CLIPVANE_RSVG_CONVERT rsvg-convert)
  if(CLIPVANE_RSVG_CONVERT)
    set(_cv_pngs "")
    foreach(size IN LISTS CLIPVANE_ICON_SIZES)
      set(source ${_cv_icon})
      if(size LESS 20 AND EXISTS ${_cv_icon16})
        set(source ${_cv_icon16})
      endif()
      set(dir ${PROJECT_BINARY_DIR}/icons/${size}x${size}/apps)
      add_custom_command(OUTPUT ${dir}/clipvane.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${CLIPVANE_RSVG_CONVERT} --width ${size} --height ${size} --output ${dir}/clipvane.png ${source}
        DEPENDS ${source}
        COMMENT "Drawing the ${size}x${size} program icon"
        VERBATIM)
      list(APPEND _cv_pngs ${dir}/clipvane.png)
      install(FILES ${dir}/clipvane.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(clipvane_icons ALL DEPENDS ${_cv_pngs})
  else()
    message(WARNING "rsvg-convert not found (Debian package librsvg2-bin): only the scalable "
      "program icon is installed")
  endif()
endif()

# The language build writes the files it makes into this folder of the build tree.
set(CLIPVANE_LANGUAGE_BUILD_DIR ${PROJECT_BINARY_DIR}/languages)
install(DIRECTORY ${CLIPVANE_LANGUAGE_BUILD_DIR}/ DESTINATION share/clipvane/languages
  OPTIONAL FILES_MATCHING PATTERN "*.SPK")

if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION share/doc/clipvane RENAME copyright)
endif()

# The entry is written with the command-line tool of this build: it needs nothing installed and is
# still there for the uninstall target after the installed copy has gone.
set(_cv_steps ${CMAKE_CURRENT_LIST_DIR}/InstallSteps.cmake)
if(TARGET clipvane-cli)
  install(CODE "set(CLIPVANE_STEP install)
set(CLIPVANE_CLI \"$<TARGET_FILE:clipvane-cli>\")
set(CLIPVANE_BINARY_DIR \"${PROJECT_BINARY_DIR}\")
set(CLIPVANE_INSTALL_ENTRY \"${CLIPVANE_INSTALL_ENTRY}\")
include(\"${_cv_steps}\")")
  set(_cv_cli_arg -DCLIPVANE_CLI=$<TARGET_FILE:clipvane-cli>)
else()
  set(_cv_cli_arg "")
endif()
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DCLIPVANE_STEP=uninstall ${_cv_cli_arg}
          -DCLIPVANE_BINARY_DIR=${PROJECT_BINARY_DIR} -P ${_cv_steps}
  COMMENT "Removing the files of the last installation from this build"
  VERBATIM)

# The Debian package: "cpack" in the build folder (scripts/package builds the release preset and
# runs it). Its maintainer scripts write and remove the machine's uninstall entry.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME clipvane)
set(CPACK_PACKAGE_VENDOR Quorlen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorlen <dev@quorlen.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "easy movie splitter for AVI files")
set(CPACK_PACKAGE_DESCRIPTION
  "Clipvane cuts a sequence out of an AVI file without re-encoding: load a file, step
through its frames, mark a beginning and an end, and save that sequence as a new AVI
file. Compressed video and audio are copied as stored, starting at the key frame at
or before the beginning. Clipvane also extracts an MP3 soundtrack, saves single
frames as BMP or JPEG pictures and shows a file's properties.

The package holds the program, clipvane-cli for the same work on the command line,
and clipvane-lang for building language files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
  set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorlen <dev@quorlen.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quorlen.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET clipvane)
  # Loaded by Qt as plugins, so dpkg-shlibdeps cannot see them: SVG icons of the window.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${_cv_packaging}/debian/postinst ${_cv_packaging}/debian/prerm ${_cv_packaging}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/\\\\.cache/")
include(CPack)
