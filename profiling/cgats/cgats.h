// CGATS.17 / IT8.7 text data files: one or more tables, each with an identifier
// line, keywords with values, a data format (field names) and data sets.
//
// A cgats object is made with new_cgats, driven through its member operations
// and destroyed with del (or held in a cgats_ptr). Operations return -1 for a
// usage or format failure and -2 when memory runs out, leaving the code and a
// message of at most 199 characters in the object (errc(), err()) until the
// next operation. All memory comes from the object's cgats_alloc and all input
// and output goes through cgats_file objects. Numbers are read and written in
// the C locale.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "profiling/cgats/cgats_alloc.h"
#include "profiling/cgats/cgats_file.h"

namespace dvk {

// Data types of fields and values.
enum class data_type : int {
    real = 0,              // double
    integer = 1,           // int
    char_string = 2,       // string written in double quotes
    nonquoted_string = 3,  // string written bare when it can be
    no_type = 4,           // not yet known (reading)
};

// Table types; the identifier line of each.
enum class table_type : int {
    it8_7_1 = 0,  // "IT8.7/1"
    it8_7_2 = 1,  // "IT8.7/2"
    it8_7_3 = 2,  // "IT8.7/3"
    it8_7_4 = 3,  // "IT8.7/4"
    cgats_5 = 4,  // "CGATS.5"
    cgats_x = 5,  // any "CGATS." identifier, kept in the object
    other = 6,    // one of the object's registered "other" identifiers
};

// One value of a set, by its field's type.
union cgats_set_elem {
    double d;
    int i;
    const char* c;
};
static_assert(sizeof(cgats_set_elem) == 8);

// A value handed to add_set: a number or a string.
struct cgats_value {
    enum class kind { none, integer, real, string };
    kind k = kind::none;
    cgats_set_elem e{};

    cgats_value() = default;
    cgats_value(const char* s) : k(kind::string) { e.c = s; }
    cgats_value(const std::string& s) : k(kind::string) { e.c = s.c_str(); }
    template <class T>
        requires std::is_arithmetic_v<T>
    cgats_value(T v) {
        if constexpr (std::is_floating_point_v<T>) {
            k = kind::real;
            e.d = static_cast<double>(v);
        } else {
            k = kind::integer;
            e.i = static_cast<int>(v);
        }
    }
};

// "real", "integer", "char string", "non-quoted char string", "no type".
const char* data_type_name(data_type type);
// The type a standard field name requires, no_type for any other name.
data_type standard_field_type(const char* name);
// The kind of a value's text: integer, real, char_string (quoted) or nonquoted_string.
data_type guess_value_type(const char* text);
// Keywords that the writer generates and that no caller may add.
bool reserved_keyword(const char* name);
// The text in double quotes, each double quote inside doubled. Throws std::bad_alloc.
cgats_string quote_cs(cgats_alloc* al, const char* text);

class cgats;

// One table of a cgats object; read through the object's table().
class cgats_table {
public:
    table_type type() const { return type_; }
    // Index of the "other" identifier for type other.
    int oi() const { return oi_; }

    int nkwords() const { return static_cast<int>(kwords_.size()); }
    // Name, value and comment of a keyword; each may be NULL.
    const char* kword_name(int k) const { return text(kwords_[k].name); }
    const char* kword_value(int k) const { return text(kwords_[k].value); }
    const char* kword_comment(int k) const { return text(kwords_[k].comment); }

    int nfields() const { return static_cast<int>(fields_.size()); }
    const char* field_name(int f) const { return fields_[f].name.c_str(); }
    data_type field_type(int f) const { return fields_[f].type; }

    int nsets() const { return static_cast<int>(sets_.size()); }

    bool sup_id() const { return sup_id_; }
    bool sup_kwords() const { return sup_kwords_; }
    bool sup_fields() const { return sup_fields_; }

private:
    friend class cgats;
    using cell = std::variant<int, double, cgats_string>;
    struct kword {
        std::optional<cgats_string> name, value, comment;
    };
    struct field {
        cgats_string name;
        data_type type;
    };

public:
    explicit cgats_table(cgats_alloc* al)
        : kwords_(cgats_allocator<kword>(al)), fields_(cgats_allocator<field>(al)),
          sets_(cgats_allocator<cgats_vector<cell>>(al)) {}

private:
    static const char* text(const std::optional<cgats_string>& s) { return s ? s->c_str() : nullptr; }

    table_type type_ = table_type::it8_7_1;
    int oi_ = 0;
    cgats_vector<kword> kwords_;  // grows by 8
    cgats_vector<field> fields_;  // grows by 4
    // Grows by 100 sets. The last set holds fewer cells than there are fields
    // while the reader is inside it.
    cgats_vector<cgats_vector<cell>> sets_;
    bool sup_id_ = false, sup_kwords_ = false, sup_fields_ = false;
};

class cgats {
public:
    // Replaces the CGATS.X identifier. 0 or an error code.
    int add_cgats_type(const char* name);
    // Registers an "other" identifier; its index. An empty one makes the reader
    // take the first token of a file as the identifier, whatever it is.
    int add_other(const char* name);
    // Index of a registered "other" identifier; -1 when it is not registered.
    int get_oi(const char* name);
    // Reads the tables of a file and appends them. 0 or an error code.
    int read(cgats_file* fp);
    int read_name(const char* path);
    // Index of the keyword of that name that has a value; -1 when absent or the
    // name is empty; -2 when the table number is out of range.
    int find_kword(int table, const char* name);
    // Index of the field; -1 when absent or empty; -2 when the table is out of range.
    int find_field(int table, const char* name);
    // Appends a table; its index.
    int add_table(table_type type, int oi);
    int set_table_flags(int table, bool sup_id, bool sup_kwords, bool sup_fields);
    // Appends a keyword (name, value and comment may each be NULL); its index.
    int add_kword(int table, const char* name, const char* value, const char* comment);
    // Appends a field to a table that holds no sets; its index.
    int add_field(int table, const char* name, data_type type);
    // Appends a set: one value per field, a string for string fields, an int
    // for integer fields, a number for real fields. 0 or an error code.
    template <class... Values>
    int add_set(int table, const Values&... values) {
        const cgats_value list[] = {cgats_value(values)..., cgats_value()};
        return add_set_list(table, list, static_cast<int>(sizeof...(Values)));
    }
    // Appends a set from one element per field. 0 or an error code.
    int add_setarr(int table, const cgats_set_elem* values);
    // Writes every table. 0 or an error code.
    int write(cgats_file* fp);
    // Copies a set into one element per field; strings point into the object.
    int get_setarr(int table, int set, cgats_set_elem* values);
    int write_name(const char* path);
    // The sticky error code (always 0: no operation sets it); message points at
    // its text when non-zero.
    int error(const char** message);
    // Frees the object, and the allocator when the object owns it.
    void del();

    // Removes every field of a table that holds no sets.
    int clear_field(int table);

    int ntables() const { return static_cast<int>(tables_.size()); }
    const cgats_table& table(int t) const { return tables_[t]; }
    // The CGATS.X identifier, NULL when none was given.
    const char* cgats_type() const { return cgatsx_ ? cgatsx_->c_str() : nullptr; }
    int nothers() const { return static_cast<int>(others_.size()); }
    const char* other(int i) const { return others_[i].c_str(); }
    int errc() const { return errc_; }
    const char* err() const { return err_; }

    cgats(const cgats&) = delete;
    cgats& operator=(const cgats&) = delete;

private:
    friend cgats* new_cgats_al(cgats_alloc* al);
    friend cgats* new_cgats();
    class reader;

    cgats(cgats_alloc* al, bool own_al);
    ~cgats() = default;

    void clear_error();
    int fail(int code, const char* format, ...) __attribute__((format(printf, 3, 4)));
    bool table_ok(int table) const { return table >= 0 && table < ntables(); }
    int add_field_typed(int table, const char* name, data_type type, bool settled);
    int add_set_list(int table, const cgats_value* values, int count);
    int write_table(cgats_file* fp, int t);

    cgats_alloc* al_;
    bool own_al_;
    cgats_vector<cgats_table> tables_;
    std::optional<cgats_string> cgatsx_;
    cgats_vector<cgats_string> others_;
    int errc_ = 0;
    char err_[200] = {};
    int sticky_errc_ = 0;
    char sticky_err_[200] = {};
};

// An object with its own standard allocator; NULL when memory runs out.
cgats* new_cgats();
// An object over the caller's allocator, which it does not free.
cgats* new_cgats_al(cgats_alloc* al);

struct cgats_deleter {
    void operator()(cgats* c) const { c->del(); }
};
using cgats_ptr = std::unique_ptr<cgats, cgats_deleter>;

}  // namespace dvk
