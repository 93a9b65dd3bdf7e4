# The Windows program, and the tests that run it under Wine.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
# The version resource's numbers and text (res/version.rc), from project().
configure_file(${PROJECT_SOURCE_DIR}/res/version.h.in ${CMAKE_BINARY_DIR}/res/version.h @ONLY)
# The caption and the about message spell the version out: they must say the same.
file(STRINGS ${PROJECT_SOURCE_DIR}/res/bytewren.rc _caption ENCODING UTF-8 REGEX "^CAPTION ")
file(STRINGS ${PROJECT_SOURCE_DIR}/app/replace_dlg.cpp _about ENCODING UTF-8 REGEX "版本：v")
if(NOT _caption MATCHES "v${PROJECT_VERSION}\"" OR NOT _about MATCHES "版本：v${PROJECT_VERSION}\"")
  message(FATAL_ERROR "the caption (${_caption}) or the about message does not say version ${PROJECT_VERSION}")
endif()

add_compile_options(-Wall -Wextra)
# The program and the tests that start it sit side by side.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
# Statically linked, so it runs on a bare Windows with no runtime DLLs beside it.
add_link_options(-static -static-libgcc -static-libstdc++)
# The same sources make the same bytes: no link time in the header, no build folder in
# the code (file names the compiler records, such as assertions').
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=./ -ffile-prefix-map=${CMAKE_BINARY_DIR}/=./)
# A 32-bit program that says it copes with addresses above 2 GiB gets 4 GiB of address
# space on 64-bit Windows: room for the views of big files beside everything else.
if(BYTEWREN_ARCH STREQUAL "i686")
  add_link_options(-Wl,--large-address-aware)
endif()

set(BYTEWREN_CORE_SOURCES
  framework/wnd.cpp
  framework/dialog.cpp
  framework/win_app.cpp
  framework/file_find.cpp
  framework/ansi_path.cpp
  framework/thread.cpp
  framework/left_threads.cpp
  app/replace_app.cpp
  app/replace_dlg.cpp
  app/control_ops.cpp
  app/run_queue.cpp
  app/start_run.cpp
  app/busy_indicator.cpp
  engine/offset_text.cpp
  engine/address_space.cpp
  engine/search_file.cpp
  engine/read_pieces.cpp
  engine/mapped_views.cpp
  engine/mapped_search_turn.cpp
  engine/runs_ahead.cpp
  engine/way_choice.cpp
  engine/read_guard.cpp
  engine/tree_listing.cpp
  engine/walk_ahead.cpp
  engine/aside_search.cpp
  engine/file_patch.cpp
  engine/scan_run.cpp
  engine/file_dialogue.cpp
  pattern/hex_text.cpp
  app/static_buffers.cpp
  pattern/hex_field.cpp
  pattern/pattern_views.cpp
  target/target_path.cpp
  target/shortcut.cpp
  target/browse.cpp
  target/command_line.cpp
)
list(TRANSFORM BYTEWREN_CORE_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/)
include(${PROJECT_SOURCE_DIR}/cmake/matcher_sources.cmake)
list(APPEND BYTEWREN_CORE_SOURCES ${BYTEWREN_MATCHER_SOURCES})

add_library(bytewren_core STATIC ${BYTEWREN_CORE_SOURCES})
target_include_directories(bytewren_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(bytewren_core PUBLIC comdlg32 shell32 ole32 uuid comctl32 imm32)

# Resources are linked into each executable: nothing would pull them out of a library.
set(BYTEWREN_RESOURCES ${PROJECT_SOURCE_DIR}/res/bytewren.rc)
# The manifest asks for the 32-bit common controls. An x64 build (tests only) must ask
# for its own kind: a 64-bit process cannot load the 32-bit library.
set(BYTEWREN_MANIFEST ${PROJECT_SOURCE_DIR}/res/bytewren.manifest)
if(BYTEWREN_ARCH STREQUAL "x86_64")
  file(READ ${BYTEWREN_MANIFEST} _manifest)
  string(REPLACE "processorArchitecture=\"X86\"" "processorArchitecture=\"amd64\"" _manifest "${_manifest}")
  set(BYTEWREN_MANIFEST ${CMAKE_BINARY_DIR}/res/bytewren.manifest)
  file(CONFIGURE OUTPUT ${BYTEWREN_MANIFEST} CONTENT "${_manifest}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/res/bytewren.manifest)
endif()
# windres finds the manifest in the first folder of these that holds one.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I ${CMAKE_BINARY_DIR}/res -I ${PROJECT_SOURCE_DIR}/res")
# What the script includes. Source properties hold per folder: every folder that builds
# the script names them again.
set(BYTEWREN_RESOURCE_INPUTS ${PROJECT_SOURCE_DIR}/res/bytewren.ico ${BYTEWREN_MANIFEST}
  ${PROJECT_SOURCE_DIR}/res/resource.h ${PROJECT_SOURCE_DIR}/res/version.rc ${CMAKE_BINARY_DIR}/res/version.h)
set_property(SOURCE ${BYTEWREN_RESOURCES} APPEND PROPERTY OBJECT_DEPENDS ${BYTEWREN_RESOURCE_INPUTS})

add_executable(Bytewren WIN32 ${PROJECT_SOURCE_DIR}/app/main.cpp ${BYTEWREN_RESOURCES})
target_link_libraries(Bytewren PRIVATE bytewren_core)
# The shipped program carries no symbol tables; the tests keep theirs.
target_link_options(Bytewren PRIVATE $<$<CONFIG:Release>:-s>)

option(BYTEWREN_TESTS "Build the tests that run under Wine" ON)
if(BYTEWREN_TESTS)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/wine ${CMAKE_BINARY_DIR}/tests/wine)
  add_subdirectory(${PROJECT_SOURCE_DIR}/bench ${CMAKE_BINARY_DIR}/bench)
endif()
