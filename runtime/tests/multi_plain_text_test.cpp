// The plain-text preview of a MULTI text drops tags and stays inside the room it is given.
#include "runtime/multi_plain_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Preview(const char* multi, size_t size = 64) {
    std::vector<char> out(size + 8, 'z');
    MultiToPlainText(multi, out.data(), size);
    for (size_t i = size; i < out.size(); ++i) {
        EXPECT_EQ(out[i], 'z') << "written beyond the size at " << i;
    }
    return std::string(out.data());
}

TEST(MultiToPlainText, Tags) {
    const std::pair<const char*, const char*> cases[] = {
        {"[jl3]LINE ONE[nl]LINE TWO", "LINE ONE LINE TWO"},
        {"A[np]B[NL3]C", "A B C"},
        {"[[x]] y]", "[x] y]"},
        {"[g1,2,3]GO[g2]ON", "<GRAPHIC> GOON"},
        {"[ms47,g5]X", "<GRAPHIC> X"},
        {"[ms47,spm,1]/[ms47,spk,2]/[MS47,R,3]", "<MPH>/<KPH>/<RTD>"},
        {"[f1]A[fl]B[fo2]C[F5,2]", "<RTF>ABC<RTF>"},
        {"[hc41][HC62][hc][hc00]!", "Ab!"},
        {"[mvcl100,2,5,MOVING [nl]TEXT]END", "MOVING  TEXTEND"},
        {"[mv1,2]x", "x"},
        {"A[cf255,0,0[pt5]]B", "AB"},
        {"A[unterminated", "A"},
        {"", ""},
    };
    for (const auto& [multi, plain] : cases) {
        EXPECT_EQ(Preview(multi), plain) << multi;
    }
}

TEST(MultiToPlainText, NameEndsThePreview) {
    EXPECT_EQ(Preview("IGNORED[ms47,name,My Message]MORE"), "My Message");
    EXPECT_EQ(Preview("[g1]X[ms47,name,Sign]"), "Sign <GR>");
    EXPECT_EQ(Preview("[g1][ms47,name,Long name here]", 12), "Long n <GR>") << "moved back to fit";
    EXPECT_EQ(Preview("A VERY LONG PREVIEW TEXT[ms47,name,Short]", 8), "Short")
        << "the name replaces a preview that had filled the buffer";
}

TEST(MultiToPlainText, NameWithGraphicInTinyBuffersStaysInside) {
    for (size_t size = 1; size <= 7; ++size) {
        const std::string got = Preview("[g1][ms47,name,ABCDEFG]", size);
        EXPECT_LE(got.size(), size - 1) << size;
    }
    EXPECT_EQ(Preview("[g1][ms47,name,ABC]", 4), " <G");
}

TEST(MultiToPlainText, CutsToTheRoomLeft) {
    EXPECT_EQ(Preview("HELLO WORLD", 6), "HELLO");
    EXPECT_EQ(Preview("AB[g1]", 6), "AB<GR");
    EXPECT_EQ(Preview("HELLO", 1), "");
    char out[4] = {'x', 'x', 'x', 'x'};
    MultiToPlainText(nullptr, out, sizeof out);
    EXPECT_EQ(out[0], '\0');
    MultiToPlainText("A", nullptr, 4);
}

}  // namespace
