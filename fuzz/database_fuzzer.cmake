# libcanxlate's DBC reader under libFuzzer: fuzz_dbc_database. Included by
# fuzz/CMakeLists.txt.
target_compile_options(canxlate_full_objects PRIVATE -fsanitize=fuzzer-no-link)
add_executable(fuzz_dbc_database ${CMAKE_CURRENT_LIST_DIR}/database_fuzzer.cpp)
target_link_libraries(fuzz_dbc_database PRIVATE canxlate_full_objects)
target_link_options(fuzz_dbc_database PRIVATE -fsanitize=fuzzer)
target_compile_options(fuzz_dbc_database PRIVATE -fsanitize=fuzzer)
