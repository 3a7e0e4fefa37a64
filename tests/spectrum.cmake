# The spectrum tests drive the main window's actions through its generated form header.
if(TARGET tst_spectrum)
  set_property(TARGET tst_spectrum APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src")
endif()
