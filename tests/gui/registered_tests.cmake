# The persistent window state in the real registry; every opening of a main window runs in a
# child process (this program again), so it needs the X display like the other window tests.
lumen_add_test(NAME registered_tests GUI
    SOURCES gui/registered_tests.cpp gui/gui_test_support.cpp
    LIBRARIES gui_registered gui windows_platform)
