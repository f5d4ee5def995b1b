// The model's small texts: every length reads back whole and NUL-ended, in
// place or on the heap, through copies, moves and assignments.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "shared/text/short_text.h"
#include "shared/text/tiny_text.h"

namespace canxlate {
namespace {

template <typename Text>
void expectEveryLengthKept() {
    // Around each form's room in place: 6 and 15 bytes.
    for (const size_t length : {0, 1, 5, 6, 7, 8, 14, 15, 16, 17, 100}) {
        std::string given;
        for (size_t i = 0; i < length; ++i) given += static_cast<char>('a' + i % 26);
        Text text(given);
        EXPECT_EQ(text.view(), given) << length;
        EXPECT_EQ(std::string(text.c_str()), given) << length;  // ends with a NUL
        EXPECT_EQ(text.empty(), length == 0);
        Text copy(text);
        Text moved(std::move(text));
        EXPECT_EQ(copy.view(), given);
        EXPECT_EQ(moved.view(), given);
        EXPECT_TRUE(text.empty());  // NOLINT: a moved-from text is empty
        text = moved;
        moved = Text(std::string(length + 1, 'x'));
        copy = std::move(moved);
        EXPECT_EQ(text.view(), given);
        EXPECT_EQ(copy.view(), std::string(length + 1, 'x'));
        const Text& same = text;
        text = same;  // assigned to itself, it stays
        EXPECT_EQ(text.view(), given);
    }
}

TEST(Texts, EveryLengthIsKeptThroughCopiesAndMoves) {
    expectEveryLengthKept<ShortText>();
    expectEveryLengthKept<TinyText>();
}

}  // namespace
}  // namespace canxlate
