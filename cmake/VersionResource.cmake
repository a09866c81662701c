# VersionResource: clipvane_embed_version(target) puts a VS_VERSIONINFO block into the ELF section .rsrc_version.
#
# Our programs carry the same version resource a PE file keeps among its resources, made from the
# project version, so that the version reader reads both alike. The block is written as assembler
# directives inside a C++ asm-declaration compiled with the target: the assembler works the block
# lengths out from labels, and no extra language, host tool or post-build step is needed. The
# section is allocated ("a"), so strip keeps it.
#
#   clipvane_embed_version(<target> [DESCRIPTION <text>] [COPYRIGHT <text>])
#
# Strings: CompanyName "Quorlen", ProductName "Clipvane", FileDescription, FileVersion and
# ProductVersion (the four-part project version), InternalName (the target), LegalCopyright,
# OriginalFilename (the output file name); one translation, 0409 (U.S. English) with code
# page 04B0 (Unicode). The target also gets FileVersionText's reader installed at start-up (it
# links clipvane_support for that).

# UTF-16 code units of a UTF-8 text, as a list of numbers.
function(_clipvane_utf16_units text out)
  string(HEX "${text}" hex)
  string(LENGTH "${hex}" hexLength)
  set(units "")
  set(i 0)
  while(i LESS hexLength)
    string(SUBSTRING "${hex}" ${i} 2 byte)
    math(EXPR c "0x${byte}")
    math(EXPR i "${i} + 2")
    if(c LESS 128)
      set(cp ${c})
      set(more 0)
    elseif(c GREATER_EQUAL 240)
      math(EXPR cp "${c} & 7")
      set(more 3)
    elseif(c GREATER_EQUAL 224)
      math(EXPR cp "${c} & 15")
      set(more 2)
    elseif(c GREATER_EQUAL 192)
      math(EXPR cp "${c} & 31")
      set(more 1)
    else()
      message(FATAL_ERROR "version resource text is not UTF-8: ${text}")
    endif()
    while(more GREATER 0)
      if(NOT i LESS hexLength)
        message(FATAL_ERROR "version resource text is not UTF-8: ${text}")
      endif()
      string(SUBSTRING "${hex}" ${i} 2 byte)
      math(EXPR cp "(${cp} << 6) | (0x${byte} & 63)")
      math(EXPR i "${i} + 2")
      math(EXPR more "${more} - 1")
    endwhile()
    if(cp GREATER_EQUAL 65536)
      math(EXPR high "0xD800 + ((${cp} - 65536) >> 10)")
      math(EXPR low "0xDC00 + ((${cp} - 65536) & 1023)")
      list(APPEND units ${high} ${low})
    else()
      list(APPEND units ${cp})
    endif()
  endwhile()
  set(${out} "${units}" PARENT_SCOPE)
endfunction()

# ".2byte" lines holding the text and its terminating NUL; count receives the number of units.
function(_clipvane_utf16_directives text out count)
  _clipvane_utf16_units("${text}" units)
  list(APPEND units 0)
  list(LENGTH units n)
  set(lines "")
  set(line "")
  set(onLine 0)
  foreach(u IN LISTS units)
    math(EXPR hexUnit "${u}" OUTPUT_FORMAT HEXADECIMAL)
    if(onLine EQUAL 0)
      set(line "    .2byte ${hexUnit}")
    else()
      string(APPEND line ", ${hexUnit}")
    endif()
    math(EXPR onLine "${onLine} + 1")
    if(onLine EQUAL 12)
      string(APPEND lines "${line}\n")
      set(onLine 0)
    endif()
  endforeach()
  if(onLine GREATER 0)
    string(APPEND lines "${line}\n")
  endif()
  set(${out} "${lines}" PARENT_SCOPE)
  set(${count} ${n} PARENT_SCOPE)
endfunction()

# The header of a node (wLength from labels, wValueLength, wType, key), up to its value.
function(_clipvane_node_head label key valueLength type out)
  _clipvane_utf16_directives("${key}" keyLines keyUnits)
  set(${out}
    "    .balign 4\n.Lcv_${label}:\n    .2byte .Lcv_${label}_end - .Lcv_${label}\n    .2byte ${valueLength}\n    .2byte ${type}\n${keyLines}    .balign 4\n"
    PARENT_SCOPE)
endfunction()

function(clipvane_embed_version target)
  cmake_parse_arguments(ARG "" "DESCRIPTION;COPYRIGHT" "" ${ARGN})
  if(NOT ARG_DESCRIPTION)
    set(ARG_DESCRIPTION "Clipvane")
  endif()
  if(NOT ARG_COPYRIGHT)
    set(ARG_COPYRIGHT "Copyright (C) Quorlen")
  endif()
  # The block is little-endian by definition and .2byte writes the target's order.
  if(CMAKE_CXX_BYTE_ORDER STREQUAL "BIG_ENDIAN")
    message(WARNING "${target}: no version resource on a big-endian target")
    return()
  endif()

  set(parts "")
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(n "${CMAKE_PROJECT_VERSION_${part}}")
    if(n STREQUAL "")
      set(n 0)
    endif()
    if(n GREATER 65535)
      message(FATAL_ERROR "version part ${part} (${n}) does not fit a version resource")
    endif()
    list(APPEND parts ${n})
  endforeach()
  list(GET parts 0 vMajor)
  list(GET parts 1 vMinor)
  list(GET parts 2 vPatch)
  list(GET parts 3 vTweak)
  set(versionText "${vMajor}.${vMinor}.${vPatch}.${vTweak}")
  math(EXPR versionMS "(${vMajor} << 16) | ${vMinor}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR versionLS "(${vPatch} << 16) | ${vTweak}" OUTPUT_FORMAT HEXADECIMAL)

  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(fileType 2) # VFT_DLL
    set(suffix "${CMAKE_SHARED_LIBRARY_SUFFIX}")
    set(prefix "${CMAKE_SHARED_LIBRARY_PREFIX}")
  else()
    set(fileType 1) # VFT_APP
    set(suffix "${CMAKE_EXECUTABLE_SUFFIX}")
    set(prefix "")
  endif()
  get_target_property(outputName ${target} OUTPUT_NAME)
  if(NOT outputName)
    set(outputName ${target})
  endif()

  set(strings
    CompanyName "Quorlen"
    FileDescription "${ARG_DESCRIPTION}"
    FileVersion "${versionText}"
    InternalName "${target}"
    LegalCopyright "${ARG_COPYRIGHT}"
    OriginalFilename "${prefix}${outputName}${suffix}"
    ProductName "Clipvane"
    ProductVersion "${versionText}")

  set(body "")
  list(LENGTH strings stringCount)
  math(EXPR lastPair "${stringCount} - 1")
  foreach(i RANGE 0 ${lastPair} 2)
    math(EXPR j "${i} + 1")
    list(GET strings ${i} key)
    list(GET strings ${j} value)
    _clipvane_utf16_directives("${value}" valueLines valueUnits)
    _clipvane_node_head(${key} ${key} ${valueUnits} 1 head)
    string(APPEND body "${head}${valueLines}.Lcv_${key}_end:\n")
  endforeach()

  _clipvane_node_head(root "VS_VERSION_INFO" 52 0 rootHead)
  _clipvane_node_head(sfi "StringFileInfo" 0 1 sfiHead)
  _clipvane_node_head(table "040904B0" 0 1 tableHead)
  _clipvane_node_head(vfi "VarFileInfo" 0 1 vfiHead)
  _clipvane_node_head(var "Translation" 4 0 varHead)

  set(asm "    .pushsection .rsrc_version,\"a\",@progbits\n")
  string(APPEND asm "${rootHead}")
  # VS_FIXEDFILEINFO: signature, structure version, file and product version, flags mask,
  # flags, OS (VOS_UNKNOWN: this is no Windows binary), type, subtype, date.
  string(APPEND asm "    .4byte 0xFEEF04BD, 0x00010000, ${versionMS}, ${versionLS}\n")
  string(APPEND asm "    .4byte ${versionMS}, ${versionLS}, 0x3F, 0, 0, ${fileType}, 0, 0, 0\n")
  string(APPEND asm "${sfiHead}${tableHead}${body}.Lcv_table_end:\n.Lcv_sfi_end:\n")
  string(APPEND asm "${vfiHead}${varHead}    .2byte 0x0409, 0x04B0\n.Lcv_var_end:\n.Lcv_vfi_end:\n")
  string(APPEND asm ".Lcv_root_end:\n    .popsection\n")

  set(source "// Version resource of ${target} ${versionText}, written by cmake/VersionResource.cmake.\n")
  string(APPEND source "asm(R\"cvres(\n${asm})cvres\");\n\n")
  # A program that carries a version resource wants FileVersionText to read it. Referring to the
  # installer here also makes the linker take the reader out of the static support library.
  string(APPEND source "void InstallFileVersionReader();\n")
  string(APPEND source "namespace {\n[[maybe_unused]] const bool versionReaderInstalled =\n")
  string(APPEND source "    (InstallFileVersionReader(), true);\n}\n")
  set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}_version_resource.cpp")
  # Written only when it changes, so a new configure run does not relink for nothing.
  file(WRITE "${out}.in" "${source}")
  configure_file("${out}.in" "${out}" COPYONLY)
  target_sources(${target} PRIVATE "${out}")
  target_link_libraries(${target} PRIVATE clipvane_support)
endfunction()
