#include "tool/run_progress.h"

#include <gtest/gtest.h>

namespace {

// A file counts as converted by how its block ends, also after a render error
// and a fallback; as unchanged when it needed nothing; as failed otherwise.
TEST(RunProgress, BlocksAreClassifiedByTheirText) {
    const struct {
        const char* block;
        EFileOutcome outcome;
    } cases[] = {
        {"\na.look:\n  Cubrel LUT written successfully\n", EFileOutcome::eConverted},
        {"\na.look:\n  LUT updated successfully\n", EFileOutcome::eConverted},
        {"\na.look:\n  Error while rendering LUT:\n    One or more of the LUTs used in the look "
         "are missing\n  Resampling original LUT from the .look file...\n  Cubrel LUT written "
         "successfully\n",
         EFileOutcome::eConverted},
        {"\na.look:\n  LUT size is already 64, file was not modified\n", EFileOutcome::eUnchanged},
        {"\na.lut:\n  File seems to be a Cubrel LUT, no conversion performed\n",
         EFileOutcome::eUnchanged},
        {"\na.lut:\n  Warning: conversion will overwrite an existing look file\n  Error "
         "rendering new look LUT, file was not modified\n",
         EFileOutcome::eFailed},
        {"\na.look:\n  Cubrel LUT written successfully\n  Error writing file\n",
         EFileOutcome::eFailed},
        {"\na.look:\n  Not a valid .look file\n", EFileOutcome::eFailed},
        {"", EFileOutcome::eFailed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyBlock(c.block), c.outcome) << c.block;
}

} // namespace
