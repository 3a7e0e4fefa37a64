# The series test starts the program itself (--help) and reaches the main window's and the series
# dialog's widgets through their generated headers.
if(TARGET tst_series)
  add_dependencies(tst_series tavrel)
  set_property(TARGET tst_series APPEND PROPERTY AUTOUIC_SEARCH_PATHS
    "${CMAKE_SOURCE_DIR}/main/src" "${CMAKE_SOURCE_DIR}/main/src/series")
endif()
