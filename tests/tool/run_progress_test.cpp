#include "tool/run_progress.h"

#include <gtest/gtest.h>

namespace {

// A file counts as converted by how its block ends, as unchanged when it needed
// nothing, as failed otherwise. The -strict summaries of the batch tests count
// written, updated and fallen-back files, Cubrel LUTs left alone and invalid
// looks on every job count; here the blocks they do not reach.
TEST(RunProgress, BlocksAreClassifiedByTheirText) {
    const struct {
        const char* block;
        EFileOutcome outcome;
    } cases[] = {
        {"\na.look:\n  LUT size is already 64, file was not modified\n", EFileOutcome::eUnchanged},
        {"\na.lut:\n  Warning: conversion will overwrite an existing look file\n  Error "
         "rendering new look LUT, file was not modified\n",
         EFileOutcome::eFailed},
        {"\na.look:\n  Cubrel LUT written successfully\n  Error writing file\n",
         EFileOutcome::eFailed},
        {"", EFileOutcome::eFailed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyBlock(c.block), c.outcome) << c.block;
}

} // namespace
