# The raw file writer replaces files with MoveFileExW on Windows. That branch cannot run here;
# with a MinGW cross compiler at hand, at least compile it against the installed Qt headers.
find_program(MINGW_CXX x86_64-w64-mingw32-g++)
if(MINGW_CXX)
  get_target_property(rec_qt_core_inc Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
  get_target_property(rec_qt_gui_inc Qt6::Gui INTERFACE_INCLUDE_DIRECTORIES)
  set(rec_inc_flags "")
  foreach(d IN LISTS rec_qt_core_inc rec_qt_gui_inc)
    list(APPEND rec_inc_flags "-I${d}")
  endforeach()
  add_test(NAME rawfile_windows_branch_compiles
    COMMAND ${MINGW_CXX} -fsyntax-only -std=c++17 -Wall -Wextra -Werror -Wno-attributes
            -I${CMAKE_SOURCE_DIR}/include -I${VLK_GEN_INCLUDE_DIR} -I${CMAKE_SOURCE_DIR}/main/src
            -I${CMAKE_BINARY_DIR} ${rec_inc_flags}
            ${CMAKE_SOURCE_DIR}/main/src/wave_stor.cpp)
endif()
