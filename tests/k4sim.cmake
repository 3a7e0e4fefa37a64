# The link and acquisition tests drive the real serial-port path through k4sim, so the tool is
# built first; they skip themselves when it is not there (tools switched off).
if(TARGET tst_acquisition AND TARGET k4sim)
  add_dependencies(tst_acquisition k4sim)
endif()
