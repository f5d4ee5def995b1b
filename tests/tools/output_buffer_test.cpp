// The program's output buffer, written in place, from a thread of its own or
// kept in memory: every piece arrives once and in order, a piece larger than
// the buffer too, and a failed write is reported.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "output_buffer.h"

namespace canxlate::cli {
namespace {

TEST(OutputBuffer, WritesEveryPieceInOrderInEveryForm) {
    enum Form { kInPlace, kBackground, kMemory };
    for (const Form form : {kInPlace, kBackground, kMemory}) {
        SCOPED_TRACE(form);
        std::FILE* file = form == kMemory ? nullptr : std::tmpfile();
        ASSERT_TRUE(form == kMemory || file != nullptr);
        std::string expected;
        {
            OutputBuffer out(file, 64, form == kBackground);
            for (int i = 0; i < 500; ++i) {
                const std::string piece = std::to_string(i) + (i % 97 == 0 ? std::string(150, 'x') : "") + ',';
                if (i % 50 == 49) {
                    out.write(std::string(300, 'w'));  // large: written as it is
                    expected += std::string(300, 'w');
                }
                out.append(piece);
                expected += piece;
                // Memory stays bounded: what is not written fits the buffer or is the last piece.
                if (form == kInPlace) {
                    ASSERT_GE(std::ftell(file) + 64 + 160, static_cast<long>(expected.size())) << i;
                }
            }
            if (form == kMemory) {
                EXPECT_EQ(out.contents(), expected);
                continue;
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
