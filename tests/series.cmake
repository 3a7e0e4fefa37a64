# The series test reaches the main window's and the series dialog's widgets through their generated
# headers.
if(TARGET tst_series)
  set_property(TARGET tst_series APPEND PROPERTY AUTOUIC_SEARCH_PATHS
    "${CMAKE_SOURCE_DIR}/main/src" "${CMAKE_SOURCE_DIR}/main/src/series")
endif()
