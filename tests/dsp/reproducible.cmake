# Runs the generator into a scratch folder and compares every file with the
# committed one.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${GENERATOR} ${SOURCE} ${WORK} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the generator failed (${rc})")
endif()
foreach(name ScCore_A.fvc ScCore_B.fvc SmCore.fvc SpFiL.fvc SpFiR.fvc gbss.coe gbso.coe gms.coe factoryset.fap)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${name} ${COMMITTED}/${name} RESULT_VARIABLE diff)
  if(NOT diff EQUAL 0)
    message(FATAL_ERROR "${name} differs from the committed data/bin/${name}: run the dspdata target")
  endif()
endforeach()
