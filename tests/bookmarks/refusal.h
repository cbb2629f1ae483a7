#pragma once
// Checks that reading bad input is refused with a BookmarkError that starts with the file's name
// and says what is wrong.

#include "bookmarks/bookmarkerror.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::test
{

template <typename Read>
void expectRefused(Read read, const std::string &file, const std::string &problem)
{
    try {
        read();
        ADD_FAILURE() << "read without complaint";
    } catch (const bookmarks::BookmarkError &error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind(file + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(problem), std::string::npos) << message;
    }
}

} // namespace quorvel::test
