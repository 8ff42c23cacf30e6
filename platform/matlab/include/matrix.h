/* The MATLAB matrix API (libmx) as this project's libraries use it: array
 * types and class ids, creation, access, containers, strings, duplication,
 * destruction and memory. Names, signatures and values are MATLAB's; the
 * large-array entry points ("_730") are selected by macro, as MATLAB's own
 * header does for 64-bit index builds.
 *
 * Code of this project calls the documented names only (mxGetProperty,
 * mxCreateNumericMatrix, ...), so it builds unchanged against this header,
 * MATLAB's and GNU Octave's. */
#ifndef CAMERA_PLATFORM_MATLAB_MATRIX_H
#define CAMERA_PLATFORM_MATLAB_MATRIX_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

typedef struct mxArray_tag mxArray;

typedef size_t mwSize;
typedef size_t mwIndex;
typedef ptrdiff_t mwSignedIndex;

#ifdef __cplusplus
typedef char16_t mxChar;
#else
typedef uint16_t mxChar;
#endif
typedef bool mxLogical;

typedef enum {
  mxUNKNOWN_CLASS = 0,
  mxCELL_CLASS = 1,
  mxSTRUCT_CLASS = 2,
  mxLOGICAL_CLASS = 3,
  mxCHAR_CLASS = 4,
  mxVOID_CLASS = 5,
  mxDOUBLE_CLASS = 6,
  mxSINGLE_CLASS = 7,
  mxINT8_CLASS = 8,
  mxUINT8_CLASS = 9,
  mxINT16_CLASS = 10,
  mxUINT16_CLASS = 11,
  mxINT32_CLASS = 12,
  mxUINT32_CLASS = 13,
  mxINT64_CLASS = 14,
  mxUINT64_CLASS = 15,
  mxFUNCTION_CLASS = 16,
  mxOPAQUE_CLASS = 17,
  mxOBJECT_CLASS = 18
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

/* Entry points that take sizes or indices, bound to their 64-bit versions. */
#define mxCreateNumericMatrix mxCreateNumericMatrix_730
#define mxCreateNumericArray mxCreateNumericArray_730
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_730
#define mxCreateLogicalMatrix mxCreateLogicalMatrix_730
#define mxCreateSparse mxCreateSparse_730
#define mxCreateSparseLogicalMatrix mxCreateSparseLogicalMatrix_730
#define mxCreateCellMatrix mxCreateCellMatrix_730
#define mxCreateCellArray mxCreateCellArray_730
#define mxCreateStructMatrix mxCreateStructMatrix_730
#define mxCreateStructArray mxCreateStructArray_730
#define mxGetCell mxGetCell_730
#define mxSetCell mxSetCell_730
#define mxGetField mxGetField_730
#define mxSetField mxSetField_730
#define mxGetFieldByNumber mxGetFieldByNumber_730
#define mxSetFieldByNumber mxSetFieldByNumber_730
#define mxGetProperty mxGetProperty_730
#define mxSetProperty mxSetProperty_730
#define mxGetString mxGetString_730
#define mxGetDimensions mxGetDimensions_730
#define mxGetNumberOfDimensions mxGetNumberOfDimensions_730
#define mxGetIr mxGetIr_730
#define mxGetJc mxGetJc_730
#define mxGetNzmax mxGetNzmax_730

#ifdef __cplusplus
extern "C" {
#endif

/* Memory. Blocks made during a MEX call are freed when it ends unless made
 * persistent (mexMakeMemoryPersistent). */
void *mxCalloc(size_t n, size_t size);
void *mxMalloc(size_t n);
void *mxRealloc(void *ptr, size_t size);
void mxFree(void *ptr);

/* Creation. Arrays made during a MEX call are freed when it ends unless made
 * persistent, returned, or set into a container. */
mxArray *mxCreateNumericMatrix(mwSize m, mwSize n, mxClassID classid, mxComplexity flag);
mxArray *mxCreateNumericArray(mwSize ndim, const mwSize *dims, mxClassID classid, mxComplexity flag);
mxArray *mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag);
mxArray *mxCreateDoubleScalar(double value);
mxArray *mxCreateLogicalMatrix(mwSize m, mwSize n);
mxArray *mxCreateLogicalScalar(mxLogical value);
/* Sparse arrays (double or logical) hold room for nzmax nonzero elements
 * only: their values in pr (and pi), their rows in ir, and where each
 * column's elements begin in jc (n + 1 entries; jc[n] counts the nonzeros). */
mxArray *mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity flag);
mxArray *mxCreateSparseLogicalMatrix(mwSize m, mwSize n, mwSize nzmax);
mxArray *mxCreateString(const char *str);
mxArray *mxCreateCellMatrix(mwSize m, mwSize n);
mxArray *mxCreateCellArray(mwSize ndim, const mwSize *dims);
mxArray *mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char **fieldnames);
mxArray *mxCreateStructArray(mwSize ndim, const mwSize *dims, int nfields, const char **fieldnames);

mxArray *mxDuplicateArray(const mxArray *in);
void mxDestroyArray(mxArray *pa);

/* Class and size. */
mxClassID mxGetClassID(const mxArray *pa);
const char *mxGetClassName(const mxArray *pa);
bool mxIsClass(const mxArray *pa, const char *name);
size_t mxGetM(const mxArray *pa);
size_t mxGetN(const mxArray *pa);
mwSize mxGetNumberOfDimensions(const mxArray *pa);
const mwSize *mxGetDimensions(const mxArray *pa);
size_t mxGetNumberOfElements(const mxArray *pa);
size_t mxGetElementSize(const mxArray *pa);

bool mxIsEmpty(const mxArray *pa);
bool mxIsNumeric(const mxArray *pa);
bool mxIsComplex(const mxArray *pa);
bool mxIsSparse(const mxArray *pa);
bool mxIsDouble(const mxArray *pa);
bool mxIsSingle(const mxArray *pa);
bool mxIsInt8(const mxArray *pa);
bool mxIsUint8(const mxArray *pa);
bool mxIsInt16(const mxArray *pa);
bool mxIsUint16(const mxArray *pa);
bool mxIsInt32(const mxArray *pa);
bool mxIsUint32(const mxArray *pa);
bool mxIsInt64(const mxArray *pa);
bool mxIsUint64(const mxArray *pa);
bool mxIsLogical(const mxArray *pa);
bool mxIsChar(const mxArray *pa);
bool mxIsCell(const mxArray *pa);
bool mxIsStruct(const mxArray *pa);
bool mxIsFunctionHandle(const mxArray *pa);

/* Data. The real and imaginary parts of a complex array are stored apart:
 * mxGetData and mxGetPr give the real parts, mxGetImagData and mxGetPi the
 * imaginary ones (null for a real array). mxGetScalar gives the first real
 * element, of a sparse array the first nonzero one (0 if none). */
double mxGetScalar(const mxArray *pa);
void *mxGetData(const mxArray *pa);
double *mxGetPr(const mxArray *pa);
void *mxGetImagData(const mxArray *pa);
double *mxGetPi(const mxArray *pa);
mwIndex *mxGetIr(const mxArray *pa);
mwIndex *mxGetJc(const mxArray *pa);
mwSize mxGetNzmax(const mxArray *pa);
mxLogical *mxGetLogicals(const mxArray *pa);
mxChar *mxGetChars(const mxArray *pa);

/* Cells, structs and object properties. A set array belongs to its container
 * from then on; what it displaces is not destroyed. mxGetProperty returns a
 * copy; mxGetField and mxGetCell return the contained array itself. */
mxArray *mxGetCell(const mxArray *pa, mwIndex i);
void mxSetCell(mxArray *pa, mwIndex i, mxArray *value);
int mxGetNumberOfFields(const mxArray *pa);
const char *mxGetFieldNameByNumber(const mxArray *pa, int n);
int mxGetFieldNumber(const mxArray *pa, const char *name);
int mxAddField(mxArray *pa, const char *name);
mxArray *mxGetField(const mxArray *pa, mwIndex i, const char *name);
void mxSetField(mxArray *pa, mwIndex i, const char *name, mxArray *value);
mxArray *mxGetFieldByNumber(const mxArray *pa, mwIndex i, int n);
void mxSetFieldByNumber(mxArray *pa, mwIndex i, int n, mxArray *value);
mxArray *mxGetProperty(const mxArray *pa, mwIndex i, const char *name);
void mxSetProperty(mxArray *pa, mwIndex i, const char *name, const mxArray *value);

/* Strings. mxGetString copies at most buflen - 1 characters and a
 * terminating zero; it returns 0 when the whole text fitted, 1 otherwise. */
int mxGetString(const mxArray *pa, char *buf, mwSize buflen);
char *mxArrayToString(const mxArray *pa);

#ifdef __cplusplus
}
#endif

#endif
