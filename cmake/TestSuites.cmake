# q5_test_suite(NAME <exe> [DIR <dir>] LIBS <libs...>)
#
# Builds one GoogleTest executable from every .cpp file in DIR (default: the
# calling folder) and registers it with CTest once per label. The label of a
# test comes from its suite name:
#   Golden*  -> golden   (pinned traces, hashes and frames)
#   Corpus*  -> corpus   (real modules from the fetched corpus)
#   Thread*  -> thread   (also run under ThreadSanitizer)
#   Slow*    -> slow
#   anything else -> unit
add_custom_target(all_tests)

function(q5_test_suite)
  cmake_parse_arguments(T "" "NAME;DIR" "LIBS;SOURCES" ${ARGN})
  if(NOT T_DIR)
    set(T_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  file(GLOB _srcs CONFIGURE_DEPENDS ${T_DIR}/*.cpp)
  list(APPEND _srcs ${T_SOURCES})
  if(NOT _srcs)
    return()
  endif()
  add_executable(${T_NAME} ${_srcs})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${T_NAME} PRIVATE Q5_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(all_tests ${T_NAME})
  set(_special "Golden*:Corpus*:Thread*:Slow*")
  add_test(NAME ${T_NAME}.unit COMMAND ${T_NAME} --gtest_filter=-${_special}
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${T_NAME}.unit PROPERTIES LABELS unit)
  # A label gets its own CTest entry only when some suite carries its prefix.
  set(_all_text "")
  foreach(_src ${_srcs})
    file(READ ${_src} _text)
    string(APPEND _all_text "${_text}")
  endforeach()
  foreach(_kind golden corpus thread slow)
    string(SUBSTRING ${_kind} 0 1 _first)
    string(TOUPPER ${_first} _first)
    string(SUBSTRING ${_kind} 1 -1 _rest)
    set(_prefix ${_first}${_rest})
    if(NOT _all_text MATCHES "TEST(_F|_P)?\\(${_prefix}")
      continue()
    endif()
    add_test(NAME ${T_NAME}.${_kind} COMMAND ${T_NAME} --gtest_filter=${_prefix}*
             WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${T_NAME}.${_kind} PROPERTIES LABELS ${_kind})
  endforeach()
endfunction()
