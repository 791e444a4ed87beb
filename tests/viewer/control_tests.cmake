lumen_add_test(NAME control_tests
    SOURCES viewer/control_tests.cpp viewer/transfer_reader_tests.cpp viewer/results_tests.cpp
        viewer/preview_text_tests.cpp viewer/preview_reader_tests.cpp viewer/place_finder_tests.cpp
    LIBRARIES control)
target_compile_definitions(control_tests PRIVATE README_MD="${CMAKE_SOURCE_DIR}/README.md")
# The tree feed needs a main window of its own (one per process).
lumen_add_test(NAME tree_feed_tests GUI
    SOURCES viewer/tree_feed_tests.cpp gui/gui_test_support.cpp
    LIBRARIES control)
