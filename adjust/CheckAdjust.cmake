# Tests and benchmark of the check-pattern prints, head angular, Bi-D and PF adjustment.
foreach(test CheckPattern_test BidPf_test)
  svc_add_test(NAME svc_adjust_${test} SOURCES ${test}.cpp LIBS svc_adjust svc_fake_outside)
  target_compile_definitions(svc_adjust_${test} PRIVATE SVC_ADJUST_GOLDEN_DIR="${CMAKE_CURRENT_SOURCE_DIR}/golden")
endforeach()

# The generated clip.prn is a complete job of its own.
if(SVC_BUILD_GUI AND "vprinter" IN_LIST svc_dirs)
  svc_add_test(NAME svc_adjust_ClipFile_test SOURCES ClipFile_test.cpp LIBS svc_link vprinter_engine)
  target_compile_definitions(svc_adjust_ClipFile_test PRIVATE SVC_CLIP_FILE="${SVC_DATA_OUTPUT_DIR}/clip.prn")
  add_dependencies(svc_adjust_ClipFile_test print_file_make_clip_prn)
endif()

if(SVC_BUILD_BENCHMARKS)
  add_executable(svc_adjust_bench CheckAdjust_bench.cpp)
  target_link_libraries(svc_adjust_bench PRIVATE svc_adjust svc_fake_outside benchmark::benchmark)
endif()

# Closed loops through the command-line operations on an in-process printer
# with its print engine. The harness and the engine's test helpers are made
# in folders configured after this one: the test is added once they exist.
set_property(GLOBAL PROPERTY SVC_ADJUST_CLOSED_LOOP_SOURCE ${CMAKE_CURRENT_LIST_DIR}/CheckAdjustClosedLoop_test.cpp)
function(svc_adjust_closed_loop_test)
  get_property(source GLOBAL PROPERTY SVC_ADJUST_CLOSED_LOOP_SOURCE)
  if(TARGET svc_twin AND TARGET vprinter_engine_testing)
    svc_add_test(NAME svc_adjust_ClosedLoop_test SOURCES ${source}
                 LIBS svc_twin vprinter_engine_testing vprinter_engine)
    # The technician's test: random hidden errors, adjusted from the pages
    # alone (SVC_TECHNICIAN_SEEDS=50 for the long run).
    get_filename_component(dir ${source} DIRECTORY)
    # Each model's case runs its seeds one after another: 15 s in a normal
    # build, several minutes under the sanitizers (the deadline is scaled there).
    svc_add_test(NAME svc_adjust_Technician_test TIMEOUT 150 SOURCES ${dir}/Technician_test.cpp
                 LIBS svc_twin vprinter_engine_testing vprinter_engine)
    # It prints the stored pixel shift and cut position files.
    foreach(file print_file_make_gzksen2_tmp print_file_make_cutpos_prn)
      if(TARGET ${file})
        add_dependencies(svc_adjust_Technician_test ${file})
      endif()
    endforeach()
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL svc_adjust_closed_loop_test)
