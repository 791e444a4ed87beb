lumen_add_test(NAME control_tests
    SOURCES control/control_tests.cpp control/transfer_reader_tests.cpp control/results_tests.cpp
        control/preview_text_tests.cpp control/preview_reader_tests.cpp
    LIBRARIES control)
# The tree feed needs a main window of its own (one per process).
lumen_add_test(NAME tree_feed_tests GUI
    SOURCES control/tree_feed_tests.cpp gui/gui_test_support.cpp
    LIBRARIES control)
