// Cells, struct fields and object properties.
#include "runtime.h"

using namespace mexhost::detail;

namespace mexhost::detail {

mxArray *newObject(const std::string &className) {
  mxArray *object = newArray(mxOBJECT_CLASS, {1, 1});
  object->className = className;
  return object;
}

// Sets a property the object owns from now on (host-side construction).
void setProperty(mxArray *object, const std::string &name, mxArray *value) {
  for (size_t i = 0; i < object->fields.size(); ++i) {
    if (object->fields[i] != name) continue;
    if (object->slots[i] != nullptr && isLive(object->slots[i])) destroy(object->slots[i]);
    object->slots[i] = value;
    value->containers = 1;
    return;
  }
  object->fields.push_back(name);
  object->slots.push_back(value);
  value->containers = 1;
}

} // namespace mexhost::detail

namespace {

void requireIndex(const mxArray *pa, mwIndex i, const char *api) {
  size_t count = numberOfElements(pa);
  if (i >= count)
    fault("%s: index %zu is outside the array's %zu elements", api, static_cast<size_t>(i), count);
}

int fieldNumber(const mxArray *pa, const char *name) {
  if (name == nullptr) return -1;
  for (size_t f = 0; f < pa->fields.size(); ++f)
    if (pa->fields[f] == name) return static_cast<int>(f);
  return -1;
}

mxArray *&fieldSlot(mxArray *pa, mwIndex i, int field) {
  return pa->slots[i * pa->fields.size() + static_cast<size_t>(field)];
}

void replaceSlot(const mxArray *container, mxArray *&slot, mxArray *value, const char *api) {
  requireUnshared(container, api);
  if (value == slot) return; // already there: nothing changes
  placeIntoContainer(value, api);
  displaceFromContainer(slot);
  slot = value;
}

void requireStruct(const mxArray *pa, const char *api) {
  if (pa->classId != mxSTRUCT_CLASS) fault("%s was given an array that is not a struct", api);
}

} // namespace

extern "C" {

MX_API mxArray *mxGetCell_730(const mxArray *pa, mwIndex i) {
  requireMainThread("mxGetCell");
  if (pa->classId != mxCELL_CLASS) fault("mxGetCell was given an array that is not a cell");
  requireIndex(pa, i, "mxGetCell");
  return pa->slots[i];
}

MX_API void mxSetCell_730(mxArray *pa, mwIndex i, mxArray *value) {
  requireMainThread("mxSetCell");
  if (pa->classId != mxCELL_CLASS) fault("mxSetCell was given an array that is not a cell");
  requireIndex(pa, i, "mxSetCell");
  replaceSlot(pa, pa->slots[i], value, "mxSetCell");
}

MX_API int mxGetNumberOfFields(const mxArray *pa) {
  requireMainThread("mxGetNumberOfFields");
  return pa->classId == mxSTRUCT_CLASS ? static_cast<int>(pa->fields.size()) : 0;
}

MX_API const char *mxGetFieldNameByNumber(const mxArray *pa, int n) {
  requireMainThread("mxGetFieldNameByNumber");
  if (pa->classId != mxSTRUCT_CLASS || n < 0 || static_cast<size_t>(n) >= pa->fields.size()) return nullptr;
  return pa->fields[static_cast<size_t>(n)].c_str();
}

MX_API int mxGetFieldNumber(const mxArray *pa, const char *name) {
  requireMainThread("mxGetFieldNumber");
  return pa->classId == mxSTRUCT_CLASS ? fieldNumber(pa, name) : -1;
}

MX_API int mxAddField(mxArray *pa, const char *name) {
  requireMainThread("mxAddField");
  if (pa->classId != mxSTRUCT_CLASS || name == nullptr || *name == '\0') return -1;
  int existing = fieldNumber(pa, name);
  if (existing >= 0) return existing;
  requireUnshared(pa, "mxAddField");
  size_t count = numberOfElements(pa);
  size_t fields = pa->fields.size();
  std::vector<mxArray *> slots(count * (fields + 1), nullptr);
  for (size_t e = 0; e < count; ++e)
    for (size_t f = 0; f < fields; ++f) slots[e * (fields + 1) + f] = pa->slots[e * fields + f];
  pa->slots.swap(slots);
  pa->fields.emplace_back(name);
  return static_cast<int>(fields);
}

MX_API mxArray *mxGetFieldByNumber_730(const mxArray *pa, mwIndex i, int n) {
  requireMainThread("mxGetFieldByNumber");
  // MATLAB answers null for anything but a field of a struct element, so
  // code may probe an array of unknown kind (an MException object, or
  // Octave's struct in its place) with it.
  if (pa->classId != mxSTRUCT_CLASS || i >= numberOfElements(pa) || n < 0 ||
      static_cast<size_t>(n) >= pa->fields.size())
    return nullptr;
  return fieldSlot(const_cast<mxArray *>(pa), i, n);
}

MX_API mxArray *mxGetField_730(const mxArray *pa, mwIndex i, const char *name) {
  requireMainThread("mxGetField");
  if (pa->classId != mxSTRUCT_CLASS || i >= numberOfElements(pa)) return nullptr;
  int n = fieldNumber(pa, name);
  return n < 0 ? nullptr : fieldSlot(const_cast<mxArray *>(pa), i, n);
}

MX_API void mxSetFieldByNumber_730(mxArray *pa, mwIndex i, int n, mxArray *value) {
  requireMainThread("mxSetFieldByNumber");
  requireStruct(pa, "mxSetFieldByNumber");
  requireIndex(pa, i, "mxSetFieldByNumber");
  if (n < 0 || static_cast<size_t>(n) >= pa->fields.size())
    fault("mxSetFieldByNumber: the struct has no field number %d", n);
  replaceSlot(pa, fieldSlot(pa, i, n), value, "mxSetFieldByNumber");
}

MX_API void mxSetField_730(mxArray *pa, mwIndex i, const char *name, mxArray *value) {
  requireMainThread("mxSetField");
  requireStruct(pa, "mxSetField");
  requireIndex(pa, i, "mxSetField");
  int n = fieldNumber(pa, name);
  // Setting a field that does not exist would lose the value unseen.
  if (n < 0) fault("mxSetField: the struct has no field \"%s\"", name ? name : "(null)");
  replaceSlot(pa, fieldSlot(pa, i, n), value, "mxSetField");
}

MX_API mxArray *mxGetProperty_730(const mxArray *pa, mwIndex i, const char *name) {
  requireMainThread("mxGetProperty");
  if (pa->classId != mxOBJECT_CLASS || i >= numberOfElements(pa) || name == nullptr) return nullptr;
  for (size_t p = 0; p < pa->fields.size(); ++p)
    if (pa->fields[p] == name) return pa->slots[p] != nullptr ? duplicate(pa->slots[p]) : nullptr;
  return nullptr;
}

MX_API void mxSetProperty_730(mxArray *pa, mwIndex i, const char *name, const mxArray *value) {
  requireMainThread("mxSetProperty");
  if (pa->classId != mxOBJECT_CLASS || i >= numberOfElements(pa) || name == nullptr || value == nullptr)
    fault("mxSetProperty was given something other than an object, a property name and "
          "a value");
  requireLive(value, "mxSetProperty");
  requireUnshared(pa, "mxSetProperty");
  for (size_t p = 0; p < pa->fields.size(); ++p) {
    if (pa->fields[p] != name) continue;
    mxArray *copy = duplicate(value);
    ++copy->containers;
    mxArray *previous = pa->slots[p];
    pa->slots[p] = copy;
    if (previous != nullptr && isLive(previous)) destroy(previous);
    return;
  }
  raise("MATLAB:noPublicFieldForClass",
        "Unrecognized property '" + std::string(name) + "' for class '" + pa->className + "'.");
}

} // extern "C"
