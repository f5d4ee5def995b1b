# libcanxlate's readers under libFuzzer: fuzz_dbc_database and
# fuzz_zcd_database. Included by fuzz/CMakeLists.txt.
target_compile_options(canxlate_full_objects PRIVATE -fsanitize=fuzzer-no-link)
foreach(format DBC ZCD)
  string(TOLOWER ${format} kind)
  add_executable(fuzz_${kind}_database ${CMAKE_CURRENT_LIST_DIR}/database_fuzzer.cpp)
  target_compile_definitions(fuzz_${kind}_database PRIVATE CANXLATE_FUZZ_FORMAT=CXL_FORMAT_${format})
  target_link_libraries(fuzz_${kind}_database PRIVATE canxlate_full_objects)
  target_link_options(fuzz_${kind}_database PRIVATE -fsanitize=fuzzer)
  target_compile_options(fuzz_${kind}_database PRIVATE -fsanitize=fuzzer)
endforeach()
