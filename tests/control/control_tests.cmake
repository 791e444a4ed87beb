if(TARGET control)
    lumen_add_test(NAME control_tests SOURCES control/control_tests.cpp LIBRARIES control)
endif()
