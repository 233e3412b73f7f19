// A test fixture: each test starts and ends with the library as at
// process start and no fault planned.
#ifndef TESTS_FRESHLIBRARY_HPP
#define TESTS_FRESHLIBRARY_HPP

#include "faults.hpp"

#include <gtest/gtest.h>

namespace streams
{

class FreshLibrary : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetlibrary();
        faults::reset();
    }
    void TearDown() override
    {
        faults::reset();
        resetlibrary();
    }
};

} // namespace streams

#endif
