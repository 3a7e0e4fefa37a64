# The main-window and dialog tests reach the form's widgets through the form's generated header.
foreach(t tst_mainwnd tst_dialogs)
  if(TARGET ${t})
    set_property(TARGET ${t} APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src")
  endif()
endforeach()
