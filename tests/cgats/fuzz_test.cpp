// Mutated files through the reader (and, when read, the writer and the reader
// again). Deterministic: a fixed seed and a fixed number of files, so any
// failure repeats; run under the sanitizer build for memory faults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "profiling/cgats/cgats.h"
#include "tests/cgats/cgats_test_util.h"

namespace dvk {
namespace {

std::vector<std::string> seed_files() {
    std::vector<std::string> seeds = {
        "IT8.7/2\nORIGINATOR \"t\"\nDESCRIPTOR \"d\"\nNUMBER_OF_FIELDS 4\nBEGIN_DATA_FORMAT\nSAMPLE_ID LAB_L LAB_A LAB_B\n"
        "END_DATA_FORMAT\nNUMBER_OF_SETS 3\nBEGIN_DATA\nA01 37.99 13.56 14.06\nA02 65.71 18.13 17.81\n"
        "A03 49.93 -4.88 -21.93\nEND_DATA\n",
        "CTI3   \n\nDESCRIPTOR \"Camera \"\"X\"\" target\"\nORIGINATOR \"DVK\"\nCREATED \"Mon Dec  7 05:00:00 2026\"\n"
        "KEYWORD \"DEVICE_CLASS\"\nDEVICE_CLASS \"INPUT\"\nKEYWORD \"COLOR_REP\"\nCOLOR_REP \"XYZ_RGB\"\n\n"
        "KEYWORD \"STDEV_R\"\nKEYWORD \"STDEV_G\"\nNUMBER_OF_FIELDS 10\nBEGIN_DATA_FORMAT\n"
        "SAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B STDEV_R STDEV_G STDEV_B \nEND_DATA_FORMAT\n\n"
        "NUMBER_OF_SETS 2\nBEGIN_DATA\nA01 11.773 10.213 4.9219 38.480 100.00 5.1000 0.50000 0.050000 5.0000e-03 \n"
        "DVKWHT 96.424 100.00 82.512 1.2345e+04 0.0000 -0.50000 0.0000 0.0000 0.0000 \nEND_DATA\n",
        "CTI2\r\n# comment \"x\r\nKEYWORD \"SAMPLE_LOC\"\r\nSAMPLE_ID SAMPLE_LOC STRING COUNT\r\nBEGIN_DATA\r\n"
        "1 \"A1\" \"s 1\" 3\r\n2 \"A2\" bare -4\r\nEND_DATA\r\nNUMBER_OF_SETS 1\r\nBEGIN_DATA\r\n3 \"B1\" x 5\r\nEND_DATA\r\n"
        "CGATS.17\rBEGIN_DATA_FORMAT\rSAMPLE_ID D_VIS\rEND_DATA_FORMAT\rBEGIN_DATA\rq 0.5\rEND_DATA\r",
    };
    for (const char* name : {"ColorChecker.cie", "ColorChecker.ti2", "CIE_C.sp"}) {
        std::ifstream in(std::filesystem::path("/usr/share/color/argyll/ref") / name, std::ios::binary);
        if (!in) continue;
        std::ostringstream s;
        s << in.rdbuf();
        seeds.push_back(s.str().substr(0, 6000));
    }
    return seeds;
}

const char* const kDictionary[] = {
    "\"", "\"\"", "#", "\r", "\n", "\r\n", " ", "\t", "" /* a NUL byte */, "0", "-", "+", ".", "e",
    "1e999", "-1e-320", "2147483648", "END_DATA", "BEGIN_DATA", "BEGIN_DATA_FORMAT", "END_DATA_FORMAT",
    "SAMPLE_ID", "NUMBER_OF_SETS 5", "NUMBER_OF_FIELDS", "KEYWORD", "DEVICE_NAME", "CGATS.17", "IT8.7/2", "CTI3",
    "XYZ_X", "STRING", "\xc3\xa4", "\xff", "nan", "inf",
};

std::string mutate(std::string s, std::mt19937& rng) {
    auto pick = [&](std::size_t n) { return n == 0 ? std::size_t(0) : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const int count = 1 + static_cast<int>(pick(4));
    for (int i = 0; i < count; ++i) {
        const std::size_t pos = pick(s.size() + 1);
        switch (pick(7)) {
        case 0:  // flip a byte
            if (!s.empty()) s[pick(s.size())] = static_cast<char>(pick(256));
            break;
        case 1: {  // insert a word of the format or a troublesome character
            const std::string word = kDictionary[pick(std::size(kDictionary))];
            s.insert(pos, word.empty() ? std::string(1, '\0') : word);
            break;
        }
        case 2:  // delete a span
            s.erase(pos, pick(40));
            break;
        case 3: {  // duplicate a span
            const std::string span = s.substr(pos, pick(80));
            s.insert(pick(s.size() + 1), span);
            break;
        }
        case 4:  // truncate
            s.resize(pos);
            break;
        case 5:  // a long token
            s.insert(pos, std::string(300 + pick(700), static_cast<char>('A' + pick(26))));
            break;
        default: {  // swap two lines' worth of text
            const std::size_t a = pick(s.size() + 1), len = pick(30);
            const std::string span = s.substr(a, len);
            s.erase(a, span.size());
            s.insert(pick(s.size() + 1), span);
            break;
        }
        }
    }
    return s;
}

// What was read once and written reads back to the same tables.
void expect_same_content(cgats& a, cgats& b, const std::string& written) {
    ASSERT_EQ(a.ntables(), b.ntables()) << written;
    for (int t = 0; t < a.ntables(); ++t) {
        const cgats_table& ta = a.table(t);
        const cgats_table& tb = b.table(t);
        ASSERT_EQ(ta.nfields(), tb.nfields()) << written;
        ASSERT_EQ(ta.nsets(), tb.nsets()) << written;
        ASSERT_EQ(ta.nkwords(), tb.nkwords()) << written;
        for (int k = 0; k < ta.nkwords(); ++k) {
            ASSERT_STREQ(ta.kword_name(k), tb.kword_name(k)) << written;
            ASSERT_STREQ(ta.kword_value(k), tb.kword_value(k)) << written;
        }
        for (int f = 0; f < ta.nfields(); ++f) {
            ASSERT_STREQ(ta.field_name(f), tb.field_name(f)) << written;
            const data_type x = ta.field_type(f), y = tb.field_type(f);
            // Numbers in a non-quoted string field of a non-standard name are
            // written quoted and so read back as a quoted string field.
            ASSERT_TRUE(x == y || (x == data_type::nonquoted_string && y == data_type::char_string)) << written;
        }
        std::vector<cgats_set_elem> ea(ta.nfields()), eb(ta.nfields());
        for (int s = 0; s < ta.nsets(); ++s) {
            ASSERT_EQ(a.get_setarr(t, s, ea.data()), 0);
            ASSERT_EQ(b.get_setarr(t, s, eb.data()), 0);
            for (int f = 0; f < ta.nfields(); ++f) {
                switch (ta.field_type(f)) {
                case data_type::real:
                    ASSERT_NEAR(ea[f].d, eb[f].d, std::fabs(ea[f].d) * 1e-4 + 1e-300) << written;
                    break;
                case data_type::integer: ASSERT_EQ(ea[f].i, eb[f].i) << written; break;
                default: ASSERT_STREQ(ea[f].c, eb[f].c) << written; break;
                }
            }
        }
    }
}

TEST(CgatsFuzz, MutatedFilesReadSafelyAndRoundTrip) {
    const std::vector<std::string> seeds = seed_files();
    std::mt19937 rng(20261207);
    int read_ok = 0, round_trips = 0;
    const int runs = 10000;
    for (int i = 0; i < runs; ++i) {
        const std::string text = mutate(seeds[i % seeds.size()], rng);
        SCOPED_TRACE(i);
        test::counting_alloc al;
        {
            cgats* a = new_cgats_al(&al);
            ASSERT_NE(a, nullptr);
            a->add_other("");
            const int rv = test::read_text(a, text);
            ASSERT_TRUE(rv == 0 || rv == -1) << rv;
            EXPECT_LT(std::strlen(a->err()), 200u);
            if (rv == 0) {
                ++read_ok;
                int wrv = 0;
                const std::string written = test::write_text(a, &wrv);
                bool empty_table = false;
                for (int t = 0; t < a->ntables(); ++t) empty_table |= a->table(t).nsets() == 0;
                if (wrv != 0) {
                    // Only numbers that overflowed to infinity are refused.
                    EXPECT_NE(std::string(a->err()).find("is not a finite number"), std::string::npos) << a->err();
                } else if (!empty_table) {
                    cgats* b = new_cgats_al(&al);
                    b->add_other("");
                    const int brv = test::read_text(b, written);
                    EXPECT_EQ(brv, 0) << b->err() << "\n--- original\n" << text << "\n--- written\n" << written;
                    if (brv == 0) {
                        expect_same_content(*a, *b, written);
                        ++round_trips;
                    }
                    b->del();
                }
            } else {
                EXPECT_NE(a->err()[0], '\0');
            }
            a->del();
        }
        ASSERT_EQ(al.live, 0);
        if (HasFatalFailure()) return;
    }
    // The mutations leave enough files readable for the round trip to be exercised.
    EXPECT_GT(read_ok, runs / 5);
    EXPECT_GT(round_trips, runs / 10);
    std::printf("read %d of %d mutated files, %d round trips\n", read_ok, runs, round_trips);
}

}  // namespace
}  // namespace dvk
