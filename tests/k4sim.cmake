# Tests that drive the real serial-port path through k4sim need the tool built first; they skip
# themselves when it is not there (tools switched off).
foreach(t tst_rs232_pty tst_acquisition)
  if(TARGET ${t} AND TARGET k4sim)
    add_dependencies(${t} k4sim)
  endif()
endforeach()
