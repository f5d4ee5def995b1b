// The program's output buffer, written in place and from a thread of its own:
// every piece arrives once and in order, a piece larger than the buffer too,
// and a failed write is reported.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "output_buffer.h"

namespace canxlate::cli {
namespace {

TEST(OutputBuffer, WritesEveryPieceInOrderInBothForms) {
    for (const bool background : {false, true}) {
        SCOPED_TRACE(background ? "background" : "in place");
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        std::string expected;
        {
            OutputBuffer out(file, 64, background);
            for (int i = 0; i < 500; ++i) {
                const std::string piece = std::to_string(i) + (i % 97 == 0 ? std::string(150, 'x') : "") + ',';
                out.append(piece);
                expected += piece;
            }
            EXPECT_TRUE(out.flush());
            out.append("tail");  // written when the buffer goes
            expected += "tail";
        }
        std::rewind(file);
        std::string written(expected.size() + 1, '\0');
        written.resize(std::fread(written.data(), 1, written.size(), file));
        EXPECT_EQ(written, expected);
        std::fclose(file);
    }
}

TEST(OutputBuffer, ReportsAFailedWriteInBothForms) {
    for (const bool background : {false, true}) {
        std::FILE* full = std::fopen("/dev/full", "wb");
        if (full == nullptr) GTEST_SKIP() << "no /dev/full";
        {
            OutputBuffer out(full, 64, background);
            for (int i = 0; i < 100; ++i) out.append("0123456789");
            EXPECT_FALSE(out.flush()) << background;
            EXPECT_TRUE(out.failed()) << background;
        }
        std::fclose(full);
    }
}

}  // namespace
}  // namespace canxlate::cli
