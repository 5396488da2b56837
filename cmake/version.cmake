# Writes version.h: the release number and, in a git checkout, the commit of the source tree as
# semantic-version build metadata ("0.2.0+5ae6fb5", "-dirty" for a changed tree). It runs at
# every build, so that the programs name the commit they are built from; the file, and with it
# the programs, change only when the commit does.
#   cmake -DSOURCE_DIR=... -DVERSION=0.2.0 -DOUTPUT=.../version.h -P version.cmake
execute_process(COMMAND git describe --always --dirty --exclude=*
  WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE NK_GIT_COMMIT
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(NK_VERSION_TEXT "${VERSION}")
if(NK_GIT_COMMIT)
  set(NK_VERSION_TEXT "${VERSION}+${NK_GIT_COMMIT}")
endif()
configure_file(${SOURCE_DIR}/cmake/version.h.in ${OUTPUT} @ONLY)
