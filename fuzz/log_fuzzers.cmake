# libFuzzer targets for the log readers: fuzz_candump_log, fuzz_asc_log,
# fuzz_blf_log. Seeds: tests/data/logs.
target_compile_options(canxlate_logs PRIVATE -fsanitize=fuzzer-no-link)
set(CANXLATE_LOG_FUZZ_FORMATS candump asc blf)
foreach(kind IN LISTS CANXLATE_LOG_FUZZ_FORMATS)
  list(FIND CANXLATE_LOG_FUZZ_FORMATS ${kind} format_number)
  add_executable(fuzz_${kind}_log ${CMAKE_CURRENT_LIST_DIR}/log_reader_fuzzer.cpp)
  target_compile_definitions(fuzz_${kind}_log PRIVATE CANXLATE_LOG_FORMAT=${format_number})
  target_link_libraries(fuzz_${kind}_log PRIVATE canxlate_logs)
  target_compile_options(fuzz_${kind}_log PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${kind}_log PRIVATE -fsanitize=fuzzer)
endforeach()
