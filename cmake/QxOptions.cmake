# Compiler settings shared by every target of the project.
add_library(qx_options INTERFACE)
target_compile_options(qx_options INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  $<$<CXX_COMPILER_ID:Clang>:-Wshadow-uncaptured-local>)
target_include_directories(qx_options INTERFACE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(qx_options INTERFACE
  QX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  QX_RESOURCE_DIR="${CMAKE_SOURCE_DIR}/resources"
  QX_VERSION="${PROJECT_VERSION}")

if(QX_SANITIZE)
  set(QX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(qx_options INTERFACE ${QX_SANITIZER_FLAGS})
  target_link_options(qx_options INTERFACE ${QX_SANITIZER_FLAGS})
endif()

if(QX_BUILD_FUZZ)
  target_compile_options(qx_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
