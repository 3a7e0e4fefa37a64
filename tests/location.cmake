# The location window's test reaches the main window's widgets through its generated header.
if(TARGET tst_location_window)
  set_property(TARGET tst_location_window APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src")
endif()
