# The same target as mingw-w64.cmake, compiled by clang and linked by lld against the same
# mingw-w64 runtime and libstdc++: a second compiler that keeps the code portable. Resources
# are still compiled by windres.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${MINGW_TRIPLET})
set(CMAKE_CXX_COMPILER_TARGET ${MINGW_TRIPLET})
set(CMAKE_SYSROOT /usr/${MINGW_TRIPLET})

# Clang 14 does not recognise the directory of Debian's GCC runtime ("12-posix": the version
# carries the thread model), so it is asked of GCC and named: libstdc++'s headers, and the
# start files and libraries (crtbegin.o, libstdc++.a, libgcc.a) for the linker.
execute_process(COMMAND ${MINGW_TRIPLET}-gcc-posix -print-libgcc-file-name
                OUTPUT_VARIABLE QUORVANE_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(QUORVANE_GCC_RUNTIME ${QUORVANE_LIBGCC} DIRECTORY)
set(libstdcxx ${QUORVANE_GCC_RUNTIME}/include/c++)
string(JOIN " " CMAKE_CXX_FLAGS_INIT
       -isystem ${libstdcxx} -isystem ${libstdcxx}/${MINGW_TRIPLET} -isystem ${libstdcxx}/backward)
# -pthread: libstdc++ of the posix thread model calls winpthreads, which GCC's driver adds itself.
set(runtime_link_flags "-fuse-ld=lld -B${QUORVANE_GCC_RUNTIME} -L${QUORVANE_GCC_RUNTIME} -pthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${runtime_link_flags})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${runtime_link_flags})
