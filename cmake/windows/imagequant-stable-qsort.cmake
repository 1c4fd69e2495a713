# Read into libimagequant's own CMake build for Windows (CMAKE_PROJECT_INCLUDE, from
# scripts/build-windows): its calls of qsort go to the stable sort of stable-qsort.c, which is
# built into the static library once its targets exist.
add_compile_definitions(qsort=texelary_stable_qsort)
set(TEXELARY_STABLE_QSORT ${CMAKE_CURRENT_LIST_DIR}/stable-qsort.c)
cmake_language(DEFER CALL target_sources imagequant_a PRIVATE ${TEXELARY_STABLE_QSORT})
