# Windows-only branches (the crash filter, the raw file writer's MoveFileExW, the series log's
# FlushFileBuffers) cannot run here; when a MinGW cross compiler is at hand, at least compile them
# against the installed Qt headers.
find_program(MINGW_CXX x86_64-w64-mingw32-g++)
if(MINGW_CXX)
  set(win_inc_flags "")
  foreach(qt_target Qt6::Core Qt6::Gui Qt6::Widgets)
    get_target_property(dirs ${qt_target} INTERFACE_INCLUDE_DIRECTORIES)
    foreach(d IN LISTS dirs)
      list(APPEND win_inc_flags "-I${d}")
    endforeach()
  endforeach()
  foreach(pair "windows_crash_branch_compiles:libvelkit/src/vlk_winfault.cpp"
               "rawfile_windows_branch_compiles:main/src/wave_stor.cpp"
               "series_log_windows_branch_compiles:main/src/series/series_log.cpp")
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 test_name)
    list(GET pair 1 source)
    add_test(NAME ${test_name}
      COMMAND ${MINGW_CXX} -fsyntax-only -std=c++17 -Wall -Wextra -Werror -Wno-attributes
              -I${CMAKE_SOURCE_DIR}/include -I${VLK_GEN_INCLUDE_DIR} -I${CMAKE_SOURCE_DIR}/main/src
              -I${CMAKE_BINARY_DIR} ${win_inc_flags} ${CMAKE_SOURCE_DIR}/${source})
    set_tests_properties(${test_name} PROPERTIES TIMEOUT 120)
  endforeach()
endif()
