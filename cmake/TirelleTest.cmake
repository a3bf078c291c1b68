# One helper registers every test, so that none is forgotten or misnamed.
#
#   tirelle_add_gtest(NAME name SOURCES ... LIBS ...)   Qt-free GoogleTest program
#   tirelle_add_qttest(NAME name SOURCES ... LIBS ... [XVFB] [LABELS ...])
#       QtTest program; runs on the offscreen platform, or under xvfb-run with XVFB
#       (for tests that need real OpenGL).
set(TIRELLE_TESTDATA_DIR "${CMAKE_BINARY_DIR}/testdata")

function(tirelle_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "core;${T_LABELS}"
    ENVIRONMENT "TIRELLE_TESTDATA=${TIRELLE_TESTDATA_DIR}")
endfunction()

function(tirelle_add_qttest)
  cmake_parse_arguments(T "XVFB" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
  if(T_XVFB)
    add_test(NAME ${T_NAME} COMMAND xvfb-run -a -s "-screen 0 1600x1000x24" $<TARGET_FILE:${T_NAME}>)
    set(env "QT_QPA_PLATFORM=xcb")
    if(TIRELLE_SANITIZE)
      # The system's GL library loads its driver and unloads it again before the leak check,
      # so what the driver (or D-Bus and SDL under it) keeps cannot be told apart from our
      # own leaks by any suppression: the leak check is off here, every other check stays.
      list(APPEND env "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0")
    endif()
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} -platform offscreen)
    set(env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "ui;${T_LABELS}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "${env};TIRELLE_TESTDATA=${TIRELLE_TESTDATA_DIR}")
endfunction()
