# PW sensor, pixel shift, first dot position and cut position adjustment.
svc_add_test(NAME svc_position_adjust_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/PositionAdjust_test.cpp
  LIBS svc_adjust svc_fake_outside vprinter_transcript)
target_compile_definitions(svc_position_adjust_test PRIVATE
  SVC_POSITION_ADJUST_GOLDEN_DIR="${CMAKE_CURRENT_SOURCE_DIR}/golden"
  SVC_DATA_OUTPUT_DIR="${SVC_DATA_OUTPUT_DIR}"
  SVC_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_dependencies(svc_position_adjust_test print_file_make_gzksen2_tmp print_file_make_cutpos_prn)

# The prints on the virtual printer's engine (its test machine, without the
# engine's channel sink: the prints are composed against the fake). The
# engine's folder comes later in the build, so the test is added once every
# folder has been read.
function(svc_position_adjust_pages_test source dataDir)
  if(NOT TARGET vprinter_engine_testing)
    return()
  endif()
  svc_add_test(NAME svc_position_adjust_pages_test
    SOURCES ${source}
    LIBS svc_adjust vprinter_engine svc_fake_outside)
  target_compile_definitions(svc_position_adjust_pages_test PRIVATE SVC_DATA_OUTPUT_DIR="${dataDir}")
  add_dependencies(svc_position_adjust_pages_test print_file_make_gzksen2_tmp print_file_make_cutpos_prn)
  # The A3+ check sheet's text, read back by the tesseract program.
  get_filename_component(folder ${source} DIRECTORY)
  find_program(SVC_TESSERACT tesseract)
  if(NOT SVC_TESSERACT)
    message(STATUS "tesseract not found (tesseract-ocr): the check sheet's text is not read back")
    set(SVC_TESSERACT "")
  endif()
  svc_add_test(NAME svc_check_sheet_text_test
    SOURCES ${folder}/CheckSheetText_test.cpp
    LIBS svc_adjust vprinter_engine svc_fake_outside)
  target_compile_definitions(svc_check_sheet_text_test PRIVATE SVC_TESSERACT="${SVC_TESSERACT}")
endfunction()
# (The arguments are expanded here, not when the call runs.)
cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY \"${CMAKE_SOURCE_DIR}\" CALL svc_position_adjust_pages_test \"${CMAKE_CURRENT_SOURCE_DIR}/PositionPages_test.cpp\" \"${SVC_DATA_OUTPUT_DIR}\")")

# The closed loops of the twin test read the engine's pages: the engine and
# its page-reading helpers join that test once every folder has been read.
function(svc_position_adjust_twin_loops pageAnalysis dataDir)
  if(TARGET svc_PositionAdjustTwin_test AND TARGET vprinter_engine)
    target_sources(svc_PositionAdjustTwin_test PRIVATE ${pageAnalysis})
    target_link_libraries(svc_PositionAdjustTwin_test PRIVATE vprinter_engine)
    target_compile_definitions(svc_PositionAdjustTwin_test PRIVATE SVC_POSITION_ADJUST_LOOPS=1 SVC_DATA_DIR="${dataDir}")
  endif()
endfunction()
cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY \"${CMAKE_SOURCE_DIR}\" CALL svc_position_adjust_twin_loops \"${CMAKE_SOURCE_DIR}/vprinter/engine/testing/PageAnalysis.cpp\" \"${SVC_DATA_OUTPUT_DIR}\")")
