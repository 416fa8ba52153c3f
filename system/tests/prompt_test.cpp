// The console prompt edits a line of at most fifty characters and recalls its last sixteen lines.
#include "system/prompt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string g_output;
std::vector<std::string> g_executed;

int Output(int c) {
    g_output += static_cast<char>(c);
    return 0;
}
int Execute(const char* line, int flags) {
    EXPECT_EQ(flags, 0);
    g_executed.emplace_back(line);
    return 0;
}

class PromptTest : public ::testing::Test {
protected:
    PromptTest() {
        g_output.clear();
        g_executed.clear();
    }
    void Type(const std::string& keys) {
        for (const char c : keys) {
            prompt.FeedChar(static_cast<unsigned char>(c));
        }
    }
    CPrompt prompt{&Output, &Execute};
};

struct EditCase {
    const char* name;
    std::string keys;
    std::string output;
    std::vector<std::string> executed;
    std::string line;  // left in the editor
};

TEST_F(PromptTest, EditingTable) {
    const std::string erase = "\b \b";
    const EditCase cases[] = {
        {"plain line", "ls\r", "ls\r\nVMS>", {"ls"}, ""},
        {"line feed ends a line too", "ls\n", "ls\r\nVMS>", {"ls"}, ""},
        {"empty line executes empty command", "\r", "\r\nVMS>", {""}, ""},
        {"backspace removes and erases", "lx\bs\r", "lx" + erase + "s\r\nVMS>", {"ls"}, ""},
        {"delete key acts as backspace", "ab\x7f", "ab" + erase, {}, "a"},
        {"backspace on empty line does nothing", "\b\b", "", {}, ""},
        {"unknown escape ends silently", "\x1bXab", "ab", {}, "ab"},
        {"bracket keeps escape state", "\x1b[[Cz", "z", {}, "z"},
        {"up arrow with empty history keeps the line", "ab\x1b[A", "ab", {}, "ab"},
        {"down arrow with empty history", "\x1b[B\r", "\r\nVMS>", {""}, ""},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_output.clear();
        g_executed.clear();
        prompt.Reset();
        Type(c.keys);
        EXPECT_EQ(g_output, c.output);
        EXPECT_EQ(g_executed, c.executed);
        EXPECT_EQ(std::string(prompt.Line()), c.line);
    }
}

TEST_F(PromptTest, LineHoldsFiftyCharactersAndIgnoresMore) {
    const std::string fifty(50, 'x');
    Type(fifty + "yyy");
    EXPECT_EQ(prompt.LineLength(), 50u);
    EXPECT_EQ(g_output, fifty) << "ignored characters are not echoed";
    Type("\r");
    ASSERT_EQ(g_executed.size(), 1u);
    EXPECT_EQ(g_executed[0], fifty);
    EXPECT_EQ(prompt.HistoryEntry(0), fifty);
}

TEST_F(PromptTest, RecallTakesTheMostRecentEntryOutOfTheHistory) {
    Type("one\rtwo\r\r");
    EXPECT_EQ(prompt.HistoryCount(), 2u) << "the empty line is not kept";
    g_output.clear();
    Type("ab\x1b[A");
    EXPECT_EQ(g_output, "ab\b \b\b \btwo") << "the typed line is erased, the entry shown";
    EXPECT_EQ(std::string(prompt.Line()), "two");
    EXPECT_EQ(prompt.HistoryCount(), 1u);
    Type("\x1b[B");
    EXPECT_EQ(std::string(prompt.Line()), "one");
    EXPECT_EQ(prompt.HistoryCount(), 0u);
    Type("\x1b[A");
    EXPECT_EQ(std::string(prompt.Line()), "one") << "nothing left to recall";
    Type("\r");
    EXPECT_EQ(g_executed.back(), "one");
    EXPECT_EQ(prompt.HistoryCount(), 1u) << "a recalled line executed goes back in";
}

TEST_F(PromptTest, HistoryKeepsTheLastSixteenLines) {
    for (int i = 0; i < 40; ++i) {
        Type("cmd" + std::to_string(i) + "\r");
    }
    EXPECT_EQ(prompt.HistoryCount(), CPrompt::kHistoryDepth);
    EXPECT_EQ(std::string(prompt.HistoryEntry(0)), "cmd39");
    EXPECT_EQ(std::string(prompt.HistoryEntry(15)), "cmd24");
    EXPECT_EQ(std::string(prompt.HistoryEntry(16)), "");
    for (int i = 39; i >= 24; --i) {
        Type("\x1b[A");
        EXPECT_EQ(std::string(prompt.Line()), "cmd" + std::to_string(i));
    }
    Type("\x1b[A");
    EXPECT_EQ(std::string(prompt.Line()), "cmd24");
}

TEST_F(PromptTest, NothingHappensWithoutAnOutputFunction) {
    CPrompt silent(nullptr, &Execute);
    for (const char c : std::string("ls\r")) {
        silent.FeedChar(c);
    }
    EXPECT_TRUE(g_executed.empty());
    EXPECT_EQ(silent.LineLength(), 0u);
    silent.PrintPrompt();
}

TEST_F(PromptTest, WithoutExecuteFunctionTheLineStillEnds) {
    CPrompt noExec(&Output, nullptr);
    for (const char c : std::string("ls\r")) {
        noExec.FeedChar(c);
    }
    EXPECT_EQ(g_output, "ls\r\nVMS>");
    EXPECT_EQ(noExec.LineLength(), 0u);
}

}  // namespace
