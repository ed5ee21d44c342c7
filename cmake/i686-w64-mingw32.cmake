# The i686 build: the 32-bit program users get.
set(MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
# Windows 95 and NT 4 run on the 486 and the Pentium: no CMOV, no FCOMI. The
# processor-specific tiers name their own instruction sets.
set(CMAKE_C_FLAGS_INIT "-march=i486 -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-march=i486 -mtune=generic")
