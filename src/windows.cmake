# vellum-cli.exe: the walks and the command line over the Windows adapters of
# platform/win32/. The libraries the Linux build takes from Debian have no
# MinGW build there, so their parts are replaced:
#   type names      SHGetFileInfoW instead of Qt's MIME database
#   SHA-256         the CNG API (BCrypt*) instead of libcrypto
#   image containers left out: raw images and split raw pieces are read, an
#                   E01, VHD, VMDK or qcow file is refused with its name
# The desktop program is the Win32 dialog program of win32ui/, over the
# same application layer.
list(FILTER VELLUM_CORE_SOURCES EXCLUDE REGEX "/platform/posix/")
list(FILTER VELLUM_CORE_SOURCES EXCLUDE REGEX
  "/platform/images/(ewf_image|vhdi_image|vmdk_image|qcow_image|qcow_zero_clusters|parent_path)\\.cpp$")

add_library(vellum_core STATIC ${VELLUM_CORE_SOURCES})
target_include_directories(vellum_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
# Text inside is UTF-8; the W functions are the only ones called.
# localtime_r and gmtime_r come with the POSIX thread-safe functions.
target_compile_definitions(vellum_core PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                              _WIN32_WINNT=0x0601 _POSIX_THREAD_SAFE_FUNCTIONS=200112L)
target_link_libraries(vellum_core PUBLIC shell32 bcrypt ole32)
# zlib (carved gzip streams, archive header CRCs) from Debian's MinGW build
# (libz-mingw-w64-dev), linked statically so the .exe needs no zlib1.dll.
find_library(VELLUM_MINGW_ZLIB NAMES libz.a z REQUIRED)
target_link_libraries(vellum_core PUBLIC ${VELLUM_MINGW_ZLIB})
find_package(Threads REQUIRED)
target_link_libraries(vellum_core PUBLIC Threads::Threads)

# nlohmann-json is a header-only library: only its own folder is made visible,
# never the host's /usr/include.
set(VELLUM_NLOHMANN_JSON_DIR /usr/include/nlohmann CACHE PATH
    "The folder holding nlohmann/json.hpp (Debian: nlohmann-json3-dev)")
if(NOT EXISTS ${VELLUM_NLOHMANN_JSON_DIR}/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found in ${VELLUM_NLOHMANN_JSON_DIR} (install nlohmann-json3-dev)")
endif()
set(VELLUM_THIRD_PARTY_INCLUDE ${CMAKE_CURRENT_BINARY_DIR}/third_party)
file(MAKE_DIRECTORY ${VELLUM_THIRD_PARTY_INCLUDE})
file(CREATE_LINK ${VELLUM_NLOHMANN_JSON_DIR} ${VELLUM_THIRD_PARTY_INCLUDE}/nlohmann SYMBOLIC)
add_library(vellum_nlohmann_json INTERFACE)
target_include_directories(vellum_nlohmann_json SYSTEM INTERFACE ${VELLUM_THIRD_PARTY_INCLUDE})

file(GLOB VELLUM_CLI_SOURCES CONFIGURE_DEPENDS cli/*.cpp)
list(REMOVE_ITEM VELLUM_CLI_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/cli/main.cpp)
add_library(vellum_cli_lib STATIC ${VELLUM_CLI_SOURCES})
target_link_libraries(vellum_cli_lib PUBLIC vellum_core vellum_nlohmann_json)

# Every .exe carries the icon, a manifest and its version information
# (win32ui/resources/program.rc); the release build ships without symbols.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(VELLUM_ICON ${CMAKE_CURRENT_BINARY_DIR}/resources/vellum.ico)
# 48, 32 and 16 pixels: the shell and the title bar each take their own size.
set(VELLUM_ICON_PICTURES ${CMAKE_CURRENT_SOURCE_DIR}/ui/resources/vellum.png
    ${CMAKE_CURRENT_SOURCE_DIR}/ui/resources/vellum-32.png ${CMAKE_CURRENT_SOURCE_DIR}/ui/resources/vellum-16.png)
add_custom_command(OUTPUT ${VELLUM_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/resources
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/png_to_ico.py ${VELLUM_ICON} ${VELLUM_ICON_PICTURES}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/png_to_ico.py ${VELLUM_ICON_PICTURES}
  COMMENT "The program icon from vellum.png, vellum-32.png and vellum-16.png")
add_custom_target(vellum_icon DEPENDS ${VELLUM_ICON})

function(vellum_program_resources target description)
  set(VELLUM_MANIFEST_NAME ${target})
  set(VELLUM_DESCRIPTION "${description}")
  set(VELLUM_FILE_NAME ${target}.exe)
  string(REPLACE "." "," VELLUM_VERSION_WORDS "${PROJECT_VERSION},0")
  set(VELLUM_MANIFEST_PATH ${CMAKE_CURRENT_BINARY_DIR}/resources/${target}.manifest)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/win32ui/resources/vellum.manifest.in ${VELLUM_MANIFEST_PATH} @ONLY)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/resources/${target}.rc)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/win32ui/resources/program.rc.in ${rc} @ONLY)
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${VELLUM_ICON} ${VELLUM_MANIFEST_PATH})
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} vellum_icon)
  target_link_options(${target} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
endfunction()

add_executable(vellum-cli cli/main.cpp)
target_link_libraries(vellum-cli PRIVATE vellum_cli_lib)
add_dependencies(vellum-cli vellum_bios32)
target_compile_definitions(vellum-cli PRIVATE VELLUM_VERSION="${PROJECT_VERSION}")
vellum_program_resources(vellum-cli "Vellum コマンドライン")
install(TARGETS vellum-cli RUNTIME DESTINATION bin)

# vellum.exe: the window, from the dialog templates of win32ui/resources.
# The picture buttons' bitmaps and the logo are painted by a script.
set(VELLUM_BITMAP_DIR ${CMAKE_CURRENT_BINARY_DIR}/resources/bitmaps)
set(VELLUM_BITMAPS)
foreach(name search1 search2 restore1 restore2 close1 close2 logo)
  list(APPEND VELLUM_BITMAPS ${VELLUM_BITMAP_DIR}/${name}.bmp)
endforeach()
add_custom_command(OUTPUT ${VELLUM_BITMAPS}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/win32_bitmaps.py ${VELLUM_BITMAP_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/win32_bitmaps.py
  COMMENT "The window's bitmaps")
add_custom_target(vellum_bitmaps DEPENDS ${VELLUM_BITMAPS})
set_property(SOURCE win32ui/resources/dialogs.rc APPEND PROPERTY OBJECT_DEPENDS ${VELLUM_BITMAPS})
file(GLOB VELLUM_WIN32UI_SOURCES CONFIGURE_DEPENDS win32ui/*.cpp)
add_executable(vellum WIN32 ${VELLUM_WIN32UI_SOURCES} win32ui/resources/dialogs.rc)
add_dependencies(vellum vellum_bitmaps)
target_include_directories(vellum PRIVATE ${VELLUM_BITMAP_DIR})
# The guide the exit button and the logo open, beside the program.
add_custom_command(TARGET vellum POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/docs/manual.html $<TARGET_FILE_DIR:vellum>/manual.html)
install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.html DESTINATION bin)
target_link_libraries(vellum PRIVATE vellum_core comctl32 ole32 shell32 comdlg32 uuid)
target_link_options(vellum PRIVATE -municode)
vellum_program_resources(vellum "Vellum")
install(TARGETS vellum RUNTIME DESTINATION bin)

# What the window's tests under Wine drive it with (tests/windows/); not shipped.
add_executable(window_driver ${PROJECT_SOURCE_DIR}/tests/windows/window_driver.cpp)
target_link_libraries(window_driver PRIVATE comctl32)
target_link_options(window_driver PRIVATE -municode)
