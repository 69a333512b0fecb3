// Writing CGATS files: keywords the standard expects, the identifier line,
// keywords, the data format and the data sets with their number formats.
#include <cstring>
#include <ctime>

#include "profiling/cgats/cgats.h"
#include "profiling/cgats/cgats_numbers.h"

namespace dvk {
namespace {

// Keywords of the standard, written without a KEYWORD declaration.
bool standard_keyword(const char* name) {
    static const char* const names[] = {"ORIGINATOR", "DESCRIPTOR",         "CREATED",          "MANUFACTURER",
                                        "PROD_DATE",  "SERIAL",             "MATERIAL",         "INSTRUMENTATION",
                                        "MEASUREMENT_SOURCE", "PRINT_CONDITIONS"};
    for (const char* n : names)
        if (std::strcmp(name, n) == 0) return true;
    return false;
}

// Whether a non-quoted string value has to be quoted to read back as itself.
bool needs_quotes(const cgats_string& value, bool standard_field) {
    if (value.empty()) return true;  // bare, it would vanish and shift the set
    if (value.find_first_of(" \t\r\n\"#") != cgats_string::npos) return true;
    if (value == "END_DATA") return true;  // bare, it would end the data
    if (!standard_field && guess_value_type(value.c_str()) != data_type::nonquoted_string) return true;
    return false;
}

// Today's date as "December 7, 2026".
void created_text(char* out, std::size_t size) {
    static const char* const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::snprintf(out, size, "%s %d, %d", months[tm.tm_mon % 12], tm.tm_mday, tm.tm_year + 1900);
}

// Writes text and remembers a failure.
class out_stream {
public:
    explicit out_stream(cgats_file* fp) : fp_(fp) {}
    void put(const char* s, std::size_t n) {
        if (ok_ && n > 0 && fp_->write(s, 1, n) != n) ok_ = false;
    }
    void put(const char* s) { put(s, std::strlen(s)); }
    void put(const cgats_string& s) { put(s.data(), s.size()); }
    void put_int(int v) {
        char buf[40];
        put(buf, cgats_format_int(v, buf));
    }
    bool ok() const { return ok_; }

private:
    cgats_file* fp_;
    bool ok_ = true;
};

}  // namespace

int cgats::write(cgats_file* fp) {
    clear_error();
    if (!fp) return fail(-1, "cgats.write(), no file given");
    for (int t = 0; t < ntables(); ++t) {
        const int rv = write_table(fp, t);
        if (rv < 0) return rv;
    }
    if (fp->flush() != 0) return fail(-1, "Write error to file '%s'", fp->get_name());
    return 0;
}

int cgats::write_table(cgats_file* fp, int ti) {
    // Keywords the standard expects, when missing.
    if (!tables_[ti].sup_kwords_) {
        char created[64];
        created_text(created, sizeof created);
        const int type = static_cast<int>(tables_[ti].type_);
        struct {
            const char* name;
            const char* value;
            bool wanted;
        } const expected[] = {
            {"ORIGINATOR", "Not specified", true},
            {"DESCRIPTOR", "Not specified", true},
            {"CREATED", created, true},
            {"INSTRUMENTATION", "Not specified", type >= 2 && type <= 5},
            {"MEASUREMENT_SOURCE", "Not specified", type >= 2 && type <= 5},
            {"PRINT_CONDITIONS", "Not specified", type >= 2 && type <= 5},
            {"MANUFACTURER", "Not specified", type <= 1},
            {"PROD_DATE", "Not specified", type <= 1},
            {"SERIAL", "Not specified", type <= 1},
            {"MATERIAL", "Not specified", type <= 1},
        };
        for (const auto& e : expected) {
            if (!e.wanted || find_kword(ti, e.name) >= 0) continue;
            const int rv = add_kword(ti, e.name, e.value, nullptr);
            if (rv < 0) return rv;
        }
    }
    clear_error();

    const cgats_table& t = tables_[ti];
    out_stream out(fp);
    try {
        // Identifier.
        if (t.sup_id_) {
            if (ti == 0) return fail(-1, "cgats_write(), ID should not be suppressed on first table");
            const cgats_table& prev = tables_[ti - 1];
            if (prev.type_ != t.type_ || (t.type_ == table_type::other && prev.oi_ != t.oi_))
                return fail(-1,
                            "cgats_write(), ID should not be suppressed when table %d type is not the same as "
                            "previous table",
                            ti);
            out.put("\n\n");
        } else {
            static const char* const ids[] = {"IT8.7/1", "IT8.7/2", "IT8.7/3", "IT8.7/4", "CGATS.5"};
            const int type = static_cast<int>(t.type_);
            if (type >= 0 && type <= 4) {
                out.put(ids[type]);
                out.put("\n\n");
            } else {
                const char* id = nullptr;
                if (t.type_ == table_type::cgats_x) {
                    id = cgats_type();
                    if (!id) return fail(-1, "cgats_write(), table %d has no CGATS.X identifier", ti);
                } else if (t.oi_ >= 0 && t.oi_ < nothers()) {
                    id = other(t.oi_);
                } else {
                    return fail(-1, "cgats_write(), table %d has an unknown other identifier", ti);
                }
                char line[300];
                std::snprintf(line, sizeof line, "%-7s", id);
                out.put(std::strlen(id) < 7 ? line : id);
                out.put("\n\n");
            }
        }

        // Keywords.
        if (!t.sup_kwords_) {
            for (const auto& kw : t.kwords_) {
                if (kw.name && kw.value) {
                    if (!standard_keyword(kw.name->c_str())) {
                        out.put("KEYWORD ");
                        out.put(quote_cs(al_, kw.name->c_str()));
                        out.put("\n");
                    }
                    out.put(*kw.name);
                    out.put(" ");
                    out.put(quote_cs(al_, kw.value->c_str()));
                    out.put(kw.comment ? "\t" : "\n");
                }
                if (kw.comment) {
                    out.put("# ");
                    out.put(*kw.comment);
                    out.put("\n");
                }
            }
        }

        // Data format.
        if (t.sup_fields_) {
            if (ti == 0) return fail(-1, "cgats_write(), Fields should not be suppressed on first table");
            const cgats_table& prev = tables_[ti - 1];
            if (prev.nfields() != t.nfields())
                return fail(-1,
                            "cgats_write(), Fields should not be suppressed when table %d different number than "
                            "previous table",
                            ti);
            for (int f = 0; f < t.nfields(); ++f)
                if (prev.fields_[f].name != t.fields_[f].name || prev.fields_[f].type != t.fields_[f].type)
                    return fail(-1,
                                "cgats_write(), Fields should not be suppressed when table %d types is not the "
                                "same as previous table",
                                ti);
        } else {
            out.put("\n");
            for (const auto& f : t.fields_) {
                if (standard_field_type(f.name.c_str()) != data_type::no_type) continue;
                out.put("KEYWORD ");
                out.put(quote_cs(al_, f.name.c_str()));
                out.put("\n");
            }
            out.put("NUMBER_OF_FIELDS ");
            out.put_int(t.nfields());
            out.put("\nBEGIN_DATA_FORMAT\n");
            for (const auto& f : t.fields_) {
                out.put(f.name);
                out.put(" ");
            }
            out.put("\nEND_DATA_FORMAT\n");
        }

        // Data.
        out.put("\nNUMBER_OF_SETS ");
        out.put_int(t.nsets());
        out.put("\nBEGIN_DATA\n");
        for (int s = 0; s < t.nsets(); ++s) {
            const auto& set = t.sets_[s];
            for (int f = 0; f < t.nfields(); ++f) {
                const auto& field = t.fields_[f];
                const cgats_table::cell* cell = static_cast<std::size_t>(f) < set.size() ? &set[f] : nullptr;
                char num[40];
                if (cell && field.type == data_type::integer && std::holds_alternative<int>(*cell)) {
                    out.put_int(std::get<int>(*cell));
                } else if (cell && field.type == data_type::real && std::holds_alternative<double>(*cell)) {
                    const double v = std::get<double>(*cell);
                    const std::size_t n = cgats_format_real(v, num);
                    if (n == 0)
                        return fail(-1, "cgats_write(), value of field '%s' in set %d is not a finite number",
                                    field.name.c_str(), s);
                    out.put(num, n);
                } else if (cell && field.type == data_type::char_string &&
                           std::holds_alternative<cgats_string>(*cell)) {
                    out.put(quote_cs(al_, std::get<cgats_string>(*cell).c_str()));
                } else if (cell && field.type == data_type::nonquoted_string &&
                           std::holds_alternative<cgats_string>(*cell)) {
                    const cgats_string& v = std::get<cgats_string>(*cell);
                    const bool standard = standard_field_type(field.name.c_str()) != data_type::no_type;
                    if (needs_quotes(v, standard))
                        out.put(quote_cs(al_, v.c_str()));
                    else
                        out.put(v);
                } else {
                    return fail(-1, "cgats_write(), illegal data type found");
                }
                out.put(" ");
            }
            out.put("\n");
            if (!out.ok()) break;
        }
        out.put("END_DATA\n");
    } catch (const std::bad_alloc&) {
        return fail(-2, "quote_cs() malloc failed!");
    }
    if (!out.ok()) return fail(-1, "Write error to file '%s'", fp->get_name());
    return 0;
}

}  // namespace dvk
