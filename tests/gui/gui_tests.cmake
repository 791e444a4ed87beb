# The window framework, with real windows under Xvfb. Open_Main_Window may be called once per
# process, so each program holds one main window; the shutdown paths run in child processes.
lumen_add_test(NAME gui_window_tests GUI
    SOURCES gui/window_tests.cpp gui/gui_test_support.cpp
    LIBRARIES gui)
lumen_add_test(NAME gui_tree_view_tests GUI
    SOURCES gui/tree_view_tests.cpp gui/gui_test_support.cpp
    LIBRARIES gui)
lumen_add_test(NAME gui_layout_tests GUI
    SOURCES gui/layout_tests.cpp gui/gui_test_support.cpp
    LIBRARIES gui)
lumen_add_test(NAME gui_controls_tests GUI
    SOURCES gui/controls_tests.cpp gui/gui_test_support.cpp
    LIBRARIES gui)
lumen_add_test(NAME gui_shutdown_tests GUI
    SOURCES gui/shutdown_tests.cpp gui/gui_test_support.cpp
    LIBRARIES gui)
