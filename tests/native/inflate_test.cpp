// The library's inflation routine into a String and into a reused buffer: both give the same
// bytes, also for a damaged stream, whose output just ends.
#include "core/inflate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tools/build/block_compression.h"

namespace tessarin {
namespace {

String packed(const std::string& text) {
    String out;
    EXPECT_TRUE(build::compressBlock(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                     out, build::kDefaultCompressionLevel));
    return out;
}

std::string text(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>('a' + (seed >> 16) % 7);
    }
    return s;
}

TEST(Inflate, ReusedBufferGivesWhatTheStringGets) {
    std::vector<uint8_t> buffer;
    // A large block first, then smaller ones into the same buffer; then a stream cut short.
    String big = packed(text(300000, 1));
    String small = packed(text(5000, 2));
    String cut = big;
    cut.setLength(cut.length() / 2);
    for (const String* input : {&big, &small, &cut}) {
        String expected;
        ASSERT_TRUE(inflateBuffer(input->bytes(), size_t(input->length()), expected));
        size_t produced = 123;
        ASSERT_TRUE(inflateInto(input->bytes(), size_t(input->length()), buffer, produced));
        ASSERT_EQ(produced, size_t(expected.length()));
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + long(produced)),
                  std::string(expected.c_str(), produced));
    }
    EXPECT_GT(buffer.size(), 300000u);  // kept from the first block

    size_t produced = 1;
    EXPECT_TRUE(inflateInto(nullptr, 0, buffer, produced));
    EXPECT_EQ(produced, 0u);
}

// Fed in runs of whole 16 KiB pieces, the piece-by-piece form gives the bytes that the routine
// gives for the whole input, also where the stream is damaged or ends before the input does.
TEST(Inflate, InputFedInRunsGivesWhatTheWholeInputGives) {
    String big = packed(text(300000, 3));
    String damaged = big;
    damaged.data()[damaged.length() / 2] ^= 0x55;
    String trailing = packed(text(40000, 4));
    trailing.append(String("not a stream, after its end"));
    for (const String* input : {&big, &damaged, &trailing}) {
        std::vector<uint8_t> whole;
        size_t expected = 0;
        ASSERT_TRUE(inflateInto(input->bytes(), size_t(input->length()), whole, expected));
        for (size_t run : {kInflateWindow, 3 * kInflateWindow, size_t(input->length())}) {
            std::vector<uint8_t> out;
            PieceInflater inflater(out, size_t(input->length()));
            for (size_t done = 0; done < size_t(input->length()); done += run)
                inflater.feed(input->bytes() + done, std::min(run, input->length() - done));
            EXPECT_TRUE(inflater.ok()) << run;
            ASSERT_EQ(inflater.produced(), expected) << run;
            EXPECT_TRUE(std::equal(out.begin(), out.begin() + long(expected), whole.begin()))
                << run;
        }
    }
}

}  // namespace
}  // namespace tessarin
