// The writer: exact text, added keywords, quoting, suppression, refusals and
// round trips of hand-made files.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ctime>
#include <string>

#include "profiling/cgats/cgats.h"
#include "tests/cgats/cgats_test_util.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

using test::read_text;
using test::write_text;

// A measurement table laid out as the profiler writes it.
cgats_ptr measurement_table() {
    cgats_ptr c(new_cgats());
    c->add_other("CTI3");
    c->add_table(table_type::other, 0);
    c->add_kword(0, "DESCRIPTOR", "Camera \"X\" target", nullptr);
    c->add_kword(0, "ORIGINATOR", "DVK", nullptr);
    c->add_kword(0, "CREATED", "Mon Dec  7 05:00:00 2026", nullptr);
    c->add_kword(0, "DEVICE_CLASS", "INPUT", nullptr);
    c->add_kword(0, "COLOR_REP", "XYZ_RGB", nullptr);
    c->add_field(0, "SAMPLE_ID", data_type::nonquoted_string);
    for (const char* f : {"XYZ_X", "XYZ_Y", "XYZ_Z", "RGB_R", "RGB_G", "RGB_B", "STDEV_R", "STDEV_G", "STDEV_B"})
        c->add_field(0, f, data_type::real);
    c->add_set(0, "A01", 11.773, 10.213, 4.9219, 38.48, 100.0, 5.1, 0.5, 0.05, 0.005);
    c->add_set(0, "DVKWHT", 96.4242, 100.0, 82.5124, 12345.0, 0.0, -0.5, 0.0, 0.0, 0.0);
    return c;
}

TEST(CgatsWrite, MeasurementTableText) {
    cgats_ptr c = measurement_table();
    int rv = -5;
    const std::string out = write_text(c.get(), &rv);
    EXPECT_EQ(rv, 0) << c->err();
    EXPECT_EQ(out,
              "CTI3   \n"
              "\n"
              "DESCRIPTOR \"Camera \"\"X\"\" target\"\n"
              "ORIGINATOR \"DVK\"\n"
              "CREATED \"Mon Dec  7 05:00:00 2026\"\n"
              "KEYWORD \"DEVICE_CLASS\"\n"
              "DEVICE_CLASS \"INPUT\"\n"
              "KEYWORD \"COLOR_REP\"\n"
              "COLOR_REP \"XYZ_RGB\"\n"
              "\n"
              "KEYWORD \"STDEV_R\"\n"
              "KEYWORD \"STDEV_G\"\n"  // STDEV_B is a standard name (the b* of Lab)
              "NUMBER_OF_FIELDS 10\n"
              "BEGIN_DATA_FORMAT\n"
              "SAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B STDEV_R STDEV_G STDEV_B \n"
              "END_DATA_FORMAT\n"
              "\n"
              "NUMBER_OF_SETS 2\n"
              "BEGIN_DATA\n"
              "A01 11.773 10.213 4.9219 38.480 100.00 5.1000 0.50000 0.050000 5.0000e-03 \n"
              "DVKWHT 96.424 100.00 82.512 1.2345e+04 0.0000 -0.50000 0.0000 0.0000 0.0000 \n"
              "END_DATA\n");
    // Nothing had to be added to a table of the "other" type that has its three keywords.
    EXPECT_EQ(c->table(0).nkwords(), 5);
}

TEST(CgatsWrite, MissingKeywordsAreAddedByType) {
    std::string created;
    {
        cgats_ptr c(new_cgats());
        c->add_table(table_type::it8_7_2, 0);
        c->add_kword(0, "DESCRIPTOR", "given", nullptr);
        c->add_field(0, "SAMPLE_ID", data_type::nonquoted_string);
        c->add_set(0, "A1");
        const std::string out = write_text(c.get());
        const std::size_t from = out.find("CREATED \"") + 9;
        const std::size_t to = out.find('"', from);
        ASSERT_NE(to, std::string::npos) << out;
        created = out.substr(from, to - from);
        EXPECT_EQ(out,
                  "IT8.7/2\n\nDESCRIPTOR \"given\"\nORIGINATOR \"Not specified\"\nCREATED \"" + created +
                      "\"\nMANUFACTURER \"Not specified\"\nPROD_DATE \"Not specified\"\n"
                      "SERIAL \"Not specified\"\nMATERIAL \"Not specified\"\n\nNUMBER_OF_FIELDS 1\n"
                      "BEGIN_DATA_FORMAT\nSAMPLE_ID \nEND_DATA_FORMAT\n\nNUMBER_OF_SETS 1\nBEGIN_DATA\nA1 \nEND_DATA\n");
        // Today's date, "%s %d, %d" with the full English month name.
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        static const char* const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
        const std::string today =
            std::string(months[tm.tm_mon]) + " " + std::to_string(tm.tm_mday) + ", " + std::to_string(tm.tm_year + 1900);
        EXPECT_EQ(created, today);
        EXPECT_EQ(c->table(0).nkwords(), 7);
    }
    const struct {
        table_type type;
        const char* added;
    } cases[] = {
        {table_type::it8_7_1, "ORIGINATOR DESCRIPTOR CREATED MANUFACTURER PROD_DATE SERIAL MATERIAL "},
        {table_type::it8_7_3, "ORIGINATOR DESCRIPTOR CREATED INSTRUMENTATION MEASUREMENT_SOURCE PRINT_CONDITIONS "},
        {table_type::it8_7_4, "ORIGINATOR DESCRIPTOR CREATED INSTRUMENTATION MEASUREMENT_SOURCE PRINT_CONDITIONS "},
        {table_type::cgats_5, "ORIGINATOR DESCRIPTOR CREATED INSTRUMENTATION MEASUREMENT_SOURCE PRINT_CONDITIONS "},
        {table_type::cgats_x, "ORIGINATOR DESCRIPTOR CREATED INSTRUMENTATION MEASUREMENT_SOURCE PRINT_CONDITIONS "},
        {table_type::other, "ORIGINATOR DESCRIPTOR CREATED "},
    };
    for (const auto& k : cases) {
        cgats_ptr c(new_cgats());
        c->add_cgats_type("CGATS.17");
        c->add_other("CTI1");
        c->add_table(k.type, 0);
        write_text(c.get());
        std::string names;
        for (int i = 0; i < c->table(0).nkwords(); ++i) {
            names += c->table(0).kword_name(i);
            names += ' ';
            if (std::string(c->table(0).kword_name(i)) != "CREATED")
                EXPECT_STREQ(c->table(0).kword_value(i), "Not specified");
            else
                EXPECT_EQ(std::string(c->table(0).kword_value(i)), created);
        }
        EXPECT_EQ(names, k.added) << static_cast<int>(k.type);
    }
}

TEST(CgatsWrite, IdentifierLines) {
    cgats_ptr c(new_cgats());
    c->add_cgats_type("CGATS.17");
    c->add_other("CTI3");
    c->add_other("LONGNAME1");
    c->add_table(table_type::cgats_x, 0);
    c->add_table(table_type::other, 1);
    c->add_table(table_type::cgats_5, 0);
    for (int t = 0; t < 3; ++t) c->set_table_flags(t, false, false, false);
    const std::string out = write_text(c.get());
    EXPECT_EQ(out.rfind("CGATS.17\n\n", 0), 0u) << out;
    EXPECT_NE(out.find("END_DATA\nLONGNAME1\n\n"), std::string::npos);
    EXPECT_NE(out.find("END_DATA\nCGATS.5\n\n"), std::string::npos);

    cgats_ptr x(new_cgats());
    x->add_table(table_type::cgats_x, 0);
    int rv = 0;
    write_text(x.get(), &rv);
    EXPECT_EQ(rv, -1);
    EXPECT_STREQ(x->err(), "cgats_write(), table 0 has no CGATS.X identifier");
    cgats_ptr o(new_cgats());
    o->add_table(table_type::other, 2);
    write_text(o.get(), &rv);
    EXPECT_EQ(rv, -1);
    EXPECT_STREQ(o->err(), "cgats_write(), table 0 has an unknown other identifier");
}

TEST(CgatsWrite, KeywordForms) {
    cgats_ptr c(new_cgats());
    c->add_other("CTI2");
    c->add_table(table_type::other, 0);
    c->add_kword(0, "DESCRIPTOR", "d", "described here");
    c->add_kword(0, nullptr, nullptr, "a comment line");
    c->add_kword(0, "ORIGINATOR", "o", nullptr);
    c->add_kword(0, "CREATED", "c", nullptr);
    c->add_kword(0, "NOVALUE", nullptr, nullptr);
    c->add_kword(0, "OWN", "x # y", "why");
    c->add_kword(0, "EMPTY", "", nullptr);
    const std::string out = write_text(c.get());
    EXPECT_EQ(out.substr(0, out.find("\n\nNUMBER_OF_FIELDS")),
              "CTI2   \n\n"
              "DESCRIPTOR \"d\"\t# described here\n"
              "# a comment line\n"
              "ORIGINATOR \"o\"\n"
              "CREATED \"c\"\n"
              "KEYWORD \"OWN\"\n"
              "OWN \"x # y\"\t# why\n"
              "KEYWORD \"EMPTY\"\n"
              "EMPTY \"\"");
}

TEST(CgatsWrite, ValueQuoting) {
    cgats_ptr c(new_cgats());
    c->add_other("CTI3");
    c->add_table(table_type::other, 0);
    c->add_kword(0, "ORIGINATOR", "o", nullptr);
    c->add_kword(0, "DESCRIPTOR", "d", nullptr);
    c->add_kword(0, "CREATED", "c", nullptr);
    c->add_field(0, "SAMPLE_ID", data_type::nonquoted_string);
    c->add_field(0, "LABEL", data_type::nonquoted_string);
    c->add_field(0, "STRING", data_type::char_string);
    c->add_field(0, "COUNT", data_type::integer);
    c->add_set(0, "12", "12", "A", -7);
    c->add_set(0, "A1", "A1", "", 0);
    c->add_set(0, "a b", "1.5e3", "q\"q", 2147483647);
    c->add_set(0, "", "", "#", 1);
    c->add_set(0, "END_DATA", "x#", "\t", 1);
    c->add_set(0, "x\"", "-", "\r\n", 1);
    const std::string out = write_text(c.get());
    const std::string data = out.substr(out.find("BEGIN_DATA\n") + 11);
    EXPECT_EQ(data,
              "12 \"12\" \"A\" -7 \n"
              "A1 A1 \"\" 0 \n"
              "\"a b\" \"1.5e3\" \"q\"\"q\" 2147483647 \n"
              "\"\" \"\" \"#\" 1 \n"
              "\"END_DATA\" \"x#\" \"\t\" 1 \n"
              "\"x\"\"\" \"-\" \"\r\n\" 1 \n"
              "END_DATA\n");
    // Every value reads back as itself.
    cgats_ptr back = test::any_id_cgats();
    ASSERT_EQ(read_text(back.get(), out), 0) << back->err();
    ASSERT_EQ(back->table(0).nsets(), 6);
    cgats_set_elem a[4], b[4];
    for (int s = 0; s < 6; ++s) {
        c->get_setarr(0, s, a);
        back->get_setarr(0, s, b);
        EXPECT_STREQ(a[0].c, b[0].c) << s;
        EXPECT_STREQ(a[1].c, b[1].c) << s;
        EXPECT_STREQ(a[2].c, b[2].c) << s;
        EXPECT_EQ(a[3].i, b[3].i) << s;
    }
    EXPECT_EQ(back->table(0).field_type(1), data_type::char_string);  // quoted numbers read as quoted strings
}

TEST(CgatsWrite, NonFiniteRealsAreRefused) {
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        cgats_ptr c = measurement_table();
        c->add_set(0, "B2", 1.0, 2.0, 3.0, 4.0, bad, 6.0, 0.0, 0.0, 0.0);
        int rv = 0;
        write_text(c.get(), &rv);
        EXPECT_EQ(rv, -1);
        EXPECT_STREQ(c->err(), "cgats_write(), value of field 'RGB_G' in set 2 is not a finite number");
    }
}

TEST(CgatsWrite, SuppressedIdentifierKeywordsAndFields) {
    cgats_ptr c = measurement_table();
    c->add_table(table_type::other, 0);
    c->add_field(1, "SAMPLE_ID", data_type::nonquoted_string);
    for (const char* f : {"XYZ_X", "XYZ_Y", "XYZ_Z", "RGB_R", "RGB_G", "RGB_B", "STDEV_R", "STDEV_G", "STDEV_B"})
        c->add_field(1, f, data_type::real);
    c->add_set(1, "B01", 1, 2, 3, 4, 5, 6, 7, 8, 9);
    ASSERT_EQ(c->set_table_flags(1, true, true, true), 0);
    const std::string out = write_text(c.get());
    const std::string second = out.substr(out.find("END_DATA\n") + 9);
    EXPECT_EQ(second,
              "\n\n\nNUMBER_OF_SETS 1\nBEGIN_DATA\n"
              "B01 1.0000 2.0000 3.0000 4.0000 5.0000 6.0000 7.0000 8.0000 9.0000 \nEND_DATA\n");
    EXPECT_EQ(c->table(1).nkwords(), 0);
    // Read back, the second table repeats the first one's keywords and fields.
    cgats_ptr back = test::any_id_cgats();
    ASSERT_EQ(read_text(back.get(), out), 0) << back->err();
    ASSERT_EQ(back->ntables(), 2);
    EXPECT_EQ(back->table(1).nkwords(), 5);
    EXPECT_EQ(back->table(1).nfields(), 10);
    EXPECT_EQ(back->table(1).field_type(9), data_type::real);
    EXPECT_EQ(write_text(back.get()), out.substr(0, out.find("END_DATA\n") + 9) + out.substr(0, out.find("NUMBER_OF_SETS")) +
                                          "NUMBER_OF_SETS 1\nBEGIN_DATA\n"
                                          "B01 1.0000 2.0000 3.0000 4.0000 5.0000 6.0000 7.0000 8.0000 9.0000 \nEND_DATA\n");
}

TEST(CgatsWrite, SuppressionRefusals) {
    int rv = 0;
    {
        cgats_ptr c = measurement_table();
        c->set_table_flags(0, true, false, false);
        write_text(c.get(), &rv);
        EXPECT_EQ(rv, -1);
        EXPECT_STREQ(c->err(), "cgats_write(), ID should not be suppressed on first table");
    }
    {
        cgats_ptr c = measurement_table();
        c->add_other("CTI2");
        c->add_table(table_type::other, 1);
        c->set_table_flags(1, true, false, false);
        write_text(c.get(), &rv);
        EXPECT_EQ(rv, -1);
        EXPECT_STREQ(c->err(),
                     "cgats_write(), ID should not be suppressed when table 1 type is not the same as previous table");
    }
    {
        cgats_ptr c = measurement_table();
        c->add_table(table_type::it8_7_2, 0);
        c->set_table_flags(1, true, false, false);
        write_text(c.get(), &rv);
        EXPECT_EQ(rv, -1);
    }
    {
        cgats_ptr c = measurement_table();
        c->add_table(table_type::other, 0);
        c->add_field(1, "SAMPLE_ID", data_type::nonquoted_string);
        c->set_table_flags(1, true, false, true);
        write_text(c.get(), &rv);
        EXPECT_EQ(rv, -1);
        EXPECT_STREQ(c->err(),
                     "cgats_write(), Fields should not be suppressed when table 1 different number than previous "
                     "table");
    }
    {
        cgats_ptr c = measurement_table();
        c->add_table(table_type::other, 0);
        c->add_field(1, "SAMPLE_ID", data_type::nonquoted_string);
        for (const char* f : {"XYZ_X", "XYZ_Y", "XYZ_Z", "RGB_R", "RGB_G", "RGB_B", "STDEV_R", "STDEV_G", "STDEV_Q"})
            c->add_field(1, f, data_type::real);
        c->set_table_flags(1, true, false, true);
        write_text(c.get(), &rv);
        EXPECT_EQ(rv, -1);
        EXPECT_STREQ(c->err(),
                     "cgats_write(), Fields should not be suppressed when table 1 types is not the same as previous "
                     "table");
    }
}

TEST(CgatsWrite, EmptyObjectWritesNothing) {
    cgats_ptr c(new_cgats());
    int rv = -5;
    EXPECT_EQ(write_text(c.get(), &rv), "");
    EXPECT_EQ(rv, 0);
}

TEST(CgatsWrite, WriteNameAndWriteErrors) {
    test::TempDir dir;
    cgats_ptr c = measurement_table();
    const std::string missing = (dir / "no" / "such.ti3").string();
    EXPECT_EQ(c->write_name(missing.c_str()), -1);
    EXPECT_EQ(std::string(c->err()), "Unable to open file '" + missing + "' for writing");
    const std::string path = (dir / "m.ti3").string();
    ASSERT_EQ(c->write_name(path.c_str()), 0) << c->err();
    cgats_ptr back = test::any_id_cgats();
    ASSERT_EQ(back->read_name(path.c_str()), 0) << back->err();
    EXPECT_EQ(write_text(back.get()), write_text(c.get()));

    std::FILE* probe = std::fopen("/dev/full", "w");
    if (!probe) GTEST_SKIP() << "no /dev/full";
    std::fclose(probe);
    EXPECT_EQ(c->write_name("/dev/full"), -1);
    EXPECT_STREQ(c->err(), "Write error to file '/dev/full'");
}

// Every field type and keyword form, two tables of which the second repeats
// the first: written, read back and written again give the same text.
TEST(CgatsWrite, HandMadeFilesRoundTrip) {
    const std::string files[] = {
        "CTI3\n"
        "DESCRIPTOR \"Round \"\"trip\"\" # 1\"\nORIGINATOR \"me\"\nCREATED \"today\"\n"
        "KEYWORD \"MULTI\"\nMULTI \"two\r\nlines\"\nKEYWORD \"UTF8\"\nUTF8 \"Farbfl\xc3\xa4" "che\"\n"
        "BEGIN_DATA_FORMAT\nSAMPLE_ID STRING XYZ_X LAB_L INDEX WEIGHT NAME CODE\nEND_DATA_FORMAT\n"
        "NUMBER_OF_SETS 3\nBEGIN_DATA\n"
        "A1 \"s 1\" 0.0031 100 1 0.25 plain \"007\"\n"
        "\"B 2\" bare -12.5 1e4 -2 3 \"quoted one\" \"\"\n"
        "C3 \"\" 12345.678 0 3 -0.0001 x \"#\"\n"
        "END_DATA\n"
        "NUMBER_OF_SETS 1\nBEGIN_DATA\nD4 \"s\" 1 2 3 4 y \"z\"\nEND_DATA\n",
        "IT8.7/1\r\nORIGINATOR \"o\"\r\nSAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K\r\nEND_DATA_FORMAT\r\n"
        "BEGIN_DATA\r\n1 0 0 0 0\r\n2 100 100 100 100\r\nEND_DATA\r\n"
        "CGATS.17\r\nBEGIN_DATA_FORMAT\r\nSAMPLE_ID D_VIS\r\nEND_DATA_FORMAT\r\nBEGIN_DATA\r\nx 0.5\r\nEND_DATA\r\n",
    };
    for (const std::string& text : files) {
        cgats_ptr a = test::any_id_cgats();
        ASSERT_EQ(read_text(a.get(), text), 0) << a->err();
        int rv = 0;
        const std::string first = write_text(a.get(), &rv);
        ASSERT_EQ(rv, 0) << a->err();
        cgats_ptr b = test::any_id_cgats();
        ASSERT_EQ(read_text(b.get(), first), 0) << b->err() << "\n" << first;
        const std::string second = write_text(b.get(), &rv);
        ASSERT_EQ(rv, 0) << b->err();
        EXPECT_EQ(first, second);
        ASSERT_EQ(a->ntables(), b->ntables());
        for (int t = 0; t < a->ntables(); ++t) {
            const cgats_table& ta = a->table(t);
            const cgats_table& tb = b->table(t);
            ASSERT_EQ(ta.nfields(), tb.nfields());
            ASSERT_EQ(ta.nsets(), tb.nsets());
            for (int k = 0; k < ta.nkwords(); ++k)
                EXPECT_STREQ(ta.kword_value(k), tb.kword_value(k));
            cgats_set_elem ea[16], eb[16];
            for (int s = 0; s < ta.nsets(); ++s) {
                a->get_setarr(t, s, ea);
                b->get_setarr(t, s, eb);
                for (int f = 0; f < ta.nfields(); ++f) {
                    switch (ta.field_type(f)) {
                    case data_type::real: EXPECT_NEAR(ea[f].d, eb[f].d, std::fabs(ea[f].d) * 1e-4); break;
                    case data_type::integer: EXPECT_EQ(ea[f].i, eb[f].i); break;
                    default: EXPECT_STREQ(ea[f].c, eb[f].c); break;
                    }
                }
            }
        }
    }
    // The first file's types, as settled from its values.
    cgats_ptr a = test::any_id_cgats();
    ASSERT_EQ(read_text(a.get(), files[0]), 0);
    const data_type expected[] = {data_type::nonquoted_string, data_type::char_string, data_type::real,
                                  data_type::real,             data_type::integer,     data_type::real,
                                  data_type::char_string,      data_type::char_string};
    for (int f = 0; f < 8; ++f) EXPECT_EQ(a->table(0).field_type(f), expected[f]) << f;
    EXPECT_EQ(a->table(1).nfields(), 8);
    EXPECT_STREQ(a->table(0).kword_value(a->find_kword(0, "MULTI")), "two\r\nlines");
    EXPECT_STREQ(a->table(0).kword_value(0), "Round \"trip\" # 1");
}

}  // namespace
}  // namespace dvk
