# The replay of the raw-file fuzz corpus runs the fuzz target's entry point, so it needs that
# source besides the program's logic.
if(TARGET tst_fuzz_replay)
  target_sources(tst_fuzz_replay PRIVATE "${CMAKE_SOURCE_DIR}/fuzz/rawfile_entry.cpp")
  target_include_directories(tst_fuzz_replay PRIVATE "${CMAKE_SOURCE_DIR}/fuzz")
endif()
