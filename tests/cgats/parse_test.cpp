// The tokenizer, the file objects and the standard allocator.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "profiling/cgats/cgats_alloc.h"
#include "profiling/cgats/cgats_file.h"
#include "profiling/cgats/parse.h"
#include "tests/cgats/cgats_test_util.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

// A tokenizer set up as the CGATS reader sets it up, over a text in memory.
class Tokens {
public:
    explicit Tokens(const std::string& text) : text_(text) {
        fp_ = fmemopen(text_.data(), text_.size(), "r");
        al_ = new_std_alloc();
        file_ = new_file_fp(fp_, al_);
        p_ = new_parse(al_, file_);
        p_->add_del(" \t", " \t", "#", "\"");
    }
    ~Tokens() {
        p_->del();
        file_->del();
        al_->del();
        std::fclose(fp_);
    }
    parse& p() { return *p_; }

    // Every line as its tokens, with the line number after reading it.
    std::vector<std::pair<int, std::vector<std::string>>> lines() {
        std::vector<std::pair<int, std::vector<std::string>>> out;
        while (p_->read_line() == 1) {
            std::vector<std::string> toks;
            while (const char* t = p_->get_token()) toks.emplace_back(t);
            out.emplace_back(p_->line(), toks);
        }
        return out;
    }

private:
    std::string text_;
    std::FILE* fp_;
    cgats_alloc* al_;
    cgats_file* file_;
    parse* p_;
};

using Lines = std::vector<std::pair<int, std::vector<std::string>>>;

TEST(CgatsParse, LineEndsAreSplitAlikeAndCountedOnce) {
    const Lines expected = {{1, {"A", "1"}}, {2, {"B", "2"}}, {3, {}}, {4, {"C"}}};
    EXPECT_EQ(Tokens("A 1\nB 2\n\nC\n").lines(), expected);
    EXPECT_EQ(Tokens("A 1\r\nB 2\r\n\r\nC\r\n").lines(), expected);
    EXPECT_EQ(Tokens("A 1\rB 2\r\rC\r").lines(), expected);
    EXPECT_EQ(Tokens("A 1\r\nB 2\n\rC\r").lines(), expected);
}

TEST(CgatsParse, LastLineWithoutLineEndAndEndOfFile) {
    Tokens t("A\nB");
    ASSERT_EQ(t.p().read_line(), 1);
    EXPECT_STREQ(t.p().get_token(), "A");
    EXPECT_EQ(t.p().get_token(), nullptr);
    ASSERT_EQ(t.p().read_line(), 1);
    EXPECT_EQ(t.p().line(), 1);
    EXPECT_STREQ(t.p().get_token(), "B");
    EXPECT_EQ(t.p().read_line(), 0);
    EXPECT_EQ(t.p().line(), 0);
}

TEST(CgatsParse, CommentsRunToTheLineEndOutsideQuotes) {
    const Lines expected = {{1, {"A"}}, {2, {"B", "\"x # y\""}}, {3, {}}, {4, {"C"}}};
    EXPECT_EQ(Tokens("A # comment \"with quote\n B \"x # y\"\n#only\nC\n").lines(), expected);
    EXPECT_EQ(Tokens("A # comment \"with quote\r\n B \"x # y\"\r\n#only\r\nC\r\n").lines(), expected);
    EXPECT_EQ(Tokens("A # comment \"with quote\r B \"x # y\"\r#only\rC\r").lines(), expected);
}

TEST(CgatsParse, QuotedTokensKeepBlanksQuotesAndLineEnds) {
    const Lines expected = {{1, {"KEY", "\"two words\"", "x\"a b\"y"}}, {3, {"\"on\r\ntwo\"", "Z"}}, {4, {"\t"}}};
    // A tab inside quotes stays, and a line end inside quotes stays with the token.
    Lines got = Tokens("KEY \"two words\" x\"a b\"y\n\"on\r\ntwo\" Z\n\"\t\"\n").lines();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], expected[0]);
    EXPECT_EQ(got[1], expected[1]);
    EXPECT_EQ(got[2].second, std::vector<std::string>{"\"\t\""});
}

TEST(CgatsParse, LineFeedInsideQuotesCountsOnce) {
    Tokens t("\"a\nb\" c\nd\n");
    ASSERT_EQ(t.p().read_line(), 1);
    EXPECT_EQ(t.p().line(), 2);
    EXPECT_STREQ(t.p().get_token(), "\"a\nb\"");
    EXPECT_STREQ(t.p().get_token(), "c");
    ASSERT_EQ(t.p().read_line(), 1);
    EXPECT_EQ(t.p().line(), 3);
}

TEST(CgatsParse, LongTokensAndLinesComeBackWhole) {
    const std::string long_token(5000, 'x');
    const std::string quoted = "\"" + std::string(700, 'q') + " " + std::string(300, 'r') + "\"";
    const Lines got = Tokens("a " + long_token + " " + quoted + " b\n").lines();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].second, (std::vector<std::string>{"a", long_token, quoted, "b"}));
}

TEST(CgatsParse, HighBytesArePlainTokenCharacters) {
    const Lines got = Tokens("DESCRIPTOR Farbfl\xc3\xa4" "che \xff\xfe\n").lines();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].second, (std::vector<std::string>{"DESCRIPTOR", "Farbfl\xc3\xa4" "che", "\xff\xfe"}));
}

TEST(CgatsParse, NulBytesSeparateTokens) {
    const Lines got = Tokens(std::string("a\0b\n", 4)).lines();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].second, (std::vector<std::string>{"a", "b"}));
}

TEST(CgatsParse, UnclosedQuoteIsAnError) {
    Tokens t("A 1\nB \"never closed\nC 3\nD 4\n");
    ASSERT_EQ(t.p().read_line(), 1);
    EXPECT_EQ(t.p().read_line(), -1);
    EXPECT_EQ(t.p().errc(), -1);
    EXPECT_STREQ(t.p().err(), "Error at line 2 of file '**Unknown**': Quote is not closed");
}

TEST(CgatsParse, ClassesCanBeResetAndChosen) {
    Tokens t("a,b;c 'd e' f\n");
    t.p().reset_del();
    t.p().add_del(";", ",", nullptr, "'");
    ASSERT_EQ(t.p().read_line(), 1);
    std::vector<std::string> toks;
    while (const char* tok = t.p().get_token()) toks.emplace_back(tok);
    // ";" only separates before a token; "," ends one; the blank is now plain.
    EXPECT_EQ(toks, (std::vector<std::string>{"a", "b;c 'd e' f"}));
}

TEST(CgatsParse, BufferMemoryFailureIsReported) {
    test::counting_alloc al;
    std::string text = "x " + std::string(300, 'y') + "\n";
    std::FILE* fp = fmemopen(text.data(), text.size(), "r");
    cgats_file* f = new_file_fp(fp, &al);
    parse* p = new_parse(&al, f);
    ASSERT_NE(p, nullptr);
    p->add_del(" ", " ", "#", "\"");
    al.fail_after = al.made + 1;  // the first line buffer, not its growth
    EXPECT_EQ(p->read_line(), -1);
    EXPECT_STREQ(p->err(), "parse.read_line(), realloc failed!");
    al.fail_after = -1;
    p->del();
    f->del();
    std::fclose(fp);
    EXPECT_EQ(al.live, 0);
}

TEST(CgatsFile, StreamWithoutNameIsUnknown) {
    std::FILE* fp = std::tmpfile();
    cgats_file* f = new_file_fp(fp);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->get_name(), "**Unknown**");
    EXPECT_EQ(f->get_size(), 0u);
    EXPECT_EQ(f->del(), 0);
    // The stream stays the caller's.
    EXPECT_GE(std::fputs("still open", fp), 0);
    EXPECT_EQ(std::fclose(fp), 0);
}

TEST(CgatsFile, NamedFileReadsSeeksAndKeepsItsName) {
    test::TempDir dir;
    const std::string path = (dir / "data.txt").string();
    std::ofstream(path) << "ABCDEFGH";
    cgats_file* f = new_file_name(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->get_name(), path.c_str());
    EXPECT_EQ(f->get_size(), 8u);
    EXPECT_EQ(f->getch(), 'A');
    EXPECT_EQ(f->seek(5), 0);
    char buf[8] = {};
    EXPECT_EQ(f->read(buf, 1, 8), 3u);
    EXPECT_STREQ(buf, "FGH");
    EXPECT_LT(f->getch(), 0);
    EXPECT_EQ(f->del(), 0);
}

TEST(CgatsFile, NamedFileWritesAndPrints) {
    test::TempDir dir;
    const std::string path = (dir / "out.txt").string();
    cgats_file* f = new_file_name(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->write("ab", 1, 2), 2u);
    EXPECT_EQ(f->printf("-%d-%s", 42, "x"), 5);
    EXPECT_EQ(f->flush(), 0);
    EXPECT_EQ(f->del(), 0);
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "ab-42-x");
}

TEST(CgatsFile, RefusedOpens) {
    test::TempDir dir;
    EXPECT_EQ(new_file_name((dir / "missing").c_str(), "r"), nullptr);
    EXPECT_EQ(new_file_name((dir / "x").c_str(), std::string(50, 'w').c_str()), nullptr);
    EXPECT_EQ(new_file_fp(nullptr), nullptr);
}

TEST(CgatsFile, FailedCloseOfAnOpenedFileGivesTwo) {
    std::FILE* probe = std::fopen("/dev/full", "w");
    if (!probe) GTEST_SKIP() << "no /dev/full";
    std::fclose(probe);
    cgats_file* f = new_file_name("/dev/full", "w");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->write("data", 1, 4), 4u);  // buffered; the flush at close fails
    EXPECT_EQ(f->del(), 2);
}

TEST(CgatsAlloc, StandardAllocatorOperations) {
    cgats_alloc* al = new_std_alloc();
    ASSERT_NE(al, nullptr);
    auto* z = static_cast<unsigned char*>(al->calloc(16, 4));
    ASSERT_NE(z, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(z[i], 0);
    z[63] = 7;
    z = static_cast<unsigned char*>(al->realloc(z, 4096));
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z[63], 7);
    void* m = al->malloc(10);
    EXPECT_NE(m, nullptr);
    al->free(m);
    al->free(z);
    al->del();
}

TEST(CgatsAlloc, ObjectsOverACallersAllocatorFreeEverything) {
    test::counting_alloc al;
    std::string text = "IT8.7/2\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X\nEND_DATA_FORMAT\nBEGIN_DATA\nA1 1.5\nEND_DATA\n";
    std::FILE* fp = fmemopen(text.data(), text.size(), "r");
    cgats_file* f = new_file_fp(fp, &al);
    cgats* c = new_cgats_al(&al);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->read(f), 0);
    EXPECT_GT(al.live, 2);
    c->del();
    f->del();
    std::fclose(fp);
    EXPECT_EQ(al.live, 0);
}

}  // namespace
}  // namespace dvk
