# The program carries a version resource of its own, so that Open_Log finds a product name that
# no other program uses.
lumen_add_test(NAME log_tests SOURCES support/log_tests.cpp support/log_tests.rc LIBRARIES log)
