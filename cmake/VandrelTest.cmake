# Test executables: GoogleTest binaries whose cases CTest lists one by one, with a label per module.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

# vandrel_test(<name> LABEL <label> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>])
function(vandrel_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABEL}" ENVIRONMENT "${T_ENV}"
    DISCOVERY_TIMEOUT 60)
endfunction()
