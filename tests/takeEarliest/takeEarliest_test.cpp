// Reading the current Andor camera's oldest image into a new array or a
// global variable, and what is refused before anything is read.
#include "mex_library_test.h"
#include "simulated_andor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Simulated cameras by the pixels of their images.
enum : int32_t { pixels100 = 1, pixels20 = 2, pixels4 = 3, pixels2 = 4, pixels42 = 5 };

class TakeEarliestTest : public MexLibraryTest<simulatedAndor> {
protected:
  TakeEarliestTest() : MexLibraryTest("takeEarliest") {}

  void SetUp() override {
    MexLibraryTest::SetUp();
    const int32_t sizes[][3] = {
        {pixels100, 10, 10}, {pixels20, 5, 4}, {pixels4, 2, 2}, {pixels2, 2, 1}, {pixels42, 7, 6}};
    for (const auto &size : sizes) {
      ASSERT_EQ(andorSimAddCamera(size[0], size[1], size[2]), ANDOR_STATUS_SUCCESS);
      selectCamera(size[0]);
      ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
    }
    andorSimClearCallLog();
  }

  // The camera takes images and becomes the driver's current camera.
  void useCamera(int32_t handle, int32_t images = 1) {
    ASSERT_EQ(andorSimProduceImages(handle, images), images);
    selectCamera(handle);
    andorSimClearCallLog();
  }

  mexhost::Value camera() {
    return session.object("AndorCamera",
                          {{"expectedM", session.number(6)}, {"expectedN", session.number(7)}});
  }

  mexhost::CallResult take(std::vector<mexhost::Value> inputs, int nlhs = 1) {
    inputs.insert(inputs.begin(), camera());
    return call(inputs, nlhs);
  }

  uint64_t imagesRead(int32_t handle) {
    AndorSimCameraState state{};
    andorSimGetCamera(handle, &state);
    return state.counters.read;
  }
};

using Test = TakeEarliestTest;

TEST_F(Test, TheOutputSizeShapesTheArrayAndThePixelsAsked) {
  struct Case {
    int32_t handle;
    std::vector<mexhost::Value> sizeInput; // empty: two inputs only
    size_t rows, columns;
  };
  const Case cases[] = {
      {pixels100, {session.number(100)}, 100, 1},
      {pixels20, {session.numbers(mxDOUBLE_CLASS, 1, 2, {4, 5})}, 4, 5},
      {pixels4, {session.int32(4)}, 4, 1},
      {pixels2, {session.number(2.9)}, 2, 1},
      {pixels42, {session.empty()}, 6, 7},
      {pixels42, {}, 6, 7},
      // Real parts, as mxGetPr reads them; nothing beyond them is read.
      {pixels20, {session.complexNumbers(mxDOUBLE_CLASS, 1, 2, {4, 5}, {1, 1})}, 4, 5},
  };
  for (const Case &c : cases) {
    useCamera(c.handle, 2);
    std::vector<mexhost::Value> inputs = {session.number(16)};
    inputs.insert(inputs.end(), c.sizeInput.begin(), c.sizeInput.end());
    mexhost::CallResult result = take(inputs);
    ASSERT_TRUE(result.ok) << result.errorMessage;
    const mexhost::Value &image = result.outputs.at(0);
    EXPECT_EQ(image.classId(), mxINT16_CLASS);
    EXPECT_EQ(image.rows(), c.rows);
    EXPECT_EQ(image.columns(), c.columns);
    EXPECT_EQ(callLog(),
              std::vector<std::string>{"readOldestImage16(ptr, " + std::to_string(c.rows * c.columns) + ")"});
    EXPECT_EQ(image.scalar(), imagesRead(c.handle)) << "the oldest unread image, numbered in its first pixel";
  }
}

// takeEarliest names no camera to the driver: it reads the one selected
// last, here one whose handle has the top bit set, with a camera object
// that carries that handle as MATLAB holds it.
TEST_F(Test, TheCameraSelectedLastIsReadWhateverItsHandle) {
  ASSERT_EQ(andorSimAddCamera(INT32_MIN, 2, 2), ANDOR_STATUS_SUCCESS);
  selectCamera(INT32_MIN);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  useCamera(INT32_MIN, 1);
  mexhost::CallResult result =
      session.call("takeEarliest",
                   {session.object("AndorCamera", {{"cameraHandle", session.number(-2147483648.0)}}),
                    session.number(16), session.number(4)},
                   1);
  ASSERT_TRUE(result.ok) << result.errorMessage;
  EXPECT_EQ(result.outputs[0].scalar(), 1);
  EXPECT_EQ(imagesRead(INT32_MIN), 1u);
}

// No array of 2 GB or more can exist in a 32-bit process: there such a size
// is refused before any array is asked for; a 64-bit MATLAB is asked for it
// (and, under the host's allocation limit, runs out of memory).
TEST_F(Test, AnImageOf2GBIsRefusedBeforeAnythingIsMadeIn32Bits) {
  useCamera(pixels100, 1);
  session.setAllocationLimit(1 << 20);
  const bool narrow = sizeof(void *) == 4;
  const std::string outOfMemory = "Out of memory. Type \"help memory\" for your options.";
  mexhost::CallResult result =
      take({session.number(16), session.numbers(mxDOUBLE_CLASS, 1, 2, {65536, 32768})});
  EXPECT_EQ(
      result.errorMessage,
      narrow
          ? "takeEarliest: a 65536-by-32768 int16 array of 4294967296 bytes is larger than this MATLAB can "
            "hold."
          : outOfMemory);
  result = take({session.number(32), session.numbers(mxDOUBLE_CLASS, 1, 2, {16384, 32768})});
  EXPECT_EQ(
      result.errorMessage,
      narrow
          ? "takeEarliest: a 16384-by-32768 int32 array of 2147483648 bytes is larger than this MATLAB can "
            "hold."
          : outOfMemory);
  EXPECT_TRUE(callLog().empty());
  EXPECT_EQ(imagesRead(pixels100), 0u);
}

TEST_F(Test, BitDepthsAreTruncatedAndChooseTheClass) {
  useCamera(pixels100, 2);
  mexhost::CallResult result = take({session.number(16.7), session.number(100)});
  ASSERT_TRUE(result.ok) << result.errorMessage;
  EXPECT_EQ(result.outputs[0].classId(), mxINT16_CLASS);
  result = take({session.number(32), session.number(100)});
  ASSERT_TRUE(result.ok) << result.errorMessage;
  EXPECT_EQ(result.outputs[0].classId(), mxINT32_CLASS);
  EXPECT_EQ(result.outputs[0].rows(), 100u);
  EXPECT_EQ(result.outputs[0].scalar(), 2);
  EXPECT_EQ(callLog().back(), "readOldestImage32(ptr, 100)");
}

TEST_F(Test, WithNoOutputTheImageIsTakenAndDropped) {
  useCamera(pixels100, 2);
  ASSERT_TRUE(take({session.number(16), session.number(100)}, 0).ok);
  EXPECT_EQ(imagesRead(pixels100), 1u);
  mexhost::CallResult result = take({session.number(16), session.number(100)});
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.outputs[0].scalar(), 2);
}

TEST_F(Test, AGlobalVariableIsFilledInPlaceOfAnOutput) {
  useCamera(pixels100, 1);
  session.setGlobal("frame", session.numbers(mxINT16_CLASS, 10, 10));
  mexhost::CallResult result = take({session.number(16), session.text("frame")}, 0);
  ASSERT_TRUE(result.ok) << result.errorMessage;
  EXPECT_TRUE(result.outputs.empty());
  EXPECT_EQ(session.global("frame").scalar(), 1);
  EXPECT_EQ(callLog(), std::vector<std::string>{"readOldestImage16(ptr, 100)"});

  // Wider elements take the pixels too.
  useCamera(pixels100, 1);
  session.setGlobal("wide", session.numbers(mxINT32_CLASS, 10, 10));
  ASSERT_TRUE(take({session.number(32), session.text("wide")}, 0).ok);
  EXPECT_EQ(session.global("wide").scalar(), 2);

  // A variable that cannot be stored back is said so; the image is read.
  useCamera(pixels100, 1);
  session.clearCommandWindow();
  session.refuseNextPutVariables(1);
  ASSERT_TRUE(take({session.number(16), session.text("frame")}, 0).ok);
  EXPECT_EQ(session.commandWindow(), "Error occurred in mexPutVariable()\n");
  EXPECT_EQ(session.global("frame").scalar(), 1) << "the variable is left as it was";
  EXPECT_EQ(callLog(), std::vector<std::string>{"readOldestImage16(ptr, 100)"});

  useCamera(pixels100, 1);
  session.clearCommandWindow();
  result = take({session.number(16), session.text("missing")}, 0);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(session.commandWindow(), "Failed to find variable 'missing' in workspace. Aborting read.\n");
  EXPECT_FALSE(session.hasGlobal("missing"));
  EXPECT_TRUE(callLog().empty()) << "the image stays unread";
}

TEST_F(Test, ADriverFailureEndsTheCallWithItsStatus) {
  selectCamera(pixels100); // no image yet
  mexhost::CallResult result = take({session.number(16), session.number(100)});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errorMessage, "ERROR in takeEarliest call. Status code 20024 was returned");
  useCamera(pixels100, 1);
  session.setGlobal("frame", session.numbers(mxINT16_CLASS, 10, 10, {7}));
  andorSimInjectStatus("readOldestImage16", ANDOR_SIM_ACQUIRING, ANDOR_SIM_ONCE);
  result = take({session.number(16), session.text("frame")}, 0);
  EXPECT_EQ(result.errorMessage, "ERROR in takeEarliest call. Status code 20072 was returned");
  EXPECT_EQ(session.global("frame").scalar(), 7) << "nothing is put back";
}

TEST_F(Test, BadInputsAreRefusedBeforeAnythingIsRead) {
  useCamera(pixels100, 1);
  session.setGlobal("bytes", session.numbers(mxUINT8_CLASS, 10, 10));
  session.setGlobal("shorts", session.numbers(mxINT16_CLASS, 10, 10));
  session.setGlobal("cells", mexhost::Value::adopt(mxCreateCellMatrix(10, 10)));
  const char badDepth[] = "takeEarliest: the bit depth must be 16 or 32.";
  struct Case {
    std::vector<mexhost::Value> inputs; // after the camera object
    std::string message;
  };
  const Case cases[] = {
      {{}, "takeEarliest: at least two inputs are needed, the camera object and the bit depth."},
      {{session.number(8)}, badDepth},
      {{session.number(33)}, badDepth},
      {{session.text(" ")}, badDepth},
      {{session.empty()}, badDepth},
      {{session.number(16), session.numbers(mxINT32_CLASS, 1, 2, {4, 5})},
       " At this time, if an output size array is specified, it must be given as class 'double'."},
      {{session.number(16), session.numbers(mxDOUBLE_CLASS, 1, 3, {1, 2, 3})},
       "Either a scalar valure or a 2 element array must be supplied as the outputSize"},
      {{session.number(16), mexhost::Value::adopt(mxCreateCellMatrix(1, 1))},
       "takeEarliest: the third input must be an output size or the name of a global variable."},
      {{session.number(16), session.text("bytes")},
       "takeEarliest: the global variable 'bytes' must be a numeric array whose elements are at least 16 "
       "bits wide."},
      {{session.number(32), session.text("shorts")},
       "takeEarliest: the global variable 'shorts' must be a numeric array whose elements are at least 32 "
       "bits wide."},
      {{session.number(16), session.text("cells")},
       "takeEarliest: the global variable 'cells' must be a numeric array whose elements are at least 16 "
       "bits wide."},
  };
  for (const Case &c : cases) {
    mexhost::CallResult result = take(c.inputs, 0);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorMessage, c.message);
  }
  mexhost::CallResult result = session.call(
      "takeEarliest", {session.object("AndorCamera", {{"expectedM", session.text("6")}}), session.number(16)},
      1);
  EXPECT_EQ(result.errorMessage, "takeEarliest: without an output size the camera object must have numeric "
                                 "expectedM and expectedN properties.");
  EXPECT_TRUE(callLog().empty());
  EXPECT_EQ(imagesRead(pixels100), 0u);
}

// Sparse storage holds only the nonzero elements, fewer than the size says:
// read or written as a full array it is overrun.
TEST_F(Test, SparseAndComplexArraysAreRefusedBeforeAnythingIsRead) {
  useCamera(pixels100, 1);
  session.setGlobal("sparseFrame", session.sparse(mxDOUBLE_CLASS, 10, 10, {7}));
  session.setGlobal("sparseFlags", session.sparse(mxLOGICAL_CLASS, 10, 10, {1}));
  session.setGlobal("complexFrame", session.complexNumbers(mxINT16_CLASS, 10, 10, {7}, {1}));
  const char sparseSize[] = "takeEarliest: the output size must be a full array; it is sparse.";
  struct Case {
    std::vector<mexhost::Value> inputs; // after the camera object
    std::string message;
  };
  const Case cases[] = {
      {{session.number(16), session.text("sparseFrame")},
       "takeEarliest: the global variable 'sparseFrame' must be a full, real array; it is sparse."},
      {{session.number(16), session.text("sparseFlags")},
       "takeEarliest: the global variable 'sparseFlags' must be a numeric array whose elements are at least "
       "16 bits "
       "wide."},
      // Only the real parts would take the image.
      {{session.number(16), session.text("complexFrame")},
       "takeEarliest: the global variable 'complexFrame' must be a full, real array; it is complex."},
      {{session.number(16), session.sparse(mxDOUBLE_CLASS, 1, 2, {0, 100})}, sparseSize},
      {{session.number(16), session.sparse(mxDOUBLE_CLASS, 1, 2, {10, 10})}, sparseSize},
      {{session.number(16), session.sparse(mxDOUBLE_CLASS, 1, 1, {100})}, sparseSize},
      {{session.number(16), session.sparse(mxDOUBLE_CLASS, 1, 2, {10, 10}, {1, 0})}, sparseSize},
  };
  for (const Case &c : cases) {
    mexhost::CallResult result = take(c.inputs, 0);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorMessage, c.message);
  }
  EXPECT_TRUE(callLog().empty());
  EXPECT_EQ(imagesRead(pixels100), 0u);
  EXPECT_EQ(session.global("sparseFrame").scalar(), 7) << "the variable is left as it was";
  EXPECT_EQ(session.global("complexFrame").scalar(), 7);

  // An empty sparse size is no size: the camera's own, as for [].
  useCamera(pixels42, 1);
  mexhost::CallResult result = take({session.number(16), session.sparse(mxDOUBLE_CLASS, 0, 0)});
  ASSERT_TRUE(result.ok) << result.errorMessage;
  EXPECT_EQ(result.outputs[0].rows(), 6u);
  EXPECT_EQ(result.outputs[0].columns(), 7u);
}

} // namespace
