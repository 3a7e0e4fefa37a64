# The desktop test installs the build into a temporary prefix and starts the installed program.
if(TARGET tst_desktop)
  add_dependencies(tst_desktop tavrel)
  target_compile_definitions(tst_desktop PRIVATE
    TAVREL_CMAKE_COMMAND="${CMAKE_COMMAND}"
    TAVREL_BUILD_DIR="${CMAKE_BINARY_DIR}")
endif()
