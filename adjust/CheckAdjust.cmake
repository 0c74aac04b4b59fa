# Tests and benchmark of the check-pattern prints, head angular, Bi-D and PF adjustment.
foreach(test CheckPattern_test BidPf_test)
  svc_add_test(NAME svc_adjust_${test} SOURCES ${test}.cpp LIBS svc_adjust svc_fake_outside)
  target_compile_definitions(svc_adjust_${test} PRIVATE SVC_ADJUST_GOLDEN_DIR="${CMAKE_CURRENT_SOURCE_DIR}/golden")
endforeach()

if(SVC_BUILD_BENCHMARKS)
  add_executable(svc_adjust_bench CheckAdjust_bench.cpp)
  target_link_libraries(svc_adjust_bench PRIVATE svc_adjust svc_fake_outside benchmark::benchmark)
endif()
