// The cgats object's operations: identifiers, tables, keywords, fields, sets,
// their failure codes and messages, and memory failures.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "profiling/cgats/cgats.h"
#include "tests/cgats/cgats_test_util.h"

namespace dvk {
namespace {

TEST(CgatsObject, NewObjectIsEmpty) {
    cgats_ptr c(new_cgats());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->ntables(), 0);
    EXPECT_EQ(c->nothers(), 0);
    EXPECT_EQ(c->cgats_type(), nullptr);
    EXPECT_EQ(c->errc(), 0);
    const char* msg = "untouched";
    EXPECT_EQ(c->error(&msg), 0);
    EXPECT_STREQ(msg, "untouched");
}

TEST(CgatsObject, IdentifiersAndOtherIndexes) {
    cgats_ptr c(new_cgats());
    EXPECT_EQ(c->add_cgats_type("CGATS.17"), 0);
    EXPECT_STREQ(c->cgats_type(), "CGATS.17");
    EXPECT_EQ(c->add_cgats_type("CGATS.18"), 0);
    EXPECT_STREQ(c->cgats_type(), "CGATS.18");
    EXPECT_EQ(c->add_other("CTI3"), 0);
    EXPECT_EQ(c->add_other("CTI2"), 1);
    EXPECT_EQ(c->get_oi("CTI2"), 1);
    EXPECT_EQ(c->get_oi("CTI3"), 0);
    EXPECT_EQ(c->errc(), 0);
    EXPECT_EQ(c->get_oi("CTI1"), -1);
    EXPECT_EQ(c->errc(), -1);
    EXPECT_STREQ(c->err(), "cgats.get_oi(), failed to find 'CTI1'!");
    // The next operation clears the message.
    EXPECT_EQ(c->add_table(table_type::other, 1), 0);
    EXPECT_EQ(c->errc(), 0);
    EXPECT_STREQ(c->err(), "");
    EXPECT_EQ(c->add_table(table_type::it8_7_2, 0), 1);
    EXPECT_EQ(c->table(0).type(), table_type::other);
    EXPECT_EQ(c->table(0).oi(), 1);
    EXPECT_EQ(c->table(1).type(), table_type::it8_7_2);
    EXPECT_EQ(c->add_table(static_cast<table_type>(9), 0), -1);
    EXPECT_STREQ(c->err(), "cgats.add_table(), unknown table type 9");
}

TEST(CgatsObject, FindKeywordAndField) {
    cgats_ptr c(new_cgats());
    c->add_table(table_type::it8_7_2, 0);
    EXPECT_EQ(c->find_kword(1, "A"), -2);
    EXPECT_EQ(c->errc(), -2);
    EXPECT_STREQ(c->err(), "cgats.find_kword(), table number '1' is out of range");
    EXPECT_EQ(c->find_field(-1, "A"), -2);
    EXPECT_STREQ(c->err(), "cgats.find_field(), table number '-1' is out of range");
    EXPECT_EQ(c->add_kword(0, nullptr, nullptr, "just a comment"), 0);
    EXPECT_EQ(c->add_kword(0, "NOVALUE", nullptr, nullptr), 1);
    EXPECT_EQ(c->add_kword(0, "ORIGINATOR", "me", nullptr), 2);
    EXPECT_EQ(c->find_kword(0, "ORIGINATOR"), 2);
    EXPECT_EQ(c->find_kword(0, "NOVALUE"), -1);  // only keywords with a value count
    EXPECT_EQ(c->find_kword(0, ""), -1);
    EXPECT_EQ(c->find_kword(0, "MISSING"), -1);
    EXPECT_EQ(c->errc(), 0);
    EXPECT_EQ(c->add_field(0, "SAMPLE_ID", data_type::nonquoted_string), 0);
    EXPECT_EQ(c->add_field(0, "XYZ_Y", data_type::real), 1);
    EXPECT_EQ(c->find_field(0, "XYZ_Y"), 1);
    EXPECT_EQ(c->find_field(0, ""), -1);
    EXPECT_EQ(c->find_field(0, "XYZ_X"), -1);
    const cgats_table& t = c->table(0);
    EXPECT_EQ(t.nkwords(), 3);
    EXPECT_EQ(t.kword_name(0), nullptr);
    EXPECT_STREQ(t.kword_comment(0), "just a comment");
    EXPECT_EQ(t.kword_value(1), nullptr);
    EXPECT_STREQ(t.kword_value(2), "me");
}

TEST(CgatsObject, KeywordRules) {
    cgats_ptr c(new_cgats());
    c->add_table(table_type::it8_7_2, 0);
    EXPECT_EQ(c->add_kword(3, "A", "b", nullptr), -1);
    EXPECT_STREQ(c->err(), "cgats.add_kword(), table number '3' is out of range");
    for (const char* bad : {"A B", "A\tB", "A\rB", "A\nB", "A\"B", "A#B", ""}) {
        EXPECT_EQ(c->add_kword(0, bad, "v", nullptr), -1) << bad;
        EXPECT_EQ(std::string(c->err()), std::string("cgats.add_kword(), keyword '") + bad + "'is illegal");
    }
    for (const char* reserved : {"NUMBER_OF_FIELDS", "BEGIN_DATA_FORMAT", "END_DATA_FORMAT", "NUMBER_OF_SETS",
                                 "BEGIN_DATA", "END_DATA", "KEYWORD"}) {
        EXPECT_TRUE(reserved_keyword(reserved));
        EXPECT_EQ(c->add_kword(0, reserved, "1", nullptr), -1);
        EXPECT_EQ(std::string(c->err()),
                  std::string("cgats.add_kword(), keyword '") + reserved + "'is generated automatically");
    }
    EXPECT_FALSE(reserved_keyword("DESCRIPTOR"));
    EXPECT_EQ(c->add_kword(0, "NOTE", "v", "two\nlines"), -1);
    EXPECT_STREQ(c->err(), "cgats.add_kword(), comment holds a line end");
    EXPECT_EQ(c->table(0).nkwords(), 0);
    // Values may hold anything.
    EXPECT_EQ(c->add_kword(0, "NOTE", "a \"quoted\"\tvalue # with\r\nline ends", "c"), 0);
}

TEST(CgatsObject, MessagesAreCutTo199Characters) {
    cgats_ptr c(new_cgats());
    c->add_table(table_type::it8_7_2, 0);
    const std::string name = "A B" + std::string(400, 'x');
    EXPECT_EQ(c->add_kword(0, name.c_str(), "v", nullptr), -1);
    EXPECT_EQ(std::strlen(c->err()), 199u);
    EXPECT_EQ(std::string(c->err()), ("cgats.add_kword(), keyword '" + name).substr(0, 199));
}

TEST(CgatsObject, FieldTypesFollowStandardNames) {
    cgats_ptr c(new_cgats());
    c->add_table(table_type::it8_7_2, 0);
    EXPECT_EQ(c->add_field(0, "SAMPLE_ID", data_type::char_string), 0);
    EXPECT_EQ(c->table(0).field_type(0), data_type::nonquoted_string);
    EXPECT_EQ(c->add_field(0, "NAME", data_type::no_type), 1);
    EXPECT_EQ(c->table(0).field_type(1), data_type::char_string);
    EXPECT_EQ(c->add_field(0, "STRING", data_type::char_string), 2);
    EXPECT_EQ(c->add_field(0, "COUNT", data_type::integer), 3);
    EXPECT_EQ(c->add_field(0, "LAB_L", data_type::real), 4);
    EXPECT_EQ(c->add_field(0, "WEIGHT", data_type::real), 5);
    EXPECT_EQ(c->add_field(0, "LABEL", data_type::nonquoted_string), 6);
    for (auto [name, type] : {std::pair{"XYZ_X", data_type::integer}, std::pair{"XYZ_X", data_type::no_type},
                              std::pair{"STRING", data_type::nonquoted_string},
                              std::pair{"SAMPLE_ID", data_type::real}}) {
        EXPECT_EQ(c->add_field(0, name, type), -1) << name;
        EXPECT_STREQ(c->err(), "cgats.add_field(): unexpected data type for standard field name");
    }
    EXPECT_EQ(c->add_field(0, "BAD NAME", data_type::real), -1);
    EXPECT_STREQ(c->err(), "cgats.add_kword(), field name 'BAD NAME'is illegal");
    EXPECT_EQ(c->add_field(2, "X", data_type::real), -1);
    EXPECT_STREQ(c->err(), "cgats.add_field(), table parameter out of range");
    EXPECT_EQ(c->add_set(0, "A1", "n", "s", 3, 50.0, 1, "l"), 0);
    EXPECT_EQ(c->add_field(0, "LATE", data_type::real), -1);
    EXPECT_STREQ(c->err(), "cgats.add_field(), attempt to add field to non-empty table");
    EXPECT_EQ(c->clear_field(0), -1);
    EXPECT_STREQ(c->err(), "cgats.clear_field(), attempt to clear fields in a non-empty table");
    EXPECT_EQ(c->clear_field(1), -1);
    EXPECT_STREQ(c->err(), "cgats.clear_field(), table parameter out of range");
    EXPECT_EQ(c->table(0).nfields(), 7);
}

TEST(CgatsObject, StandardFieldTypesAndValueKinds) {
    EXPECT_EQ(standard_field_type("SAMPLE_ID"), data_type::nonquoted_string);
    EXPECT_EQ(standard_field_type("STRING"), data_type::char_string);
    for (const char* r : {"CMYK_C", "CMY_Y", "D_VIS", "RGB_B", "SPECTRAL_NM", "SPECTRAL_PCT", "XYY_CAPY", "LAB_DE",
                          "STDEV_X", "STDEV_DE"})
        EXPECT_EQ(standard_field_type(r), data_type::real) << r;
    for (const char* n : {"STDEV_R", "SAMPLE_LOC", "sample_id", "XYZ_W"})
        EXPECT_EQ(standard_field_type(n), data_type::no_type) << n;

    EXPECT_EQ(guess_value_type(""), data_type::integer);
    EXPECT_EQ(guess_value_type("12"), data_type::integer);
    EXPECT_EQ(guess_value_type("-12"), data_type::integer);
    EXPECT_EQ(guess_value_type("+"), data_type::integer);
    EXPECT_EQ(guess_value_type("1.5"), data_type::real);
    EXPECT_EQ(guess_value_type("-1.5e-3"), data_type::real);
    EXPECT_EQ(guess_value_type("1E+9"), data_type::real);
    EXPECT_EQ(guess_value_type(".5"), data_type::real);
    EXPECT_EQ(guess_value_type("1.5.2"), data_type::nonquoted_string);
    EXPECT_EQ(guess_value_type("1e5.0"), data_type::nonquoted_string);
    EXPECT_EQ(guess_value_type("1e5e2"), data_type::nonquoted_string);
    EXPECT_EQ(guess_value_type("1-2"), data_type::nonquoted_string);
    EXPECT_EQ(guess_value_type("A1"), data_type::nonquoted_string);
    EXPECT_EQ(guess_value_type("nan"), data_type::nonquoted_string);
    EXPECT_EQ(guess_value_type("\"12\""), data_type::char_string);
    EXPECT_EQ(guess_value_type("\"\""), data_type::char_string);
    EXPECT_EQ(guess_value_type("\""), data_type::nonquoted_string);
    EXPECT_EQ(guess_value_type("\"open"), data_type::nonquoted_string);

    EXPECT_STREQ(data_type_name(data_type::real), "real");
    EXPECT_STREQ(data_type_name(data_type::integer), "integer");
    EXPECT_STREQ(data_type_name(data_type::char_string), "char string");
    EXPECT_STREQ(data_type_name(data_type::nonquoted_string), "non-quoted char string");
    EXPECT_STREQ(data_type_name(data_type::no_type), "no type");

    cgats_alloc* al = new_std_alloc();
    EXPECT_EQ(quote_cs(al, "say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(quote_cs(al, ""), "\"\"");
    al->del();
}

TEST(CgatsObject, SetsAreCopiedAndReturned) {
    cgats_ptr c(new_cgats());
    c->add_table(table_type::it8_7_2, 0);
    EXPECT_EQ(c->add_set(0, "A1"), -1);
    EXPECT_STREQ(c->err(), "cgats.add_set(), attempt to add set when no fields are defined");
    EXPECT_EQ(c->add_setarr(0, nullptr), -1);
    EXPECT_STREQ(c->err(), "cgats.add_setarr(), attempt to add set when no fields are defined");
    c->add_field(0, "SAMPLE_ID", data_type::nonquoted_string);
    c->add_field(0, "XYZ_X", data_type::real);
    c->add_field(0, "COUNT", data_type::integer);
    c->add_field(0, "NAME", data_type::char_string);

    std::string id = "A1";
    EXPECT_EQ(c->add_set(0, id, 5, 7, "first"), 0);  // an int for a real field is taken as real
    cgats_set_elem in[4];
    char id2[] = "B2";
    in[0].c = id2;
    in[1].d = -0.25;
    in[2].i = -3;
    in[3].c = "second";
    EXPECT_EQ(c->add_setarr(0, in), 0);
    id = "changed";
    id2[0] = 'Z';
    EXPECT_EQ(c->table(0).nsets(), 2);

    cgats_set_elem out[4];
    ASSERT_EQ(c->get_setarr(0, 0, out), 0);
    EXPECT_STREQ(out[0].c, "A1");
    EXPECT_EQ(out[1].d, 5.0);
    EXPECT_EQ(out[2].i, 7);
    EXPECT_STREQ(out[3].c, "first");
    ASSERT_EQ(c->get_setarr(0, 1, out), 0);
    EXPECT_STREQ(out[0].c, "B2");
    EXPECT_EQ(out[1].d, -0.25);
    EXPECT_EQ(out[2].i, -3);
    EXPECT_STREQ(out[3].c, "second");

    EXPECT_EQ(c->get_setarr(0, 2, out), -1);
    EXPECT_STREQ(c->err(), "cgats.get_setarr(), set parameter out of range");
    EXPECT_EQ(c->get_setarr(1, 0, out), -1);
    EXPECT_STREQ(c->err(), "cgats.get_setarr(), table parameter out of range");
    EXPECT_EQ(c->add_set(1, "A", 1.0, 1, "x"), -1);
    EXPECT_STREQ(c->err(), "cgats.add_kword(), table parameter out of range");
    EXPECT_EQ(c->add_setarr(1, in), -1);
    EXPECT_STREQ(c->err(), "cgats.add_setarr(), table parameter out of range");
}

TEST(CgatsObject, AddSetChecksItsValues) {
    cgats_ptr c(new_cgats());
    c->add_table(table_type::it8_7_2, 0);
    c->add_field(0, "SAMPLE_ID", data_type::nonquoted_string);
    c->add_field(0, "COUNT", data_type::integer);
    EXPECT_EQ(c->add_set(0, "A1"), -1);
    EXPECT_STREQ(c->err(), "cgats.add_set(), 1 values given for 2 fields");
    EXPECT_EQ(c->add_set(0, "A1", 1, 2), -1);
    EXPECT_STREQ(c->err(), "cgats.add_set(), 3 values given for 2 fields");
    EXPECT_EQ(c->add_set(0, "A1", 1.5), -1);
    EXPECT_STREQ(c->err(), "cgats.add_set(), value 2 does not suit field 'COUNT' of type 'integer'");
    EXPECT_EQ(c->add_set(0, 4, 1), -1);
    EXPECT_STREQ(c->err(), "cgats.add_set(), value 1 does not suit field 'SAMPLE_ID' of type 'non-quoted char string'");
    EXPECT_EQ(c->add_set(0, static_cast<const char*>(nullptr), 1), -1);
    cgats_set_elem in[2];
    in[0].c = nullptr;
    in[1].i = 1;
    EXPECT_EQ(c->add_setarr(0, in), -1);
    EXPECT_STREQ(c->err(), "cgats.add_setarr(), string of field 'SAMPLE_ID' is NULL");
    EXPECT_EQ(c->table(0).nsets(), 0);
}

TEST(CgatsObject, TableFlags) {
    cgats_ptr c(new_cgats());
    c->add_table(table_type::it8_7_2, 0);
    EXPECT_EQ(c->set_table_flags(1, true, false, false), -1);
    EXPECT_STREQ(c->err(), "cgats.set_table_flags(), table number '1' is out of range");
    EXPECT_EQ(c->set_table_flags(0, false, true, false), -1);
    EXPECT_STREQ(c->err(), "cgats.set_table_flags(), Can't suppress kwords or fields if ID is not suppressed");
    EXPECT_EQ(c->set_table_flags(0, false, false, true), -1);
    EXPECT_EQ(c->set_table_flags(0, true, true, true), 0);
    EXPECT_TRUE(c->table(0).sup_id());
    EXPECT_TRUE(c->table(0).sup_kwords());
    EXPECT_TRUE(c->table(0).sup_fields());
}

// Builds, writes and reads back an object while the allocator fails after a
// growing number of allocations: every operation either succeeds or returns
// -2 with a memory message, and nothing leaks.
TEST(CgatsObject, MemoryFailuresGiveMinusTwoAndLeakNothing) {
    const std::set<std::string> memory_messages = {
        "cgats.add_other(), realloc failed!",       "cgats.add_other(), malloc failed!",
        "cgats.add_table(), realloc failed!",       "cgats.add_kword(), realloc failed!",
        "cgats.alloc_copy_data_type() malloc fail", "cgats.add_field(), realloc failed!",
        "cgats.add_set(), realloc failed!",         "cgats.add_set(), malloc failed!",
        "quote_cs() malloc failed!",                "cgats.add_item(), realloc failed!",
        "cgats.add_item(), malloc failed!",         "cgats.read(), malloc failed!",
        "Failed to malloc space for tt_otherkeyword"};
    const std::set<std::string> tokenizer_messages = {"Unable to create file parser for file '**Unknown**'",
                                                      "parse.read_line(), realloc failed!",
                                                      "parse.get_token(), realloc failed!"};
    const std::string long_text(100, 'q');
    bool completed = false;
    std::set<std::string> seen;
    for (long n = 0; n < 2000 && !completed; ++n) {
        test::counting_alloc al;
        al.fail_after = n;
        cgats* c = new_cgats_al(&al);
        if (!c) {
            EXPECT_EQ(al.live, 0);
            continue;
        }
        int step = 0;
        auto check = [&](int rv) {
            ++step;
            if (rv >= 0) return true;
            // The tokenizer's failures, memory ones included, reach the reader as -1.
            const int expected = tokenizer_messages.count(c->err()) ? -1 : -2;
            EXPECT_EQ(rv, expected) << "step " << step << ": " << c->err();
            EXPECT_EQ(c->errc(), expected);
            EXPECT_TRUE(memory_messages.count(c->err()) || tokenizer_messages.count(c->err())) << c->err();
            seen.insert(c->err());
            return false;
        };
        std::string text;
        bool ok = check(c->add_other(("CTI3" + long_text).c_str())) && check(c->add_table(table_type::other, 0)) &&
                  check(c->add_kword(0, "DESCRIPTOR", long_text.c_str(), nullptr)) &&
                  check(c->add_kword(0, "ORIGINATOR", "o", nullptr)) &&
                  check(c->add_kword(0, "CREATED", "now", long_text.c_str())) &&
                  check(c->add_field(0, "SAMPLE_ID", data_type::nonquoted_string)) &&
                  check(c->add_field(0, ("SAMPLE_NAME_" + long_text).c_str(), data_type::char_string)) &&
                  check(c->add_field(0, "XYZ_X", data_type::real)) &&
                  check(c->add_set(0, "A1", long_text, 1.5)) && check(c->add_set(0, "A2", "x\"y", 2.5));
        if (ok) {
            // Writing goes through a stream with its own allocator.
            int rv = 0;
            text = test::write_text(c, &rv);
            ok = check(rv);
        }
        if (ok) {
            cgats* back = new_cgats_al(&al);
            ok = back != nullptr;
            if (back) {
                std::swap(c, back);
                ok = check(c->add_other("")) && check(test::read_text(c, text));
                std::swap(c, back);
                back->del();
            }
            completed = ok;
        }
        c->del();
        EXPECT_EQ(al.live, 0) << "after failing at allocation " << n;
    }
    EXPECT_TRUE(completed);
    EXPECT_EQ(seen.size(), memory_messages.size() + tokenizer_messages.size());
}

}  // namespace
}  // namespace dvk
