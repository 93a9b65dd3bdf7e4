# Host build: the Windows program and its Wine tests are built as sub-projects with
# the mingw-w64 toolchain, and every tier is registered with this ctest.
include(ExternalProject)

# The 32-bit program is the product. Both architectures are always built with their
# tests, so a change that breaks either fails here; the Wine tiers run the one this
# machine's Wine can run (see scripts/wine-session.sh).
set(BYTEWREN_TEST_ARCH "i686" CACHE STRING "mingw-w64 architecture the Wine tiers run")

set(_toolchain ${PROJECT_SOURCE_DIR}/cmake/mingw.cmake)
set(PRODUCT_DIR ${CMAKE_BINARY_DIR}/windows-i686)
set(WINE_TEST_DIR ${CMAKE_BINARY_DIR}/windows-${BYTEWREN_TEST_ARCH})

foreach(arch i686 x86_64)
  ExternalProject_Add(windows_${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows-${arch}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${_toolchain} -DBYTEWREN_ARCH=${arch}
               -DBYTEWREN_TESTS=ON -DCMAKE_BUILD_TYPE=Release
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
endforeach()

# The product is a statically linked 32-bit GUI program that needs no DLL beyond the system's.
add_test(NAME product_is_static_32bit_gui
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-product.sh ${PRODUCT_DIR}/bin/Bytewren.exe)

# Wine tests: one process per suite, in both code pages the texts must read in.
foreach(locale zh_CN.UTF-8 en_US.UTF-8)
  foreach(suite dialog_tests e2e_tests)
    add_test(NAME ${suite}_${locale}
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-test.sh ${locale} ${WINE_TEST_DIR}/bin/${suite}.exe)
    # The time limit comes from scripts/test.sh, which scales it with the repeat count.
    set_tests_properties(${suite}_${locale} PROPERTIES RUN_SERIAL ON)
  endforeach()
endforeach()
