// Sparse and complex arrays, stored as MATLAB stores them: a sparse array
// holds room for its nonzero elements only, a complex one keeps its
// imaginary parts in storage of their own.
#include <cstdint>
#include <vector>

#include "testmex_fixture.h"

using mexhost::Value;

namespace {

template <typename T> std::vector<T> elements(const T *data, size_t count) {
  return std::vector<T>(data, data + count);
}

} // namespace

TEST_F(TestMex, SparseArraysStoreOnlyTheirNonzeroElements) {
  const std::vector<double> values = {0, 5, 0, 0, 0, 7}; // 3-by-2
  Value made = value("sparse", {session.numbers(mxDOUBLE_CLASS, 3, 2, values)});
  Value host = session.sparse(mxDOUBLE_CLASS, 3, 2, values);
  for (const Value &sparse : {made, host}) {
    ASSERT_TRUE(mxIsSparse(sparse.get()));
    EXPECT_EQ(sparse.elements(), 6u);
    ASSERT_EQ(mxGetNzmax(sparse.get()), 2u);
    EXPECT_EQ(elements(mxGetIr(sparse.get()), 2), (std::vector<mwIndex>{1, 2}));
    EXPECT_EQ(elements(mxGetJc(sparse.get()), 3), (std::vector<mwIndex>{0, 1, 2}));
    EXPECT_EQ(elements(mxGetPr(sparse.get()), 2), (std::vector<double>{5, 7}));
    EXPECT_EQ(sparse.scalar(), 5.0) << "the first nonzero element";
  }
  // Copies (an echo is a duplicate, and a copy again on its way back) keep
  // the layout.
  Value back = value("full", {value("echo", {host})});
  EXPECT_EQ(elements(mxGetPr(back.get()), 6), values);
  EXPECT_FALSE(mxIsSparse(back.get()));

  // All zeros: no nonzero element, room for one.
  Value zeros = session.sparse(mxDOUBLE_CLASS, 4, 4);
  EXPECT_EQ(mxGetNzmax(zeros.get()), 1u);
  EXPECT_EQ(mxGetJc(zeros.get())[4], 0u);
  EXPECT_EQ(zeros.scalar(), 0.0);
  Value flags = session.sparse(mxLOGICAL_CLASS, 2, 2, {0, 0, 1});
  EXPECT_EQ(mxGetNzmax(flags.get()), 1u);
  EXPECT_EQ(mxGetIr(flags.get())[0], 0u);
  EXPECT_EQ(mxGetJc(flags.get())[1], 0u);
  EXPECT_TRUE(mxGetLogicals(flags.get())[0]);
}

TEST_F(TestMex, ComplexArraysKeepTheirImaginaryPartsApart) {
  Value z = session.complexNumbers(mxDOUBLE_CLASS, 1, 3, {1, 0, 3}, {4, 0, 0});
  ASSERT_TRUE(mxIsComplex(z.get()));
  EXPECT_EQ(z.scalar(), 1.0) << "the real part";
  Value sparse = value("sparse", {z});
  EXPECT_TRUE(mxIsComplex(sparse.get()));
  ASSERT_EQ(mxGetNzmax(sparse.get()), 2u);
  EXPECT_EQ(elements(mxGetPi(sparse.get()), 2), (std::vector<double>{4, 0}));
  Value back = value("full", {sparse}); // made with mxCOMPLEX
  ASSERT_TRUE(mxIsComplex(back.get()));
  EXPECT_EQ(elements(mxGetPr(back.get()), 3), (std::vector<double>{1, 0, 3}));
  EXPECT_EQ(elements(mxGetPi(back.get()), 3), (std::vector<double>{4, 0, 0}));

  Value pixels = value("echo", {session.complexNumbers(mxINT16_CLASS, 2, 1, {7, 8}, {-1, -2})});
  EXPECT_EQ(elements(static_cast<const int16_t *>(mxGetImagData(pixels.get())), 2),
            (std::vector<int16_t>{-1, -2}));
  EXPECT_EQ(elements(static_cast<const int16_t *>(mxGetData(pixels.get())), 2), (std::vector<int16_t>{7, 8}));
  // Complex with no element at all, before and after a copy.
  EXPECT_TRUE(mxIsComplex(value("echo", {session.complexNumbers(mxDOUBLE_CLASS, 0, 3)}).get()));
  EXPECT_EQ(mxGetPi(session.number(1).get()), nullptr);
  EXPECT_FALSE(mxIsComplex(session.number(1).get()));
}

TEST_F(TestMex, SparseAndComplexStorageIsAccountedAsStored) {
  // 3-by-2 with two nonzeros: values and imaginary parts for 2, rows for 2,
  // column starts for 3, and the 16-byte block keep makes.
  ok("keep", {session.sparse(mxDOUBLE_CLASS, 3, 2, {0, 5, 0, 0, 0, 7}, {0, 1})});
  EXPECT_EQ(memoryOf("testmex").persistent.bytes, 2 * 8 + 2 * 8 + (2 + 3) * sizeof(mwIndex) + 16);
  ok("keep", {session.complexNumbers(mxINT32_CLASS, 5, 1)});
  EXPECT_EQ(memoryOf("testmex").persistent.bytes, 5 * 4 * 2 + 16);
  ok("drop");
  EXPECT_TRUE(session.clear("testmex").leaked.empty());
}

#if defined(CAMERA_WITH_ASAN)
// Code that takes a sparse array's size for its storage is caught writing
// past it, as it would corrupt MATLAB's memory.
TEST_F(TestMex, WritingASparseArrayAsIfFullOverrunsItsStorage) {
  Value full = value("fillAll", {session.numbers(mxDOUBLE_CLASS, 10, 10)});
  EXPECT_EQ(mxGetPr(full.get())[99], mxGetPr(full.get())[0]);
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_DEATH(run(1, "fillAll", {session.sparse(mxDOUBLE_CLASS, 10, 10, {1})}), "heap-buffer-overflow");
}
#endif
