# Crosscheck of whole CA runs: every folder under crosscheck/scenarios is run through zot
# and through the independent Python reference (zot_ref.py), and standard output, exit
# status and the files written must agree byte for byte.  The reference needs numpy; the
# tests are registered only when a Python with numpy is found.
set(zot_xcheck_python "")
foreach(candidate /usr/bin/python3 python3)
  find_program(zot_xcheck_py_path NAMES ${candidate} NO_CACHE)
  if(zot_xcheck_py_path)
    execute_process(COMMAND ${zot_xcheck_py_path} -c "import numpy"
                    RESULT_VARIABLE zot_xcheck_rc OUTPUT_QUIET ERROR_QUIET)
    if(zot_xcheck_rc EQUAL 0)
      set(zot_xcheck_python ${zot_xcheck_py_path})
      break()
    endif()
  endif()
  unset(zot_xcheck_py_path)
endforeach()

get_filename_component(zot_xcheck_src ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
if(zot_xcheck_python)
  file(GLOB xcheck_cases CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/scenarios/*/stdin)
  foreach(stdin_file ${xcheck_cases})
    get_filename_component(case_dir ${stdin_file} DIRECTORY)
    get_filename_component(case_name ${case_dir} NAME)
    add_test(NAME crosscheck.${case_name}
      COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/compare.sh
              $<TARGET_FILE:zot> ${zot_xcheck_src} ${case_dir} ${zot_xcheck_python})
    set_tests_properties(crosscheck.${case_name} PROPERTIES TIMEOUT 600)
  endforeach()
else()
  message(STATUS "crosscheck: no Python with numpy found, crosscheck tests not registered")
endif()

# The reference's own layouts, generator and name unpacking, checked on hand-worked values.
if(zot_xcheck_python)
  add_test(NAME crosscheck.reference_self_test
    COMMAND ${zot_xcheck_python} ${CMAKE_CURRENT_LIST_DIR}/test_zot_ref.py)
endif()
