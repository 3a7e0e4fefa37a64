# The replay of the fuzz corpus runs both fuzz targets' entry points, so it needs their sources
# besides the program's logic.
if(TARGET tst_fuzz_replay)
  target_sources(tst_fuzz_replay PRIVATE "${CMAKE_SOURCE_DIR}/fuzz/rawfile_entry.cpp"
    "${CMAKE_SOURCE_DIR}/fuzz/wform_entry.cpp")
  target_include_directories(tst_fuzz_replay PRIVATE "${CMAKE_SOURCE_DIR}/fuzz")
endif()
