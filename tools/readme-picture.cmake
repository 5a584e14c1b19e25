# The README's picture: the preview of the sample look tonal_ranges.look, made
# from freshly generated samples by the program just built.
#
#   cmake -DPYTHON=... -DPROGRAM=... -DSOURCE_DIR=... -DOUTPUT=... -P readme-picture.cmake
#       makes the picture into OUTPUT;
#   cmake -DOUTPUT=... -DSOURCE_DIR=... -DCHECK=ON -P readme-picture.cmake
#       fails when the picture in the source tree is not OUTPUT.
set(committed "${SOURCE_DIR}/docs/images/tonal_ranges.preview.png")
if(CHECK)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUTPUT}" "${committed}"
                    RESULT_VARIABLE differs)
    if(differs)
        message(FATAL_ERROR "docs/images/tonal_ranges.preview.png is not the picture this build "
                            "makes; copy ${OUTPUT} over it and commit it")
    endif()
    return()
endif()

get_filename_component(folder "${OUTPUT}" DIRECTORY)
set(samples "${folder}/samples")
file(REMOVE_RECURSE "${samples}")
execute_process(COMMAND "${PYTHON}" "${SOURCE_DIR}/samples/generate_samples.py" "${samples}"
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${PROGRAM}" "${samples}/tonal_ranges.look" -preview -strict
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(COPY_FILE "${samples}/tonal_ranges.preview.png" "${OUTPUT}")
file(REMOVE_RECURSE "${samples}")
