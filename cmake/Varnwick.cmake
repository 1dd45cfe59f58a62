# Helpers shared by every folder of the project.

set(VW_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wformat=2 -Werror)

# vw_library(<name> [DEPS <targets>...])
# One static library from every .cpp of the calling folder; its folder's parent
# chain is on the include path, so code includes "common/misc/CxList.h".
function(vw_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${VW_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# vw_test(<name> [DEPS <targets>...])
# One GoogleTest program from every *_test.cpp of the calling folder, each test
# registered with CTest. Tests run in a scratch folder of their own so files they
# create never land in the source tree.
function(vw_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*_helpers.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${VW_WARNINGS})
  target_compile_definitions(${name} PRIVATE VW_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data" VW_BINARY_DIR="${CMAKE_BINARY_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} vw_platform_fsutil GTest::gtest GTest::gmock GTest::gtest_main)
  set(_work ${CMAKE_BINARY_DIR}/testwork/${name})
  file(MAKE_DIRECTORY ${_work})
  # The diagnostic log of code that no test points elsewhere goes to the
  # scratch folder, never into the log of the user running the tests.
  gtest_discover_tests(${name} WORKING_DIRECTORY ${_work} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                                  ENVIRONMENT_MODIFICATION "VARNWICK_LOG=set:${_work}/appdebug.log")
endfunction()
