// Class, size, type tests and element data.
#include <cstdint>

#include "runtime.h"

using namespace mexhost::detail;

namespace {

template <typename T> double first(const mxArray *pa) {
  return static_cast<double>(*static_cast<const T *>(pa->data));
}

} // namespace

extern "C" {

MX_API mxClassID mxGetClassID(const mxArray *pa) {
  requireMainThread("mxGetClassID");
  return pa->classId;
}

MX_API const char *mxGetClassName(const mxArray *pa) {
  requireMainThread("mxGetClassName");
  switch (pa->classId) {
  case mxCELL_CLASS:
    return "cell";
  case mxSTRUCT_CLASS:
    return "struct";
  case mxLOGICAL_CLASS:
    return "logical";
  case mxCHAR_CLASS:
    return "char";
  case mxDOUBLE_CLASS:
    return "double";
  case mxSINGLE_CLASS:
    return "single";
  case mxINT8_CLASS:
    return "int8";
  case mxUINT8_CLASS:
    return "uint8";
  case mxINT16_CLASS:
    return "int16";
  case mxUINT16_CLASS:
    return "uint16";
  case mxINT32_CLASS:
    return "int32";
  case mxUINT32_CLASS:
    return "uint32";
  case mxINT64_CLASS:
    return "int64";
  case mxUINT64_CLASS:
    return "uint64";
  case mxFUNCTION_CLASS:
    return "function_handle";
  case mxOBJECT_CLASS:
    return pa->className.c_str();
  default:
    return "unknown";
  }
}

MX_API bool mxIsClass(const mxArray *pa, const char *name) {
  return name != nullptr && std::string(mxGetClassName(pa)) == name;
}

MX_API size_t mxGetM(const mxArray *pa) {
  requireMainThread("mxGetM");
  return pa->dims[0];
}

MX_API size_t mxGetN(const mxArray *pa) {
  requireMainThread("mxGetN");
  size_t n = 1;
  for (size_t i = 1; i < pa->dims.size(); ++i) n *= pa->dims[i];
  return n;
}

MX_API mwSize mxGetNumberOfDimensions_730(const mxArray *pa) {
  requireMainThread("mxGetNumberOfDimensions");
  return pa->dims.size();
}

MX_API const mwSize *mxGetDimensions_730(const mxArray *pa) {
  requireMainThread("mxGetDimensions");
  return pa->dims.data();
}

MX_API size_t mxGetNumberOfElements(const mxArray *pa) {
  requireMainThread("mxGetNumberOfElements");
  return numberOfElements(pa);
}

MX_API size_t mxGetElementSize(const mxArray *pa) {
  requireMainThread("mxGetElementSize");
  return elementSize(pa->classId);
}

MX_API bool mxIsEmpty(const mxArray *pa) { return mxGetNumberOfElements(pa) == 0; }

MX_API bool mxIsNumeric(const mxArray *pa) { return isNumericClass(mxGetClassID(pa)); }
MX_API bool mxIsComplex(const mxArray *pa) {
  requireMainThread("mxIsComplex");
  return pa->isComplex;
}
MX_API bool mxIsSparse(const mxArray *pa) {
  requireMainThread("mxIsSparse");
  return pa->sparse;
}
MX_API bool mxIsDouble(const mxArray *pa) { return mxGetClassID(pa) == mxDOUBLE_CLASS; }
MX_API bool mxIsSingle(const mxArray *pa) { return mxGetClassID(pa) == mxSINGLE_CLASS; }
MX_API bool mxIsInt8(const mxArray *pa) { return mxGetClassID(pa) == mxINT8_CLASS; }
MX_API bool mxIsUint8(const mxArray *pa) { return mxGetClassID(pa) == mxUINT8_CLASS; }
MX_API bool mxIsInt16(const mxArray *pa) { return mxGetClassID(pa) == mxINT16_CLASS; }
MX_API bool mxIsUint16(const mxArray *pa) { return mxGetClassID(pa) == mxUINT16_CLASS; }
MX_API bool mxIsInt32(const mxArray *pa) { return mxGetClassID(pa) == mxINT32_CLASS; }
MX_API bool mxIsUint32(const mxArray *pa) { return mxGetClassID(pa) == mxUINT32_CLASS; }
MX_API bool mxIsInt64(const mxArray *pa) { return mxGetClassID(pa) == mxINT64_CLASS; }
MX_API bool mxIsUint64(const mxArray *pa) { return mxGetClassID(pa) == mxUINT64_CLASS; }
MX_API bool mxIsLogical(const mxArray *pa) { return mxGetClassID(pa) == mxLOGICAL_CLASS; }
MX_API bool mxIsChar(const mxArray *pa) { return mxGetClassID(pa) == mxCHAR_CLASS; }
MX_API bool mxIsCell(const mxArray *pa) { return mxGetClassID(pa) == mxCELL_CLASS; }
MX_API bool mxIsStruct(const mxArray *pa) { return mxGetClassID(pa) == mxSTRUCT_CLASS; }
MX_API bool mxIsFunctionHandle(const mxArray *pa) { return mxGetClassID(pa) == mxFUNCTION_CLASS; }

MX_API double mxGetScalar(const mxArray *pa) {
  requireMainThread("mxGetScalar");
  if (pa->data == nullptr) return 0.0;
  // A sparse array's first stored value is its first nonzero, if it has any.
  if (pa->sparse && pa->jc[pa->dims[1]] == 0) return 0.0;
  switch (pa->classId) {
  case mxDOUBLE_CLASS:
    return first<double>(pa);
  case mxSINGLE_CLASS:
    return first<float>(pa);
  case mxINT8_CLASS:
    return first<int8_t>(pa);
  case mxUINT8_CLASS:
    return first<uint8_t>(pa);
  case mxINT16_CLASS:
    return first<int16_t>(pa);
  case mxUINT16_CLASS:
    return first<uint16_t>(pa);
  case mxINT32_CLASS:
    return first<int32_t>(pa);
  case mxUINT32_CLASS:
    return first<uint32_t>(pa);
  case mxINT64_CLASS:
    return first<int64_t>(pa);
  case mxUINT64_CLASS:
    return first<uint64_t>(pa);
  case mxLOGICAL_CLASS:
    return *static_cast<const mxLogical *>(pa->data) ? 1.0 : 0.0;
  case mxCHAR_CLASS:
    return first<mxChar>(pa);
  default:
    return 0.0;
  }
}

MX_API void *mxGetData(const mxArray *pa) {
  requireMainThread("mxGetData");
  return pa->data;
}

MX_API double *mxGetPr(const mxArray *pa) {
  requireMainThread("mxGetPr");
  return static_cast<double *>(pa->data);
}

MX_API double *mxGetPi(const mxArray *pa) {
  requireMainThread("mxGetPi");
  return static_cast<double *>(pa->imagData);
}

MX_API void *mxGetImagData(const mxArray *pa) {
  requireMainThread("mxGetImagData");
  return pa->imagData;
}

MX_API mwIndex *mxGetIr_730(const mxArray *pa) {
  requireMainThread("mxGetIr");
  return pa->ir;
}

MX_API mwIndex *mxGetJc_730(const mxArray *pa) {
  requireMainThread("mxGetJc");
  return pa->jc;
}

MX_API mwSize mxGetNzmax_730(const mxArray *pa) {
  requireMainThread("mxGetNzmax");
  return pa->sparse ? pa->nzmax : numberOfElements(pa);
}

MX_API mxLogical *mxGetLogicals(const mxArray *pa) {
  requireMainThread("mxGetLogicals");
  return pa->classId == mxLOGICAL_CLASS ? static_cast<mxLogical *>(pa->data) : nullptr;
}

MX_API mxChar *mxGetChars(const mxArray *pa) {
  requireMainThread("mxGetChars");
  return pa->classId == mxCHAR_CLASS ? static_cast<mxChar *>(pa->data) : nullptr;
}

} // extern "C"
