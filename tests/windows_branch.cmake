# The Windows crash filter cannot run here; when a MinGW cross compiler is at hand, at least
# compile that branch (syntax and types) against the installed Qt headers.
find_program(MINGW_CXX x86_64-w64-mingw32-g++)
if(MINGW_CXX)
  get_target_property(qt_core_inc Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
  get_target_property(qt_widgets_inc Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
  set(inc_flags "")
  foreach(d IN LISTS qt_core_inc qt_widgets_inc)
    list(APPEND inc_flags "-I${d}")
  endforeach()
  add_test(NAME windows_crash_branch_compiles
    COMMAND ${MINGW_CXX} -fsyntax-only -std=c++17 -Wno-attributes
            -I${CMAKE_SOURCE_DIR}/include -I${VLK_GEN_INCLUDE_DIR} ${inc_flags}
            ${CMAKE_SOURCE_DIR}/libvelkit/src/vlk_winfault.cpp)
endif()
