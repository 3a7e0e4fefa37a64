# The start-up test also spawns the real executable.
if(TARGET tst_startup)
  add_dependencies(tst_startup tavrel)
endif()
