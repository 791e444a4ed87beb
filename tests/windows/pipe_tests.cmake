lumen_add_test(NAME pipe_tests SOURCES windows/pipe_tests.cpp LIBRARIES windows_pipe)
