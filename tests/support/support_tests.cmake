lumen_add_test(NAME support_tests
    SOURCES support/text_tests.cpp support/strings_tests.cpp support/linked_list_tests.cpp
            support/failure_tests.cpp support/utf8_tests.cpp
    LIBRARIES support)
