# Helpers shared by every folder: how system code is compiled in each build.

# System code: ordinary Windows C++. In the native build it sees our own Win32 headers
# and links against the platform library; in the cross build it sees mingw-w64's.
function(velno_system_target target)
  if(VELNO_WINDOWS_BUILD)
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
    target_compile_options(${target} PRIVATE -Wall -Wno-unknown-pragmas)
  else()
    target_link_libraries(${target} PUBLIC velnowin)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  endif()
endfunction()

# A registered test: one GoogleTest executable, run by CTest with its own temporary machine.
function(velno_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest_main velno_testsupport)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "VELNO_BIN=${CMAKE_BINARY_DIR}/bin" TIMEOUT 600)
endfunction()

# Resource scripts in both builds.
include(${CMAKE_CURRENT_LIST_DIR}/VelnoResources.cmake)
