# One static library per source folder: every .cpp in the folder (and below it)
# belongs to the module, so adding a file needs no edit here. DEPS are the orvex_ modules
# it builds on, public, since its headers use their types. LIBS are the outside libraries
# it wraps, private: their headers reach no other module, which sees only the wrapper's
# own types.
function(orvex_module name dir)
  cmake_parse_arguments(ARG "" "" "DEPS;LIBS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources "${CMAKE_SOURCE_DIR}/${dir}/${excluded}")
  endforeach()
  if(NOT sources)
    # A folder whose code is still to come links through to what it depends on.
    add_library(orvex_${name} INTERFACE)
    target_include_directories(orvex_${name} INTERFACE "${CMAKE_SOURCE_DIR}")
    target_link_libraries(orvex_${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(orvex_${name} STATIC ${sources})
  target_include_directories(orvex_${name} PUBLIC "${CMAKE_SOURCE_DIR}")
  target_link_libraries(orvex_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_LIBS})
endfunction()

# One test program per folder of tests/, run by CTest test by test.
function(orvex_test_suite name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPS} orvex_test_support GTest::gtest
    GTest::gmock)
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "ORVEX_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()
