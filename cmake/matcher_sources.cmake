# The matcher's sources. Its vector searches are compiled each for its own instruction
# set, with the stack realigned (32-bit Windows keeps it aligned to 4 bytes only); the
# rest of the program stays plain. Source properties hold per folder: every folder that
# builds these includes this file.
set(BYTEWREN_MATCHER_SOURCES
  ${PROJECT_SOURCE_DIR}/engine/find_pattern.cpp
  ${PROJECT_SOURCE_DIR}/engine/find_pattern_two_way.cpp
  ${PROJECT_SOURCE_DIR}/engine/byte_ranks.cpp
  ${PROJECT_SOURCE_DIR}/engine/find_pattern_sse2.cpp
  ${PROJECT_SOURCE_DIR}/engine/find_pattern_avx2.cpp)
set_source_files_properties(${PROJECT_SOURCE_DIR}/engine/find_pattern_sse2.cpp
  PROPERTIES COMPILE_OPTIONS "-msse2;-mstackrealign")
set_source_files_properties(${PROJECT_SOURCE_DIR}/engine/find_pattern_avx2.cpp
  PROPERTIES COMPILE_OPTIONS "-mavx2;-mstackrealign")
