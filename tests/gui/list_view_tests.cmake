# The list view with one real main window under Xvfb (Open_Main_Window may be called once per
# process); header clicks and double-clicks come from xdotool.
lumen_add_test(NAME list_view_tests GUI
    SOURCES gui/list_view_tests.cpp gui/gui_test_support.cpp
    LIBRARIES gui)
