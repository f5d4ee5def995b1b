// The lookup by name that messages, nodes and channels share: the first entry
// of a name wins, whether the table grew name by name or was reserved for its
// count, small or large enough to be filled further.
#include "shared/lookup/name_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace canxlate {
namespace {

TEST(NameIndex, FindsEveryNameOnceAtEverySize) {
    struct Case {
        size_t names;
        size_t reserved;  // 0: grown name by name
    };
    // 4,096 names grown and 2^17 reserved would fill a table of as many
    // slots, where a search for an absent name never ends. 100,000 names
    // reserved fill a large table up to four fifths; more names than reserved
    // grow the table again.
    const Case cases[] = {{1, 0}, {3, 3}, {4096, 0}, {120000, 0}, {100000, 100000}, {131072, 131072}, {110000, 100000}};
    for (const Case& c : cases) {
        std::vector<std::string> names;
        for (size_t i = 0; i < c.names; ++i) names.push_back("N" + std::to_string(i));
        const auto nameOf = [&](uint32_t i) -> std::string_view { return names[i]; };
        NameIndex index;
        index.reserve(c.reserved);
        for (uint32_t i = 0; i < c.names; ++i) ASSERT_TRUE(index.add(names[i], i, nameOf)) << c.names;
        EXPECT_EQ(index.find("absent", nameOf), NameIndex::kAbsent);
        EXPECT_EQ(index.find("", nameOf), NameIndex::kAbsent);
        // A name taken already is refused and keeps its first entry.
        EXPECT_FALSE(index.add(names[0], 7, nameOf));
        EXPECT_EQ(index.size(), c.names);
        for (uint32_t i = 0; i < c.names; ++i) ASSERT_EQ(index.find(names[i], nameOf), i) << c.names;
    }
}

}  // namespace
}  // namespace canxlate
