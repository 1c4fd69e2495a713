# Converts the example textures and every picture of the test data with texelary-convert built for
# this machine (NATIVE) and with the one built for another platform (CROSS, run through EMULATOR,
# which sees this machine's files under HOST_DRIVE), and fails unless both ended the same way and
# wrote the same files byte for byte: bitmaps, PNG, TGA and PCX, palette and true colour, to .m8,
# .wal and PNG, with both mip filters and with dithering.
#   cmake -DNATIVE=... -DCROSS=... -DEMULATOR=... -DHOST_DRIVE=... -DFOLDERS=dir;dir -DWORK=dir
#         -P SameOutputs.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
set(compared 0)

# Each way of converting: the target and the options, one run of each program for each format
# present in each folder. The .m8 and .wal files the first two write are read back in a second
# round, each side its own.
set(ways "m8:--mips point" "wal:--mips box" "png:--mips point" "m8:--mips box --dither"
         "wal:--dither")
set(formats bmp png tga pcx)

# Runs one way on both sides; fails unless both ended alike and wrote the same files.
function(compare_run tag from input names to options)
    set(statuses "")
    foreach(side native cross)
        set(outputDir ${WORK}/${side}/${tag})
        file(MAKE_DIRECTORY ${outputDir})
        if(side STREQUAL "native")
            set(program ${NATIVE})
            set(inputDir ${input})
        else()
            set(program ${EMULATOR} ${CROSS})
            set(inputDir ${HOST_DRIVE}${input})
            set(outputDir ${HOST_DRIVE}${outputDir})
        endif()
        string(REPLACE "@SIDE@" ${side} inputDir ${inputDir})
        separate_arguments(extra UNIX_COMMAND "${options}")
        execute_process(
            COMMAND ${program} --from ${from} --to ${to} ${extra} --input ${inputDir}
                    --output ${outputDir} ${names}
            RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
        list(APPEND statuses ${status})
    endforeach()
    list(GET statuses 0 nativeStatus)
    list(GET statuses 1 crossStatus)
    if(NOT nativeStatus STREQUAL crossStatus)
        message(FATAL_ERROR "${tag}: ${from} -> ${to} ${options} ended with ${nativeStatus} here "
                            "and ${crossStatus} in the other build")
    endif()
    file(GLOB_RECURSE nativeFiles RELATIVE ${WORK}/native/${tag} ${WORK}/native/${tag}/*)
    file(GLOB_RECURSE crossFiles RELATIVE ${WORK}/cross/${tag} ${WORK}/cross/${tag}/*)
    if(NOT nativeFiles STREQUAL crossFiles)
        message(FATAL_ERROR "${tag}: the builds wrote different files:\n${nativeFiles}\n${crossFiles}")
    endif()
    foreach(name IN LISTS nativeFiles)
        execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
                                ${WORK}/native/${tag}/${name} ${WORK}/cross/${tag}/${name}
                        RESULT_VARIABLE different)
        if(different)
            message(FATAL_ERROR "${tag}/${name} differs between the two builds")
        endif()
    endforeach()
    list(LENGTH nativeFiles count)
    math(EXPR compared "${compared} + ${count}")
    set(compared ${compared} PARENT_SCOPE)
endfunction()

set(folder 0)
foreach(input IN LISTS FOLDERS)
    math(EXPR folder "${folder} + 1")
    foreach(from IN LISTS formats)
        file(GLOB names RELATIVE ${input} ${input}/*.${from})
        if(NOT names)
            continue()
        endif()
        set(way 0)
        foreach(fields IN LISTS ways)
            math(EXPR way "${way} + 1")
            string(FIND "${fields}" ":" colon)
            string(SUBSTRING "${fields}" 0 ${colon} to)
            math(EXPR after "${colon} + 1")
            string(SUBSTRING "${fields}" ${after} -1 options)
            set(tag ${folder}-${from}-${way})
            compare_run(${tag} ${from} ${input} "${names}" ${to} "${options}")
            # The first .m8 and .wal files are read back, by the side that wrote them.
            if(way LESS_EQUAL 2)
                file(GLOB written RELATIVE ${WORK}/native/${tag} ${WORK}/native/${tag}/*.${to})
                if(written)
                    compare_run(${tag}-back ${to} ${WORK}/@SIDE@/${tag} "${written}" png
                                "--mips point")
                endif()
            endif()
        endforeach()
    endforeach()
endforeach()
if(compared EQUAL 0)
    message(FATAL_ERROR "no pictures in ${FOLDERS}")
endif()
message(STATUS "${compared} files are the same from both builds")
