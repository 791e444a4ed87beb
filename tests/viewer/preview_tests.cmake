# The preview in the running viewer: real files, selections sent to its tree, the preview's text
# read back from another process.
lumen_add_test(NAME preview_tests
    SOURCES viewer/preview_tests.cpp
    LIBRARIES viewer_harness test_support
    GUI)
add_dependencies(preview_tests lumen_roll)
target_compile_definitions(preview_tests PRIVATE LUMEN_ROLL_EXE="$<TARGET_FILE:lumen_roll>")
