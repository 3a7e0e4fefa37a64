# The export test drives the main window's commands through the form's generated header.
if(TARGET tst_export)
  set_property(TARGET tst_export APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src")
endif()
# The rawtool test runs the tool, which is built first.
if(TARGET tst_rawtool)
  add_dependencies(tst_rawtool rawtool)
endif()
