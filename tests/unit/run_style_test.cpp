// The style word: show state in bits 0-14, wait flag in bit 15, the rest
// ignored.
#include <gtest/gtest.h>

#include "extract/runner.h"

namespace quendrix {
namespace {

struct StyleCase {
  std::uint32_t style;
  std::uint32_t showState;
  bool wait;
};

class RunStyleTest : public ::testing::TestWithParam<StyleCase> {};

TEST_P(RunStyleTest, Decodes) {
  const RunStyle decoded = DecodeRunStyle(GetParam().style);
  EXPECT_EQ(decoded.showState, GetParam().showState);
  EXPECT_EQ(decoded.wait, GetParam().wait);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunStyleTest,
    ::testing::Values(StyleCase{0x8000, 0, true}, StyleCase{0x8009, 9, true},
                      StyleCase{0x00FF, 255, false}, StyleCase{0x7FFF, 0x7FFF, false},
                      StyleCase{0xFFFF8003, 3, true}, StyleCase{0x00010003, 3, false}));

}  // namespace
}  // namespace quendrix
