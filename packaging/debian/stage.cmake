# Run by CPack after the install rules have filled the staging tree and before
# the .deb is written: adds what Debian's policy asks of every package and
# `cmake --install` has no use for.
#   /usr/share/doc/vellum/copyright      machine-readable, the licence in full
#   /usr/share/doc/vellum/changelog.gz   the entry of this version
#   manual pages compressed with gzip -9n
#   /usr/share/lintian/overrides/vellum  why the BIOS layer's modules sit in /usr/bin
cmake_policy(VERSION 3.25)
set(stage "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT IS_DIRECTORY "${stage}/bin")
  message(FATAL_ERROR "stage.cmake: no staged programs in ${stage}/bin")
endif()
set(doc "${stage}/${CPACK_VELLUM_DOCDIR}")
file(MAKE_DIRECTORY "${doc}")

# Every shipped file is ours; the licence is LICENSE, indented as the format wants.
file(STRINGS "${CPACK_VELLUM_DEBIAN_DIR}/../../LICENSE" licence_lines ENCODING UTF-8)
# "MIT License" and the blank line below it: the paragraph's License field names it.
list(REMOVE_AT licence_lines 0 1)
set(licence_text "")
foreach(line IN LISTS licence_lines)
  if(line STREQUAL "")
    string(APPEND licence_text " .\n")
  else()
    string(APPEND licence_text " ${line}\n")
  endif()
endforeach()
file(READ "${CPACK_VELLUM_DEBIAN_DIR}/copyright.in" copyright)
string(REPLACE "@LICENCE_TEXT@" "${licence_text}" copyright "${copyright}")
string(REPLACE "@MAINTAINER@" "${CPACK_DEBIAN_PACKAGE_MAINTAINER}" copyright "${copyright}")
file(WRITE "${doc}/copyright" "${copyright}")

# The changelog entry is dated by SOURCE_DATE_EPOCH when it is set
# (scripts/package.sh sets it to the last commit), so two builds of one
# commit carry the same text.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(READ "${CPACK_VELLUM_DEBIAN_DIR}/changelog.in" changelog)
string(REPLACE "@VERSION@" "${CPACK_PACKAGE_VERSION}" changelog "${changelog}")
string(REPLACE "@MAINTAINER@" "${CPACK_DEBIAN_PACKAGE_MAINTAINER}" changelog "${changelog}")
string(REPLACE "@DATE@" "${date}" changelog "${changelog}")
file(WRITE "${doc}/changelog" "${changelog}")

function(gzip_in_place file)
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "stage.cmake: gzip ${file} failed (${status})")
  endif()
endfunction()
gzip_in_place("${doc}/changelog")
file(GLOB pages "${stage}/${CPACK_VELLUM_MANDIR}/man*/*.[1-9]")
foreach(page IN LISTS pages)
  gzip_in_place("${page}")
endforeach()

set(overrides "${stage}/share/lintian/overrides")
file(MAKE_DIRECTORY "${overrides}")
file(COPY_FILE "${CPACK_VELLUM_DEBIAN_DIR}/lintian-overrides" "${overrides}/vellum")

file(GLOB_RECURSE staged LIST_DIRECTORIES false "${doc}/*" "${stage}/${CPACK_VELLUM_MANDIR}/*" "${overrides}/*")
file(CHMOD ${staged} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
