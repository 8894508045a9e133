# Helpers shared by every folder's CMakeLists.txt.
#
# kestrova_library(<name> DIR <folder> [PUBLIC <targets...>] [PRIVATE <targets...>])
#   A static library of every .cpp/.c under <folder> (recursively).  Headers are
#   included by their path from the repository root ("spline/isect.h").
#   A folder without sources yet gives an INTERFACE library of the same name.
#   The product's code builds without a warning: in the build with the tests a new one
#   stops the build (kestrova_warnings_are_errors); tests and benchmarks are not held to it.
#
# kestrova_tests(<name> DIR <folder> [LIBS <targets...>] [MAIN <file>] [LABEL <label>])
#   One test executable of every *_test.cpp under <folder>; each GoogleTest case
#   becomes its own CTest entry (discovered when ctest runs, so GUI tests are
#   listed under the same display as they run).

# The repository's top, from which every header is included (also when a project of
# its own, such as the fuzz targets', builds some of its libraries).
get_filename_component(KESTROVA_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# kestrova_warnings_are_errors(<target>)
#   Makes every compiler warning in <target>'s own sources an error when KESTROVA_WERROR is
#   on (the default of the build with the tests, which every change passes through).  The
#   workstation's own Release build keeps warnings as warnings, so that an optimiser-only
#   false alarm of some compiler version (g++ 12 at -O3 has seen overlapping copies inside
#   std::string) cannot keep a user from building it.
function(kestrova_warnings_are_errors target)
  if(KESTROVA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

function(kestrova_library name)
  cmake_parse_arguments(ARG "" "DIR" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp ${ARG_DIR}/*.c)
  file(GLOB_RECURSE hdrs CONFIGURE_DEPENDS ${ARG_DIR}/*.h ${ARG_DIR}/*.hpp)
  file(GLOB_RECURSE qrcs CONFIGURE_DEPENDS ${ARG_DIR}/*.qrc)
  if(srcs)
    add_library(${name} STATIC ${srcs} ${hdrs} ${qrcs})
    target_include_directories(${name} PUBLIC ${KESTROVA_ROOT})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
    kestrova_warnings_are_errors(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${KESTROVA_ROOT})
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

# kestrova_write_link_table(<file>)
#   Writes, for every library of the project, its sources and the targets it links PUBLIC
#   and PRIVATE as CMake holds them; the same for every program built of the product's
#   folders alone (not the tests' and benchmarks'), whose links are all PRIVATE; and for
#   every imported target linked, the targets it brings with it.  scripts/check-links.py compares the table with the
#   includes of each library's sources.
function(_kestrova_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    _kestrova_collect_targets(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(kestrova_write_link_table file)
  _kestrova_collect_targets(${PROJECT_SOURCE_DIR} targets)
  set(text "source_dir ${PROJECT_SOURCE_DIR}\n")
  set(imported "")
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    get_target_property(sdir ${t} SOURCE_DIR)
    set(kind library)
    if(type STREQUAL "EXECUTABLE")
      get_target_property(srcs ${t} SOURCES)
      set(kind program)
      foreach(s ${srcs})
        if(s MATCHES "^${PROJECT_SOURCE_DIR}/(tests|bench)/" OR sdir MATCHES "^${PROJECT_SOURCE_DIR}/(tests|bench)")
          set(kind "")
        endif()
      endforeach()
      if(NOT kind)
        continue()
      endif()
      get_target_property(iface ${t} LINK_LIBRARIES)
      list(TRANSFORM iface PREPEND "$<LINK_ONLY:")
      list(TRANSFORM iface APPEND ">")
    elseif(type MATCHES "^(STATIC_LIBRARY|INTERFACE_LIBRARY)$")
      get_target_property(iface ${t} INTERFACE_LINK_LIBRARIES)
    else()
      continue()
    endif()
    if(NOT iface)
      set(iface "")
    endif()
    set(public "")
    set(private "")
    foreach(l ${iface})
      if(l MATCHES "^\\$<LINK_ONLY:(.*)>$")
        list(APPEND private ${CMAKE_MATCH_1})
      else()
        list(APPEND public ${l})
      endif()
    endforeach()
    set(srcs "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(srcs ${t} SOURCES)
      set(abs "")
      foreach(s ${srcs})
        if(NOT IS_ABSOLUTE ${s})
          set(s ${sdir}/${s})
        endif()
        list(APPEND abs ${s})
      endforeach()
      set(srcs ${abs})
    endif()
    list(JOIN public " " public)
    list(JOIN private " " private)
    list(JOIN srcs " " srcs)
    string(APPEND text "${kind} ${t}\npublic ${public}\nprivate ${private}\nsources ${srcs}\n")
    foreach(l ${iface})
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
      if(TARGET ${l})
        get_target_property(is_imported ${l} IMPORTED)
        if(is_imported)
          list(APPEND imported ${l})
        endif()
      endif()
    endforeach()
  endforeach()
  # The imported targets and what each brings along (Qt's modules carry the ones they
  # are built on), to the last one.
  list(REMOVE_DUPLICATES imported)
  set(queue ${imported})
  set(seen "")
  while(queue)
    list(POP_FRONT queue l)
    if(l IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${l})
    get_target_property(deps ${l} INTERFACE_LINK_LIBRARIES)
    set(brings "")
    foreach(d ${deps})
      if(TARGET ${d})
        list(APPEND brings ${d})
        list(APPEND queue ${d})
      endif()
    endforeach()
    list(JOIN brings " " brings)
    string(APPEND text "imported ${l}\nbrings ${brings}\n")
  endwhile()
  get_target_property(qt_core_includes Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
  foreach(d ${qt_core_includes})
    if(d MATCHES "/QtCore$")
      get_filename_component(qt_root ${d} DIRECTORY)
      string(APPEND text "qt_include_dir ${qt_root}\n")
    endif()
  endforeach()
  file(WRITE ${file} "${text}")
endfunction()
