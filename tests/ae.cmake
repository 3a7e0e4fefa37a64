# The hit-table test reaches the main window's and the hit dialog's widgets through their
# generated headers.
if(TARGET tst_hit_table)
  set_property(TARGET tst_hit_table APPEND PROPERTY AUTOUIC_SEARCH_PATHS
    "${CMAKE_SOURCE_DIR}/main/src" "${CMAKE_SOURCE_DIR}/main/src/ae")
endif()
