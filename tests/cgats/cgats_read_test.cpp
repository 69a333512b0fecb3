// The reader: identifiers, states, keywords, data and the settling of field types.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "profiling/cgats/cgats.h"
#include "tests/cgats/cgats_test_util.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

using test::read_text;

std::string str(const cgats& c, int table, int set, int field) {
    cgats_set_elem e[64];
    EXPECT_EQ(const_cast<cgats&>(c).get_setarr(table, set, e), 0) << c.err();
    return e[field].c;
}
double real(const cgats& c, int table, int set, int field) {
    cgats_set_elem e[64];
    EXPECT_EQ(const_cast<cgats&>(c).get_setarr(table, set, e), 0) << c.err();
    return e[field].d;
}
int integer(const cgats& c, int table, int set, int field) {
    cgats_set_elem e[64];
    EXPECT_EQ(const_cast<cgats&>(c).get_setarr(table, set, e), 0) << c.err();
    return e[field].i;
}

const char* const kColorChecker =
    "IT8.7/2\n"
    "ORIGINATOR \"Test\"\n"
    "DESCRIPTOR \"Three patches\"   # a comment\n"
    "CREATED  \"Feb 18, 2008\"\n"
    "\n"
    "NUMBER_OF_FIELDS 4\n"
    "BEGIN_DATA_FORMAT\n"
    "SAMPLE_ID LAB_L LAB_A LAB_B\n"
    "END_DATA_FORMAT\n"
    "\n"
    "NUMBER_OF_SETS 3\n"
    "BEGIN_DATA\n"
    "A01 37.99   13.56   14.06\n"
    "A02\t65.71\t18.13\t17.81\n"
    "A03 49 -4.88 -2.193e1\n"
    "END_DATA\n";

TEST(CgatsRead, ReadsAReferenceTable) {
    cgats_ptr c(new_cgats());
    ASSERT_EQ(read_text(c.get(), kColorChecker), 0) << c->err();
    ASSERT_EQ(c->ntables(), 1);
    const cgats_table& t = c->table(0);
    EXPECT_EQ(t.type(), table_type::it8_7_2);
    ASSERT_EQ(t.nkwords(), 3);
    EXPECT_STREQ(t.kword_name(1), "DESCRIPTOR");
    EXPECT_STREQ(t.kword_value(1), "Three patches");
    EXPECT_EQ(t.kword_comment(1), nullptr);
    EXPECT_STREQ(t.kword_value(2), "Feb 18, 2008");
    ASSERT_EQ(t.nfields(), 4);
    EXPECT_EQ(t.field_type(0), data_type::nonquoted_string);
    for (int f = 1; f < 4; ++f) EXPECT_EQ(t.field_type(f), data_type::real);
    ASSERT_EQ(t.nsets(), 3);
    EXPECT_EQ(str(*c, 0, 1, 0), "A02");
    EXPECT_DOUBLE_EQ(real(*c, 0, 1, 3), 17.81);
    EXPECT_DOUBLE_EQ(real(*c, 0, 2, 1), 49.0);  // a bare integer in a standard real field
    EXPECT_DOUBLE_EQ(real(*c, 0, 2, 3), -21.93);
    EXPECT_EQ(c->errc(), 0);
}

TEST(CgatsRead, LineEndsOfEveryKindReadAlike) {
    const std::string lf = kColorChecker;
    std::string crlf, cr;
    for (char ch : lf) {
        if (ch == '\n') {
            crlf += "\r\n";
            cr += '\r';
        } else {
            crlf += ch;
            cr += ch;
        }
    }
    cgats_ptr a(new_cgats()), b(new_cgats()), d(new_cgats());
    ASSERT_EQ(read_text(a.get(), lf), 0);
    ASSERT_EQ(read_text(b.get(), crlf), 0) << b->err();
    ASSERT_EQ(read_text(d.get(), cr), 0) << d->err();
    EXPECT_EQ(test::write_text(a.get()), test::write_text(b.get()));
    EXPECT_EQ(test::write_text(a.get()), test::write_text(d.get()));
    // Line numbers in messages count each line end once.
    cgats_ptr e(new_cgats());
    std::string bad = crlf;
    bad.replace(bad.find("A03 49"), 6, "A03");  // the last set lacks a value
    EXPECT_EQ(read_text(e.get(), bad), -1);
    EXPECT_STREQ(e->err(), "Error at line 16 of file '**Unknown**': Data was not an integer number of fields");
}

TEST(CgatsRead, IdentifierTypes) {
    const struct {
        const char* id;
        table_type type;
    } cases[] = {{"IT8.7/1", table_type::it8_7_1}, {"IT8.7/2", table_type::it8_7_2},
                 {"IT8.7/3", table_type::it8_7_3}, {"IT8.7/4", table_type::it8_7_4},
                 {"CGATS.5", table_type::cgats_5}, {"CGATS.17", table_type::cgats_x}};
    for (const auto& k : cases) {
        cgats_ptr c(new_cgats());
        ASSERT_EQ(read_text(c.get(), std::string(k.id) + "\nBEGIN_DATA_FORMAT\nX\nEND_DATA_FORMAT\nBEGIN_DATA\n1\nEND_DATA\n"),
                  0)
            << k.id << ": " << c->err();
        EXPECT_EQ(c->table(0).type(), k.type) << k.id;
    }
    cgats_ptr x(new_cgats());
    ASSERT_EQ(read_text(x.get(), "CGATS.17\nA B\n"), 0);
    EXPECT_STREQ(x->cgats_type(), "CGATS.17");
}

TEST(CgatsRead, OtherIdentifiers) {
    const std::string body = "\nBEGIN_DATA_FORMAT\nSAMPLE_ID\nEND_DATA_FORMAT\nBEGIN_DATA\nA1\nEND_DATA\n";
    cgats_ptr c(new_cgats());
    EXPECT_EQ(read_text(c.get(), "CTI3" + body), -1);
    EXPECT_STREQ(c->err(), "Error at line 1 of file '**Unknown**': No file identifier found");

    cgats_ptr r(new_cgats());
    r->add_other("CTI1");
    r->add_other("CTI3");
    ASSERT_EQ(read_text(r.get(), "CTI3" + body), 0) << r->err();
    EXPECT_EQ(r->table(0).type(), table_type::other);
    EXPECT_EQ(r->table(0).oi(), 1);

    // An empty registered identifier takes the first token, whatever it is.
    cgats_ptr e(new_cgats());
    e->add_other("CTI1");
    e->add_other("");
    ASSERT_EQ(read_text(e.get(), "ANYTHING" + body), 0) << e->err();
    EXPECT_EQ(e->table(0).oi(), 1);
    EXPECT_STREQ(e->other(1), "ANYTHING");
    // Standard identifiers still win over it.
    cgats_ptr s = test::any_id_cgats();
    ASSERT_EQ(read_text(s.get(), "IT8.7/2" + body), 0);
    EXPECT_EQ(s->table(0).type(), table_type::it8_7_2);
    EXPECT_STREQ(s->other(0), "");
}

TEST(CgatsRead, SecondTableWithoutIdentifierRepeatsTheFirst) {
    const std::string text =
        "CTI3\nDESCRIPTOR \"first\"\nKEYWORD \"COLOR_REP\"\nCOLOR_REP \"RGB\"\n"
        "BEGIN_DATA_FORMAT\nSAMPLE_ID RGB_R\nEND_DATA_FORMAT\nNUMBER_OF_SETS 1\nBEGIN_DATA\nA1 1\nEND_DATA\n"
        "DESCRIPTOR \"second\"\nNUMBER_OF_SETS 2\nBEGIN_DATA\nB1 2\nB2 3\nEND_DATA\n"
        "CTI3\nBEGIN_DATA_FORMAT\nSAMPLE_ID\nEND_DATA_FORMAT\nBEGIN_DATA\nC1\nEND_DATA\n";
    cgats_ptr c = test::any_id_cgats();
    ASSERT_EQ(read_text(c.get(), text), 0) << c->err();
    ASSERT_EQ(c->ntables(), 3);
    const cgats_table& t1 = c->table(1);
    EXPECT_EQ(t1.type(), table_type::other);
    EXPECT_EQ(t1.oi(), 0);
    ASSERT_EQ(t1.nkwords(), 2);
    EXPECT_STREQ(t1.kword_name(0), "DESCRIPTOR");
    EXPECT_STREQ(t1.kword_value(0), "second");  // replaced, not appended
    EXPECT_STREQ(t1.kword_value(1), "RGB");
    ASSERT_EQ(t1.nfields(), 2);
    EXPECT_STREQ(t1.field_name(1), "RGB_R");
    EXPECT_EQ(t1.field_type(1), data_type::real);
    EXPECT_EQ(t1.nsets(), 2);
    EXPECT_DOUBLE_EQ(real(*c, 1, 1, 1), 3.0);
    // A table that starts with an identifier repeats nothing.
    EXPECT_EQ(c->table(2).nkwords(), 0);
    EXPECT_EQ(c->table(2).nfields(), 1);
    EXPECT_STREQ(c->table(0).kword_value(0), "first");
}

TEST(CgatsRead, KeywordDeclarationsAndValues) {
    const std::string text =
        "CTI2\nKEYWORD \"APPROX_WHITE_POINT\"\nAPPROX_WHITE_POINT \"95 100 108\"\n"
        "NOTE \"say \"\"hi\"\"\"\nBARE value\nEMPTY \"\"\nNUMBER_OF_FIELDS 1\nNOTE \"again\"\n"
        "BEGIN_DATA_FORMAT\nSAMPLE_ID\nEND_DATA_FORMAT\nBEGIN_DATA\n1\nEND_DATA\n";
    cgats_ptr c = test::any_id_cgats();
    ASSERT_EQ(read_text(c.get(), text), 0) << c->err();
    const cgats_table& t = c->table(0);
    ASSERT_EQ(t.nkwords(), 4);
    EXPECT_STREQ(t.kword_name(0), "APPROX_WHITE_POINT");
    EXPECT_STREQ(t.kword_value(0), "95 100 108");
    EXPECT_STREQ(t.kword_value(1), "again");
    EXPECT_STREQ(t.kword_value(2), "value");
    EXPECT_STREQ(t.kword_value(3), "");
    EXPECT_EQ(c->find_kword(0, "KEYWORD"), -1);
    EXPECT_EQ(c->find_kword(0, "NUMBER_OF_FIELDS"), -1);

    cgats_ptr q = test::any_id_cgats();
    ASSERT_EQ(read_text(q.get(), "CTI2\nNOTE \"say \"\"hi\"\"\"\n"), 0);
    EXPECT_STREQ(q->table(0).kword_value(0), "say \"hi\"");
}

TEST(CgatsRead, NonStandardFieldsTakeTheWidestKind) {
    const std::string text =
        "CTI3\nBEGIN_DATA_FORMAT\nSAMPLE_ID MIXED INTS LABEL QUOTED STRING XYZ_X\nEND_DATA_FORMAT\n"
        "BEGIN_DATA\n"
        "1 1 7 1 \"12\" bare 1\n"
        "2 2.5 -8 A2 \"x y\" \"q\" 2\n"
        "\"3 c\" 3 +9 3 z \"\"\"in\"\"\" 3.5\n"
        "END_DATA\n";
    cgats_ptr c = test::any_id_cgats();
    ASSERT_EQ(read_text(c.get(), text), 0) << c->err();
    const cgats_table& t = c->table(0);
    EXPECT_EQ(t.field_type(0), data_type::nonquoted_string);
    EXPECT_EQ(t.field_type(1), data_type::real);
    EXPECT_EQ(t.field_type(2), data_type::integer);
    EXPECT_EQ(t.field_type(3), data_type::nonquoted_string);
    EXPECT_EQ(t.field_type(4), data_type::char_string);
    EXPECT_EQ(t.field_type(5), data_type::char_string);
    EXPECT_EQ(t.field_type(6), data_type::real);
    EXPECT_EQ(str(*c, 0, 0, 0), "1");
    EXPECT_EQ(str(*c, 0, 2, 0), "3 c");
    EXPECT_DOUBLE_EQ(real(*c, 0, 1, 1), 2.5);
    EXPECT_EQ(integer(*c, 0, 1, 2), -8);
    EXPECT_EQ(integer(*c, 0, 2, 2), 9);
    EXPECT_EQ(str(*c, 0, 1, 3), "A2");
    EXPECT_EQ(str(*c, 0, 0, 4), "12");
    EXPECT_EQ(str(*c, 0, 1, 4), "x y");
    EXPECT_EQ(str(*c, 0, 2, 4), "z");
    EXPECT_EQ(str(*c, 0, 0, 5), "bare");
    EXPECT_EQ(str(*c, 0, 2, 5), "\"in\"");
}

TEST(CgatsRead, QuotedValuesInAStandardRealFieldFail) {
    const std::string text =
        "IT8.7/2\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X\nEND_DATA_FORMAT\nBEGIN_DATA\nA1 \"1.5\"\nEND_DATA\n";
    cgats_ptr c(new_cgats());
    EXPECT_EQ(read_text(c.get(), text), -1);
    EXPECT_STREQ(c->err(),
                 "Error in file '**Unknown**': Field 'XYZ_X' has unexpected type, should be 'real', is 'char string'");
    cgats_ptr d(new_cgats());
    EXPECT_EQ(read_text(d.get(),
                        "IT8.7/2\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X\nEND_DATA_FORMAT\nBEGIN_DATA\nA1 A\nEND_DATA\n"),
              -1);
    EXPECT_STREQ(d->err(),
                 "Error in file '**Unknown**': Field 'XYZ_X' has unexpected type, should be 'real', is 'non-quoted "
                 "char string'");
}

TEST(CgatsRead, SetCountChecks) {
    const std::string head = "IT8.7/2\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X\nEND_DATA_FORMAT\n";
    cgats_ptr a(new_cgats());
    EXPECT_EQ(read_text(a.get(), head + "NUMBER_OF_SETS 3\nBEGIN_DATA\nA1 1\nA2 2\nEND_DATA\n"), -1);
    EXPECT_STREQ(a->err(), "Error at line 9 of file '**Unknown**': Read 2 sets, expected 3 sets");
    cgats_ptr b(new_cgats());
    EXPECT_EQ(read_text(b.get(), head + "BEGIN_DATA\nA1 1\nA2\nEND_DATA\n"), -1);
    EXPECT_STREQ(b->err(), "Error at line 8 of file '**Unknown**': Data was not an integer number of fields");
    cgats_ptr c(new_cgats());
    EXPECT_EQ(read_text(c.get(), head + "BEGIN_DATA\nEND_DATA\n"), -1);
    EXPECT_STREQ(c->err(), "Error at line 6 of file '**Unknown**': End of data without any data being read");
    cgats_ptr d(new_cgats());
    EXPECT_EQ(read_text(d.get(), "IT8.7/2\nBEGIN_DATA\nA1 1\nEND_DATA\n"), -1);
    EXPECT_STREQ(d->err(), "Error at line 3 of file '**Unknown**': Found data without field definitions");
    cgats_ptr e(new_cgats());
    EXPECT_EQ(read_text(e.get(), head + "NUMBER_OF_SETS 2\nBEGIN_DATA\nA1 1 A2 2\nEND_DATA\n"), 0) << e->err();
    EXPECT_EQ(e->table(0).nsets(), 2);
}

TEST(CgatsRead, DataFormatWithoutItsKeywords) {
    // SAMPLE_ID opens the data format, DEVICE_NAME there is a keyword, and
    // BEGIN_DATA may end the format.
    const std::string text = "IT8.7/2\nSAMPLE_ID XYZ_X XYZ_Y\nBEGIN_DATA\nA1 1 2\nEND_DATA\n";
    cgats_ptr c(new_cgats());
    ASSERT_EQ(read_text(c.get(), text), 0) << c->err();
    EXPECT_EQ(c->table(0).nfields(), 3);
    EXPECT_EQ(c->table(0).field_type(1), data_type::real);  // bare integers in standard real fields
    EXPECT_EQ(c->table(0).field_type(2), data_type::real);
    EXPECT_DOUBLE_EQ(real(*c, 0, 0, 1), 1.0);
    EXPECT_DOUBLE_EQ(real(*c, 0, 0, 2), 2.0);

    cgats_ptr d(new_cgats());
    ASSERT_EQ(read_text(d.get(), "IT8.7/2\nBEGIN_DATA_FORMAT\nDEVICE_NAME \"scanner\" BEGIN_DATA_FORMAT SAMPLE_ID\n"
                                 "END_DATA_FORMAT\nBEGIN_DATA\nA1\nEND_DATA\n"),
              0)
        << d->err();
    EXPECT_STREQ(d->table(0).kword_value(d->find_kword(0, "DEVICE_NAME")), "scanner");
    EXPECT_EQ(d->table(0).nfields(), 1);
}

TEST(CgatsRead, CommentsAndQuotedHashes) {
    const std::string text =
        "# leading comment\nCTI3 # after the identifier\n"
        "DESCRIPTOR \"with # inside\" # and a comment \"quote\n"
        "BEGIN_DATA_FORMAT # here too\nSAMPLE_ID NAME\nEND_DATA_FORMAT\n"
        "BEGIN_DATA\nA1 \"x#y\" # trailing\n#A2 commented\nA3 z\nEND_DATA\n# end\n";
    cgats_ptr c = test::any_id_cgats();
    ASSERT_EQ(read_text(c.get(), text), 0) << c->err();
    EXPECT_STREQ(c->table(0).kword_value(0), "with # inside");
    ASSERT_EQ(c->table(0).nsets(), 2);
    EXPECT_EQ(str(*c, 0, 0, 1), "x#y");
    EXPECT_EQ(str(*c, 0, 1, 0), "A3");
}

TEST(CgatsRead, UnclosedQuoteIsAFormatError) {
    const std::string text =
        "CTI3\nDESCRIPTOR \"never closed\nBEGIN_DATA_FORMAT\nSAMPLE_ID\nEND_DATA_FORMAT\nBEGIN_DATA\nA1\nEND_DATA\n";
    cgats_ptr c = test::any_id_cgats();
    EXPECT_EQ(read_text(c.get(), text), -1);
    EXPECT_EQ(c->errc(), -1);
    EXPECT_STREQ(c->err(), "Error at line 2 of file '**Unknown**': Quote is not closed");
}

TEST(CgatsRead, EndOfFileInsideDataIsAFormatError) {
    cgats_ptr c(new_cgats());
    EXPECT_EQ(read_text(c.get(), "IT8.7/2\nSAMPLE_ID XYZ_X\nBEGIN_DATA\nA1 1\nA2"), -1);
    EXPECT_STREQ(c->err(), "Error at line 4 of file '**Unknown**': End of file before END_DATA");
    // What was read stays for del; it is not usable as data.
    cgats_set_elem e[2];
    EXPECT_EQ(c->get_setarr(0, 1, e), -1);
    EXPECT_STREQ(c->err(), "cgats.get_setarr(), field has unknown data type");
    int rv = 0;
    test::write_text(c.get(), &rv);
    EXPECT_EQ(rv, -1);
    EXPECT_STREQ(c->err(), "cgats_write(), illegal data type found");
    // End of file anywhere else ends the read quietly.
    cgats_ptr d(new_cgats());
    EXPECT_EQ(read_text(d.get(), "IT8.7/2\nDESCRIPTOR"), 0);
    cgats_ptr e2(new_cgats());
    EXPECT_EQ(read_text(e2.get(), ""), 0);
    EXPECT_EQ(e2->ntables(), 0);
}

TEST(CgatsRead, IllegalNamesInAFileAreRefused) {
    cgats_ptr c(new_cgats());
    EXPECT_EQ(read_text(c.get(), "IT8.7/2\nBEGIN_DATA_FORMAT\nSAMPLE_ID \"A B\"\nEND_DATA_FORMAT\n"), -1);
    EXPECT_STREQ(c->err(), "cgats.add_kword(), field name '\"A B\"'is illegal");
    cgats_ptr d(new_cgats());
    EXPECT_EQ(read_text(d.get(), "IT8.7/2\n\"MY KEY\" value\n"), -1);
    EXPECT_STREQ(d->err(), "cgats.add_kword(), keyword '\"MY KEY\"'is illegal");
}

TEST(CgatsRead, ReadNameUsesThePathInMessages) {
    test::TempDir dir;
    const std::string missing = (dir / "missing.ti3").string();
    cgats_ptr c(new_cgats());
    EXPECT_EQ(c->read_name(missing.c_str()), -1);
    EXPECT_EQ(std::string(c->err()), "Unable to open file '" + missing + "' for reading");
    const std::string path = (dir / "bad.ti3").string();
    std::ofstream(path) << "CTI3\nBEGIN_DATA\n";
    EXPECT_EQ(c->read_name(path.c_str()), -1);
    EXPECT_EQ(std::string(c->err()), "Error at line 1 of file '" + path + "': No file identifier found");
}

}  // namespace
}  // namespace dvk

namespace dvk {
namespace {

TEST(CgatsRead, IdentifiersInsideATableAreKeywords) {
    // The first token became the identifier; the same word later is a keyword.
    cgats_ptr c = test::any_id_cgats();
    ASSERT_EQ(test::read_text(c.get(), "ORIGINATOR\nORIGINATOR \"me\"\nIT8.7/2 \"x\"\nSAMPLE_ID\nBEGIN_DATA\nA\nEND_DATA\n"),
              0)
        << c->err();
    EXPECT_STREQ(c->other(0), "ORIGINATOR");
    EXPECT_STREQ(c->table(0).kword_value(c->find_kword(0, "ORIGINATOR")), "me");
    EXPECT_STREQ(c->table(0).kword_value(c->find_kword(0, "IT8.7/2")), "x");
    cgats_ptr d = test::any_id_cgats();
    ASSERT_EQ(test::read_text(d.get(), "BEGIN_DATA\nSAMPLE_ID\nEND_DATA_FORMAT\nBEGIN_DATA\nA\nEND_DATA\n"), 0)
        << d->err();
    EXPECT_EQ(d->table(0).nsets(), 1);
}

}  // namespace
}  // namespace dvk
