/* The qsort of libimagequant's Windows build (imagequant-stable-qsort.cmake builds it in).
 * libimagequant sorts its palette by popularity with qsort and a comparison that never answers
 * "equal", so the order of colours of equal popularity is whatever the sort's algorithm makes of
 * that. The Linux build's C library (glibc) sorts with a top-down merge sort; Windows' does not,
 * and the two builds wrote different files. This is that merge sort, comparison for comparison:
 * halves of n / 2 and n - n / 2, and the left item taken while it compares less or equal. */
#include <stdlib.h>
#include <string.h>

#undef qsort

typedef int (*compare_function)(const void*, const void*);

static void merge_sort(char* items, char* scratch, size_t count, size_t size,
                       compare_function compare) {
    if (count < 2) {
        return;
    }
    const size_t half = count / 2;
    merge_sort(items, scratch, half, size, compare);
    merge_sort(items + half * size, scratch, count - half, size, compare);
    size_t left = 0, right = half, out = 0;
    while (left < half && right < count) {
        if (compare(items + left * size, items + right * size) <= 0) {
            memcpy(scratch + out++ * size, items + left++ * size, size);
        } else {
            memcpy(scratch + out++ * size, items + right++ * size, size);
        }
    }
    memcpy(scratch + out * size, items + left * size, (half - left) * size);
    out += half - left;
    memcpy(items, scratch, out * size);
}

void texelary_stable_qsort(void* items, size_t count, size_t size, compare_function compare) {
    if (count < 2 || size == 0) {
        return;
    }
    char* scratch = malloc(count * size);
    if (scratch == NULL) {
        /* As glibc does then: the system's sort, which differs only in the order of equals. */
        qsort(items, count, size, compare);
        return;
    }
    merge_sort(items, scratch, count, size, compare);
    free(scratch);
}
