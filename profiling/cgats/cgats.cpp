// The cgats object: tables, keywords, fields and sets.
#include "profiling/cgats/cgats.h"

#include <cstdio>
#include <cstring>

namespace dvk {
namespace {

// Keyword and field names: not empty, no blank, tab, line end, double quote or "#".
bool legal_name(const char* name) {
    if (!name || !*name) return false;
    return std::strpbrk(name, " \t\r\n\"#") == nullptr;
}

}  // namespace

cgats::cgats(cgats_alloc* al, bool own_al)
    : al_(al), own_al_(own_al), tables_(cgats_allocator<cgats_table>(al)),
      others_(cgats_allocator<cgats_string>(al)) {}

cgats* new_cgats_al(cgats_alloc* al) {
    if (!al) return nullptr;
    void* mem = al->calloc(1, sizeof(cgats));
    if (!mem) return nullptr;
    return new (mem) cgats(al, false);
}

cgats* new_cgats() {
    cgats_alloc* al = new_std_alloc();
    if (!al) return nullptr;
    cgats* c = new_cgats_al(al);
    if (!c) {
        al->del();
        return nullptr;
    }
    c->own_al_ = true;
    return c;
}

void cgats::del() {
    cgats_alloc* al = al_;
    const bool own = own_al_;
    this->~cgats();
    al->free(this);
    if (own) al->del();
}

void cgats::clear_error() {
    errc_ = 0;
    err_[0] = '\0';
}

int cgats::fail(int code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(err_, sizeof err_, format, args);
    va_end(args);
    errc_ = code;
    return code;
}

int cgats::error(const char** message) {
    if (sticky_errc_ != 0 && message) *message = sticky_err_;
    return sticky_errc_;
}

int cgats::add_cgats_type(const char* name) {
    clear_error();
    if (!name) return fail(-1, "cgats.add_cgats_type(), no name given");
    try {
        cgatsx_.emplace(name, cgats_allocator<char>(al_));
    } catch (const std::bad_alloc&) {
        cgatsx_.reset();
        return fail(-2, "cgats.add_cgats_type(), malloc failed!");
    }
    return 0;
}

int cgats::add_other(const char* name) {
    clear_error();
    if (!name) return fail(-1, "cgats.add_other(), no name given");
    try {
        others_.reserve(others_.size() + 1);
    } catch (const std::bad_alloc&) {
        return fail(-2, "cgats.add_other(), realloc failed!");
    }
    try {
        others_.emplace_back(name, cgats_allocator<char>(al_));
    } catch (const std::bad_alloc&) {
        return fail(-2, "cgats.add_other(), malloc failed!");
    }
    return nothers() - 1;
}

int cgats::get_oi(const char* name) {
    clear_error();
    if (name)
        for (int i = 0; i < nothers(); ++i)
            if (others_[i] == name) return i;
    return fail(-1, "cgats.get_oi(), failed to find '%s'!", name ? name : "(null)");
}

int cgats::find_kword(int table, const char* name) {
    clear_error();
    if (!table_ok(table)) return fail(-2, "cgats.find_kword(), table number '%d' is out of range", table);
    if (!name || !*name) return -1;
    const cgats_table& t = tables_[table];
    for (int k = 0; k < t.nkwords(); ++k) {
        const auto& kw = t.kwords_[k];
        if (kw.name && kw.value && *kw.name == name) return k;
    }
    return -1;
}

int cgats::find_field(int table, const char* name) {
    clear_error();
    if (!table_ok(table)) return fail(-2, "cgats.find_field(), table number '%d' is out of range", table);
    if (!name || !*name) return -1;
    const cgats_table& t = tables_[table];
    for (int f = 0; f < t.nfields(); ++f)
        if (t.fields_[f].name == name) return f;
    return -1;
}

int cgats::add_table(table_type type, int oi) {
    clear_error();
    const int code = static_cast<int>(type);
    if (code < 0 || code > static_cast<int>(table_type::other))
        return fail(-1, "cgats.add_table(), unknown table type %d", code);
    try {
        tables_.emplace_back(al_);
    } catch (const std::bad_alloc&) {
        return fail(-2, "cgats.add_table(), realloc failed!");
    }
    cgats_table& t = tables_.back();
    t.type_ = type;
    t.oi_ = oi;
    return ntables() - 1;
}

int cgats::set_table_flags(int table, bool sup_id, bool sup_kwords, bool sup_fields) {
    clear_error();
    if (!table_ok(table)) return fail(-1, "cgats.set_table_flags(), table number '%d' is out of range", table);
    if (!sup_id && (sup_kwords || sup_fields))
        return fail(-1, "cgats.set_table_flags(), Can't suppress kwords or fields if ID is not suppressed");
    cgats_table& t = tables_[table];
    t.sup_id_ = sup_id;
    t.sup_kwords_ = sup_kwords;
    t.sup_fields_ = sup_fields;
    return 0;
}

int cgats::add_kword(int table, const char* name, const char* value, const char* comment) {
    clear_error();
    if (!table_ok(table)) return fail(-1, "cgats.add_kword(), table number '%d' is out of range", table);
    if (name) {
        if (!legal_name(name)) return fail(-1, "cgats.add_kword(), keyword '%s'is illegal", name);
        if (reserved_keyword(name))
            return fail(-1, "cgats.add_kword(), keyword '%s'is generated automatically", name);
    }
    // A comment is written to the end of its line; a line end inside it would
    // turn the rest into data.
    if (comment && std::strpbrk(comment, "\r\n"))
        return fail(-1, "cgats.add_kword(), comment holds a line end");
    cgats_table& t = tables_[table];
    if (!room_for_one_more(t.kwords_, 8)) return fail(-2, "cgats.add_kword(), realloc failed!");
    try {
        cgats_table::kword kw;
        const cgats_allocator<char> a(al_);
        if (name) kw.name.emplace(name, a);
        if (value) kw.value.emplace(value, a);
        if (comment) kw.comment.emplace(comment, a);
        t.kwords_.push_back(std::move(kw));
    } catch (const std::bad_alloc&) {
        return fail(-2, "cgats.alloc_copy_data_type() malloc fail");
    }
    return t.nkwords() - 1;
}

int cgats::add_field(int table, const char* name, data_type type) {
    clear_error();
    return add_field_typed(table, name, type, true);
}

int cgats::add_field_typed(int table, const char* name, data_type type, bool settled) {
    if (!table_ok(table)) return fail(-1, "cgats.add_field(), table parameter out of range");
    cgats_table& t = tables_[table];
    if (t.nsets() != 0) return fail(-1, "cgats.add_field(), attempt to add field to non-empty table");
    if (!legal_name(name)) return fail(-1, "cgats.add_kword(), field name '%s'is illegal", name ? name : "(null)");
    if (settled) {
        const int code = static_cast<int>(type);
        if (code < 0 || code > static_cast<int>(data_type::no_type))
            return fail(-1, "cgats.add_field(): unexpected data type for standard field name");
        const data_type standard = standard_field_type(name);
        if (type == data_type::no_type) type = data_type::char_string;
        if (standard == data_type::nonquoted_string && type == data_type::char_string)
            type = data_type::nonquoted_string;
        if (standard != data_type::no_type && type != standard)
            return fail(-1, "cgats.add_field(): unexpected data type for standard field name");
    }
    if (!room_for_one_more(t.fields_, 4)) return fail(-2, "cgats.add_field(), realloc failed!");
    try {
        t.fields_.push_back(cgats_table::field{cgats_string(name, cgats_allocator<char>(al_)), type});
    } catch (const std::bad_alloc&) {
        return fail(-2, "cgats.alloc_copy_data_type() malloc fail");
    }
    return t.nfields() - 1;
}

int cgats::clear_field(int table) {
    clear_error();
    if (!table_ok(table)) return fail(-1, "cgats.clear_field(), table parameter out of range");
    cgats_table& t = tables_[table];
    if (t.nsets() != 0) return fail(-1, "cgats.clear_field(), attempt to clear fields in a non-empty table");
    t.fields_.clear();
    return 0;
}

int cgats::add_set_list(int table, const cgats_value* values, int count) {
    clear_error();
    if (!table_ok(table)) return fail(-1, "cgats.add_kword(), table parameter out of range");
    cgats_table& t = tables_[table];
    if (t.nfields() == 0) return fail(-1, "cgats.add_set(), attempt to add set when no fields are defined");
    if (count != t.nfields())
        return fail(-1, "cgats.add_set(), %d values given for %d fields", count, t.nfields());
    for (int f = 0; f < count; ++f) {
        const data_type type = t.fields_[f].type;
        const cgats_value::kind k = values[f].k;
        bool fits = false;
        switch (type) {
        case data_type::real: fits = k == cgats_value::kind::real || k == cgats_value::kind::integer; break;
        case data_type::integer: fits = k == cgats_value::kind::integer; break;
        case data_type::char_string:
        case data_type::nonquoted_string: fits = k == cgats_value::kind::string && values[f].e.c; break;
        default: return fail(-1, "cgats.add_set(), field has unknown data type");
        }
        if (!fits)
            return fail(-1, "cgats.add_set(), value %d does not suit field '%s' of type '%s'", f + 1,
                        t.fields_[f].name.c_str(), data_type_name(type));
    }
    if (!room_for_one_more(t.sets_, 100)) return fail(-2, "cgats.add_set(), realloc failed!");
    try {
        cgats_vector<cgats_table::cell> set{cgats_allocator<cgats_table::cell>(al_)};
        set.reserve(static_cast<std::size_t>(count));
        for (int f = 0; f < count; ++f) {
            const cgats_value& v = values[f];
            switch (t.fields_[f].type) {
            case data_type::real:
                set.emplace_back(v.k == cgats_value::kind::real ? v.e.d : static_cast<double>(v.e.i));
                break;
            case data_type::integer: set.emplace_back(v.e.i); break;
            default: set.emplace_back(cgats_string(v.e.c, cgats_allocator<char>(al_))); break;
            }
        }
        t.sets_.push_back(std::move(set));
    } catch (const std::bad_alloc&) {
        return fail(-2, "cgats.add_set(), malloc failed!");
    }
    return 0;
}

int cgats::add_setarr(int table, const cgats_set_elem* values) {
    clear_error();
    if (!table_ok(table)) return fail(-1, "cgats.add_setarr(), table parameter out of range");
    cgats_table& t = tables_[table];
    if (t.nfields() == 0) return fail(-1, "cgats.add_setarr(), attempt to add set when no fields are defined");
    if (!values) return fail(-1, "cgats.add_setarr(), no values given");
    for (int f = 0; f < t.nfields(); ++f) {
        const data_type type = t.fields_[f].type;
        if (type == data_type::char_string || type == data_type::nonquoted_string) {
            if (!values[f].c) return fail(-1, "cgats.add_setarr(), string of field '%s' is NULL", t.fields_[f].name.c_str());
        } else if (type != data_type::real && type != data_type::integer) {
            return fail(-1, "cgats.add_set(), field has unknown data type");
        }
    }
    try {
        if (t.sets_.size() == t.sets_.capacity()) t.sets_.reserve(t.sets_.capacity() + 100);
        cgats_vector<cgats_table::cell> set{cgats_allocator<cgats_table::cell>(al_)};
        set.reserve(static_cast<std::size_t>(t.nfields()));
        for (int f = 0; f < t.nfields(); ++f) {
            switch (t.fields_[f].type) {
            case data_type::real: set.emplace_back(values[f].d); break;
            case data_type::integer: set.emplace_back(values[f].i); break;
            default: set.emplace_back(cgats_string(values[f].c, cgats_allocator<char>(al_))); break;
            }
        }
        t.sets_.push_back(std::move(set));
    } catch (const std::bad_alloc&) {
        return fail(-2, "cgats.add_set(), malloc failed!");
    }
    return 0;
}

int cgats::get_setarr(int table, int set, cgats_set_elem* values) {
    clear_error();
    if (!table_ok(table)) return fail(-1, "cgats.get_setarr(), table parameter out of range");
    const cgats_table& t = tables_[table];
    if (set < 0 || set >= t.nsets()) return fail(-1, "cgats.get_setarr(), set parameter out of range");
    const auto& cells = t.sets_[set];
    for (int f = 0; f < t.nfields(); ++f) {
        const data_type type = t.fields_[f].type;
        const bool have = static_cast<std::size_t>(f) < cells.size();
        if (have && type == data_type::real && std::holds_alternative<double>(cells[f])) {
            values[f].d = std::get<double>(cells[f]);
        } else if (have && type == data_type::integer && std::holds_alternative<int>(cells[f])) {
            values[f].i = std::get<int>(cells[f]);
        } else if (have && (type == data_type::char_string || type == data_type::nonquoted_string) &&
                   std::holds_alternative<cgats_string>(cells[f])) {
            values[f].c = std::get<cgats_string>(cells[f]).c_str();
        } else {
            return fail(-1, "cgats.get_setarr(), field has unknown data type");
        }
    }
    return 0;
}

int cgats::read_name(const char* path) {
    clear_error();
    cgats_file* fp = new_file_name(path, "r");
    if (!fp) return fail(-1, "Unable to open file '%s' for reading", path ? path : "(null)");
    const int rv = read(fp);
    fp->del();
    return rv;
}

int cgats::write_name(const char* path) {
    clear_error();
    cgats_file* fp = new_file_name(path, "w");
    if (!fp) return fail(-1, "Unable to open file '%s' for writing", path ? path : "(null)");
    int rv = write(fp);
    if (fp->del() != 0 && rv == 0) rv = fail(-1, "Write error to file '%s'", path);
    return rv;
}

}  // namespace dvk
