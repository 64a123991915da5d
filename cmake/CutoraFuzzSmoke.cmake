# The fuzz harnesses (fuzz/) need clang and libFuzzer: they are built in a
# build of their own beside this one, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the suite runs each a few seconds on its
# corpus, so that they stay buildable and every input in the corpus keeps
# passing. scripts/fuzz.sh runs them for as long as one asks.
find_program(CUTORA_CLANG clang REQUIRED)
find_program(CUTORA_CLANGXX clang++ REQUIRED)
include(ExternalProject)

set(CUTORA_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz-build)
ExternalProject_Add(cutora_fuzz_build
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CUTORA_FUZZ_DIR}
  CMAKE_GENERATOR ${CMAKE_GENERATOR}
  CMAKE_ARGS -DCMAKE_C_COMPILER=${CUTORA_CLANG} -DCMAKE_CXX_COMPILER=${CUTORA_CLANGXX}
             -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCUTORA_FUZZ=ON -DCUTORA_BUILD_BENCH=OFF
  # Two jobs, as the machine's other builds get; nothing else waits on it.
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${CUTORA_FUZZ_DIR} --target cutora_fuzzers -j 2
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")

set(_seeds ${CMAKE_BINARY_DIR}/fuzz-seeds)
add_test(NAME fuzz_seeds COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz-seeds.sh ${CUTORA_FUZZ_DIR} ${_seeds})
set_tests_properties(fuzz_seeds PROPERTIES FIXTURES_SETUP fuzz_seeds)
foreach(_harness image_loader client_replies service_requests model_description)
  add_test(NAME fuzz_${_harness}
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz.sh --run ${CUTORA_FUZZ_DIR} ${_seeds} ${CMAKE_BINARY_DIR}/fuzz-runs 3 ${_harness})
  set_tests_properties(fuzz_${_harness} PROPERTIES FIXTURES_REQUIRED fuzz_seeds TIMEOUT 120)
endforeach()
