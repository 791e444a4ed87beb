# The release's archives, as scripts/package made them before the tests: unpacked, their contents
# and programs checked, and the unpacked 64-bit programs carrying out a transfer under Wine.
add_test(NAME release_tests COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/release/check_release)
set_tests_properties(release_tests PROPERTIES TIMEOUT 300 LABELS gui)
