# zelto_test(<name> SOURCES...): a GoogleTest executable registered with CTest.
# It links the internal static library (hidden internals reachable), the
# fixture writers and the dlopen host; the module path and the shared corpus
# folder are compiled in.
function(zelto_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE zelto_test_support zelto_internal GTest::gtest GTest::gtest_main)
  add_dependencies(${name} ZeltoPlugIn_TIFF)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
