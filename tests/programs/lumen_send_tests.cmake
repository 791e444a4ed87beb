# lumen_send: the reading of places, compiler messages and the command line, and whole transfers
# in which the test is the viewer's end of the pipe. The program itself runs as a child process,
# and so does a stand-in viewer that lumen_send --viewer starts; runs at once each start a real
# viewer, whose windows are read from outside (and double-clicked, editor_stub standing in for
# the editor). The compiler output under data/ was captured once from real compilers and a real
# recursive make (the Microsoft samples follow their documented form), with its sources.
add_executable(lumen_send_fake_viewer ${CMAKE_CURRENT_LIST_DIR}/fake_viewer.cpp)
target_link_libraries(lumen_send_fake_viewer PRIVATE windows_pipe)

lumen_add_test(NAME lumen_send_tests
    SOURCES programs/lumen_send_tests.cpp
    LIBRARIES lumen_send_transfer viewer_clicks shell32
    GUI)
add_dependencies(lumen_send_tests lumen_send lumen_send_fake_viewer lumen_roll lumen_open editor_stub)
target_compile_definitions(lumen_send_tests PRIVATE
    LUMEN_SEND_EXE="$<TARGET_FILE:lumen_send>"
    LUMEN_ROLL_EXE="$<TARGET_FILE:lumen_roll>"
    FAKE_VIEWER_EXE="$<TARGET_FILE:lumen_send_fake_viewer>"
    EDITOR_STUB_EXE="$<TARGET_FILE:editor_stub>"
    TEST_DATA_FOLDER="${CMAKE_CURRENT_LIST_DIR}/data")
