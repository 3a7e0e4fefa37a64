# The main-window tests reach the form's widgets through the form's generated header.
if(TARGET tst_mainwnd)
  set_property(TARGET tst_mainwnd APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src")
endif()
