# vex_library(NAME DIRS dir... DEPS lib...)
# One static library from every .cpp of the given folders (not recursive).
function(vex_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# vex_test_suite(NAME DIR dir LIBS lib... LABELS label... [WINE])
# One GoogleTest executable from every .cpp of a tests/ folder. Natively each
# test is its own CTest case. In the Windows build only suites marked WINE are
# built (those that hold the stand-in and real Win32 to the same assertions),
# without their *PosixTest.cpp files, and each runs under Wine as one case:
# starting Wine per test would cost more than the tests.
function(vex_test_suite name)
  cmake_parse_arguments(ARG "WINE" "DIR" "LIBS;LABELS" ${ARGN})
  if(WIN32 AND NOT ARG_WINE)
    return()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "PosixTest\\.cpp$")
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    VEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VEX_BINARY_DIR="${PROJECT_BINARY_DIR}"
    VEXUPD_VERSION="${PROJECT_VERSION}"
    VEX_SHARED_DIR="${PROJECT_SOURCE_DIR}/tests/shared")
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    # One Wine prefix in the build tree serves every suite; Wine serves it
    # reliably to one program at a time, once it exists.
    set_tests_properties(${name} PROPERTIES LABELS "wine" TIMEOUT 600
      FIXTURES_REQUIRED wine_prefix RESOURCE_LOCK wine_prefix)
  else()
    gtest_discover_tests(${name} PROPERTIES LABELS "${ARG_LABELS}" DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
