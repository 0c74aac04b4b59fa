# Fuzz targets. Each target is one source with LLVMFuzzerTestOneInput and a
# seed corpus (a folder of inputs) kept beside it in the repository.
#
# svc_add_fuzz_target(NAME name SOURCES a.cpp ... LIBS lib... CORPUS dir [MIN_FILES n])
#   - every build: the test NAME_replay (CTest) runs each corpus file through
#     the target's entry point, so a saved input that once crashed stays covered;
#   - with SVC_BUILD_FUZZERS and clang: the libFuzzer program NAME, part of the
#     target `fuzzers`, listed with its corpus in BUILD_DIR/fuzzers.txt.
#
# svc_register_fuzzer(TARGET corpus-dir) lists a fuzzer built some other way.

set(SVC_FUZZ_REPLAY_SOURCE ${CMAKE_CURRENT_LIST_DIR}/../tools/fuzz/replay_test.cpp)

function(svc_register_fuzzer target corpus)
  add_dependencies(fuzzers ${target})
  set_property(GLOBAL APPEND PROPERTY SVC_FUZZERS "$<TARGET_FILE:${target}> ${corpus}")
endfunction()

function(svc_add_fuzz_target)
  cmake_parse_arguments(F "" "NAME;CORPUS;MIN_FILES" "SOURCES;LIBS" ${ARGN})
  if(NOT F_MIN_FILES)
    set(F_MIN_FILES 3)
  endif()
  svc_add_test(NAME ${F_NAME}_replay SOURCES ${SVC_FUZZ_REPLAY_SOURCE} ${F_SOURCES} LIBS ${F_LIBS})
  target_compile_definitions(${F_NAME}_replay PRIVATE
    SVC_FUZZ_CORPUS="${F_CORPUS}" SVC_FUZZ_MIN_FILES=${F_MIN_FILES} SVC_FUZZ_SUITE=${F_NAME})
  if(SVC_BUILD_FUZZERS AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_executable(${F_NAME} ${F_SOURCES})
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer "LINKER:--no-as-needed")
    svc_register_fuzzer(${F_NAME} ${F_CORPUS})
  endif()
endfunction()

# Called once every folder is added: writes the list tools/test.sh runs.
function(svc_write_fuzzer_list)
  get_property(fuzzers GLOBAL PROPERTY SVC_FUZZERS)
  list(JOIN fuzzers "\n" text)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzzers.txt CONTENT "${text}\n")
endfunction()
