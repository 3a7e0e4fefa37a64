# The measuring, form and spectrum tests reach the forms' widgets through their generated headers.
foreach(t tst_measure tst_forms tst_spectrum)
  if(TARGET ${t})
    set_property(TARGET ${t} APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src")
  endif()
endforeach()
if(TARGET tst_forms)
  set_property(TARGET tst_forms APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src/ae"
    "${CMAKE_SOURCE_DIR}/main/src/export" "${CMAKE_SOURCE_DIR}/main/src/series")
endif()
