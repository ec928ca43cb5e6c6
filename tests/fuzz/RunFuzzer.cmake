# One bounded fuzz run: the seed corpus is copied first, so that inputs the
# fuzzer adds land in the build tree and not in the repository.
#   cmake -DFUZZER=<exe> -DCORPUS=<seeds> -DWORK=<dir> -DSECONDS=<n> -P RunFuzzer.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
file(GLOB seeds ${CORPUS}/*)
if(seeds)
  file(COPY ${seeds} DESTINATION ${WORK}/corpus)
endif()
# A dictionary beside the seeds (corpus/<target>.dict) gives the fuzzer its
# words to combine.
set(dictionary "")
if(EXISTS ${CORPUS}.dict)
  set(dictionary -dict=${CORPUS}.dict)
endif()
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix=${WORK}/ ${dictionary} ${WORK}/corpus
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} found a fault (exit ${result}); the input is in ${WORK}")
endif()
