# Writes OUTPUT, a header defining FACEPAD_SOURCE_COMMIT: the commit the sources are at (with
# "-dirty" when they differ from it), COMMIT when given (a tarball's builder knows it), else
# "unknown". Run at every build, so that --version never names a stale commit; the header is only
# rewritten when the commit changed, so nothing recompiles otherwise.
#   cmake -DSOURCE_DIR=<dir> -DOUTPUT=<header> [-DCOMMIT=<id>] -P SourceCommit.cmake
set(commit "${COMMIT}")
# Only a checkout of these sources: a tarball unpacked inside another repository must not take
# that repository's commit.
if(commit STREQUAL "" AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(
    COMMAND git describe --always --dirty --abbrev=12 --match=no-tag-matches-this
    WORKING_DIRECTORY "${SOURCE_DIR}"
    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    set(commit "")
  endif()
endif()
if(commit STREQUAL "")
  set(commit "unknown")
endif()
file(WRITE "${OUTPUT}.new" "#pragma once\n#define FACEPAD_SOURCE_COMMIT \"${commit}\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
file(REMOVE "${OUTPUT}.new")
