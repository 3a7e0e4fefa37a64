# The English-interface tests: tst_english loads every form of main/src with the form loader and
# reaches the main window through its generated header; tst_language runs rawtool and tavrel --help.
if(TARGET tst_english)
  find_package(Qt6 REQUIRED COMPONENTS UiTools)
  target_link_libraries(tst_english PRIVATE Qt6::UiTools)
  target_compile_definitions(tst_english PRIVATE TAVREL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set_property(TARGET tst_english APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src")
endif()
if(TARGET tst_language)
  set_property(TARGET tst_language APPEND PROPERTY AUTOUIC_SEARCH_PATHS "${CMAKE_SOURCE_DIR}/main/src")
  add_dependencies(tst_language rawtool tavrel)
endif()
# The catalogue holds every marked text, translated (cmake/CheckCatalogue.cmake).
add_test(NAME catalogue_in_step
  COMMAND "${CMAKE_COMMAND}" "-DLUPDATE=$<TARGET_FILE:Qt6::lupdate>" "-DLRELEASE=$<TARGET_FILE:Qt6::lrelease>"
          "-DTS=${CMAKE_SOURCE_DIR}/main/src/translations/tavrel_en.ts" "-DSOURCE_DIR=${CMAKE_SOURCE_DIR}/main/src"
          "-DWORK=${CMAKE_CURRENT_BINARY_DIR}/catalogue_in_step"
          -P "${CMAKE_SOURCE_DIR}/cmake/CheckCatalogue.cmake")
set_tests_properties(catalogue_in_step PROPERTIES TIMEOUT 120)
