# The measuring and spectrum tests reach the forms' widgets through their generated headers.
foreach(t tst_measure tst_spectrum)
  if(TARGET ${t})
    set_property(TARGET ${t} APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src")
  endif()
endforeach()
