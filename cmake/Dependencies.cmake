# Third-party libraries of the kernel, gathered in one interface target `kest_deps`.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(LAPACK REQUIRED)
pkg_check_modules(XML2 REQUIRED IMPORTED_TARGET libxml-2.0)
pkg_check_modules(FFI REQUIRED IMPORTED_TARGET libffi)

function(kest_find_lib var name header)
  find_library(${var}_LIB NAMES ${name} REQUIRED)
  find_path(${var}_INC NAMES ${header} REQUIRED)
  set(${var}_LIB ${${var}_LIB} PARENT_SCOPE)
endfunction()
kest_find_lib(GMP gmp gmp.h)
kest_find_lib(MPFR mpfr mpfr.h)
kest_find_lib(MPC mpc mpc.h)
kest_find_lib(LTDL ltdl ltdl.h)
kest_find_lib(SCSCP scscp libscscp/scscp.h)
kest_find_lib(SLEEF sleef sleef.h)
find_library(QUADMATH_LIB NAMES quadmath libquadmath.so.0 REQUIRED)

add_library(kest_deps INTERFACE)
target_link_libraries(kest_deps INTERFACE
  ${MPC_LIB} ${MPFR_LIB} ${GMP_LIB} ${QUADMATH_LIB} ${LAPACK_LIBRARIES}
  PkgConfig::FFI ${LTDL_LIB} PkgConfig::XML2 ${SCSCP_LIB} ${SLEEF_LIB} Threads::Threads ${CMAKE_DL_LIBS})

# clang (fuzzing builds) finds quadmath.h only in gcc's own include directory, and knows the
# quadruple type only by its GNU name.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  execute_process(COMMAND gcc -print-file-name=include OUTPUT_VARIABLE GCC_INCLUDE OUTPUT_STRIP_TRAILING_WHITESPACE)
  target_include_directories(kest_deps SYSTEM INTERFACE ${GCC_INCLUDE})
  target_compile_definitions(kest_deps INTERFACE _Float128=__float128)
endif()
