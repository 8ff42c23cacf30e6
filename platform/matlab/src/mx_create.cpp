// Array creation, duplication and destruction.

#include "runtime.h"

using namespace mexhost::detail;

namespace {

std::vector<size_t> dimsOf(mwSize ndim, const mwSize *dims) {
  std::vector<size_t> shape;
  for (mwSize i = 0; i < ndim; ++i) shape.push_back(dims[i]);
  return shape;
}

mxArray *createNumeric(mxClassID classid, mxComplexity flag, const std::vector<size_t> &dims,
                       const char *api) {
  requireMainThread(api);
  if (!isNumericClass(classid) && classid != mxLOGICAL_CLASS && classid != mxCHAR_CLASS) return nullptr;
  if (flag == mxCOMPLEX && !isNumericClass(classid))
    fault("%s: only numeric arrays have imaginary parts", api);
  return newNumeric(classid, dims, Fill::zeros, flag == mxCOMPLEX);
}

mxArray *createStruct(const std::vector<size_t> &dims, int nfields, const char **names, const char *api) {
  requireMainThread(api);
  if (nfields < 0) fault("%s: negative number of fields", api);
  mxArray *array = newArray(mxSTRUCT_CLASS, dims);
  for (int f = 0; f < nfields; ++f) {
    if (names == nullptr || names[f] == nullptr) fault("%s: field name %d is null", api, f + 1);
    for (const std::string &existing : array->fields)
      if (existing == names[f]) fault("%s: duplicate field name \"%s\"", api, names[f]);
    array->fields.emplace_back(names[f]);
  }
  array->slots.assign(numberOfElements(array) * array->fields.size(), nullptr);
  return array;
}

} // namespace

extern "C" {

MX_API mxArray *mxCreateNumericMatrix_730(mwSize m, mwSize n, mxClassID classid, mxComplexity flag) {
  return createNumeric(classid, flag, {m, n}, "mxCreateNumericMatrix");
}

MX_API mxArray *mxCreateNumericArray_730(mwSize ndim, const mwSize *dims, mxClassID classid,
                                         mxComplexity flag) {
  return createNumeric(classid, flag, dimsOf(ndim, dims), "mxCreateNumericArray");
}

MX_API mxArray *mxCreateDoubleMatrix_730(mwSize m, mwSize n, mxComplexity flag) {
  return createNumeric(mxDOUBLE_CLASS, flag, {m, n}, "mxCreateDoubleMatrix");
}

MX_API mxArray *mxCreateDoubleScalar(double value) {
  mxArray *array = createNumeric(mxDOUBLE_CLASS, mxREAL, {1, 1}, "mxCreateDoubleScalar");
  *static_cast<double *>(array->data) = value;
  return array;
}

MX_API mxArray *mxCreateLogicalMatrix_730(mwSize m, mwSize n) {
  return createNumeric(mxLOGICAL_CLASS, mxREAL, {m, n}, "mxCreateLogicalMatrix");
}

MX_API mxArray *mxCreateLogicalScalar(mxLogical value) {
  mxArray *array = createNumeric(mxLOGICAL_CLASS, mxREAL, {1, 1}, "mxCreateLogicalScalar");
  *static_cast<mxLogical *>(array->data) = value;
  return array;
}

MX_API mxArray *mxCreateSparse_730(mwSize m, mwSize n, mwSize nzmax, mxComplexity flag) {
  requireMainThread("mxCreateSparse");
  return newSparse(mxDOUBLE_CLASS, m, n, nzmax, flag == mxCOMPLEX);
}

MX_API mxArray *mxCreateSparseLogicalMatrix_730(mwSize m, mwSize n, mwSize nzmax) {
  requireMainThread("mxCreateSparseLogicalMatrix");
  return newSparse(mxLOGICAL_CLASS, m, n, nzmax, false);
}

MX_API mxArray *mxCreateCellMatrix_730(mwSize m, mwSize n) {
  requireMainThread("mxCreateCellMatrix");
  return newArray(mxCELL_CLASS, {m, n});
}

MX_API mxArray *mxCreateCellArray_730(mwSize ndim, const mwSize *dims) {
  requireMainThread("mxCreateCellArray");
  return newArray(mxCELL_CLASS, dimsOf(ndim, dims));
}

MX_API mxArray *mxCreateStructMatrix_730(mwSize m, mwSize n, int nfields, const char **fieldnames) {
  return createStruct({m, n}, nfields, fieldnames, "mxCreateStructMatrix");
}

MX_API mxArray *mxCreateStructArray_730(mwSize ndim, const mwSize *dims, int nfields,
                                        const char **fieldnames) {
  return createStruct(dimsOf(ndim, dims), nfields, fieldnames, "mxCreateStructArray");
}

MX_API mxArray *mxDuplicateArray(const mxArray *in) {
  requireMainThread("mxDuplicateArray");
  requireLive(in, "mxDuplicateArray");
  return duplicate(in);
}

MX_API void mxDestroyArray(mxArray *pa) {
  requireMainThread("mxDestroyArray");
  if (pa == nullptr) return;
  requireLive(pa, "mxDestroyArray");
  if (pa->hostRefs > 0 || pa->inputRefs > 0)
    fault("mxDestroyArray was given an array the MEX function does not own (an input, "
          "or a workspace value)");
  // MATLAB would leave the container with a dangling element, freed again
  // with the container.
  if (pa->containers > 0)
    fault("mxDestroyArray was given an array inside a container (a cell, a field or a "
          "property): it is destroyed with its container, never alone");
  destroy(pa);
}

} // extern "C"
