# Compiler settings shared by every target of the project.
#
# Warnings are errors in development and CI builds (scripts/build turns it on). A packager's
# plain Release build leaves them warnings: another compiler version's optimiser may warn where
# nothing is wrong (g++ 12 at -O3 on std::string concatenation), and that must not stop a build.
if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
  set(QX_WERROR_DEFAULT OFF)
else()
  set(QX_WERROR_DEFAULT ON)
endif()
option(QX_WERROR "Turn compiler warnings into errors" ${QX_WERROR_DEFAULT})

add_library(qx_options INTERFACE)
target_compile_options(qx_options INTERFACE
  -Wall -Wextra -Wpedantic $<$<BOOL:${QX_WERROR}>:-Werror>
  -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  $<$<CXX_COMPILER_ID:Clang>:-Wshadow-uncaptured-local>)
target_include_directories(qx_options INTERFACE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(qx_options INTERFACE
  QX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  QX_RESOURCE_DIR="${CMAKE_SOURCE_DIR}/resources"
  QX_VERSION="${PROJECT_VERSION}")

# Debug information is kept whole but compressed, in objects and in what is linked: it is most of
# a build's size on disk (about 6 GB for both builds uncompressed), and a build machine's disk may
# be nearly full.
target_compile_options(qx_options INTERFACE -gz)
target_link_options(qx_options INTERFACE -gz)

if(QX_SANITIZE)
  set(QX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  # Optimised a little, as the sanitizers' makers advise: unoptimised instrumented code is about
  # twice the size and runs the suite far slower, while -O1 keeps stack traces exact.
  target_compile_options(qx_options INTERFACE ${QX_SANITIZER_FLAGS} -O1)
  target_link_options(qx_options INTERFACE ${QX_SANITIZER_FLAGS})
endif()

if(QX_BUILD_FUZZ)
  target_compile_options(qx_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
