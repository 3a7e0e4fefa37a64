# build/hgversion.h: the git revision of the tree that was built, refreshed on every build.
set(TAVREL_REVISION_HEADER "${TAVREL_GEN_DIR}/hgversion.h")
add_custom_target(tavrel_revision
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR} -DOUT=${TAVREL_REVISION_HEADER}
          -P ${CMAKE_SOURCE_DIR}/cmake/WriteRevision.cmake
  BYPRODUCTS ${TAVREL_REVISION_HEADER}
  COMMENT "Revision header"
  VERBATIM)
