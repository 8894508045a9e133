# Helpers shared by every folder's CMakeLists.txt.
#
# kestrova_library(<name> DIR <folder> [PUBLIC <targets...>] [PRIVATE <targets...>])
#   A static library of every .cpp/.c under <folder> (recursively).  Headers are
#   included by their path from the repository root ("spline/sisl.h").
#   A folder without sources yet gives an INTERFACE library of the same name.
#
# kestrova_tests(<name> DIR <folder> [LIBS <targets...>] [MAIN <file>] [LABEL <label>])
#   One test executable of every *_test.cpp under <folder>; each GoogleTest case
#   becomes its own CTest entry (discovered when ctest runs, so GUI tests are
#   listed under the same display as they run).

function(kestrova_library name)
  cmake_parse_arguments(ARG "" "DIR" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp ${ARG_DIR}/*.c)
  file(GLOB_RECURSE hdrs CONFIGURE_DEPENDS ${ARG_DIR}/*.h ${ARG_DIR}/*.hpp)
  file(GLOB_RECURSE qrcs CONFIGURE_DEPENDS ${ARG_DIR}/*.qrc)
  if(srcs)
    add_library(${name} STATIC ${srcs} ${hdrs} ${qrcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC})
  endif()
endfunction()

function(kestrova_tests name)
  cmake_parse_arguments(ARG "" "DIR;MAIN;LABEL" "LIBS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${ARG_DIR}/*_test.cpp)
  file(GLOB_RECURSE helpers CONFIGURE_DEPENDS ${ARG_DIR}/*_testutil.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs} ${helpers} ${ARG_MAIN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  if(ARG_MAIN)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    KESTROVA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KESTROVA_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    KESTROVA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(NOT ARG_LABEL)
    set(ARG_LABEL ${name})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT 600)
endfunction()
