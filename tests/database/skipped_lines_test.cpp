// Whatever a line holds, skipping it changes nothing after it: the real files
// with a broken line of one kind before every statement give the same model.
#include <fstream>
#include <sstream>

#include "model_dump.h"

namespace {

// One of each statement kind that cannot be read, an unknown one and text
// that begins no statement. A BO_ that cannot be read is not among them: its
// signals go with it.
const char* const kBrokenLines[] = {
    "FOO_ 1 2 3;",
    "sg_ A : 0|8@1+ (1,0) [0|0] \"\" N",
    "SG_ Broken : 1|x",
    "CM_ SG_ 1;",
    "BA_ \"A\" BO_;",
    "BA_DEF_ BO_ 1;",
    "BA_DEF_DEF_ 1;",
    "VAL_ 1 Sig 1;",
    "VAL_TABLE_ T 1;",
    "SIG_VALTYPE_ 1 x : y;",
    "SG_MUL_VAL_ 1 A B 1;",
    "BO_TX_BU_ 1 : 2;",
    "BU_ 1",
    "VERSION 1",
    "@@@ 1 2;",
};

const char* const kFiles[] = {"ESR", "gm_global_a_lowspeed_1818125", "tesla_can", "toyota_nodsu_pt_generated",
                              "vw_mqb"};

std::string modelOf(const std::string& text) {
    DatabasePtr database = openDbc(text);
    return database ? dump(database.get(), false) : "";
}

// A line outside any string whose first word is followed by more on the line,
// or stands at its start: where a statement begins.
bool beginsStatement(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || !(std::isalpha(static_cast<unsigned char>(line[first])) || line[first] == '_'))
        return false;
    return first == 0 || line.find_first_not_of(" \t", line.find_first_of(" \t", first)) != std::string::npos;
}

std::string withBrokenLines(const std::string& text, const std::string& broken) {
    std::istringstream lines(text);
    std::string out, line;
    bool inString = false;
    while (std::getline(lines, line)) {
        if (!inString && beginsStatement(line)) out += broken + "\n";
        out += line + "\n";
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\' && inString)
                ++i;
            else if (line[i] == '"')
                inString = !inString;
        }
    }
    return out;
}

class SkippedLines : public ::testing::TestWithParam<const char*> {};

TEST_P(SkippedLines, ChangeNothingAfterThem) {
    std::ifstream input(std::string(CANXLATE_TEST_DATA_DIR) + "/opendbc/" + GetParam() + ".dbc");
    std::stringstream text;
    text << input.rdbuf();
    const std::string expected = modelOf(text.str());
    ASSERT_NE(expected.find("signal"), std::string::npos);
    for (const char* broken : kBrokenLines) {
        const std::string model = modelOf(withBrokenLines(text.str(), broken));
        EXPECT_EQ(model, expected) << "before every statement: " << broken;
    }
}

INSTANTIATE_TEST_SUITE_P(Opendbc, SkippedLines, ::testing::ValuesIn(kFiles));

}  // namespace
